#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "support/faildevice.h"
#include "support/testsupport.h"
#include "xml/xmlerror.h"
#include "xml/xmlwriter.h"

namespace {

using cfg::ClsXMLWriter;
using cfg::XmlError;
using cfg::XmlWriteError;
using cfgtest::ReadAll;
using cfgtest::WriteAll;

const char* const kProlog = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>";

// Expected file text from (leading spaces, text) lines, each ending in CR LF.
QByteArray Doc(std::initializer_list<std::pair<int, const char*>> lines) {
    QByteArray out;
    for (const auto& [spaces, text] : lines) out += QByteArray(spaces, ' ') + text + "\r\n";
    return out;
}

class XmlWriterTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir_;
};

TEST_F(XmlWriterTest, BlockAndLeafInsideTheRoot) {
    ClsXMLWriter w;
    EXPECT_EQ(w.document(), "");
    w.setDocument(Path("a.xml"));
    w.OpenDoc("r");
    w.SetSimpleBlock("c");
    w.SetData("k", "v");
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("a.xml")), Doc({{0, kProlog},
                                           {0, "<r>"},
                                           {4, "<c>"},
                                           {8, "<k> v </k>"},
                                           {4, "</c>"},
                                           {0, ""},
                                           {0, "</r>"},
                                           {0, ""}}));
}

TEST_F(XmlWriterTest, SettingsFileLayout) {
    ClsXMLWriter w;
    w.setDocument(Path("data.ini"));
    w.OpenDoc("cfgtarascope");
    w.SetData("lang", "org");
    w.SetData("filepath", "F\\");
    w.SetData("commode", "0");
    w.SetSimpleBlock("TCP");
    w.SetData("tcphost", "");
    w.SetData("tcpport", "6000");
    w.EndDataBlock();
    w.SetSimpleBlock("RS232");
    w.SetData("serialport", "1");
    w.SetData("serialspeed", "19200");
    w.SetData("serialparity", "E");
    w.SetData("serialbits", "8");
    w.EndDataBlock();
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("data.ini")), Doc({{0, kProlog},
                                              {0, "<cfgtarascope>"},
                                              {0, "<lang> org </lang>"},
                                              {0, "<filepath> F\\ </filepath>"},
                                              {0, "<commode> 0 </commode>"},
                                              {4, "<TCP>"},
                                              {8, "<tcphost>  </tcphost>"},
                                              {8, "<tcpport> 6000 </tcpport>"},
                                              {4, "</TCP>"},
                                              {0, ""},
                                              {4, "<RS232>"},
                                              {8, "<serialport> 1 </serialport>"},
                                              {8, "<serialspeed> 19200 </serialspeed>"},
                                              {8, "<serialparity> E </serialparity>"},
                                              {8, "<serialbits> 8 </serialbits>"},
                                              {4, "</RS232>"},
                                              {0, ""},
                                              {0, "</cfgtarascope>"},
                                              {0, ""}}));
}

