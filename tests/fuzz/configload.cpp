// Any bytes as a configuration file, loaded into the model of the simulator's network as
// `load --dry-run` loads it. No menu, item or node appears or goes; a value changes only on an
// editable item and to one that fits it; every item node shows its row's value.
#include "core/files/configload.h"
#include "core/common/basic.h"
#include "fuzzsupport.h"

using cfgfuzz::Require;

static bool Fits(const cfg::ItemRow& item) {
    const qsizetype size = item.value.size();
    if (item.type == cfg::kEnumeration) return cfg::OptionIndex(item).has_value();
    if (item.type == cfg::kNumber) return cfg::IsNumeric(item.value) && size <= item.length;
    if (item.type == cfg::kString) return size <= item.length;
    return item.type == cfg::kDate && (size == 0 || size == 8);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const cfg::ConfigModel read = cfgfuzz::SimulatedModel();
    cfg::ConfigModel model = read;
    cfgtest::RecordingOperation op;
    static const QTemporaryDir folder;  // the input as a file of its own
    cfgtest::WriteAll(folder.filePath("input.xml"), cfgfuzz::Input(data, size));
    static_cast<void>(cfg::LoadConfigurationFile(model, folder.filePath("input.xml"), op));
    cfgfuzz::CheckModel(model);
    Require(model.Nodes().size() == read.Nodes().size() &&
                model.Menus().size() == read.Menus().size() &&
                model.Items().size() == read.Items().size(),
            "loading adds and removes nothing");
    for (std::size_t r = 0; r < model.Items().size(); ++r) {
        const cfg::ItemRow& item = model.Items()[r];
        const cfg::ItemRow& before = read.Items()[r];
        Require(item.key == before.key && item.id == before.id && item.type == before.type &&
                    item.length == before.length && item.order == before.order,
                "loading changes only values");
        Require(item.value == before.value || (item.order < cfg::kFirstReadOnlyOrder && Fits(item)),
                "a changed value is an editable item's and fits it");
        Require(item.key.isEmpty() || model.NodeText(item.key) ==
                                          item.text + " = " + cfg::ShownValue(item).value_or(""),
                "an item node shows its value");
    }
    return 0;
}
