#pragma once

#include <QString>

#include "common/messages.h"
#include "common/progress.h"
#include "files/configload.h"

namespace benchsupport {

// Says nothing, answers Yes, and counts the log lines of a load.
class Quiet : public cfg::Messages,
              public cfg::Progress,
              public cfg::ProgramControl,
              public cfg::LoadLog {
  public:
    void Show(const QString&, cfg::Icon) override {}
    bool Ask(const QString&, cfg::Icon) override { return true; }
    void Begin(const QString&) override {}
    void Caption(const QString&) override {}
    void End() override {}
    void EndShowing(const QString&) override {}
    void EndProgram() override { ended = true; }
    void Agregar_Linea(const QString&) override { ++lines; }
    bool ended = false;
    long lines = 0;
};

}  // namespace benchsupport
