#include "core/xml/xmlreader.h"

#include <QByteArrayView>
#include <QFile>
#include <QHashFunctions>
#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/xml/xmlerror.h"

namespace cfg {

namespace {

// Grows without moving what it holds and takes memory only as it is filled: a table of millions
// of entries is never copied whole.
template <typename T>
class Chunked {
  public:
    void push_back(const T& value) {
        if ((size_ & kMask) == 0) chunks_.push_back(std::make_unique_for_overwrite<T[]>(kChunk));
        chunks_.back()[std::size_t(size_ & kMask)] = value;
        ++size_;
    }
    T& operator[](qsizetype i) { return chunks_[std::size_t(i >> kShift)][std::size_t(i & kMask)]; }
    const T& operator[](qsizetype i) const {
        return chunks_[std::size_t(i >> kShift)][std::size_t(i & kMask)];
    }
    qsizetype size() const { return size_; }

  private:
    static constexpr int kShift = 16;
    static constexpr qsizetype kChunk = qsizetype(1) << kShift;
    static constexpr qsizetype kMask = kChunk - 1;
    std::vector<std::unique_ptr<T[]>> chunks_;
    qsizetype size_ = 0;
};

// Values that a few records hold against the rule, found by binary search. Keys are set in
// runs: setting the last key again replaces its value.
class Exceptions {
  public:
    void Set(quint32 key, quint32 value) {
        if (!entries_.empty() && entries_.back().first == key)
            entries_.back().second = value;
        else
            entries_.emplace_back(key, value);
    }
    void Seal() { std::sort(entries_.begin(), entries_.end()); }
    std::optional<quint32> Find(quint32 key) const {
        if (entries_.empty()) return std::nullopt;
        const auto found = std::lower_bound(
            entries_.begin(), entries_.end(), key,
            [](const std::pair<quint32, quint32>& e, quint32 k) { return e.first < k; });
        if (found == entries_.end() || found->first != key) return std::nullopt;
        return found->second;
    }

  private:
    std::vector<std::pair<quint32, quint32>> entries_;
};

// Valid UTF-8 holding a multi-byte sequence.
bool IsUtf8Text(QByteArrayView bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }) &&
           bytes.isValidUtf8();
}

// Only spaces count as blanks here: tabs were turned into spaces before, and a line end inside
// a value is kept.
QStringView TrimSpaces(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == u' ') ++begin;
    while (end > begin && s[end - 1] == u' ') --end;
    return s.sliced(begin, end - begin);
}

// Names are searched trimmed and upper-cased.
QString SearchKey(QStringView name) {
    return TrimSpaces(name).toString().toUpper();
}

quint32 HashOf(const QString& key) {
    return quint32(qHash(key));
}

// Each distinct tag name once, held as its first place in the document's text.
class Names {
  public:
    Names() : slots_(64, 0) {}

    quint32 Intern(const QByteArray& text, quint32 pos, quint32 len) {
        const QByteArrayView name(text.constData() + pos, len);
        std::size_t slot = Slot(text, name);
        if (slots_[slot] != 0) return slots_[slot] - 1;
        if (2 * (names_.size() + 1) > slots_.size()) {
            Grow(text);
            slot = Slot(text, name);
        }
        names_.push_back({pos, len, 0});
        slots_[slot] = quint32(names_.size());
        return quint32(names_.size() - 1);
    }
    qint32 Find(const QByteArray& text, QByteArrayView name) const {
        return qint32(slots_[Slot(text, name)]) - 1;
    }
    QByteArrayView View(const QByteArray& text, quint32 id) const {
        const Name& n = names_[id];
        return QByteArrayView(text.constData() + n.pos, n.len);
    }
    // Once every name is in: what SearchString compares first.
    template <typename Decode>
    void HashKeys(const QByteArray& text, Decode decode) {
        for (quint32 id = 0; id < names_.size(); ++id)
            names_[id].keyHash = HashOf(SearchKey(decode(View(text, id))));
    }
    quint32 KeyHash(quint32 id) const { return names_[id].keyHash; }

