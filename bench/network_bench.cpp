// Reads a large simulated network with the tool and replays the same requests raw against the
// same simulator, then times saving, loading and sending that configuration.
//
//   build/bench/network_bench [SCALES ITEMS [ROUNDS [PAGE [LATENCY]]]]   (default 60 400 3 8 0)
//
// PAGE is the simulator's records per reply of a paged read, LATENCY its delay before each
// reply in milliseconds (a real scale takes its time).
//
// The simulator runs as its own process (build/bin/cfgtarascope-sim) on loopback, as a server
// scale would. Figures are the best of ROUNDS runs, in milliseconds; the ratios compare runs
// made in the same process, one after the other.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "benchsupport.h"
#include "core/editing/sendall.h"
#include "core/files/configload.h"
#include "core/files/configsave.h"
#include "core/link/trafficlog.h"
#include "core/model/configmodel.h"
#include "core/network/networkreader.h"
#include "transports/linkcomponent.h"

namespace {

using namespace cfg;

using benchsupport::Quiet;

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

// The least a client can do: frame each request, read each reply frame whole.
bool RawReplay(const QString& host, quint16 port, const QList<QByteArray>& requests) {
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(5000)) return false;
    for (const QByteArray& request : requests) {
        const auto n = static_cast<quint16>(request.size());
        QByteArray frame;
        frame.append(static_cast<char>(n & 0xFF)).append(static_cast<char>(n >> 8)).append(request);
        socket.write(frame);
        while (socket.bytesAvailable() < 2)
            if (!socket.waitForReadyRead(5000)) return false;
        const QByteArray head = socket.read(2);
        const int length = static_cast<unsigned char>(head[0]) | static_cast<unsigned char>(head[1])
                                                                     << 8;
        while (socket.bytesAvailable() < length)
            if (!socket.waitForReadyRead(5000)) return false;
        socket.read(length);
    }
    return true;
}

double Best(int rounds, const std::function<void()>& run) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int scales = args.size() > 2 ? args[1].toInt() : 60;
    const int items = args.size() > 2 ? args[2].toInt() : 400;
    const int rounds = args.size() > 3 ? args[3].toInt() : 3;
    const QString page = args.size() > 4 ? args[4] : QStringLiteral("8");
    const QString latency = args.size() > 5 ? args[5] : QStringLiteral("0");

    QProcess sim;
    sim.setProgram(QDir(app.applicationDirPath()).filePath("../bin/cfgtarascope-sim"));
    sim.setArguments({"--generate", QString("%1,%2").arg(scales).arg(items), "--max-seconds", "900",
                      "--page-size", page, "--latency", latency});
    sim.start();
    QString address;
    while (address.isEmpty() && sim.waitForReadyRead(10000)) {
        const QString line = QString::fromUtf8(sim.readLine()).trimmed();
        if (line.startsWith("listening on ")) address = line.mid(13);
    }
    if (address.isEmpty()) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const QString host = address.section(':', 0, 0);
    const auto port = static_cast<quint16>(address.section(':', 1).toUInt());

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
        const double tool = Best(1, [&] {
            recording.requests.clear();
            recording.replies.clear();
            recording.linkNs = 0;
            NetworkReader(recording, model).Lee_Datos(quiet);
        });
        if (tool < read) {
            read = tool;
            readLink = static_cast<double>(recording.linkNs) / 1e6;
        }
        readRequests = recording.requests;
        readRaw = std::min(readRaw, Best(1, [&] { rawOk &= RawReplay(host, port, readRequests); }));
    }

    // The same reading with every reply at hand: what the tool itself costs.
    const QList<QByteArray> readReplies = recording.replies;
    const double readWork = Best(rounds, [&] {
        ConfigModel scratch;
        ReplayLink replay(readReplies);
        NetworkReader(replay, scratch).Lee_Datos(quiet);
    });

    QTemporaryDir dir;
    const QString file = dir.filePath("red.xml");
    const double save =
        Best(rounds, [&] { Guardar_Datos_Archivo(model, file, true, ScalesInTree(model)); });
    TrafficLog nlog(dir.path());
    quiet.log = &nlog;
    const double load = Best(rounds, [&] { Leer_Datos_Archivo(model, file, quiet); });
    quiet.log = nullptr;

    // The pauses around the grouped items are the scales' pacing, not the tool's work: left out
    // of both sides.
    double send = 1e300, sendRaw = 1e300;
    QList<QByteArray> sendRequests;
    for (int r = 0; r < rounds; ++r) {
        send = std::min(send, Best(1, [&] {
                            recording.requests.clear();
                            Command2_Click(recording, model, quiet);
                        }));
        sendRequests = recording.requests;
        sendRaw = std::min(sendRaw, Best(1, [&] { rawOk &= RawReplay(host, port, sendRequests); }));
    }
    if (!rawOk) std::printf("warning: a raw replay lost its reply\n");

    std::printf(
        "network: %d scales, %zu menus, %zu items, %lld bytes of file, %s per page, %s ms "
        "latency\n",
        scales, model.Menus().size(), model.Items().size(),
        static_cast<long long>(QFileInfo(file).size()), qPrintable(page), qPrintable(latency));
    std::printf("read      %9.1f ms  (%lld requests)\n", read,
                static_cast<long long>(readRequests.size()));
    std::printf("read raw  %9.1f ms  ratio %.2f  (best read: %.1f ms in the link)\n", readRaw,
                read / readRaw, readLink);
    std::printf("read work %9.1f ms  (the tool alone, replies at hand)\n", readWork);
    std::printf("save      %9.1f ms\n", save);
    std::printf("load      %9.1f ms  (%ld log lines per load)\n", load, quiet.lines / rounds);
    std::printf("send      %9.1f ms  (%lld requests)\n", send,
                static_cast<long long>(sendRequests.size()));
    std::printf("send raw  %9.1f ms  ratio %.2f\n", sendRaw, send / sendRaw);
    sim.terminate();
    sim.waitForFinished(3000);
    return 0;
}
