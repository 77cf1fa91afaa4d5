#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "core/common/operation.h"

namespace cfg {
class ClsXMLReader;
}

namespace benchsupport {

// Says nothing, answers Yes, counts the lines of a load and leaves out the pauses around the
// grouped items: they are the scales' pacing, not the tool's work.
class Quiet : public cfg::Operation {
  public:
    void Line(const QString&) override { ++lines; }
    void Pause(int) override {}
    cfg::TrafficLog* Log() override { return log; }
    long lines = 0;
    cfg::TrafficLog* log = nullptr;
};

// The simulator program (build/bin/cfgtarascope-sim) serving a generated network on loopback,
// as a server scale would; ended with this object.
class SimProcess {
  public:
    ~SimProcess();
    // PAGE records per reply of a paged read, LATENCY ms before each reply; on CORE unless -1.
    bool Start(int scales, int items, const QString& page, const QString& latency, int core = -1);
    QString address;  // HOST:PORT
    QString host;
    quint16 port = 0;

  private:
    QProcess process_;
};

// The build's program folder (build/bin), beside this benchmark's.
QString ProgramPath(const QString& name);

// The least a client can do: frame each request, read each reply frame whole.
bool RawReplay(const QString& host, quint16 port, const QList<QByteArray>& requests);

// The goals a benchmark holds its figures against, each printed with its figure. With
// `--strict` among the arguments (taken out of them), a missed goal makes the benchmark end with
// 1, so that a script can hold a change to them; timings on a shared machine vary, so compare
// figures of one run.
class Goals {
  public:
    explicit Goals(QStringList& args) : strict_(args.removeAll(QStringLiteral("--strict")) > 0) {}
    // "ratio WHAT  VALUE  (goal GOAL)", MISSED when above it.
    void Ratio(const char* what, double value, double goal);
    // The same for a figure in milliseconds.
    void Ms(const char* what, double value, double goal);
    int Status() const { return strict_ && missed_ > 0 ? 1 : 0; }

  private:
    void Print(const char* format, const char* what, double value, double goal);
    bool strict_;
    int missed_ = 0;
};

// The best time of `rounds` runs, in milliseconds.
double BestMs(int rounds, const std::function<void()>& run);

// This process's peak resident memory so far.
double PeakBytes();

// A program run to its end, its standard output to `output`, its standard error dropped.
struct ChildRun {
    bool ok = false;  // started and ended with status 0
    double ms = 0;
    double peakBytes = 0;
};
ChildRun RunChild(const QString& program, const QStringList& args, const QString& output);
// A benchmark that uses RunChild calls this first thing in main and returns what it returns
// unless that is -1: RunChild's runs go through it.
int RunChildMain(int argc, char** argv);

// The cores this process may run on, and pinning to one of them (this process and every process
// it starts later). Left to the scheduler, an exchange between two processes took twice as
// long in some runs as in others, whichever core each landed on.
std::vector<int> AllowedCores();
void PinTo(const std::vector<int>& cores);  // this thread, to these cores

struct WalkResult {
    long elements = 0;
    long checksum = 0;  // the same for any two readers that agree
};
// Every element in document order, entered by ID from its parent, with its name, text,
// attributes and number of children read; without recursion, however deep the document.
WalkResult WalkAll(cfg::ClsXMLReader& r);

}  // namespace benchsupport
