#pragma once

#include <QString>
#include <cstdio>
#include <functional>

#include "core/common/commandline.h"
#include "core/common/operation.h"

namespace cfg {

// Where the lines of a load go; nowhere when empty.
using LineSink = std::function<void(const QString&)>;

// The operations of the headless front ends: messages and captions one line each on a stream
// (stderr), UTF-8; the lines of a load on another stream, or nowhere. On a terminal the
// captions and the progress share one line, written over as the work goes on. Nobody is there
// to answer, so every question is answered Yes without a word. A quiet one says no captions,
// progress nor information: failures, refusals and warnings only.
class ConsoleOperation : public Operation {
  public:
    ConsoleOperation(std::FILE* messages, TrafficLog* log, bool quiet = false);
    void SetLines(LineSink lines) { lines_ = std::move(lines); }
    // While set, a critical message is followed on its line by what this says (where and why
    // the link failed).
    void SetCriticalDetail(std::function<QString()> detail) { detail_ = std::move(detail); }

    void Show(const QString& text, Icon) override;
    void Begin(const QString& caption) override { Caption(caption); }
    void Caption(const QString& caption) override;
    void End() override;
    void EndShowing(const QString& caption) override;
    void Progress(int done, int total, Counted counted) override;
    void Line(const QString& line) override;
    TrafficLog* Log() override { return log_; }
    // A SIGINT or SIGTERM, once the program catches them.
    bool Cancelled() override;

  private:
    void Status();  // the terminal's line, written over
    void ClearStatus();

    std::FILE* messages_;
    TrafficLog* log_;
    LineSink lines_;
    std::function<QString()> detail_;
    const bool terminal_;
    const bool quiet_;
    QString caption_, progress_;
    bool statusShown_ = false;
    ProgressPace pace_;
};

}  // namespace cfg
