#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <utility>
#include <vector>

#include "core/xml/xmlwriter.h"
#include "support/faildevice.h"
#include "support/testsupport.h"

namespace {

using cfg::ClsXMLWriter;
using cfgtest::ReadAll;
using cfgtest::WriteAll;

const char* const kProlog = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>";

// Expected file text from (leading spaces, text) lines, each ending in CR LF.
QByteArray Doc(std::initializer_list<std::pair<int, const char*>> lines) {
    QByteArray out;
    for (const auto& [spaces, text] : lines) out += QByteArray(spaces, ' ') + text + "\r\n";
    return out;
}

// "<r>" holding an empty block "<c>".
QByteArray RootWithBlock() {
    return Doc({{0, kProlog}, {0, "<r>"}, {4, "<c>"}, {4, "</c>"}, {0, ""}, {0, "</r>"}, {0, ""}});
}

class XmlWriterTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir_;
};

// A block's tag goes one step in from the lines around it and its content two; an empty line
// follows its end tag. CloseDoc ends every block still open.
TEST_F(XmlWriterTest, NestedBlocks) {
    ClsXMLWriter w;
    w.setDocument(Path("c.xml"));
    w.OpenDoc("TARASCOPE");
    w.SetData("lang", "org");
    w.SetSimpleBlock("COMMON");
    w.SetDataBlock("MENU", 2, {"id", "text"}, {"3", "Menu 3"});
    w.SetData("VALUE", "2");
    w.EndDataBlock();
    w.SetSimpleBlock("AVAILABLE");
    w.SetData("ITEM", "NO");
    w.EndDataBlock();
    w.EndDataBlock();
    w.SetDataBlock("SCALE", 1, {"number"}, {"2"});
    w.SetSimpleBlock("MENU");
    w.SetData("VALUE", "~ABC~");
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("c.xml")), Doc({{0, kProlog},
                                           {0, "<TARASCOPE>"},
                                           {0, "<lang> org </lang>"},
                                           {4, "<COMMON>"},
                                           {12, "<MENU id=\"3\" text=\"Menu 3\">"},
                                           {16, "<VALUE> 2 </VALUE>"},
                                           {12, "</MENU>"},
                                           {0, ""},
                                           {12, "<AVAILABLE>"},
                                           {16, "<ITEM> NO </ITEM>"},
                                           {12, "</AVAILABLE>"},
                                           {0, ""},
                                           {4, "</COMMON>"},
                                           {0, ""},
                                           {4, "<SCALE number=\"2\">"},
                                           {12, "<MENU>"},
                                           {16, "<VALUE> ~ABC~ </VALUE>"},
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
        {"past the root: end tags write nothing, lines no spaces",
         [](ClsXMLWriter& w) {
             w.EndDataBlock();  // the root: level -2 from here
             w.EndDataBlock();
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

TEST_F(XmlWriterTest, OpenFailuresAndMisuse) {
    ClsXMLWriter w;
    EXPECT_FALSE(w.OpenDoc("r"));
    EXPECT_EQ(w.errorString(), "No document to open");
    w.setDocument(Path("never.xml"));
    w.SetData("k", "v");
    w.SetSimpleBlock("k");
    w.EndDataBlock();
    EXPECT_FALSE(w.CloseDoc());
    EXPECT_TRUE(Entries().isEmpty());

    // A failed OpenDoc leaves the document being written as it was.
    w.setDocument(Path("good.xml"));
    ASSERT_TRUE(w.OpenDoc("r"));
    w.SetSimpleBlock("c");
    for (const QString& bad : {Path("missing/x.xml"), dir_.path()}) {
        w.setDocument(bad);
        EXPECT_FALSE(w.OpenDoc("other")) << bad.toStdString();
        EXPECT_EQ(w.errorString(), "Error opening document");
    }
    w.SetData("k", "v");
    EXPECT_TRUE(w.CloseDoc());
    EXPECT_EQ(ReadAll(Path("good.xml")), Doc({{0, kProlog},
                                              {0, "<r>"},
                                              {4, "<c>"},
                                              {8, "<k> v </k>"},
                                              {4, "</c>"},
                                              {0, ""},
                                              {0, "</r>"},
                                              {0, ""}}));

    // Fewer attribute names or values than the count drops the document.
    const QByteArray good = ReadAll(Path("good.xml"));
    for (const auto& [names, values] : std::vector<std::pair<QStringList, QStringList>>{
             {{"id"}, {"1", "2"}}, {{"id", "t"}, {"1"}}}) {
        w.setDocument(Path("good.xml"));
        ASSERT_TRUE(w.OpenDoc("other"));
        w.SetDataBlock("M", 2, names, values);
        w.SetData("k", "v");
        EXPECT_FALSE(w.CloseDoc());
        EXPECT_FALSE(w.errorString().isEmpty());
        EXPECT_EQ(ReadAll(Path("good.xml")), good);
    }
}

TEST_F(XmlWriterTest, FileReplacedOnlyWhenComplete) {
    WriteAll(Path("a.xml"), "old");
    WriteAll(Path("b.xml"), "old b");
    ClsXMLWriter w;
    w.setDocument(Path("a.xml"));
    w.OpenDoc("r");
    w.SetSimpleBlock("c");
    EXPECT_EQ(ReadAll(Path("a.xml")), "old");

    // Opening another document discards the one still open, and so does destroying a writer.
    w.setDocument(Path("b.xml"));
    w.OpenDoc("r");
    EXPECT_EQ(ReadAll(Path("a.xml")), "old");
    EXPECT_EQ(ReadAll(Path("b.xml")), "old b");
    w.SetSimpleBlock("c");  // indented afresh
    w.CloseDoc();
    EXPECT_EQ(ReadAll(Path("b.xml")), RootWithBlock());
    w.CloseDoc();  // nothing more to complete
    {
        ClsXMLWriter unfinished;
        unfinished.setDocument(Path("b.xml"));
        unfinished.OpenDoc("r");
    }
    EXPECT_EQ(ReadAll(Path("b.xml")), RootWithBlock());
    EXPECT_EQ(Entries(), QStringList({"a.xml", "b.xml"}));
}

bool WriteSample(ClsXMLWriter& w) {
    w.OpenDoc("TARASCOPE");
    w.SetDataBlock("SCALE", 1, {"number"}, {"2"});
    for (int i = 0; i < 20; ++i) w.SetData("VALUE", QString::number(i));
    return w.CloseDoc();
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
        EXPECT_FALSE(WriteSample(w));
        EXPECT_TRUE(w.errorString().startsWith("Error writing")) << w.errorString().toStdString();
        EXPECT_EQ(ReadAll(Path("a.xml")), "old");
        EXPECT_EQ(Entries(), QStringList({"a.xml", "whole.xml"}));
        // The failed document is dropped: the writer writes nothing more.
        w.SetData("k", "v");
        EXPECT_FALSE(w.CloseDoc());
        EXPECT_EQ(ReadAll(Path("a.xml")), "old");
    }

    ClsXMLWriter w([size](const QString& p) { return cfgtest::OpenFailDevice(p, size); });
    w.setDocument(Path("a.xml"));
    EXPECT_TRUE(WriteSample(w));
    EXPECT_EQ(ReadAll(Path("a.xml")), whole);
}

TEST_F(XmlWriterTest, FailedRenameKeepsNothing) {
    QDir(dir_.path()).mkdir("sub");
    ClsXMLWriter w;
    w.setDocument(Path("sub/a.xml"));
    w.OpenDoc("r");
    ASSERT_TRUE(QDir(Path("sub")).removeRecursively());
    EXPECT_FALSE(w.CloseDoc());
    EXPECT_TRUE(Entries().isEmpty());
}

}  // namespace
