// cfgtarascope-sim: plays the server scale of a scale network over TCP and a pseudo-terminal.

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "core/common/commandline.h"
#include "sim/engine.h"
#include "sim/networkfile.h"
#include "sim/ptyserver.h"
#include "sim/simnetwork.h"
#include "sim/tcpserver.h"

namespace {

constexpr const char* kUsage = R"(usage: cfgtarascope-sim [options]

Plays the server scale of a scale network: TCP on 127.0.0.1 (prints "listening on ADDR:PORT"),
and with --pty a pseudo-terminal for the RS-232 path (prints "pty /dev/pts/N").

Network
  --network FILE        serve the network described in FILE
  --generate S,I        serve a generated network: S scales sharing about I items
  --write-default FILE  write the built-in network (or the generated one) to FILE and exit
  --page-size N         records or values per reply of a paged read (default 8)
Transport
  --port N              TCP port (default: a free one)
  --bind ADDR           address to listen on (default 127.0.0.1)
  --pty [PATH]          also serve a pseudo-terminal; PATH becomes a symbolic link to it
Faults
  --latency MS          wait MS milliseconds before every reply
  --silent-after N      answer N requests of a connection, then stay silent (connection kept)
  --close-after N       close a connection after answering N requests (0: at the first one);
                        on the pseudo-terminal: a new one, announced with a new "pty" line
  --drop-after N        answer N requests of a connection, then close it instead of
                        answering the next
  --silent-every N      leave every N-th request unanswered (connection kept)
  --short-replies       send every reply one byte shorter than the minimum of its kind
  --short-after N       answer N requests, then cut every reply short, whatever the connection
  --unreadable N[,N...] cut short every reply to a read of these scales' values
  --refuse ID[,ID...]   always refuse writes to these items (code 98)
  --record FILE         append every request received to FILE, one line of hex each
  --seed N              seed of the random CR stand-in, for repeatable replies
  --max-seconds N       stop after N seconds
  --help, --version
)";

struct Arguments {
    std::optional<QString> networkFile;
    std::optional<std::pair<int, int>> generate;
    std::optional<QString> writeDefault;
    int pageSize = 8;
    quint16 port = 0;
    QHostAddress bind = QHostAddress(QHostAddress::LocalHost);
    bool pty = false;
    QString ptyLink;
    cfg::sim::FaultOptions faults;
    std::optional<QString> recordFile;
    std::optional<std::uint32_t> seed;
    int maxSeconds = 0;
};

bool ToInt(const QString& text, qint64 low, qint64 high, qint64* out) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < low || value > high) return false;
    *out = value;
    return true;
}

QList<QCommandLineOption> Options() {
    QList<QCommandLineOption> options;
    for (const char* name :
         {"network", "generate", "write-default", "page-size", "port", "bind", "pty", "latency",
          "silent-after", "close-after", "drop-after", "silent-every", "short-after", "unreadable",
          "refuse", "record", "seed", "max-seconds"})
        options.append({QLatin1String(name), {}, QStringLiteral("VALUE")});
    options.append({QStringLiteral("short-replies"), {}});
    return options;
}

// --pty takes its PATH only when one follows: a bare one is given an empty value.
QStringList WithPtyValue(QStringList args) {
    for (qsizetype i = 0; i < args.size(); ++i)
        if (args[i] == u"--pty" && (i + 1 == args.size() || args[i + 1].startsWith(u'-')))
            args[i] = QStringLiteral("--pty=");
    return args;
}

// Returns an empty string when the options are usable, otherwise what is wrong.
QString Take(const cfg::CommandLine& line, Arguments& a) {
    if (!line.Positional().isEmpty())
        return QStringLiteral("unexpected argument ") + line.Positional().front();
    QString option;
    const auto given = [&](const char* name) {
        option = QStringLiteral("--") + QLatin1String(name);
        return line.IsSet(QLatin1String(name));
    };
    const auto value = [&] { return line.Value(option.mid(2)); };
    const auto number = [&](qint64 low, qint64 high, qint64* out) {
        return ToInt(value(), low, high, out);
    };
    const QString bad = QStringLiteral(": missing or bad value");
    qint64 n = 0;

    if (given("network")) a.networkFile = value();
    if (given("generate")) {
        const QStringList parts = value().split(QLatin1Char(','));
        qint64 scales = 0;
        qint64 items = 0;
        if (parts.size() != 2 || !ToInt(parts[0], 1, 255, &scales) ||
            !ToInt(parts[1], 1, 20000, &items))
            return option + QStringLiteral(": expects SCALES,ITEMS (1-255, 1-20000)");
        a.generate = std::make_pair(static_cast<int>(scales), static_cast<int>(items));
    }
    if (given("write-default")) a.writeDefault = value();
    if (given("page-size")) {
        if (!number(1, 65535, &n)) return option + bad;
        a.pageSize = static_cast<int>(n);
    }
    if (given("port")) {
        if (!number(0, 65535, &n)) return option + bad;
        a.port = static_cast<quint16>(n);
    }
    if (given("bind") && !a.bind.setAddress(value())) return option + bad;
    if (given("pty")) {
        a.pty = true;
        a.ptyLink = value();
    }
    struct Count {
        const char* name;
        int* field;
        qint64 low, high;
    };
    const Count counts[] = {{"latency", &a.faults.latencyMs, 0, 600000},
                            {"silent-after", &a.faults.silentAfter, 0, INT32_MAX},
                            {"close-after", &a.faults.closeAfter, 0, INT32_MAX},
                            {"drop-after", &a.faults.dropAfter, 0, INT32_MAX},
                            {"silent-every", &a.faults.silentEvery, 1, INT32_MAX},
                            {"short-after", &a.faults.shortAfter, 0, INT32_MAX},
                            {"max-seconds", &a.maxSeconds, 1, 86400 * 365}};
    for (const Count& count : counts) {
        if (!given(count.name)) continue;
        if (!number(count.low, count.high, &n)) return option + bad;
        *count.field = static_cast<int>(n);
    }
    a.faults.shortReplies = line.IsSet(QStringLiteral("short-replies"));
    struct Numbers {
        const char* name;
        QSet<int>* field;
        qint64 high;
    };
    for (const Numbers& list : {Numbers{"refuse", &a.faults.refusedIds, 0xFFFF},
                                Numbers{"unreadable", &a.faults.unreadableScales, 255}}) {
        if (!given(list.name)) continue;
        for (const QString& item : value().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!ToInt(item, 0, list.high, &n)) return option + bad;
            list.field->insert(static_cast<int>(n));
        }
    }
    if (given("record")) a.recordFile = value();
    if (given("seed")) {
        if (!number(0, UINT32_MAX, &n)) return option + bad;
        a.seed = static_cast<std::uint32_t>(n);
    }
    if (a.networkFile && a.generate)
        return QStringLiteral("--network and --generate exclude each other");
    return {};
}

