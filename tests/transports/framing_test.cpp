#include "transports/framing.h"

#include <gtest/gtest.h>

#include <QTcpSocket>

#include "transports/testpeers.h"

namespace cfgtest {
namespace {

using cfg::FrameResult;
const auto kNeverGone = [] { return false; };

// A peer that trickles its reply just inside the inactivity time is cut off by the bound on
// the whole reply; the same reply within the bound arrives whole.
TEST(Framing, AWholeReplyIsBoundInTime) {
    Peer peer(Peer::Tcp, [](const PeerRequest&) {
        return PeerAnswer{Frame(Pattern(20, 0)), 1, 30};
    });
    const std::pair<cfg::ReplyTimeBound, FrameResult> cases[] = {{{300, 100}, FrameResult::TooSlow},
                                                                 {{5000, 100}, FrameResult::Ok}};
    for (const auto& [bound, result] : cases) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, peer.port);
        ASSERT_TRUE(socket.waitForConnected(5000));
        ASSERT_EQ(cfg::WriteFrame(socket, "?", 1000, kNeverGone), FrameResult::Ok);
        QByteArray frame;
        EXPECT_EQ(cfg::ReadFrame(socket, frame, 1000, kNeverGone, bound), result);
    }
}

}  // namespace
}  // namespace cfgtest
