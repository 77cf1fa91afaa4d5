#include "gui/frmmain.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <QThread>

#include "core/common/operation.h"
#include "core/editing/clone.h"
#include "core/editing/editor.h"
#include "core/files/configsave.h"
#include "core/history/compare.h"
#include "core/history/historystore.h"
#include "core/link/trafficlog.h"
#include "core/network/networkreader.h"
#include "core/settings/clsconfig.h"
#include "gui/frmabrir.h"
#include "gui/frmcopiar.h"
#include "gui/frmguardar.h"
#include "gui/frmhistorial.h"
#include "gui/frminforme.h"
#include "gui/linkworker.h"
#include "gui/treefilter.h"
#include "gui/treemirror.h"
#include "transports/connectiontext.h"

namespace cfg {

namespace {
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
constexpr int kBlinkMs = 400;
constexpr int kNoLimit = 32767;
// Items whose value the scales do not hold: a colour only, the text and image stay.
const QColor kPending(200, 90, 0);

// A caption as the wrapping busy label shows it: "sin respuesta: 0" never broken before its number.
QString KeptWithItsNumbers(QString caption) {
    static const QRegularExpression beforeNumber(QStringLiteral(": (?=\\d)"));
    return caption.replace(beforeNumber, QStringLiteral(":\u00A0"));
}

// A node, and neither it nor one above it hidden by the filter.
bool ShownInTree(const QTreeWidgetItem* item) {
    if (!item) return false;
    for (; item; item = item->parent())
        if (item->isHidden()) return false;
    return true;
}

void SetBackground(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    label->setPalette(palette);
}
}  // namespace

// An operation on the worker thread, told on the window thread: its messages and questions
// in message boxes (the worker waits for them), its progress on the busy label, blinking while
// a read runs, and "Enviando..." on the button while an item is programmed.
class FrmMain::WindowOperation : public Operation {
  public:
    WindowOperation(FrmMain& window, bool blink) : window_(window), blink_(blink) {}

    void Show(const QString& text, Icon icon) override {
        OnWindow([&] { window_.services_.messages.Show(text, icon); });
    }
    bool Ask(const QString& text, Icon icon, Default preset) override {
        bool answer = false;
        OnWindow([&] { answer = window_.services_.messages.Ask(text, icon, preset); });
        return answer;
    }
    std::optional<SendScope> AskSend(const QString& text, const std::vector<ValueChange>& changes,
                                     SendScope scope) override {
        if (answered_) return answered_;
        std::optional<SendScope> answer;
        const std::vector<ValueChange> shown = WithOptionTexts(window_.worker_->Working(), changes);
        OnWindow([&] { answer = window_.services_.messages.AskSend(text, shown, scope); });
        return answer;
    }
    void Progress(int done, int total, Counted counted) override {
        const std::optional<QString> text = pace_.Next(done, total, counted);
        if (!text) return;
        Post([this, done, total, text = *text] {
            window_.Progreso->setRange(0, std::max(total, 1));
            window_.Progreso->setValue(done);
            window_.Progreso->show();
            window_.LblProgreso->setText(text);
            window_.LblProgreso->show();
        });
    }
    void Begin(const QString& caption) override {
        Post([this, caption] {
            window_.busyCaption_->Show(caption, false);
            window_.BusyLabel->show();
            if (blink_) window_.TmrEspera->start(kBlinkMs);
        });
    }
    void Caption(const QString& caption) override {
        Post([this, caption] { window_.busyCaption_->Show(KeptWithItsNumbers(caption), true); });
    }
    void End() override {
        Post([this] {
            window_.BusyLabel->hide();
            window_.busyCaption_->Stop();
            window_.TmrEspera->stop();
            window_.HideProgress();
        });
    }
    void EndShowing(const QString& caption) override {
        Post([this, caption] {
            window_.busyCaption_->Show(KeptWithItsNumbers(caption), false);
            window_.TmrEspera->stop();
            window_.HideProgress();
        });
    }
    void Sending(bool on) override {
        Post([this, on] {
            if (on) {
                window_.savedButtonCaption_ = window_.CmbValor->text();
                window_.CmbValor->setText(QStringLiteral("Enviando..."));
            } else {
                window_.CmbValor->setText(window_.savedButtonCaption_);
            }
        });
    }
    TrafficLog* Log() override { return window_.services_.log; }
    bool Cancelled() override { return window_.cancelled_; }
    // The send question already answered, by the window that started the send.
    void Answer(std::optional<SendScope> scope) { answered_ = scope; }

