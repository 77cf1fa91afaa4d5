#include "core/xml/xmlrecords.h"

#include <QFile>
#include <cstring>

namespace cfg::xml {

namespace {

// The whole file, refused unread when it is larger than the limit. A file that grows while it
// is read, or one that tells no size, is read no further than one byte past the limit. One byte
// is left spare after the content, for the line end that joining may add.
XmlError::Code ReadFile(const QString& path, qint64 limit, QByteArray& bytes, qsizetype& size) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return XmlError::OpenFailed;
    if (file.size() > limit) return XmlError::NotValid;
    qint64 room = std::min(std::max<qint64>(file.size() + 1, 64 * 1024), limit + 1);
    bytes = QByteArray(qsizetype(room) + 1, Qt::Uninitialized);
    qint64 total = 0;
    while (true) {
        if (total == room) {
            if (total > limit) return XmlError::NotValid;
            room = std::min(2 * room, limit + 1);
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

// In place, over the first `n` bytes of `text`, which holds one spare byte after them.
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

// Valid UTF-8 holding a multi-byte sequence.
bool IsUtf8Text(QByteArrayView bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }) &&
           bytes.isValidUtf8();
}

}  // namespace

Error Failure(XmlError::Code code, bool unmatchedEndTag) {
    return Error{code, XmlError{code}.text(), unmatchedEndTag ? QStringLiteral("ERR") : QString()};
}

QStringView TrimSpaces(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == u' ') ++begin;
    while (end > begin && s[end - 1] == u' ') --end;
    return s.sliced(begin, end - begin);
}

Result<Lines> ReadLines(const QString& path, qint64 maxBytes, bool utf8WhenValid) {
    Lines lines;
    qsizetype size = 0;
    if (const XmlError::Code code = ReadFile(path, maxBytes, lines.text, size);
        code != XmlError::None)
        return Failure(code);
    if (utf8WhenValid && QByteArrayView(lines.text.constData(), size).startsWith("\xEF\xBB\xBF")) {
        lines.text.remove(0, 3);
        size -= 3;
    }
    JoinLines(lines.text, size);
    if (lines.text.isEmpty()) return Failure(XmlError::NotValid);
    // Joining changed only ASCII bytes: the text is UTF-8 exactly when the file was.
    lines.utf8 = utf8WhenValid && IsUtf8Text(lines.text);
    return lines;
}

Tags::Tags(const QByteArray& text)
    : p_(text.constData()), n_(text.size()), k_(n_ > 0 && p_[0] == '<' ? 0 : -1) {}

bool Tags::Next(Tag& tag) {
    if (k_ < 0) return false;
    const auto* close =
        static_cast<const char*>(std::memchr(p_ + k_ + 1, '>', std::size_t(n_ - k_ - 1)));
    const char* t = p_ + k_ + 1;
    const qsizetype n = close ? close - t : 0;
    const qsizetype nameLen = NameLength(t, n);
    // A tag left open, or one whose name or attributes are not valid.
    if (!close || nameLen == 0 ||
        !ParseAttributes(t, nameLen, n, t[0] == '/', [](QByteArrayView, QByteArrayView) {})) {
        k_ = -1;
        return false;
    }
    const bool selfClosing = t[n - 1] == '/';
    const qsizetype after = close - p_ + 1;
    tag = {quint32(k_), after, QByteArrayView(t, selfClosing ? nameLen - 1 : nameLen), t[0] == '?',
           selfClosing};
    const auto* open =
        static_cast<const char*>(std::memchr(p_ + after, '<', std::size_t(n_ - after)));
    // The scan ends well only on the line end closing the last line.
    whole_ = !open && after < n_ && p_[n_ - 1] == '\r';
    k_ = open ? open - p_ : -1;
    return true;
}

}  // namespace cfg::xml
