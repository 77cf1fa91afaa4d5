#include "sim/tcpserver.h"

#include <QTcpSocket>

#include "sim/simtestsupport.h"
#include "transports/framing.h"

namespace cfg::sim {
namespace {

const QByteArray kReadNetwork = simtest::Request(0, 0, 0x03) + simtest::Bytes({0});

// A client framed as the tool frames.
struct Client {
    bool Connect(quint16 port) {
        socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        return socket.waitForConnected(5000);
    }
    // The reply; false when none came within the time or the peer closed.
    bool Transact(const QByteArray& request, int timeoutMs) {
        QByteArray reply;
        const auto gone = [this] { return socket.state() != QAbstractSocket::ConnectedState; };
        return cfg::WriteFrame(socket, request, 5000, gone) == cfg::FrameResult::Ok &&
               cfg::ReadFrame(socket, reply, timeoutMs, gone) == cfg::FrameResult::Ok;
    }
    bool WaitClosed(int ms) {
        return socket.state() == QAbstractSocket::UnconnectedState ||
               (!socket.waitForReadyRead(ms) &&
                socket.state() == QAbstractSocket::UnconnectedState);
    }
    QTcpSocket socket;
};

TEST(SimFault, CountsPerConnectionAndRecordsEveryRequest) {
    // Of four requests on each of two connections in turn, how many are answered, whether the
    // connection is closed, and how many are recorded per connection (-1: a request may race the
    // close).
    const std::tuple<const char*, FaultOptions, int, bool, int> cases[] = {
        {"none", {}, 4, false, 4},
        {"silent after 2", {.silentAfter = 2, .refusedIds = {}}, 2, false, 3},
        {"close after 1", {.closeAfter = 1, .refusedIds = {}}, 1, true, -1},
        {"close after 0", {.closeAfter = 0, .refusedIds = {}}, 0, true, 1},
        {"drop after 3", {.dropAfter = 3, .refusedIds = {}}, 3, true, 4}};
    for (const auto& [name, faults, answers, closes, recorded] : cases) {
        SCOPED_TRACE(name);
        simtest::Served s(simtest::SmallNetwork(), faults);
        for (int connection = 0; connection < 2; ++connection) {
            Client client;
            ASSERT_TRUE(client.Connect(s.server.port()));
            int answered = 0;
            while (answered < 4 && client.Transact(kReadNetwork, 400)) ++answered;
            EXPECT_EQ(answered, answers);
            EXPECT_EQ(client.WaitClosed(closes ? 5000 : 300), closes);
        }
        if (recorded >= 0) {
            EXPECT_EQ(s.engine.Requests().size(), 2 * recorded);
        }
    }
}

}  // namespace
}  // namespace cfg::sim