  private:
    struct Name {
        quint32 pos;
        quint32 len;
        quint32 keyHash;
    };

    // The slot holding `name`, or the free one where it goes.
    std::size_t Slot(const QByteArray& text, QByteArrayView name) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t slot = qHash(name) & mask;
        while (slots_[slot] != 0) {
            const Name& n = names_[slots_[slot] - 1];
            if (n.len == name.size() &&
                std::memcmp(text.constData() + n.pos, name.data(), n.len) == 0)
                break;
            slot = (slot + 1) & mask;
        }
        return slot;
    }
    void Grow(const QByteArray& text) {
        slots_.assign(slots_.size() * 2, 0);
        for (quint32 id = 0; id < names_.size(); ++id) {
            const QByteArrayView name(text.constData() + names_[id].pos, names_[id].len);
            slots_[Slot(text, name)] = id + 1;
        }
    }

    std::vector<Name> names_;
    std::vector<quint32> slots_;  // name index + 1; 0 is free
};

// An element: its start record, and its end record when a tag closed it. IDs are indexes.
struct Element {
    quint32 tag;     // offset of the "<" of its start tag, with the flags below
    qint32 parent;   // -1 at the top level
    quint32 name;    // its start tag's name
    quint32 next;    // the first ID after its descendants: its next sibling, if it has one
    quint32 endTag;  // offset of the "<" of the tag that closed it
};
constexpr quint32 kSelfClosing = 1u << 31;  // "<a/>": no text for the start record
constexpr quint32 kClosed = 1u << 30;       // it has an end record
constexpr quint32 kOffset = kClosed - 1;

// A record: an element's start or end record.
quint32 RecordKey(qint32 element, bool end) {
    return quint32(element) * 2 + (end ? 1 : 0);
}

// The characters of a tag after its name, from `i`: attributes written name="value". Calls
// `add` with each name and value; false when the text is not valid.
template <typename Add>
bool ParseAttributes(const char* t, qsizetype i, qsizetype n, bool endTag, Add add) {
    while (true) {
        const qsizetype spaces = i;
        while (i < n && t[i] == ' ') ++i;
        if (i == n) return i == spaces;  // a trailing space leaves an attribute unfinished
        const qsizetype nameBegin = i;
        while (i < n && t[i] != '=') ++i;
        const QByteArrayView name(t + nameBegin, i - nameBegin);
        if (i == n) {
            // The "?" closing a declaration, with any spaces around it.
            return name.front() == '?' &&
                   std::all_of(name.begin() + 1, name.end(), [](char c) { return c == ' '; });
        }
        if (name.isEmpty()) return false;
        ++i;
        while (i < n && (t[i] == ' ' || t[i] == '\r' || t[i] == '\n')) ++i;
        if (i == n || t[i] != '"') return false;
        const qsizetype begin = ++i;
        while (i < n && t[i] != '"') ++i;
        if (i == n || endTag) return false;  // unfinished value; an end tag has no attributes
        add(name, QByteArrayView(t + begin, i - begin));
        ++i;
    }
}

// The length of a tag's name (up to the first space), or 0 when the name is not valid.
qsizetype NameLength(const char* t, qsizetype n) {
    qsizetype i = 0;
    while (i < n && t[i] != ' ') {
        if (t[i] == '\r') return 0;
        ++i;
    }
    return i;  // 0 also for an empty tag, or a space before any name
}

// The text, the elements and what is needed to answer for every record.
struct Document {
    QByteArray text;
    Chunked<Element> elements;
    Names names;
    // An end record pairs with an earlier record and takes its ID; it is named "/" + that
    // record's name, so "/" + the name of its element as a rule.
    Exceptions endIds;   // element -> the ID of its end record, when not its own
    Exceptions slashes;  // element -> the number of "/" its end record's name begins with, if not 1
    Exceptions textAt;   // record -> offset of its text, when not the one after its tag
    bool utf8 = false;   // the whole text is UTF-8
    bool endsOpen = false;  // an element was still open at the end

