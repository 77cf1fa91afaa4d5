#pragma once

#include <QString>

namespace cfg {

// A numbered failure of the XML reader or writer, returned to the caller, who shows it.
struct XmlError {
    enum Code {
        None = 0,
        NoDocument = 10000,  // "No document to open"
        OpenFailed = 10001,  // "Error opening document"
        NotValid = 10002,    // "No valid document"
        NotOpened = 10003,   // "No document Opened"
    };
    Code code = None;
    // An end tag with no element open: its reader's callers show "ERR" (plain box) before the
    // failure.
    bool unmatchedEndTag = false;

    bool failed() const { return code != None; }
    QString text() const;
};

}  // namespace cfg
