#pragma once

#include <QDialog>
#include <array>

#include "gui/guiservices.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace cfg {

class ClsConfig;
class FrmMain;

// The TCP/IP connection dialog. Whatever Connect answers, a valid address and port lead on to
// the main window (empty when the connection failed) and are saved.
class FrmConfiguracion : public QDialog {
    Q_OBJECT
  public:
    FrmConfiguracion(DesktopServices& services, ClsConfig& config, FrmMain& main,
                     QWidget* parent = nullptr);
    void Aceptar_Click();
    void reject() override;  // "Cancelar", Esc and closing end the program

  private:
    DesktopServices& services_;
    ClsConfig& config_;
    FrmMain& main_;
    QLabel* Label1;
    QLineEdit* Text1;
    QLineEdit* Text2;
    std::array<QPushButton*, 2> Command1;
};

// The RS-232 connection dialog. It leads on only after a successful connection. Its port list
// offers COM1 to COM9, then the serial devices present, looked up again each time it opens; a
// device connected to by its path is kept in the settings and chosen at the next start.
class FrmConf232 : public QDialog {
    Q_OBJECT
  public:
    FrmConf232(DesktopServices& services, ClsConfig& config, FrmMain& main,
               QWidget* parent = nullptr);
    void Aceptar_Click();
    void reject() override;
    // SPEED,PARITY,BITS,PORT of the selected entries, PORT a COM number or a device's path.
    QString ConnectionText() const;
    // The devices present again in the port list, the entry chosen kept when still there.
    void RefreshPorts();

  private:
    DesktopServices& services_;
    ClsConfig& config_;
    FrmMain& main_;
    QLabel* Label1;
    QComboBox* CmbPuerto;
    QComboBox* CmbSpeed;
    QComboBox* CmbParidad;
    QComboBox* CmbBits;
    std::array<QPushButton*, 2> Command1;
};

}  // namespace cfg
