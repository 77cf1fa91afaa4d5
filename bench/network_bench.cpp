// Reads a large simulated network with the tool and replays the same requests raw against the
// same simulator, then times saving, loading and sending that configuration, the XML reader and
// writer against pugixml on the same file, and the command-line tool from outside.
//
//   build/bench/network_bench [SCALES ITEMS [ROUNDS [PAGE [LATENCY]]]]   (default 60 400 3 8 0)
//
// PAGE is the simulator's records per reply of a paged read, LATENCY its delay before each
// reply in milliseconds (a real scale takes its time).
//
// The simulator runs as its own process (build/bin/cfgtarascope-sim) on loopback, as a server
// scale would. Figures are the best of ROUNDS runs, in milliseconds; the ratios compare runs
// made in the same process, one after the other, and each is printed on its own "ratio" line
// with its goal.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <pugixml.hpp>

#include "benchsupport.h"
#include "core/editing/sendall.h"
#include "core/files/configload.h"
#include "core/files/configsave.h"
#include "core/history/historystore.h"
#include "core/link/trafficlog.h"
#include "core/model/configmodel.h"
#include "core/network/networkreader.h"
#include "core/xml/xmlreader.h"
#include "transports/connectiontext.h"
#include "transports/linkcomponent.h"

namespace {

using namespace cfg;

using benchsupport::BestMs;
using benchsupport::ChildRun;
using benchsupport::ProgramPath;
using benchsupport::Quiet;
using benchsupport::RawReplay;
using benchsupport::RunChild;
using benchsupport::SimProcess;
using benchsupport::WalkAll;
using benchsupport::WalkResult;

// Forwards to the real link and keeps every request, for the raw replay.
class RecordingLink : public ScaleLink {
  public:
    explicit RecordingLink(ScaleLink& inner) : inner_(inner) {}
    int Connect(int r, int t, const QString& text) override { return inner_.Connect(r, t, text); }
    void Configure(int value) override { inner_.Configure(value); }
    int Send(const QByteArray& request) override {
        requests.append(request);
        QElapsedTimer timer;
        timer.start();
        const int result = inner_.Send(request);
        linkNs += timer.nsecsElapsed();
        return result;
    }
    int Receive(QByteArray& reply) override {
        QElapsedTimer timer;
        timer.start();
        const int result = inner_.Receive(reply);
        linkNs += timer.nsecsElapsed();
        replies.append(reply);
        return result;
    }
    QList<QByteArray> requests;
    QList<QByteArray> replies;
    qint64 linkNs = 0;

  private:
    ScaleLink& inner_;
};

// Answers each request with the reply recorded for it, in order: the tool's own work without
// the exchanges.
class ReplayLink : public ScaleLink {
  public:
    ReplayLink(QList<QByteArray> replies) : replies_(std::move(replies)) {}
    int Connect(int, int, const QString&) override { return 0; }
    void Configure(int) override {}
    int Send(const QByteArray&) override { return 0; }
    int Receive(QByteArray& reply) override {
        reply = replies_.value(next_++ % replies_.size());
        return 0;
    }

