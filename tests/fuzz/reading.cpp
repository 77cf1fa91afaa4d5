// The replies of a whole network read cut from the input (see cfgfuzz::Script), in the order
// Lee_Datos asks: the network list, then the structure and value pages of the system and of
// every scale. Whatever they say, the model it builds keeps its rules.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cfgtest::ScriptedLink link(cfgfuzz::Script(cfgfuzz::Input(data, size)));
    cfg::ConfigModel model;
    cfgtest::RecordingOperation op;
    const bool read = cfg::NetworkReader(link, model).Lee_Datos(op).ok();
    cfgfuzz::Require(read == op.shown.empty(), "only a failed read shows its message");
    cfgfuzz::CheckModel(model);
    return 0;
}
