// The program cfgtarascope-sim itself: command line, output lines, signals. Its pseudo-terminal
// is reached through the tool by the command-line tests.

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

#include "sim/networkfile.h"
#include "sim/simtestsupport.h"

namespace cfg::sim {
namespace {

using simtest::Bytes;
using simtest::Request;

const QByteArray kReadNetwork = Request(0, 0, 0x03) + Bytes({0});

struct Program {
    ~Program() {
        process.terminate();
        process.waitForFinished(5000);
    }
    QString Line() {
        for (int i = 0; i < 50 && !process.canReadLine(); ++i) process.waitForReadyRead(100);
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    // Starts it and reads its "listening on" line for the port.
    quint16 Start(const QStringList& args) {
        process.start(QCoreApplication::applicationDirPath() + "/cfgtarascope-sim", args);
        const auto m = QRegularExpression("^listening on 127\\.0\\.0\\.1:(\\d+)$").match(Line());
        return m.hasMatch() ? static_cast<quint16>(m.captured(1).toUInt()) : 0;
    }
    // The status of a run to its end, -1 when it does not end by itself.
    int Run(const QStringList& args) {
        process.start(QCoreApplication::applicationDirPath() + "/cfgtarascope-sim", args);
        if (!process.waitForFinished(10000)) return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QProcess process;
};

TEST(SimProgram, ExitStatusAndMessageOfRunsThatEnd) {
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.xml"), plain = dir.filePath("plain"),
                  out = dir.filePath("out.xml");
    cfgtest::WriteAll(bad, "<NETWORK><SYSTEM><OPTION id=\"1\" type=\"bogus\"/></SYSTEM></NETWORK>");
    cfgtest::WriteAll(plain, "keep");
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--port", "70000"}, 2, "--port"},
        {{"--page-size", "0"}, 2, "--page-size"},
        {{"--network", bad, "--generate", "2,2"}, 2, "exclude"},
        {{"--network", bad}, 1, "not an item type"},
        {{"--pty", plain}, 1, "not a symbolic link"},  // the link never replaces a file
        {{"--generate", "5,30", "--write-default", out}, 0, ""},
        {{"--max-seconds", "1"}, 0, ""},
    };
    for (const auto& [args, status, message] : cases) {
        Program program;
        EXPECT_EQ(program.Run(args), status) << args.join(' ').toStdString();
        EXPECT_TRUE(program.process.readAllStandardError().contains(message)) << message;
    }
    EXPECT_EQ(cfgtest::ReadAll(plain), "keep");
    EXPECT_EQ(cfgtest::ReadAll(out), WriteNetworkXml(GenerateNetwork(5, 30)));
}

TEST(SimProgram, ServesItsFileWithTheFaultsAskedAndStopsOnSigterm) {
    QTemporaryDir dir;
    const QString network = dir.filePath("small.xml"), record = dir.filePath("requests.txt");
    ASSERT_TRUE(WriteNetworkFile(simtest::SmallNetwork(), network, nullptr));
    Program program;
    const quint16 port = program.Start({"--network", network, "--record", record, "--refuse=3,31",
                                        "--silent-after", "2", "--seed", "3"});
    simtest::Client client;
    ASSERT_TRUE(port != 0 && client.Connect(port));
    const QByteArray write = Request(0, 0, 0x01) + Bytes({1, 0, 3, 0, 8, 1, 'x'});
    EXPECT_EQ(simtest::Undo(client.Transact(write).value_or("")).mid(10), Bytes({0, 0, 98, 0}));
    EXPECT_EQ(simtest::Undo(client.Transact(kReadNetwork).value_or("")).mid(10, 2), Bytes({2, 5}));
    EXPECT_EQ(client.Transact(kReadNetwork, 300), std::nullopt);
    const QByteArray lines[] = {write.toHex(' ').toUpper(), kReadNetwork.toHex(' ').toUpper()};
    EXPECT_EQ(cfgtest::ReadAll(record), lines[0] + '\n' + lines[1] + '\n' + lines[1] + '\n');
    program.process.terminate();
    EXPECT_TRUE(program.process.waitForFinished(5000));
    EXPECT_EQ(program.process.exitCode(), 0);
}

}  // namespace
}  // namespace cfg::sim
