#include "sim/ptyserver.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "sim/session.h"

namespace cfg::sim {

namespace {

// Time for the client to read the last reply before the line goes dead.
constexpr int kHangUpDelayMs = 200;
// At most this much is read per wake-up, so one busy line cannot starve the event loop.
constexpr int kReadsPerWakeUp = 16;

QString ErrnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

}  // namespace

PtyServer::PtyServer(Engine& engine, FaultOptions faults, QObject* parent)
    : QObject(parent), engine_(engine), faults_(std::move(faults)) {}

PtyServer::~PtyServer() {
    ClosePair();
    const QFileInfo link(linkPath_);
    if (!linkPath_.isEmpty() && link.isSymLink() && link.symLinkTarget() == slavePath_)
        QFile::remove(linkPath_);
}

bool PtyServer::Open(const QString& linkPath, QString* error) {
    linkPath_ = linkPath;
    if (!OpenPair(error)) return false;
    if (!PointLink(error)) {
        ClosePair();
        return false;
    }
    return true;
}

bool PtyServer::OpenPair(QString* error) {
    QString problem;
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    char name[256] = {};
    if (master_ < 0) {
        problem = ErrnoText("posix_openpt");
    } else if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        problem = ErrnoText("grantpt/unlockpt");
    } else if (ptsname_r(master_, name, sizeof name) != 0) {
        problem = ErrnoText("ptsname");
    } else if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0 ||
               fcntl(master_, F_SETFD, FD_CLOEXEC) != 0) {
        problem = ErrnoText("fcntl");
    } else {
        slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        if (slaveHold_ < 0 || tcgetattr(slaveHold_, &settings) != 0) {
            problem = ErrnoText(name);
        } else {
            // Raw from the start: no echo, no CR/NL translation, for a client that does not
            // set the line up itself.
            cfmakeraw(&settings);
            if (tcsetattr(slaveHold_, TCSANOW, &settings) != 0) problem = ErrnoText("tcsetattr");
        }
    }
    if (!problem.isEmpty()) {
        if (error != nullptr) *error = problem;
        ClosePair();
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(name);

    readNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &PtyServer::OnReadable);
    writeNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &PtyServer::OnWritable);

    Session::Transport transport{
        [this](const QByteArray& bytes) { Send(bytes); },
        [this] {
            // Not now: the session is still at work. After the reply has gone out.
            restartWhenSent_ = true;
            if (pending_.isEmpty()) QTimer::singleShot(kHangUpDelayMs, this, &PtyServer::Restart);
        },
    };
    session_ = std::make_unique<Session>(engine_, faults_, std::move(transport));
    return true;
}

void PtyServer::ClosePair() {
    session_.reset();
    readNotifier_.reset();
    writeNotifier_.reset();
    pending_.clear();
    if (slaveHold_ >= 0) ::close(slaveHold_);
    if (master_ >= 0) ::close(master_);
    slaveHold_ = -1;
    master_ = -1;
}

bool PtyServer::PointLink(QString* error) {
    if (linkPath_.isEmpty()) return true;
    const QFileInfo link(linkPath_);
    if (link.isSymLink()) {
        QFile::remove(linkPath_);
    } else if (link.exists()) {
        if (error != nullptr)
            *error = linkPath_ + QStringLiteral(" exists and is not a symbolic link");
        return false;
    }
    if (::symlink(slavePath_.toLocal8Bit().constData(), linkPath_.toLocal8Bit().constData()) != 0) {
        if (error != nullptr) *error = ErrnoText("symlink");
        return false;
    }
    return true;
}

void PtyServer::OnReadable() {
    char buffer[4096];
    for (int i = 0; i < kReadsPerWakeUp && session_; ++i) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            session_->Feed(QByteArray(buffer, static_cast<qsizetype>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Not expected while the slave is held open; pause instead of spinning.
            readNotifier_->setEnabled(false);
            QTimer::singleShot(100, this, [this] {
                if (readNotifier_) readNotifier_->setEnabled(true);
            });
        }
        return;
    }
}

void PtyServer::Send(const QByteArray& bytes) {
    pending_.append(bytes);
    OnWritable();
}

void PtyServer::OnWritable() {
    while (!pending_.isEmpty() && master_ >= 0) {
        const ssize_t n =
            ::write(master_, pending_.constData(), static_cast<size_t>(pending_.size()));
        if (n > 0) {
            pending_.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writeNotifier_->setEnabled(true);
            return;
        } else {
            pending_.clear();
        }
    }
    if (writeNotifier_) writeNotifier_->setEnabled(false);
    if (restartWhenSent_) QTimer::singleShot(kHangUpDelayMs, this, &PtyServer::Restart);
}

void PtyServer::Restart() {
    if (!restartWhenSent_) return;
    restartWhenSent_ = false;
    ClosePair();
    QString error;
    if (!OpenPair(&error) || !PointLink(&error)) {
        qWarning("pseudo-terminal restart failed: %s", qPrintable(error));
        return;
    }
    emit reopened(slavePath_);
}

}  // namespace cfg::sim
