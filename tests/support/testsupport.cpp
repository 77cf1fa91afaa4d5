#include "support/testsupport.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
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

QVariant Sql(const QString& path, const QString& statement) {
    QVariant first;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cfgtest-sql");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (!db.open() || !query.exec(statement))
            throw std::runtime_error("cannot run " + statement.toStdString());
        if (query.next()) first = query.value(0);
    }
    QSqlDatabase::removeDatabase("cfgtest-sql");
    return first;
}

}  // namespace cfgtest