  private:
    QList<QByteArray> replies_;
    qsizetype next_ = 0;
};

// Every element of a pugixml document with its name, text, attributes and children: what
// WalkAll reads through the tool's reader.
long PugiWalk(const pugi::xml_document& doc) {
    long checksum = 0;
    std::vector<pugi::xml_node> stack{doc.document_element()};
    while (!stack.empty()) {
        const pugi::xml_node node = stack.back();
        stack.pop_back();
        checksum += long(std::strlen(node.name()) + std::strlen(node.child_value()));
        for (const pugi::xml_attribute& a : node.attributes())
            checksum += long(std::strlen(a.name()) + std::strlen(a.value()));
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element) stack.push_back(child), ++checksum;
    }
    return checksum;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int child = benchsupport::RunChildMain(argc, argv); child != -1) return child;
    // The simulator stands for the scales, a machine of their own: it gets a core, and this
    // program and those it starts get another.
    const std::vector<int> cores = benchsupport::AllowedCores();
    if (!cores.empty()) benchsupport::PinTo({cores.front()});
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    benchsupport::Goals goals(args);
    const int scales = args.size() > 2 ? args[1].toInt() : 60;
    const int items = args.size() > 2 ? args[2].toInt() : 400;
    const int rounds = args.size() > 3 ? args[3].toInt() : 3;
    const QString page = args.size() > 4 ? args[4] : QStringLiteral("8");
    const QString latency = args.size() > 5 ? args[5] : QStringLiteral("0");

    SimProcess sim;
    if (!sim.Start(scales, items, page, latency, cores.empty() ? -1 : cores.back())) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const QString& address = sim.address;
    const QString& host = sim.host;
    const quint16 port = sim.port;

    // Tool and raw replay take turns, so that both meet the same machine.
    LinkComponent link;
    if (link.Connect(0, 0, address) != 0) return 1;
    RecordingLink recording(link);
    ConfigModel model;
    Quiet quiet;
    bool rawOk = true;
    double read = 1e300, readRaw = 1e300, readLink = 0;
    QList<QByteArray> readRequests;
    for (int r = 0; r < rounds; ++r) {
        const double tool = BestMs(1, [&] {
            recording.requests.clear();
            recording.replies.clear();
            recording.linkNs = 0;
            static_cast<void>(NetworkReader(recording, model).Lee_Datos(quiet));
        });
        if (tool < read) {
            read = tool;
            readLink = static_cast<double>(recording.linkNs) / 1e6;
        }
        readRequests = recording.requests;
        readRaw =
            std::min(readRaw, BestMs(1, [&] { rawOk &= RawReplay(host, port, readRequests); }));
    }

    // The same reading with every reply at hand: what the tool itself costs. Freeing a model
    // (what the next read's Clear does) is timed apart.
    const QList<QByteArray> readReplies = recording.replies;
    double readWork = 1e300, modelFree = 1e300;
    for (int r = 0; r < rounds; ++r) {
        auto scratch = std::make_unique<ConfigModel>();
        readWork = std::min(readWork, BestMs(1, [&] {
                                ReplayLink replay(readReplies);
                                static_cast<void>(NetworkReader(replay, *scratch).Lee_Datos(quiet));
                            }));
        modelFree = std::min(modelFree, BestMs(1, [&] { scratch.reset(); }));
    }

    // The history: a snapshot of what the read found, the first into an empty database and then
    // again and again, as sends (a read that finds nothing new adds no row); the growth of the
    // file per snapshot that changes one value; the file after 100 snapshots.
    QTemporaryDir dir;
    const QString historyPath = dir.filePath("history.db");
    const QString conn = NormalConnection(0, address);
    const std::vector<Held> held = HeldByNetwork(model);
    QString historyError;
    double firstSnapshot = 0, snapshot = 0, snapshotOneCore = 0;
    qint64 changeBytes = 0, hundredBytes = 0;
    {
        auto history = std::make_unique<HistoryStore>();
        bool ok = true;
        const auto open = [&] {
            const Status opened = history->Open(historyPath);
            if (!opened) historyError = opened.error().text;
            ok &= opened.ok();
        };
        open();
        const auto record = [&](const std::vector<Held>& values) {
            const Result<qint64> id =
                history->Record(SnapshotCause::Send, conn, model, values, SendKind::All);
            if (!id) historyError = id.error().text;
            ok &= id.ok();
        };
        firstSnapshot = BestMs(1, [&] { record(held); });
        // A snapshot follows a read, when the simulator's core is idle: it may use both, as it
        // does outside the benchmark. On one core too, for comparison.
        snapshotOneCore = BestMs(10 * rounds, [&] { record(held); });
        benchsupport::PinTo(cores);
        snapshot = BestMs(10 * rounds, [&] { record(held); });
        if (!cores.empty()) benchsupport::PinTo({cores.front()});
        const auto fileSize = [&] {
            history.reset();  // the last connection closed: the log is in the file
            const qint64 size = QFileInfo(historyPath).size();
            history = std::make_unique<HistoryStore>();
            open();
            return size;
        };
        // Numbers change one by one, each snapshot one more.
        std::vector<Held> changing = held;
        const qint64 before = fileSize();
        constexpr int kChanges = 20;
        for (int c = 0, row = 0; c < kChanges && row < static_cast<int>(held.size()); ++row) {
            if (model.Items()[row].type != kNumber || !held[row].known) continue;
            changing[row].value = QString::number(c + 1000000);
            record(changing);
            ++c;
        }
        changeBytes = (fileSize() - before) / kChanges;
        history.reset();
        QFile::remove(historyPath);
        history = std::make_unique<HistoryStore>();
        open();
        for (int r = 0; r < 100; ++r) record(held);
        hundredBytes = fileSize();
        if (!ok) std::printf("warning: history: %s\n", qPrintable(historyError));
    }

    const QString file = dir.filePath("red.xml");
    const double save = BestMs(rounds, [&] {
        static_cast<void>(Guardar_Datos_Archivo(model, file, true, ScalesInTree(model)));
    });
    TrafficLog nlog(dir.path());
    quiet.log = &nlog;
    const double load =
        BestMs(rounds, [&] { static_cast<void>(Leer_Datos_Archivo(model, file, quiet)); });
    quiet.log = nullptr;

    // The pauses around the grouped items are the scales' pacing, not the tool's work: left out
    // of both sides.
    double send = 1e300, sendRaw = 1e300;
    QList<QByteArray> sendRequests;
    for (int r = 0; r < rounds; ++r) {
        send = std::min(send, BestMs(1, [&] {
                            recording.requests.clear();
                            Command2_Click(recording, model, quiet);
                        }));
        sendRequests = recording.requests;
        sendRaw =
            std::min(sendRaw, BestMs(1, [&] { rawOk &= RawReplay(host, port, sendRequests); }));
    }

    // The XML code against pugixml on the same file.
    pugi::xml_document pugiDoc;
    long pugiSum = 0;
    const QByteArray filePath = QFile::encodeName(file);
    const double pugiParse = BestMs(rounds, [&] {
        pugiDoc.load_file(filePath.constData(), pugi::parse_default, pugi::encoding_latin1);
        pugiSum = PugiWalk(pugiDoc);
    });
    const QByteArray pugiPath = QFile::encodeName(dir.filePath("pugi.xml"));
    const double pugiSave = BestMs(rounds, [&] {
        pugiDoc.save_file(pugiPath.constData(), "    ", pugi::format_default,
                          pugi::encoding_latin1);
    });
    WalkResult walked;
    const double readerWalk = BestMs(rounds, [&] {
        ClsXMLReader reader;
        reader.setDocument(file);
        if (reader.OpenDoc()) walked = WalkAll(reader);
    });

    // The command-line tool from outside, against a raw replay of its requests; the peak memory
    // of a load (a read, then the file matched against it) against a read's.
    const QString cli = ProgramPath("cfgtarascope-cli");
    const QString printed = dir.filePath("tree.txt");
    // A history of this run's own, as a nightly backup meets it: the first read records, the
    // next ones find nothing new. The program folder's would grow with every run of the bench.
    const QStringList history = {QStringLiteral("--history"), dir.filePath("cli-history.db")};
    ChildRun cliRead, cliLoad;
    cliRead.ms = cliLoad.ms = 1e300;
    double cliRaw = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const ChildRun run = RunChild(cli, QStringList{"read", address} + history, printed);
        rawOk &= run.ok;
        if (run.ms < cliRead.ms) cliRead = run;
        cliRaw = std::min(cliRaw, BestMs(1, [&] { rawOk &= RawReplay(host, port, readRequests); }));
        const ChildRun loaded =
            RunChild(cli, QStringList{"load", address, file, "--dry-run"} + history, "/dev/null");
        rawOk &= loaded.ok;
        if (loaded.ms < cliLoad.ms) cliLoad = loaded;
    }

    if (!rawOk) std::printf("warning: a raw replay or a command failed\n");

    std::printf(
        "network: %d scales, %zu menus, %zu items, %lld bytes of file, %s per page, %s ms "
        "latency, the simulator on its own core\n",
        scales, model.Menus().size(), model.Items().size(),
        static_cast<long long>(QFileInfo(file).size()), qPrintable(page), qPrintable(latency));
    std::printf("read      %9.1f ms  (%lld requests)\n", read,
                static_cast<long long>(readRequests.size()));
    std::printf("read raw  %9.1f ms  (best read: %.1f ms in the link)\n", readRaw, readLink);
    std::printf("read work %9.1f ms  (the tool alone, replies at hand)\n", readWork);
    std::printf("model freed %7.1f ms  (the model that read built)\n", modelFree);
    std::printf(
        "snapshot  %9.1f ms  (on one core: %.1f ms; the first, into an empty history: %.1f ms)\n",
        snapshot, snapshotOneCore, firstSnapshot);
    std::printf(
        "history   %9.1f kB per snapshot that changes one value, %.1f MB after 100 snapshots\n",
        static_cast<double>(changeBytes) / 1e3, static_cast<double>(hundredBytes) / 1e6);
    std::printf("save      %9.1f ms\n", save);
    std::printf("load      %9.1f ms  (%ld log lines per load)\n", load, quiet.lines / rounds);
    std::printf("send      %9.1f ms  (%lld requests)\n", send,
                static_cast<long long>(sendRequests.size()));
    std::printf("send raw  %9.1f ms\n", sendRaw);
    std::printf("reader    %9.1f ms  (OpenDoc and a walk of every element: %ld)\n", readerWalk,
                walked.elements);
    std::printf("pugixml   %9.1f ms  (parse and walk; checksum %ld)\n", pugiParse, pugiSum);
    std::printf("pugi save %9.1f ms\n", pugiSave);
    std::printf("cli read  %9.1f ms  (tree printed, from outside; raw replay %.1f ms)\n",
                cliRead.ms, cliRaw);
    const double file2 = 2.0 * static_cast<double>(QFileInfo(file).size());
    std::printf("cli peak  read %.1f MB, load --dry-run %.1f MB, read + 2 x file %.1f MB\n",
                cliRead.peakBytes / 1e6, cliLoad.peakBytes / 1e6,
                (cliRead.peakBytes + file2) / 1e6);
    const double rows = static_cast<double>(model.Items().size());
    std::printf("work per item %.2f us  (read work / items; %.2f us with the model freed)\n",
                readWork * 1e3 / rows, (readWork + modelFree) * 1e3 / rows);
    goals.Ratio("read / raw replay", read / readRaw, 1.3);
    goals.Ratio("read and snapshot / read", (read + snapshot) / read, 1.1);
    goals.Ratio("cli read / raw replay", cliRead.ms / cliRaw, 1.3);
    goals.Ratio("reader / pugixml parse and walk", readerWalk / pugiParse, 2.0);
    goals.Ratio("load / pugixml parse and walk", load / pugiParse, 5.0);
    goals.Ratio("load peak / (read peak + 2 x file)",
                cliLoad.peakBytes / (cliRead.peakBytes + file2), 1.0);
    goals.Ratio("save / pugixml save", save / pugiSave, 2.0);
    goals.Ratio("send / raw replay", send / sendRaw, 1.1);
    return goals.Status();
}
