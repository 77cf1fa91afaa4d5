#include "gui/frmhistorial.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

#include "core/history/compare.h"
#include "core/model/configmodel.h"
#include "gui/guiservices.h"
#include "gui/linkworker.h"

namespace cfg {

namespace {
QString CauseText(const SnapshotInfo& info) {
    switch (info.cause) {
        case SnapshotCause::Read:
            return QStringLiteral("Lectura");
        case SnapshotCause::Partial:
            return QStringLiteral("Lectura incompleta");
        case SnapshotCause::Set:
            return QStringLiteral("Modificar Valor");
        case SnapshotCause::Send:
            break;
    }
    switch (info.send.value_or(SendKind::All)) {
        case SendKind::Changes:
            return QStringLiteral("Enviar cambios");
        case SendKind::Clone:
            return QStringLiteral("Copiar a otras balanzas");
        case SendKind::Restore:
            return QStringLiteral("Restaurar");
        case SendKind::All:
            break;
    }
    return QStringLiteral("Enviar Todo");
}

constexpr int kNetworkRole = Qt::UserRole + 1;

}  // namespace

FrmHistorial::FrmHistorial(LinkWorker& worker, Operation& messages, QWidget* parent)
    : QDialog(parent), worker_(worker), messages_(messages) {
    SetUpWindow(*this, QStringLiteral("FrmHistorial"));
    resize(720, 560);

    Lista = NewTable(this, QStringLiteral("Lista"),
                     {QStringLiteral("Nº"), QStringLiteral("Fecha"), QStringLiteral("Motivo"),
                      QStringLiteral("Items conocidos"), QStringLiteral("Red")});
    Lista->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Diferencias = NewTable(this, QStringLiteral("Diferencias"),
                           {QStringLiteral("Dueño"), QStringLiteral("Item"),
                            QStringLiteral("Valor"), QStringLiteral("Valor")});
    LblEstado =
        NewStatus(this, QStringLiteral("Seleccione una instantánea, o dos para compararlas"));
    CmdComparar = NewButton(this, QStringLiteral("Comparar"), QStringLiteral("CmdComparar"));
    CmdRestaurar = NewButton(this, QStringLiteral("Restaurar"), QStringLiteral("CmdRestaurar"));
    CmdCerrar = NewButton(this, QStringLiteral("Cerrar"), QStringLiteral("CmdCerrar"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Instantáneas de la conexión:"), this), 0, 0);
    layout->addWidget(Lista, 1, 0);
    layout->addWidget(LblEstado, 2, 0);
    layout->addWidget(Diferencias, 3, 0);
    layout->addLayout(ButtonRow({CmdComparar, CmdRestaurar, CmdCerrar}), 4, 0);
    layout->setRowStretch(1, 2);
    layout->setRowStretch(3, 3);

    connect(CmdComparar, &QPushButton::clicked, this, &FrmHistorial::CmdComparar_Click);
    connect(CmdRestaurar, &QPushButton::clicked, this, &FrmHistorial::CmdRestaurar_Click);
    connect(CmdCerrar, &QPushButton::clicked, this, &QDialog::reject);

    Busy(true);
    QPointer<FrmHistorial> self(this);
    worker_.Call(
        [](Workbench& bench, ScaleLink&) { return bench.History(); },
        [self](Workbench::HistoryList list) {
            if (!self) return;
            const std::vector<SnapshotInfo>& infos = list.snapshots;
            const QString& network = list.network;
            const QString& said = list.notice;
            self->network_ = network;
            // The newest first, in the technician's own time: what a technician looks for.
            for (auto i = infos.rbegin(); i != infos.rend(); ++i) {
                auto* row = new QTreeWidgetItem(self->Lista);
                row->setText(0, QString::number(i->id));
                row->setText(1,
                             i->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                row->setText(2, CauseText(*i));
                row->setText(3, QStringLiteral("%1 de %2").arg(i->known).arg(i->items));
                row->setText(4, i->network == network ? QStringLiteral("%1 (esta)").arg(i->network)
                                                      : i->network);
                row->setData(0, Qt::UserRole, i->id);
                row->setData(0, kNetworkRole, i->network);
            }
            if (!said.isEmpty()) self->LblEstado->setText(said);
            self->Busy(false);
        });
}

std::vector<qint64> FrmHistorial::Selected() const {
    std::vector<qint64> ids;
    for (const QTreeWidgetItem* row : Lista->selectedItems())
        ids.push_back(row->data(0, Qt::UserRole).toLongLong());
    std::sort(ids.begin(), ids.end());
    return ids;
}

void FrmHistorial::Busy(bool on) {
    setEnabled(!on);
    if (!on) emit idle();
}

void FrmHistorial::Load(std::vector<qint64> ids,
                        std::function<void(std::vector<std::shared_ptr<const ConfigModel>>)> then) {
    Busy(true);
    auto loaded = std::make_shared<std::vector<std::shared_ptr<const ConfigModel>>>();
    QPointer<FrmHistorial> self(this);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const bool last = i + 1 == ids.size();
        worker_.Call(
            [id = ids[i]](Workbench& bench, ScaleLink&) { return bench.LoadSnapshot(id); },
            [self, loaded, last, then](std::pair<Snapshot, QString> read) {
                if (!self) return;
                auto& [model, said] = read;
                if (!model)
                    self->LblEstado->setText(QStringLiteral("No se pudo leer la instantánea: ") +
                                             said);
                loaded->push_back(std::move(model));
                if (!last) return;
                if (std::all_of(loaded->begin(), loaded->end(), [](const auto& m) { return m; })) {
                    then(*loaded);
                } else {
                    self->Busy(false);
                }
            });
    }
}

void FrmHistorial::CmdComparar_Click() {
    const std::vector<qint64> ids = Selected();
    if (ids.empty() || ids.size() > 2) {
        LblEstado->setText(QStringLiteral("Seleccione una instantánea, o dos para compararlas"));
        return;
    }
    QPointer<FrmHistorial> self(this);
    const QString first = QStringLiteral("Instantánea %1").arg(ids.front());
    Load(ids, [self, ids, first](std::vector<std::shared_ptr<const ConfigModel>> models) {
        if (models.size() == 2) {
            self->Show(WithOptionTexts(*models[1], CompareValues(*models[0], *models[1])), first,
                       QStringLiteral("Instantánea %1").arg(ids.back()), {});
            return;
        }
        self->worker_.Call(
            [snapshot = models.front()](Workbench& bench, ScaleLink&) {
                return bench.CompareNow(*snapshot);
            },
            [self, first](Changes changes) {
                if (self) self->Show(changes, first, QStringLiteral("Árbol actual"), {});
            });
    });
}

void FrmHistorial::CmdRestaurar_Click() {
    const std::vector<qint64> ids = Selected();
    if (ids.size() != 1) {
        LblEstado->setText(QStringLiteral("Seleccione la instantánea a restaurar"));
        return;
    }
    // Another shop's values behind the same connection: only when the technician says so.
    if (const QString network = Lista->selectedItems().front()->data(0, kNetworkRole).toString();
        network != network_ &&
        !messages_.Ask(QStringLiteral("La instantánea %1 es de otra red (%2); la red conectada es "
                                      "%3. ¿Restaurarla en el árbol?")
                           .arg(QString::number(ids.front()), network, network_),
                       Icon::Exclamation, Default::No))
        return;
    QPointer<FrmHistorial> self(this);
    Load(ids, [self](std::vector<std::shared_ptr<const ConfigModel>> models) {
        self->worker_.Call(
            [snapshot = models.front()](Workbench& bench, ScaleLink&) {
                return bench.Restore(*snapshot);
            },
            [self](Changes changes) {
                if (!self) return;
                self->Show(changes, QStringLiteral("Leído"), QStringLiteral("Restaurado"),
                           QStringLiteral("%1 items restaurados en el árbol; envíelos con \"Enviar "
                                          "Todo a Balanzas\"")
                               .arg(changes.size()));
            });
    });
}

void FrmHistorial::Show(const std::vector<ValueChange>& changes, const QString& before,
                        const QString& after, const QString& status) {
    ShowChanges(Diferencias, changes, before, after);
    LblEstado->setText(status.isEmpty() ? QStringLiteral("Diferencias: %1").arg(changes.size())
                                        : status);
    Busy(false);
}

void FrmHistorial::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Pinta_Fondo(painter, width(), height());
}

}  // namespace cfg