    QString Decode(QByteArrayView bytes) const {
        return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    }
    QString NameText(quint32 name) const { return Decode(names.View(text, name)); }
    qint32 Count() const { return qint32(elements.size()); }
    const Element& At(qint32 e) const { return elements[e]; }
    bool Closed(qint32 e) const { return (At(e).tag & kClosed) != 0; }
    qint32 EndId(qint32 e) const { return qint32(endIds.Find(quint32(e)).value_or(e)); }
    qsizetype Slashes(qint32 e) const { return qsizetype(slashes.Find(quint32(e)).value_or(1)); }

    // Calls `stop` with each child of `parent` (-1: the top level) in document order until it
    // returns true; returns that child, or -1.
    template <typename Stop>
    qint32 FindChild(qint32 parent, Stop stop) const {
        for (qint32 c = parent + 1; c < Count() && At(c).parent == parent; c = qint32(At(c).next))
            if (stop(c)) return c;
        return -1;
    }

    QString Name(qint32 e, bool end) const {
        const QString name = NameText(At(end ? EndId(e) : e).name);
        return end ? QString(Slashes(e), u'/') + name : name;
    }

    // The text between a tag and the next one, without its line ends, trimmed; a text that no
    // tag follows is never stored.
    QString TextFrom(qsizetype begin) const {
        const char* p = text.constData();
        const auto* next =
            static_cast<const char*>(std::memchr(p + begin, '<', std::size_t(text.size() - begin)));
        if (!next) return QString();
        qsizetype end = next - p;
        while (begin < end && (p[begin] == ' ' || p[begin] == '\r')) ++begin;
        while (end > begin && (p[end - 1] == ' ' || p[end - 1] == '\r')) --end;
        QString out = Decode(QByteArrayView(p + begin, end - begin));
        out.remove(u'\r');
        return out;
    }
    QString Text(qint32 e, bool end) const {
        if (const auto at = textAt.Find(RecordKey(e, end))) return TextFrom(*at);
        const Element& el = At(e);
        if (!end && (el.tag & kSelfClosing)) return QString();
        const qsizetype tag = qsizetype((end ? el.endTag : el.tag) & kOffset);
        return TextFrom(text.indexOf('>', tag) + 1);
    }

    // The characters between the "<" and the ">" of an element's start tag.
    QByteArrayView StartTag(qint32 e) const {
        const qsizetype begin = qsizetype(At(e).tag & kOffset) + 1;
        return QByteArrayView(text).sliced(begin, text.indexOf('>', begin) - begin);
    }
};

// Reads the joined text once, tag by tag, and builds the element table as it goes.
class Builder {
  public:
    explicit Builder(Document& doc) : d_(doc), p_(doc.text.constData()) {}

    // False when the text cannot be cut into tags and texts, whatever else is wrong with it;
    // otherwise `unmatched` tells an end tag that found no record to pair with.
    bool Run(bool& unmatched) {
        const qsizetype n = d_.text.size();
        if (p_[0] != '<') return false;
        qsizetype k = 0;  // always on a "<"
        while (true) {
            const char* close = Find(k + 1, '>');
            if (!close) return false;  // a tag left open
            const qsizetype tagEnd = close - p_;
            if (!Tag(k, tagEnd)) return false;
            const char* open = Find(tagEnd + 1, '<');
            // The scan ends well only on the line end closing the last line.
            if (!open) {
                Finish();
                unmatched = failed_;
                return tagEnd + 1 < n && p_[n - 1] == '\r';
            }
            // The text after a declaration goes to the record made before it.
            if (afterDeclaration_ && last_ && !failed_) d_.textAt.Set(*last_, quint32(tagEnd + 1));
            k = open - p_;
        }
    }

