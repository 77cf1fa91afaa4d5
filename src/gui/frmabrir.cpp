#include "gui/frmabrir.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include "core/settings/clsconfig.h"
#include "gui/filewindow.h"

namespace cfg {

FrmAbrir::FrmAbrir(DesktopServices& services, ClsConfig& config, ConfigModel& model,
                   QWidget* parent)
    : QDialog(parent), services_(services), config_(config), model_(model) {
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
    if (const OpenPath answer = CheckOpenPath(TxtRuta->text()); answer != OpenPath::Ok) {
        services_.messages.Show(OpenPathMessage(answer), Icon::Critical);
        return;
    }
    Leer_Datos_Archivo();
}

void FrmAbrir::Leer_Datos_Archivo() {
    // The log lets window events through: no second load, and no closing, until it ends.
    loading_ = true;
    Command1_1->setEnabled(false);
    CmdSelect->setEnabled(false);
    Lista->clear();
    linesSinceYield_ = 0;
    if (cfg::Leer_Datos_Archivo(model_, TxtRuta->text(), *this))
        services_.messages.Show(kLoadedNotSent, Icon::Information);
    Command1_1->setEnabled(true);
    CmdSelect->setEnabled(true);
    loading_ = false;
}

void FrmAbrir::Agregar_Linea(const QString& line) {
    ++linesSinceYield_;
    Lista->addItem(line);
    if (Lista->count() > kMaxLines) Lista->clear();
    // Window events get through every second line, but no more than 25 times a second:
    // repainting the list for every pair of lines made a file of 25,000 lines take 15 s. The
    // last line is brought to the top whenever the list can be seen.
    if (linesSinceYield_ >= 2 && (!sinceYield_.isValid() || sinceYield_.elapsed() >= kYieldMs)) {
        ScrollToLast();
        QCoreApplication::processEvents();
        linesSinceYield_ = 0;
        sinceYield_.start();
    }
}

void FrmAbrir::LinesDone() {
    ScrollToLast();
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
