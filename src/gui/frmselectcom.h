#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "gui/guiservices.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace cfg {

class ClsConfig;
class FrmConf232;
class FrmConfiguracion;
class FrmMain;

// The start dialog: the access code and the connection type. It holds the run's settings and,
// once the code is accepted, the connection dialog and the main window; hidden, it stays for
// the rest of the run.
class FrmSelectCOM : public QDialog {
    Q_OBJECT
  public:
    static inline const QString kAccessCode = QStringLiteral(" QWZTR");

    explicit FrmSelectCOM(DesktopServices& services, QWidget* parent = nullptr);
    ~FrmSelectCOM() override;

    // Creates data.ini when missing and reads it. False when the program has to end.
    bool Load();
    void Aceptar_Click();
    void reject() override;  // "Cancelar", Esc and closing end the program

    ClsConfig& config() { return *config_; }
    FrmMain* mainWindow() { return main_.get(); }
    FrmConfiguracion* tcpDialog() { return tcp_.get(); }
    FrmConf232* serialDialog() { return serial_.get(); }

  private:
    DesktopServices& services_;
    std::unique_ptr<ClsConfig> config_;
    std::unique_ptr<FrmMain> main_;  // destroyed after the dialogs that use it
    std::unique_ptr<FrmConfiguracion> tcp_;
    std::unique_ptr<FrmConf232> serial_;
    QLineEdit* TxtPass;
    QComboBox* Combo1;
    std::array<QPushButton*, 2> Command1;
};

}  // namespace cfg