  private:
    // What a record carries: its ID (an end record's is the one it took) and the number of "/"
    // its name begins with.
    struct Paired {
        quint32 id;
        quint32 slashes;
    };
    // (number of leading "/", name without them) of a record under one parent.
    static quint64 Key(qsizetype slashes, quint32 name) { return quint64(slashes) << 32 | name; }

    const char* Find(qsizetype from, char c) const {
        return static_cast<const char*>(
            std::memchr(p_ + from, c, std::size_t(d_.text.size() - from)));
    }

    // The tag from the "<" at `begin` to the ">" at `end`.
    bool Tag(qsizetype begin, qsizetype end) {
        const char* t = p_ + begin + 1;
        const qsizetype n = end - begin - 1;
        const qsizetype nameLen = NameLength(t, n);
        if (nameLen == 0) return false;
        if (!ParseAttributes(t, nameLen, n, t[0] == '/', [](QByteArrayView, QByteArrayView) {}))
            return false;
        afterDeclaration_ = t[0] == '?';
        if (afterDeclaration_ || failed_) return true;  // past a failure only the syntax counts
        const auto tag = quint32(begin);
        const QByteArrayView name(t, nameLen);
        if (t[n - 1] != '/') {
            if (name.front() == '/')
                End(tag, name.sliced(1));
            else
                Start(tag, name, false);
            return true;
        }
        // "<a/>" makes the record "a" and at once the record "/a", which has the text after it.
        const QByteArrayView first = name.chopped(1);
        if (first.isEmpty() || first.front() != '/') {
            Start(tag, first, true);
        } else {
            // A name that begins with "/" makes two end records; the first has no text (its
            // text is taken from its own "<").
            End(tag, first.sliced(1));
            if (failed_) return true;
            d_.textAt.Set(*last_, tag);
            End(tag, first);
        }
        return true;
    }

    void Start(quint32 tag, QByteArrayView name, bool selfClosing) {
        const qint32 id = d_.Count();
        const qint32 parent = open_.empty() ? -1 : open_.back();
        const quint32 named =
            d_.names.Intern(d_.text, quint32(name.data() - p_), quint32(name.size()));
        if (selfClosing)
            d_.elements.push_back(
                {tag | kSelfClosing | kClosed, parent, named, quint32(id) + 1, tag});
        else
            d_.elements.push_back({tag, parent, named, 0, 0});
        Note(parent, Key(0, named), quint32(id));
        if (selfClosing)
            Note(parent, Key(1, named), quint32(id));
        else
            open_.push_back(id);
        last_ = RecordKey(id, selfClosing);
    }

    // An end tag closes the innermost open element and pairs with the latest record named
    // `want` under that element's parent: the element itself, unless the tag names another.
    void End(quint32 tag, QByteArrayView want) {
        if (open_.empty()) {
            failed_ = true;
            return;
        }
        const qint32 top = open_.back();
        const qint32 parent = d_.At(top).parent;
        qsizetype slashes = 0;
        while (slashes < want.size() && want[slashes] == '/') ++slashes;
        const qint32 base = d_.names.Find(d_.text, want.sliced(slashes));
        if (base < 0) {
            failed_ = true;
            return;
        }
        Paired paired{quint32(top), 1};
        if (slashes > 0 || d_.At(top).name != quint32(base)) {
            const auto& under = Under(parent, top);
            const auto found = under.find(Key(slashes, quint32(base)));
            if (found == under.end()) {
                failed_ = true;
                return;
            }
            paired = {found->second, quint32(slashes + 1)};
            ends_.emplace(top, paired);
        }
        open_.pop_back();
        Element& el = d_.elements[top];
        el.tag |= kClosed;
        el.next = quint32(d_.Count());
        el.endTag = tag;
        if (!under_.empty()) under_.erase(top);
        Note(parent, Key(paired.slashes, d_.At(qint32(paired.id)).name), paired.id);
        last_ = RecordKey(top, true);
    }

    Paired EndOf(qint32 e) const {
        const auto found = ends_.find(e);
        return found == ends_.end() ? Paired{quint32(e), 1} : found->second;
    }

