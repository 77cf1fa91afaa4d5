#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace cfg {

// The two traffic logs of the program folder: log.txt holds a dump of the last frame logged,
// nlog.txt collects time-stamped lines. Every file error is swallowed: a log that cannot be
// written never stops an operation.
//
// nlog.txt stays open between lines and collects them in a buffer that reaches the file every
// kNLogBuffer bytes, on Flush and when the log is destroyed: the XML reader logs every value it
// reads, tens of thousands in a large file. It is rotated when it reaches kNLogLimit bytes: the
// full file becomes nlog.old.txt, replacing the previous one, and a new nlog.txt is started.
// A text longer than kNLogText characters is logged as its first kNLogText followed by "...",
// so that one huge value cannot break the bound.
class TrafficLog {
  public:
    static constexpr qint64 kNLogLimit = 4 * 1024 * 1024;
    static constexpr qsizetype kNLogBuffer = 64 * 1024;
    static constexpr qsizetype kNLogText = 1000;

    // An empty folder disables both logs (tests, tools that must not write).
    explicit TrafficLog(QString folder, qint64 nlogLimit = kNLogLimit);
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;
    ~TrafficLog();

    // Replaces log.txt with the per-byte dump of `frame`, followed by `note` on a line of its
    // own when one is given.
    void Escribe_Log(const QByteArray& frame, const QString& note = {});
    // Appends one line to nlog.txt: date and time, "-->", the text (cut), CR LF.
    void Escribe_NLog(const QString& text);
    // Writes the lines still buffered.
    void Flush();

    // The text of log.txt for `frame`, byte for byte.
    static QByteArray FrameDump(const QByteArray& frame);

    const QString& folder() const { return folder_; }

  private:
    bool OpenNLog();
    const QByteArray& Stamp();

    QString folder_;
    qint64 nlogLimit_;
    QFile nlog_;
    QByteArray pending_;
    qint64 stampSecond_ = -1;
    QByteArray stamp_;
};

}  // namespace cfg
