#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "transports/linkcomponent.h"
#include "transports/testpeers.h"

namespace cfgtest {

enum class Transport { Tcp, Pty };

// A link connected to a scripted peer over loopback TCP or over a pseudo-terminal (reached as
// COM7 through CFGTARASCOPE_COM7, with parity E, which the pty refuses and the link ignores).
class LinkFixture : public ::testing::TestWithParam<Transport> {
  protected:
    static constexpr int kCom = 7;

    void TearDown() override { qunsetenv("CFGTARASCOPE_COM7"); }

    void StartPeer(PeerScript script) {
        if (GetParam() == Transport::Tcp) {
            tcp_ = std::make_unique<TcpPeer>(std::move(script));
            ASSERT_TRUE(tcp_->listening());
            linkType_ = cfg::ScaleLink::Tcp;
            text_ = QStringLiteral("127.0.0.1:%1").arg(tcp_->port());
        } else {
            pty_ = std::make_unique<PtyPeer>(std::move(script));
            ASSERT_TRUE(pty_->ok());
            qputenv("CFGTARASCOPE_COM7", pty_->slavePath().toLocal8Bit());
            linkType_ = cfg::ScaleLink::Serial;
            text_ = QStringLiteral("19200,E,8,%1").arg(kCom);
        }
        ASSERT_EQ(link_.Connect(0, linkType_, text_), cfg::LinkComponent::kOk)
            << link_.LastError().toStdString();
    }

    PeerLog& peer() {
        if (tcp_) return *tcp_;
        return *pty_;
    }

    // The connection a request arrived on, or 0 on a pty where there is no such thing.
    int ConnectionOf(size_t request) {
        const auto requests = peer().Requests();
        if (!tcp_ || request >= requests.size()) return 0;
        return requests[request].connection;
    }

    std::unique_ptr<TcpPeer> tcp_;
    std::unique_ptr<PtyPeer> pty_;
    int linkType_ = 0;
    QString text_;
    cfg::LinkComponent link_;  // last: closed before the peers go
};

inline std::string TransportName(const ::testing::TestParamInfo<Transport>& info) {
    return info.param == Transport::Tcp ? "Tcp" : "Pty";
}

}  // namespace cfgtest
