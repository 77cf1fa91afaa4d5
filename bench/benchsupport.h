#pragma once

#include <QString>

#include "core/common/operation.h"

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

}  // namespace benchsupport
