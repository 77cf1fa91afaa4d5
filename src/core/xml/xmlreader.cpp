#include "xml/xmlreader.h"

#include <QFile>
#include <QHash>
#include <deque>
#include <unordered_map>
#include <vector>

#include "common/messages.h"
#include "link/trafficlog.h"
#include "xml/xmlerror.h"

namespace cfg {

namespace {

// One start or end tag of the document, in document order.
struct Record {
    bool isEnd = false;
    int id = -1;
    int parent = -1;
    int name = -1;  // in the table's names
    QStringList attribNames;
    QStringList attribValues;
    QString data;
};

struct ViewHash {
    std::size_t operator()(QStringView s) const noexcept { return qHash(s); }
};

// Every distinct text once: a file repeats a handful of tag names tens of thousands of times.
class Strings {
  public:
    int Intern(QStringView s) {
        const auto found = ids_.find(s);
        if (found != ids_.end()) return found->second;
        texts_.push_back(s.toString());
        const int id = int(texts_.size()) - 1;
        ids_.emplace(QStringView(texts_.back()), id);
        return id;
    }
    int Find(QStringView s) const {
        const auto found = ids_.find(s);
        return found == ids_.end() ? -1 : found->second;
    }
    const QString& operator[](int id) const { return texts_[std::size_t(id)]; }
    int size() const { return int(texts_.size()); }

  private:
    std::deque<QString> texts_;  // never moved: the keys below view into them
    std::unordered_map<QStringView, int, ViewHash> ids_;
};

quint64 Key(int parent, int name) {
    return quint64(quint32(parent)) << 32 | quint32(name);
}

// The record table with its indexes. Every lookup answers what a scan of the records in order
// would find first.
struct Table {
    std::vector<Record> records;
    Strings names;  // tag and attribute names
    Strings keys;   // tag names trimmed and upper-cased, as searched
    std::vector<int> keyOfName;
    std::vector<int> firstOfId;  // ID -> its start record, the first record with that ID
    // Children (start records) of element ID i: childList[childBegin[i] .. childBegin[i+1]).
    std::vector<int> childBegin;
    std::vector<int> childList;
    QHash<quint64, int> byKey;  // (parent ID, key) -> first record
};

// Only spaces count as blanks here: tabs were turned into spaces before, and a line end inside
// a value is kept.
QStringView TrimSpaces(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == u' ') ++begin;
    while (end > begin && s[end - 1] == u' ') --end;
    return s.sliced(begin, end - begin);
}

QString SearchKey(QStringView name) {
    return TrimSpaces(name).toString().toUpper();
}

// The text between two tags without its line ends, trimmed.
QString CleanText(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && (s[begin] == u' ' || s[begin] == u'\r')) ++begin;
    while (end > begin && (s[end - 1] == u' ' || s[end - 1] == u'\r')) --end;
    s = s.sliced(begin, end - begin);
    if (!s.contains(u'\r')) return s.toString();
    QString text;
    text.reserve(s.size());
    for (QChar c : s)
        if (c != u'\r') text += c;
    return text;
}

// The lines of the file without surrounding spaces, empty ones dropped, each followed by CR.
// Lines end at CR LF, a lone CR or a lone LF.
QByteArray JoinLines(const QByteArray& bytes) {
    QByteArray joined;
    joined.reserve(bytes.size() + 1);
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype begin = i;
        while (i < n && p[i] != '\r' && p[i] != '\n') ++i;
        qsizetype end = i;
        if (i < n) i += (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
        while (begin < end && p[begin] == ' ') ++begin;
        while (end > begin && p[end - 1] == ' ') --end;
        if (end == begin) continue;
        joined.append(p + begin, end - begin);
        joined.append('\r');
    }
    joined.replace('\t', ' ');
    return joined;
}

