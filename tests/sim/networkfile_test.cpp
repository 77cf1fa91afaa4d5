#include "sim/networkfile.h"

#include <QRegularExpression>

#include "sim/simtestsupport.h"

namespace cfg::sim {
namespace {

using simtest::Bytes;

TEST(SimFileText, EveryByteSurvivesAndReadsAsTypedWherePossible) {
    for (int b = 0; b < 256; ++b) {
        const QByteArray bytes(1, static_cast<char>(b));
        EXPECT_EQ(ScaleBytes(FileText(bytes)), std::optional(bytes)) << b;
        EXPECT_FALSE(FileText(bytes).contains(QRegularExpression("[\\x00-\\x1F]"))) << b;
    }
    const std::pair<QByteArray, QString> cases[] = {
        {Bytes({'P', 'e', 0xA4, 'a'}), "Peña"},
        {Bytes({'a', 0x0D, 'b'}), "a\\x0Db"},
        {QByteArray("a\\b"), "a\\\\b"},
        {Bytes({0xF1}), "\\xF1"},  // Latin-1 ñ is not the scale's ñ
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(FileText(bytes), text);
        EXPECT_EQ(ScaleBytes(text), std::optional(bytes));
    }
    for (const QString bad : {"\\q", "\\x4", "a\\xZZ", "a\\", "€"})
        EXPECT_EQ(ScaleBytes(bad), std::nullopt) << bad.toStdString();
}

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
        {"<SYSTEM>", "line"},
        {"<SYSTEM><MENU id=\"1\" code=\"7\"/></SYSTEM>", "menu code"},
        {"<OPTION id=\"1\" type=\"201\"/>", "not an item type"},
        {"<OPTION id=\"1\" type=\"number\" value=\"2147483648\"/>", "bad value"},
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
