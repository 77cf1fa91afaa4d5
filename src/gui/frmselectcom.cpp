#include "gui/frmselectcom.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/settings/clsconfig.h"

namespace cfg {

FrmSelectCOM::FrmSelectCOM(DesktopServices& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("FrmSelectCOM"));
    setWindowTitle(QStringLiteral("CfgTaraScope"));
    auto* Label1 = new QLabel(QStringLiteral("Clave:"), this);
    TxtPass = new QLineEdit(this);
    TxtPass->setObjectName(QStringLiteral("TxtPass"));
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("TCP/IP"), QStringLiteral("RS-232")});
    Command1 = {new QPushButton(QStringLiteral("Aceptar"), this),
                new QPushButton(QStringLiteral("Cancelar"), this)};
    Command1[0]->setObjectName(QStringLiteral("Command1_0"));
    Command1[1]->setObjectName(QStringLiteral("Command1_1"));
    Command1[0]->setDefault(true);
    Command1[1]->setAutoDefault(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(TxtPass, 0, 1);
    layout->addWidget(Combo1, 1, 0, 1, 2);
    layout->addLayout(ButtonRow({Command1[0], Command1[1]}), 2, 0, 1, 2);
    setMinimumWidth(300);
    TxtPass->setFocus();

    connect(Command1[0], &QPushButton::clicked, this, &FrmSelectCOM::Aceptar_Click);
    connect(Command1[1], &QPushButton::clicked, this, &FrmSelectCOM::reject);
}

void FrmSelectCOM::Load(ClsConfig& config) {
    config_ = &config;
    // A type the list does not offer is shown, and kept, as the first one.
    if (config_->ComMode < 0 || config_->ComMode >= Combo1->count()) config_->ComMode = 0;
    Combo1->setCurrentIndex(config_->ComMode);
    connect(Combo1, &QComboBox::currentIndexChanged, this,
            [this](int index) { config_->ComMode = index; });
}

void FrmSelectCOM::Aceptar_Click() {
    if (TxtPass->text().toUpper() != kAccessCode) {
        services_.messages.Show(QStringLiteral("Clave erronea..."), Icon::None);
        return;
    }
    hide();
    emit codeAccepted(Combo1->currentIndex());
}

void FrmSelectCOM::reject() {
    QDialog::reject();
    services_.program.EndProgram();
}

}  // namespace cfg
