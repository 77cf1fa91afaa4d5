#include "core/xml/xmlerror.h"

namespace cfg {

namespace {

const char* TextOf(XmlError::Code code) {
    switch (code) {
        case XmlError::NoDocument:
            return "No document to open";
        case XmlError::OpenFailed:
            return "Error opening document";
        case XmlError::NotValid:
            return "No valid document";
        case XmlError::NotOpened:
            return "No document Opened";
    }
    return "XML error";
}

}  // namespace

XmlError::XmlError(Code code, bool unmatchedEndTag)
    : std::runtime_error(TextOf(code)), code_(code), unmatchedEndTag_(unmatchedEndTag) {}

}  // namespace cfg
