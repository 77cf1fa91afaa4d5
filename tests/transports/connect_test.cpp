// Connecting either link, and what only one of them has: TCP connections that come and go,
// split exchanges, threads; a serial peer that vanishes. Only 127.0.0.1 is ever contacted.
#include <gtest/gtest.h>

#include <QScopeGuard>

#include "transports/linkcomponent.h"
#include "transports/testpeers.h"

namespace cfgtest {
namespace {

using cfg::LinkComponent;

// A failed Connect is tried again by the next Transact, and fails the same way.
TEST(LinkConnect, GivesItsCodeAndTheNextTransactAgrees) {
    Peer tcp(Peer::Tcp, Echo), pty(Peer::Pty, Echo);
    qputenv("CFGTARASCOPE_COM8", pty.path.toLocal8Bit());
    qputenv("CFGTARASCOPE_COM9", "/nonexistent/tty9");
    const auto unset = qScopeGuard([] {
        qunsetenv("CFGTARASCOPE_COM8");
        qunsetenv("CFGTARASCOPE_COM9");
    });
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(UnusedPort());
    // The link type and text ("tcp" and "pty" stand for the peers' texts, "closed" for a port
    // unused), the code.
    const std::tuple<int, QString, int> cases[] = {
        {0, "tcp", LinkComponent::kOk},
        {0, "localhost:PORT", LinkComponent::kOk},
        {0, "", LinkComponent::kBadText},
        {0, "closed", LinkComponent::kRefused},
        {2, "tcp", LinkComponent::kBadText},
        {1, "19200,E,8,8", LinkComponent::kOk},
        {1, "1200,N,7,8", LinkComponent::kOk},  // a pty refuses 7 bits: ignored
        {1, "2400,o,7,pty", LinkComponent::kOk},
        {1, "tcp", LinkComponent::kBadText},
        {1, "19200,E,8,9", LinkComponent::kPortNotOpened},
        {1, "19200,E,8,/nonexistent/ttyUSB0", LinkComponent::kPortNotOpened}};
    for (auto [type, text, code] : cases) {
        SCOPED_TRACE(QString("%1 %2").arg(type).arg(text).toStdString());
        text.replace("tcp", tcp.path).replace("pty", pty.path);
        text.replace("closed", closed).replace("PORT", QString::number(tcp.port));
        LinkComponent link;
        EXPECT_EQ(link.Connect(0, type, text), code) << link.LastError().toStdString();
        const bool ok = code == LinkComponent::kOk;
        EXPECT_EQ(link.LastError().isEmpty(), ok);
        QByteArray reply;
        EXPECT_EQ(link.Transact("ping", reply), ok ? LinkComponent::kOk : LinkComponent::kNoLink);
        EXPECT_EQ(reply, ok ? "ping" : "");
    }
}

// A reply still owed when the next request goes must not answer it: that one takes a new
// connection.
TEST(TcpLink, ReachesAScaleThatComesUpLaterAndNeverTakesAnOwedReply) {
    const quint16 port = UnusedPort();
    LinkComponent link;
    ASSERT_EQ(link.Connect(0, LinkComponent::Tcp, QStringLiteral("127.0.0.1:%1").arg(port)),
              LinkComponent::kRefused);
    Peer later(Peer::Tcp, Echo, port);
    QByteArray reply;
    ASSERT_EQ(link.Transact("later", reply), LinkComponent::kOk) << link.LastError().toStdString();
    EXPECT_EQ(reply, "later");
    ASSERT_EQ(link.Send("owed"), LinkComponent::kOk);
    later.WaitAnswered(2);
    ASSERT_EQ(link.Transact("next", reply), LinkComponent::kOk);
    EXPECT_EQ(reply + QByteArray::number(later.Requests().back().connection), "next2");
}

// The peer closes instead of replying, halfway through a reply, or after replying while the
// link is idle: each is seen, and the next exchange reaches it on a new connection.
TEST(TcpLink, PeerThatClosesIsReportedAndReachedAgain) {
    Peer peer(Peer::Tcp, [](const PeerRequest& r) {
        const QByteArray bytes = r.frame == "close"  ? ""
                                 : r.frame == "half" ? Bytes({5, 0, 'a'})
                                                     : Frame(r.frame);
        return PeerAnswer{bytes, 0, 0, nullptr, r.frame != "again"};
    });
    LinkComponent link;
    ASSERT_EQ(link.Connect(0, LinkComponent::Tcp, peer.path), LinkComponent::kOk);
    const std::pair<const char*, int> cases[] = {{"close", LinkComponent::kPeerClosed},
                                                 {"half", LinkComponent::kPeerClosed},
                                                 {"idle", LinkComponent::kOk}};
    int connection = 1;
    for (const auto& [request, code] : cases) {
        QByteArray reply;
        EXPECT_EQ(link.Transact(request, reply), code) << request;
        EXPECT_EQ(reply, code == LinkComponent::kOk ? request : "") << request;
        peer.WaitAnswered(2 * connection - 1);  // the peer has closed its end
        // An idle close still on its way fails the exchange as closed; nothing is sent twice.
        int result = link.Transact("again", reply);
        if (result == LinkComponent::kPeerClosed && code == LinkComponent::kOk)
            result = link.Transact("again", reply);
        ASSERT_EQ(result, LinkComponent::kOk) << request << ": " << link.LastError().toStdString();
        EXPECT_EQ(peer.Requests().back().connection, ++connection) << request;
    }
}

TEST(TcpLink, ConfigureSetsTheReplyTimeoutInStepsOf200Ms) {
    EXPECT_EQ(LinkComponent().replyTimeoutMs(), 3000);
    const std::pair<int, int> cases[] = {{1, 200}, {0, 200}, {15, 3000}, {25, 5000}, {26, 5000}};
    for (const auto& [value, ms] : cases) {
        LinkComponent link;
        link.Configure(value);
        EXPECT_EQ(link.replyTimeoutMs(), ms) << value;
    }
}

TEST(SerialLink, VanishedPeerIsReportedAsClosed) {
    Peer peer(Peer::Pty, [](const PeerRequest&) {
        return PeerAnswer{Bytes({4, 0, 'a'}), 0, 0, nullptr, true};
    });
    LinkComponent link;
    ASSERT_EQ(link.Connect(0, LinkComponent::Serial, "19200,N,8," + peer.path), LinkComponent::kOk);
    link.Configure(1);
    QByteArray reply("stale");
    EXPECT_EQ(link.Transact("x", reply), LinkComponent::kPeerClosed);
    EXPECT_TRUE(reply.isEmpty());
}

}  // namespace
}  // namespace cfgtest
