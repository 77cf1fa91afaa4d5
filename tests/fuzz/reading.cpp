// The replies of a whole network read cut from the input (see cfgfuzz::Script), in the order
// Lee_Datos asks: the network list, then the structure and value pages of the system and of
// every scale. Whatever they say, the model it builds keeps its rules.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cfgtest::ScriptedLink link(cfgfuzz::Script(cfgfuzz::Input(data, size)));
    cfg::ConfigModel model;
    cfgtest::RecordingOperation op;
    const cfg::Status read = cfg::NetworkReader(link, model).Lee_Datos(op);
    cfgfuzz::Require(op.shown.empty(), "the read shows nothing: its failure is returned");
    cfgfuzz::Require(read || read.error().text == QStringLiteral("Error de comunicaciones"),
                     "a failed read says why");
    cfgfuzz::CheckModel(model);
    return 0;
}
