#include "sim/networkfile.h"

#include <gtest/gtest.h>

#include "sim/engine.h"
#include "sim/simtestsupport.h"
#include "support/testsupport.h"

using cfgtest::Bytes;

namespace cfg::sim {
namespace {

TEST(SimFileText, EveryByteSurvivesTheRoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const QByteArray bytes(1, static_cast<char>(b));
        const QString text = FileText(bytes);
        EXPECT_EQ(ScaleBytes(text), std::optional<QByteArray>(bytes)) << "byte " << b;
        for (QChar c : text) EXPECT_GE(c.unicode(), 0x20) << "byte " << b;
    }
}

TEST(SimFileText, ReadableWherePossible) {
    struct Case {
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {Bytes({'P', 'e', 0xA4, 'a'}), QStringLiteral("Peña")},
        {Bytes({'D', 'i', 'r', 'e', 'c', 'c', 'i', 0xA2, 'n'}), QStringLiteral("Dirección")},
        {QByteArray("C/ Mayor, 13"), QStringLiteral("C/ Mayor, 13")},
        {Bytes({'a', 0x0D, 'b'}), QStringLiteral("a\\x0Db")},
        {Bytes({0x00}), QStringLiteral("\\x00")},
        {QByteArray("a\\b"), QStringLiteral("a\\\\b")},
        // Latin-1 ñ is not the scale's ñ: it needs an escape.
        {Bytes({0xF1}), QStringLiteral("\\xF1")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileText(c.bytes), c.text);
        EXPECT_EQ(ScaleBytes(c.text), std::optional<QByteArray>(c.bytes));
    }
    EXPECT_EQ(ScaleBytes(QStringLiteral("\\x0d")), std::optional<QByteArray>(Bytes({0x0D})));
    for (const QString& bad :
         {QStringLiteral("\\q"), QStringLiteral("\\x4"), QStringLiteral("a\\xZZ"),
          QStringLiteral("a\\"), QStringLiteral("€")}) {
        EXPECT_EQ(ScaleBytes(bad), std::nullopt) << bad.toStdString();
    }
}

// Every request a reader would make of a network, answered by two seeded engines.
void ExpectSameReplies(const Network& a, const Network& b) {
    EngineOptions options;
    options.pageSize = 5;
    options.seed = 11;
    Engine first(a, options);
    Engine second(b, options);
    QList<QByteArray> requests;
    requests << simtest::Request(0, 0, 0x03) + Bytes({0});
    QList<std::pair<int, int>> owners{{0, 0}};
    for (const Scale& s : a.scales) owners.append({0x02, s.number});
    for (int cursor = 0; cursor < 200; cursor += 5) {
        requests << simtest::Request(0, 0, 0x02) + Bytes({cursor, 0, 0, 0});
        requests << simtest::Request(0x20, 0, 0x02) + Bytes({cursor, 0, 0, 0});
        for (const auto& [d1, d2] : owners)
            requests << simtest::Request(d1, d2, 0x00) + Bytes({cursor, 0, 0});
    }
    for (int menu = 0; menu < 70; ++menu) {
        for (const auto& [d1, d2] : owners)
            requests << simtest::Request(d1, d2, 0x00) + Bytes({menu, 0, 1});
    }
    for (const QByteArray& r : requests) {
        ASSERT_EQ(first.HandleRequest(r), second.HandleRequest(r)) << r.toHex(' ').toStdString();
    }
}

TEST(SimNetworkFile, NetworksSurviveTheRoundTrip) {
    const Network big = GenerateNetwork(60, 400);
    EXPECT_EQ(big.scales.size(), 60);
    EXPECT_EQ(std::count_if(big.shared.cbegin(), big.shared.cend(),
                            [](const Record& r) { return !r.IsMenu(); }),
              400);
    EXPECT_EQ(GenerateNetwork(60, 400), big);  // deterministic
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("red.xml"));
    const std::pair<const char*, Network> networks[] = {{"built-in", DefaultNetwork()},
                                                        {"generated", big}};
    for (const auto& [name, original] : networks) {
        ASSERT_EQ(Validate(original), QString()) << name;
        QString error;
        ASSERT_TRUE(WriteNetworkFile(original, path, &error)) << error.toStdString();
        const std::optional<Network> read = ReadNetworkFile(path, &error);
        ASSERT_TRUE(read) << error.toStdString();
        EXPECT_EQ(*read, original) << name;
        ExpectSameReplies(original, *read);
        // Written again, byte for byte the same file.
        EXPECT_EQ(WriteNetworkXml(*read), cfgtest::ReadAll(path)) << name;
    }
    const QByteArray bytes = WriteNetworkXml(DefaultNetwork());
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"));
    // One byte per character, Latin-1: "Versión", "Peña".
    EXPECT_TRUE(bytes.contains("text=\"Versi\xF3n programa\""));
    EXPECT_TRUE(
        bytes.contains("value=\"Carnicer\xED"
                       "a Hermanos Pe\xF1"
                       "a\""));
    EXPECT_TRUE(bytes.contains("value=\" Mercado Central \""));
}

