#include "link/trafficlog.h"

#include <QDateTime>
#include <QDir>

namespace cfg {

TrafficLog::TrafficLog(QString folder, qint64 nlogLimit)
    : folder_(std::move(folder)), nlogLimit_(nlogLimit) {}

QByteArray TrafficLog::FrameDump(const QByteArray& frame) {
    QByteArray out = QByteArray::number(frame.size()) + " --> ";
    out.reserve(out.size() + frame.size() * 32 + 2);
    for (char c : frame) {
        const auto code = static_cast<unsigned char>(c);
        out += " dec : ";
        out += QByteArray::number(code).rightJustified(3, '0');
        out += " hexa : \\x";
        out += QByteArray::number(code, 16).toUpper();
        out += ' ';
        out += c;
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

void TrafficLog::Escribe_Log(const QByteArray& frame, const QString& note) {
    if (folder_.isEmpty()) return;
    QFile file(QDir(folder_).filePath(QStringLiteral("log.txt")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    QByteArray text = FrameDump(frame);
    if (!note.isEmpty()) text += note.toLatin1() + "\r\n";
    file.write(text);
}

bool TrafficLog::OpenNLog() {
    if (nlog_.isOpen()) return true;
    nlog_.setFileName(QDir(folder_).filePath(QStringLiteral("nlog.txt")));
    // Unbuffered: every line reaches the file at once, without reopening it for each line.
    return nlog_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

void TrafficLog::Escribe_NLog(const QString& text) {
    if (folder_.isEmpty()) return;
    const QByteArray line =
        QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")).toLatin1() +
        "-->" + text.toLatin1() + "\r\n";
    if (!OpenNLog()) return;
    if (nlog_.size() > 0 && nlog_.size() + line.size() > nlogLimit_) {
        // Keep the previous file, never more: a log must not fill the disk.
        const QString current = nlog_.fileName();
        const QString previous = QDir(folder_).filePath(QStringLiteral("nlog.old.txt"));
        nlog_.close();
        QFile::remove(previous);
        QFile::rename(current, previous);
        if (!OpenNLog()) return;
    }
    nlog_.write(line);
}

}  // namespace cfg
