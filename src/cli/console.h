#pragma once

#include <QString>
#include <cstdio>

#include "common/messages.h"
#include "common/progress.h"

namespace cfg {

// Messages, questions and progress of the headless front ends: one line each on a stream
// (stderr), UTF-8. Nobody is there to answer, so every question is answered Yes.
class ConsoleMessages : public Messages {
  public:
    explicit ConsoleMessages(std::FILE* stream) : stream_(stream) {}
    void Show(const QString& text, Icon icon) override;
    bool Ask(const QString& text, Icon icon) override;

  private:
    std::FILE* stream_;
};

class ConsoleProgress : public Progress {
  public:
    explicit ConsoleProgress(std::FILE* stream) : stream_(stream) {}
    void Begin(const QString& caption) override { Caption(caption); }
    void Caption(const QString& caption) override;
    void End() override {}
    void EndShowing(const QString& caption) override { Caption(caption); }

  private:
    std::FILE* stream_;
};

// The core's request to end the program, kept until the command returns.
class EndRequest : public ProgramControl {
  public:
    void EndProgram() override { requested = true; }
    bool requested = false;
};

// Writes one line, UTF-8.
void WriteLine(std::FILE* stream, const QString& text);

}  // namespace cfg
