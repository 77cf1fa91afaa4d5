#include "gui/filewindow.h"

#include <QDialog>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/settings/clsconfig.h"
#include "gui/guiservices.h"

namespace cfg {

FileWindowParts BuildFileWindow(QDialog& window, const QString& name, const QString& action) {
    SetUpWindow(window, name);

    FileWindowParts parts;
    auto* Label1 = new QLabel(QStringLiteral("Ruta :"), &window);
    parts.TxtRuta = new QLineEdit(&window);
    parts.TxtRuta->setObjectName(QStringLiteral("TxtRuta"));
    parts.CmdSelect = new QPushButton(QStringLiteral("..."), &window);
    parts.CmdSelect->setObjectName(QStringLiteral("CmdSelect"));
    parts.CmdSelect->setAutoDefault(false);
    parts.Command1_1 = new QPushButton(action, &window);
    parts.Command1_1->setObjectName(QStringLiteral("Command1_1"));
    parts.Command1_1->setDefault(true);
    parts.Command1_0 = new QPushButton(QStringLiteral("Cancelar"), &window);
    parts.Command1_0->setObjectName(QStringLiteral("Command1_0"));
    parts.Command1_0->setAutoDefault(false);

    parts.layout = new QGridLayout(&window);
    parts.layout->addWidget(Label1, 0, 0);
    parts.layout->addWidget(parts.TxtRuta, 0, 1);
    parts.layout->addWidget(parts.CmdSelect, 0, 2);
    QObject::connect(parts.Command1_0, &QPushButton::clicked, &window, &QDialog::reject);
    return parts;
}

void AddButtonRow(const FileWindowParts& parts, int row) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(parts.Command1_1);
    buttons->addWidget(parts.Command1_0);
    parts.layout->addLayout(buttons, row, 0, 1, 3);
}

void TakeChosenFile(ClsConfig& config, QLineEdit& box, const QString& chosen) {
    box.setText(chosen);
    const qsizetype cut = std::max(chosen.lastIndexOf(u'/'), chosen.lastIndexOf(u'\\'));
    config.FilePath = cut >= 0 ? chosen.left(cut + 1) : QString(QDir::separator());
    config.WriteConfiguration();
}

}  // namespace cfg
