#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace cfg {

// Writes an XML file strictly from start to end, one line per element or leaf, four spaces per
// indentation step, CR LF line ends, one byte per character (ISO-8859-1). No escaping.
//
// The document replaces its file only when CloseDoc completes: it is written to a temporary
// file beside it and renamed over it, so a failed write never leaves a truncated file. A
// document that CloseDoc did not complete is discarded, whatever ended it (its writer destroyed,
// another OpenDoc): the previous file stays as it was.
class ClsXMLWriter {
  public:
    // Opens the output for a path; returns nullptr when it cannot be opened. Tests substitute a
    // device that fails.
    using DeviceOpener = std::function<std::unique_ptr<QIODevice>(const QString& path)>;

    ClsXMLWriter();
    explicit ClsXMLWriter(DeviceOpener opener);
    // Discards a document still open.
    ~ClsXMLWriter();
    ClsXMLWriter(const ClsXMLWriter&) = delete;
    ClsXMLWriter& operator=(const ClsXMLWriter&) = delete;

    void setDocument(const QString& path);
    QString document() const;

    // False on failure 10000 (no document) or 10001 (cannot open): the writer is then
    // unchanged. A document still open is discarded first.
    bool OpenDoc(const QString& root);
    // Closes every open element and completes the file. False when any call since OpenDoc
    // failed (a line that could not be written, no document open, too few attribute names or
    // values: each drops the document and makes the later calls write nothing) or the file
    // could not be completed; the previous file then stays as it was.
    bool CloseDoc();
    // The failure OpenDoc or CloseDoc reported.
    QString errorString() const;
    void SetSimpleBlock(const QString& key);
    // Fails when count exceeds either list.
    void SetDataBlock(const QString& key, int count, const QStringList& names,
                      const QStringList& values);
    void SetData(const QString& key, const QString& value);
    void EndDataBlock();

  private:
    struct State;
    std::unique_ptr<State> d_;
};

}  // namespace cfg
