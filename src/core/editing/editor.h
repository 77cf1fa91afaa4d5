#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "core/editing/programming.h"

namespace cfg {

class ConfigModel;

// Which editor of the main window an item is changed with.
enum class EditorKind { None, Enumeration, Number, Text, Date };

// What the tree's current node leaves on screen: at most one editor, the hint and the
// "Modificar Valor" button; for a read-only item its value alone. Everything not named here is
// hidden.
struct EditorState {
    int row = -1;           // the item's row, editable or not; -1 for any other node
    bool readOnly = false;  // an item shown but never edited: `text` is its value as shown
    bool buttonShown = false;
    bool buttonEnabled = false;
    EditorKind editor = EditorKind::None;
    bool hintShown = false;
    QString hint;
    QStringList options;      // the option list's entries
    int selectedOption = -1;  // -1: no entry selected
    QString text;             // the number, text or date editor's contents
    int maxLength = 0;        // the text editor's limit; 0 lifts any previous limit
    bool permiteNegativo = false;
    // The clicked item becomes the selection; unset when the click leaves it as it was.
    std::optional<Selection> selection;
};

// The editor for the node with key `nodeKey`: only editable items (order below 100) get one.
EditorState EditorFor(const ConfigModel& model, const QString& nodeKey);

// "Max. " and the largest number of `length` digits, in plain decimal.
QString NumberHint(int length);
// "Max. " and the length, " cars.".
QString TextHint(int length);

// Key filters of the typed characters. Each returns the character code to keep, 0 to discard.
// The number editor: digits, ':' ';' (48 to 59), backspace and '.' pass, ',' types as '.',
// '-' only for the items that take negative values.
int FiltraTeclaNumero(int code, bool permiteNegativo);
// The address and port boxes of the TCP/IP dialog: 48 to 59, backspace and '.'.
int FiltraTeclaConexion(int code);

}  // namespace cfg
