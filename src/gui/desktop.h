#pragma once

#include <QObject>
#include <memory>

#include "gui/guiservices.h"

class QApplication;
class QCoreApplication;
class QTranslator;

namespace cfg {

class ClsConfig;
class FrmConf232;
class FrmConfiguracion;
class FrmMain;
class FrmSelectCOM;
class SingleInstance;

// The program's windows, owned in one place for the whole run: the start dialog, then the
// connection dialog of the type chosen and the main window, and the run's settings.
class Desktop : public QObject {
  public:
    explicit Desktop(DesktopServices& services);
    ~Desktop() override;

    // Creates data.ini when missing, reads it and shows the start dialog. False when the
    // program has to end.
    bool Start();

    FrmSelectCOM* startDialog() { return start_.get(); }
    ClsConfig& config() { return *config_; }
    FrmMain* mainWindow() { return main_.get(); }
    FrmConfiguracion* tcpDialog() { return tcp_.get(); }
    FrmConf232* serialDialog() { return serial_.get(); }

    // The window the technician works in comes forward (a second start asked for it).
    void Raise();

  private:
    // The access code was accepted, for connection type `type` (0 TCP/IP, 1 RS-232).
    void Accepted(int type);

    DesktopServices& services_;
    std::unique_ptr<ClsConfig> config_;
    std::unique_ptr<FrmMain> main_;  // destroyed after the dialogs that use it
    std::unique_ptr<FrmSelectCOM> start_;
    std::unique_ptr<FrmConfiguracion> tcp_;
    std::unique_ptr<FrmConf232> serial_;
};

// Qt's own texts (message box buttons, "Show Details...", the file dialog) in Spanish, whatever
// the system's language. Only a translator: the default locale stays, so that numbers keep
// their decimal point. The translator belongs to `app`; none when Qt's Spanish texts are not
// installed.
QTranslator* LoadQtSpanish(QCoreApplication& app);

// The interactive program, from the start dialog on: message boxes, file dialogs, the settings
// and logs of the program folder. Returns the exit status.
// `instance` is told of the starts that found it running.
int RunDesktop(QApplication& app, SingleInstance& instance);

}  // namespace cfg
