// The replies of a whole network read cut from the input (see cfgfuzz::Script), in the order
// Lee_Datos asks: the network list, then the structure and value pages of the system and of
// every scale. Whatever they say, the model it builds keeps its rules.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cfgfuzz::Script script(cfgfuzz::Input(data, size));
    cfgtest::ScriptedLink link(script.Responder());
    cfg::ConfigModel model;
    cfgfuzz::NoProgress progress;
    cfgtest::RecordingMessages messages;
    cfgtest::RecordingEnd end;
    const bool read = cfg::NetworkReader(link, model).Lee_Datos(progress, messages, end);
    cfgfuzz::Require(read == (end.ended == 0) && read == messages.shown.empty(),
                     "only a failed read shows its message and ends the program");
    cfgfuzz::CheckModel(model);
    return 0;
}