TEST(SimNetworkFile, ReadsAHandWrittenFile) {
    // Scales before their structure, an item before any menu, an unknown item type.
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<NETWORK>\n"
        "  <SCALE number=\"4\" mostrador=\"9\" mac=\"0a1b2c3d4e5f\">\n"
        "    <VALUE id=\"30\" value=\"-12\"/>\n"
        "    <VALUE id=\"31\" value=\"\\x0D\xF1\"/>\n"
        "  </SCALE>\n"
        "  <SYSTEM>\n"
        "    <OPTION id=\"1\" type=\"date\" text=\"Fecha\" value=\"311299\"/>\n"
        "    <MENU id=\"2\" code=\"201\" text=\"Men\xFA\">\n"
        "      <OPTION id=\"3\" type=\"enum\" order=\"4\" length=\"99\" text=\"S\xED/No\" "
        "value=\"1\">\n"
        "        <ITEM text=\"No\"/><ITEM text=\"S\xED\"/>\n"
        "      </OPTION>\n"
        "      <OPTION id=\"4\" type=\"12\" order=\"130\" text=\"Raro\"/>\n"
        "    </MENU>\n"
        "  </SYSTEM>\n"
        "  <STRUCTURE>\n"
        "    <MENU id=\"1\" code=\"202\" text=\"HW\">\n"
        "      <OPTION id=\"30\" type=\"number\" length=\"3\" divisor=\"4\" signed=\"yes\" "
        "text=\"N\" value=\"7\"/>\n"
        "      <OPTION id=\"31\" type=\"string\" length=\"9\" text=\"S\" value=\"x\"/>\n"
        "    </MENU>\n"
        "  </STRUCTURE>\n"
        "</NETWORK>\n";
    QString error;
    const std::optional<Network> n = ReadNetworkXml(xml, &error);
    ASSERT_TRUE(n) << error.toStdString();
    ASSERT_EQ(n->system.size(), 4);
    EXPECT_EQ(n->system[0].code, kDate);
    EXPECT_EQ(n->system[0].value.bytes, QByteArray("311299"));
    EXPECT_EQ(n->system[1].text, Bytes({'M', 'e', 'n', 0xA3}));
    EXPECT_EQ(n->system[2].options, (QList<QByteArray>{"No", Bytes({'S', 0xA1})}));
    EXPECT_EQ(n->system[2].length, 2);  // the options counted, not the attribute
    EXPECT_EQ(n->system[2].text, Bytes({'S', 0xA1, '/', 'N', 'o'}));
    EXPECT_EQ(n->system[3].code, 12);
    EXPECT_EQ(n->system[3].order, 130);
    ASSERT_EQ(n->shared.size(), 3);
    EXPECT_EQ(n->shared[1].divisor, '4');
    EXPECT_TRUE(n->shared[1].allowNegative);
    ASSERT_EQ(n->scales.size(), 1);
    EXPECT_EQ(n->scales[0].mostrador, 9);
    EXPECT_EQ(n->scales[0].mac, Bytes({0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}));
    EXPECT_EQ(n->scales[0].values.value(30).number, -12);
    // The file's ñ is the character: the scale's byte for it.
    EXPECT_EQ(n->scales[0].values.value(31).bytes, Bytes({0x0D, 0xA4}));
}

