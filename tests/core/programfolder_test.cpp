#include "core/common/programfolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "support/testsupport.h"

namespace cfg {
namespace {

TEST(ProgramFolder, TheExecutablesFolderOrThePerUserOne) {
    QTemporaryDir executable;
    EXPECT_EQ(ResolveProgramFolder(executable.path()), QDir::cleanPath(executable.path()));

    // A folder that cannot be written (here: one that does not exist) gives way to the
    // per-user configuration folder, which is created.
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    const QString folder = ResolveProgramFolder(executable.filePath("missing"));
    if (saved.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", saved);
    }
    EXPECT_EQ(folder, QDir(home.path()).filePath("cfgtarascope"));
    EXPECT_TRUE(QDir(folder).exists());
}

}  // namespace
}  // namespace cfg