    // Keeps the latest record of each key under `parent`, once a misnamed end tag needed them.
    void Note(qint32 parent, quint64 key, quint32 id) {
        if (under_.empty()) return;
        const auto found = under_.find(parent);
        if (found != under_.end()) found->second[key] = id;
    }

    // The latest record of each key under `parent`, whose last child is the open `top`: made
    // the first time a misnamed end tag needs it, and kept up to date while `parent` is open.
    const std::unordered_map<quint64, quint32>& Under(qint32 parent, qint32 top) {
        const auto [at, made] = under_.try_emplace(parent);
        if (made) {
            auto& keys = at->second;
            for (qint32 c = parent + 1;; c = qint32(d_.At(c).next)) {
                keys[Key(0, d_.At(c).name)] = quint32(c);
                if (c == top) break;
                const Paired end = EndOf(c);
                keys[Key(end.slashes, d_.At(qint32(end.id)).name)] = end.id;
            }
        }
        return at->second;
    }

    // Elements still open at the end are accepted, and told; nothing follows their descendants.
    void Finish() {
        for (const qint32 e : open_) d_.elements[e].next = quint32(d_.Count());
        for (const auto& [e, paired] : ends_) {
            if (paired.id != quint32(e)) d_.endIds.Set(quint32(e), paired.id);
            if (paired.slashes != 1) d_.slashes.Set(quint32(e), paired.slashes);
        }
        d_.endsOpen = !open_.empty();
        d_.names.HashKeys(d_.text, [&](QByteArrayView name) { return d_.Decode(name); });
        d_.endIds.Seal();
        d_.slashes.Seal();
        d_.textAt.Seal();
    }

    Document& d_;
    const char* p_;
    std::vector<qint32> open_;
    std::unordered_map<qint32, Paired> ends_;  // end records that paired with another record
    std::unordered_map<qint32, std::unordered_map<quint64, quint32>> under_;
    std::optional<quint32> last_;  // the last record made
    bool afterDeclaration_ = false;
    bool failed_ = false;  // an end tag found nothing to pair with
};

// The whole file, refused unread when it is larger than the limit. A file that grows while it
// is read, or one that tells no size, is read no further than one byte past the limit. One byte
// is left spare after the content, for the line end that joining may add.
XmlError::Code ReadFile(const QString& path, QByteArray& bytes, qsizetype& size) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return XmlError::OpenFailed;
    constexpr qint64 kLimit = ClsXMLReader::kMaxDocumentBytes;
    if (file.size() > kLimit) return XmlError::NotValid;
    qint64 room = std::min(std::max<qint64>(file.size() + 1, 64 * 1024), kLimit + 1);
    bytes = QByteArray(qsizetype(room) + 1, Qt::Uninitialized);
    qint64 total = 0;
    while (true) {
        if (total == room) {
            if (total > kLimit) return XmlError::NotValid;
            room = std::min(2 * room, kLimit + 1);
            bytes.resize(qsizetype(room) + 1);
        }
        const qint64 got = file.read(bytes.data() + total, room - total);
        if (got < 0) return XmlError::OpenFailed;
        if (got == 0) break;
        total += got;
    }
    size = qsizetype(total);
    return XmlError::None;
}

// Keeps the lines without their surrounding spaces, drops the empty ones and ends each with a
// CR, tabs turned into spaces: in place, over the first `n` bytes of `text`, which holds one
// spare byte after them. Lines end at CR LF, a lone CR or a lone LF.
void JoinLines(QByteArray& text, qsizetype n) {
    char* p = text.data();
    qsizetype out = 0;
    qsizetype i = 0;
    while (i < n) {
        qsizetype begin = i;
        while (i < n && p[i] != '\r' && p[i] != '\n') ++i;
        qsizetype end = i;
        if (i < n) i += (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
        while (begin < end && p[begin] == ' ') ++begin;
        while (end > begin && p[end - 1] == ' ') --end;
        if (end == begin) continue;
        for (qsizetype j = begin; j < end; ++j) p[out++] = p[j] == '\t' ? ' ' : p[j];
        p[out++] = '\r';
    }
    text.resize(out);
}

}  // namespace

