#include "gui/frmabrir.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QThread>

#include "core/settings/clsconfig.h"
#include "core/workbench/workbench.h"
#include "gui/filewindow.h"

namespace cfg {

FrmAbrir::FrmAbrir(DesktopServices& services, ClsConfig& config, Runner run, QWidget* parent)
    : QDialog(parent), services_(services), config_(config), run_(std::move(run)) {
    const FileWindowParts parts =
        BuildFileWindow(*this, QStringLiteral("FrmAbrir"), QStringLiteral("Abrir"));
    TxtRuta = parts.TxtRuta;
    CmdSelect = parts.CmdSelect;
    Command1_1 = parts.Command1_1;
    Command1_0 = parts.Command1_0;
    Lista = new QListWidget(this);
    Lista->setObjectName(QStringLiteral("Lista"));
    Lista->setUniformItemSizes(true);
    parts.layout->addWidget(Lista, 1, 0, 1, 3);
    AddButtonRow(parts, 2);
    resize(560, 380);
    TxtRuta->setFocus();

    connect(CmdSelect, &QPushButton::clicked, this, &FrmAbrir::CmdSelect_Click);
    connect(Command1_1, &QPushButton::clicked, this, &FrmAbrir::Abrir_Click);
}

void FrmAbrir::CmdSelect_Click() {
    if (const auto chosen = services_.files.ChooseOpen(this, config_.FilePath))
        TakeChosenFile(config_, *TxtRuta, *chosen);
}

void FrmAbrir::Abrir_Click() {
    Leer_Datos_Archivo();
}

void FrmAbrir::Leer_Datos_Archivo() {
    // No second load, and no closing, until it ends.
    loading_ = true;
    Command1_1->setEnabled(false);
    CmdSelect->setEnabled(false);
    Lista->clear();
    auto read = std::make_shared<bool>(false);
    QPointer<FrmAbrir> self(this);
    // The path's checks are the load's own: a refusal is this window's message as ever.
    run_(
        [this, path = TxtRuta->text(), read](Workbench& bench) {
            const Result<bool> loaded = bench.LoadFile(path, *this);
            *read = loaded.ok();
            if (!loaded) ShowError(*this, loaded.error());
        },
        [self, read] {
            if (!self) return;
            self->AddPending();
            if (*read) self->services_.messages.Show(kLoadedNotSent, Icon::Information);
            self->Command1_1->setEnabled(true);
            self->CmdSelect->setEnabled(true);
            self->loading_ = false;
        });
}

void FrmAbrir::Show(const QString& text, Icon icon) {
    // After the lines before it, and the worker waits until it is seen.
    const auto show = [&] {
        AddPending();
        services_.messages.Show(text, icon);
    };
    if (QThread::currentThread() == thread()) {
        show();
    } else {
        QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
    }
}

void FrmAbrir::Line(const QString& line) {
    bool first = false;
    {
        QMutexLocker lock(&mutex_);
        first = pending_.isEmpty();
        pending_.append(line);
    }
    // One batch for every line given until it runs: a file of 25,000 lines is not 25,000
    // repaints.
    if (first) QMetaObject::invokeMethod(this, &FrmAbrir::AddPending, Qt::QueuedConnection);
}

void FrmAbrir::AddPending() {
    QStringList lines;
    {
        QMutexLocker lock(&mutex_);
        lines.swap(pending_);
    }
    if (lines.isEmpty()) return;
    for (const QString& line : lines) Agregar_Linea(line);
    ScrollToLast();
}

void FrmAbrir::Agregar_Linea(const QString& line) {
    Lista->addItem(line);
    if (Lista->count() > kMaxLines) Lista->clear();
}

void FrmAbrir::ScrollToLast() {
    // By row: finding an item's row is a search through the list.
    Lista->scrollTo(Lista->model()->index(Lista->count() - 1, 0), QAbstractItemView::PositionAtTop);
}

void FrmAbrir::done(int result) {
    if (loading_) return;
    QDialog::done(result);
}

void FrmAbrir::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Pinta_Fondo(painter, width(), height());
}

}  // namespace cfg
