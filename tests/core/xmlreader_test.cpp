#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <random>
#include <tuple>
#include <vector>

#include "core/link/trafficlog.h"
#include "core/xml/xmlerror.h"
#include "core/xml/xmlreader.h"
#include "core/xml/xmlwriter.h"
#include "support/testsupport.h"

namespace {

using cfg::ClsXMLReader;
using cfg::XmlError;

class XmlReaderTest : public ::testing::Test {
  protected:
    QString Write(const QByteArray& content, const QString& name = "doc.xml") {
        const QString path = dir_.filePath(name);
        cfgtest::WriteAll(path, content);
        return path;
    }
    void Open(ClsXMLReader& r, const QByteArray& content) {
        r.setDocument(Write(content));
        r.OpenDoc();
    }
    static XmlError FailureOf(ClsXMLReader& r) {
        const bool opened = r.OpenDoc();
        EXPECT_EQ(opened, !r.error().failed());
        return r.error();
    }
    static QList<int> Ids(ClsXMLReader& r) {
        QList<int> ids;
        QStringList names;
        r.GetChildren(ids, names);
        return ids;
    }
    QTemporaryDir dir_;
};

TEST_F(XmlReaderTest, FailureNumbersAndTexts) {
    const std::vector<std::tuple<XmlError::Code, int, const char*>> failures = {
        {XmlError::NoDocument, 10000, "No document to open"},
        {XmlError::OpenFailed, 10001, "Error opening document"},
        {XmlError::NotValid, 10002, "No valid document"},
        {XmlError::NotOpened, 10003, "No document Opened"}};
    for (const auto& [code, number, text] : failures) {
        EXPECT_EQ(int(code), number);
        EXPECT_EQ(XmlError{code}.text(), text);
    }
}

TEST_F(XmlReaderTest, EveryReadFailsBeforeOpening) {
    ClsXMLReader r;
    r.setDocument(Write("x"));
    EXPECT_EQ(FailureOf(r).code, XmlError::NotValid);  // a failed OpenDoc opens nothing either
    int n = 0;
    QStringList names, values;
    QList<int> ids;
    // Each answers nothing.
    const std::vector<std::function<bool()>> calls = {
        [&] { return r.LabelID() == -1; },
        [&] { return r.LabelName().isEmpty(); },
        [&] { return r.LabelData().isEmpty(); },
        [&] {
            r.GetAttributes(n, names, values);
            return n == 0;
        },
        [&] { return r.GetChildren(ids, names) == 0; },
        [&] {
            r.Reset();
            return true;
        },
        [&] {
            r.GoBack();
            return true;
        },
        [&] { return !r.SearchChildID(0); },
        [&] { return !r.SearchString("a"); },
    };
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        r.setDocument(Write("x"));
        r.OpenDoc();
        n = 1;
        EXPECT_TRUE(calls[i]());
        EXPECT_EQ(r.error().code, XmlError::NotOpened);
    }
}

TEST_F(XmlReaderTest, DocumentsThatDoNotOpen) {
    struct Case {
        const char* what;
        QString path;  // empty: a file with `content`
        QByteArray content;
        XmlError::Code code;
        bool err;
    };
    // Refused unread: what lies past its first tags would be accepted.
    const QString huge = Write("<a></a>", "huge.xml");
    ASSERT_TRUE(QFile::resize(huge, ClsXMLReader::kMaxDocumentBytes + 1));
    const std::vector<Case> cases = {
        {"larger than the limit", huge, {}, XmlError::NotValid, false},
        {"no path", " ", {}, XmlError::NoDocument, false},
        {"missing file", dir_.filePath("none.xml"), {}, XmlError::OpenFailed, false},
        {"folder", dir_.path(), {}, XmlError::OpenFailed, false},
        {"empty file", {}, "", XmlError::NotValid, false},
        {"blank lines", {}, "  \r\n\n \r  ", XmlError::NotValid, false},
        {"text before the first tag", {}, "x<a></a>", XmlError::NotValid, false},
        {"tab before the first tag", {}, "\t<a></a>", XmlError::NotValid, false},
        {"unterminated tag", {}, "<a>\r\n<b", XmlError::NotValid, false},
        {"tag name over two lines", {}, "<ab\r\ncd></ab>", XmlError::NotValid, false},
        {"end tag with nothing open", {}, "</a>", XmlError::NotValid, true},
        {"end tag of no open element", {}, "<r>\r\n<a>\r\n</x>\r\n</r>", XmlError::NotValid, true},
        {"end tag one level too deep", {}, "<r><a><b></a></b></r>", XmlError::NotValid, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClsXMLReader r;
        r.setDocument(c.path.isNull() ? Write(c.content) : c.path);
        const XmlError e = FailureOf(r);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.unmatchedEndTag, c.err);
    }
}

