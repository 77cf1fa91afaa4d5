#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/xml/xmlerror.h"

namespace cfg {

// Reads the XML files the program writes itself into a flat table of tag records in document
// order with parent links, and moves a cursor over it.
//
// The file's text is kept once, one byte per character; a record is a few numbers pointing into
// it, and names, attributes and texts are decoded when they are asked for. Opening takes time
// linear in the file's size, and no call costs more than the children of the element under the
// cursor.
class ClsXMLReader {
  public:
    // Larger files are refused unread: a script loading files unattended must not be made to
    // take the machine's memory.
    static constexpr qint64 kMaxDocumentBytes = 256'000'000;

    // The reader shows and logs nothing: its callers show its failures (error(), the "ERR" of
    // an unmatched end tag included) and log what they read.
    ClsXMLReader();
    ~ClsXMLReader();
    ClsXMLReader(const ClsXMLReader&) = delete;
    ClsXMLReader& operator=(const ClsXMLReader&) = delete;

    void setDocument(const QString& path);
    QString document() const;

    // How the file's bytes become text. Latin1: one character per byte, as the program writes
    // its files. Utf8WhenValid: a leading EF BB BF is dropped, and the rest is read as UTF-8
    // when it is valid UTF-8 holding a multi-byte sequence (a file saved by a UTF-8 editor),
    // else as Latin1. Latin1 unless set.
    enum class Encoding { Latin1, Utf8WhenValid };
    void setEncoding(Encoding encoding);

    // False on failure 10000, 10001 or 10002 (also for a file larger than kMaxDocumentBytes),
    // leaving the previous state.
    bool OpenDoc();
    // The failure of the last call that failed.
    const XmlError& error() const;
    // Of the document open: whether it was read as UTF-8, and whether an element was still open
    // where it ended (which this reader accepts; a file cut short is one).
    bool readAsUtf8() const;
    bool endsOpen() const;

    // Before a successful OpenDoc every member below fails with 10003 and answers nothing: no
    // ID (-1), no text, no children, no match.
    int LabelID() const;
    QString LabelName() const;
    QString LabelData();
    void GetAttributes(int& nAttrib, QStringList& sAttribName, QStringList& sAttribValue) const;
    int GetChildren(QList<int>& ids, QStringList& sNames) const;
    // The children GetChildren lists, one at a time and without copying them all: `visit` gets
    // the ID and name of each in order and may move the cursor. Returns their count.
    int VisitChildren(const std::function<void(int id, const QString& name)>& visit) const;
    void Reset();
    void GoBack();
    bool SearchChildID(int nNum);
    bool SearchString(const QString& scad);

  private:
    struct State;
    std::unique_ptr<State> d_;
};

}  // namespace cfg
