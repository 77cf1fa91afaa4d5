// Exchanges both transports must carry alike: a link against a scripted peer over loopback TCP
// and over a pseudo-terminal.
#include <gtest/gtest.h>

#include <QSemaphore>
#include <memory>

#include "support/testsupport.h"
#include "transports/linkcomponent.h"
#include "transports/testpeers.h"

namespace cfgtest {
namespace {

using cfg::LinkComponent;

enum class Transport { Tcp, Pty };

// A link connected to a scripted peer over loopback TCP or over a pseudo-terminal (reached as
// COM7 through CFGTARASCOPE_COM7, with parity E, which the pty refuses and the link ignores).
class LinkExchange : public ::testing::TestWithParam<Transport> {
  protected:
    void TearDown() override { qunsetenv("CFGTARASCOPE_COM7"); }

    void StartPeer(PeerScript script) {
        int type = cfg::ScaleLink::Serial;
        QString text = QStringLiteral("19200,E,8,7");
        if (GetParam() == Transport::Tcp) {
            tcp_ = std::make_unique<TcpPeer>(std::move(script));
            ASSERT_TRUE(tcp_->listening());
            type = cfg::ScaleLink::Tcp;
            text = QStringLiteral("127.0.0.1:%1").arg(tcp_->port());
        } else {
            pty_ = std::make_unique<PtyPeer>(std::move(script));
            ASSERT_TRUE(pty_->ok());
            qputenv("CFGTARASCOPE_COM7", pty_->slavePath().toLocal8Bit());
        }
        ASSERT_EQ(link_.Connect(0, type, text), LinkComponent::kOk)
            << link_.LastError().toStdString();
    }

    PeerLog& peer() { return tcp_ ? static_cast<PeerLog&>(*tcp_) : *pty_; }

    // The connection the last request arrived on, or 0 on a pty where there is no such thing.
    int LastConnection() {
        const auto requests = peer().Requests();
        return tcp_ && !requests.empty() ? requests.back().connection : 0;
    }