struct ClsXMLReader::State {
    QString document;
    Encoding encoding = Encoding::Latin1;
    bool opened = false;
    Document doc;
    // The record under the cursor: the start or end record of element `at`; -1 for none.
    qint32 at = -1;
    bool atEnd = false;
    qint32 id = -1;  // element under the cursor, -1 above the top level

    XmlError error;  // of the last failed call

    // False, with the failure recorded, before a successful OpenDoc.
    bool Opened() {
        if (!opened) error = {XmlError::NotOpened};
        return opened;
    }
    // The ID the record under the cursor carries.
    qint32 RecordId() const { return atEnd ? doc.EndId(at) : at; }
    void MoveTo(qint32 element, bool end) {
        at = element;
        atEnd = end;
        id = RecordId();
    }
};

ClsXMLReader::ClsXMLReader() : d_(std::make_unique<State>()) {}

ClsXMLReader::~ClsXMLReader() = default;

void ClsXMLReader::setDocument(const QString& path) {
    d_->document = path;
}

QString ClsXMLReader::document() const {
    return d_->document;
}

void ClsXMLReader::setEncoding(Encoding encoding) {
    d_->encoding = encoding;
}

bool ClsXMLReader::OpenDoc() {
    const auto fail = [&](XmlError::Code code, bool unmatched = false) {
        d_->error = {code, unmatched};
        return false;
    };
    if (TrimSpaces(d_->document).isEmpty()) return fail(XmlError::NoDocument);
    Document doc;
    qsizetype size = 0;
    if (const XmlError::Code code = ReadFile(d_->document, doc.text, size); code != XmlError::None)
        return fail(code);
    if (d_->encoding == Encoding::Utf8WhenValid &&
        QByteArrayView(doc.text.constData(), size).startsWith("\xEF\xBB\xBF")) {
        doc.text.remove(0, 3);
        size -= 3;
    }
    JoinLines(doc.text, size);
    if (doc.text.isEmpty()) return fail(XmlError::NotValid);
    // Joining changed only ASCII bytes: the text is UTF-8 exactly when the file was.
    doc.utf8 = d_->encoding == Encoding::Utf8WhenValid && IsUtf8Text(doc.text);
    bool unmatched = false;
    if (!Builder(doc).Run(unmatched)) return fail(XmlError::NotValid);
    if (unmatched) return fail(XmlError::NotValid, true);

    d_->doc = std::move(doc);
    d_->at = -1;
    d_->atEnd = false;
    d_->id = -1;
    d_->opened = true;
    d_->error = {};
    return true;
}

const XmlError& ClsXMLReader::error() const {
    return d_->error;
}

bool ClsXMLReader::readAsUtf8() const {
    return d_->opened && d_->doc.utf8;
}

bool ClsXMLReader::endsOpen() const {
    return d_->opened && d_->doc.endsOpen;
}

int ClsXMLReader::LabelID() const {
    if (!d_->Opened()) return -1;
    return d_->id == -1 ? -1 : d_->RecordId();
}

QString ClsXMLReader::LabelName() const {
    if (!d_->Opened()) return {};
    return d_->id == -1 ? QString() : d_->doc.Name(d_->at, d_->atEnd);
}

QString ClsXMLReader::LabelData() {
    if (!d_->Opened()) return {};
    return d_->id == -1 ? QString() : d_->doc.Text(d_->at, d_->atEnd);
}

