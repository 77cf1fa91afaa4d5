#include "core/xml/xmlerror.h"

namespace cfg {

QString XmlError::text() const {
    switch (code) {
        case NoDocument:
            return QStringLiteral("No document to open");
        case OpenFailed:
            return QStringLiteral("Error opening document");
        case NotValid:
            return QStringLiteral("No valid document");
        case NotOpened:
            return QStringLiteral("No document Opened");
        case None:
            break;
    }
    return {};
}

}  // namespace cfg