TEST_F(XmlReaderTest, FailedOpenKeepsThePreviousDocument) {
    ClsXMLReader r;
    Open(r, "<r>\r\n<a k=\"v\"> 1 </a>\r\n</r>\r\n");
    ASSERT_TRUE(r.SearchString("r"));
    ASSERT_TRUE(r.SearchString("a"));
    for (const QString& bad : {QString(), dir_.filePath("none.xml"), Write("<a", "bad.xml")}) {
        r.setDocument(bad);
        EXPECT_FALSE(r.OpenDoc());
        EXPECT_EQ(r.LabelID(), 1);
        EXPECT_EQ(r.LabelData(), "1");
        r.GoBack();
        EXPECT_EQ(r.LabelName(), "r");
        ASSERT_TRUE(r.SearchString("a"));
    }
    // Opening again starts over with the cursor above the top level.
    r.setDocument(Write("<s><b/></s>", "other.xml"));
    ASSERT_TRUE(r.OpenDoc());
    EXPECT_FALSE(r.error().failed());
    EXPECT_EQ(r.LabelID(), -1);
    EXPECT_FALSE(r.SearchString("r"));
    EXPECT_TRUE(r.SearchString("s"));
}

// One tag alone in a document: accepted with its name and attributes, or refused.
TEST_F(XmlReaderTest, TagSyntax) {
    struct Case {
        QByteArray tag;
        const char* name;  // null: refused
        QStringList names;
        QStringList values;
    };
    const std::vector<Case> cases = {
        {"a", "a", {}, {}},
        {"a x=\"1\" y = \"2\"", "a", {"x", "y"}, {"1", "2"}},
        {"a x=\"1\"y=\"2\"", "a", {"x", "y"}, {"1", "2"}},
        {"a  x =  \"\"", "a", {"x"}, {""}},
        {"a x=\"<&'= /\"", "a", {"x"}, {"<&'= /"}},
        {"a x=\"1\" x=\"2\"", "a", {"x", "x"}, {"1", "2"}},
        {"a ?", "a", {}, {}},
        {"a=\"1\"", "a=\"1\"", {}, {}},
        {"", nullptr, {}, {}},
        {" a", nullptr, {}, {}},
        {"a x=\"1\" ", nullptr, {}, {}},
        {"a x", nullptr, {}, {}},
        {"a x=1", nullptr, {}, {}},
        {"a =\"1\"", nullptr, {}, {}},
        {"a x=\"1", nullptr, {}, {}},
        {"a x=\"1\" /", nullptr, {}, {}},
        {"/a x=\"1\"", nullptr, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag.toStdString());
        ClsXMLReader r;
        r.setDocument(Write("<" + c.tag + ">"));
        if (!c.name) {
            const XmlError e = FailureOf(r);
            EXPECT_EQ(e.code, XmlError::NotValid);
            EXPECT_FALSE(e.unmatchedEndTag);
            continue;
        }
        r.OpenDoc();
        ASSERT_TRUE(r.SearchString(c.name));
        EXPECT_EQ(r.LabelName(), c.name);
        int n = -1;
        QStringList names, values;
        r.GetAttributes(n, names, values);
        EXPECT_EQ(n, c.names.size());
        EXPECT_EQ(names, c.names + QStringList{""});
        EXPECT_EQ(values, c.values + QStringList{""});
    }
}

