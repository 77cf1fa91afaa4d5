#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "core/history/historystore.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace cfg {

class ConfigModel;
class LinkWorker;
class Operation;

// The history of the connection: its snapshots (of whichever network answered there), what differs
// between two of them or between one and the tree now, and one's values put back into the tree, to
// be sent with "Enviar Todo a Balanzas" (asked first when the snapshot is of another network behind
// the same connection). Every use of the database runs on the main window's worker.
class FrmHistorial : public QDialog {
    Q_OBJECT
  public:
    FrmHistorial(LinkWorker& worker, Operation& messages, QWidget* parent = nullptr);

    void CmdComparar_Click();
    void CmdRestaurar_Click();

  signals:
    void idle();  // a step with the database is over and the window usable again

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<qint64> Selected() const;  // oldest first
    // Loads the snapshots, then runs `then` with them (none when one could not be read).
    void Load(std::vector<qint64> ids,
              std::function<void(std::vector<std::shared_ptr<const ConfigModel>>)> then);
    void Show(const std::vector<ValueChange>& changes, const QString& before, const QString& after,
              const QString& status);
    void Busy(bool on);

    LinkWorker& worker_;
    Operation& messages_;
    QString network_;          // of the tree now
    QTreeWidget* Lista;        // the snapshots
    QTreeWidget* Diferencias;  // owner, item, value, value
    QLabel* LblEstado;
    QPushButton* CmdComparar;
    QPushButton* CmdRestaurar;
    QPushButton* CmdCerrar;
};

}  // namespace cfg
