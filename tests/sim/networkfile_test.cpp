#include "sim/networkfile.h"

#include <QCoreApplication>
#include <QProcess>

#include "sim/simtestsupport.h"

namespace cfg::sim {
namespace {

TEST(SimNetworkFile, NetworksSurviveTheRoundTripBadFilesAreRefusedSayingWhy) {
    QTemporaryDir dir;
    const QString path = dir.filePath("red.xml");
    for (const Network& original : {DefaultNetwork(), GenerateNetwork(3, 40)}) {
        ASSERT_EQ(Validate(original), QString());
        QString error;
        ASSERT_TRUE(WriteNetworkFile(original, path, &error)) << error.toStdString();
        const std::optional<Network> read = ReadNetworkFile(path, &error);
        ASSERT_TRUE(read) << error.toStdString();
        EXPECT_EQ(*read, original);
        EXPECT_EQ(WriteNetworkXml(*read), cfgtest::ReadAll(path));
    }
    const QByteArray bytes = WriteNetworkXml(DefaultNetwork());
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"));
    EXPECT_TRUE(bytes.contains("text=\"Versi\xF3n programa\""));
    // A file a network cannot come from is refused saying why; a body that starts with an OPTION
    // is the system's.
    const QByteArray scale3 = "<SCALE number=\"3\" mac=\"000000000000\"/>";
    const std::pair<QByteArray, const char*> cases[] = {
        {"<SYSTEM><MENU id=\"1\" code=\"7\"/></SYSTEM>", "menu code"},
        {"<OPTION id=\"1\" type=\"201\"/>", "not an item type"},
        {"<OPTION id=\"1\" type=\"number\"/><OPTION id=\"1\" type=\"date\"/>", "item ID 1 twice"},
        {"<OPTION id=\"1\" type=\"string\" value=\"" + QByteArray(256, 'x') + "\"/>",
         "longer than 255"},
        {scale3 + scale3, "used twice"},
    };
    for (auto [body, problem] : cases) {
        if (body.startsWith("<OPTION")) body = "<SYSTEM>" + body + "</SYSTEM>";
        QString error;
        EXPECT_EQ(ReadNetworkXml("<NETWORK>" + body + "</NETWORK>", &error), std::nullopt);
        EXPECT_TRUE(error.contains(QLatin1String(problem))) << error.toStdString();
    }
}

// The program itself: its command line, exit statuses and network files.
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
        {{"--pty", "--max-seconds", "1"}, 0, ""},      // a bare --pty takes no value
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
