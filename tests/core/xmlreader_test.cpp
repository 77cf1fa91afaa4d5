#include "core/xml/xmlreader.h"

#include <gtest/gtest.h>

#include <QFile>

#include "core/xml/xmlerror.h"
#include "support/testsupport.h"

namespace {

using cfg::ClsXMLReader;

class XmlReaderTest : public ::testing::Test {
  protected:
    QString Write(const QByteArray& content, const QString& name = "doc.xml") {
        cfgtest::WriteAll(dir_.filePath(name), content);
        return dir_.filePath(name);
    }
    bool Open(const QByteArray& content) {
        r.setDocument(Write(content));
        return r.OpenDoc();
    }
    QString Attributes() const {
        int n = -1;
        QStringList names, values;
        r.GetAttributes(n, names, values);
        return QString::number(n) + ":" + names.join(',') + "=" + values.join(',');
    }
    QString Here() {
        const QString text = r.LabelData();
        return r.LabelName() + QString::number(r.LabelID()) + (text.isEmpty() ? "" : "=" + text);
    }
    // The elements under the cursor, with their texts and elements, then the end records a
    // search by "/" or "//" and a child's name (case and spaces aside) finds.
    QString Tree() {
        QString out;
        QStringList names;
        for (int id = 0; id < 16; ++id) {
            if (!r.SearchChildID(id)) continue;
            names += r.LabelName();
            const QString here = Here(), inner = Tree();
            out += here + (inner.isEmpty() ? " " : "(" + inner + ") ");
            r.GoBack();
        }
        names.removeDuplicates();
        for (const QString& name : names)
            for (const QString& end : {" /" + name.toUpper(), "//" + name + " "})
                if (r.SearchString(end)) out += Here() + " ", r.GoBack();
        return out.trimmed();
    }
    QTemporaryDir dir_;
    ClsXMLReader r;
};

TEST_F(XmlReaderTest, FilesThatDoNotOpen) {
    // Refused unread: what lies past its first tags would be accepted.
    const QString huge = Write("<a></a>", "huge.xml");
    ASSERT_TRUE(QFile::resize(huge, ClsXMLReader::kMaxDocumentBytes + 1));
    const std::pair<QString, int> cases[] = {
        {huge, 10002}, {" ", 10000}, {dir_.filePath("none.xml"), 10001}, {dir_.path(), 10001}};
    const QString texts[] = {"No document to open", "Error opening document", "No valid document"};
    QList<int> ids;
    QStringList names;
    for (const auto& [path, number] : cases) {
        SCOPED_TRACE(path.toStdString());
        r.setDocument(path);
        EXPECT_FALSE(r.OpenDoc());
        EXPECT_EQ(QString::number(int(r.error().code)) + " " + r.error().text(),
                  QString::number(number) + " " + texts[number - 10000]);
        // Nothing is open: every read answers nothing.
        EXPECT_FALSE(r.LabelID() != -1 || r.SearchString("a") || r.GetChildren(ids, names) != 0);
        EXPECT_EQ(r.error().text(), QString("No document Opened"));
    }
}

// An end tag closes the innermost open element and takes the ID of the latest record it names
// under that element's parent ("<//a>" names an end record "/a"). A text goes to the record
// before it, up to the next tag.
TEST_F(XmlReaderTest, Documents) {
    // What opening answers: its failure, with "ERR" or not, or the tree, and whether it ends open.
    const std::tuple<const char*, QByteArray, const char*> cases[] = {
        {"its own element", "<a><b></b></a>", "a0(b1 /b1) /a0"},
        {"self-closing", "<a><b/><c/>\r\n</a>", "a0(b1 c2 /b1 /c2) /a0"},
        {"an earlier sibling", "<r><a></a><b></a></r>", "r0(a1 b2 /a1) /r0"},
        {"a self-closing sibling", "<r><x/><a/><b></a></r>", "r0(x1 a2 b3 /x1 /a2) /r0"},
        {"a sibling with children", "<r><a><x/></a><b><y/></a></r>",
         "r0(a1(x2 /x2) b3(y4 /y4) /a1) /r0"},
        {"three under one parent", "<r><a></a><b></a><c></c><d></c><e/><f><//e></r>",
         "r0(a1 b2 c3 d4 e5 f6 /a1 /c3 /e5 //e5) /r0"},
        {"the latest end record", "<r><a></a><a></a><b><//a></r>", "r0(a1 a2 b3 /a1 //a2) /r0"},
        {"two end records", "<a></a><b><a></a/>", "a0 b1(a2 /a2) /a0 //a0"},
        {"left open at the end", "<a></a><b><c/>", "a0 b1(c2 /c2) /a0 open"},
        {"a record under another parent", "<r><a><b></a></b></r>", "10002 ERR"},
        {"a name not seen", "<r>\r\n<a>\r\n</x>\r\n</r>", "10002 ERR"},
        {"a name in another case", "<a></A>", "10002 ERR"},
        {"an end record not made yet", "<a><//a>", "10002 ERR"},
        {"no element open", "</a>", "10002 ERR"},
        {"nothing open after the root", "<a></a>\r\n</a>", "10002 ERR"},
        {"nothing open for the second", "<a></a/>", "10002 ERR"},
        {"a broken tag after one", "</a>\r\n<b x>", "10002"},
        {"searches among the children", "<Root><Item/><b><item/></b><item></item></Root>",
         "Root0(Item1 b2(item3 /item3) item4 /Item1 /b2 /Item1) /Root0"},
        {"texts",
         "<?xml version=\"1.0\" ?>\n   <r>   \r<a> hello \r\n  world </a>\n\t<b>\tx\ty\t"
         "</b>\r\n\r\n   \r\n<c></c> after\r\n<d>\xf1\xe9</d>\r\n<e/> tail\n<f/>\n<?x?>more\n</r>",
         "r0(a1=helloworld b2=x y c3 d4=ñé e5 f6 /a1 /b2 /c3=after /d4 /e5=tail /f6=more) /r0"},
        {"a text no tag follows", "<a><b> x", "a0(b1) open"},
        {"a declaration's text no tag follows", "<a> y<?z?> x", "a0=y open"},
        {"no line", "  \r\n\n \r  ", "10002"},
        {"a text first", "x<a></a>", "10002"},
        {"a tab first", "\t<a></a>", "10002"},
        {"a tag left open", "<a>\r\n<b", "10002"},
        {"a line end in a name", "<ab\r\ncd></ab>", "10002"},
    };
    for (const auto& [name, content, answer] : cases) {
        SCOPED_TRACE(name);
        const bool opened = Open(content);
        EXPECT_EQ(opened
                      ? Tree() + (r.endsOpen() ? " open" : "")
                      : QString::number(r.error().code) + (r.error().unmatchedEndTag ? " ERR" : ""),
                  QString(answer));
    }
}
// One tag alone in a document: its name and attributes, or refused.
TEST_F(XmlReaderTest, TagSyntax) {
    const std::pair<QByteArray, const char*> cases[] = {
        // clang-format off
        {"a", "a 0:="}, {"a x=\"1\" y = \"2\"", "a 2:x,y,=1,2,"}, {"a x=\"1\"y=\"2\"", "a 2:x,y,=1,2,"},
        {"a  x =  \"\"", "a 1:x,=,"}, {"a x=\"<&'= /\"", "a 1:x,=<&'= /,"}, {"a ?", "a 0:="},
        {"a=\"1\"", "a=\"1\" 0:="}, {"", nullptr}, {" a", nullptr}, {"a x=\"1\" ", nullptr},
        {"a x", nullptr}, {"a x=1", nullptr}, {"a =\"1\"", nullptr}, {"a x=\"1", nullptr},
        {"a x=\"1\" /", nullptr},
        // clang-format on
    };
    for (const auto& [tag, read] : cases) {
        SCOPED_TRACE(tag.toStdString());
        ASSERT_EQ(Open("<" + tag + ">"), read != nullptr);
        EXPECT_EQ(read && r.SearchChildID(0) ? r.LabelName() + " " + Attributes() : QString(),
                  QString(read));
    }
}

TEST_F(XmlReaderTest, ChildrenAttributesAndReset) {
    ASSERT_TRUE(Open("<r>\r\n<c v=\"1\n  2\"\n  w=\n\"3\"></c><d/></r>") && r.SearchString(" R "));
    QList<int> ids;
    QStringList names;
    EXPECT_EQ(r.GetChildren(ids, names), 2);
    EXPECT_EQ(ids, (QList<int>{1, 2, 0}));  // one spare entry
    ASSERT_TRUE(r.SearchString("C"));
    // A line end between attributes stays in the next attribute's name.
    EXPECT_EQ(Attributes(), QString("2:v,\rw,=1\r2,3,"));
    r.Reset();
    EXPECT_EQ(r.LabelID(), -1);
    EXPECT_TRUE(r.SearchChildID(0));
}

}  // namespace
