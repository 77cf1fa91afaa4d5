// Sends the whole configuration of a large simulated network while the simulator drops the line
// and stays silent now and then, and checks item by item that what the tool reports is what the
// simulator took.
//
//   build/bench/soak_bench [SCALES ITEMS [DROP [SILENT [TIMEOUT]]]]   (default 60 400 300 1000 15)
//
// DROP: every connection is closed instead of answering its request DROP + 1; SILENT: every
// SILENT-th request the simulator receives goes unanswered, the connection kept; TIMEOUT: the
// link's Configure() value (n x 200 ms of silence). Every editable item gets a new value first,
// so that what the simulator took shows. The pauses around the grouped items are left out.
// Exits 1 when any item was lost: reported accepted but not in place, in place but not reported
// accepted or unanswered, reported otherwise than the simulator answered, or not reported.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <cmath>
#include <cstdio>

#include "benchsupport.h"
#include "core/common/basic.h"
#include "core/editing/sendall.h"
#include "core/model/configmodel.h"
#include "core/network/networkreader.h"
#include "sim/engine.h"
#include "sim/simnetwork.h"
#include "sim/tcpserver.h"
#include "transports/linkcomponent.h"

namespace {

using namespace cfg;

// A value the item does not hold, within what the scale takes; empty when there is none.
QString NewValue(const ItemRow& item) {
    switch (item.type) {
        case kEnumeration:
            if (item.optionCount() < 2) return {};
            return QString::number((OptionIndex(item).value_or(0) + 1) % item.optionCount());
        case kNumber: {
            const double now = std::floor(LeadingNumber(item.value));
            const double limit = std::pow(10.0, item.length) - 1;
            return QString::number(now + 1 <= limit ? now + 1 : now - 1, 'f', 0);
        }
        case kString:
            return QStringLiteral("S%1").arg(item.id).left(item.length);
        case kDate:
            return item.value == u"01/02/03" ? QStringLiteral("02/02/03")
                                             : QStringLiteral("01/02/03");
        default:
            return {};
    }
}

bool SameValue(const ItemRow& a, const ItemRow& b) {
    if (a.type == kNumber || a.type == kEnumeration)
        return LeadingNumber(a.value) == LeadingNumber(b.value);
    return a.value == b.value;
}

quint64 Key(int owner, int id) {
    return quint64(quint32(owner)) << 32 | quint32(id);
}

bool Read(LinkComponent& link, const QString& address, int timeout, ConfigModel& model) {
    benchsupport::Quiet quiet;
    if (link.Connect(0, ScaleLink::Tcp, address) != 0) return false;
    link.Configure(timeout);
    return NetworkReader(link, model).Lee_Datos(quiet).ok() && model.ReadFailures().empty();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto arg = [&](int i, int fallback) {
        return args.size() > i ? args[i].toInt() : fallback;
    };
    const int scales = arg(1, 60), items = arg(2, 400), drop = arg(3, 300), silent = arg(4, 1000),
              timeout = arg(5, 15);

    sim::EngineOptions options;
    options.faults.dropAfter = drop;
    options.faults.silentEvery = silent;
    sim::Engine engine(sim::GenerateNetwork(scales, items), options);
    sim::TcpServer faulty(engine);
    sim::TcpServer clean(engine, sim::FaultOptions{});
    if (!faulty.Start() || !clean.Start()) return 2;
    const QString faultyAddress = QStringLiteral("127.0.0.1:%1").arg(faulty.port());
    const QString cleanAddress = QStringLiteral("127.0.0.1:%1").arg(clean.port());

    LinkComponent link;
    ConfigModel model;
    if (!Read(link, cleanAddress, timeout, model)) {
        std::fprintf(stderr, "the network could not be read\n");
        return 2;
    }
    const std::vector<ItemRow> before = model.Items();
    for (int row = 0; row < static_cast<int>(before.size()); ++row) {
        ItemRow& item = model.Item(row);
        const QString value = NewValue(item);
        if (item.order < kFirstReadOnlyOrder && item.known && !value.isNull()) item.value = value;
    }

    engine.ClearRequests();
    if (link.Connect(0, ScaleLink::Tcp, faultyAddress) != 0) return 2;
    link.Configure(timeout);
    benchsupport::Quiet quiet;
    QElapsedTimer timer;
    timer.start();
    const SendSummary summary = Command2_Click(link, model, quiet);
    const double seconds = static_cast<double>(timer.elapsed()) / 1000;

    // The simulator's record: whether the last write of each item was answered.
    const QList<QByteArray> requests = engine.Requests();
    const QList<bool> answered = engine.Answered();
    QHash<quint64, bool> lastAnswered;
    int faults = 0;
    for (qsizetype i = 0; i < requests.size(); ++i) {
        faults += answered[i] ? 0 : 1;
        const QByteArray& r = requests[i];
        if (r.size() < 15 || r[10] != 0x01) continue;
        const int owner = r[2] == 0x02 ? static_cast<unsigned char>(r[3]) : 0;
        const int id = static_cast<unsigned char>(r[13]) | static_cast<unsigned char>(r[14]) << 8;
        lastAnswered.insert(Key(owner, id), answered[i]);
    }

    ConfigModel after;
    if (!Read(link, cleanAddress, timeout, after)) {
        std::fprintf(stderr, "the network could not be read back\n");
        return 2;
    }
    int editable = 0, lost = 0;
    for (const ItemRow& item : before) editable += item.order < kFirstReadOnlyOrder ? 1 : 0;
    if (static_cast<int>(summary.items.size()) != editable) lost += editable;
    for (const SendOutcome& outcome : summary.items) {
        const ItemRow& sent = model.Items()[outcome.row];
        const ItemRow& now = after.Items()[after.FindItem(sent.owner, sent.id)];
        const bool written = lastAnswered.contains(Key(sent.owner, sent.id));
        const bool tookIt = lastAnswered.value(Key(sent.owner, sent.id));
        const bool inPlace = SameValue(now, sent);
        const bool asBefore = SameValue(now, before[outcome.row]);
        bool right = false;
        switch (outcome.kind) {
            case SendOutcome::Accepted:
                right = tookIt && inPlace;
                break;
            case SendOutcome::Refused:
                right = tookIt && asBefore;
                break;
            case SendOutcome::Unanswered:
                right = written && !tookIt;
                break;
            case SendOutcome::Skipped:
            case SendOutcome::Unchanged:
            case SendOutcome::Cancelled:
                right = !written && asBefore;
                break;
        }
        if (!right) {
            ++lost;
            std::fprintf(stderr, "item %d of %d: reported %d, answered %d, in place %d\n", sent.id,
                         sent.owner, static_cast<int>(outcome.kind), tookIt ? 1 : 0,
                         inPlace ? 1 : 0);
        }
    }

    std::printf(
        "soak: %d scales, %d editable items, drop after %d, silent every %d, timeout %d ms\n",
        scales, editable, drop, silent, timeout * 200);
    std::printf("send: %.1f s, %lld requests, %d faults injected (unanswered requests)\n", seconds,
                static_cast<long long>(requests.size()), faults);
    std::printf("items: %d accepted, %d refused, %d unanswered, %d skipped, %d unchanged\n",
                summary.sent, summary.refused, summary.unanswered, summary.skipped,
                summary.unchanged);
    std::printf("items lost: %d\n", lost);
    return lost == 0 ? 0 : 1;
}
