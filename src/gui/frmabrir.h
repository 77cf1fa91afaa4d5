#pragma once

#include <QDialog>
#include <QMutex>
#include <QStringList>
#include <functional>

#include "core/files/configload.h"
#include "gui/guiservices.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace cfg {

class ClsConfig;
class Workbench;

// The open window: loads a configuration file into the model read from the network, one log
// line per decision. Nothing is sent. Shown without blocking; deletes itself when it closes.
// The load runs on the main window's worker, and this window is its operation: the lines reach
// the list in batches, the messages go to message boxes.
class FrmAbrir : public QDialog, public Operation {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 9000;
    // Runs a job on the worker's workbench, then `done` on this thread.
    using Runner =
        std::function<void(std::function<void(Workbench&)> job, std::function<void()> done)>;

    FrmAbrir(DesktopServices& services, ClsConfig& config, Runner run, QWidget* parent = nullptr);

    void CmdSelect_Click();
    void Abrir_Click();
    void Leer_Datos_Archivo();
    void Agregar_Linea(const QString& line);

    // Called on the worker.
    void Show(const QString& text, Icon icon) override;
    void Line(const QString& line) override;
    TrafficLog* Log() override { return services_.log; }

    void done(int result) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void AddPending();
    DesktopServices& services_;
    ClsConfig& config_;
    QLineEdit* TxtRuta;
    QPushButton* CmdSelect;
    QListWidget* Lista;
    QPushButton* Command1_1;
    QPushButton* Command1_0;
    void ScrollToLast();

    Runner run_;
    QMutex mutex_;
    QStringList pending_;  // lines the worker gave, not yet in the list
    bool loading_ = false;
};

}  // namespace cfg