  private:
    void Post(std::function<void()> change) {
        QMetaObject::invokeMethod(&window_, std::move(change), Qt::AutoConnection);
    }
    // Runs `show` on the window thread and waits for it.
    void OnWindow(const std::function<void()>& show) {
        if (QThread::currentThread() == window_.thread()) {
            show();
        } else {
            QMetaObject::invokeMethod(&window_, show, Qt::BlockingQueuedConnection);
        }
    }

    FrmMain& window_;
    const bool blink_;
    ProgressPace pace_;  // on the worker
    std::optional<SendScope> answered_;
};

FrmMain::FrmMain(DesktopServices& services, ClsConfig& config, QWidget* parent)
    : QWidget(parent), services_(services), config_(config) {
    setWindowTitle(QStringLiteral("Configuración Sistemas Tarascope 3.3.6"));
    setObjectName(QStringLiteral("FrmMain"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);

    Arbol = new QTreeWidget(this);
    Arbol->setObjectName(QStringLiteral("Arbol"));
    Arbol->setHeaderHidden(true);
    Arbol->setUniformRowHeights(true);
    Arbol->setIconSize(QSize(16, 16));
    Arbol->setMinimumSize(420, 420);
    TxtFiltro = new QLineEdit(this);
    TxtFiltro->setObjectName(QStringLiteral("TxtFiltro"));
    TxtFiltro->setPlaceholderText(QStringLiteral("Buscar en el árbol"));
    TxtFiltro->setClearButtonEnabled(true);
    LblFiltro = new QLabel(this);
    LblFiltro->setObjectName(QStringLiteral("LblFiltro"));

    const auto button = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        return b;
    };
    Command3 = button(QStringLiteral("Recargar Datos"), QStringLiteral("Command3"));
    Command2 = button(QStringLiteral("Enviar Todo a Balanzas"), QStringLiteral("Command2"));
    CmdHistorial = button(QStringLiteral("Historial"), QStringLiteral("CmdHistorial"));
    CmdCopiar = button(QStringLiteral("Copiar a otras balanzas…"), QStringLiteral("CmdCopiar"));
    CmdCopiar->setEnabled(false);
    Command1[0] = button(QStringLiteral("Salir"), QStringLiteral("Command1_0"));
    Command1[1] = button(QStringLiteral("Guardar"), QStringLiteral("Command1_1"));
    Command1[2] = button(QStringLiteral("Abrir"), QStringLiteral("Command1_2"));
    CmbValor = button(QStringLiteral("Modificar Valor"), QStringLiteral("CmbValor"));

    TxtNumero = new QLineEdit(this);
    TxtNumero->setObjectName(QStringLiteral("TxtNumero"));
    new KeyFilter(TxtNumero,
                  [this](int code) { return FiltraTeclaNumero(code, permiteNegativo_); });
    TxtString = new QLineEdit(this);
    TxtString->setObjectName(QStringLiteral("TxtString"));
    CmbEnum = new QComboBox(this);
    CmbEnum->setObjectName(QStringLiteral("CmbEnum"));
    LblInfo = new QLabel(this);
    LblInfo->setObjectName(QStringLiteral("LblInfo"));
    LblItem = new QLabel(this);
    LblItem->setObjectName(QStringLiteral("LblItem"));
    LblItem->setWordWrap(true);
    LblValor = new QLabel(this);
    LblValor->setObjectName(QStringLiteral("LblValor"));
    LblValor->setWordWrap(true);
    LblValor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    LblCambios = new QLabel(this);
    LblCambios->setObjectName(QStringLiteral("LblCambios"));
    LblCambios->hide();

    BusyLabel = new QLabel(QStringLiteral("Red"), this);
    BusyLabel->setObjectName(QStringLiteral("Label1_2"));
    BusyLabel->setAutoFillBackground(true);
    BusyLabel->setAlignment(Qt::AlignCenter);
    BusyLabel->setMinimumHeight(28);
    BusyLabel->setWordWrap(true);
    {
        QPalette busy = BusyLabel->palette();
        busy.setColor(QPalette::WindowText, Qt::white);
        BusyLabel->setPalette(busy);
        SetBackground(BusyLabel, kRed);
        QFont font = BusyLabel->font();
        font.setBold(true);
        BusyLabel->setFont(font);
    }
    BusyLabel->hide();
    busyCaption_ = std::make_unique<PacedLabel>(*BusyLabel);
    Progreso = new QProgressBar(this);
    Progreso->setObjectName(QStringLiteral("Progreso"));
    Progreso->setTextVisible(false);
    Progreso->setMaximumHeight(12);
    LblProgreso = new QLabel(this);
    LblProgreso->setObjectName(QStringLiteral("LblProgreso"));
    LblProgreso->setWordWrap(true);
    HideProgress();
    LblAviso = new QLabel(this);
    LblAviso->setObjectName(QStringLiteral("LblAviso"));
    LblAviso->setWordWrap(true);
    LblAviso->setAutoFillBackground(true);
    LblAviso->setMargin(4);
    {
        QPalette notice = LblAviso->palette();
        notice.setColor(QPalette::Window, QColor(255, 236, 140));
        notice.setColor(QPalette::WindowText, Qt::black);
        LblAviso->setPalette(notice);
    }
    LblAviso->hide();
    TmrEspera = new QTimer(this);
    TmrEspera->setObjectName(QStringLiteral("TmrEspera"));
    TmrEspera->setInterval(kBlinkMs);

    auto* Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::HLine);
    Shape1->setStyleSheet(QStringLiteral("color: rgb(180, 200, 255);"));

