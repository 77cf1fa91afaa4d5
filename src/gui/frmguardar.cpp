#include "frmguardar.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include "files/configsave.h"
#include "settings/clsconfig.h"
#include "xml/xmlerror.h"

namespace cfg {

void TakeChosenFile(ClsConfig& config, QLineEdit& box, const QString& chosen) {
    box.setText(chosen);
    const qsizetype cut = std::max(chosen.lastIndexOf(u'/'), chosen.lastIndexOf(u'\\'));
    config.FilePath = cut >= 0 ? chosen.left(cut + 1) : QString(QDir::separator());
    config.WriteConfiguration();
}

FrmGuardar::FrmGuardar(DesktopServices& services, ClsConfig& config, const ConfigModel& model,
                       QWidget* parent)
    : QDialog(parent), services_(services), config_(config), model_(model) {
    setObjectName(QStringLiteral("FrmGuardar"));
    setWindowTitle(kProgramTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);

    auto* Label1 = new QLabel(QStringLiteral("Ruta :"), this);
    TxtRuta = new QLineEdit(this);
    TxtRuta->setObjectName(QStringLiteral("TxtRuta"));
    CmdSelect = new QPushButton(QStringLiteral("..."), this);
    CmdSelect->setObjectName(QStringLiteral("CmdSelect"));
    CmdSelect->setAutoDefault(false);
    Check1 = new QCheckBox(QStringLiteral("Guardar datos de balanzas:"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    ListaBal = new QListWidget(this);
    ListaBal->setObjectName(QStringLiteral("ListaBal"));
    ListaBal->setSelectionMode(QAbstractItemView::MultiSelection);
    ChkGeneral = new QCheckBox(QStringLiteral("Guardar datos comunes"), this);
    ChkGeneral->setObjectName(QStringLiteral("ChkGeneral"));
    Command1_1 = new QPushButton(QStringLiteral("Guardar"), this);
    Command1_1->setObjectName(QStringLiteral("Command1_1"));
    Command1_1->setDefault(true);
    Command1_0 = new QPushButton(QStringLiteral("Cancelar"), this);
    Command1_0->setObjectName(QStringLiteral("Command1_0"));
    Command1_0->setAutoDefault(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(TxtRuta, 0, 1);
    layout->addWidget(CmdSelect, 0, 2);
    layout->addWidget(ChkGeneral, 1, 0, 1, 3);
    layout->addWidget(Check1, 2, 0, 1, 3);
    layout->addWidget(ListaBal, 3, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1_1);
    buttons->addWidget(Command1_0);
    layout->addLayout(buttons, 4, 0, 1, 3);
    resize(460, 340);

    TxtRuta->setText(config_.FilePath);
    for (int number : ScalesInTree(model_)) ListaBal->addItem(QString::number(number));
    ListaBal->selectAll();
    Check1->setChecked(true);
    ChkGeneral->setChecked(true);
    TxtRuta->setFocus();

    connect(Check1, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) ListaBal->clearSelection();
    });
    connect(CmdSelect, &QPushButton::clicked, this, &FrmGuardar::CmdSelect_Click);
    connect(Command1_1, &QPushButton::clicked, this, &FrmGuardar::Guardar_Click);
    connect(Command1_0, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmGuardar::CmdSelect_Click() {
    if (const auto chosen = services_.files.ChooseSave(this, config_.FilePath))
        TakeChosenFile(config_, *TxtRuta, *chosen);
}

void FrmGuardar::Guardar_Click() {
    const QString path = TxtRuta->text();
    switch (CheckSavePath(path)) {
        case SavePath::Empty:
            services_.messages.Show(QStringLiteral("Elija nombre del fichero"), Icon::Critical);
            return;
        case SavePath::Invalid:
            services_.messages.Show(QStringLiteral("Ruta no válida"), Icon::Critical);
            return;
        case SavePath::Exists:
            if (!services_.messages.Ask(QStringLiteral("el fichero ya existe, ¿Sobreescribir?"),
                                        Icon::Exclamation))
                return;
            break;
        case SavePath::Ok:
            break;
    }
    std::vector<int> scales;
    for (int i = 0; i < ListaBal->count(); ++i) {
        if (ListaBal->item(i)->isSelected()) scales.push_back(ListaBal->item(i)->text().toInt());
    }
    try {
        Guardar_Datos_Archivo(model_, path, ChkGeneral->isChecked(), scales);
    } catch (const XmlError& e) {
        services_.messages.Show(e.text(), Icon::Critical);
        return;
    } catch (const XmlWriteError& e) {
        services_.messages.Show(QString::fromLocal8Bit(e.what()), Icon::Critical);
        return;
    }
    services_.messages.Show(QStringLiteral("Datos Guardados"), Icon::Information);
    accept();
}

void FrmGuardar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Pinta_Fondo(painter, width(), height());
}

}  // namespace cfg
