// The program cfgtarascope-sim itself: command line, output lines, signals, pseudo-terminal.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "sim/networkfile.h"
#include "sim/simtestsupport.h"
#include "support/testsupport.h"

using cfgtest::Bytes;

namespace cfg::sim {
namespace {

using simtest::Request;
using simtest::Undo;

const QByteArray kReadNetwork = Request(0, 0, 0x03) + Bytes({0});
// The built-in network's four scales.
const QByteArray kDefaultNetworkReply = Bytes({0x02, 0x7E, 0, 0, 0x0D, 0, 0, 0, 0, 0x08, 4}) +
                                        Bytes({1, 1, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}) +
                                        Bytes({2, 1, 0x00, 0x1E, 0xC0, 0x05, 0x7F, 0x12}) +
                                        Bytes({3, 2, 0x00, 0x1E, 0xC0, 0xA4, 0x0D, 0x31}) +
                                        Bytes({7, 3, 0x00, 0x1E, 0xC0, 0xB2, 0x09, 0xE0});

QString ProgramPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/cfgtarascope-sim");
}

class Program {
  public:
    ~Program() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000)) process.kill();
            process.waitForFinished(5000);
        }
    }
    // Starts the program and reads its "listening on" line.
    bool Start(const QStringList& args) {
        process.start(ProgramPath(), args);
        if (!process.waitForStarted(5000)) return false;
        const QString line = ReadLine();
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)$")).match(line);
        if (!m.hasMatch()) {
            ADD_FAILURE() << "first line: " << line.toStdString()
                          << process.readAllStandardError().toStdString();
            return false;
        }
        port = static_cast<quint16>(m.captured(1).toUInt());
        return true;
    }
    QString ReadLine(int timeoutMs = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (!process.canReadLine() && clock.elapsed() < timeoutMs) process.waitForReadyRead(100);
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    // SIGTERM; true when the program then ended by itself with status 0.
    bool StopCleanly() {
        process.terminate();
        return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
    QProcess process;
    quint16 port = 0;
};

// Runs the program to its end; returns its exit code (-1 when it did not end).
int RunToEnd(const QStringList& args, QByteArray* err = nullptr) {
    QProcess process;
    process.start(ProgramPath(), args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (err != nullptr) *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TEST(SimProgram, ServesTheDefaultNetworkAndStopsOnSigterm) {
    Program program;
    ASSERT_TRUE(program.Start({}));
    simtest::Client client;
    ASSERT_TRUE(client.Connect(program.port));
    const std::optional<QByteArray> reply = client.Transact(kReadNetwork);
    ASSERT_TRUE(reply);
    EXPECT_EQ(Undo(*reply), kDefaultNetworkReply);
    EXPECT_TRUE(program.StopCleanly());
}

TEST(SimProgram, WritesItsNetworksAndServesAFile) {
    QTemporaryDir dir;
    const QString builtIn = dir.filePath(QStringLiteral("default.xml"));
    const QString generated = dir.filePath(QStringLiteral("big.xml"));
    ASSERT_EQ(RunToEnd({"--write-default", builtIn}), 0);
    EXPECT_EQ(cfgtest::ReadAll(builtIn), WriteNetworkXml(DefaultNetwork()));
    ASSERT_EQ(RunToEnd({"--generate", "5,30", "--write-default", generated}), 0);
    EXPECT_EQ(cfgtest::ReadAll(generated), WriteNetworkXml(GenerateNetwork(5, 30)));

    const QString small = dir.filePath(QStringLiteral("small.xml"));
    ASSERT_TRUE(WriteNetworkFile(simtest::SmallNetwork(), small, nullptr));
    Program program;
    ASSERT_TRUE(program.Start({"--network", small, "--port", "0"}));
    simtest::Client client;
    ASSERT_TRUE(client.Connect(program.port));
    const std::optional<QByteArray> reply = client.Transact(kReadNetwork);
    ASSERT_TRUE(reply);
    EXPECT_EQ(Undo(*reply).mid(10),
              Bytes({2, 5, 2, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 9, 0, 1, 2, 3, 4, 5, 6}));
}

TEST(SimProgram, ExitStatusAndMessageOfRunsThatEnd) {
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.xml"));
    cfgtest::WriteAll(bad, "<NETWORK><SYSTEM><OPTION id=\"1\" type=\"bogus\"/></SYSTEM></NETWORK>");
    const QString plain = dir.filePath(QStringLiteral("plain"));
    cfgtest::WriteAll(plain, "keep");
    struct Case {
        QStringList args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--port"}, 2, "--port"},
        {{"--port", "70000"}, 2, "--port"},
        {{"--generate", "0,10"}, 2, "--generate"},
        {{"--page-size", "0"}, 2, "--page-size"},
        {{"--refuse", "1,x"}, 2, "--refuse"},
        {{"--network", bad, "--generate", "2,2"}, 2, "exclude"},
        {{"--network", bad}, 1, "not an item type"},
        {{"--network", dir.filePath(QStringLiteral("none.xml"))}, 1, "none.xml"},
        // The pseudo-terminal's link never replaces a file.
        {{"--pty", plain}, 1, "not a symbolic link"},
        {{"--help"}, 0, ""},
        {{"--max-seconds", "1"}, 0, ""},
    };
    for (const Case& c : cases) {
        QByteArray err;
        EXPECT_EQ(RunToEnd(c.args, &err), c.status) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
    }
    EXPECT_EQ(cfgtest::ReadAll(plain), QByteArray("keep"));
}

TEST(SimProgram, FaultOptionsFromTheCommandLine) {
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("requests.txt"));
    Program program;
    ASSERT_TRUE(program.Start(
        {"--record", record, "--refuse=20,31", "--silent-after", "2", "--seed", "3"}));
    simtest::Client client;
    ASSERT_TRUE(client.Connect(program.port));
    // "Pie de ticket" is refused as asked, whatever its value.
    const QByteArray write = Request(0, 0, 0x01) + Bytes({1, 0, 20, 0, 8, 1, 'x'});
    const std::optional<QByteArray> reply = client.Transact(write);
    ASSERT_TRUE(reply);
    EXPECT_EQ(Undo(*reply).mid(10), Bytes({0, 0, 98, 0}));
    EXPECT_TRUE(client.Transact(kReadNetwork));
    EXPECT_EQ(client.Transact(kReadNetwork, 300), std::nullopt);
    EXPECT_EQ(cfgtest::ReadAll(record), write.toHex(' ').toUpper() + '\n' +
                                            kReadNetwork.toHex(' ').toUpper() + '\n' +
                                            kReadNetwork.toHex(' ').toUpper() + '\n');
    EXPECT_TRUE(program.StopCleanly());
}

// A blocking client on the slave side of the pseudo-terminal, as a serial port would be.
class Line {
  public:
    explicit Line(const QString& path) {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (fd_ >= 0) {
            termios t{};
            tcgetattr(fd_, &t);
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Line() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool open() const { return fd_ >= 0; }
    std::optional<QByteArray> Transact(const QByteArray& frame) {
        const QByteArray out = simtest::Framed(frame);
        if (::write(fd_, out.constData(), static_cast<size_t>(out.size())) != out.size())
            return std::nullopt;
        QByteArray in;
        const auto length = [&in] {
            return static_cast<std::uint8_t>(in[0]) | static_cast<std::uint8_t>(in[1]) << 8;
        };
        while (in.size() < 2 || in.size() < 2 + length()) {
            pollfd p{fd_, POLLIN, 0};
            char buffer[512];
            if (::poll(&p, 1, 5000) <= 0) return std::nullopt;
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0) return std::nullopt;
            in.append(buffer, static_cast<qsizetype>(got));
        }
        return in.mid(2, length());
    }

  private:
    int fd_ = -1;
};

TEST(SimProgram, PseudoTerminalAnswersThroughItsLink) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM0"));
    Program program;
    ASSERT_TRUE(program.Start({"--pty", link, "--close-after", "1"}));
    // Each request on the pseudo-terminal the link points to at the time.
    const auto ask = [&](const QByteArray& request) {
        const QString pty = program.ReadLine();
        EXPECT_TRUE(pty.startsWith(QStringLiteral("pty /dev/pts/"))) << pty.toStdString();
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), pty.mid(4));
        Line line(link);
        const std::optional<QByteArray> reply = line.open() ? line.Transact(request) : std::nullopt;
        EXPECT_TRUE(reply) << pty.toStdString();
        return reply ? Undo(*reply) : QByteArray();
    };
    EXPECT_EQ(ask(kReadNetwork), kDefaultNetworkReply);
    // After the one request the scale "restarts" on a new pseudo-terminal behind the same link.
    // Menu 4 of scale 7 holds the group 152 to 157 and 158.
    EXPECT_EQ(ask(Request(0x02, 7, 0x00) + Bytes({4, 0, 1})).mid(10, 2), Bytes({7, 0}));
    EXPECT_TRUE(program.StopCleanly());
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

}  // namespace
}  // namespace cfg::sim
