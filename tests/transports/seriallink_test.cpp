// The RS-232 side of the link against a pseudo-terminal peer: how the port is named, settings
// a pty refuses, ports that cannot be opened.
#include <gtest/gtest.h>

#include "support/testsupport.h"
#include "transports/linkcomponent.h"
#include "transports/testpeers.h"

namespace cfgtest {
namespace {

using cfg::LinkComponent;

PeerAnswer Echo(const PeerRequest& request) {
    return PeerAnswer{Frame(request.frame)};
}

class SerialLink : public ::testing::Test {
  protected:
    void TearDown() override {
        qunsetenv("CFGTARASCOPE_COM8");
        qunsetenv("CFGTARASCOPE_COM9");
    }
};

TEST_F(SerialLink, PortNamedByComNumberOrByDevicePath) {
    PtyPeer peer(Echo);
    ASSERT_TRUE(peer.ok());
    qputenv("CFGTARASCOPE_COM8", peer.slavePath().toLocal8Bit());
    // Parity and 7 data bits are refused by a pty: ignored there.
    const QString texts[] = {
        "19200,E,8,8",
        "1200,N,7,8",
        "9600,O,8,8",
        " 19200,E,8,8 ",
        "19200,E,8," + peer.slavePath(),
        "2400,o,7," + peer.slavePath(),
    };
    for (const QString& text : texts) {
        LinkComponent link;
        ASSERT_EQ(link.Connect(0, LinkComponent::Serial, text), LinkComponent::kOk)
            << text.toStdString() << ": " << link.LastError().toStdString();
        QByteArray reply;
        ASSERT_EQ(link.Transact(text.toLatin1(), reply), LinkComponent::kOk) << text.toStdString();
        EXPECT_EQ(reply, text.toLatin1());
    }
}

TEST_F(SerialLink, ConnectRefusalsAndTheirCodes) {
    qputenv("CFGTARASCOPE_COM9", "/nonexistent/tty9");
    struct Case {
        QString text;
        int code;
    };
    const Case cases[] = {
        {"", LinkComponent::kBadText},
        {"19200,E,8", LinkComponent::kBadText},
        {"19200,X,8,1", LinkComponent::kBadText},
        {"19200,E,9,1", LinkComponent::kBadText},
        {"19200,E,8,0", LinkComponent::kBadText},
        {"127.0.0.1:6000", LinkComponent::kBadText},
        {"19200,E,8,9", LinkComponent::kPortNotOpened},
        {"19200,E,8,/nonexistent/ttyUSB0", LinkComponent::kPortNotOpened},
    };
    for (const Case& c : cases) {
        LinkComponent link;
        EXPECT_EQ(link.Connect(0, LinkComponent::Serial, c.text), c.code) << c.text.toStdString();
        QByteArray reply;
        EXPECT_EQ(link.Transact("x", reply), LinkComponent::kNoLink) << c.text.toStdString();
    }
}

TEST_F(SerialLink, FailedConnectIsRetriedWithItsTextByTheNextTransact) {
    qputenv("CFGTARASCOPE_COM9", "/nonexistent/tty9");
    LinkComponent link;
    ASSERT_EQ(link.Connect(0, LinkComponent::Serial, "19200,E,8,9"), LinkComponent::kPortNotOpened);
    QByteArray reply;
    EXPECT_EQ(link.Transact("early", reply), LinkComponent::kNoLink);

    PtyPeer peer(Echo);  // the adapter is plugged in
    ASSERT_TRUE(peer.ok());
    qputenv("CFGTARASCOPE_COM9", peer.slavePath().toLocal8Bit());
    ASSERT_EQ(link.Transact("later", reply), LinkComponent::kOk) << link.LastError().toStdString();
    EXPECT_EQ(reply, "later");
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
