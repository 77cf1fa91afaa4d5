#pragma once

#include <QDialog>
#include <vector>

#include "core/editing/sendall.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace cfg {

struct DesktopServices;

// The send report: every item a send did not put in place, with what happened and why, to be
// copied or saved as tab-separated lines.
class FrmInforme : public QDialog {
    Q_OBJECT
  public:
    FrmInforme(DesktopServices& services, std::vector<ReportRow> rows, QWidget* parent = nullptr);

    void CmdCopiar_Click();
    void CmdGuardar_Click();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    DesktopServices& services_;
    const std::vector<ReportRow> rows_;
    QTreeWidget* Lista;
    QLabel* LblEstado;
    QPushButton* CmdCopiar;
    QPushButton* CmdGuardar;
    QPushButton* CmdCerrar;
};

}  // namespace cfg
