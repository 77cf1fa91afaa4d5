// The desktop program started as a technician starts it, twice: one per user, a second start
// says so, and a lock left by a killed program does not block the next start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "support/testsupport.h"

namespace {

class DesktopInstance : public ::testing::Test {
  protected:
    void SetUp() override {
        // Run from a copy of its own: its data.ini and logs go beside it, not into the build.
        program = folder.filePath("cfgtarascope");
        ASSERT_TRUE(QFile::copy(CFG_DESKTOP_PROGRAM, program));
        QFile::setPermissions(program, QFile::permissions(CFG_DESKTOP_PROGRAM));
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    std::unique_ptr<QProcess> Launch() {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        process->setProcessEnvironment(env);
        process->start(program, {});
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }
    // Whether the start dialog's data.ini appeared: the program is up and holds the lock.
    bool Up() {
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(folder.filePath("data.ini")) && timer.elapsed() < 20000)
            QThread::msleep(20);
        return QFile::exists(folder.filePath("data.ini"));
    }
    // Reads stderr until `text` shows, then ends the program.
    static QString SaidThenEnded(QProcess& process, const QString& text) {
        QString said;
        QElapsedTimer timer;
        timer.start();
        while (!said.contains(text) && timer.elapsed() < 20000 &&
               process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(100);
            said += QString::fromUtf8(process.readAllStandardError());
        }
        said += QString::fromUtf8(process.readAllStandardError());
        process.kill();
        process.waitForFinished();
        return said;
    }

    QTemporaryDir folder, runtime;
    QString program;
};

TEST_F(DesktopInstance, ASecondStartSaysSoAndALockLeftBehindIsTakenOver) {
    const QString lock = runtime.filePath("cfgtarascope.lock");
    // A lock as a killed program leaves it: a process that no longer runs.
    cfgtest::WriteAll(lock, "999999\ncfgtarascope\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    std::unique_ptr<QProcess> first = Launch();
    ASSERT_TRUE(Up());
    EXPECT_TRUE(cfgtest::ReadAll(lock).startsWith(QByteArray::number(first->processId()) + '\n'));

    std::unique_ptr<QProcess> second = Launch();
    EXPECT_TRUE(SaidThenEnded(*second, "CfgTarascope ya está abierto").contains("ya está abierto"));
    EXPECT_EQ(first->state(), QProcess::Running);
    first->kill();
    first->waitForFinished();
}

}  // namespace