// The characters between "<" and ">": a name, then attributes written name="value".
bool ParseTag(QStringView tag, Strings& names, Record& out) {
    const qsizetype n = tag.size();
    qsizetype i = 0;
    while (i < n && tag[i] != u' ') {
        if (tag[i] == u'\r') return false;
        ++i;
    }
    if (i == 0) return false;  // empty, or a space before any name
    out.name = names.Intern(tag.first(i));
    const bool endTag = tag[0] == u'/';

    while (true) {
        const qsizetype spaces = i;
        while (i < n && tag[i] == u' ') ++i;
        if (i == n) return i == spaces;  // a trailing space leaves an attribute unfinished

        const qsizetype nameBegin = i;
        while (i < n && tag[i] != u'=') ++i;
        QStringView name = tag.sliced(nameBegin, i - nameBegin);
        QString squeezed;  // spaces inside an attribute name are skipped
        if (name.contains(u' ')) {
            squeezed = name.toString().remove(u' ');
            name = squeezed;
        }
        if (i == n) return name == u"?";  // the "?" closing a declaration
        if (name.isEmpty()) return false;
        ++i;
        while (i < n && (tag[i] == u' ' || tag[i] == u'\r' || tag[i] == u'\n')) ++i;
        if (i == n || tag[i] != u'"') return false;
        const qsizetype begin = ++i;
        while (i < n && tag[i] != u'"') ++i;
        if (i == n || endTag) return false;  // unfinished value; an end tag has no attributes
        out.attribNames.append(names[names.Intern(name)]);
        out.attribValues.append(tag.sliced(begin, i - begin).toString());
        ++i;
    }
}

// Cuts the text into tag records, each with the text that follows it up to the next "<".
bool SplitTags(const QString& text, Table& t) {
    enum { ExpectTag, InTag, InText } state = ExpectTag;
    std::vector<Record>& records = t.records;
    const qsizetype n = text.size();
    qsizetype begin = 0;  // of the tag text or of the text after it
    for (qsizetype k = 0; k < n; ++k) {
        const QChar ch = text[k];
        switch (state) {
            case ExpectTag:
                if (ch != u'<') return false;
                begin = k + 1;
                state = InTag;
                break;
            case InTag: {
                if (ch != u'>') break;
                const QStringView tag = QStringView(text).sliced(begin, k - begin);
                Record record;
                if (!ParseTag(tag, t.names, record)) return false;
                if (!tag.startsWith(u'?')) {
                    const bool selfClosing = tag.endsWith(u'/');
                    if (selfClosing) record.name = t.names.Intern(t.names[record.name].chopped(1));
                    const int name = record.name;
                    records.push_back(std::move(record));
                    if (selfClosing) {
                        Record end;
                        end.name = t.names.Intern(u'/' + t.names[name]);
                        records.push_back(std::move(end));
                    }
                }
                begin = k + 1;
                state = InText;
                break;
            }
            case InText:
                // Line ends are left out of the text; the last one of the document ends it.
                if (ch == u'<') {
                    if (!records.empty())
                        records.back().data = CleanText(QStringView(text).sliced(begin, k - begin));
                    state = ExpectTag;
                    --k;  // the same "<" opens the next tag
                } else if (ch == u'\r' && k == n - 1) {
                    state = ExpectTag;
                }
                break;
        }
    }
    return state == ExpectTag;
}

}  // namespace

struct ClsXMLReader::State {
    Messages* messages = nullptr;
    TrafficLog* log = nullptr;
    QString document;
    bool opened = false;
    int index = -1;  // record under the cursor
    int id = -1;     // element under the cursor, -1 above the top level
    Table table;

    void RequireOpened() const {
        if (!opened) throw XmlError(XmlError::NotOpened);
    }
    const Record* Current() const {
        if (index < 0 || index >= int(table.records.size())) return nullptr;
        return &table.records[std::size_t(index)];
    }
    void MoveTo(int recordIndex) {
        index = recordIndex;
        id = table.records[std::size_t(recordIndex)].id;
    }
    bool Fail() const {
        if (messages) messages->Show(QStringLiteral("ERR"), Icon::None);
        return false;
    }

    bool Build(Table& t) const;
};

