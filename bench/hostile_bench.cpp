// Reads what a hostile or broken scale could send, with the replies at hand, and prints how long
// each takes: the time must grow with the bytes received, not with their square.
//
//   build/bench/hostile_bench [MEGABYTES]   (default 4: each case at 1/4, 1/2 and all of it)
//
// Cases: one value entry repeated page after page; one item record repeated; pages packed with
// enumeration records; a paged read through every cursor; an entry count far beyond the data.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <functional>

#include "benchsupport.h"
#include "core/link/scalelink.h"
#include "core/model/configmodel.h"
#include "core/network/networkreader.h"
#include "core/protocol/tools.h"

namespace {

using namespace cfg;

constexpr int kPage = 65000;  // bytes of entries per reply

QByteArray Le16(int v) {
    return Numero_A_Bytes(v, 2);
}

QByteArray Reply(int count, int cursor, const QByteArray& data) {
    QByteArray reply("\x02\x7E\x00\x00\x0D\x00\x00\x00\x00\x08", 10);
    reply += Le16(count) + Le16(cursor) + data;
    if (reply.size() < 20) reply.append(20 - reply.size(), '\0');
    return reply;
}

// A network without scales whose system answers structure and value pages from functions of
// the cursor.
class HostileLink : public ScaleLink {
  public:
    using Pages = std::function<QByteArray(int cursor)>;
    HostileLink(Pages structure, Pages values)
        : structure_(std::move(structure)), values_(std::move(values)) {}
    int Connect(int, int, const QString&) override { return 0; }
    void Configure(int) override {}
    int Send(const QByteArray& request) override {
        const int function = request[10];
        const int cursor = static_cast<int>(Bytes_A_Numero(request.mid(11, 2)));
        next_ = function == 0x03   ? Reply(0, 0, {})
                : function == 0x02 ? structure_(cursor)
                                   : values_(cursor);
        bytes += next_.size();
        return 0;
    }
    int Receive(QByteArray& reply) override {
        reply = next_;
        return 0;
    }
    qint64 bytes = 0;

  private:
    Pages structure_, values_;
    QByteArray next_;
};

QByteArray Menu() {
    return Le16(1) + QByteArray("\xC9\x00\x00\x04", 4) + "Menu";
}
QByteArray NumberItem(int id) {
    return Le16(id) + QByteArray("\x07\x01\x03\x04", 4) + "Item";
}

// Pages of `pages` replies, each full of `unit`, then one closing page.
HostileLink::Pages Repeated(const QByteArray& first, const QByteArray& unit, int pages) {
    const int count = kPage / static_cast<int>(unit.size());
    const QByteArray data = unit.repeated(count);
    return [=](int cursor) {
        if (cursor == 0) return Reply(1, 1, first);
        return Reply(count, cursor < pages ? cursor + 1 : 0, data);
    };
}

void Run(const char* name, HostileLink::Pages structure, HostileLink::Pages values) {
    HostileLink link(std::move(structure), std::move(values));
    ConfigModel model;
    benchsupport::Quiet quiet;
    QElapsedTimer timer;
    timer.start();
    static_cast<void>(NetworkReader(link, model).Lee_Datos(quiet));
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double mb = static_cast<double>(link.bytes) / 1e6;
    std::printf("%-34s %8.2f MB  %9.1f ms  %7.1f ms/MB  %7zu nodes  %s\n", name, mb, ms, ms / mb,
                model.Nodes().size(), model.ReadFailures().empty() ? "complete" : "in part");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? QByteArray(argv[1]).toInt() : 4;
    const QByteArray structure = Menu() + NumberItem(5);
    const auto oneStructure = [&](int) { return Reply(2, 0, structure); };
    const auto noValues = [](int) { return Reply(0, 0, {}); };
    for (int part : {4, 2, 1}) {
        const int pages = megabytes * 1000000 / kPage / part;
        const QByteArray value = Le16(5) + QByteArray("\x07\x01\x00\x00\x00\x00", 6);
        Run("value entry repeated", oneStructure, Repeated({}, value, pages));
        Run("item record repeated", Repeated(Menu(), NumberItem(5), pages), noValues);
        const QByteArray enumeration = Le16(6) + QByteArray("\x05\x01\x00\x00", 4);
        Run("pages of enumeration records", Repeated(Menu(), enumeration, pages), noValues);
    }
    // Every cursor once, one entry a page; and a count of 65,535 entries with 6 bytes of data.
    const QByteArray value = Le16(5) + QByteArray("\x07\x01\x00\x00\x00\x00", 6);
    Run("65,535 pages, one entry each", oneStructure,
        [&](int cursor) { return Reply(1, (cursor + 1) & 0xFFFF, value); });
    Run("65,535 pages, cursor comes back", oneStructure,
        [&](int cursor) { return Reply(1, cursor < 65535 ? cursor + 1 : 1, value); });
    Run("count far beyond the data", oneStructure,
        [&](int) { return Reply(65535, 0, value.left(6)); });
    return 0;
}