    CmdCancelar = button(QStringLiteral("Cancelar"), QStringLiteral("CmdCancelar"));
    CmdCancelar->hide();

    // Layout: the tree on the left; buttons, busy label and editor on the right. While work
    // runs, the panes are disabled; the busy label, its Cancelar and the progress are not.
    const auto pane = [this](QBoxLayout* box, std::initializer_list<QWidget*> widgets) {
        box->setContentsMargins(0, 0, 0, 0);
        for (QWidget* w : widgets) box->addWidget(w);
        auto* holder = new QWidget(this);
        holder->setLayout(box);
        return holder;
    };
    auto* filterBox = new QHBoxLayout;
    filterBox->addWidget(TxtFiltro, 1);
    filterBox->addWidget(LblFiltro);
    auto* treeBox = new QVBoxLayout;
    treeBox->addLayout(filterBox);
    QWidget* treePane = pane(treeBox, {LblAviso, Arbol});
    treeBox->setStretchFactor(Arbol, 1);
    QWidget* buttonsPane =
        pane(new QVBoxLayout, {Command3, Command2, LblCambios, CmdHistorial, CmdCopiar});
    QWidget* editorPane = pane(new QVBoxLayout, {Shape1, LblItem, LblValor, CmbEnum, TxtNumero,
                                                 TxtString, LblInfo, CmbValor});
    QWidget* exitPane = pane(new QVBoxLayout, {Command1[0], Command1[1], Command1[2]});
    panes_ = {treePane, buttonsPane, editorPane, exitPane};
    auto* side = new QVBoxLayout;
    side->addWidget(buttonsPane);
    side->addSpacing(8);
    for (QWidget* w : {static_cast<QWidget*>(BusyLabel), static_cast<QWidget*>(CmdCancelar),
                       static_cast<QWidget*>(Progreso), static_cast<QWidget*>(LblProgreso)})
        side->addWidget(w);
    side->addSpacing(8);
    side->addWidget(editorPane);
    side->addStretch(1);
    side->addWidget(exitPane);
    auto* sideBox = new QWidget(this);
    sideBox->setLayout(side);
    sideBox->setFixedWidth(240);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(treePane, 1);
    layout->addWidget(sideBox);

    // Form_Load: the editors start hidden.
    for (QWidget* w : {static_cast<QWidget*>(LblInfo), static_cast<QWidget*>(TxtNumero),
                       static_cast<QWidget*>(TxtString), static_cast<QWidget*>(CmbEnum),
                       static_cast<QWidget*>(CmbValor), static_cast<QWidget*>(LblItem),
                       static_cast<QWidget*>(LblValor)})
        w->hide();
    resize(760, 560);

    worker_ = std::make_unique<LinkWorker>(this, services_.programFolder.isEmpty()
                                                     ? QString()
                                                     : HistoryFileIn(services_.programFolder));
    mirror_ = std::make_unique<TreeMirror>(worker_->Shown(), *Arbol, LoadTreeImages());
    worker_->Run([mirror = mirror_.get()](Workbench& bench, ScaleLink&) {
        bench.model().AddObserver(mirror);
    });
    filter_ = std::make_unique<TreeFilter>(*Arbol);
    readOperation_ = std::make_unique<WindowOperation>(*this, true);
    sendOperation_ = std::make_unique<WindowOperation>(*this, false);

