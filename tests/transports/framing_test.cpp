#include "transports/framing.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTcpSocket>

#include "transports/testpeers.h"

namespace cfgtest {
namespace {

using cfg::FrameResult;
const auto kNeverGone = [] { return false; };

class FrameHeader : public ::testing::TestWithParam<std::pair<qsizetype, QByteArray>> {};

// Written with its length before it, and read back exactly, leaving what follows.
TEST_P(FrameHeader, IsTheLittleEndianLength) {
    const auto& [size, header] = GetParam();
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ASSERT_EQ(cfg::WriteFrame(buffer, Pattern(size, 1), 1000, kNeverGone), FrameResult::Ok);
    EXPECT_EQ(buffer.data(), header + Pattern(size, 1));
    buffer.write("next");
    buffer.seek(0);
    QByteArray frame;
    ASSERT_EQ(cfg::ReadFrame(buffer, frame, 1000, kNeverGone), FrameResult::Ok);
    EXPECT_EQ(frame, Pattern(size, 1));
    EXPECT_EQ(buffer.pos(), 2 + size);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FrameHeader,
                         ::testing::Values(std::pair{qsizetype(1), Bytes({0x01, 0x00})},
                                           std::pair{qsizetype(255), Bytes({0xFF, 0x00})},
                                           std::pair{qsizetype(256), Bytes({0x00, 0x01})},
                                           std::pair{qsizetype(0x1234), Bytes({0x34, 0x12})},
                                           std::pair{qsizetype(65535), Bytes({0xFF, 0xFF})}));

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