TEST(SimNetworkFile, RefusesBadFiles) {
    const auto file = [](const QByteArray& system, const QByteArray& rest = {}) {
        return QByteArray(
                   "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<NETWORK>\n<SYSTEM>\n") +
               system + "\n</SYSTEM>\n" + rest + "\n</NETWORK>\n";
    };
    const char* kStructure =
        "<STRUCTURE><MENU id=\"1\" code=\"200\" text=\"M\">"
        "<OPTION id=\"5\" type=\"enum\" text=\"E\"><ITEM text=\"a\"/></OPTION>"
        "<OPTION id=\"6\" type=\"string\" length=\"5\" text=\"S\"/>"
        "</MENU></STRUCTURE>";
    struct Case {
        QByteArray xml;
        const char* problem;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\"?><TARASCOPE/>", "root element"},
        {"<NETWORK><SYSTEM>", "line"},
        {file("<MENU id=\"1\" code=\"7\" text=\"M\"/>"), "menu code"},
        {file("<OPTION type=\"number\" text=\"N\"/>"), "OPTION has no id"},
        {file("<OPTION id=\"70000\" type=\"number\"/>"), "id is not a number"},
        {file("<OPTION id=\"1\" type=\"bogus\"/>"), "not an item type"},
        {file("<OPTION id=\"1\" type=\"201\"/>"), "not an item type"},
        {file("<OPTION id=\"1\" type=\"number\" value=\"x\"/>"), "bad value"},
        {file("<OPTION id=\"1\" type=\"number\" value=\"2147483648\"/>"), "bad value"},
        {file("<OPTION id=\"1\" type=\"enum\" value=\"256\"/>"), "index"},
        {file("<OPTION id=\"1\" type=\"number\" divisor=\"0\"/>"), "divisor"},
        {file("<OPTION id=\"1\" type=\"string\" text=\"\\q\"/>"), "bad escape"},
        {file("<OPTION id=\"1\" type=\"string\"><ITEM text=\"a\"/></OPTION>"),
         "unexpected element ITEM"},
        {file("<OPTION id=\"1\" type=\"number\"/><MENU id=\"2\" code=\"201\"/><OPTION id=\"1\" "
              "type=\"date\"/>"),
         "item ID 1 twice"},
        {file("<PAGE/>"), "unexpected element PAGE"},
        {file("", "<SCALE number=\"0\" mac=\"000000000000\"/>"), "number is not a number"},
        {file("", "<SCALE number=\"1\" mac=\"00:11\"/>"), "mac"},
        {file("", "<SCALE number=\"1\" mac=\"00:11:22:33:44:5G\"/>"), "mac"},
        {file("",
              "<SCALE number=\"3\" mac=\"000000000000\"/><SCALE number=\"3\" "
              "mac=\"000000000000\"/>"),
         "used twice"},
        {file("",
              QByteArray(kStructure) +
                  "<SCALE number=\"3\" mac=\"000000000000\"><VALUE id=\"9\" value=\"1\"/></SCALE>"),
         "no item 9"},
        {file(
             "",
             QByteArray(kStructure) +
                 "<SCALE number=\"3\" mac=\"000000000000\"><VALUE id=\"5\" value=\"-1\"/></SCALE>"),
         "index"},
        {file(QByteArray("<OPTION id=\"1\" type=\"string\" value=\"" + QByteArray(256, 'x') +
                         "\"/>")),
         "longer than 255"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_EQ(ReadNetworkXml(c.xml, &error), std::nullopt) << c.xml.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.problem))) << error.toStdString() << "\n"
                                                              << c.xml.toStdString();
    }
}

TEST(SimNetworkFile, ReportsFilesThatCannotBeUsed) {
    QTemporaryDir dir;
    QString error;
    EXPECT_EQ(ReadNetworkFile(dir.filePath(QStringLiteral("missing.xml")), &error), std::nullopt);
    EXPECT_TRUE(error.contains(QStringLiteral("missing.xml")));
    EXPECT_FALSE(
        WriteNetworkFile(DefaultNetwork(), dir.filePath(QStringLiteral("no/dir/x.xml")), &error));
    // An invalid network is caught by Validate: a string value longer than a wire byte.
    Network n = DefaultNetwork();
    n.scales[0].values.insert(104, Value{0, QByteArray(300, 'x')});
    EXPECT_NE(Validate(n), QString());
    n = DefaultNetwork();
    n.scales[1].values.insert(9999, Value{});
    EXPECT_NE(Validate(n), QString());
}

}  // namespace
}  // namespace cfg::sim
