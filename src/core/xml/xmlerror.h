#pragma once

#include <QString>
#include <stdexcept>

namespace cfg {

// A numbered failure of the XML writer or reader, raised to the caller.
class XmlError : public std::runtime_error {
  public:
    enum Code {
        NoDocument = 10000,  // "No document to open"
        OpenFailed = 10001,  // "Error opening document"
        NotValid = 10002,    // "No valid document"
        NotOpened = 10003,   // "No document Opened"
    };
    explicit XmlError(Code code, bool unmatchedEndTag = false);
    Code code() const { return code_; }
    QString text() const { return QString::fromLatin1(what()); }
    // An end tag with no element open: its reader shows "ERR" (plain box) before the failure.
    bool unmatchedEndTag() const { return unmatchedEndTag_; }

  private:
    Code code_;
    bool unmatchedEndTag_;
};

// Writing a document failed part-way (disk full, device error). The file it was meant to
// replace is left as it was.
class XmlWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace cfg
