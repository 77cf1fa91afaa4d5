#include "core/xml/xmldocument.h"

#include <QHashFunctions>
#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace cfg::xml {

namespace {

// Names are searched trimmed and upper-cased.
QString SearchKey(QStringView name) {
    return TrimSpaces(name).toString().toUpper();
}

quint32 HashOf(const QString& key) {
    return quint32(qHash(key));
}

}  // namespace

void Exceptions::Set(quint32 key, quint32 value) {
    if (!entries_.empty() && entries_.back().first == key)
        entries_.back().second = value;
    else
        entries_.emplace_back(key, value);
}

void Exceptions::Seal() {
    std::sort(entries_.begin(), entries_.end());
}

std::optional<quint32> Exceptions::Find(quint32 key) const {
    if (entries_.empty()) return std::nullopt;
    const auto found = std::lower_bound(
        entries_.begin(), entries_.end(), key,
        [](const std::pair<quint32, quint32>& e, quint32 k) { return e.first < k; });
    if (found == entries_.end() || found->first != key) return std::nullopt;
    return found->second;
}

quint32 Names::Intern(const QByteArray& text, quint32 pos, quint32 len) {
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

template <typename Decode>
void Names::HashKeys(const QByteArray& text, Decode decode) {
    for (quint32 id = 0; id < names_.size(); ++id)
        names_[id].keyHash = HashOf(SearchKey(decode(View(text, id))));
}

std::size_t Names::Slot(const QByteArray& text, QByteArrayView name) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = qHash(name) & mask;
    while (slots_[slot] != 0) {
        const Name& n = names_[slots_[slot] - 1];
        if (n.len == name.size() && std::memcmp(text.constData() + n.pos, name.data(), n.len) == 0)
            break;
        slot = (slot + 1) & mask;
    }
    return slot;
}

void Names::Grow(const QByteArray& text) {
    slots_.assign(slots_.size() * 2, 0);
    for (quint32 id = 0; id < names_.size(); ++id) slots_[Slot(text, View(text, id))] = id + 1;
}

// Builds the element table tag by tag, as the text is cut.
class Builder {
  public:
    explicit Builder(Document& doc) : d_(doc), p_(doc.text_.constData()) {}

    void Add(const Tag& tag) {
        // The text after a declaration goes to the record made before it, once a tag follows.
        if (declarationText_ && last_ && !failed_) d_.textAt_.Set(*last_, *declarationText_);
        declarationText_.reset();
        if (tag.declaration) {
            declarationText_ = quint32(tag.after);
            return;
        }
        if (failed_) return;  // past a failure only the syntax counts
        if (!tag.selfClosing) {
            if (tag.End())
                End(tag.at, tag.name.sliced(1));
            else
                Start(tag.at, tag.name, false);
            return;
        }
        // "<a/>" makes the record "a" and at once the record "/a", which has the text after it.
        if (!tag.End()) return Start(tag.at, tag.name, true);
        // A name that begins with "/" makes two end records; the first has no text (its text is
        // taken from its own "<").
        End(tag.at, tag.name.sliced(1));
        if (failed_) return;
        d_.textAt_.Set(*last_, tag.at);
        End(tag.at, tag.name);
    }