TEST_F(XmlReaderTest, DeclarationAloneMakesNoRecord) {
    ClsXMLReader r;
    Open(r, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n");
    for (const char* name : {"xml", "?xml", "version", ""}) EXPECT_FALSE(r.SearchString(name));
    EXPECT_FALSE(r.SearchChildID(0));
    r.Reset();
    r.GoBack();
    QList<int> ids{5};
    QStringList names{"keep"};
    EXPECT_EQ(r.GetChildren(ids, names), 0);
    EXPECT_EQ(ids, QList<int>{5});
    EXPECT_EQ(r.LabelID(), -1);
}

TEST_F(XmlReaderTest, TextsAndLines) {
    ClsXMLReader r;
    Open(r, QByteArray("<?xml version=\"1.0\" ?>\n"
                       "   <r>   \r"
                       "<a> hello \r\n  world </a>\n"
                       "\t<b>\tx\ty\t</b>\r\n"
                       "\r\n   \r\n"
                       "<c v=\"1\n  2\"\n  w=\n\"3\"></c> after\r\n"
                       "<d>\xf1\xe9</d>\r\n"
                       "<e/> tail\n"
                       "</r>"));
    ASSERT_TRUE(r.SearchString("r"));
    EXPECT_EQ(Ids(r), (QList<int>{1, 2, 3, 4, 5, 0}));
    const std::vector<std::pair<const char*, QString>> data = {
        {"a", "helloworld"}, {"b", "x y"}, {"c", ""},     {"/c", "after"},
        {"d", "ñé"},         {"e", ""},    {"/e", "tail"}};
    for (const auto& [name, text] : data) {
        ASSERT_TRUE(r.SearchString(name)) << name;
        EXPECT_EQ(r.LabelData(), text) << name;
        r.GoBack();
    }
    ASSERT_TRUE(r.SearchString("c"));
    int n = 0;
    QStringList names, values;
    r.GetAttributes(n, names, values);
    // A line end between attributes stays in the next attribute's name.
    EXPECT_EQ(names, (QStringList{"v", "\rw", ""}));
    EXPECT_EQ(values, (QStringList{"1\r2", "3", ""}));
}

TEST_F(XmlReaderTest, LeftOpenElementsAndLooseEndTags) {
    ClsXMLReader r;
    // Elements left open at the end are accepted; the text after the last tag is dropped.
    Open(r, "<a><b> x");
    ASSERT_TRUE(r.SearchString("a"));
    ASSERT_TRUE(r.SearchString("b"));
    EXPECT_EQ(r.LabelData(), "");

    // An end tag pairs with the latest earlier element of its name under the expected parent,
    // which need not be the element it closes.
    Open(r, "<r><b></b><a></b></r>");
    ASSERT_TRUE(r.SearchString("r"));
    EXPECT_EQ(Ids(r), (QList<int>{1, 2, 0}));
    ASSERT_TRUE(r.SearchString("a"));
    EXPECT_TRUE(Ids(r).isEmpty());

    // The text after a declaration goes to the record before it, when a tag follows.
    Open(r, "<a> x <?p?> y <?q?> z");
    ASSERT_TRUE(r.SearchString("a"));
    EXPECT_EQ(r.LabelData(), "y");
    // "//a" pairs with the end record "/a"; "</a/>" makes two end records, the first without
    // text.
    Open(r, "<r><a></a><p><a></a/> y </r>");
    ASSERT_TRUE(r.SearchString("r"));
    ASSERT_TRUE(r.SearchString(" //A"));
    EXPECT_EQ(r.LabelID(), 1);
    EXPECT_EQ(r.LabelData(), "y");
    r.GoBack();
    ASSERT_TRUE(r.SearchString("p"));
    ASSERT_TRUE(r.SearchString("/a"));
    EXPECT_EQ(r.LabelData(), "");
}

// What the writer produces reads back element by element, and every LabelData read is logged.
TEST_F(XmlReaderTest, WriterOutputReadsBack) {
    const QStringList values = {"", "a b", "x&y\"z", "ñÑ", "~ABC~", ">", "  padded  "};
    auto text = [](int i) { return "Opción & <" + QString::number(i); };
    cfg::ClsXMLWriter w;
    w.setDocument(dir_.filePath("c.xml"));
    w.OpenDoc("TARASCOPE");
    for (int i = 0; i < values.size(); ++i) {
        w.SetDataBlock("OPTION", 2, {"id", "text"}, {QString::number(i), text(i)});
        w.SetData("VALUE", values[i]);
        w.EndDataBlock();
    }
    w.CloseDoc();

    ClsXMLReader r;
    r.setDocument(dir_.filePath("c.xml"));
    r.OpenDoc();
    ASSERT_TRUE(r.SearchString(" Tarascope "));
    QList<int> options;
    QStringList names;
    ASSERT_EQ(r.GetChildren(options, names), values.size());
    QStringList attribNames{"p", "q", "r", "s"}, attribValues;  // rebuilt by every call
    for (int i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(r.SearchChildID(options[i]));
        int n = -1;
        r.GetAttributes(n, attribNames, attribValues);
        EXPECT_EQ(n, 2);
        EXPECT_EQ(attribNames, (QStringList{"id", "text", ""}));
        EXPECT_EQ(attribValues, (QStringList{QString::number(i), text(i), ""}));
        ASSERT_TRUE(r.SearchString("value"));
        EXPECT_EQ(r.LabelData(), values[i].trimmed());
        r.GoBack();
        r.GoBack();
    }
}

// --- The indexed lookups against a plain scan of the record table, on random documents ---

struct Rec {
    bool isEnd;
    int id;
    int parent;
    QString name;
    QStringList attribNames;
    QStringList attribValues;
    QString data;
};

// The cursor rules applied by scanning every record, as the table is described.
struct ScanReader {
    std::vector<Rec> recs;
    int index = -1;
    int id = -1;

    const Rec* Current() const {
        return index >= 0 && index < int(recs.size()) ? &recs[std::size_t(index)] : nullptr;
    }
    bool Find(const std::function<bool(const Rec&)>& match) {
        for (std::size_t k = 0; k < recs.size(); ++k) {
            if (recs[k].parent == id && match(recs[k])) {
                index = int(k);
                id = recs[k].id;
                return true;
            }
        }
        return false;
    }
    bool SearchString(const QString& s) {
        // Generated names hold no blanks, and searches are padded with spaces only.
        const QString key = s.trimmed().toUpper();
        return Find([&](const Rec& r) { return r.name.toUpper() == key; });
    }
    bool SearchChildID(int n) {
        return Find([&](const Rec& r) { return r.id == n; });
    }
    void GoBack() {
        if (!Current()) return;
        id = Current()->parent;
        const auto start =
            std::find_if(recs.begin(), recs.end(), [&](const Rec& r) { return r.id == id; });
        if (start != recs.end()) index = int(start - recs.begin());
    }
    void Reset() {
        id = -1;
        index = 0;
    }
    int GetChildren(QList<int>& ids, QStringList& names) const {
        if (!Current()) return 0;
        int count = 0;
        for (const Rec& r : recs) {
            if (r.parent != Current()->id || r.isEnd) continue;
            ++count;
            ids.resize(count + 1);
            names.resize(count + 1);
            ids[count - 1] = r.id;
            names[count - 1] = r.name;
        }
        return count;
    }
};

// Numbers and links the records as the table is described: an end tag takes the ID and parent
// of the nearest earlier record of its name whose parent is the element below the innermost
// open one. False when an end tag finds none.
bool LinkRecords(std::vector<Rec>& recs) {
    std::vector<int> open;
    int next = 0;
    for (std::size_t k = 0; k < recs.size(); ++k) {
        Rec& r = recs[k];
        r.isEnd = r.name.startsWith('/');
        if (!r.isEnd) {
            r.id = next++;
            r.parent = open.empty() ? -1 : open.back();
            open.push_back(r.id);
            continue;
        }
        if (open.empty()) return false;
        const int parent = open.size() == 1 ? -1 : open[open.size() - 2];
        open.pop_back();
        std::size_t j = k;
        while (j-- > 0 && !(recs[j].name == r.name.mid(1) && recs[j].parent == parent)) {
        }
        if (j == std::size_t(-1)) return false;
        r.id = recs[j].id;
        r.parent = recs[j].parent;
    }
    return true;
}

// A random document and, in `recs`, the records it must give; some end tags of a `malformed`
// one name another element, or none is open.
QByteArray Generate(std::mt19937& rng, bool malformed, std::vector<Rec>& recs) {
    const QStringList pool = {"a", "A", "b", "item", "Item", "x.y"};
    const QStringList texts = {"", "v", "hello world", "ñ", "1 2 3"};
    auto pick = [&](const QStringList& l) { return l[int(rng() % l.size())]; };
    auto gap = [&]() -> QString {
        const char* const gaps[] = {"", "  ", " \t\r\n  ", "\n"};
        return gaps[rng() % 4];
    };
    QString out = "<?xml version=\"1.0\" ?>\r\n";
    auto tag = [&](const QString& text, const Rec& rec) {
        out += "<" + text + ">" + gap() + rec.data + gap();
        recs.push_back(rec);
    };
    std::function<void(int)> element = [&](int depth) {
        Rec start{false, -1, -1, pick(pool), {}, {}, pick(texts)};
        // Only a tag without attributes can close itself ("<b/>").
        const bool selfClosing = depth > 0 && rng() % 4 == 0;
        QString text = start.name;
        for (int i = selfClosing ? 0 : int(rng() % 3); i > 0; --i) {
            start.attribNames << pick(pool);
            start.attribValues << pick(texts);
            text += " " + start.attribNames.back() + "=\"" + start.attribValues.back() + "\"";
        }
        if (selfClosing) {  // the text after it belongs to the end record
            recs.push_back({false, -1, -1, start.name, {}, {}, {}});
            tag(text + "/", {true, -1, -1, "/" + start.name, {}, {}, pick(texts)});
            return;
        }
        tag(text, start);
        for (int c = depth < 4 ? int(rng() % 5) : 0; c > 0; --c) element(depth + 1);
        const QString end = malformed && rng() % 4 == 0 ? pick(pool) : start.name;
        tag("/" + end, {true, -1, -1, "/" + end, {}, {}, pick(texts)});
        if (malformed && rng() % 40 == 0) tag("/a", {true, -1, -1, "/a", {}, {}, {}});
    };
    for (int top = 1 + int(rng() % 2); top > 0; --top) element(0);
    recs.back().data.clear();  // text after the last tag is never stored
    return out.toLatin1();
}

TEST_F(XmlReaderTest, IndexedLookupsAgreeWithAScan) {
    std::mt19937 rng(20240601);
    int malformedOpened = 0;  // those with end tags that name another element
    for (int doc = 0; doc < 60; ++doc) {
        SCOPED_TRACE(doc);
        std::vector<Rec> recs;
        ClsXMLReader r;
        r.setDocument(Write(Generate(rng, doc % 2 == 1, recs)));
        if (!LinkRecords(recs)) {
            EXPECT_TRUE(FailureOf(r).unmatchedEndTag);
            continue;
        }
        r.OpenDoc();
        malformedOpened += doc % 2;
        ScanReader scan{recs};
        const int idCount =
            int(std::count_if(recs.begin(), recs.end(), [](const Rec& x) { return !x.isEnd; }));
        QList<int> ids{-7, -8}, scanIds = ids;
        QStringList names{"p", "q"}, scanNames = names;
        for (int step = 0; step < 400; ++step) {
            SCOPED_TRACE(step);
            const auto op = rng() % 6;
            if (op < 2) {
                QString name = recs[rng() % recs.size()].name;
                if (rng() % 3 == 0) name = name.toUpper();
                if (rng() % 3 == 0) name = "  " + name + " ";
                if (rng() % 8 == 0) name = "zz";
                ASSERT_EQ(r.SearchString(name), scan.SearchString(name)) << name.toStdString();
            } else if (op == 2) {
                const int n = int(rng() % std::uint32_t(idCount + 4)) - 2;
                ASSERT_EQ(r.SearchChildID(n), scan.SearchChildID(n)) << n;
            } else if (op < 5) {
                r.GoBack();
                scan.GoBack();
            } else {
                r.Reset();
                scan.Reset();
            }
            // Above the top level the reads give nothing and leave the caller's lists alone.
            const Rec* at = scan.id == -1 ? nullptr : scan.Current();
            ASSERT_EQ(r.LabelID(), at ? at->id : -1);
            ASSERT_EQ(r.LabelName(), at ? at->name : QString());
            ASSERT_EQ(r.LabelData(), at ? at->data : QString());
            int n = -1;
            QStringList attribNames{"p"}, attribValues{"q"};
            r.GetAttributes(n, attribNames, attribValues);
            ASSERT_EQ(n, at ? at->attribNames.size() : 0);
            ASSERT_EQ(attribNames, at ? at->attribNames + QStringList{""} : QStringList{"p"});
            ASSERT_EQ(attribValues, at ? at->attribValues + QStringList{""} : QStringList{"q"});
            ASSERT_EQ(r.GetChildren(ids, names), scan.GetChildren(scanIds, scanNames));
            ASSERT_EQ(ids, scanIds);
            ASSERT_EQ(names, scanNames);
        }
    }
    EXPECT_GE(malformedOpened, 5);
}

}  // namespace