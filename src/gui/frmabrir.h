#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include "core/files/configload.h"
#include "gui/guiservices.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace cfg {

class ClsConfig;
class ConfigModel;

// The open window: loads a configuration file into the model read from the network, one log
// line per decision. Nothing is sent. Shown without blocking; deletes itself when it closes.
// It is the operation of its load: the lines go to its list, the messages to message boxes.
class FrmAbrir : public QDialog, public Operation {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 9000;
    static constexpr int kYieldMs = 40;

    FrmAbrir(DesktopServices& services, ClsConfig& config, ConfigModel& model,
             QWidget* parent = nullptr);

    void CmdSelect_Click();
    void Abrir_Click();
    void Leer_Datos_Archivo();
    void Agregar_Linea(const QString& line);

    void Show(const QString& text, Icon icon) override { services_.messages.Show(text, icon); }
    void Line(const QString& line) override { Agregar_Linea(line); }
    void LinesDone() override;
    TrafficLog* Log() override { return services_.log; }

    void done(int result) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    DesktopServices& services_;
    ClsConfig& config_;
    ConfigModel& model_;
    QLineEdit* TxtRuta;
    QPushButton* CmdSelect;
    QListWidget* Lista;
    QPushButton* Command1_1;
    QPushButton* Command1_0;
    void ScrollToLast();

    int linesSinceYield_ = 0;
    QElapsedTimer sinceYield_;
    bool loading_ = false;
};

}  // namespace cfg
