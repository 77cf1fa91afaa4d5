#include "sim/networkfile.h"

#include "sim/simtestsupport.h"

namespace cfg::sim {
namespace {

TEST(SimNetworkFile, NetworksSurviveTheRoundTripByteForByte) {
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
}

// A file a network cannot come from is refused saying why; a body that starts with an OPTION
// is the system's.
TEST(SimNetworkFile, BadFilesAreRefusedSayingWhy) {
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

}  // namespace
}  // namespace cfg::sim
