#pragma once

#include <QString>

namespace cfg {

// The kind of a message, as the windows show it by its icon.
enum class Icon { None, Critical, Exclamation, Question, Information };

// What the user must see or answer. The windows show message boxes; the headless front ends
// (command-line tool, batch mode) write to stderr and answer questions themselves.
class Messages {
  public:
    virtual ~Messages() = default;
    virtual void Show(const QString& text, Icon icon) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Ask(const QString& text, Icon icon) = 0;
};

// Ending the program belongs to the front end: the core asks for it and then returns at once.
class ProgramControl {
  public:
    virtual ~ProgramControl() = default;
    virtual void EndProgram() = 0;
};

}  // namespace cfg
