#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <algorithm>

#include "core/common/result.h"
#include "core/xml/xmlerror.h"

// The first stage of reading one of the program's XML files: its bytes into one text of lines,
// and that text into tags and the texts between them. Which tag closes which is decided later.
namespace cfg::xml {

// A failure with the reader's number and text; "ERR" said before it for an end tag that found
// nothing to pair with.
Error Failure(XmlError::Code code, bool unmatchedEndTag = false);

// Only spaces count as blanks here: tabs were turned into spaces before, and a line end inside
// a value is kept.
QStringView TrimSpaces(QStringView s);

struct Lines {
    QByteArray text;
    bool utf8 = false;  // the whole text is UTF-8
};

// The file's lines without their surrounding spaces, the empty ones dropped, each ended with a
// CR and tabs turned into spaces; lines end at CR LF, a lone CR or a lone LF. With
// `utf8WhenValid` a leading EF BB BF is dropped and the text is UTF-8 when it is valid UTF-8
// holding a multi-byte sequence. Fails with 10001 for a file that cannot be read, and with 10002
// for one larger than `maxBytes` (refused unread) or holding no line.
Result<Lines> ReadLines(const QString& path, qint64 maxBytes, bool utf8WhenValid);

// The length of a tag's name (up to the first space), or 0 when the name is not valid.
inline qsizetype NameLength(const char* t, qsizetype n) {
    qsizetype i = 0;
    while (i < n && t[i] != ' ') {
        if (t[i] == '\r') return 0;
        ++i;
    }
    return i;  // 0 also for an empty tag, or a space before any name
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

// One tag of the text, from its "<" to its ">".
struct Tag {
    quint32 at;           // offset of its "<"
    qsizetype after;      // offset of the character after its ">"
    QByteArrayView name;  // as written, without the "/" ending a self-closing tag
    bool declaration;     // "<?...>"
    bool selfClosing;
    bool End() const { return !name.isEmpty() && name.front() == '/'; }
};

// Cuts the joined text into tags, checking each as it is reached.
class Tags {
  public:
    explicit Tags(const QByteArray& text);
    // The next tag; false at the end of the text or at the first thing that breaks the syntax.
    bool Next(Tag& tag);
    // Once Next answered false: whether the whole text was cut into tags and texts.
    bool Whole() const { return whole_; }

  private:
    const char* p_;
    qsizetype n_;
    qsizetype k_;  // the "<" of the next tag, -1 when there is none
    bool whole_ = false;
};

}  // namespace cfg::xml
