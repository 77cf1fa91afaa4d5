#pragma once

#include <QString>

class QDialog;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace cfg {

class ClsConfig;

// What the save and open windows share: their look, the path row ("Ruta :", `TxtRuta`, "...")
// on top and the action and "Cancelar" buttons at the bottom.
struct FileWindowParts {
    QGridLayout* layout = nullptr;
    QLineEdit* TxtRuta = nullptr;
    QPushButton* CmdSelect = nullptr;
    QPushButton* Command1_1 = nullptr;  // the window's action, the default button
    QPushButton* Command1_0 = nullptr;  // "Cancelar"
};

// Builds the shared parts; the window puts its own controls in the rows between and then
// calls AddButtonRow.
FileWindowParts BuildFileWindow(QDialog& window, const QString& name, const QString& action);
void AddButtonRow(const FileWindowParts& parts, int row);

// "..." puts the chosen file into the path box and its folder into the settings, which are
// written at once.
void TakeChosenFile(ClsConfig& config, QLineEdit& box, const QString& chosen);

}  // namespace cfg
