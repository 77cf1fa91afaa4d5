#include "gui/frmcopiar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "gui/frmmain.h"
#include "gui/guiservices.h"

namespace cfg {

FrmCopiar::FrmCopiar(FrmMain& main, int from, const std::vector<int>& scales, QWidget* parent)
    : QDialog(parent), main_(main), from_(from) {
    SetUpWindow(*this, QStringLiteral("FrmCopiar"));
    resize(720, 520);

    ListaBal = new QListWidget(this);
    ListaBal->setObjectName(QStringLiteral("ListaBal"));
    for (int number : scales) {
        if (number == from) continue;
        auto* item = new QListWidgetItem(OwnerName(number), ListaBal);
        item->setData(Qt::UserRole, number);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    Cambios = NewTable(this, QStringLiteral("Cambios"), {});
    ShowChanges(Cambios, {}, QStringLiteral("Leído"), QStringLiteral("A enviar"));
    LblEstado = NewStatus(this, QStringLiteral("Marque las balanzas y pulse \"Vista previa\""));
    CmdVista = NewButton(this, QStringLiteral("Vista previa"), QStringLiteral("CmdVista"));
    CmdEnviar = NewButton(this, QStringLiteral("Enviar"), QStringLiteral("CmdEnviar"));
    CmdCerrar = NewButton(this, QStringLiteral("Cerrar"), QStringLiteral("CmdCerrar"));
    CmdEnviar->setEnabled(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Copiar los valores de la %1 a:").arg(OwnerName(from)), this), 0,
        0);
    layout->addWidget(ListaBal, 1, 0);
    layout->addWidget(LblEstado, 2, 0);
    layout->addWidget(Cambios, 3, 0);
    layout->addLayout(ButtonRow({CmdVista, CmdEnviar, CmdCerrar}), 4, 0);
    layout->setRowStretch(1, 1);
    layout->setRowStretch(3, 3);

    connect(CmdVista, &QPushButton::clicked, this, &FrmCopiar::CmdVista_Click);
    connect(CmdEnviar, &QPushButton::clicked, this, &FrmCopiar::CmdEnviar_Click);
    connect(CmdCerrar, &QPushButton::clicked, this, &QDialog::reject);
    // What was previewed is what is sent: another choice needs another preview.
    connect(ListaBal, &QListWidget::itemChanged, this, [this] { CmdEnviar->setEnabled(false); });
}

std::vector<int> FrmCopiar::Targets() const {
    std::vector<int> targets;
    for (int i = 0; i < ListaBal->count(); ++i)
        if (ListaBal->item(i)->checkState() == Qt::Checked)
            targets.push_back(ListaBal->item(i)->data(Qt::UserRole).toInt());
    return targets;
}

void FrmCopiar::CmdVista_Click() {
    const std::vector<int> targets = Targets();
    if (targets.empty()) {
        LblEstado->setText(QStringLiteral("Marque al menos una balanza"));
        return;
    }
    setEnabled(false);
    QPointer<FrmCopiar> self(this);
    main_.ClonePreview(from_, targets, [self](FrmMain::Changes changes) {
        if (!self) return;
        ShowChanges(self->Cambios, changes, QStringLiteral("Leído"), QStringLiteral("A enviar"));
        self->LblEstado->setText(QStringLiteral("Items que se enviarán: %1").arg(changes.size()));
        self->setEnabled(true);
        self->CmdEnviar->setEnabled(!changes.empty());
        emit self->idle();
    });
}

void FrmCopiar::CmdEnviar_Click() {
    main_.CloneSend(from_, Targets());
    accept();
}

void FrmCopiar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Pinta_Fondo(painter, width(), height());
}

}  // namespace cfg
