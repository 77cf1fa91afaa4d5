// A byte stream delivered in chunks of arbitrary sizes, as a socket or a serial port may hand it
// over: ReadFrame, called until the stream ends, gives the frames of a plain cut of the same
// stream and ends as that cut does. Byte 1 is the number n of chunk sizes (modulo 16), the next
// n bytes the sizes less one, used in turn; the rest is the stream.
#include <QIODevice>
#include <algorithm>
#include <cstring>

#include "fuzzsupport.h"
#include "transports/framing.h"

namespace {

using cfg::FrameResult;

// Has nothing to read until a wait brings the next chunk.
class ChunkedDevice : public QIODevice {
  public:
    ChunkedDevice(QByteArray stream, QByteArray sizes)
        : stream_(std::move(stream)), sizes_(std::move(sizes)) {
        open(ReadOnly | Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return end_ - pos_ + QIODevice::bytesAvailable(); }
    bool waitForReadyRead(int) override {
        if (end_ == stream_.size()) return false;
        const qsizetype chunk = sizes_.isEmpty()
                                    ? stream_.size()
                                    : static_cast<uchar>(sizes_[next_++ % sizes_.size()]) + 1;
        end_ = std::min(stream_.size(), end_ + chunk);
        return true;
    }

  protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = std::min<qint64>(max, end_ - pos_);
        std::memcpy(data, stream_.constData() + pos_, static_cast<std::size_t>(n));
        pos_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QByteArray stream_;
    QByteArray sizes_;
    qsizetype next_ = 0;
    qsizetype pos_ = 0;  // read up to here
    qsizetype end_ = 0;  // delivered up to here
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const QByteArray input = cfgfuzz::Input(data, size);
    const qsizetype count = std::min<qsizetype>(data[0] % 16, input.size() - 1);
    const QByteArray stream = input.mid(1 + count);
    ChunkedDevice device(stream, input.mid(1, count));
    const auto gone = [] { return true; };  // once the stream is over

    QByteArray frame;
    for (qsizetype at = 0;; at += 2 + frame.size()) {
        FrameResult expected = FrameResult::PeerGone;
        qsizetype length = -1;
        if (stream.size() - at >= 2) {
            length = static_cast<uchar>(stream[at]) | static_cast<uchar>(stream[at + 1]) << 8;
            if (length == 0)
                expected = FrameResult::Malformed;
            else if (stream.size() - at - 2 >= length)
                expected = FrameResult::Ok;
        }
        const FrameResult result = cfg::ReadFrame(device, frame, 1000, gone);
        cfgfuzz::Require(result == expected, "a frame ends as the plain cut says");
        if (result != FrameResult::Ok) {
            cfgfuzz::Require(frame.isEmpty(), "a frame not read is empty");
            return 0;
        }
        cfgfuzz::Require(frame == stream.mid(at + 2, length), "a frame holds its bytes");
    }
}
