// The desktop program started twice as a technician starts it: one per user, a second start says
// so, and a lock left by a killed program does not block the next start.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "support/testsupport.h"

namespace {

TEST(DesktopInstance, ASecondStartSaysSoAndALockLeftBehindIsTakenOver) {
    // A copy of its own: its data.ini goes beside it, not into the build.
    QTemporaryDir folder, runtime;
    const QString program = folder.filePath("cfgtarascope");
    ASSERT_TRUE(QFile::copy(CFG_DESKTOP_PROGRAM, program));
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    QProcess first, second;
    for (QProcess* p : {&first, &second}) p->setProcessEnvironment(env);
    // As a killed program leaves it: its process no longer runs.
    const QString lock = runtime.filePath("cfgtarascope.lock");
    cfgtest::WriteAll(lock, "999999\ncfgtarascope\n" + QSysInfo::machineHostName().toUtf8() + "\n");

    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    const QDeadlineTimer deadline(20000);
    while (!QFile::exists(folder.filePath("data.ini")) && !deadline.hasExpired())
        QThread::msleep(20);  // data.ini is written once the lock is taken
    EXPECT_TRUE(cfgtest::ReadAll(lock).startsWith(QByteArray::number(first.processId()) + '\n'));
    second.setReadChannel(QProcess::StandardError);
    second.start(program, {});
    QString said;  // its message box waits for a click: read until the line, then end it
    while (!said.contains("ya está abierto") && !deadline.hasExpired() && second.waitForReadyRead())
        said += QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(said.contains("CfgTarascope ya está abierto")) << said.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);
    for (QProcess* p : {&first, &second}) p->kill(), p->waitForFinished();
}

}  // namespace
