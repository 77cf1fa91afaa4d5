#pragma once

#include <gtest/gtest.h>

#include <QByteArray>

#include "core/protocol/tools.h"
#include "sim/engine.h"
#include "sim/simnetwork.h"
#include "sim/tcpserver.h"
#include "support/testsupport.h"

namespace simtest {

using cfgtest::Bytes;

// The ten header bytes of a request for a destination (bytes 3 and 4), then the function code.
inline QByteArray Request(int dest1, int dest2, int function) {
    return cfgtest::Request(dest1 << 8 | dest2, Bytes({function}));
}

// The reply as a client reads it, after checking that no CR was left beside another stand-in.
inline QByteArray Undo(const QByteArray& wire) {
    if (wire.size() < 5) {
        ADD_FAILURE() << "reply of " << wire.size() << " bytes";
        return wire;
    }
    if (wire[4] != '\r') {
        EXPECT_EQ(wire.count('\r'), 0) << "a CR beside stand-in " << int(wire[4]);
    }
    return cfg::Desescapa_Respuesta(wire);
}

// A small network whose replies the tests spell out byte by byte: the system has every kind of
// item, the shared structure the group 152..157 and a signed number.
inline cfg::sim::Network SmallNetwork() {
    using namespace cfg::sim;
    using B = QByteArray;
    Network n;
    n.system = {{1, kSystemMenu, 0, 0, "Gen", {}, 0, false, {}},
                {13, kEnumeration, 1, 2, "Id", {B("No"), B("S\xA1")}, 0, false, {1, {}}},
                {2, kNumber, 2, 3, "Tara", {}, '2', false, {1234, {}}},
                {3, kString, 3, 4, "Nom", {}, 0, false, {0, "ab"}},
                {4, kDate, 4, 8, "Fecha", {}, 0, false, {0, "311299"}},
                {5, kNumber, 120, 3, "RO", {}, 0, false, {-1, {}}}};
    n.shared = {{1, kScaleMenu, 0, 0, "Bal", {}, 0, false, {}},
                {20, kNumber, 7, 2, "Despl", {}, 0, true, {}}};
    for (int i = 0; i < 6; ++i)
        n.shared.insert(1 + i,
                        {152 + i, kString, i + 1, 4, "L", {}, 0, false, {0, B(1, char('a' + i))}});
    n.scales = {{5, 2, B("\x00\x0A\x1B\x2C\x3D\x4E", 6), {}},
                {9, 0, B("\x01\x02\x03\x04\x05\x06", 6), {}}};
    return n;
}

// A simulated network served on loopback, on `port` or a free one.
struct Served {
    explicit Served(cfg::sim::Network network, cfg::sim::FaultOptions faults = {}, quint16 port = 0)
        : engine(std::move(network), {8, std::move(faults), {}}), server(engine) {
        EXPECT_TRUE(server.Start(port));
    }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(server.port()); }
    // The write requests received, in order.
    QList<QByteArray> Writes() const {
        QList<QByteArray> writes = engine.Requests();
        writes.removeIf([](const QByteArray& r) { return r.size() <= 10 || r[10] != 0x01; });
        return writes;
    }
    cfg::sim::Engine engine;
    cfg::sim::TcpServer server;
};

}  // namespace simtest
