#include "core/network/networkreader.h"

#include <QByteArrayView>
#include <QScopeGuard>
#include <algorithm>
#include <bitset>
#include <utility>

#include "core/common/basic.h"
#include "core/common/operation.h"
#include "core/link/scalelink.h"
#include "core/model/configmodel.h"
#include "core/protocol/protocol.h"

namespace cfg {

namespace {
const QString kCommError = QStringLiteral("Error de comunicaciones");
constexpr std::size_t kMostReserved = 250'000;
}  // namespace

QString ReadFailureName(const ReadFailure& failure) {
    switch (failure.part) {
        case ReadFailure::SystemValues:
            return QStringLiteral("valores del sistema");
        case ReadFailure::ScaleStructure:
            return QStringLiteral("balanza %1 (estructura)").arg(failure.owner);
        case ReadFailure::ScaleValues:
            return QStringLiteral("balanza %1 (valores)").arg(failure.owner);
        case ReadFailure::ScaleNotRead:
            return QStringLiteral("balanza %1").arg(failure.owner);
        case ReadFailure::ScaleNumberZero:
            break;
    }
    return QStringLiteral("balanza 0 (número no válido)");
}

QString ReadFailureList(const std::vector<ReadFailure>& failures) {
    QStringList names;
    for (const ReadFailure& failure : failures) names.append(ReadFailureName(failure));
    return names.join(QStringLiteral("; "));
}

NetworkReader::NetworkReader(ScaleLink& link, ConfigModel& model) : link_(link), model_(model) {}

Status NetworkReader::Lee_Datos(Operation& op) {
    op_ = &op;
    const auto done = qScopeGuard([this] { op_ = nullptr; });
    model_.Clear();
    op.Begin(QStringLiteral("Leyendo Estructura de Red"));
    model_.AddNode({}, keys::kRoot, QStringLiteral("Red"), QStringLiteral("mundo"), NodeKind::Root);
    model_.AddNode(keys::kRoot, keys::kScales, QStringLiteral("Operativa Balanzas"),
                   QStringLiteral("balanza"), NodeKind::ScalesBranch);
    model_.AddNode(keys::kRoot, keys::kSystem, QStringLiteral("Datos Comunes"),
                   QStringLiteral("sistema"), NodeKind::SystemBranch);
    for (const QString& key : {keys::kRoot, keys::kScales, keys::kSystem}) model_.ExpandNode(key);

    const auto fail = [&]() -> Status {
        op.End();
        return Cancelled() ? Error(Error::Cancelled, {}) : Error(Error::Communication, kCommError);
    };
    if (!Lee_Red() || Cancelled()) return fail();

    std::vector<ReadFailure> failures;
    // A scale the network reports twice is read once: its keys are already taken. One numbered
    // 0 would be addressed and stored as the system: it is not read.
    std::vector<int> readable;
    for (const ScaleEntry& scale : model_.Scales()) {
        if (scale.number == 0) {
            failures.push_back({0, ReadFailure::ScaleNumberZero});
            continue;
        }
        const QString text = QStringLiteral("Balanza %1.Mostrador : %2.MAC : %3")
                                 .arg(scale.number)
                                 .arg(scale.mostrador)
                                 .arg(scale.mac);
        if (model_.AddNode(keys::kScales, keys::Scale(scale.number), text, QStringLiteral("g386"),
                           NodeKind::Scale, scale.number) >= 0)
            readable.push_back(scale.number);
    }

    op.Caption(QStringLiteral("Leyendo Datos Generales"));
    if (!Lee_Estructura(0)) return fail();
    if (Lee_Valores(0)) {
        const int total = static_cast<int>(readable.size());
        for (std::size_t i = 0; i < readable.size(); ++i) {
            const int scale = readable[i];
            if (Cancelled()) {
                failures.push_back({scale, ReadFailure::ScaleNotRead});
                continue;
            }
            op.Progress(static_cast<int>(i), total, Counted::Scales);
            op.Caption(QStringLiteral("Leyendo Datos Equipo %1").arg(scale));
            const std::size_t nodes = model_.Nodes().size(), items = model_.Items().size();
            if (!Lee_Estructura(scale)) {
                failures.push_back({scale, ReadFailure::ScaleStructure});
            } else if (!Lee_Valores(scale)) {
                failures.push_back({scale, ReadFailure::ScaleValues});
            }
            // The scales of a network mostly carry the same menus: after the first, room is made
            // for the rest alike, instead of growing the tables scale by scale; never beyond ten
            // times the largest networks, whatever the first scale says.
            if (i == 0) {
                const std::size_t rest = readable.size() - 1;
                model_.Reserve(std::min((model_.Nodes().size() - nodes) * rest, kMostReserved),
                               std::min((model_.Items().size() - items) * rest, kMostReserved));
            }
        }
        op.Progress(total, total, Counted::Scales);
    } else {
        failures.push_back({0, ReadFailure::SystemValues});
        for (int scale : readable) failures.push_back({scale, ReadFailure::ScaleNotRead});
    }
    model_.SetReadFailures(std::move(failures));
    op.End();
    return {};
}

bool NetworkReader::Lee_Red() {
    const protocol::Reply reply =
        protocol::ExchangeRead(link_, protocol::NetworkRequest(), protocol::kNetworkReplyMinimum);
    model_.Scales() = reply.ok ? protocol::NetworkScales(reply.bytes) : std::vector<ScaleEntry>();
    return reply.ok;
}

bool NetworkReader::ReadPages(const std::function<QByteArray(int)>& request,
                              const std::function<void(int, QByteArrayView)>& handle) {
    // A cursor that comes back a second time would repeat the same pages for ever: a scale
    // in that state counts as failed instead of hanging the tool. So a read takes at most
    // 65,536 pages.
    if (Cancelled()) return false;
    std::bitset<65536> sent;
    sent.set(0);
    // A send that fails shows as a reply that does not come, and the request goes once more.
    QByteArray awaited = request(0);
    link_.Send(awaited);
    for (;;) {
        const protocol::Reply reply =
            protocol::ReceiveRead(link_, awaited, protocol::kPagedReplyMinimum);
        if (!reply.ok) return false;
        const protocol::Page page = protocol::PageOf(reply.bytes);
        const auto cursor = static_cast<std::size_t>(page.cursor);
        // The next page is asked for before this one is handled, so that the scale prepares it
        // meanwhile.
        // Cancelled: this page is the last handled, and the owner counts as not read.
        const bool fresh = cursor != 0 && !sent.test(cursor) && !Cancelled();
        if (fresh) {
            sent.set(cursor);
            awaited = request(page.cursor);
            link_.Send(awaited);
        }
        handle(page.count, page.data);
        if (cursor == 0) return true;
        if (!fresh) return false;
    }
}

bool NetworkReader::Lee_Estructura(int scale) {
    QString currentMenu;
    bool inScaleMenu = false;  // else a system menu, when there is a current menu
    bool skipping = false;
    int menuSerial = 0;

    const auto request = [&](int cursor) { return protocol::StructureRequest(scale, cursor); };
    const auto handle = [&](int count, QByteArrayView data) {
        const qsizetype lastNonSpace = protocol::LastNonSpace(data);
        qsizetype pos = 0;
        for (int r = 0; r < count && pos < data.size(); ++r) {
            protocol::StructureRecord record =
                protocol::DecodeStructureRecord(data, pos, lastNonSpace);
            // This marker ends what the reply has to say.
            if (record.text.contains(QStringLiteral("Paq  igur"))) return;
            pos = record.next;

            const int code = record.code;
            if (code == protocol::kScaleMenu || code == protocol::kScaleMenuHard ||
                code == protocol::kSystemMenu) {
                const bool ours = (code == protocol::kSystemMenu) == (scale == 0);
                skipping = !ours;
                if (!ours) continue;
                ++menuSerial;
                const QString key =
                    scale == 0 ? keys::SystemMenu(menuSerial) : keys::ScaleMenu(scale, menuSerial);
                const QString parent = scale == 0 ? keys::kSystem : keys::Scale(scale);
                const QString image = code == protocol::kScaleMenuHard ? QStringLiteral("hard")
                                                                       : QStringLiteral("menu");
                model_.AddNode(parent, key, record.text, image,
                               scale == 0 ? NodeKind::SystemMenu : NodeKind::ScaleMenu, scale);
                currentMenu = key;
                inScaleMenu = scale != 0;
                model_.AppendMenu({scale, record.id, record.text, key});
                continue;
            }
            if (skipping) continue;

            ItemRow item;
            item.owner = scale;
            item.id = record.id;
            item.type = code;
            item.order = record.order;
            item.length = record.length;
            item.text = record.text;
            item.options = std::move(record.options);
            item.menuKey = currentMenu;
            // An item before any menu has no node.
            if (!currentMenu.isEmpty()) {
                item.key = inScaleMenu ? keys::ScaleItem(scale, model_.NextScaleItemSerial())
                                       : keys::SystemItem(model_.NextSystemItemSerial());
                model_.AddNode(currentMenu, item.key, item.text,
                               item.order < kFirstReadOnlyOrder ? QStringLiteral("valor")
                                                                : QStringLiteral("valorno"),
                               inScaleMenu ? NodeKind::ScaleItem : NodeKind::SystemItem, scale);
            }
            model_.AppendItem(std::move(item));
        }
    };
    return ReadPages(request, handle);
}

bool NetworkReader::Lee_Valores(int scale) {
    const auto request = [&](int cursor) { return protocol::ValuesRequest(scale, cursor); };
    // An item's node text grows with each of its entries (an ID sent twice shows both values).
    // The texts are built here and set once when the read ends, so that entries a scale repeats
    // cost no more than their bytes.
    std::vector<std::pair<int, QString>> texts;  // node, text, in the order first touched
    if (textSlot_.size() < model_.Nodes().size()) textSlot_.resize(model_.Nodes().size(), 0);
    const auto handle = [&](int count, QByteArrayView data) {
        qsizetype pos = 0;
        for (int e = 0; e < count && pos < data.size(); ++e) {
            const protocol::ValueEntry entry = protocol::DecodeValueEntry(data, pos);
            // Without a known layout the entries after this one cannot be found.
            if (entry.length == 0) return;
            pos += entry.length;

            const int row = model_.FindItem(scale, entry.id);
            if (row < 0) continue;
            ItemRow& item = model_.Item(row);
            StoreRead(item, entry.value, entry.bytes);
            const int node = item.node;
            if (node < 0) continue;
            std::size_t& slot = textSlot_[static_cast<std::size_t>(node)];
            if (slot == 0) {
                texts.emplace_back(node, model_.Node(node).text);
                slot = texts.size();
            }
            QString& text = texts[slot - 1].second;
            if (const std::optional<QString> shown = ShownValue(item)) {
                text = ItemNodeText(text, shown);
            } else {
                text.clear();
            }
        }
    };
    const bool ok = ReadPages(request, handle);
    for (auto& [node, text] : texts) {
        textSlot_[static_cast<std::size_t>(node)] = 0;
        model_.SetNodeText(node, std::move(text));
    }
    return ok;
}

}  // namespace cfg