TEST_F(XmlWriterTest, ConfigurationFileLayout) {
    ClsXMLWriter w;
    w.setDocument(Path("c.xml"));
    w.OpenDoc("TARASCOPE");
    w.SetSimpleBlock("COMMON");
    w.SetDataBlock("MENU", 2, {"id", "text"}, {"3", "Menu 3"});
    auto option = [&](const char* id, const char* value, const char* length, const char* order,
                      const char* type) {
        w.SetDataBlock("OPTION", 2, {"id", "text"}, {id, QStringLiteral("Opcion ") + id});
        w.SetData("VALUE", value);
        w.SetData("LENGTH", length);
        w.SetData("ORDER", order);
        w.SetData("TYPE", type);
    };
    option("12", "2", "1", "4", "number");
    w.EndDataBlock();
    option("15", "1", "1", "5", "enum");
    w.SetSimpleBlock("AVAILABLE");
    w.SetData("ITEM", "NO");
    w.SetData("ITEM", "SI");
    w.EndDataBlock();
    w.EndDataBlock();
    w.EndDataBlock();
    w.EndDataBlock();
    w.SetDataBlock("SCALE", 1, {"number"}, {"2"});
    w.SetDataBlock("MENU", 2, {"id", "text"}, {"7", "Menu 7"});
    option("152", "~ABC~", "20", "1", "string");
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("c.xml")), Doc({{0, kProlog},
                                           {0, "<TARASCOPE>"},
                                           {4, "<COMMON>"},
                                           {12, "<MENU id=\"3\" text=\"Menu 3\">"},
                                           {20, "<OPTION id=\"12\" text=\"Opcion 12\">"},
                                           {24, "<VALUE> 2 </VALUE>"},
                                           {24, "<LENGTH> 1 </LENGTH>"},
                                           {24, "<ORDER> 4 </ORDER>"},
                                           {24, "<TYPE> number </TYPE>"},
                                           {20, "</OPTION>"},
                                           {0, ""},
                                           {20, "<OPTION id=\"15\" text=\"Opcion 15\">"},
                                           {24, "<VALUE> 1 </VALUE>"},
                                           {24, "<LENGTH> 1 </LENGTH>"},
                                           {24, "<ORDER> 5 </ORDER>"},
                                           {24, "<TYPE> enum </TYPE>"},
                                           {28, "<AVAILABLE>"},
                                           {32, "<ITEM> NO </ITEM>"},
                                           {32, "<ITEM> SI </ITEM>"},
                                           {28, "</AVAILABLE>"},
                                           {0, ""},
                                           {20, "</OPTION>"},
                                           {0, ""},
                                           {12, "</MENU>"},
                                           {0, ""},
                                           {4, "</COMMON>"},
                                           {0, ""},
                                           {4, "<SCALE number=\"2\">"},
                                           {12, "<MENU id=\"7\" text=\"Menu 7\">"},
                                           {20, "<OPTION id=\"152\" text=\"Opcion 152\">"},
                                           {24, "<VALUE> ~ABC~ </VALUE>"},
                                           {24, "<LENGTH> 20 </LENGTH>"},
                                           {24, "<ORDER> 1 </ORDER>"},
                                           {24, "<TYPE> string </TYPE>"},
                                           {20, "</OPTION>"},
                                           {0, ""},
                                           {12, "</MENU>"},
                                           {0, ""},
                                           {4, "</SCALE>"},
                                           {0, ""},
                                           {0, "</TARASCOPE>"},
                                           {0, ""}}));
}

