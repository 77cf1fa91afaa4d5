#pragma once

#include <QDialog>
#include <array>

#include "gui/guiservices.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace cfg {

class ClsConfig;

// The start dialog: the access code and the connection type, kept in the run's settings. Once
// the code is accepted it hides and says so.
class FrmSelectCOM : public QDialog {
    Q_OBJECT
  public:
    static inline const QString kAccessCode = QStringLiteral(" QWZTR");

    explicit FrmSelectCOM(DesktopServices& services, QWidget* parent = nullptr);

    // Shows the connection type of `config`, and keeps it there as it is chosen.
    void Load(ClsConfig& config);
    void Aceptar_Click();
    void reject() override;  // "Cancelar", Esc and closing end the program

  signals:
    void codeAccepted(int connectionType);

  private:
    DesktopServices& services_;
    ClsConfig* config_ = nullptr;
    QLineEdit* TxtPass;
    QComboBox* Combo1;
    std::array<QPushButton*, 2> Command1;
};

}  // namespace cfg
