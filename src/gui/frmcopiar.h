#pragma once

#include <QDialog>
#include <vector>

#include "core/editing/clone.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace cfg {

class LinkWorker;

// "Copiar a otras balanzas": the known values of one scale's items ticked (by menu or one by
// one) onto the scales picked, the items that a send would then change listed first, and sent as
// a changes-only send by the main window, with its progress and report. The model is read here
// when the window opens, and then only on the worker.
class FrmCopiar : public QDialog {
    Q_OBJECT
  public:
    // `send` makes the clone and sends it.
    using Sender = std::function<void(int from, std::vector<int> to, CloneChoice choice)>;
    FrmCopiar(LinkWorker& worker, Sender send, int from, const std::vector<int>& scales,
              QWidget* parent = nullptr);

    void CmdVista_Click();
    void CmdEnviar_Click();

  signals:
    void idle();  // a preview is shown and the window usable again

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<int> Targets() const;
    CloneChoice Choice() const;

    LinkWorker& worker_;
    Sender send_;
    const int from_;
    QTreeWidget* Menus;     // the source's menus, each with its editable items, to be ticked
    QListWidget* ListaBal;  // the other scales, to be ticked
    QTreeWidget* Cambios;   // owner, item, value read, value to send
    QLabel* LblEstado;
    QPushButton* CmdTodas;
    QPushButton* CmdNinguna;
    QPushButton* CmdVista;
    QPushButton* CmdEnviar;
    QPushButton* CmdCerrar;
};

}  // namespace cfg
