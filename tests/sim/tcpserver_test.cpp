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

struct FaultCase {
    const char* name;
    FaultOptions faults;
    int answered;  // of four requests, on each of two connections in turn
    bool closed;
    int recorded;  // per connection; -1 when a request may race the close
};
class SimFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SimFault, CountsPerConnectionAndRecordsEveryRequest) {
    simtest::Served s(simtest::SmallNetwork(), GetParam().faults);
    for (int connection = 0; connection < 2; ++connection) {
        Client client;
        ASSERT_TRUE(client.Connect(s.server.port()));
        int answered = 0;
        while (answered < 4 && client.Transact(kReadNetwork, 400)) ++answered;
        EXPECT_EQ(answered, GetParam().answered);
        EXPECT_EQ(client.WaitClosed(GetParam().closed ? 5000 : 300), GetParam().closed);
    }
    if (GetParam().recorded >= 0) {
        EXPECT_EQ(s.engine.Requests().size(), 2 * GetParam().recorded);
    }
}

const FaultCase kFaults[] = {
    {"none", {}, 4, false, 4},
    {"silent after 2", {.silentAfter = 2, .refusedIds = {}}, 2, false, 3},
    {"close after 1", {.closeAfter = 1, .refusedIds = {}}, 1, true, -1},
    {"close after 0", {.closeAfter = 0, .refusedIds = {}}, 0, true, 1},
    {"drop after 3", {.dropAfter = 3, .refusedIds = {}}, 3, true, 4},
};
INSTANTIATE_TEST_SUITE_P(Sim, SimFault, ::testing::ValuesIn(kFaults), cfgtest::kByName);

}  // namespace
}  // namespace cfg::sim
