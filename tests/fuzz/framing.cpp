// A byte stream delivered in chunks of arbitrary sizes, as a socket or a serial port may hand it
// over: ReadFrame, called until the stream ends, gives the frames of a plain cut of the same
// stream and ends as that cut does. Byte 1 is the number n of chunk sizes (modulo 16), the next
// n bytes the sizes less one, used in turn; the rest is the stream.
#include <QIODevice>
#include <cstring>

#include "fuzzsupport.h"
#include "transports/framing.h"

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
        end_ = std::min(stream_.size(),
                        end_ + (sizes_.isEmpty() ? stream_.size()
                                                 : uchar(sizes_[next_++ % sizes_.size()]) + 1));
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
    QByteArray stream_, sizes_;
    qsizetype next_ = 0, pos_ = 0, end_ = 0;  // read up to pos_, delivered up to end_
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const QByteArray input = cfgfuzz::Input(data, size);
    const qsizetype count = std::min<qsizetype>(data[0] % 16, input.size() - 1);
    const QByteArray stream = input.mid(1 + count);
    ChunkedDevice device(stream, input.mid(1, count));
    QByteArray frame;
    for (qsizetype at = 0;; at += 2 + frame.size()) {
        const qsizetype length =
            stream.size() - at < 2 ? -1 : uchar(stream[at]) | uchar(stream[at + 1]) << 8;
        const FrameResult expected = length == 0 ? FrameResult::Malformed
                                     : length > 0 && stream.size() - at - 2 >= length
                                         ? FrameResult::Ok
                                         : FrameResult::PeerGone;
        const FrameResult result =
            cfg::ReadFrame(device, frame, 1000, [] { return true; });  // once the stream is over
        cfgfuzz::Require(result == expected, "a frame ends as the plain cut says");
        cfgfuzz::Require(
            result == FrameResult::Ok ? frame == stream.mid(at + 2, length) : frame.isEmpty(),
            "a frame holds its bytes, or none");
        if (result != FrameResult::Ok) return 0;
    }
}