void PrintLine(const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintError(const QString& line) {
    std::fputs(("cfgtarascope-sim: " + line + '\n').toLocal8Bit().constData(), stderr);
}

// The write end of the signal pipe: set once before the handlers are installed, then only
// read by them. A signal handler can reach nothing but such a plain variable.
int signalWriteFd = -1;

extern "C" void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalWriteFd, &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    cfg::CommandLine line(Options());
    Arguments args;
    cfg::Request request = line.Parse(WithPtyValue(QCoreApplication::arguments().mid(1)));
    QString problem;
    if (request == cfg::Request::Wrong)
        problem = line.Unknown().isEmpty() ? line.Fault()
                                           : QStringLiteral("unknown option ") + line.Unknown()[0];
    if (request == cfg::Request::Run && !(problem = Take(line, args)).isEmpty())
        request = cfg::Request::Wrong;
    if (request != cfg::Request::Run)
        return cfg::AnswerRequest(
            request, "cfgtarascope-sim", QLatin1String(kUsage),
            problem.isEmpty() ? problem : QStringLiteral("cfgtarascope-sim: ") + problem, stdout,
            stderr);

    cfg::sim::Network network;
    if (args.networkFile) {
        QString error;
        std::optional<cfg::sim::Network> read =
            cfg::sim::ReadNetworkFile(*args.networkFile, &error);
        if (!read) {
            PrintError(error);
            return 1;
        }
        network = std::move(*read);
    } else if (args.generate) {
        network = cfg::sim::GenerateNetwork(args.generate->first, args.generate->second);
    } else {
        network = cfg::sim::DefaultNetwork();
    }
    if (args.writeDefault) {
        QString error;
        if (!cfg::sim::WriteNetworkFile(network, *args.writeDefault, &error)) {
            PrintError(error);
            return 1;
        }
        return 0;
    }

    cfg::sim::EngineOptions options;
    options.pageSize = args.pageSize;
    options.faults = args.faults;
    options.seed = args.seed;
    cfg::sim::Engine engine(std::move(network), options);
    if (args.recordFile) {
        QString error;
        if (!engine.OpenRecordFile(*args.recordFile, &error)) {
            PrintError(*args.recordFile + QStringLiteral(": ") + error);
            return 1;
        }
    }

    int signalFds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFds) != 0) {
        PrintError(QStringLiteral("socketpair failed"));
        return 1;
    }
    signalWriteFd = signalFds[0];
    QSocketNotifier stopNotifier(signalFds[1], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    cfg::sim::TcpListener listener(engine, options.faults);
    QString error;
    if (!listener.Listen(args.bind, args.port, &error)) {
        PrintError(QStringLiteral("cannot listen on %1:%2: %3")
                       .arg(args.bind.toString())
                       .arg(args.port)
                       .arg(error));
        return 1;
    }
    PrintLine(QStringLiteral("listening on %1:%2").arg(args.bind.toString()).arg(listener.port()));

    std::unique_ptr<cfg::sim::PtyServer> pty;
    if (args.pty) {
        pty = std::make_unique<cfg::sim::PtyServer>(engine, options.faults);
        if (!pty->Open(args.ptyLink, &error)) {
            PrintError(QStringLiteral("cannot open a pseudo-terminal: ") + error);
            return 1;
        }
        QObject::connect(pty.get(), &cfg::sim::PtyServer::reopened,
                         [](const QString& path) { PrintLine(QStringLiteral("pty ") + path); });
        PrintLine(QStringLiteral("pty ") + pty->slavePath());
    }

    if (args.maxSeconds > 0) {
        QTimer::singleShot(std::chrono::seconds(args.maxSeconds), &app, &QCoreApplication::quit);
    }
    return QCoreApplication::exec();
}
