#include "gui/frminforme.h"

#include <QClipboard>
#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QTreeWidget>

#include "gui/guiservices.h"

namespace cfg {

FrmInforme::FrmInforme(DesktopServices& services, std::vector<ReportRow> rows, Retry retry,
                       QWidget* parent)
    : QDialog(parent), services_(services), rows_(std::move(rows)), retry_(std::move(retry)) {
    SetUpWindow(*this, QStringLiteral("FrmInforme"));
    resize(760, 420);

    Lista = NewTable(this, QStringLiteral("Lista"),
                     {QStringLiteral("Dueño"), QStringLiteral("Item"), QStringLiteral("Valor"),
                      QStringLiteral("Resultado"), QStringLiteral("Motivo")});
    QList<QTreeWidgetItem*> items;
    for (const ReportRow& r : rows_)
        items.append(
            new QTreeWidgetItem({OwnerName(r.owner), QStringLiteral("%1 %2").arg(r.id).arg(r.text),
                                 r.value, r.what, r.reason}));
    Lista->addTopLevelItems(items);
    LblEstado = NewStatus(
        this, QStringLiteral("Items que el envío no dejó en las balanzas: %1").arg(rows_.size()));
    CmdCopiar = NewButton(this, QStringLiteral("Copiar"), QStringLiteral("CmdCopiar"));
    CmdGuardar = NewButton(this, QStringLiteral("Guardar"), QStringLiteral("CmdGuardar"));
    CmdCerrar = NewButton(this, QStringLiteral("Cerrar"), QStringLiteral("CmdCerrar"));
    CmdReintentar = NewButton(this, QStringLiteral("Reintentar"), QStringLiteral("CmdReintentar"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(LblEstado, 0, 0);
    layout->addWidget(Lista, 1, 0);
    layout->addLayout(ButtonRow({CmdReintentar, CmdCopiar, CmdGuardar, CmdCerrar}), 2, 0);

    connect(CmdCopiar, &QPushButton::clicked, this, &FrmInforme::CmdCopiar_Click);
    connect(CmdGuardar, &QPushButton::clicked, this, &FrmInforme::CmdGuardar_Click);
    connect(CmdCerrar, &QPushButton::clicked, this, &QDialog::reject);
    connect(CmdReintentar, &QPushButton::clicked, this, &FrmInforme::CmdReintentar_Click);
}

void FrmInforme::CmdReintentar_Click() {
    std::vector<int> again;
    for (const ReportRow& r : rows_) again.push_back(r.row);
    // The send makes its own report; this one is over.
    if (retry_) retry_(std::move(again));
    accept();
}

void FrmInforme::CmdCopiar_Click() {
    QGuiApplication::clipboard()->setText(ReportText(rows_));
    LblEstado->setText(QStringLiteral("Informe copiado"));
}

void FrmInforme::CmdGuardar_Click() {
    const std::optional<QString> path = services_.files.ChooseSave(this, services_.programFolder);
    if (!path) return;
    QSaveFile file(*path);
    const QByteArray text = ReportText(rows_).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        services_.messages.Show(
            QStringLiteral("No se pudo guardar el informe: ") + file.errorString(), Icon::Critical);
        return;
    }
    LblEstado->setText(QStringLiteral("Informe guardado en ") + *path);
}

void FrmInforme::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Pinta_Fondo(painter, width(), height());
}

}  // namespace cfg