    connect(TmrEspera, &QTimer::timeout, this, &FrmMain::TmrEspera_Timer);
    connect(TxtFiltro, &QLineEdit::textChanged, this, &FrmMain::TxtFiltro_Change);
    TxtFiltro->installEventFilter(this);
    // The editor follows the node the technician sees highlighted, whatever moved it there.
    connect(Arbol, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { NodeClick(item); });
    connect(Arbol, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { NodeClick(item); });
    connect(Command3, &QPushButton::clicked, this, [this] {
        if (LetPendingGo(QStringLiteral("Hay cambios sin enviar a las balanzas (%1), que se "
                                        "perderán al recargar. ¿Recargar de todos modos?")))
            Lee_Datos();
    });
    connect(Command2, &QPushButton::clicked, this, &FrmMain::Command2_Click);
    connect(CmbValor, &QPushButton::clicked, this, &FrmMain::CmbValor_Click);
    connect(Command1[0], &QPushButton::clicked, this, &QWidget::close);
    connect(Command1[1], &QPushButton::clicked, this, &FrmMain::Muestra_Guardar);
    connect(Command1[2], &QPushButton::clicked, this, &FrmMain::Muestra_Abrir);
    connect(CmdHistorial, &QPushButton::clicked, this, &FrmMain::Muestra_Historial);
    connect(CmdCopiar, &QPushButton::clicked, this, [this] { Muestra_Copiar(clickedScale_); });
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, CmdCancelar, &QPushButton::click);
    connect(CmdCancelar, &QPushButton::clicked, this, [this] {
        // Seen by the worker between exchanges.
        cancelled_ = true;
        CmdCancelar->setEnabled(false);
    });
    // The keyboard: Enter in a value box programs; the window's keys press the buttons, which
    // do nothing while disabled.
    connect(TxtNumero, &QLineEdit::returnPressed, CmbValor, &QPushButton::click);
    connect(TxtString, &QLineEdit::returnPressed, CmbValor, &QPushButton::click);
    CmbEnum->installEventFilter(this);
    const std::pair<QKeySequence, QPushButton*> keys[] = {
        {QKeySequence(Qt::Key_F5), Command3},
        {QKeySequence(Qt::CTRL | Qt::Key_S), Command1[1]},
        {QKeySequence(Qt::CTRL | Qt::Key_O), Command1[2]},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), Command1[0]},
    };
    for (const auto& [key, target] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, target, &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this), &QShortcut::activated, this,
            [this] {
                TxtFiltro->setFocus(Qt::ShortcutFocusReason);
                TxtFiltro->selectAll();
            });
    Arbol->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Arbol, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int scale = ScaleOf(Arbol->itemAt(at));
        if (Busy() || scale <= 0) return;
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(CmdCopiar->text(), this, [this, scale] { Muestra_Copiar(scale); });
        menu->popup(Arbol->viewport()->mapToGlobal(at));
    });
}

FrmMain::~FrmMain() {
    delete guardar_;
    delete abrir_;
    delete historial_;
    delete copiar_;
    delete informe_;
    // The worker goes first, once the jobs queued are over: they may still be writing the
    // model the mirror watches.
    worker_->Run([mirror = mirror_.get()](Workbench& bench, ScaleLink&) {
        bench.model().RemoveObserver(mirror);
    });
    worker_.reset();
}

bool FrmMain::Busy() const {
    return busy_ || !worker_->Idle();
}

const ConfigModel& FrmMain::model() const {
    return worker_->Shown();
}

void FrmMain::HideProgress() {
    Progreso->hide();
    LblProgreso->hide();
}

void FrmMain::Notice(const QString& text) {
    if (text.isEmpty()) return;
    LblAviso->setText(LblAviso->isHidden() ? text : LblAviso->text() + u'\n' + text);
    LblAviso->show();
}

QTreeWidgetItem* FrmMain::NodeItem(const QString& key) const {
    mirror_->Flush();
    return mirror_->Item(model().FindNode(key));
}

void FrmMain::StartOperation(bool cancellable) {
    busy_ = true;
    for (QWidget* pane : panes_) pane->setEnabled(false);
    cancelled_ = false;
    CmdCancelar->setEnabled(true);
    CmdCancelar->setVisible(cancellable);
    escape_->setEnabled(cancellable);
}

