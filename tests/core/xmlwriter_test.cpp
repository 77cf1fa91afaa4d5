#include "core/xml/xmlwriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>

#include "support/faildevice.h"
#include "support/testsupport.h"

namespace {

using cfg::ClsXMLWriter;
using cfgtest::ReadAll;

// The file text of (leading spaces, text) lines, each ending in CR LF.
QByteArray Doc(std::initializer_list<std::pair<int, const char*>> lines) {
    QByteArray out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n";
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

// A block's tag goes one step in from the lines around it and its content two; an empty line
// follows its end tag. Nothing is escaped, one byte per character; CloseDoc ends every block.
TEST_F(XmlWriterTest, IndentationAndLineBytes) {
    ClsXMLWriter w;
    w.setDocument(Path("c.xml"));
    w.OpenDoc("TARASCOPE");
    w.SetData("lang", "");
    w.SetSimpleBlock("COMMON");
    w.SetDataBlock("MENU", 1, {"id", "text"}, {"3", "<&\""});  // the count, not the lists
    w.SetData("VALUE", QString::fromUtf8("a<b&\xc3\xb1\xe2\x82\xac"));
    w.EndDataBlock();
    w.SetDataBlock("N", 0, {"id"}, {"3"});
    w.EndDataBlock();
    w.EndDataBlock();
    w.SetDataBlock("SCALE", 1, {"number"}, {"2"});
    w.SetSimpleBlock("MENU");
    w.CloseDoc();
    // clang-format off
    EXPECT_EQ(ReadAll(Path("c.xml")),
              Doc({{0, "<TARASCOPE>"}, {0, "<lang>  </lang>"}, {4, "<COMMON>"},
                   {12, "<MENU id=\"3\">"}, {16, "<VALUE> a<b&\xf1? </VALUE>"}, {12, "</MENU>"},
                   {0, ""}, {12, "<N>"}, {12, "</N>"}, {0, ""}, {4, "</COMMON>"}, {0, ""},
                   {4, "<SCALE number=\"2\">"}, {12, "<MENU>"}, {12, "</MENU>"}, {0, ""},
                   {4, "</SCALE>"}, {0, ""}, {0, "</TARASCOPE>"}, {0, ""}}));
    // clang-format on
}

TEST_F(XmlWriterTest, MisuseWritesNothingAndAFailedOpenKeepsTheOpenDocument) {
    ClsXMLWriter w;
    EXPECT_FALSE(w.OpenDoc("r"));
    EXPECT_EQ(w.errorString(), "No document to open");
    w.setDocument(Path("good.xml"));
    w.SetData("k", "v");
    EXPECT_FALSE(w.CloseDoc());
    EXPECT_TRUE(Entries().isEmpty());
    ASSERT_TRUE(w.OpenDoc("r"));
    for (const QString& bad : {Path("missing/x.xml"), dir_.path()}) {
        w.setDocument(bad);
        EXPECT_FALSE(w.OpenDoc("other"));
        EXPECT_EQ(w.errorString(), "Error opening document");
    }
    w.SetData("k", "v");
    EXPECT_TRUE(w.CloseDoc());
    const QByteArray good = Doc({{0, "<r>"}, {0, "<k> v </k>"}, {0, "</r>"}, {0, ""}});
    EXPECT_EQ(ReadAll(Path("good.xml")), good);
    // Fewer attribute names or values than the count drop the document.
    w.setDocument(Path("good.xml"));
    ASSERT_TRUE(w.OpenDoc("other"));
    w.SetDataBlock("M", 2, {"id"}, {"1", "2"});
    EXPECT_FALSE(w.CloseDoc());
    EXPECT_EQ(ReadAll(Path("good.xml")), good);
}

// A file is replaced only by a complete document: not by one left open, discarded by another
// OpenDoc or by the writer's end, nor by one whose writes or final rename fail.
TEST_F(XmlWriterTest, FileReplacedOnlyWhenComplete) {
    const auto sample = [](ClsXMLWriter& w) {
        w.OpenDoc("r");
        for (int i = 0; i < 20; ++i) w.SetData("VALUE", QString::number(i));
        return w.CloseDoc();
    };
    {
        ClsXMLWriter w;
        w.setDocument(Path("whole.xml"));
        ASSERT_TRUE(sample(w));
        w.setDocument(Path("a.xml"));
        w.OpenDoc("r");
        w.setDocument(Path("whole.xml"));
        w.OpenDoc("r");
    }
    const QByteArray whole = ReadAll(Path("whole.xml"));
    EXPECT_EQ(Entries(), QStringList({"whole.xml"}));
    for (qint64 budget : {qint64(0), qint64(60), qint64(whole.size() - 1), qint64(whole.size())}) {
        SCOPED_TRACE(budget);
        cfgtest::WriteAll(Path("a.xml"), "old");
        ClsXMLWriter w([budget](const QString& p) { return cfgtest::OpenFailDevice(p, budget); });
        w.setDocument(Path("a.xml"));
        const bool complete = budget == whole.size();
        EXPECT_EQ(sample(w), complete);
        EXPECT_EQ(ReadAll(Path("a.xml")), complete ? whole : QByteArray("old"));
        EXPECT_EQ(w.errorString().startsWith("Error writing"), !complete);
        EXPECT_EQ(Entries(), QStringList({"a.xml", "whole.xml"}));
    }
    QDir(dir_.path()).mkdir("sub");
    ClsXMLWriter w;
    w.setDocument(Path("sub/a.xml"));
    w.OpenDoc("r");
    ASSERT_TRUE(QDir(Path("sub")).removeRecursively());
    EXPECT_FALSE(w.CloseDoc());
}

}  // namespace
