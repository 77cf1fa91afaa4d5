#pragma once

#include <QPointer>
#include <QSet>
#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include "core/workbench/workbench.h"
#include "gui/guiservices.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QShortcut;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace cfg {

class ClsConfig;
class FrmAbrir;
class FrmCopiar;
class FrmGuardar;
class FrmHistorial;
class FrmInforme;
class LinkWorker;
class TrafficLog;
class TreeFilter;
class TreeMirror;

// The main window: the configuration tree, the item editor and the buttons that read, program,
// send, save and open. Exchanges with the scales run on the link's worker thread; while one
// runs its panes are disabled (it keeps painting, and the busy label blinks while reading).
// The workbench and its model live on the worker: the window changes them only through jobs,
// and reads the model only when none runs.
class FrmMain : public QWidget {
    Q_OBJECT
  public:
    FrmMain(DesktopServices& services, ClsConfig& config, QWidget* parent = nullptr);
    ~FrmMain() override;

    // Opens the link on the worker thread; `done` gets Connect's result on this thread, and
    // connectError() what went wrong.
    void Connect(int linkType, const QString& connectionText, std::function<void(int)> done);
    const QString& connectError() const { return connectError_; }
    void Configure(int value);
    // Reads the whole network into the tree.
    void Lee_Datos();
    // "Enviar Todo a Balanzas".
    void Command2_Click();
    // "Modificar Valor".
    void CmbValor_Click();

    // An operation runs, or work is still queued on the worker.
    bool Busy() const;
    // Only while no operation runs.
    const ConfigModel& model() const;
    // Where the history and clone windows run their work.
    LinkWorker& worker() { return *worker_; }

    // A clone of what `choice` names of scale `from` onto `to`, sent as a changes-only send,
    // with progress and report.
    void CloneSend(int from, std::vector<int> to, CloneChoice choice);
    const SendSummary& lastSend() const { return lastSend_; }
    // The tree's item of the node `key`, none for no node; only while no operation runs.
    QTreeWidgetItem* NodeItem(const QString& key) const;

  signals:
    void operationFinished();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // A notice under the tree, beside what the last read could not read.
    void Notice(const QString& text);
    void HideProgress();
    // After a send that left items out: the report of them.
    void ShowReport();
    class WindowOperation;

    // A send on the worker, its question already answered when `answered`.
    using SendJob = std::function<Workbench::SendResult(Workbench&, ScaleLink&, Operation&)>;
    void Send(SendJob job, std::optional<SendScope> answered = std::nullopt);
    // The panes disabled; `cancellable` work shows "Cancelar", which Esc presses too.
    void StartOperation(bool cancellable = false);
    void EndOperation();
    // The editor shows the item of `item` (a node click, or the tree's current node moved by
    // any means); nothing for a node the filter hides.
    void NodeClick(QTreeWidgetItem* item);
    // After work that may have changed the model: the editor refilled when its item or that
    // item's value changed under it (a value typed and refused stays), and the pending marks.
    void Refresh();
    // Marks the items whose value the scales do not hold, and counts them beside the buttons.
    void RefreshPending();
    // Marks the item nodes of `keys`, and only those.
    void Mark(QSet<QString> keys);
    // Whether the technician lets pending changes go (asked only when there are some).
    bool LetPendingGo(const QString& question);
    void Muestra_Guardar();
    void Muestra_Abrir();
    void Muestra_Historial();
    void Muestra_Copiar(int from);                              // the clone window for scale `from`
    int ScaleOf(const QTreeWidgetItem* item) const;             // the scale of a scale node, else 0
    const TreeNode* NodeOf(const QTreeWidgetItem* item) const;  // none for no item
    QString KeyOf(const QTreeWidgetItem* item) const;           // empty for no item
    void TmrEspera_Timer();
    void TxtFiltro_Change(const QString& text);

    DesktopServices& services_;
    ClsConfig& config_;

    QTreeWidget* Arbol;
    QLineEdit* TxtFiltro;
    QLabel* LblFiltro;  // how many nodes the filter found
    QPushButton* Command3;
    QPushButton* Command2;
    QPushButton* CmdHistorial;
    QPushButton* CmdCopiar;
    std::array<QPushButton*, 3> Command1;
    QPushButton* CmbValor;
    QLineEdit* TxtNumero;
    QLineEdit* TxtString;
    QComboBox* CmbEnum;
    QLabel* LblInfo;
    QLabel* LblItem;           // owner, ID and text of the item in the editor
    QLabel* LblValor;          // a read-only item's value
    QLabel* LblCambios;        // how many values the scales do not hold
    QPushButton* CmdCancelar;  // beside the busy label while a read or a send runs
    QShortcut* escape_;
    std::array<QWidget*, 4> panes_;  // the tree, the buttons, the editor, the exit buttons
    std::atomic<bool> cancelled_ = false;
    QLabel* BusyLabel;                         // member 2 of the label array Label1
    std::unique_ptr<PacedLabel> busyCaption_;  // its captions
    QProgressBar* Progreso;
    QLabel* LblProgreso;  // done, left and the time left
    QLabel* LblAviso;     // what the last read could not read; stays until the next read
    QTimer* TmrEspera;

    std::optional<Selection> selection_;  // none while no editable item is in the editor
    QString editorKey_;                   // the node in the editor, and its row's value then
    QString editorValue_;
    QSet<QString> pendingKeys_;  // item nodes marked as not held by the scales
    int pending_ = 0;
    bool refreshQueued_ = false;  // a Refresh waits for the worker's queue to empty
    bool justRead_ = false;       // the model as the read left it: nothing differs from the scales
    bool permiteNegativo_ = false;
    int clickedScale_ = 0;  // the scale node last clicked, for "Copiar a otras balanzas…"
    bool busy_ = false;
    QString savedButtonCaption_;
    QString connectError_;
    SendSummary lastSend_;
    std::unique_ptr<LinkWorker> worker_;
    std::unique_ptr<TreeMirror> mirror_;
    std::unique_ptr<TreeFilter> filter_;
    std::unique_ptr<WindowOperation> readOperation_;
    std::unique_ptr<WindowOperation> sendOperation_;
    QPointer<FrmGuardar> guardar_;
    QPointer<FrmAbrir> abrir_;
    QPointer<FrmHistorial> historial_;
    QPointer<FrmCopiar> copiar_;
    QPointer<FrmInforme> informe_;  // the last send's report
};

}  // namespace cfg
