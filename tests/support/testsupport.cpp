#include "support/testsupport.h"

#include <QFile>
#include <ostream>
#include <stdexcept>

QT_BEGIN_NAMESPACE
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '[' << b.size() << " bytes:";
    for (char c : b) *os << ' ' << QByteArray(1, c).toHex().constData();
    *os << ']';
}
QT_END_NAMESPACE

namespace cfgtest {

std::string CaseName(const QString& words) {
    std::string name;
    bool capital = true;
    for (QChar c : words) {
        if (c.isLetterOrNumber() && c.unicode() < 128) {
            name += static_cast<char>(capital ? c.toUpper().unicode() : c.unicode());
            capital = false;
        } else {
            capital = true;
        }
    }
    return name;
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(static_cast<char>(v));
    return out;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

}  // namespace cfgtest
