#include "core/common/programfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace cfg {

namespace {

bool CanWriteIn(const QString& folder) {
    if (folder.isEmpty() || !QDir(folder).exists()) return false;
    // Permission bits do not tell (root, ACLs, read-only mounts): try it.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".cfgtarascope-XXXXXX")));
    return probe.open();
}

// An installed copy: its programs in PREFIX/bin, its documents in PREFIX/share/doc/cfgtarascope.
// Run as root it could write beside itself, into the system's folders.
bool Installed(const QString& folder) {
    return QFileInfo(QDir(folder).filePath(QStringLiteral("../share/doc/cfgtarascope"))).isDir();
}

}  // namespace

QString ResolveProgramFolder(const QString& executableFolder) {
    if (!Installed(executableFolder) && CanWriteIn(executableFolder))
        return QDir::cleanPath(executableFolder);
    QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (user.isEmpty()) user = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = QDir(user).filePath(QStringLiteral("cfgtarascope"));
    QDir().mkpath(folder);
    return QDir::cleanPath(folder);
}

}  // namespace cfg
