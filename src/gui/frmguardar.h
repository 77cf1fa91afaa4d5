#pragma once

#include <QDialog>
#include <vector>

#include "gui/guiservices.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace cfg {

class ClsConfig;
class ConfigModel;

// The save window: which file, the common data and which scales. Shown without blocking;
// deletes itself when it closes.
class FrmGuardar : public QDialog {
    Q_OBJECT
  public:
    FrmGuardar(DesktopServices& services, ClsConfig& config, const ConfigModel& model,
               QWidget* parent = nullptr);

    void CmdSelect_Click();
    void Guardar_Click();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<int> SelectedScales() const;
    void ShowStatus();

    DesktopServices& services_;
    ClsConfig& config_;
    const ConfigModel& model_;
    QLineEdit* TxtRuta;
    QPushButton* CmdSelect;
    QCheckBox* Check1;
    QListWidget* ListaBal;
    QCheckBox* ChkGeneral;
    QLabel*
        LblEstado;  // what the file will lack of a read in part, and hold that the scales do not
    QPushButton* Command1_1;
    QPushButton* Command1_0;
};

}  // namespace cfg
