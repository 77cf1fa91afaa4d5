#pragma once

#include <gtest/gtest.h>

#include <QByteArray>

#include "core/protocol/tools.h"
#include "sim/simnetwork.h"
#include "support/testsupport.h"

namespace simtest {

using cfgtest::Bytes;

// The ten header bytes of a request for a destination, then the function code.
inline QByteArray Request(int dest1, int dest2, int function) {
    return Bytes({0x02, 0x7E, dest1, dest2, 0, 0, 0, 0, 0, 0x08, function});
}

inline QByteArray Framed(const QByteArray& frame) {
    return Bytes({static_cast<int>(frame.size() & 0xFF), static_cast<int>(frame.size() >> 8)}) +
           frame;
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

inline cfg::sim::Record Item(int id, int code, int order, int length, const char* text,
                             cfg::sim::Value value = {}) {
    cfg::sim::Record r;
    r.id = id;
    r.code = code;
    r.order = order;
    r.length = length;
    r.text = QByteArray(text);
    r.value = std::move(value);
    return r;
}

// A small network whose replies the tests spell out byte by byte: the system has every kind of
// item, the shared structure the group 152..157 and a signed number.
inline cfg::sim::Network SmallNetwork() {
    using namespace cfg::sim;
    Network n;
    Record yesNo = Item(13, kEnumeration, 1, 2, "Id", {1, {}});
    yesNo.options = {QByteArray("No"), QByteArray("S\xA1")};
    Record tare = Item(2, kNumber, 2, 3, "Tara", {1234, {}});
    tare.divisor = '2';
    n.system = {Item(1, kSystemMenu, 0, 0, "Gen"),
                yesNo,
                tare,
                Item(3, kString, 3, 4, "Nom", {0, "ab"}),
                Item(4, kDate, 4, 8, "Fecha", {0, "311299"}),
                Item(5, kNumber, 120, 3, "RO", {-1, {}})};
    n.shared.append(Item(1, kScaleMenu, 0, 0, "Bal"));
    for (int i = 0; i < 6; ++i)
        n.shared.append(Item(152 + i, kString, i + 1, 4, "L", {0, QByteArray(1, char('a' + i))}));
    Record offset = Item(20, kNumber, 7, 2, "Despl");
    offset.allowNegative = true;
    n.shared.append(offset);
    Scale five{5, 2, QByteArray("\x00\x0A\x1B\x2C\x3D\x4E", 6), {}};
    n.scales = {five, Scale{9, 0, QByteArray("\x01\x02\x03\x04\x05\x06", 6), {}}};
    return n;
}

}  // namespace simtest
