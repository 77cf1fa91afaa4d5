#include "core/xml/xmlreader.h"

#include "core/xml/xmldocument.h"
#include "core/xml/xmlerror.h"
#include "core/xml/xmlrecords.h"

// The cursor over a document's element table, and the reader's interface to its callers.
namespace cfg {

using xml::Document;

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
    // The failure of a part, told in the reader's terms: its number, and whether "ERR" comes
    // first.
    bool Fail(const Error& failure) {
        error = {XmlError::Code(failure.code), !failure.before.isEmpty()};
        return false;
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
    if (xml::TrimSpaces(d_->document).isEmpty())
        return d_->Fail(xml::Failure(XmlError::NoDocument));
    Result<xml::Lines> lines =
        xml::ReadLines(d_->document, kMaxDocumentBytes, d_->encoding == Encoding::Utf8WhenValid);
    if (!lines) return d_->Fail(lines.error());
    Result<Document> doc = Document::Build(std::move(lines.value()));
    if (!doc) return d_->Fail(doc.error());
    d_->doc = std::move(doc.value());
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
    return d_->opened && d_->doc.Utf8();
}

bool ClsXMLReader::endsOpen() const {
    return d_->opened && d_->doc.EndsOpen();
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
        const qsizetype nameLen = xml::NameLength(tag.data(), tag.size());
        xml::ParseAttributes(tag.data(), nameLen, tag.size(), false,
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
    d_->id = d_->doc.Parent(d_->at);
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
    if (nNum < 0 || nNum >= doc.Count() || doc.Parent(nNum) != d_->id) return false;
    d_->MoveTo(nNum, false);
    return true;
}

bool ClsXMLReader::SearchString(const QString& scad) {
    if (!d_->Opened()) return false;
    const auto found = d_->doc.FindNamed(d_->id, scad);
    if (!found) return false;
    d_->MoveTo(found->element, found->end);
    return true;
}

}  // namespace cfg
