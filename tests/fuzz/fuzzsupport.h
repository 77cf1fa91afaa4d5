#pragma once

#include <QByteArray>
#include <QHash>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/common/operation.h"
#include "core/model/configmodel.h"
#include "core/network/networkreader.h"
#include "sim/engine.h"
#include "support/scriptedlink.h"
#include "support/testsupport.h"

// What the fuzz targets share: the rule check, replies cut from an input, the model of the
// simulator's built-in network and the rules every model keeps.
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
// that runs past the input takes what is left). Requests past the last reply fail.
class Script {
  public:
    explicit Script(const QByteArray& input) {
        for (qsizetype at = 0; at + 2 <= input.size();) {
            const qsizetype length =
                static_cast<uchar>(input[at]) | static_cast<uchar>(input[at + 1]) << 8;
            at += 2;
            replies_.append(input.mid(at, length));
            at += length;
        }
    }
    cfgtest::ScriptedLink::Responder Responder() {
        return [this](const QByteArray&) {
            if (next_ == replies_.size()) return cfgtest::ScriptedLink::Answer{1, {}};
            return cfgtest::ScriptedLink::Answer{0, replies_[next_++]};
        };
    }

  private:
    QList<QByteArray> replies_;
    qsizetype next_ = 0;
};

// The model a real read of the simulator's built-in network gives.
inline cfg::ConfigModel SimulatedModel() {
    cfg::sim::Engine engine(cfg::sim::DefaultNetwork(), {.seed = 1});
    cfgtest::ScriptedLink link([&engine](const QByteArray& request) {
        return cfgtest::ScriptedLink::Answer{0, engine.HandleRequest(request)};
    });
    cfg::ConfigModel model;
    cfg::Operation quiet;
    Require(cfg::NetworkReader(link, model).Lee_Datos(quiet), "the simulated network is read");
    return model;
}

// Whatever the scales or a file said: node keys are unique, children and parents agree, an
// item's node hangs from its menu's node, every menu has a node, and the tables' indexes give
// what a scan from the first row gives.
inline void CheckModel(const cfg::ConfigModel& model) {
    const auto& nodes = model.Nodes();
    std::vector<bool> listed(nodes.size());
    for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
        Require(model.FindNode(nodes[i].key) == i, "node keys are unique");
        for (int child : nodes[i].children) {
            Require(child >= 0 && child < static_cast<int>(nodes.size()) &&
                        nodes[child].parent == i && !listed[child],
                    "a child's parent lists it once");
            listed[child] = true;
        }
    }
    for (std::size_t i = 0; i < nodes.size(); ++i)
        Require(listed[i] == (nodes[i].parent >= 0), "a node is listed by its parent");

    // The first row of each owner and ID.
    QHash<std::pair<int, int>, int> first;
    const auto firstRow = [&first](int owner, int id, int row) {
        return *first.insert({owner, id}, first.value({owner, id}, row));
    };
    for (int r = 0; r < static_cast<int>(model.Items().size()); ++r) {
        const cfg::ItemRow& item = model.Items()[r];
        const int found = firstRow(item.owner, item.id, r);
        Require(model.FindItem(item.owner, item.id) == found, "an item is found as a scan would");
        if (item.key.isEmpty()) continue;
        Require(model.FindItemByKey(item.key) == r, "item keys are unique");
        const int node = model.FindNode(item.key);
        Require(
            node >= 0 && nodes[node].parent >= 0 && nodes[nodes[node].parent].key == item.menuKey,
            "an item's node hangs from its menu's node");
    }
    first.clear();
    for (int r = 0; r < static_cast<int>(model.Menus().size()); ++r) {
        const cfg::MenuRow& menu = model.Menus()[r];
        const int found = firstRow(menu.owner, menu.id, r);
        Require(model.FindMenu(menu.owner, menu.id) == found, "a menu is found as a scan would");
        Require(model.FindNode(menu.key) >= 0, "a menu has a node");
    }
}

}  // namespace cfgfuzz
