#pragma once

#include <QString>

namespace cfg {

// Checks that `sData` is a dotted IPv4 address. When its first four groups are valid numbers
// below 256 the text is rewritten with three digits per group ("10.0.0.5" becomes
// "010.000.000.005") even if the address as a whole is refused (more than three dots).
bool GeneraTextoIP(QString& sData);

}  // namespace cfg
