// A snapshot's parts cut from the input after three bytes (as cfgfuzz::Script cuts replies) give
// a model that keeps its rules, or none. The first, kept as the store keeps it and damaged where
// those bytes say (offset, mask), comes back whole or not at all, in no more room than its bytes
// could hold.
#include <QtEndian>

#include "core/history/historystore.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input = cfgfuzz::Input(data, size);
    std::vector<QByteArray> parts;
    for (qsizetype at = 3; at + 2 <= input.size(); at += 2 + parts.back().size())
        parts.push_back(input.mid(at + 2, uchar(input[at]) | uchar(input[at + 1]) << 8));
    cfg::ConfigModel model;
    if (cfg::DecodeSnapshot(parts, model)) cfgfuzz::CheckModel(model);
    if (parts.empty()) return 0;
    QByteArray stored = qCompress(parts[0]);
    stored[qFromLittleEndian<quint16>(input.constData()) % stored.size()] ^= input[2];
    const auto back = cfg::UnpackStored(cfg::PartHash(parts[0]), parts[0].size(), stored);
    cfgfuzz::Require(back ? *back == parts[0] : input[2] != 0, "a kept part comes back whole");
    return 0;
}
