#include "transports/framing.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QHostAddress>
#include <QTcpSocket>

#include "support/testsupport.h"
#include "transports/testpeers.h"

namespace cfgtest {
namespace {

using cfg::FrameResult;

// A buffer never has more bytes coming: a wait on it fails at once.
FrameResult ReadFrom(const QByteArray& wire, QByteArray& frame, qint64* position = nullptr) {
    QBuffer buffer;
    buffer.setData(wire);
    buffer.open(QIODevice::ReadOnly);
    const FrameResult result = cfg::ReadFrame(buffer, frame, 1000, [] { return false; });
    if (position) *position = buffer.pos();
    return result;
}

TEST(Framing, WritesALittleEndianLengthBeforeTheBytes) {
    struct Case {
        QByteArray frame;
        QByteArray header;
    };
    const Case cases[] = {
        {"a", Bytes({0x01, 0x00})},
        {Pattern(255, 0), Bytes({0xFF, 0x00})},
        {Pattern(256, 0), Bytes({0x00, 0x01})},
        {Pattern(0x1234, 0), Bytes({0x34, 0x12})},
        {Pattern(65535, 0), Bytes({0xFF, 0xFF})},
    };
    for (const Case& c : cases) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ASSERT_EQ(cfg::WriteFrame(buffer, c.frame, 1000, [] { return false; }), FrameResult::Ok);
        EXPECT_EQ(buffer.data(), c.header + c.frame) << c.frame.size();
    }
}

TEST(Framing, ReadsExactlyOneFrame) {
    QByteArray frame;
    qint64 position = 0;
    const QByteArray body = Pattern(300, 3);
    ASSERT_EQ(ReadFrom(Frame(body) + "next", frame, &position), FrameResult::Ok);
    EXPECT_EQ(frame, body);
    EXPECT_EQ(position, 302);  // what follows is left for the caller to discard

    ASSERT_EQ(ReadFrom(Frame(Pattern(65535, 1)), frame), FrameResult::Ok);
    EXPECT_EQ(frame, Pattern(65535, 1));
}

// A peer that trickles its reply just inside the inactivity time is cut off by the bound on
// the whole reply; the same reply within the bound arrives whole.
TEST(Framing, AWholeReplyIsBoundInTime) {
    TcpPeer peer([](const PeerRequest&) { return PeerAnswer{Frame(Pattern(20, 0)), 1, 30}; });
    struct Case {
        cfg::ReplyTimeBound bound;
        FrameResult result;
    };
    const Case cases[] = {{{300, 100}, FrameResult::TooSlow}, {{5000, 100}, FrameResult::Ok}};
    for (const Case& c : cases) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, peer.port());
        ASSERT_TRUE(socket.waitForConnected(5000));
        ASSERT_EQ(cfg::WriteFrame(socket, "?", 1000, [] { return false; }), FrameResult::Ok);
        QByteArray frame;
        EXPECT_EQ(cfg::ReadFrame(
                      socket, frame, 1000, [] { return false; }, c.bound),
                  c.result);
    }
}

}  // namespace
}  // namespace cfgtest