void ClsXMLReader::GetAttributes(int& nAttrib, QStringList& sAttribName,
                                 QStringList& sAttribValue) const {
    if (!d_->Opened() || d_->id == -1) {
        nAttrib = 0;
        return;
    }
    sAttribName.clear();
    sAttribValue.clear();
    if (!d_->atEnd) {
        const QByteArrayView tag = d_->doc.StartTag(d_->at);
        const qsizetype nameLen = NameLength(tag.data(), tag.size());
        ParseAttributes(tag.data(), nameLen, tag.size(), false,
                        [&](QByteArrayView name, QByteArrayView value) {
                            // Spaces inside an attribute name are skipped.
                            sAttribName.append(d_->doc.Decode(name).remove(u' '));
                            sAttribValue.append(d_->doc.Decode(value));
                        });
    }
    nAttrib = int(sAttribName.size());
    // Callers index up to nAttrib: one spare empty entry at the end.
    sAttribName.append(QString());
    sAttribValue.append(QString());
}

int ClsXMLReader::VisitChildren(
    const std::function<void(int id, const QString& name)>& visit) const {
    // Right after OpenDoc the cursor is on no record at all: nothing has children.
    if (!d_->Opened() || d_->at < 0) return 0;
    const Document& doc = d_->doc;
    int count = 0;
    doc.FindChild(d_->RecordId(), [&](qint32 child) {
        ++count;
        visit(child, doc.Name(child, false));
        return false;
    });
    return count;
}

int ClsXMLReader::GetChildren(QList<int>& ids, QStringList& sNames) const {
    if (!d_->Opened() || d_->at < 0) return 0;
    const Document& doc = d_->doc;
    const qint32 parent = d_->RecordId();
    int count = 0;
    doc.FindChild(parent, [&](qint32) { return ++count, false; });
    if (count == 0) return 0;
    // The lists grow one child at a time, keeping what they held, up to one spare entry: the
    // first growth keeps the caller's entries 0 and 1, later ones add empty entries.
    ids.resize(2);
    sNames.resize(2);
    ids.resize(count + 1);
    sNames.resize(count + 1);
    int i = 0;
    doc.FindChild(parent, [&](qint32 child) {
        ids[i] = child;
        sNames[i] = doc.Name(child, false);
        ++i;
        return false;
    });
    return count;
}

void ClsXMLReader::Reset() {
    if (!d_->Opened()) return;
    d_->id = -1;
    d_->at = d_->doc.Count() > 0 ? 0 : -1;  // the first record, a start record when there is one
    d_->atEnd = false;
}

void ClsXMLReader::GoBack() {
    if (!d_->Opened() || d_->at < 0) return;
    d_->id = d_->doc.At(d_->at).parent;
    // The first record of an element is its start record.
    if (d_->id >= 0) {
        d_->at = d_->id;
        d_->atEnd = false;
    }
}

bool ClsXMLReader::SearchChildID(int nNum) {
    if (!d_->Opened()) return false;
    const Document& doc = d_->doc;
    // Every record of an element has its parent, and the start record comes first.
    if (nNum < 0 || nNum >= doc.Count() || doc.At(nNum).parent != d_->id) return false;
    d_->MoveTo(nNum, false);
    return true;
}

bool ClsXMLReader::SearchString(const QString& scad) {
    if (!d_->Opened()) return false;
    const Document& doc = d_->doc;
    QString key = SearchKey(scad);
    // Start records have names without "/"; an end record's name is one or more "/" and the
    // name of the element whose ID it took. Under an element come each child's start record,
    // then its end record.
    qsizetype slashes = 0;
    while (slashes < key.size() && key[slashes] == u'/') ++slashes;
    key.remove(0, slashes);
    const bool end = slashes > 0;
    const quint32 hash = HashOf(key);
    const auto matches = [&](qint32 named) {
        const quint32 name = doc.At(named).name;
        return doc.names.KeyHash(name) == hash && SearchKey(doc.NameText(name)) == key;
    };
    const qint32 found = doc.FindChild(d_->id, [&](qint32 child) {
        if (!end) return matches(child);
        return doc.Closed(child) && doc.Slashes(child) == slashes && matches(doc.EndId(child));
    });
    if (found < 0) return false;
    d_->MoveTo(found, end);
    return true;
}

}  // namespace cfg
