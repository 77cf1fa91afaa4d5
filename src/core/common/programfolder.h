#pragma once

#include <QString>

namespace cfg {

// The folder that holds data.ini, the logs and history.db: the executable's own folder, or the
// per-user configuration folder for an installed copy (PREFIX/bin beside
// PREFIX/share/doc/cfgtarascope) and when the executable's folder cannot be written. Resolved
// once by each front end and handed to whatever needs it.
QString ResolveProgramFolder(const QString& executableFolder);

}  // namespace cfg
