#include "core/xml/xmlreader.h"

#include <gtest/gtest.h>

#include <QFile>

#include "support/testsupport.h"

namespace {

using cfg::ClsXMLReader;

class XmlReaderTest : public ::testing::Test {
  protected:
    bool Open(const QByteArray& content) {
        cfgtest::WriteAll(dir_.filePath("doc.xml"), content);
        r.setDocument(dir_.filePath("doc.xml"));
        return r.OpenDoc();
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
    const QString huge = dir_.filePath("huge.xml");
    cfgtest::WriteAll(huge, "<a></a>");
    ASSERT_TRUE(QFile::resize(huge, ClsXMLReader::kMaxDocumentBytes + 1));
    const std::pair<QString, QString> cases[] = {
        {huge, "10002 No valid document"},
        {" ", "10000 No document to open"},
        {dir_.filePath("none.xml"), "10001 Error opening document"},
        {dir_.path(), "10001 Error opening document"}};
    for (const auto& [path, answer] : cases) {
        SCOPED_TRACE(path.toStdString());
        r.setDocument(path);
        EXPECT_FALSE(r.OpenDoc());
        EXPECT_EQ(QString::number(int(r.error().code)) + " " + r.error().text(), answer);
        // Nothing is open: every read answers nothing.
        EXPECT_FALSE(r.LabelID() != -1 || r.SearchString("a") || !Tree().isEmpty());
        EXPECT_EQ(r.error().text(), QString("No document Opened"));
    }
}

// An end tag closes the innermost open element and takes the ID of the latest record it names
// under that element's parent ("<//a>" names an end record "/a"); a text goes to the record before
// it, up to the next tag. Each case: the tree read and whether it ends open, or the failure.
TEST_F(XmlReaderTest, Documents) {
    const std::tuple<const char*, QByteArray, const char*> cases[] = {
        {"an earlier sibling", "<r><a></a><b></a></r>", "r0(a1 b2 /a1) /r0"},
        {"a self-closing sibling", "<r><x/><a/><b></a></r>", "r0(x1 a2 b3 /x1 /a2) /r0"},
        {"a sibling with children", "<r><a><x/></a><b><y/></a></r>",
         "r0(a1(x2 /x2) b3(y4 /y4) /a1) /r0"},
        {"three under one parent", "<r><a></a><b></a><c></c><d></c><e/><f><//e></r>",
         "r0(a1 b2 c3 d4 e5 f6 /a1 /c3 /e5 //e5) /r0"},
        {"the latest end record", "<r><a></a><a></a><b><//a></r>", "r0(a1 a2 b3 /a1 //a2) /r0"},
        {"two end records", "<a></a><b><a></a/> x<c/>", "a0 b1(a2 /a2) c3 /a0 //a0=x /c3"},
        {"left open at the end", "<a></a><b><c/>", "a0 b1(c2 /c2) /a0 open"},
        {"searches among the children", "<Root><Item/><b><item/></b><item></item></Root>",
         "Root0(Item1 b2(item3 /item3) item4 /Item1 /b2 /Item1) /Root0"},
        {"texts",
         "<?xml version=\"1.0\" ?>\n   <r>   \r<a> hello \r\n  world </a>\n\t<b>\tx\ty\t"
         "</b>\r\n\r\n   \r\n<c></c> after\r\n<d>\xf1\xe9</d>\r\n<e/> tail\n<f/>\n<?x?>more\n</r>",
         "r0(a1=helloworld b2=x y c3 d4=ñé e5 f6 /a1 /b2 /c3=after /d4 /e5=tail /f6=more) /r0"},
        {"a text no tag follows", "<a><b> x", "a0(b1) open"},
        {"a declaration's text no tag follows", "<a> y<?z?> x", "a0=y open"},
        // clang-format off
        {"a record under another parent", "<r><a><b></a></b></r>", "10002 ERR"},
        {"a name not seen", "<r><a></x></r>", "10002 ERR"},
        {"an end record not made yet", "<a><//a>", "10002 ERR"},
        {"nothing open for the second", "<a></a/>", "10002 ERR"},
        {"a name in another case", "<a></A>", "10002 ERR"}, {"a text first", "x<a></a>", "10002"},
        {"a broken tag after one", "</a><b x>", "10002"}, {"a tab first", "\t<a></a>", "10002"},
        {"a name on two lines", "<ab\r\ncd></ab>", "10002"}, {"no line", "  \r\n\n \r  ", "10002"},
        {"no element open", "</a>", "10002 ERR"}, {"a tag left open", "<a>\r\n<b", "10002"},
        // clang-format on
    };
    for (const auto& [name, content, answer] : cases)
        EXPECT_EQ(Open(content)
                      ? Tree() + (r.endsOpen() ? " open" : "")
                      : QString::number(r.error().code) + (r.error().unmatchedEndTag ? " ERR" : ""),
                  QString(answer))
            << name;
}

// One tag alone in a document: its name and attributes, or refused.
TEST_F(XmlReaderTest, TagSyntax) {
    const std::pair<QByteArray, const char*> cases[] = {
        // clang-format off
        {"a", "a 0:="}, {"a x=\"1\" y = \"2\"", "a 2:x,y,=1,2,"}, {"a x=\"1\"y=\"2\"", "a 2:x,y,=1,2,"},
        {"a  x =  \"\"", "a 1:x,=,"}, {"a x=\"<&'= /\"", "a 1:x,=<&'= /,"}, {"a ?", "a 0:="},
        {"a=\"1\"", "a=\"1\" 0:="}, {"", nullptr}, {" a", nullptr}, {"a x=\"1\" ", nullptr},
        {"a x", nullptr}, {"a x=1", nullptr}, {"a =\"1\"", nullptr}, {"a x=\"1", nullptr},
        {"a x=\"1\" /", nullptr}, {"a v=\"1\n  2\"\n  w=\n\"3\"", "a 2:v,\rw,=1\r2,3,"},
        // clang-format on
    };
    for (const auto& [tag, read] : cases) {
        SCOPED_TRACE(tag.toStdString());
        ASSERT_EQ(Open("<" + tag + ">"), read != nullptr);
        int n = -1;
        QStringList names, values;
        if (read && r.SearchChildID(0)) r.GetAttributes(n, names, values);
        EXPECT_EQ(
            read ? r.LabelName() + QString(" %1:").arg(n) + names.join(',') + "=" + values.join(',')
                 : QString(),
            QString(read));
    }
}

TEST_F(XmlReaderTest, ChildrenAndReset) {
    ASSERT_TRUE(Open("<r><c/><d/></r>") && r.SearchString(" R "));
    QList<int> ids;
    QStringList names;
    EXPECT_TRUE(r.GetChildren(ids, names) == 2 && ids == QList<int>({1, 2, 0}));  // one spare
    r.Reset();
    EXPECT_TRUE(r.LabelID() == -1 && r.SearchChildID(0));
}

}  // namespace