// Numbers the start tags, links every record to its parent and pairs each end tag with the
// latest earlier record of its name under the expected parent.
bool ClsXMLReader::State::Build(Table& t) const {
    std::vector<Record>& records = t.records;
    std::vector<int> open;
    std::vector<int> strippedOf;  // name "/x" -> name "x"
    auto stripped = [&](int name) {
        if (name >= int(strippedOf.size())) strippedOf.resize(std::size_t(t.names.size()), -1);
        if (strippedOf[std::size_t(name)] < 0)
            strippedOf[std::size_t(name)] = t.names.Intern(t.names[name].sliced(1));
        return strippedOf[std::size_t(name)];
    };
    // The latest record of each (parent, name) so far. The element on top of the stack is its
    // own latest match, since everything after its start tag lies inside it; only an end tag
    // that names another element needs this map, so it is built the first time one does.
    QHash<quint64, int> latest;
    bool latestBuilt = false;

    int nextId = 0;
    for (std::size_t k = 0; k < records.size(); ++k) {
        Record& r = records[k];
        if (!t.names[r.name].startsWith(u'/')) {
            r.id = nextId++;
            r.parent = open.empty() ? -1 : open.back();
            open.push_back(r.id);
            t.firstOfId.push_back(int(k));
        } else {
            if (open.empty()) return Fail();
            const int parent = open.size() == 1 ? -1 : open[open.size() - 2];
            const int want = stripped(r.name);
            int match = t.firstOfId[std::size_t(open.back())];
            open.pop_back();
            if (records[std::size_t(match)].name != want) {
                if (!latestBuilt) {
                    for (std::size_t j = 0; j < k; ++j)
                        latest.insert(Key(records[j].parent, records[j].name), int(j));
                    latestBuilt = true;
                }
                const auto found = latest.constFind(Key(parent, want));
                if (found == latest.cend()) return Fail();
                match = *found;
            }
            r.id = records[std::size_t(match)].id;
            r.parent = records[std::size_t(match)].parent;
            r.isEnd = true;
        }
        if (latestBuilt) latest.insert(Key(r.parent, r.name), int(k));
    }

    t.keyOfName.resize(std::size_t(t.names.size()));
    for (int i = 0; i < t.names.size(); ++i)
        t.keyOfName[std::size_t(i)] = t.keys.Intern(SearchKey(t.names[i]));
    t.byKey.reserve(qsizetype(records.size()));
    // Filled backwards so that the first record of each key is the one kept.
    for (std::size_t k = records.size(); k-- > 0;) {
        const Record& r = records[k];
        t.byKey.insert(Key(r.parent, t.keyOfName[std::size_t(r.name)]), int(k));
    }

    t.childBegin.assign(std::size_t(nextId) + 1, 0);
    for (const Record& r : records)
        if (!r.isEnd && r.parent >= 0) ++t.childBegin[std::size_t(r.parent) + 1];
    for (std::size_t i = 1; i < t.childBegin.size(); ++i) t.childBegin[i] += t.childBegin[i - 1];
    t.childList.resize(std::size_t(t.childBegin.back()));
    std::vector<int> fill(t.childBegin.begin(), t.childBegin.end() - 1);
    for (std::size_t k = 0; k < records.size(); ++k) {
        const Record& r = records[k];
        if (!r.isEnd && r.parent >= 0)
            t.childList[std::size_t(fill[std::size_t(r.parent)]++)] = int(k);
    }
    return true;
}

ClsXMLReader::ClsXMLReader(Messages* messages, TrafficLog* log) : d_(std::make_unique<State>()) {
    d_->messages = messages;
    d_->log = log;
}

ClsXMLReader::~ClsXMLReader() {
    // What this document logged reaches nlog.txt when the reading is over.
    if (d_->log) d_->log->Flush();
}

void ClsXMLReader::setDocument(const QString& path) {
    d_->document = path;
}

QString ClsXMLReader::document() const {
    return d_->document;
}

