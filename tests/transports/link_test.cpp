// Exchanges both transports must carry alike: a link against a scripted peer over loopback TCP
// and over a pseudo-terminal.
#include <gtest/gtest.h>

#include <QSemaphore>

#include "link/tools.h"
#include "support/testsupport.h"
#include "transports/linkfixture.h"

namespace cfgtest {
namespace {

using cfg::LinkComponent;

class LinkExchange : public LinkFixture {};

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
        EXPECT_EQ(reply, Pattern(c.reply, static_cast<int>(c.request)));
        EXPECT_EQ(peer().Requests().back().frame, request);
    }
    EXPECT_EQ(ConnectionOf(peer().Requests().size() - 1), tcp_ ? 1 : 0);
}

TEST_P(LinkExchange, RepliesWithCarriageReturnsArriveUnchanged) {
    // A reply with CR bytes in header and data; the peer sends it once with the CRs replaced
    // by a stand-in m at byte 5 and once with m = CR itself.
    // The pattern holds every byte value; 'A' is freed to serve as the stand-in.
    QByteArray original = Pattern(300, 1);
    original.replace('A', '\x00');
    for (qsizetype at : {0, 4, 9, 10, 150, 299}) original[at] = '\x0D';
    const char m = 'A';
    QByteArray escaped = original;
    escaped.replace('\x0D', m);
    ASSERT_EQ(escaped[4], m);

    StartPeer([&](const PeerRequest& request) {
        return PeerAnswer{Frame(request.frame == "esc" ? escaped : original)};
    });
    QByteArray reply;
    ASSERT_EQ(link_.Transact("esc", reply), LinkComponent::kOk) << link_.LastError().toStdString();
    EXPECT_EQ(reply, escaped);
    EXPECT_EQ(cfg::Desescapa_Respuesta(reply), original);
    ASSERT_EQ(link_.Transact("raw", reply), LinkComponent::kOk) << link_.LastError().toStdString();
    EXPECT_EQ(reply, original);
    EXPECT_EQ(cfg::Desescapa_Respuesta(reply), original);
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
// its answer.
TEST_P(LinkExchange, FailedExchangesReportTheirCauseAndTheLinkRecovers) {
    struct Case {
        const char* name;
        QByteArray bad;  // what the peer sends to the first request of the pair
        int code;
    };
    const Case cases[] = {
        {"silent peer", {}, LinkComponent::kReplyTimeout},
        {"length 0", Bytes({0x00, 0x00}), LinkComponent::kMalformedFrame},
        {"length 0 then data", Bytes({0x00, 0x00, 0x02, 0x00, 'o', 'k'}),
         LinkComponent::kMalformedFrame},
        {"half a header", Bytes({0x05}), LinkComponent::kReplyTimeout},
        {"short body", Bytes({0x0A, 0x00, 1, 2, 3, 4}), LinkComponent::kReplyTimeout},
    };
    StartPeer([&](const PeerRequest& request) {
        if (request.frame.startsWith("bad")) return PeerAnswer{cases[request.frame[3] - '0'].bad};
        return PeerAnswer{Frame("answer to " + request.frame)};
    });
    link_.Configure(1);
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const Case& c = cases[i];
        QByteArray reply("stale");
        EXPECT_EQ(link_.Transact("bad" + QByteArray::number(i), reply), c.code) << c.name;
        EXPECT_TRUE(reply.isEmpty()) << c.name;
        const QByteArray good = "good" + QByteArray::number(i);
        ASSERT_EQ(link_.Transact(good, reply), LinkComponent::kOk)
            << c.name << ": " << link_.LastError().toStdString();
        EXPECT_EQ(reply, "answer to " + good) << c.name;
        // On TCP the good request came on a fresh connection: the failed one was dropped.
        const size_t last = peer().Requests().size() - 1;
        EXPECT_EQ(ConnectionOf(last), tcp_ ? i + 2 : 0) << c.name;
    }
}

TEST_P(LinkExchange, LateReplyIsNeverTakenForTheNextAnswer) {
    QSemaphore late;
    StartPeer([&](const PeerRequest& request) {
        if (request.frame == "first") return PeerAnswer{Frame("late first"), 0, 0, &late};
        return PeerAnswer{Frame("second")};
    });
    link_.Configure(1);
    QByteArray reply;
    EXPECT_EQ(link_.Transact("first", reply), LinkComponent::kReplyTimeout);
    late.release();
    peer().WaitAnswered(1);  // the late reply has gone out (or was refused by a closed end)
    ASSERT_EQ(link_.Transact("next", reply), LinkComponent::kOk) << link_.LastError().toStdString();
    EXPECT_EQ(reply, "second");
    // On TCP the abandoned connection is never used again, whenever a late reply may come.
    EXPECT_EQ(ConnectionOf(1), tcp_ ? 2 : 0);
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
    EXPECT_EQ(ConnectionOf(1), tcp_ ? 1 : 0);  // no failure, no reconnection
}

TEST_P(LinkExchange, RequestsThatCannotBeFramedAreRefusedAndTheLinkStaysUp) {
    StartPeer([](const PeerRequest& request) { return PeerAnswer{Frame(request.frame)}; });
    QByteArray reply("stale");
    EXPECT_EQ(link_.Transact(QByteArray(), reply), LinkComponent::kBadRequest);
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_EQ(link_.Transact(QByteArray(65536, 'x'), reply), LinkComponent::kBadRequest);
    ASSERT_EQ(link_.Transact("echo", reply), LinkComponent::kOk);
    EXPECT_EQ(reply, "echo");
    ASSERT_EQ(peer().Requests().size(), 1u);
    EXPECT_EQ(ConnectionOf(0), tcp_ ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, LinkExchange,
                         ::testing::Values(Transport::Tcp, Transport::Pty), TransportName);

}  // namespace
}  // namespace cfgtest
