#pragma once

#include <QElapsedTimer>
#include <QString>
#include <optional>

#include <vector>
#include "core/common/result.h"

namespace cfg {

class TrafficLog;
struct ValueChange;

// Which items a send takes: every editable one, or only those that changed since the read.
enum class SendScope { All, Changed };

// What a progress count counts.
enum class Counted { Scales, Items };

// "Balanzas leídas: 12 de 60" or "Items enviados: 120 de 2300", and once some are done an
// estimate of the time left from the pace so far.
QString ProgressText(int done, int total, Counted counted, qint64 elapsedMs);

// Paces a progress display: a send counts tens of thousands of items, and a display redrawn
// faster than every 100 ms only flickers.
class ProgressPace {
  public:
    // Whether a redraw is due now (the first, then 100 ms after the last); taken as drawn.
    bool Due();
    // The text of `done` of `total` when a redraw is due or the count is complete, the time left
    // estimated from the count's start; else nothing.
    std::optional<QString> Next(int done, int total, Counted counted);

  private:
    QElapsedTimer started_, drawn_;
};

// The kind of a message, as the windows show it by its icon.
enum class Icon { None, Critical, Exclamation, Question, Information };

// The answer a question gives when the user just presses Enter: No where Yes would lose work.
enum class Default { Yes, No };

// Everything a long operation of the core tells, asks and waits through: what the user must
// see or answer, its progress, the sending indicator, the lines of a load, the traffic logs and
// the pauses the scales need. Each front end gives its own (the windows show message boxes and
// blink the busy label; the headless front ends write to stderr); this one does nothing, says
// Yes to every question and really pauses.
class Operation {
  public:
    virtual ~Operation() = default;

    // A message the user must see.
    virtual void Show(const QString& text, Icon icon) {
        (void)text;
        (void)icon;
    }
    // A Yes/No question; true for Yes. Nobody there to answer: Yes.
    virtual bool Ask(const QString& text, Icon icon, Default preset) {
        (void)text;
        (void)icon;
        (void)preset;
        return true;
    }

    // The question before a send, with the items that changed since the read: the scope the
    // user chose, or nothing for No. Here the plain question, Yes keeping `scope`.
    virtual std::optional<SendScope> AskSend(const QString& text,
                                             const std::vector<ValueChange>& changes,
                                             SendScope scope);

    // The busy state and what is being done: the main window disables itself and blinks its
    // busy label; the headless front ends print the captions.
    virtual void Begin(const QString& caption) { (void)caption; }
    virtual void Caption(const QString& caption) { (void)caption; }
    // Over: the window is usable again and the busy label hidden...
    virtual void End() {}
    // ... or the busy label stays up with this last caption.
    virtual void EndShowing(const QString& caption) { (void)caption; }

    // How far a read or a send is: `done` of `total`.
    virtual void Progress(int done, int total, Counted counted) {
        (void)done;
        (void)total;
        (void)counted;
    }

    // While one item is programmed the button reads "Enviando..." and the window takes no
    // input.
    virtual void Sending(bool on) { (void)on; }

    // One decision of a load (the open window's list, stdout).
    virtual void Line(const QString& line) { (void)line; }
    // The last line has been added.
    virtual void LinesDone() {}

    // Whether the user asked to stop. Reads and sends look between exchanges (never between the
    // two writes of a grouped item) and stop there, leaving what is done done.
    virtual bool Cancelled() { return false; }

    // log.txt and nlog.txt; none when the front end keeps no logs.
    virtual TrafficLog* Log() { return nullptr; }

    // The waits around the writes of the grouped items.
    virtual void Pause(int milliseconds);
};

// How a front end that speaks through an operation shows an Error: its text, after its
// `before` in a plain box; nothing for a cancelled work.
void ShowError(Operation& op, const Error& error);

}  // namespace cfg
