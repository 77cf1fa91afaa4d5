// The program cfgtarascope-sim itself: its command line and exit statuses.
#include <QCoreApplication>
#include <QProcess>

#include "sim/networkfile.h"
#include "sim/simtestsupport.h"

namespace cfg::sim {
namespace {

TEST(SimProgram, ExitStatusAndMessageOfRunsThatEnd) {
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.xml"), plain = dir.filePath("plain"),
                  out = dir.filePath("out.xml");
    cfgtest::WriteAll(bad, "<NETWORK><SYSTEM><OPTION id=\"1\" type=\"bogus\"/></SYSTEM></NETWORK>");
    cfgtest::WriteAll(plain, "keep");
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--port", "70000"}, 2, "--port"},
        {{"--network", bad, "--generate", "2,2"}, 2, "exclude"},
        {{"--network", bad}, 1, "not an item type"},
        {{"--pty", plain}, 1, "not a symbolic link"},  // the link never replaces a file
        {{"--generate", "5,30", "--write-default", out}, 0, ""},
        {{"--network", out, "--max-seconds", "1"}, 0, ""},
    };
    for (const auto& [args, status, message] : cases) {
        QProcess sim;
        sim.start(QCoreApplication::applicationDirPath() + "/cfgtarascope-sim", args);
        ASSERT_TRUE(sim.waitForFinished(10000)) << args.join(' ').toStdString();
        EXPECT_EQ(sim.exitStatus() == QProcess::NormalExit ? sim.exitCode() : -1, status)
            << args.join(' ').toStdString();
        EXPECT_TRUE(sim.readAllStandardError().contains(message)) << message;
    }
    EXPECT_EQ(cfgtest::ReadAll(plain), "keep");
    EXPECT_EQ(cfgtest::ReadAll(out), WriteNetworkXml(GenerateNetwork(5, 30)));
}

}  // namespace
}  // namespace cfg::sim
