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
    QList<int> Children() const {
        QList<int> ids;
        QStringList names;
        r.GetChildren(ids, names);
        return ids;
    }
    QTemporaryDir dir_;
    ClsXMLReader r;
};

TEST_F(XmlReaderTest, DocumentsThatDoNotOpenAndThoseLeftOpen) {
    // Refused unread: what lies past its first tags would be accepted.
    const QString huge = Write("<a></a>", "huge.xml");
    ASSERT_TRUE(QFile::resize(huge, ClsXMLReader::kMaxDocumentBytes + 1));
    // The path (null: a file with the content), the error number, an unmatched end tag or not.
    const std::tuple<QString, QByteArray, int, bool> cases[] = {
        {huge, {}, 10002, false},
        {" ", {}, 10000, false},
        {dir_.filePath("none.xml"), {}, 10001, false},
        {dir_.path(), {}, 10001, false},
        {{}, "  \r\n\n \r  ", 10002, false},
        {{}, "x<a></a>", 10002, false},
        {{}, "\t<a></a>", 10002, false},
        {{}, "<a>\r\n<b", 10002, false},
        {{}, "<ab\r\ncd></ab>", 10002, false},
        {{}, "</a>", 10002, true},
        {{}, "<r>\r\n<a>\r\n</x>\r\n</r>", 10002, true},
        {{}, "<r><a><b></a></b></r>", 10002, true},
    };
    const QString texts[] = {"No document to open", "Error opening document", "No valid document"};
    for (const auto& [path, content, number, unmatched] : cases) {
        SCOPED_TRACE((path + content).toStdString());
        r.setDocument(path.isNull() ? Write(content) : path);
        EXPECT_FALSE(r.OpenDoc());
        EXPECT_EQ(QString::number(int(r.error().code)) + " " + r.error().text(),
                  QString::number(number) + " " + texts[number - 10000]);
        EXPECT_EQ(r.error().unmatchedEndTag, unmatched);
        // Nothing is open: every read answers nothing.
        EXPECT_FALSE(r.LabelID() != -1 || r.SearchString("a") || !Children().isEmpty());
        EXPECT_EQ(r.error().text(), QString("No document Opened"));
    }
    // Elements left open at the end are accepted, and told; the text after the last tag is dropped.
    ASSERT_TRUE(Open("<a></a>\r\n<b/>"));
    EXPECT_FALSE(r.endsOpen());
    ASSERT_TRUE(Open("<a><b> x"));
    EXPECT_TRUE(r.endsOpen());
    ASSERT_TRUE(r.SearchString("a") && r.SearchString("b"));
    EXPECT_EQ(r.LabelData(), "");
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
        if (!read) continue;
        r.Reset();
        ASSERT_TRUE(r.SearchChildID(0));
        EXPECT_EQ(r.LabelName() + " " + Attributes(), QString(read));
    }
}

TEST_F(XmlReaderTest, TextsLinesAndSearchesAmongTheCurrentElementsChildren) {
    ASSERT_TRUE(
        Open("<?xml version=\"1.0\" ?>\n   <r>   \r<a> hello \r\n  world </a>\n"
             "\t<b>\tx\ty\t</b>\r\n\r\n   \r\n<c v=\"1\n  2\"\n  w=\n\"3\"></c> after\r\n"
             "<d>\xf1\xe9</d>\r\n<e/> tail\n</r>"));
    ASSERT_TRUE(r.SearchString("r"));
    EXPECT_EQ(Children(), (QList<int>{1, 2, 3, 4, 5, 0}));  // one spare entry
    const std::pair<const char*, QString> data[] = {{"a", "helloworld"}, {"b", "x y"}, {"c", ""},
                                                    {"/c", "after"},     {"d", "ñé"},  {"e", ""},
                                                    {"/e", "tail"}};
    for (const auto& [name, text] : data) {
        ASSERT_TRUE(r.SearchString(name)) << name;
        EXPECT_EQ(r.LabelData(), text) << name;
        r.GoBack();
    }
    ASSERT_TRUE(r.SearchString("c"));
    // A line end between attributes stays in the next attribute's name.
    EXPECT_EQ(Attributes(), QString("2:v,\rw,=1\r2,3,"));
    // Searches look among the current element's children.
    ASSERT_TRUE(
        Open("<?xml?>\r\n<Root><Item>1</Item><b><item>2</item></b><item>3</item></Root>\r\n"));
    EXPECT_FALSE(r.SearchString("item"));  // not a child of the top level
    ASSERT_TRUE(r.SearchString("  ROOT "));
    ASSERT_TRUE(r.SearchString("ITEM"));
    EXPECT_EQ(r.LabelID(), 1);  // the first of the name
    r.GoBack();
    EXPECT_EQ(r.LabelID(), 0);
    EXPECT_FALSE(r.SearchChildID(3));  // a grandchild
    ASSERT_TRUE(r.SearchChildID(4));
    EXPECT_EQ(r.LabelData(), "3");
    r.Reset();
    EXPECT_EQ(r.LabelID(), -1);
    EXPECT_TRUE(r.SearchChildID(0));
}

}  // namespace