void FrmMain::EndOperation() {
    busy_ = false;
    for (QWidget* pane : panes_) pane->setEnabled(true);
    CmdCancelar->hide();
    escape_->setEnabled(false);
    Refresh();
    emit operationFinished();
}

void FrmMain::Refresh() {
    // Work still queued on the worker (a send a closing window started) may be changing the
    // model: refreshed once it is over.
    if (!worker_->Idle()) {
        if (!std::exchange(refreshQueued_, true))
            worker_->Run([](Workbench&, ScaleLink&) {},
                         [this] {
                             refreshQueued_ = false;
                             Refresh();
                         });
        return;
    }
    mirror_->Flush();
    QTreeWidgetItem* current = Arbol->currentItem();
    const int row = model().FindItemByKey(editorKey_);
    const bool asShown = !editorKey_.isEmpty() && KeyOf(current) == editorKey_ &&
                         ShownInTree(current) && row >= 0 &&
                         model().Items()[row].value == editorValue_;
    if (!asShown) NodeClick(current);
    RefreshPending();
}

void FrmMain::RefreshPending() {
    QSet<QString> now;
    int count = 0;
    // Right after a read every value is as the scales hold it: nothing to look for.
    if (!std::exchange(justRead_, false)) {
        for (const ItemRow& row : model().Items()) {
            if (!Changed(row)) continue;
            ++count;
            if (!row.key.isEmpty()) now.insert(row.key);
        }
    }
    Mark(std::move(now));
    pending_ = count;
    LblCambios->setText(count == 1 ? QStringLiteral("1 cambio sin enviar")
                                   : QStringLiteral("%1 cambios sin enviar").arg(count));
    LblCambios->setVisible(count > 0);
}

void FrmMain::Mark(QSet<QString> keys) {
    mirror_->Flush();
    for (const QString& key : std::as_const(pendingKeys_))
        if (QTreeWidgetItem* item = mirror_->Item(model().FindNode(key));
            item && !keys.contains(key))
            item->setData(0, Qt::ForegroundRole, QVariant());
    for (const QString& key : std::as_const(keys))
        if (QTreeWidgetItem* item = mirror_->Item(model().FindNode(key));
            item && !pendingKeys_.contains(key))
            item->setForeground(0, kPending);
    pendingKeys_ = std::move(keys);
}

bool FrmMain::LetPendingGo(const QString& question) {
    RefreshPending();
    return pending_ == 0 ||
           services_.messages.Ask(question.arg(pending_), Icon::Exclamation, Default::No);
}

void FrmMain::Connect(int linkType, const QString& connectionText, std::function<void(int)> done) {
    StartOperation();
    worker_->Call(
        [=](Workbench& bench, ScaleLink& link) {
            bench.SetConnection(NormalConnection(linkType, connectionText));
            const int result = link.Connect(0, linkType, connectionText);
            return std::pair(result, link.LastError());
        },
        [this, done = std::move(done)](std::pair<int, QString> connected) {
            connectError_ = connected.second;
            EndOperation();
            if (done) done(connected.first);
        });
}

void FrmMain::Configure(int value) {
    worker_->Run([value](Workbench&, ScaleLink& link) { link.Configure(value); });
}

void FrmMain::TxtFiltro_Change(const QString& text) {
    mirror_->Flush();
    const int matches = filter_->Apply(text, mirror_->Version());
    LblFiltro->setText(matches < 0 ? QString() : QStringLiteral("%1 coincidencias").arg(matches));
}

void FrmMain::Lee_Datos() {
    // The tree is read anew: the filter starts from it.
    TxtFiltro->clear();
    filter_->Forget();
    StartOperation(true);
    // The nodes are made anew, on the view's items unmarked. The view takes them in one go at
    // the end.
    Mark({});
    mirror_->Hold();
    LblAviso->hide();
    worker_->Call(
        [this](Workbench& bench, ScaleLink& link) { return bench.Read(link, *readOperation_); },
        [this](Workbench::ReadResult read) {
            mirror_->Release();
            justRead_ = true;
            // Without the network or the system's structure there is nothing to work on: the
            // technician may try again over the same connection (a scale restarting, a cable
            // put back) rather than start the program anew.
            if (!read.read) {
                EndOperation();
                ShowError(services_.messages, read.read.error());
                if (services_.messages.Ask(QStringLiteral("¿Reintentar la lectura?"),
                                           Icon::Question, Default::Yes))
                    Lee_Datos();
                else
                    services_.program.EndProgram();
                return;
            }
            // A read that left owners unread is said without stopping the technician, who
            // can go on with what was read.
            const std::vector<ReadFailure>& failures = model().ReadFailures();
            if (!failures.empty()) {
                const QString text =
                    QStringLiteral("Lectura incompleta, sin leer: ") + ReadFailureList(failures);
                LblAviso->setText(text);
                LblAviso->show();
                if (services_.log) {
                    services_.log->Escribe_NLog(text);
                    services_.log->Flush();
                }
            }
            Notice(read.notice);
            EndOperation();
        });
}