void ClsXMLReader::OpenDoc() {
    if (TrimSpaces(d_->document).isEmpty()) throw XmlError(XmlError::NoDocument);
    QFile file(d_->document);
    if (!file.open(QIODevice::ReadOnly)) throw XmlError(XmlError::OpenFailed);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw XmlError(XmlError::OpenFailed);
    file.close();

    const QByteArray joined = JoinLines(bytes);
    if (joined.isEmpty()) throw XmlError(XmlError::NotValid);
    Table table;
    if (!SplitTags(QString::fromLatin1(joined), table)) throw XmlError(XmlError::NotValid);
    if (!d_->Build(table)) throw XmlError(XmlError::NotValid);

    d_->table = std::move(table);
    d_->index = -1;
    d_->id = -1;
    d_->opened = true;
}

int ClsXMLReader::LabelID() const {
    d_->RequireOpened();
    return d_->id == -1 ? -1 : d_->Current()->id;
}

QString ClsXMLReader::LabelName() const {
    d_->RequireOpened();
    return d_->id == -1 ? QString() : d_->table.names[d_->Current()->name];
}

QString ClsXMLReader::LabelData() {
    d_->RequireOpened();
    const QString text = d_->id == -1 ? QString() : d_->Current()->data;
    if (d_->log) d_->log->Escribe_NLog(text);
    return text;
}

void ClsXMLReader::GetAttributes(int& nAttrib, QStringList& sAttribName,
                                 QStringList& sAttribValue) const {
    d_->RequireOpened();
    if (d_->id == -1) {
        nAttrib = 0;
        return;
    }
    const Record& r = *d_->Current();
    nAttrib = int(r.attribNames.size());
    // Callers index up to nAttrib: one spare empty entry at the end.
    sAttribName = r.attribNames;
    sAttribName.append(QString());
    sAttribValue = r.attribValues;
    sAttribValue.append(QString());
}

int ClsXMLReader::GetChildren(QList<int>& ids, QStringList& sNames) const {
    d_->RequireOpened();
    // Right after OpenDoc the cursor is on no record at all: nothing has children.
    const Record* current = d_->Current();
    if (!current) return 0;
    const auto& t = d_->table;
    const int begin = t.childBegin[std::size_t(current->id)];
    const int count = t.childBegin[std::size_t(current->id) + 1] - begin;
    if (count == 0) return 0;
    // The lists grow one child at a time, keeping what they held, up to one spare entry: the
    // first growth keeps the caller's entries 0 and 1, later ones add empty entries.
    ids.resize(2);
    sNames.resize(2);
    ids.resize(count + 1);
    sNames.resize(count + 1);
    for (int i = 0; i < count; ++i) {
        const Record& child = t.records[std::size_t(t.childList[std::size_t(begin + i)])];
        ids[i] = child.id;
        sNames[i] = t.names[child.name];
    }
    return count;
}

void ClsXMLReader::Reset() {
    d_->RequireOpened();
    d_->id = -1;
    d_->index = 0;
}

void ClsXMLReader::GoBack() {
    d_->RequireOpened();
    const Record* current = d_->Current();
    if (!current) return;
    d_->id = current->parent;
    if (d_->id >= 0) d_->index = d_->table.firstOfId[std::size_t(d_->id)];
}

bool ClsXMLReader::SearchChildID(int nNum) {
    d_->RequireOpened();
    const auto& t = d_->table;
    // Every record of an element (start and end tags) has the element's parent, and the start
    // tag comes first.
    if (nNum < 0 || nNum >= int(t.firstOfId.size())) return false;
    const int k = t.firstOfId[std::size_t(nNum)];
    if (t.records[std::size_t(k)].parent != d_->id) return false;
    d_->MoveTo(k);
    return true;
}

bool ClsXMLReader::SearchString(const QString& scad) {
    d_->RequireOpened();
    const Table& t = d_->table;
    const int key = t.keys.Find(SearchKey(scad));
    if (key < 0) return false;
    const auto found = t.byKey.constFind(Key(d_->id, key));
    if (found == t.byKey.cend()) return false;
    d_->MoveTo(*found);
    return true;
}

}  // namespace cfg