    std::unique_ptr<TcpPeer> tcp_;
    std::unique_ptr<PtyPeer> pty_;
    LinkComponent link_;  // last: closed before the peers go
};

TEST_P(LinkExchange, CarriesFramesOfEverySizeByteForByte) {
    // Every request is answered with a pattern of the size it names in its first two bytes.
    StartPeer([](const PeerRequest& request) {
        const qsizetype size =
            static_cast<quint8>(request.frame[0]) |
            (request.frame.size() > 1 ? static_cast<quint8>(request.frame[1]) << 8 : 0);
        return PeerAnswer{Frame(Pattern(size, static_cast<int>(request.frame.size())))};
    });
    struct Case {
        qsizetype request;
        qsizetype reply;
    };
    const Case cases[] = {{1, 1},         {2, 20},        {255, 256}, {256, 255},
                          {60000, 60000}, {65535, 65535}, {3, 1}};
    for (const Case& c : cases) {
        QByteArray request = Pattern(c.request, 11);
        request[0] = static_cast<char>(c.reply & 0xFF);
        if (c.request > 1) request[1] = static_cast<char>(c.reply >> 8);
        QByteArray reply("stale");
        ASSERT_EQ(link_.Transact(request, reply), LinkComponent::kOk)
            << c.request << " / " << c.reply << ": " << link_.LastError().toStdString();
        EXPECT_EQ(reply, Pattern(c.reply, static_cast<int>(c.request))) << c.request;
        EXPECT_EQ(peer().Requests().back().frame, request) << c.request;
    }
    EXPECT_EQ(LastConnection(), tcp_ ? 1 : 0);
}

TEST_P(LinkExchange, ReplyTimeoutCountsSilenceNotTheWholeReply) {
    // 400 ms of allowed silence; the reply trickles in over about 700 ms with 100 ms pauses.
    const QByteArray body = Pattern(62, 5);
    StartPeer([&](const PeerRequest&) { return PeerAnswer{Frame(body), 8, 100}; });
    link_.Configure(2);
    QByteArray reply;
    ASSERT_EQ(link_.Transact("slow", reply), LinkComponent::kOk) << link_.LastError().toStdString();
    EXPECT_EQ(reply, body);
}

// A failed exchange reports its cause, and the next Transact opens the link again and gets
// its own answer, never a late one to the failed request.
TEST_P(LinkExchange, FailedExchangesReportTheirCauseAndTheLinkRecovers) {
    struct Case {
        const char* name;
        QByteArray bad;  // what the peer sends to the first request of the pair
        int code;
        bool late;  // sent only once the link has given up
    };
    const Case cases[] = {
        {"late reply", Frame("late"), LinkComponent::kReplyTimeout, true},
        {"length 0", Bytes({0x00, 0x00}), LinkComponent::kMalformedFrame, false},
        {"length 0 then data", Bytes({0x00, 0x00, 0x02, 0x00, 'o', 'k'}),
         LinkComponent::kMalformedFrame, false},
        {"half a header", Bytes({0x05}), LinkComponent::kReplyTimeout, false},
        {"short body", Bytes({0x0A, 0x00, 1, 2, 3, 4}), LinkComponent::kReplyTimeout, false},
    };
    QSemaphore gaveUp;
    StartPeer([&](const PeerRequest& request) {
        if (!request.frame.startsWith("bad"))
            return PeerAnswer{Frame("answer to " + request.frame)};
        const Case& c = cases[request.frame[3] - '0'];
        return PeerAnswer{c.bad, 0, 0, c.late ? &gaveUp : nullptr};
    });
    link_.Configure(1);
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const Case& c = cases[i];
        QByteArray reply("stale");
        EXPECT_EQ(link_.Transact("bad" + QByteArray::number(i), reply), c.code) << c.name;
        EXPECT_TRUE(reply.isEmpty()) << c.name;
        if (c.late) gaveUp.release();
        peer().WaitAnswered(2 * i + 1);  // a late reply has gone out (or met a closed end)
        const QByteArray good = "good" + QByteArray::number(i);
        ASSERT_EQ(link_.Transact(good, reply), LinkComponent::kOk)
            << c.name << ": " << link_.LastError().toStdString();
        EXPECT_EQ(reply, "answer to " + good) << c.name;
        // On TCP the good request came on a fresh connection: the failed one was dropped.
        EXPECT_EQ(LastConnection(), tcp_ ? i + 2 : 0) << c.name;
    }
}

TEST_P(LinkExchange, BytesArrivingBetweenExchangesAreDiscarded) {
    // The first answer is followed by an unsolicited frame in the same write.
    StartPeer([](const PeerRequest& request) {
        if (request.frame == "one") return PeerAnswer{Frame("reply one") + Frame("unsolicited")};
        return PeerAnswer{Frame("reply two")};
    });
    QByteArray reply;
    ASSERT_EQ(link_.Transact("one", reply), LinkComponent::kOk);
    EXPECT_EQ(reply, "reply one");
    peer().WaitAnswered(1);
    ASSERT_EQ(link_.Transact("two", reply), LinkComponent::kOk);
    EXPECT_EQ(reply, "reply two");
    EXPECT_EQ(LastConnection(), tcp_ ? 1 : 0);  // no failure, no reconnection
}

TEST_P(LinkExchange, RequestsThatCannotBeFramedAreRefusedAndTheLinkStaysUp) {
    StartPeer(Echo);
    QByteArray reply("stale");
    EXPECT_EQ(link_.Transact(QByteArray(), reply), LinkComponent::kBadRequest);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_EQ(link_.Transact(QByteArray(65536, 'x'), reply), LinkComponent::kBadRequest);
    ASSERT_EQ(link_.Transact("echo", reply), LinkComponent::kOk);
    EXPECT_EQ(reply, "echo");
    ASSERT_EQ(peer().Requests().size(), 1u);
    EXPECT_EQ(LastConnection(), tcp_ ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, LinkExchange,
                         ::testing::Values(Transport::Tcp, Transport::Pty), [](const auto& test) {
                             return std::string(test.param == Transport::Tcp ? "Tcp" : "Pty");
                         });

}  // namespace
}  // namespace cfgtest