void FrmMain::Command2_Click() {
    Send([](Workbench& bench, ScaleLink& link, Operation& op) {
        return bench.Send(link, op, SendScope::All);
    });
}

void FrmMain::CloneSend(int from, std::vector<int> to, CloneChoice choice) {
    // The preview was the question: only what changed goes.
    Send([from, to = std::move(to), choice = std::move(choice)](
             Workbench& bench, ScaleLink& link,
             Operation& op) { return bench.CloneAndSend(link, op, from, to, choice); },
         SendScope::Changed);
}

void FrmMain::Send(SendJob job, std::optional<SendScope> answered) {
    StartOperation(true);
    worker_->Call(
        [this, job = std::move(job), answered](Workbench& bench, ScaleLink& link) {
            sendOperation_->Answer(answered);
            Workbench::SendResult sent = job(bench, link, *sendOperation_);
            sendOperation_->Answer(std::nullopt);
            return sent;
        },
        [this](Workbench::SendResult sent) {
            lastSend_ = std::move(sent.summary);
            Notice(sent.notice);
            EndOperation();
            ShowReport();
        });
}

void FrmMain::ShowReport() {
    if (!lastSend_.confirmed || lastSend_.Clean()) return;
    delete informe_;
    informe_ =
        new FrmInforme(services_, SendReport(model(), lastSend_), [this](std::vector<int> rows) {
            Send(
                [rows = std::move(rows)](Workbench& bench, ScaleLink& link, Operation& op) {
                    return bench.SendAgain(link, op, rows);
                },
                SendScope::Changed);
        });
    informe_->show();
}

void FrmMain::CmbValor_Click() {
    if (!selection_ || Busy()) return;
    auto input = std::make_shared<EditorInput>();
    input->enumIndex = CmbEnum->currentIndex();
    input->number = TxtNumero->text();
    input->numberShown = !TxtNumero->isHidden();
    input->text = TxtString->text();
    const Selection selection = *selection_;
    StartOperation();
    worker_->Call(
        [this, input, selection](Workbench& bench, ScaleLink& link) {
            return bench.Program(link, *sendOperation_, selection, *input).notice;
        },
        [this, input, selection](QString notice) {
            if (selection.type == kDate) TxtString->setText(input->text);
            Notice(notice);
            EndOperation();
        });
}

const TreeNode* FrmMain::NodeOf(const QTreeWidgetItem* item) const {
    const int node = TreeMirror::NodeOf(item);
    return node >= 0 && static_cast<std::size_t>(node) < model().Nodes().size()
               ? &model().Node(node)
               : nullptr;
}

QString FrmMain::KeyOf(const QTreeWidgetItem* item) const {
    const TreeNode* node = NodeOf(item);
    return node ? node->key : QString();
}

int FrmMain::ScaleOf(const QTreeWidgetItem* item) const {
    const TreeNode* node = NodeOf(item);
    return node && node->kind == NodeKind::Scale ? node->owner : 0;
}

