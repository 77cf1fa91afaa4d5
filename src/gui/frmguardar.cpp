#include "gui/frmguardar.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include "core/files/configsave.h"
#include "core/model/configmodel.h"
#include "core/network/networkreader.h"
#include "core/settings/clsconfig.h"
#include "gui/filewindow.h"

namespace cfg {

FrmGuardar::FrmGuardar(DesktopServices& services, ClsConfig& config, const ConfigModel& model,
                       QWidget* parent)
    : QDialog(parent), services_(services), config_(config), model_(model) {
    const FileWindowParts parts =
        BuildFileWindow(*this, QStringLiteral("FrmGuardar"), QStringLiteral("Guardar"));
    TxtRuta = parts.TxtRuta;
    CmdSelect = parts.CmdSelect;
    Command1_1 = parts.Command1_1;
    Command1_0 = parts.Command1_0;
    Check1 = new QCheckBox(QStringLiteral("Guardar datos de balanzas:"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    ListaBal = new QListWidget(this);
    ListaBal->setObjectName(QStringLiteral("ListaBal"));
    ListaBal->setSelectionMode(QAbstractItemView::MultiSelection);
    ChkGeneral = new QCheckBox(QStringLiteral("Guardar datos comunes"), this);
    ChkGeneral->setObjectName(QStringLiteral("ChkGeneral"));
    parts.layout->addWidget(ChkGeneral, 1, 0, 1, 3);
    parts.layout->addWidget(Check1, 2, 0, 1, 3);
    parts.layout->addWidget(ListaBal, 3, 0, 1, 3);
    LblEstado = new QLabel(this);
    LblEstado->setObjectName(QStringLiteral("LblEstado"));
    LblEstado->setWordWrap(true);
    {
        QPalette warning = LblEstado->palette();
        warning.setColor(QPalette::WindowText, QColor(255, 236, 140));
        LblEstado->setPalette(warning);
    }
    parts.layout->addWidget(LblEstado, 4, 0, 1, 3);
    AddButtonRow(parts, 5);
    resize(460, 340);

    TxtRuta->setText(config_.FilePath);
    for (int number : ScalesInTree(model_)) {
        auto* entry = new QListWidgetItem(ScaleLabel(model_, number), ListaBal);
        entry->setData(Qt::UserRole, number);
    }
    ListaBal->selectAll();
    Check1->setChecked(true);
    ChkGeneral->setChecked(true);
    TxtRuta->setFocus();

    connect(Check1, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) ListaBal->clearSelection();
    });
    connect(ListaBal, &QListWidget::itemSelectionChanged, this, &FrmGuardar::ShowStatus);
    connect(ChkGeneral, &QCheckBox::toggled, this, &FrmGuardar::ShowStatus);
    ShowStatus();
    connect(CmdSelect, &QPushButton::clicked, this, &FrmGuardar::CmdSelect_Click);
    connect(Command1_1, &QPushButton::clicked, this, &FrmGuardar::Guardar_Click);
}

void FrmGuardar::CmdSelect_Click() {
    if (const auto chosen = services_.files.ChooseSave(this, config_.FilePath))
        TakeChosenFile(config_, *TxtRuta, *chosen);
}

void FrmGuardar::Guardar_Click() {
    const QString path = TxtRuta->text();
    const SavePath answer = CheckSavePath(path);
    if (const QString refusal = SavePathMessage(answer); !refusal.isEmpty()) {
        services_.messages.Show(refusal, Icon::Critical);
        return;
    }
    const std::vector<int> scales = SelectedScales();
    if (answer == SavePath::Exists) {
        // A file that would lack what the read could not read is not put over a whole one
        // by a hurried Enter.
        const std::vector<ReadFailure> missing =
            MissingFromFile(model_, ChkGeneral->isChecked(), scales);
        const bool yes =
            missing.empty()
                ? services_.messages.Ask(QStringLiteral("el fichero ya existe, ¿Sobreescribir?"),
                                         Icon::Exclamation, Default::Yes)
                : services_.messages.Ask(
                      QStringLiteral("El fichero ya existe y la lectura fue incompleta: el "
                                     "fichero nuevo no tendrá datos de: %1. ¿Sobreescribir el "
                                     "fichero existente?")
                          .arg(ReadFailureList(missing)),
                      Icon::Exclamation, Default::No);
        if (!yes) return;
    }
    if (const auto saved = Guardar_Datos_Archivo(model_, path, ChkGeneral->isChecked(), scales);
        !saved) {
        ShowError(services_.messages, saved.error());
        return;
    }
    services_.messages.Show(QStringLiteral("Datos Guardados"), Icon::Information);
    accept();
}

std::vector<int> FrmGuardar::SelectedScales() const {
    std::vector<int> scales;
    for (int i = 0; i < ListaBal->count(); ++i) {
        if (ListaBal->item(i)->isSelected())
            scales.push_back(ListaBal->item(i)->data(Qt::UserRole).toInt());
    }
    return scales;
}

// A read in part is said here, not asked about: the technician may want what was read. So are
// the values that the file would hold and the scales do not.
void FrmGuardar::ShowStatus() {
    const bool common = ChkGeneral->isChecked();
    const std::vector<int> scales = SelectedScales();
    QStringList lines;
    if (const auto missing = MissingFromFile(model_, common, scales); !missing.empty())
        lines.append(QStringLiteral("El fichero quedará incompleto, sin datos de: ") +
                     ReadFailureList(missing));
    if (const int count = ValuesNotHeld(model_, common, scales); count == 1)
        lines.append(QStringLiteral("1 valor del fichero no está en las balanzas"));
    else if (count > 1)
        lines.append(QStringLiteral("%1 valores del fichero no están en las balanzas").arg(count));
    LblEstado->setText(lines.join(u'\n'));
    LblEstado->setVisible(!lines.isEmpty());
}

void FrmGuardar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Pinta_Fondo(painter, width(), height());
}

}  // namespace cfg
