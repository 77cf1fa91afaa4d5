#include "core/xml/xmlwriter.h"

#include <QSaveFile>
#include <QVarLengthArray>
#include <algorithm>
#include <span>

#include "core/xml/xmlerror.h"

namespace cfg {

namespace {

std::unique_ptr<QIODevice> OpenSaveFile(const QString& path) {
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly)) return nullptr;
    return file;
}

// A QSaveFile replaces its target only here; any other device is flushed and closed.
bool Complete(QIODevice& out) {
    if (auto* save = qobject_cast<QSaveFile*>(&out)) return save->commit();
    bool ok = true;
    if (auto* file = qobject_cast<QFileDevice*>(&out)) ok = file->flush();
    out.close();
    return ok;
}

QString Describe(const QString& what, const QString& path, const QIODevice& out) {
    QString text = what + QStringLiteral(" ") + path;
    if (!out.errorString().isEmpty()) text += QStringLiteral(": ") + out.errorString();
    return text;
}

}  // namespace

struct ClsXMLWriter::State {
    DeviceOpener opener;
    QString document;
    std::unique_ptr<QIODevice> out;  // null: no document open
    QString outPath;
    QStringList stack;  // names of the open elements, the root at index 0
    int depth = 0;
    int indent = 0;
    QString error;  // the first failure since OpenDoc; the document is then dropped

    // A failure ends the document: later calls write nothing and CloseDoc reports the first.
    // A failed OpenDoc beside an open document does not count against it.
    void Fail(const QString& text) {
        if (out || error.isEmpty()) error = text;
        Discard();
    }

    bool RequireOpen() {
        if (out) return true;
        if (error.isEmpty()) error = QStringLiteral("No document open for writing");
        return false;
    }

    // Destroying an uncommitted QSaveFile removes its temporary file: the target is untouched.
    void Discard() {
        if (auto* save = qobject_cast<QSaveFile*>(out.get())) save->cancelWriting();
        out.reset();
        pending.clear();
        depth = 0;
        stack.clear();
    }

    // Lines are gathered here and written in large pieces: a write per line costs more than
    // building it.
    QByteArray pending;
    static constexpr qsizetype kFlushBytes = 1 << 16;

    void Flush() {
        if (!out || pending.isEmpty()) return;
        if (out->write(pending) != pending.size())
            Fail(Describe(QStringLiteral("Error writing"), outPath, *out));
        pending.clear();
    }

    // One line of the parts given, indented and ended with CR LF, in one step: one byte per
    // character, ISO-8859-1, "?" for any other, as QString::toLatin1 does.
    void Line(std::span<const QStringView> parts) {
        if (!RequireOpen()) return;
        const qsizetype spaces = qsizetype(std::max(indent, 0)) * 4;
        qsizetype size = spaces + 2;
        for (const QStringView part : parts) size += part.size();
        const qsizetype at = pending.size();
        pending.resize(at + size);
        char* p = std::fill_n(pending.data() + at, spaces, ' ');
        for (const QStringView part : parts)
            for (const QChar c : part) *p++ = c.unicode() < 256 ? char(c.unicode()) : '?';
        *p++ = '\r';
        *p = '\n';
        if (pending.size() >= kFlushBytes) Flush();
    }
    void BlankLine() {
        if (!RequireOpen()) return;
        pending.append("\r\n", 2);
        if (pending.size() >= kFlushBytes) Flush();
    }
    void Line(std::initializer_list<QStringView> parts) {
        Line(std::span<const QStringView>(parts.begin(), parts.size()));
    }
};

ClsXMLWriter::ClsXMLWriter() : ClsXMLWriter(DeviceOpener(OpenSaveFile)) {}

ClsXMLWriter::ClsXMLWriter(DeviceOpener opener) : d_(std::make_unique<State>()) {
    d_->opener = opener ? std::move(opener) : DeviceOpener(OpenSaveFile);
}

ClsXMLWriter::~ClsXMLWriter() {
    // A document left open was not completed, whatever ended it: the previous file stays.
    d_->Discard();
}

void ClsXMLWriter::setDocument(const QString& path) {
    d_->document = path;
}

QString ClsXMLWriter::document() const {
    return d_->document;
}

bool ClsXMLWriter::OpenDoc(const QString& root) {
    if (d_->document.isEmpty()) {
        d_->error = XmlError{XmlError::NoDocument}.text();
        return false;
    }
    std::unique_ptr<QIODevice> out = d_->opener(d_->document);
    if (!out || !out->isWritable()) {
        d_->error = XmlError{XmlError::OpenFailed}.text();
        return false;
    }
    d_->Discard();  // a document still open was not completed
    d_->error.clear();
    d_->out = std::move(out);
    d_->pending.reserve(2 * State::kFlushBytes);
    d_->outPath = d_->document;
    d_->indent = 0;
    d_->depth = 0;
    d_->stack.clear();
    d_->Line({u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>"});
    d_->Line({u"<", root, u">"});
    d_->depth = 1;
    d_->stack = QStringList{root};
    return true;
}

bool ClsXMLWriter::CloseDoc() {
    while (d_->depth > 0) EndDataBlock();
    d_->Flush();
    if (!d_->out) return d_->error.isEmpty();
    std::unique_ptr<QIODevice> out = std::move(d_->out);
    if (Complete(*out)) return true;
    d_->error = Describe(QStringLiteral("Error writing"), d_->outPath, *out);
    return false;
}

QString ClsXMLWriter::errorString() const {
    return d_->error;
}

void ClsXMLWriter::SetSimpleBlock(const QString& key) {
    SetDataBlock(key, 0, {}, {});
}

void ClsXMLWriter::SetDataBlock(const QString& key, int count, const QStringList& names,
                                const QStringList& values) {
    if (count > names.size() || count > values.size()) {
        d_->Fail(QStringLiteral("SetDataBlock: fewer attribute names or values than count"));
        return;
    }
    if (!d_->RequireOpen()) return;
    ++d_->indent;
    ++d_->depth;
    d_->stack.resize(d_->depth);
    d_->stack[d_->depth - 1] = key;

    QVarLengthArray<QStringView, 16> parts{u"<", key};
    for (int i = 0; i < count; ++i) {
        const QStringView attribute[] = {u" ", names[i], u"=\"", values[i], u"\""};
        parts.append(attribute, qsizetype(std::size(attribute)));
    }
    parts.append(u">");
    d_->Line(std::span<const QStringView>(parts.constData(), parts.size()));
    ++d_->indent;
}

void ClsXMLWriter::SetData(const QString& key, const QString& value) {
    d_->Line({u"<", key, u"> ", value, u" </", key, u">"});
}

void ClsXMLWriter::EndDataBlock() {
    if (d_->depth <= 0) return;
    --d_->depth;
    --d_->indent;
    d_->Line({u"</", d_->stack[d_->depth], u">"});
    // A blank line after each element that held others.
    d_->BlankLine();
    --d_->indent;
}

}  // namespace cfg