void FrmMain::NodeClick(QTreeWidgetItem* item) {
    if (Busy()) return;
    clickedScale_ = ScaleOf(item);
    CmdCopiar->setEnabled(clickedScale_ > 0);
    CmbValor->hide();
    CmbValor->setEnabled(false);
    CmbEnum->hide();
    TxtString->hide();
    TxtNumero->hide();
    LblInfo->hide();
    LblItem->hide();
    LblValor->hide();
    // Nothing can be programmed but the item on screen.
    selection_.reset();
    editorKey_.clear();
    editorValue_.clear();
    if (!item || !ShownInTree(item)) return;

    const QString key = KeyOf(item);
    const EditorState state = EditorFor(model(), key);
    if (state.row < 0) return;
    const ItemRow& row = model().Items()[state.row];
    editorKey_ = key;
    editorValue_ = row.value;
    LblItem->setText(
        QStringLiteral("%1 · %2 %3").arg(OwnerName(row.owner), QString::number(row.id), row.text));
    LblItem->show();
    if (state.readOnly) {
        LblValor->setText(state.text);
        LblValor->show();
        LblInfo->setText(QStringLiteral("Solo lectura"));
        LblInfo->show();
        return;
    }
    if (!state.buttonShown) return;
    CmbValor->show();
    CmbValor->setEnabled(state.buttonEnabled);
    selection_ = state.selection;
    if (state.hintShown) {
        LblInfo->setText(state.hint);
        LblInfo->show();
    }
    switch (state.editor) {
        case EditorKind::Enumeration:
            CmbEnum->clear();
            CmbEnum->addItems(state.options);
            CmbEnum->setCurrentIndex(state.selectedOption);
            CmbEnum->setEnabled(true);
            CmbEnum->show();
            break;
        case EditorKind::Number:
            permiteNegativo_ = state.permiteNegativo;
            TxtNumero->setText(state.text);
            TxtNumero->show();
            break;
        case EditorKind::Text:
        case EditorKind::Date:
            TxtString->setMaxLength(state.maxLength > 0 ? state.maxLength : kNoLimit);
            TxtString->setText(state.text);
            TxtString->show();
            break;
        case EditorKind::None:
            break;
    }
}

void FrmMain::TmrEspera_Timer() {
    SetBackground(BusyLabel, BusyLabel->palette().color(QPalette::Window) != kRed ? kRed : kBlue);
}

void FrmMain::Muestra_Guardar() {
    setEnabled(false);
    guardar_ = new FrmGuardar(services_, config_, model());
    connect(guardar_, &QObject::destroyed, this, [this] { setEnabled(true); });
    guardar_->show();
}

void FrmMain::Muestra_Abrir() {
    setEnabled(false);
    // The load writes the model on the worker; meanwhile the program is not closed.
    abrir_ = new FrmAbrir(
        services_, config_,
        [this](std::function<void(Workbench&)> job, std::function<void()> done) {
            busy_ = true;
            worker_->Run([job = std::move(job)](Workbench& bench, ScaleLink&) { job(bench); },
                         [this, done = std::move(done)] {
                             busy_ = false;
                             Refresh();
                             done();
                         });
        });
    connect(abrir_, &QObject::destroyed, this, [this] { setEnabled(true); });
    abrir_->show();
}

void FrmMain::Muestra_Copiar(int from) {
    if (from <= 0) return;
    setEnabled(false);
    copiar_ = new FrmCopiar(
        *worker_,
        [this](int source, std::vector<int> to, CloneChoice choice) {
            CloneSend(source, std::move(to), std::move(choice));
        },
        from, ScalesInTree(model()));
    connect(copiar_, &QObject::destroyed, this, [this] {
        setEnabled(true);
        Refresh();
    });
    copiar_->show();
}

void FrmMain::Muestra_Historial() {
    setEnabled(false);
    historial_ = new FrmHistorial(*worker_, services_.messages);
    connect(historial_, &QObject::destroyed, this, [this] {
        setEnabled(true);
        Refresh();
    });
    historial_->show();
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
    // Before the first keystroke: the texts made ready to be searched.
    if (watched == TxtFiltro && event->type() == QEvent::FocusIn) {
        mirror_->Flush();
        filter_->Prepare(mirror_->Version());
    }
    // Enter on the option list programs the option chosen.
    if (watched == CmbEnum && event->type() == QEvent::KeyPress &&
        (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
         static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter)) {
        CmbValor->click();
        return true;
    }
    // Esc in the filter box clears it: the whole tree again.
    if (watched == TxtFiltro && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        TxtFiltro->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMain::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Pinta_Fondo(painter, width(), height());
}

void FrmMain::closeEvent(QCloseEvent* event) {
    // An exchange under way ends first; the worker must not outlive what it writes to.
    if (Busy() || !LetPendingGo(QStringLiteral("Hay cambios sin enviar a las balanzas (%1). ¿Salir "
                                               "de todos modos?"))) {
        event->ignore();
        return;
    }
    event->accept();
    services_.program.EndProgram();
}

}  // namespace cfg
