#include "gui/frmcopiar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "gui/guiservices.h"
#include "gui/linkworker.h"

namespace cfg {

FrmCopiar::FrmCopiar(LinkWorker& worker, Sender send, int from, const std::vector<int>& scales,
                     QWidget* parent)
    : QDialog(parent), worker_(worker), send_(std::move(send)), from_(from) {
    SetUpWindow(*this, QStringLiteral("FrmCopiar"));
    resize(860, 700);

    // Every menu ticked at first, each item of it too; the menu's box follows its items.
    Menus = new QTreeWidget(this);
    Menus->setObjectName(QStringLiteral("Menus"));
    Menus->setHeaderHidden(true);
    Menus->setUniformRowHeights(true);
    const ConfigModel& model = worker_.Shown();
    for (const MenuRow& menu : model.Menus()) {
        if (menu.owner != from) continue;
        auto* node = new QTreeWidgetItem(Menus, {menu.text});
        node->setFlags(node->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        for (int row : model.ItemsOfMenu(menu.key)) {
            const ItemRow& item = model.Items()[row];
            if (item.order >= kFirstReadOnlyOrder) continue;
            auto* leaf =
                new QTreeWidgetItem(node, {QStringLiteral("%1 %2").arg(item.id).arg(item.text)});
            leaf->setData(0, Qt::UserRole, item.id);
            leaf->setFlags(leaf->flags() | Qt::ItemIsUserCheckable);
            leaf->setCheckState(0, Qt::Checked);
        }
        if (node->childCount() == 0) delete node;  // nothing of it can be copied
    }

    // Scales in columns, so that sixty are seen at once.
    ListaBal = new QListWidget(this);
    ListaBal->setObjectName(QStringLiteral("ListaBal"));
    ListaBal->setFlow(QListView::TopToBottom);
    ListaBal->setWrapping(true);
    ListaBal->setResizeMode(QListView::Adjust);
    ListaBal->setUniformItemSizes(true);
    for (int number : scales) {
        if (number == from) continue;
        auto* item = new QListWidgetItem(ScaleLabel(model, number), ListaBal);
        item->setData(Qt::UserRole, number);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    CmdTodas = NewButton(this, QStringLiteral("Todas"), QStringLiteral("CmdTodas"));
    CmdNinguna = NewButton(this, QStringLiteral("Ninguna"), QStringLiteral("CmdNinguna"));
    Cambios = NewTable(this, QStringLiteral("Cambios"), {});
    ShowChanges(Cambios, {}, QStringLiteral("Leído"), QStringLiteral("A enviar"));
    LblEstado = NewStatus(this, QStringLiteral("Marque las balanzas y pulse \"Vista previa\""));
    CmdVista = NewButton(this, QStringLiteral("Vista previa"), QStringLiteral("CmdVista"));
    CmdEnviar = NewButton(this, QStringLiteral("Enviar"), QStringLiteral("CmdEnviar"));
    CmdCerrar = NewButton(this, QStringLiteral("Cerrar"), QStringLiteral("CmdCerrar"));
    CmdEnviar->setEnabled(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Copiar de la %1 los valores marcados:").arg(OwnerName(from)),
                   this),
        0, 0);
    layout->addWidget(new QLabel(QStringLiteral("a las balanzas:"), this), 0, 1);
    layout->addWidget(Menus, 1, 0);
    layout->addWidget(ListaBal, 1, 1);
    layout->addLayout(ButtonRow({CmdTodas, CmdNinguna}), 2, 1);
    layout->addWidget(LblEstado, 3, 0, 1, 2);
    layout->addWidget(Cambios, 4, 0, 1, 2);
    layout->addLayout(ButtonRow({CmdVista, CmdEnviar, CmdCerrar}), 5, 0, 1, 2);
    layout->setRowStretch(1, 3);
    layout->setRowStretch(4, 2);

    const auto tickAll = [this](Qt::CheckState state) {
        for (int i = 0; i < ListaBal->count(); ++i) ListaBal->item(i)->setCheckState(state);
    };
    connect(CmdTodas, &QPushButton::clicked, this, [tickAll] { tickAll(Qt::Checked); });
    connect(CmdNinguna, &QPushButton::clicked, this, [tickAll] { tickAll(Qt::Unchecked); });
    connect(CmdVista, &QPushButton::clicked, this, &FrmCopiar::CmdVista_Click);
    connect(CmdEnviar, &QPushButton::clicked, this, &FrmCopiar::CmdEnviar_Click);
    connect(CmdCerrar, &QPushButton::clicked, this, &QDialog::reject);
    // What was previewed is what is sent: another choice needs another preview.
    connect(ListaBal, &QListWidget::itemChanged, this, [this] { CmdEnviar->setEnabled(false); });
    connect(Menus, &QTreeWidget::itemChanged, this, [this] { CmdEnviar->setEnabled(false); });
}

std::vector<int> FrmCopiar::Targets() const {
    std::vector<int> targets;
    for (int i = 0; i < ListaBal->count(); ++i)
        if (ListaBal->item(i)->checkState() == Qt::Checked)
            targets.push_back(ListaBal->item(i)->data(Qt::UserRole).toInt());
    return targets;
}

CloneChoice FrmCopiar::Choice() const {
    CloneChoice choice{.everything = false, .menus = {}, .items = {}};
    for (int m = 0; m < Menus->topLevelItemCount(); ++m)
        for (int i = 0; i < Menus->topLevelItem(m)->childCount(); ++i)
            if (const QTreeWidgetItem* leaf = Menus->topLevelItem(m)->child(i);
                leaf->checkState(0) == Qt::Checked)
                choice.items.insert(leaf->data(0, Qt::UserRole).toInt());
    return choice;
}

void FrmCopiar::CmdVista_Click() {
    const std::vector<int> targets = Targets();
    CloneChoice choice = Choice();
    if (targets.empty() || choice.items.empty()) {
        LblEstado->setText(targets.empty() ? QStringLiteral("Marque al menos una balanza")
                                           : QStringLiteral("Marque al menos un item"));
        return;
    }
    setEnabled(false);
    QPointer<FrmCopiar> self(this);
    worker_.Call(
        [from = from_, targets, choice = std::move(choice)](Workbench& bench, ScaleLink&) {
            return bench.ClonePreview(from, targets, choice);
        },
        [self](Changes changes) {
            if (!self) return;
            ShowChanges(self->Cambios, changes, QStringLiteral("Leído"),
                        QStringLiteral("A enviar"));
            self->LblEstado->setText(
                QStringLiteral("Items que se enviarán: %1").arg(changes.size()));
            self->setEnabled(true);
            self->CmdEnviar->setEnabled(!changes.empty());
            emit self->idle();
        });
}

void FrmCopiar::CmdEnviar_Click() {
    send_(from_, Targets(), Choice());
    accept();
}

void FrmCopiar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Pinta_Fondo(painter, width(), height());
}

}  // namespace cfg