// The lines that follow "<r>" when a few calls run between OpenDoc("r") and CloseDoc.
TEST_F(XmlWriterTest, LinesOfSingleCalls) {
    const QByteArray rootEnd = Doc({{0, "</r>"}, {0, ""}});
    struct Case {
        const char* what;
        std::function<void(ClsXMLWriter&)> calls;
        QByteArray tail;
    };
    const std::vector<Case> cases = {
        {"two attributes",
         [](ClsXMLWriter& w) {
             w.SetDataBlock("MENU", 2, {"id", "text"}, {"3", "A"});
         },
         Doc({{4, "<MENU id=\"3\" text=\"A\">"}, {4, "</MENU>"}, {0, ""}}) + rootEnd},
        {"count below the list sizes",
         [](ClsXMLWriter& w) {
             w.SetDataBlock("M", 1, {"id", "text"}, {"3", "A"});
         },
         Doc({{4, "<M id=\"3\">"}, {4, "</M>"}, {0, ""}}) + rootEnd},
        {"count 0 and negative",
         [](ClsXMLWriter& w) {
             w.SetDataBlock("M", 0, {"id"}, {"3"});
             w.SetDataBlock("N", -1, {"id"}, {"3"});
         },
         Doc({{4, "<M>"}, {12, "<N>"}, {12, "</N>"}, {0, ""}, {4, "</M>"}, {0, ""}}) + rootEnd},
        {"empty value", [](ClsXMLWriter& w) { w.SetData("k", ""); },
         Doc({{0, "<k>  </k>"}}) + rootEnd},
        {"nothing escaped",
         [](ClsXMLWriter& w) {
             w.SetData("k", "a<b&c\"d");
             w.SetDataBlock("M", 1, {"t"}, {"<&"});
         },
         Doc({{0, "<k> a<b&c\"d </k>"}, {4, "<M t=\"<&\">"}, {4, "</M>"}, {0, ""}}) + rootEnd},
        {"one byte per character",
         [](ClsXMLWriter& w) { w.SetData("k", QString::fromUtf8("\xc3\xb1\xc3\xa9\xe2\x82\xac")); },
         QByteArray("<k> \xf1\xe9? </k>\r\n") + rootEnd},
        {"end tag with no element open writes nothing",
         [](ClsXMLWriter& w) {
             w.EndDataBlock();  // the root
             w.EndDataBlock();
         },
         rootEnd},
        {"negative indent level writes no spaces",
         [](ClsXMLWriter& w) {
             w.EndDataBlock();  // the root: level -2 from here
             w.SetData("x", "1");
             w.SetSimpleBlock("b");
             w.SetData("y", "2");
         },
         rootEnd + Doc({{0, "<x> 1 </x>"}, {0, "<b>"}, {0, "<y> 2 </y>"}, {0, "</b>"}, {0, ""}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClsXMLWriter w;
        w.setDocument(Path("s.xml"));
        w.OpenDoc("r");
        c.calls(w);
        w.CloseDoc();
        EXPECT_EQ(ReadAll(Path("s.xml")), Doc({{0, kProlog}, {0, "<r>"}}) + c.tail);
    }
}

TEST_F(XmlWriterTest, CloseWithoutOpenAndTwice) {
    {
        ClsXMLWriter w;
        w.setDocument(Path("never.xml"));
        w.EndDataBlock();
        w.CloseDoc();
        w.CloseDoc();
    }
    EXPECT_TRUE(Entries().isEmpty());

    ClsXMLWriter w;
    w.setDocument(Path("a.xml"));
    w.OpenDoc("r");
    w.CloseDoc();
    const QByteArray once = ReadAll(Path("a.xml"));
    EXPECT_EQ(once, Doc({{0, kProlog}, {0, "<r>"}, {0, "</r>"}, {0, ""}}));
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("a.xml")), once);

    // Reused for another file, starting again at no indentation.
    w.setDocument(Path("b.xml"));
    w.OpenDoc("s");
    w.SetData("k", "v");
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("b.xml")),
              Doc({{0, kProlog}, {0, "<s>"}, {0, "<k> v </k>"}, {0, "</s>"}, {0, ""}}));
    EXPECT_EQ(ReadAll(Path("a.xml")), once);
}

TEST_F(XmlWriterTest, OpenFailuresAndMisuse) {
    ClsXMLWriter w;
    try {
        w.OpenDoc("r");
        FAIL() << "no failure without a document";
    } catch (const XmlError& e) {
        EXPECT_EQ(e.code(), XmlError::NoDocument);
        EXPECT_EQ(e.text(), "No document to open");
    }
    EXPECT_THROW(w.SetData("k", "v"), XmlWriteError);
    EXPECT_THROW(w.SetSimpleBlock("k"), XmlWriteError);

    // A failed OpenDoc leaves the document being written as it was.
    w.setDocument(Path("good.xml"));
    w.OpenDoc("r");
    w.SetSimpleBlock("c");
    for (const QString& bad : {Path("missing/x.xml"), dir_.path()}) {
        w.setDocument(bad);
        try {
            w.OpenDoc("other");
            FAIL() << "opened " << bad.toStdString();
        } catch (const XmlError& e) {
            EXPECT_EQ(e.code(), XmlError::OpenFailed);
            EXPECT_EQ(e.text(), "Error opening document");
        }
    }
    EXPECT_THROW(w.SetDataBlock("M", 2, {"id"}, {"1", "2"}), std::out_of_range);
    EXPECT_THROW(w.SetDataBlock("M", 2, {"id", "t"}, {"1"}), std::out_of_range);
    w.SetData("k", "v");
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("good.xml")), Doc({{0, kProlog},
                                              {0, "<r>"},
                                              {4, "<c>"},
                                              {8, "<k> v </k>"},
                                              {4, "</c>"},
                                              {0, ""},
                                              {0, "</r>"},
                                              {0, ""}}));
}

