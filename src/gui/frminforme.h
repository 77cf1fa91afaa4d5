#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "core/editing/sendall.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace cfg {

struct DesktopServices;

// The send report: every item a send did not put in place, with what happened and why, to be
// copied or saved as tab-separated lines, or sent again.
class FrmInforme : public QDialog {
    Q_OBJECT
  public:
    // `retry` sends the rows given again; the window closes then.
    using Retry = std::function<void(std::vector<int> rows)>;
    FrmInforme(DesktopServices& services, std::vector<ReportRow> rows, Retry retry,
               QWidget* parent = nullptr);

    void CmdCopiar_Click();
    void CmdGuardar_Click();
    void CmdReintentar_Click();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    DesktopServices& services_;
    const std::vector<ReportRow> rows_;
    Retry retry_;
    QPushButton* CmdReintentar;
    QTreeWidget* Lista;
    QLabel* LblEstado;
    QPushButton* CmdCopiar;
    QPushButton* CmdGuardar;
    QPushButton* CmdCerrar;
};

}  // namespace cfg
