#pragma once

#include <QHash>
#include <cstdio>
#include <cstdlib>

#include "core/common/operation.h"
#include "core/model/configmodel.h"
#include "core/network/networkreader.h"
#include "sim/engine.h"
#include "support/testsupport.h"

// What the fuzz targets share: the rule check, the input as bytes, a file or replies, the model
// of the simulator's built-in network and the rules every model keeps.
namespace cfgfuzz {

// A broken rule aborts with its name, and libFuzzer keeps the input that broke it.
inline void Require(bool ok, const char* rule) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", rule);
    std::abort();
}

inline QByteArray Input(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Replies cut from the input, each a 2-byte little-endian length and that many bytes (a length
// that runs past the input takes what is left); requests past the last reply fail.
inline cfgtest::ScriptedLink::Responder Script(const QByteArray& input) {
    auto replies = std::make_shared<QList<QByteArray>>();
    for (qsizetype at = 0; at + 2 <= input.size(); at += 2 + replies->back().size())
        replies->append(input.mid(at + 2, uchar(input[at]) | uchar(input[at + 1]) << 8));
    return [replies, next = qsizetype(0)](const QByteArray&) mutable {
        if (next == replies->size()) return cfgtest::ScriptedLink::Answer{1, {}};
        return cfgtest::ScriptedLink::Answer{0, (*replies)[next++]};
    };
}

// The model a real read of the simulator's built-in network gives.
inline cfg::ConfigModel SimulatedModel() {
    cfg::sim::Engine engine(cfg::sim::DefaultNetwork(), {.seed = 1});
    cfgtest::ScriptedLink link([&engine](const QByteArray& request) {
        return cfgtest::ScriptedLink::Answer{0, engine.HandleRequest(request)};
    });
    cfg::ConfigModel model;
    cfg::Operation quiet;
    Require(cfg::NetworkReader(link, model).Lee_Datos(quiet).ok(), "the simulated network is read");
    return model;
}

// Whatever the scales or a file said: node keys are unique, children and parents agree, an
// item's node hangs from its menu's node, and the item index gives what a scan from the first
// row gives.
inline void CheckModel(const cfg::ConfigModel& model) {
    const auto& nodes = model.Nodes();
    std::vector<int> parents(nodes.size(), -1);
    for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
        Require(model.FindNode(nodes[i].key) == i, "node keys are unique");
        for (int child : nodes[i].children)
            Require(
                child >= 0 && child < int(nodes.size()) && std::exchange(parents[child], i) == -1,
                "a child is listed once");
    }
    for (std::size_t i = 0; i < nodes.size(); ++i)
        Require(parents[i] == nodes[i].parent, "a node is listed by its parent");
    QHash<std::pair<int, int>, int> first;  // the first row of each owner and ID
    for (int r = 0; r < static_cast<int>(model.Items().size()); ++r) {
        const cfg::ItemRow& item = model.Items()[r];
        Require(model.FindItem(item.owner, item.id) ==
                    *first.insert({item.owner, item.id}, first.value({item.owner, item.id}, r)),
                "an item is found as a scan would");
        if (item.key.isEmpty()) continue;
        const int node = model.FindNode(item.key);
        Require(model.FindItemByKey(item.key) == r && node >= 0 && nodes[node].parent >= 0 &&
                    nodes[nodes[node].parent].key == item.menuKey,
                "an item's node hangs from its menu's node");
    }
}

}  // namespace cfgfuzz