TEST_F(XmlWriterTest, FileReplacedOnlyWhenComplete) {
    WriteAll(Path("a.xml"), "old");
    WriteAll(Path("b.xml"), "old b");
    ClsXMLWriter w;
    w.setDocument(Path("a.xml"));
    w.OpenDoc("r");
    w.SetSimpleBlock("c");
    EXPECT_EQ(ReadAll(Path("a.xml")), "old");

    // Opening another document completes the one still open.
    w.setDocument(Path("b.xml"));
    w.OpenDoc("s");
    EXPECT_EQ(
        ReadAll(Path("a.xml")),
        Doc({{0, kProlog}, {0, "<r>"}, {4, "<c>"}, {4, "</c>"}, {0, ""}, {0, "</r>"}, {0, ""}}));
    EXPECT_EQ(ReadAll(Path("b.xml")), "old b");
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("b.xml")), Doc({{0, kProlog}, {0, "<s>"}, {0, "</s>"}, {0, ""}}));
    EXPECT_EQ(Entries(), QStringList({"a.xml", "b.xml"}));
}

void WriteSample(ClsXMLWriter& w) {
    w.OpenDoc("TARASCOPE");
    w.SetDataBlock("SCALE", 1, {"number"}, {"2"});
    for (int i = 0; i < 20; ++i) w.SetData("VALUE", QString::number(i));
    w.CloseDoc();
}

TEST_F(XmlWriterTest, WriteFailureKeepsThePreviousFile) {
    {
        ClsXMLWriter w;
        w.setDocument(Path("whole.xml"));
        WriteSample(w);
    }
    const QByteArray whole = ReadAll(Path("whole.xml"));
    const qint64 size = whole.size();
    WriteAll(Path("a.xml"), "old");

    for (qint64 budget : {qint64(0), qint64(10), qint64(60), size / 2, size - 1}) {
        SCOPED_TRACE(budget);
        ClsXMLWriter w([budget](const QString& p) { return cfgtest::OpenFailDevice(p, budget); });
        w.setDocument(Path("a.xml"));
        EXPECT_THROW(WriteSample(w), XmlWriteError);
        EXPECT_EQ(ReadAll(Path("a.xml")), "old");
        EXPECT_EQ(Entries(), QStringList({"a.xml", "whole.xml"}));
        // The failed document is dropped: the writer is usable again and writes nothing more.
        EXPECT_THROW(w.SetData("k", "v"), XmlWriteError);
        w.CloseDoc();
        EXPECT_EQ(ReadAll(Path("a.xml")), "old");
    }

    ClsXMLWriter w([size](const QString& p) { return cfgtest::OpenFailDevice(p, size); });
    w.setDocument(Path("a.xml"));
    WriteSample(w);
    EXPECT_EQ(ReadAll(Path("a.xml")), whole);
}

TEST_F(XmlWriterTest, FailedRenameKeepsNothing) {
    QDir(dir_.path()).mkdir("sub");
    ClsXMLWriter w;
    w.setDocument(Path("sub/a.xml"));
    w.OpenDoc("r");
    ASSERT_TRUE(QDir(Path("sub")).removeRecursively());
    EXPECT_THROW(w.CloseDoc(), XmlWriteError);
    EXPECT_TRUE(Entries().isEmpty());
    w.CloseDoc();  // nothing left to complete
}

TEST_F(XmlWriterTest, DestructorCompletesUnlessUnwinding) {
    const QByteArray complete =
        Doc({{0, kProlog}, {0, "<r>"}, {4, "<c>"}, {4, "</c>"}, {0, ""}, {0, "</r>"}, {0, ""}});
    auto start = [](ClsXMLWriter& w, const QString& path) {
        w.setDocument(path);
        w.OpenDoc("r");
        w.SetSimpleBlock("c");
    };
    {
        ClsXMLWriter w;
        start(w, Path("plain.xml"));
    }
    EXPECT_EQ(ReadAll(Path("plain.xml")), complete);

    WriteAll(Path("thrown.xml"), "old");
    try {
        ClsXMLWriter w;
        start(w, Path("thrown.xml"));
        throw std::runtime_error("caller failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadAll(Path("thrown.xml")), "old");

    // A writer that lives entirely inside a destructor run by unwinding is not itself unwound.
    struct WritesOnDestruction {
        std::function<void()> body;
        ~WritesOnDestruction() { body(); }
    };
    try {
        WritesOnDestruction guard{[&] {
            ClsXMLWriter w;
            start(w, Path("nested.xml"));
        }};
        throw std::runtime_error("unwinding");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadAll(Path("nested.xml")), complete);
    EXPECT_EQ(Entries(), QStringList({"nested.xml", "plain.xml", "thrown.xml"}));
}

}  // namespace