    // Elements still open at the end are accepted, and told; nothing follows their descendants.
    // False when an end tag found no record to pair with.
    bool Finish() {
        for (const qint32 e : open_) d_.elements_[e].next = quint32(d_.Count());
        for (const auto& [e, paired] : ends_) {
            if (paired.id != quint32(e)) d_.endIds_.Set(quint32(e), paired.id);
            if (paired.slashes != 1) d_.slashes_.Set(quint32(e), paired.slashes);
        }
        d_.endsOpen_ = !open_.empty();
        d_.names_.HashKeys(d_.text_, [&](QByteArrayView name) { return d_.Decode(name); });
        d_.endIds_.Seal();
        d_.slashes_.Seal();
        d_.textAt_.Seal();
        return !failed_;
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

    void Start(quint32 tag, QByteArrayView name, bool selfClosing) {
        const qint32 id = d_.Count();
        const qint32 parent = open_.empty() ? -1 : open_.back();
        const quint32 named =
            d_.names_.Intern(d_.text_, quint32(name.data() - p_), quint32(name.size()));
        if (selfClosing)
            d_.elements_.push_back({tag | Document::kSelfClosing | Document::kClosed, parent, named,
                                    quint32(id) + 1, tag});
        else
            d_.elements_.push_back({tag, parent, named, 0, 0});
        Note(parent, Key(0, named), quint32(id));
        if (selfClosing)
            Note(parent, Key(1, named), quint32(id));
        else
            open_.push_back(id);
        last_ = Document::RecordKey(id, selfClosing);
    }

    // An end tag closes the innermost open element and pairs with the latest record named
    // `want` under that element's parent: the element itself, unless the tag names another.
    void End(quint32 tag, QByteArrayView want) {
        if (open_.empty()) {
            failed_ = true;
            return;
        }
        const qint32 top = open_.back();
        const qint32 parent = d_.Parent(top);
        qsizetype slashes = 0;
        while (slashes < want.size() && want[slashes] == '/') ++slashes;
        const qint32 base = d_.names_.Find(d_.text_, want.sliced(slashes));
        if (base < 0) {
            failed_ = true;
            return;
        }
        Paired paired{quint32(top), 1};
        if (slashes > 0 || d_.elements_[top].name != quint32(base)) {
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
        auto& el = d_.elements_[top];
        el.tag |= Document::kClosed;
        el.next = quint32(d_.Count());
        el.endTag = tag;
        if (!under_.empty()) under_.erase(top);
        Note(parent, Key(paired.slashes, d_.elements_[qint32(paired.id)].name), paired.id);
        last_ = Document::RecordKey(top, true);
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
            for (qint32 c = parent + 1;; c = qint32(d_.elements_[c].next)) {
                keys[Key(0, d_.elements_[c].name)] = quint32(c);
                if (c == top) break;
                const Paired end = EndOf(c);
                keys[Key(end.slashes, d_.elements_[qint32(end.id)].name)] = end.id;
            }
        }
        return at->second;
    }

    Document& d_;
    const char* p_;
    std::vector<qint32> open_;
    std::unordered_map<qint32, Paired> ends_;  // end records that paired with another record
    std::unordered_map<qint32, std::unordered_map<quint64, quint32>> under_;
    std::optional<quint32> last_;             // the last record made
    std::optional<quint32> declarationText_;  // where the text after a declaration begins
    bool failed_ = false;                     // an end tag found nothing to pair with
};

Result<Document> Document::Build(Lines lines) {
    Document doc;
    doc.text_ = std::move(lines.text);
    doc.utf8_ = lines.utf8;
    Builder builder(doc);
    Tags tags(doc.text_);
    Tag tag;
    while (tags.Next(tag)) builder.Add(tag);
    if (!tags.Whole()) return Failure(XmlError::NotValid);
    if (!builder.Finish()) return Failure(XmlError::NotValid, true);
    return Result<Document>(std::move(doc));
}

QString Document::Name(qint32 e, bool end) const {
    const QString name = Decode(names_.View(text_, elements_[end ? EndId(e) : e].name));
    return end ? QString(Slashes(e), u'/') + name : name;
}

QString Document::TextFrom(qsizetype begin) const {
    const char* p = text_.constData();
    const auto* next =
        static_cast<const char*>(std::memchr(p + begin, '<', std::size_t(text_.size() - begin)));
    if (!next) return QString();
    qsizetype end = next - p;
    while (begin < end && (p[begin] == ' ' || p[begin] == '\r')) ++begin;
    while (end > begin && (p[end - 1] == ' ' || p[end - 1] == '\r')) --end;
    QString out = Decode(QByteArrayView(p + begin, end - begin));
    out.remove(u'\r');
    return out;
}

QString Document::Text(qint32 e, bool end) const {
    if (const auto at = textAt_.Find(RecordKey(e, end))) return TextFrom(*at);
    const Element& el = elements_[e];
    if (!end && (el.tag & kSelfClosing)) return QString();
    const qsizetype tag = qsizetype((end ? el.endTag : el.tag) & kOffset);
    return TextFrom(text_.indexOf('>', tag) + 1);
}

QByteArrayView Document::StartTag(qint32 e) const {
    const qsizetype begin = qsizetype(elements_[e].tag & kOffset) + 1;
    return QByteArrayView(text_).sliced(begin, text_.indexOf('>', begin) - begin);
}

std::optional<Document::Record> Document::FindNamed(qint32 parent, const QString& name) const {
    QString key = SearchKey(name);
    // Start records have names without "/"; an end record's name is one or more "/" and the
    // name of the element whose ID it took. Under an element come each child's start record,
    // then its end record.
    qsizetype slashes = 0;
    while (slashes < key.size() && key[slashes] == u'/') ++slashes;
    key.remove(0, slashes);
    const bool end = slashes > 0;
    const quint32 hash = HashOf(key);
    const auto matches = [&](qint32 named) {
        const quint32 n = elements_[named].name;
        return names_.KeyHash(n) == hash && SearchKey(Decode(names_.View(text_, n))) == key;
    };
    const qint32 found = FindChild(parent, [&](qint32 child) {
        if (!end) return matches(child);
        return (elements_[child].tag & kClosed) != 0 && Slashes(child) == slashes &&
               matches(EndId(child));
    });
    if (found < 0) return std::nullopt;
    return Record{found, end};
}

}  // namespace cfg::xml
