// The RS-232 side of the link against a pseudo-terminal peer.
#include <gtest/gtest.h>

#include "support/testsupport.h"
#include "transports/linkcomponent.h"
#include "transports/testpeers.h"

namespace cfgtest {
namespace {

using cfg::LinkComponent;

class SerialLink : public ::testing::Test {
  protected:
    void TearDown() override {
        qunsetenv("CFGTARASCOPE_COM8");
        qunsetenv("CFGTARASCOPE_COM9");
    }
};

TEST_F(SerialLink, ConnectTextsAndTheirCodes) {
    PtyPeer peer(Echo);
    ASSERT_TRUE(peer.ok());
    qputenv("CFGTARASCOPE_COM8", peer.slavePath().toLocal8Bit());
    qputenv("CFGTARASCOPE_COM9", "/nonexistent/tty9");
    struct Case {
        QString text;
        int code;
    };
    // Parity and 7 data bits are refused by a pty: ignored there.
    const Case cases[] = {
        {"19200,E,8,8", LinkComponent::kOk},
        {"1200,N,7,8", LinkComponent::kOk},
        {"2400,o,7," + peer.slavePath(), LinkComponent::kOk},
        {"", LinkComponent::kBadText},
        {"19200,E,8", LinkComponent::kBadText},
        {"127.0.0.1:6000", LinkComponent::kBadText},
        {"19200,E,8,9", LinkComponent::kPortNotOpened},
        {"19200,E,8,/nonexistent/ttyUSB0", LinkComponent::kPortNotOpened},
    };
    for (const Case& c : cases) {
        LinkComponent link;
        EXPECT_EQ(link.Connect(0, LinkComponent::Serial, c.text), c.code)
            << c.text.toStdString() << ": " << link.LastError().toStdString();
        // A failed Connect is tried again by the next Transact, and fails the same way.
        const bool ok = c.code == LinkComponent::kOk;
        const QByteArray request = "ping " + c.text.toLatin1();
        QByteArray reply;
        EXPECT_EQ(link.Transact(request, reply), ok ? LinkComponent::kOk : LinkComponent::kNoLink)
            << c.text.toStdString();
        EXPECT_EQ(reply, ok ? request : QByteArray()) << c.text.toStdString();
    }
}

TEST_F(SerialLink, VanishedPeerIsReportedAsClosed) {
    PtyPeer peer([](const PeerRequest&) {
        return PeerAnswer{Bytes({0x04, 0x00, 'a'}), 0, 0, nullptr, true};
    });
    ASSERT_TRUE(peer.ok());
    LinkComponent link;
    ASSERT_EQ(link.Connect(0, LinkComponent::Serial, "19200,N,8," + peer.slavePath()),
              LinkComponent::kOk);
    link.Configure(1);
    QByteArray reply("stale");
    EXPECT_EQ(link.Transact("x", reply), LinkComponent::kPeerClosed);
    EXPECT_TRUE(reply.isEmpty());
}

}  // namespace
}  // namespace cfgtest
