// Programming against replies cut from the input (see cfgfuzz::Script), on the model of the
// simulator's network: a grouped item of a scale (its menu read, the two writes, the read
// back), an ordinary item (the write, the read back), then Relee_Menu and Lee_Menu_Grupo.
// Bytes 1 and 2 choose the two items, each as the editor shows it.
#include "core/editing/programming.h"
#include "core/editing/editor.h"
#include "fuzzsupport.h"

using cfgfuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const cfg::ConfigModel read = cfgfuzz::SimulatedModel();
    if (size < 2) return 0;
    cfg::ConfigModel model = read;
    // The data[n]-th (modulo their count) editable item row, grouped and of a scale or not.
    const auto pick = [&](std::uint8_t n, bool grouped) {
        std::vector<int> rows;
        for (int r = 0; r < static_cast<int>(model.Items().size()); ++r) {
            const cfg::ItemRow& item = model.Items()[r];
            if (!item.key.isEmpty() && item.order < cfg::kFirstReadOnlyOrder &&
                cfg::protocol::IsGroupItem(item.id) == grouped && (!grouped || item.owner != 0))
                rows.push_back(r);
        }
        Require(!rows.empty(), "the network has the items to program");
        return rows[n % rows.size()];
    };
    const int group = pick(data[0], true), single = pick(data[1], false);
    cfgtest::ScriptedLink link(cfgfuzz::Script(cfgfuzz::Input(data + 2, size - 2)));
    cfg::ItemProgrammer programmer(link, model);
    for (const int row : {group, single}) {  // "Modificar Valor" with the editor's value
        const cfg::EditorState editor = cfg::EditorFor(model, model.Items()[row].key);
        Require(editor.selection.has_value(), "an editable item has an editor");
        cfgtest::RecordingOperation op;
        cfg::EditorInput input{editor.selectedOption, editor.text,
                               editor.editor == cfg::EditorKind::Number, editor.text};
        programmer.Modificar_Valor(*editor.selection, input, op);
        cfgfuzz::CheckModel(model);
    }
    programmer.Relee_Menu(single);
    const int count = programmer.Lee_Menu_Grupo(group, model.Items()[group].owner);
    Require(count >= 0 && count <= cfg::ItemProgrammer::kMenuEntries, "a menu fits ItemsGrupo");
    cfgfuzz::CheckModel(model);
    Require(model.Items().size() == read.Items().size(), "programming adds no rows");
    return 0;
}
