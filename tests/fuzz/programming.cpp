// Programming against replies cut from the input (see cfgfuzz::Script), on the model of the
// simulator's network: a grouped item of a scale (its menu read, the two writes, the read
// back), an ordinary item (the write, the read back), then Relee_Menu and Lee_Menu_Grupo.
// Bytes 1 and 2 choose the two items, each as the editor shows it.
#include "core/editing/programming.h"
#include "core/editing/editor.h"
#include "core/files/configsave.h"
#include "fuzzsupport.h"

namespace {

using cfgfuzz::Require;

// The `pick`-th (modulo their count) editable item row that `wanted` takes.
template <typename Wanted>
int PickRow(const cfg::ConfigModel& model, int pick, Wanted wanted) {
    std::vector<int> rows;
    for (int r = 0; r < static_cast<int>(model.Items().size()); ++r) {
        const cfg::ItemRow& item = model.Items()[r];
        if (!item.key.isEmpty() && item.order < cfg::kFirstReadOnlyOrder && wanted(item))
            rows.push_back(r);
    }
    Require(!rows.empty(), "the network has the items to program");
    return rows[static_cast<std::size_t>(pick) % rows.size()];
}

// "Modificar Valor" with the editor's value for the row.
void Program(cfg::ItemProgrammer& programmer, cfg::ConfigModel& model, int row) {
    const cfg::EditorState editor = cfg::EditorFor(model, model.Items()[row].key);
    Require(editor.selection.has_value(), "an editable item has an editor");
    cfg::EditorInput input{editor.selectedOption, editor.text,
                           editor.editor == cfg::EditorKind::Number, editor.text};
    cfgtest::RecordingOperation op;
    programmer.Modificar_Valor(*editor.selection, input, op);
    cfgfuzz::CheckModel(model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const cfg::ConfigModel read = cfgfuzz::SimulatedModel();
    if (size < 2) return 0;
    cfg::ConfigModel model = read;
    const int group = PickRow(model, data[0], [](const cfg::ItemRow& item) {
        return item.owner != 0 && cfg::protocol::IsGroupItem(item.id);
    });
    const int single = PickRow(model, data[1], [](const cfg::ItemRow& item) {
        return !cfg::protocol::IsGroupItem(item.id);
    });
    cfgfuzz::Script script(cfgfuzz::Input(data + 2, size - 2));
    cfgtest::ScriptedLink link(script.Responder());
    cfg::ItemProgrammer programmer(link, model);

    Program(programmer, model, group);
    Program(programmer, model, single);
    programmer.Relee_Menu(single);
    const int count = programmer.Lee_Menu_Grupo(group, model.Items()[group].owner);
    Require(count >= 0 && count <= cfg::ItemProgrammer::kGroupSize, "a group fits ItemsGrupo");
    cfgfuzz::CheckModel(model);
    Require(model.Items().size() == read.Items().size(), "programming adds no rows");
    return 0;
}
