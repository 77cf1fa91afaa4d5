// SIGINT and SIGTERM stop the command-line tool after the exchange under way: a read stopped
// does nothing more (5), a send stopped lists what it did not send (1); a second SIGINT ends it
// at once (130).
#include <gtest/gtest.h>
#include <signal.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "cli/commands.h"
#include "sim/simtestsupport.h"

namespace {

TEST(CliInterrupt, StopsAfterTheExchangeUnderWay) {
    QTemporaryDir folder;
    const QString program = folder.filePath("cfgtarascope-cli");
    ASSERT_TRUE(QFile::copy(CFG_CLI_PROGRAM, program));  // its logs beside it
    {
        simtest::Served quick(cfg::sim::DefaultNetwork());
        std::FILE* null = std::fopen("/dev/null", "w");
        ASSERT_EQ(cfg::RunCommandLine({"save", quick.Address(), folder.filePath("red.xml")}, null,
                                      null, folder.path()),
                  0);
        std::fclose(null);
    }
    simtest::Served slow(cfg::sim::DefaultNetwork(), {.latencyMs = 150, .refusedIds = {}});
    // A scale that stops answering: the exchange under way waits, and only a second SIGINT ends
    // the wait.
    simtest::Served silent(cfg::sim::DefaultNetwork(), {.silentAfter = 4, .refusedIds = {}});
    // The words, the network, the text on stderr after which the signals go (100 ms apart), the
    // signals, the status, what stderr says of it.
    const std::tuple<QStringList, simtest::Served*, const char*, std::vector<int>, int, const char*>
        cases[] = {
            {{"read"}, &slow, "Equipo 1", {SIGINT}, 5, "Lectura cancelada"},
            {{"load", folder.filePath("red.xml")},
             &slow,
             "Envío Item",
             {SIGTERM},
             1,
             "envío cancelado, no enviado"},
            {{"read"}, &silent, "Datos Generales", {SIGINT, SIGINT}, 130, ""},
        };
    for (const auto& [words, served, after, sent, status, said] : cases) {
        QProcess cli;
        cli.setReadChannel(QProcess::StandardError);
        cli.start(program, QStringList{words[0], served->Address()} + words.mid(1) +
                               QStringList{"--no-history"});
        QString err;
        const QDeadlineTimer deadline(30000);
        while (!err.contains(after) && !deadline.hasExpired() && cli.waitForReadyRead())
            err += QString::fromUtf8(cli.readAllStandardError());
        for (int signal : sent) {
            QThread::msleep(100);
            ::kill(pid_t(cli.processId()), signal);
        }
        ASSERT_TRUE(cli.waitForFinished(30000));
        err += QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(cli.exitCode(), status) << words[0].toStdString();
        EXPECT_TRUE(err.contains(said)) << err.toStdString();
    }
}

}  // namespace
