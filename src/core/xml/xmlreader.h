#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace cfg {

class Messages;
class TrafficLog;

// Reads the XML files the program writes itself into a flat table of tag records in document
// order with parent links, and moves a cursor over it.
class ClsXMLReader {
public:
    // `messages` receives the reader's own "ERR" message; `log`, when given, receives every
    // LabelData read (nlog.txt).
    explicit ClsXMLReader(Messages* messages = nullptr, TrafficLog* log = nullptr);
    ~ClsXMLReader();
    ClsXMLReader(const ClsXMLReader&) = delete;
    ClsXMLReader& operator=(const ClsXMLReader&) = delete;

    void setDocument(const QString& path);
    QString document() const;

    // Throws XmlError 10000, 10001 or 10002; a failed OpenDoc leaves the previous state.
    void OpenDoc();

    // Every member below throws XmlError 10003 before a successful OpenDoc.
    int LabelID() const;
    QString LabelName() const;
    QString LabelData();
    void GetAttributes(int& nAttrib, QStringList& sAttribName, QStringList& sAttribValue) const;
    int GetChildren(QList<int>& ids, QStringList& sNames) const;
    void Reset();
    void GoBack();
    bool SearchChildID(int nNum);
    bool SearchString(const QString& scad);

private:
    struct State;
    std::unique_ptr<State> d_;
};

}  // namespace cfg
