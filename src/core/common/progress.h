#pragma once

#include <QString>

namespace cfg {

// The busy state of a long operation and what it is doing. The main window disables itself
// and blinks its busy label; the headless front ends print the captions on stderr.
class Progress {
  public:
    virtual ~Progress() = default;
    virtual void Begin(const QString& caption) = 0;
    virtual void Caption(const QString& caption) = 0;
    // The operation is over: the window is usable again and the busy label hidden.
    virtual void End() = 0;
    // The operation is over, and the busy label stays up with this last caption.
    virtual void EndShowing(const QString& caption) = 0;
};

}  // namespace cfg
