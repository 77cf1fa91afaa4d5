#include "core/link/trafficlog.h"

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

TrafficLog::~TrafficLog() {
    Flush();
}

bool TrafficLog::OpenNLog() {
    if (nlog_.isOpen()) return true;
    nlog_.setFileName(QDir(folder_).filePath(QStringLiteral("nlog.txt")));
    return nlog_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

const QByteArray& TrafficLog::Stamp() {
    // Formatting the time is the dear part of a line: once a second is enough.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / 1000 != stampSecond_) {
        stampSecond_ = now / 1000;
        stamp_ = QDateTime::fromMSecsSinceEpoch(now)
                     .toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))
                     .toLatin1();
    }
    return stamp_;
}

void TrafficLog::Escribe_NLog(const QString& text) {
    if (folder_.isEmpty()) return;
    pending_ += Stamp() + "-->" + QStringView(text).left(kNLogText).toLatin1();
    if (text.size() > kNLogText) pending_ += "...";
    pending_ += "\r\n";
    if (pending_.size() >= kNLogBuffer) Flush();
}

void TrafficLog::Flush() {
    QByteArray lines;
    lines.swap(pending_);
    if (lines.isEmpty() || !OpenNLog()) return;
    // [start, end) is what goes into the current file; `size` is that file's size with it.
    qsizetype start = 0;
    qsizetype end = 0;
    qint64 size = nlog_.size();
    while (end < lines.size()) {
        const qsizetype newline = lines.indexOf('\n', end);
        const qsizetype next = newline < 0 ? lines.size() : newline + 1;
        if (size > 0 && size + (next - end) > nlogLimit_) {
            nlog_.write(lines.constData() + start, end - start);
            // Keep the previous file, never more: a log must not fill the disk.
            const QString current = nlog_.fileName();
            const QString previous = QDir(folder_).filePath(QStringLiteral("nlog.old.txt"));
            nlog_.close();
            QFile::remove(previous);
            QFile::rename(current, previous);
            if (!OpenNLog()) return;
            size = 0;
            start = end;
        }
        size += next - end;
        end = next;
    }
    nlog_.write(lines.constData() + start, end - start);
}

}  // namespace cfg
