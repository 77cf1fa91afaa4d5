#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/common/result.h"
#include "core/xml/xmlrecords.h"

// The second stage: the tags of a text as a table of elements in document order with parent
// links, each end tag paired with the record it closes by the reader's own rule.
namespace cfg::xml {

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
    void Set(quint32 key, quint32 value);
    void Seal();
    std::optional<quint32> Find(quint32 key) const;

  private:
    std::vector<std::pair<quint32, quint32>> entries_;
};

// Each distinct tag name once, held as its first place in the document's text.
class Names {
  public:
    Names() : slots_(64, 0) {}
    quint32 Intern(const QByteArray& text, quint32 pos, quint32 len);
    qint32 Find(const QByteArray& text, QByteArrayView name) const {
        return qint32(slots_[Slot(text, name)]) - 1;
    }
    QByteArrayView View(const QByteArray& text, quint32 id) const {
        return QByteArrayView(text.constData() + names_[id].pos, names_[id].len);
    }
    // Once every name is in: what a search by name compares first.
    template <typename Decode>
    void HashKeys(const QByteArray& text, Decode decode);
    quint32 KeyHash(quint32 id) const { return names_[id].keyHash; }

  private:
    struct Name {
        quint32 pos;
        quint32 len;
        quint32 keyHash;
    };
    // The slot holding `name`, or the free one where it goes.
    std::size_t Slot(const QByteArray& text, QByteArrayView name) const;
    void Grow(const QByteArray& text);

    std::vector<Name> names_;
    std::vector<quint32> slots_;  // name index + 1; 0 is free
};

// An element has a start record and, when a tag closed it, an end record. An end record pairs
// with an earlier record and takes its ID; it is named "/" + that record's name, so "/" + the
// name of its element as a rule. IDs are element indexes.
class Document {
  public:
    struct Record {
        qint32 element;
        bool end;
    };

    // Fails with 10002 when the text cannot be cut into tags and texts, whatever else is wrong
    // with it, and otherwise with "ERR" before 10002 when an end tag found nothing to pair with.
    static Result<Document> Build(Lines lines);

    bool Utf8() const { return utf8_; }
    // An element was still open at the end.
    bool EndsOpen() const { return endsOpen_; }
    qint32 Count() const { return qint32(elements_.size()); }
    qint32 Parent(qint32 e) const { return elements_[e].parent; }
    // The ID of an element's end record.
    qint32 EndId(qint32 e) const { return qint32(endIds_.Find(quint32(e)).value_or(e)); }
    QString Name(qint32 e, bool end) const;
    // The text between a record's tag and the next one, without its line ends, trimmed; a text
    // that no tag follows is never stored.
    QString Text(qint32 e, bool end) const;
    // The characters between the "<" and the ">" of an element's start tag.
    QByteArrayView StartTag(qint32 e) const;
    QString Decode(QByteArrayView bytes) const {
        return utf8_ ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    }

    // Calls `stop` with each child of `parent` (-1: the top level) in document order until it
    // returns true; returns that child, or -1.
    template <typename Stop>
    qint32 FindChild(qint32 parent, Stop stop) const {
        for (qint32 c = parent + 1; c < Count() && elements_[c].parent == parent;
             c = qint32(elements_[c].next))
            if (stop(c)) return c;
        return -1;
    }
    // The first record under `parent` whose name is `name`, both trimmed and upper-cased: a
    // child's start record, or for a name beginning with "/" a child's end record.
    std::optional<Record> FindNamed(qint32 parent, const QString& name) const;

  private:
    friend class Builder;
    struct Element {
        quint32 tag;     // offset of the "<" of its start tag, with the flags below
        qint32 parent;   // -1 at the top level
        quint32 name;    // its start tag's name
        quint32 next;    // the first ID after its descendants: its next sibling, if it has one
        quint32 endTag;  // offset of the "<" of the tag that closed it
    };
    static constexpr quint32 kSelfClosing = 1u << 31;  // "<a/>": no text for the start record
    static constexpr quint32 kClosed = 1u << 30;       // it has an end record
    static constexpr quint32 kOffset = kClosed - 1;
    static quint32 RecordKey(qint32 element, bool end) {
        return quint32(element) * 2 + (end ? 1 : 0);
    }

    QString TextFrom(qsizetype begin) const;
    qsizetype Slashes(qint32 e) const { return qsizetype(slashes_.Find(quint32(e)).value_or(1)); }

    QByteArray text_;
    Chunked<Element> elements_;
    Names names_;
    Exceptions endIds_;  // element -> the ID of its end record, when not its own
    Exceptions
        slashes_;        // element -> the number of "/" its end record's name begins with, if not 1
    Exceptions textAt_;  // record -> offset of its text, when not the one after its tag
    bool utf8_ = false;
    bool endsOpen_ = false;
};

}  // namespace cfg::xml
