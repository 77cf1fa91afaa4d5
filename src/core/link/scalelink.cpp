#include "core/link/scalelink.h"

namespace cfg {

QString ScaleLink::CodeText(int code) {
    switch (code) {
        case kOk:
            return QStringLiteral("done");
        case kBadText:
            return QStringLiteral("unknown link type or unreadable connection text");
        case kRefused:
            return QStringLiteral("connection refused or host unreachable");
        case kHostNotFound:
            return QStringLiteral("host name not found");
        case kConnectTimedOut:
            return QStringLiteral("no connection in time");
        case kPortNotOpened:
            return QStringLiteral("serial device cannot be opened");
        case kSettingRefused:
            return QStringLiteral("serial settings refused");
        case kNoLink:
            return QStringLiteral("no link");
        case kPeerClosed:
            return QStringLiteral("connection lost");
        case kReplyTimeout:
            return QStringLiteral("no reply in time");
        case kMalformedFrame:
            return QStringLiteral("malformed reply frame");
        case kWriteFailed:
            return QStringLiteral("request not sent");
        case kBadRequest:
            return QStringLiteral("request cannot be framed");
        case kReplyTooSlow:
            return QStringLiteral("reply too slow to arrive whole");
        default:
            return QStringLiteral("link error %1").arg(code);
    }
}

}  // namespace cfg
