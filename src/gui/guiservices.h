#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <initializer_list>
#include <optional>

#include "core/common/operation.h"
#include "transports/serialports.h"

class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QPainter;
class QTreeWidget;
class QWidget;

namespace cfg {

class ConfigModel;

class TrafficLog;

// The program's title, shown on its message boxes.
inline const QString kProgramTitle = QStringLiteral("CfgTaraScope");

// Ending the program: the windows ask for it ("Salir", "Cancelar", a failed read).
class ProgramControl {
  public:
    virtual ~ProgramControl() = default;
    virtual void EndProgram() = 0;
};

// Message boxes with the program's title, an OK button (Yes/No for questions) and the icon of
// the message's kind.
class BoxMessages : public Operation {
  public:
    void Show(const QString& text, Icon icon) override;
    bool Ask(const QString& text, Icon icon, Default preset) override;
    // Yes, "Solo cambios" (when anything changed) or No, the changes listed in the details.
    std::optional<SendScope> AskSend(const QString& text, const std::vector<ValueChange>& changes,
                                     SendScope scope) override;
};

// "Sistema" or "Balanza 3".
QString OwnerName(int owner);
// A scale as the lists that choose scales show it: "Balanza 3 (Mostrador 2)", the counter a
// technician knows it by.
QString ScaleLabel(const ConfigModel& model, int number);
// "Balanza 3 · 12 Precio: 100 → 120".
QString ChangeLine(const ValueChange& change);
// What the program's own windows share: the look (named `name`, the program's title, white texts
// on the background bands, deleted when closed); and for the list windows a status label
// `LblEstado`, buttons that are never the default, and a row of them at the bottom right.
void SetUpWindow(QDialog& window, const QString& name);
QLabel* NewStatus(QWidget* parent, const QString& text);
QPushButton* NewButton(QWidget* parent, const QString& caption, const QString& name);
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);
// A list of rows under `headers`, its columns as wide as their contents.
QTreeWidget* NewTable(QWidget* parent, const QString& name, const QStringList& headers);
// `table` holding one row per change: owner, item, value before, value after.
void ShowChanges(QTreeWidget* table, const std::vector<ValueChange>& changes, const QString& before,
                 const QString& after);

// The file dialog of the save and open windows. Nothing when the user cancelled.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    virtual std::optional<QString> ChooseSave(QWidget* parent, const QString& folder) = 0;
    virtual std::optional<QString> ChooseOpen(QWidget* parent, const QString& folder) = 0;
};

class DialogFileChooser : public FileChooser {
  public:
    std::optional<QString> ChooseSave(QWidget* parent, const QString& folder) override;
    std::optional<QString> ChooseOpen(QWidget* parent, const QString& folder) override;
};

// What every window of a run shares.
struct DesktopServices {
    Operation& messages;  // message boxes, used on the window thread only
    FileChooser& files;
    ProgramControl& program;
    QString programFolder;
    TrafficLog* log = nullptr;  // log.txt and nlog.txt; none in tests
    // The serial devices present, in list order (tests give pseudo-terminals, which the
    // system's list never has).
    std::function<std::vector<SerialPortEntry>()> ports = SerialPortsPresent;
};

// Passes the typed characters of a text box through a key filter (a character code in, the
// code to type or 0 out). Keys that type no character, and the dialog keys, are not filtered.
// The box's text is selected as it takes the focus, so that typing replaces it.
class KeyFilter : public QObject {
  public:
    using Filter = std::function<int(int code)>;
    KeyFilter(QLineEdit* box, Filter filter);
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* box_;
    Filter filter_;
};

// Shows texts on a label, a paced one no sooner than `ms` after the last shown, and then the
// latest given: a read's captions may come every 2 ms (a scale each on a fast network), and
// each had the window lay out and draw anew for a text no screen shows that briefly. A text
// shown at once, or Stop, leaves nothing waiting.
class PacedLabel : public QObject {
  public:
    static constexpr int kFrameMs = 16;
    explicit PacedLabel(QLabel& label, int ms = kFrameMs);
    void Show(const QString& text, bool paced);
    void Stop();

  private:
    QLabel& label_;
    QTimer timer_;
    QElapsedTimer shown_;
    QString text_;  // the latest given
};

// The background of the main, save and open windows: bands 50 pixels high from the bottom
// up, starting at RGB(12, 81, 179) and darkening evenly to black at the top.
void Pinta_Fondo(QPainter& painter, int width, int height);

// The nine 16 x 16 images of the tree, by key.
QHash<QString, QIcon> LoadTreeImages();

}  // namespace cfg
