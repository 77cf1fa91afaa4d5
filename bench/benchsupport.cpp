#include "benchsupport.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/xml/xmlreader.h"

namespace benchsupport {

SimProcess::~SimProcess() {
    process_.terminate();
    process_.waitForFinished(3000);
}

bool SimProcess::Start(int scales, int items, const QString& page, const QString& latency,
                       int core) {
    process_.setProgram(ProgramPath("cfgtarascope-sim"));
    if (core >= 0) process_.setChildProcessModifier([core] { PinTo({core}); });
    process_.setArguments({"--generate", QString("%1,%2").arg(scales).arg(items), "--max-seconds",
                           "1800", "--page-size", page, "--latency", latency});
    process_.start();
    while (address.isEmpty() && process_.waitForReadyRead(10000)) {
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        if (line.startsWith("listening on ")) address = line.mid(13);
    }
    host = address.section(':', 0, 0);
    port = static_cast<quint16>(address.section(':', 1).toUInt());
    return !address.isEmpty();
}

QString ProgramPath(const QString& name) {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../bin/" + name);
}

bool RawReplay(const QString& host, quint16 port, const QList<QByteArray>& requests) {
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(5000)) return false;
    for (const QByteArray& request : requests) {
        const auto n = static_cast<quint16>(request.size());
        QByteArray frame;
        frame.append(static_cast<char>(n & 0xFF)).append(static_cast<char>(n >> 8)).append(request);
        socket.write(frame);
        while (socket.bytesAvailable() < 2)
            if (!socket.waitForReadyRead(5000)) return false;
        const QByteArray head = socket.read(2);
        const int length = static_cast<unsigned char>(head[0]) | static_cast<unsigned char>(head[1])
                                                                     << 8;
        while (socket.bytesAvailable() < length)
            if (!socket.waitForReadyRead(5000)) return false;
        socket.read(length);
    }
    return true;
}

void Goals::Print(const char* format, const char* what, double value, double goal) {
    const bool met = value <= goal;
    missed_ += met ? 0 : 1;
    std::printf(format, what, value, goal, met ? "" : ", MISSED");
}

void Goals::Ratio(const char* what, double value, double goal) {
    Print("ratio %-38s %5.2f  (goal %.2f%s)\n", what, value, goal);
}

void Goals::Ms(const char* what, double value, double goal) {
    Print("%-44s %5.1f  (goal %.0f ms%s)\n", what, value, goal);
}

double BestMs(int rounds, const std::function<void()>& run) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

double PeakBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) * 1024;
}

namespace {

// The run of `argv` with its standard output to `output`, timed and measured from this process.
ChildRun Spawn(char* const* argv, const char* output) {
    ChildRun run;
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        const int out = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = open("/dev/null", O_WRONLY);
        if (out < 0 || null < 0 || dup2(out, 1) < 0 || dup2(null, 2) < 0) _exit(127);
        execv(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    run.peakBytes = double(usage.ru_maxrss) * 1024;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

constexpr const char* kRunChild = "--run-child";

}  // namespace

std::vector<int> AllowedCores() {
    std::vector<int> cores;
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return cores;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &allowed)) cores.push_back(cpu);
    return cores;
}

void PinTo(const std::vector<int>& cores) {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int core : cores) CPU_SET(core, &set);
    sched_setaffinity(0, sizeof set, &set);
}

int RunChildMain(int argc, char** argv) {
    if (argc < 4 || std::strcmp(argv[1], kRunChild) != 0) return -1;
    const ChildRun run = Spawn(argv + 3, argv[2]);
    std::printf("%d %.3f %.0f\n", run.ok ? 1 : 0, run.ms, run.peakBytes);
    return 0;
}

ChildRun RunChild(const QString& program, const QStringList& args, const QString& output) {
    // A child forked from this process would count this process's memory as its own peak: the
    // run goes through a fresh copy of this program, which forks while still small.
    QProcess runner;
    runner.setProgram(QCoreApplication::applicationFilePath());
    runner.setArguments(QStringList{kRunChild, output, program} + args);
    runner.start();
    ChildRun run;
    if (!runner.waitForFinished(600000)) return run;
    const QStringList figures = QString::fromLatin1(runner.readAllStandardOutput()).split(' ');
    if (figures.size() != 3) return run;
    run.ok = figures[0] == "1";
    run.ms = figures[1].toDouble();
    run.peakBytes = figures[2].toDouble();
    return run;
}

WalkResult WalkAll(cfg::ClsXMLReader& r) {
    WalkResult out;
    QStringList names, values;
    int n = 0;
    r.Reset();
    for (int next = 0;;) {
        if (r.SearchChildID(next)) {
            ++next;
            ++out.elements;
            r.GetAttributes(n, names, values);
            for (int i = 0; i < n; ++i) out.checksum += names[i].size() + values[i].size();
            out.checksum += r.LabelName().size() + r.LabelData().size() +
                            r.VisitChildren([](int, const QString&) {});
        } else if (r.LabelID() == -1) {
            return out;
        } else {
            r.GoBack();
        }
    }
}

}  // namespace benchsupport
