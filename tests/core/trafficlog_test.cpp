#include "core/link/trafficlog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

#include "core/common/programfolder.h"
#include "support/testsupport.h"

using cfgtest::ReadAll;

namespace cfg {
namespace {

// An installed copy writes in the per-user folder even where it could write beside itself.
TEST(ProgramFolder, TheExecutablesFolderOrThePerUserOne) {
    QTemporaryDir executable, home;
    QDir(executable.path()).mkpath("prefix/bin");
    QDir(executable.path()).mkpath("prefix/share/doc/cfgtarascope");
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    const QString user = QDir(home.path()).filePath("cfgtarascope");
    const std::pair<QString, QString> cases[] = {{executable.path(), executable.path()},
                                                 {executable.filePath("missing"), user},
                                                 {executable.filePath("prefix/bin"), user}};
    for (const auto& [folder, resolved] : cases)
        EXPECT_EQ(ResolveProgramFolder(folder), QDir::cleanPath(resolved)) << folder.toStdString();
    saved.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_TRUE(QDir(user).exists());
}

TEST(TrafficLog, LogHoldsTheLastFrameDumpByteExactFileErrorsSwallowed) {
    QTemporaryDir dir;
    TrafficLog log(dir.path());
    log.Escribe_Log(QByteArray("first frame"));
    log.Escribe_Log(cfgtest::Bytes({0x41, 0x0D, 0x00, 0xFF}));
    EXPECT_EQ(ReadAll(dir.filePath("log.txt")),
              QByteArray("4 -->  dec : 065 hexa : \\x41 A\r\n dec : 013 hexa : \\xD \r\r\n"
                         " dec : 000 hexa : \\x0 ") +
                  QByteArray(1, '\0') + "\r\n dec : 255 hexa : \\xFF \xFF\r\n\r\n");
    EXPECT_EQ(TrafficLog::FrameDump(QByteArray()), QByteArray("0 --> \r\n"));
    // A folder that cannot be written to, or none, writes nothing and says nothing.
    for (const QString& folder : {dir.filePath("no/such/folder"), QString()}) {
        TrafficLog(folder).Escribe_Log("A");
        TrafficLog(folder).Escribe_NLog("A");
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"log.txt"});
}

// Buffered until flushed or the log is closed; a later log appends.
TEST(TrafficLog, NLogAppendsTimeStampedLatin1LinesCutAt1000AndRotates) {
    QTemporaryDir dir;
    TrafficLog(dir.path()).Escribe_NLog(QString("Configuración"));
    TrafficLog later(dir.path());
    later.Escribe_NLog(QString(1000, 'x'));
    later.Escribe_NLog(QString(1001, 'y'));
    EXPECT_EQ(ReadAll(dir.filePath("nlog.txt")).count('\n'), 1);
    later.Flush();
    const QRegularExpression stamp("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d-->",
                                   QRegularExpression::MultilineOption);
    EXPECT_EQ(QString::fromLatin1(ReadAll(dir.filePath("nlog.txt"))).replace(stamp, "|"),
              QString::fromLatin1("|Configuraci\xF3n\r\n|" + QByteArray(1000, 'x') + "\r\n|" +
                                  QByteArray(1000, 'y') + "...\r\n"));
    // Past its size the file is rotated, keeping one previous file and whole lines.
    QTemporaryDir rotated;
    {
        TrafficLog log(rotated.path(), 200);
        for (int i = 10; i < 50; ++i) {
            log.Escribe_NLog(QString("line %1").arg(i));
            if (i % 7 == 0) log.Flush();
        }
    }
    const QByteArray current = ReadAll(rotated.filePath("nlog.txt")),
                     previous = ReadAll(rotated.filePath("nlog.old.txt"));
    EXPECT_TRUE(current.size() <= 200 && previous.size() <= 200);
    EXPECT_TRUE(current.endsWith("-->line 49\r\n"));
    const int first = current.mid(current.indexOf("-->line ") + 8, 2).toInt();
    EXPECT_TRUE(previous.endsWith("-->line " + QByteArray::number(first - 1) + "\r\n"));
    EXPECT_EQ(QDir(rotated.path()).entryList(QDir::Files).size(), 2);
}

}  // namespace
}  // namespace cfg
