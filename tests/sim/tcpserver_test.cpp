#include "sim/tcpserver.h"

#include <gtest/gtest.h>

#include <QThread>

#include "sim/session.h"
#include "sim/simtestsupport.h"
#include "support/testsupport.h"

using cfgtest::Bytes;

namespace cfg::sim {
namespace {

using simtest::Client;
using simtest::Request;
using simtest::Undo;

const QByteArray kReadNetwork = Request(0, 0, 0x03) + Bytes({0});

// The small network's two scales.
const QByteArray kNetworkReply = Bytes({0x02, 0x7E, 0, 0, 0x0D, 0, 0, 0, 0, 0x08, 2}) +
                                 Bytes({5, 2, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}) +
                                 Bytes({9, 0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});

struct Served {
    explicit Served(FaultOptions faults = {})
        : engine(simtest::SmallNetwork(), EngineOptions{.faults = std::move(faults), .seed = {}}),
          server(engine) {
        QString error;
        started = server.Start(0, QHostAddress::LocalHost, &error);
        EXPECT_TRUE(started) << error.toStdString();
    }
    Engine engine;
    TcpServer server;
    bool started = false;
};

TEST(SimTcpServer, ClientsOneAfterTheOtherAndTogether) {
    Served s;
    ASSERT_TRUE(s.started);
    for (int round = 0; round < 3; ++round) {
        Client client;
        ASSERT_TRUE(client.Connect(s.server.port()));
        const std::optional<QByteArray> reply = client.Transact(kReadNetwork);
        ASSERT_TRUE(reply) << "round " << round;
        EXPECT_EQ(Undo(*reply), kNetworkReply);
    }
    Client a;
    Client b;
    ASSERT_TRUE(a.Connect(s.server.port()));
    ASSERT_TRUE(b.Connect(s.server.port()));
    b.Send(kReadNetwork);
    a.Send(kReadNetwork);
    EXPECT_EQ(Undo(b.Receive().value_or(QByteArray(5, 0))), kNetworkReply);
    EXPECT_EQ(Undo(a.Receive().value_or(QByteArray(5, 0))), kNetworkReply);
    EXPECT_EQ(s.engine.Requests().size(), 5);
}

TEST(SimTcpServer, FramesSplitOrJoinedInTheStream) {
    Served s;
    ASSERT_TRUE(s.started);
    Client client;
    ASSERT_TRUE(client.Connect(s.server.port()));
    const QByteArray values = Request(0, 0, 0x00) + Bytes({0, 0, 0});
    // Two frames in one write, with an empty frame between them that nobody answers.
    client.SendRaw(simtest::Framed(kReadNetwork) + Bytes({0, 0}) + simtest::Framed(values));
    const std::optional<QByteArray> first = client.Receive();
    const std::optional<QByteArray> second = client.Receive();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->at(10), 2);  // the network: two scales
    EXPECT_EQ(Undo(*second).mid(10, 4), Bytes({8, 0, 0, 0}));
    // One frame a byte at a time.
    const QByteArray framed = simtest::Framed(kReadNetwork);
    for (char c : framed) {
        client.SendRaw(QByteArray(1, c));
        QThread::msleep(2);
    }
    const std::optional<QByteArray> third = client.Receive();
    ASSERT_TRUE(third);
    EXPECT_EQ(Undo(*third), kNetworkReply);
    EXPECT_EQ(s.engine.Requests(), (QList<QByteArray>{kReadNetwork, values, kReadNetwork}));
}

TEST(SimTcpServer, AnAbandonedPartialFrameIsDropped) {
    Served s;
    ASSERT_TRUE(s.started);
    Client client;
    ASSERT_TRUE(client.Connect(s.server.port()));
    // A client gave up after three bytes of a frame; later frames are still understood.
    client.SendRaw(simtest::Framed(kReadNetwork).left(3));
    QThread::msleep(Session::kResyncMs + 500);
    const std::optional<QByteArray> reply = client.Transact(kReadNetwork);
    ASSERT_TRUE(reply);
    EXPECT_EQ(Undo(*reply), kNetworkReply);
}

TEST(SimTcpServer, LatencyDelaysEveryReply) {
    FaultOptions faults;
    faults.latencyMs = 600;
    Served s(faults);
    ASSERT_TRUE(s.started);
    Client client;
    ASSERT_TRUE(client.Connect(s.server.port()));
    client.Send(kReadNetwork);
    client.Send(kReadNetwork);
    // Cannot come before the latency; then both come, in order.
    EXPECT_EQ(client.Receive(200), std::nullopt);
    EXPECT_TRUE(client.Receive(5000));
    EXPECT_TRUE(client.Receive(5000));
}

TEST(SimTcpServer, SilentAfterKeepsTheConnectionAndRecords) {
    FaultOptions faults;
    faults.silentAfter = 2;
    Served s(faults);
    ASSERT_TRUE(s.started);
    Client client;
    ASSERT_TRUE(client.Connect(s.server.port()));
    EXPECT_TRUE(client.Transact(kReadNetwork));
    EXPECT_TRUE(client.Transact(kReadNetwork));
    EXPECT_EQ(client.Transact(kReadNetwork, 500), std::nullopt);
    EXPECT_EQ(client.socket().state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(s.engine.Requests().size(), 3);
    // Counted per connection: a client that reconnects is answered again.
    Client again;
    ASSERT_TRUE(again.Connect(s.server.port()));
    EXPECT_TRUE(again.Transact(kReadNetwork));
}

TEST(SimTcpServer, CloseAfterEndsTheConnection) {
    for (int n : {0, 1, 3}) {
        FaultOptions faults;
        faults.closeAfter = n;
        Served s(faults);
        ASSERT_TRUE(s.started);
        for (int connection = 0; connection < 2; ++connection) {
            Client client;
            ASSERT_TRUE(client.Connect(s.server.port()));
            for (int i = 0; i < n; ++i) {
                EXPECT_TRUE(client.Transact(kReadNetwork)) << n << " request " << i;
            }
            if (n == 0) client.Send(kReadNetwork);
            EXPECT_TRUE(client.WaitClosed()) << "close after " << n;
            EXPECT_EQ(client.Receive(100), std::nullopt);
        }
        EXPECT_EQ(s.engine.Requests().size(), 2 * std::max(n, 1));
    }
}

TEST(SimTcpServer, StopsAndStartsAgain) {
    Engine engine(simtest::SmallNetwork());
    TcpServer server(engine);
    ASSERT_TRUE(server.Start());
    const quint16 first = server.port();
    Client connected;
    ASSERT_TRUE(connected.Connect(first));
    server.Stop();
    EXPECT_EQ(server.port(), 0);
    EXPECT_TRUE(connected.WaitClosed());
    ASSERT_TRUE(server.Start());
    Client client;
    ASSERT_TRUE(client.Connect(server.port()));
    EXPECT_TRUE(client.Transact(kReadNetwork));
    // A port in use cannot be listened on twice.
    TcpServer other(engine);
    QString error;
    EXPECT_FALSE(other.Start(server.port(), QHostAddress::LocalHost, &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace cfg::sim
