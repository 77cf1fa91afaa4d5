#include "core/link/trafficlog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <utility>
#include <vector>

#include "support/testsupport.h"

using cfgtest::Bytes;
using cfgtest::ReadAll;

namespace cfg {
namespace {

TEST(TrafficLog, FrameDumpIsByteExact) {
    EXPECT_EQ(TrafficLog::FrameDump(Bytes({0x41, 0x0D})),
              QByteArray("2 -->  dec : 065 hexa : \\x41 A\r\n"
                         " dec : 013 hexa : \\xD \r\r\n"
                         "\r\n"));
    EXPECT_EQ(TrafficLog::FrameDump(Bytes({0x00, 0xFF})),
              QByteArray("2 -->  dec : 000 hexa : \\x0 ") + QByteArray(1, '\0') +
                  "\r\n dec : 255 hexa : \\xFF " + QByteArray(1, '\xFF') + "\r\n\r\n");
    EXPECT_EQ(TrafficLog::FrameDump(QByteArray()), QByteArray("0 --> \r\n"));
}

TEST(TrafficLog, LogHoldsOnlyTheLastFrame) {
    QTemporaryDir dir;
    TrafficLog log(dir.path());
    log.Escribe_Log(QByteArray("first frame"));
    log.Escribe_Log(QByteArray("AB"));
    EXPECT_EQ(ReadAll(dir.filePath("log.txt")), TrafficLog::FrameDump("AB"));
}

TEST(TrafficLog, NLogAppendsTimeStampedLatin1Lines) {
    // Each text and what its line holds after the time stamp; a long one is cut.
    const std::vector<std::pair<QString, QByteArray>> rows = {
        {"Configuración", "-->Configuraci\xF3n\r"},
        {"", "-->\r"},
        {QString(1000, 'x'), "-->" + QByteArray(1000, 'x') + "\r"},
        {QString(1001, 'y'), "-->" + QByteArray(1000, 'y') + "...\r"},
    };
    QTemporaryDir dir;
    {
        TrafficLog log(dir.path());
        for (const auto& row : rows) log.Escribe_NLog(row.first);
    }
    TrafficLog later(dir.path());
    later.Escribe_NLog("later");
    EXPECT_EQ(ReadAll(dir.filePath("nlog.txt")).count('\n'), qsizetype(rows.size()));  // buffered
    later.Flush();
    const QList<QByteArray> lines = ReadAll(dir.filePath("nlog.txt")).split('\n');
    ASSERT_EQ(lines.size(), qsizetype(rows.size()) + 2);
    EXPECT_TRUE(lines.back().isEmpty());
    const QRegularExpression stamp("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d-->");
    for (std::size_t i = 0; i <= rows.size(); ++i) {
        const QByteArray logged = i < rows.size() ? rows[i].second : "-->later\r";
        EXPECT_TRUE(stamp.match(QString::fromLatin1(lines[i])).hasMatch()) << lines[i].data();
        EXPECT_EQ(lines[i].mid(19), logged);
    }
}

TEST(TrafficLog, NLogRotatesKeepingOnePreviousFile) {
    QTemporaryDir dir;
    const qint64 limit = 200;
    {
        TrafficLog log(dir.path(), limit);
        for (int i = 0; i < 40; ++i) {
            log.Escribe_NLog(QString("line %1").arg(i, 2, 10, QChar('0')));
            if (i % 7 == 0) log.Flush();
        }
    }
    const QByteArray current = ReadAll(dir.filePath("nlog.txt"));
    const QByteArray previous = ReadAll(dir.filePath("nlog.old.txt"));
    EXPECT_LE(current.size(), limit);
    EXPECT_LE(previous.size(), limit);
    EXPECT_TRUE(current.endsWith("-->line 39\r\n"));
    // No line is cut or lost at the turn: the previous file ends where the current one starts.
    const int firstCurrent = current.mid(current.indexOf("-->line ") + 8, 2).toInt();
    EXPECT_TRUE(previous.endsWith(QString("-->line %1\r\n").arg(firstCurrent - 1).toLatin1()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST(TrafficLog, FileErrorsAreSwallowed) {
    QTemporaryDir dir;
    TrafficLog missing(dir.filePath("no/such/folder"));
    missing.Escribe_Log("A");
    missing.Escribe_NLog("A");
    TrafficLog disabled{QString()};
    disabled.Escribe_Log("A");
    disabled.Escribe_NLog("A");
    EXPECT_TRUE(
        QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

}  // namespace
}  // namespace cfg
