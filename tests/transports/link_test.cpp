// Exchanges both transports must carry alike: a link against a scripted peer over loopback TCP
// and over a pseudo-terminal (COM7 through CFGTARASCOPE_COM7, parity E, which a pty refuses
// and the link ignores).
#include <gtest/gtest.h>

#include <QTcpSocket>
#include <memory>

#include "transports/framing.h"
#include "transports/linkcomponent.h"
#include "transports/testpeers.h"

namespace cfgtest {
namespace {

using cfg::LinkComponent;

class LinkExchange : public ::testing::TestWithParam<Peer::Kind> {
  protected:
    void TearDown() override { qunsetenv("CFGTARASCOPE_COM7"); }
    void StartPeer(PeerScript script) {
        peer_ = std::make_unique<Peer>(GetParam(), std::move(script));
        ASSERT_FALSE(peer_->path.isEmpty());
        qputenv("CFGTARASCOPE_COM7", peer_->path.toLocal8Bit());
        const bool tcp = GetParam() == Peer::Tcp;
        ASSERT_EQ(link_.Connect(0, tcp ? LinkComponent::Tcp : LinkComponent::Serial,
                                tcp ? peer_->path : "19200,E,8,7"),
                  LinkComponent::kOk);
    }
    // The connection the last request came on, against the one expected on TCP (a pty has one).
    void ExpectConnection(int tcp) const {
        EXPECT_EQ(peer_->Requests().back().connection, GetParam() == Peer::Tcp ? tcp : 1);
    }

    std::unique_ptr<Peer> peer_;
    LinkComponent link_;  // closed before the peer goes
};

TEST_P(LinkExchange, CarriesFramesOfEverySizeByteForByte) {
    // Each request is answered with a pattern of the size its first two bytes name.
    StartPeer([](const PeerRequest& r) {
        const qsizetype size =
            uchar(r.frame[0]) | (r.frame.size() > 1 ? uchar(r.frame[1]) << 8 : 0);
        return PeerAnswer{Frame(Pattern(size, static_cast<int>(r.frame.size())))};
    });
    const std::pair<qsizetype, qsizetype> cases[] = {{1, 1},     {2, 20},        {255, 256},
                                                     {256, 255}, {65535, 65535}, {3, 1}};
    for (const auto& [request, reply] : cases) {
        QByteArray sent = Pattern(request, 11);
        sent[0] = static_cast<char>(reply & 0xFF);
        if (request > 1) sent[1] = static_cast<char>(reply >> 8);
        QByteArray got("stale");
        ASSERT_EQ(link_.Transact(sent, got), LinkComponent::kOk)
            << request << ": " << link_.LastError().toStdString();
        EXPECT_EQ(got, Pattern(reply, static_cast<int>(request)));
        EXPECT_EQ(peer_->Requests().back().frame, sent);
    }
    ExpectConnection(1);
}

TEST_P(LinkExchange, ReplyTimeoutCountsSilenceNotTheWholeReply) {
    // 400 ms of allowed silence; the reply trickles in over about 700 ms with 100 ms pauses.
    StartPeer([](const PeerRequest&) { return PeerAnswer{Frame(Pattern(62, 5)), 8, 100}; });
    link_.Configure(2);
    QByteArray reply;
    ASSERT_EQ(link_.Transact("slow", reply), LinkComponent::kOk) << link_.LastError().toStdString();
    EXPECT_EQ(reply, Pattern(62, 5));
}

// A failed exchange reports its cause, and the next Transact opens the link again and gets its
// own answer, never a late one to the failed request; bytes between exchanges are dropped; a
// request that cannot be framed is refused and leaves the link up.
TEST_P(LinkExchange, FailuresReportTheirCauseAndTheLinkRecovers) {
    struct Case {
        const char* name;
        QByteArray bad;  // the answer to the first request of the pair
        int code;
        bool late = false;  // sent only once the link has given up
    };
    const Case cases[] = {
        {"late reply", Frame("late"), LinkComponent::kReplyTimeout, true},
        {"length 0", Bytes({0x00, 0x00, 0x02, 0x00, 'o', 'k'}), LinkComponent::kMalformedFrame},
        {"half a header", Bytes({0x05}), LinkComponent::kReplyTimeout},
        {"short body", Bytes({0x0A, 0x00, 1, 2, 3, 4}), LinkComponent::kReplyTimeout},
        {"a frame after the reply", Frame("unsolicited"), LinkComponent::kOk},
    };
    QSemaphore gaveUp;
    StartPeer([&](const PeerRequest& r) {
        if (!r.frame.startsWith("bad")) return PeerAnswer{Frame("answer to " + r.frame)};
        const Case& c = cases[r.frame[3] - '0'];
        const QByteArray bytes = c.code == LinkComponent::kOk ? Frame(r.frame) + c.bad : c.bad;
        return PeerAnswer{bytes, 0, 0, c.late ? &gaveUp : nullptr};
    });
    link_.Configure(1);
    int connection = 1;
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        QByteArray reply("stale");
        const QByteArray bad = "bad" + QByteArray::number(i);
        EXPECT_EQ(link_.Transact(bad, reply), cases[i].code) << cases[i].name;
        EXPECT_EQ(reply, cases[i].code == LinkComponent::kOk ? bad : "") << cases[i].name;
        if (cases[i].late) gaveUp.release();
        peer_->WaitAnswered(2 * i + 1);  // a late reply has gone out (or met a closed end)
        const QByteArray good = "good" + QByteArray::number(i);
        ASSERT_EQ(link_.Transact(good, reply), LinkComponent::kOk)
            << cases[i].name << link_.LastError().toStdString();
        EXPECT_EQ(reply, "answer to " + good) << cases[i].name;
        connection += cases[i].code == LinkComponent::kOk ? 0 : 1;
        ExpectConnection(connection);
    }
    QByteArray reply("stale");
    EXPECT_EQ(link_.Transact(QByteArray(), reply), LinkComponent::kBadRequest);
    EXPECT_EQ(link_.Transact(QByteArray(65536, 'x'), reply), LinkComponent::kBadRequest);
    EXPECT_TRUE(reply.isEmpty());
    ASSERT_EQ(link_.Transact("after", reply), LinkComponent::kOk);
    EXPECT_EQ(peer_->Requests().size(), 2 * std::size(cases) + 1);
    ExpectConnection(connection);
}

INSTANTIATE_TEST_SUITE_P(Transports, LinkExchange, ::testing::Values(Peer::Tcp, Peer::Pty),
                         [](const auto& test) {
                             return std::string(test.param == Peer::Tcp ? "Tcp" : "Pty");
                         });

// A peer that trickles its reply just inside the inactivity time is cut off by the bound on
// the whole reply; the same reply within the bound arrives whole.
TEST(Framing, AWholeReplyIsBoundInTime) {
    Peer peer(Peer::Tcp, [](const PeerRequest&) {
        return PeerAnswer{Frame(Pattern(20, 0)), 1, 30};
    });
    const std::pair<cfg::ReplyTimeBound, cfg::FrameResult> cases[] = {
        {{300, 100}, cfg::FrameResult::TooSlow}, {{5000, 100}, cfg::FrameResult::Ok}};
    for (const auto& [bound, result] : cases) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, peer.port);
        ASSERT_TRUE(socket.waitForConnected(5000));
        ASSERT_EQ(cfg::WriteFrame(socket, "?", 1000, [] { return false; }), cfg::FrameResult::Ok);
        QByteArray frame;
        EXPECT_EQ(cfg::ReadFrame(
                      socket, frame, 1000, [] { return false; }, bound),
                  result);
    }
}

}  // namespace
}  // namespace cfgtest
