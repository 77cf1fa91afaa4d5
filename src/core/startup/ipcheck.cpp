#include "core/startup/ipcheck.h"

#include <array>

namespace cfg {

namespace {

// Value of a group of digits, or -1 when it is empty or 256 and above.
int GroupValue(const QString& group) {
    if (group.isEmpty()) return -1;
    int value = 0;
    for (QChar c : group) {
        value = value * 10 + (c.unicode() - u'0');
        if (value > 255) return -1;
    }
    return value;
}

}  // namespace

bool GeneraTextoIP(QString& sData) {
    const QString text = sData;
    bool result = true;
    int dots = 0;
    bool previousWasDot = false;
    std::array<QString, 5> groups;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            previousWasDot = false;
            groups[dots] += c;
        } else if (c == u'.') {
            if (previousWasDot || dots == 4) {
                result = false;
                break;
            }
            ++dots;
            previousWasDot = true;
        } else {
            return false;
        }
    }
    if (dots != 3) result = false;

    std::array<int, 4> values{};
    for (int i = 0; i < 4; ++i) {
        values[i] = GroupValue(groups[i]);
        if (values[i] < 0) return false;
    }
    // Rewritten whatever `result` says: the groups alone decide.
    sData = QStringLiteral("%1.%2.%3.%4")
                .arg(values[0], 3, 10, QChar(u'0'))
                .arg(values[1], 3, 10, QChar(u'0'))
                .arg(values[2], 3, 10, QChar(u'0'))
                .arg(values[3], 3, 10, QChar(u'0'));
    return result;
}

}  // namespace cfg
