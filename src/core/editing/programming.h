#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "core/editing/itemwrite.h"

namespace cfg {

class ConfigModel;
class Operation;
class ScaleLink;

// The item last selected in the tree.
struct Selection {
    int owner = 0;
    int id = 0;
    int type = 0;
    int length = 0;
};

// What the item editor holds when "Modificar Valor" is pressed.
struct EditorInput {
    int enumIndex = -1;        // the option list's index, -1 when nothing is selected
    QString number;            // the number editor's text
    bool numberShown = false;  // the number editor is the one shown
    QString text;              // the text and date editor's text (dates come back trimmed)
};

// The value "Modificar Valor" would program, in the form the model stores it; nothing, with the
// editor's message shown, when the editor holds nothing that can be sent.
std::optional<QString> ValueToProgram(const Selection& selection, EditorInput& input,
                                      Operation& op);

// The option a typed value names: digits that are an option's index are that index; any other
// text is the first option equal to it, trimmed, case and accents ignored. -1 when none.
int OptionNamed(const QStringList& options, const QString& typed);

// One decoded entry of a menu read back from a scale. A string keeps the bytes it came in, to
// go back as those while its value is unchanged.
struct MenuEntry {
    int id = 0;
    int type = 0;
    QString value;
    QByteArray bytes;
    bool asRead = false;
};

// Programs single items and reads their menus back.
class ItemProgrammer {
  public:
    enum class Outcome { Invalid, Failed, Refused, Accepted };
    struct Result {
        Outcome outcome = Outcome::Invalid;
        int errorCode = 0;  // the scale's reason when refused
        int row = -1;       // the item row changed when accepted
    };

    ItemProgrammer(ScaleLink& link, ConfigModel& model);

    // "Modificar Valor": validates the editor's value, programs it into the selected item's
    // scale (the items 152 to 157 as their whole menu), stores it and reads the menu back.
    Result Modificar_Valor(const Selection& selection, EditorInput& input, Operation& op);

    // Reads the menu of item row `row` back from the item's owner and refreshes its items.
    void Relee_Menu(int row);
    // Reads the menu of item row `row` from `owner` into ItemsGrupo (and refreshes its items);
    // the number of entries read, 0 when the read failed.
    int Lee_Menu_Grupo(int row, int owner);

    static constexpr int kMenuEntries = 101;
    const std::array<MenuEntry, kMenuEntries>& ItemsGrupo() const { return itemsGrupo_; }

  private:
    int ReadMenu(int row, int owner, bool keepEntries);

    ScaleLink& link_;
    ConfigModel& model_;
    std::array<MenuEntry, kMenuEntries> itemsGrupo_{};
};

}  // namespace cfg
