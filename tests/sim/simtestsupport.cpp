#include "sim/simtestsupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "core/protocol/tools.h"

namespace simtest {

using namespace cfg::sim;

QByteArray Request(int dest1, int dest2, int function) {
    QByteArray r;
    for (int b : {0x02, 0x7E, dest1, dest2, 0, 0, 0, 0, 0, 0x08, function})
        r.append(static_cast<char>(b));
    return r;
}

QByteArray Undo(const QByteArray& wire) {
    EXPECT_GE(wire.size(), 5);
    if (wire.size() < 5) return wire;
    const char standIn = wire[4];
    if (standIn != '\r') {
        EXPECT_EQ(wire.count('\r'), 0) << "a CR left in a reply whose stand-in is not CR";
    }
    return cfg::Desescapa_Respuesta(wire);
}

QByteArray Framed(const QByteArray& frame) {
    QByteArray out;
    out.append(static_cast<char>(frame.size() & 0xFF));
    out.append(static_cast<char>((frame.size() >> 8) & 0xFF));
    return out + frame;
}

namespace {

Record Item(int id, int code, int order, int length, const char* text, Value value = {}) {
    Record r;
    r.id = id;
    r.code = code;
    r.order = order;
    r.length = length;
    r.text = QByteArray(text);
    r.value = std::move(value);
    return r;
}

}  // namespace

Network SmallNetwork() {
    Network n;
    Record yesNo = Item(13, kEnumeration, 1, 2, "Id", {1, {}});
    yesNo.options = {QByteArray("No"), QByteArray("S\xA1")};
    Record tare = Item(2, kNumber, 2, 3, "Tara", {1234, {}});
    tare.divisor = '2';
    n.system = {Item(7, kString, 0, 5, "Ver", {0, "ab"}),
                Item(1, kSystemMenu, 0, 0, "Gen"),
                yesNo,
                tare,
                Item(3, kString, 3, 4, "Nom", {0, "Pe\xA4\x61"}),
                Item(4, kDate, 4, 8, "Fecha", {0, "311299"}),
                Item(5, kNumber, 120, 3, "RO", {-1, {}}),
                Item(6, kEnumeration, 5, 0, "Modo"),
                Item(2, kScaleMenu, 0, 0, "B"),
                Item(8, kNumber, 1, 2, "X", {13, {}})};

    n.shared.append(Item(1, kScaleMenu, 0, 0, "Bal"));
    for (int i = 0; i < 6; ++i) {
        Record line = Item(152 + i, kString, i + 1, 4, "L", {0, QByteArray(1, char('a' + i))});
        line.text.append(static_cast<char>('1' + i));
        n.shared.append(line);
    }
    Record offset = Item(20, kNumber, 7, 2, "Despl vertical");
    offset.allowNegative = true;
    n.shared.append(offset);
    n.shared.append(Item(3, kHardwareMenu, 0, 0, "Hw"));
    yesNo.value.number = 0;
    n.shared.append(yesNo);

    Scale five{5, 2, QByteArray("\x00\x0A\x1B\x2C\x3D\x4E", 6), {}};
    Scale nine{9, 0, QByteArray("\x01\x02\x03\x04\x05\x06", 6), {}};
    nine.values.insert(152, Value{0, "zz"});
    nine.values.insert(13, Value{1, {}});
    n.scales = {five, nine};
    return n;
}

bool Client::Connect(quint16 port) {
    socket_.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    return socket_.waitForConnected(5000);
}

void Client::SendRaw(const QByteArray& bytes) {
    socket_.write(bytes);
    socket_.waitForBytesWritten(5000);
}

bool Client::Fill(qsizetype size, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        buffer_.append(socket_.readAll());
        if (buffer_.size() >= size) return true;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || socket_.state() != QAbstractSocket::ConnectedState ||
            !socket_.waitForReadyRead(static_cast<int>(left))) {
            buffer_.append(socket_.readAll());
            return buffer_.size() >= size;
        }
    }
}

std::optional<QByteArray> Client::Receive(int timeoutMs) {
    if (!Fill(2, timeoutMs)) return std::nullopt;
    const int length = static_cast<std::uint8_t>(buffer_[0]) | static_cast<std::uint8_t>(buffer_[1])
                                                                   << 8;
    if (!Fill(2 + length, timeoutMs)) return std::nullopt;
    const QByteArray frame = buffer_.mid(2, length);
    buffer_.remove(0, 2 + length);
    return frame;
}

bool Client::WaitClosed(int timeoutMs) {
    if (socket_.state() == QAbstractSocket::UnconnectedState) return true;
    QElapsedTimer clock;
    clock.start();
    while (socket_.state() != QAbstractSocket::UnconnectedState && clock.elapsed() < timeoutMs) {
        socket_.waitForReadyRead(
            static_cast<int>(std::max<qint64>(1, timeoutMs - clock.elapsed())));
        buffer_.append(socket_.readAll());
    }
    return socket_.state() == QAbstractSocket::UnconnectedState;
}

}  // namespace simtest
