#include "support/faildevice.h"

#include <algorithm>

namespace cfgtest {

FailDevice::FailDevice(const QString& path, qint64 budget) : QSaveFile(path), budget_(budget) {}

qint64 FailDevice::writeData(const char* data, qint64 len) {
    const qint64 room = std::max<qint64>(budget_ - accepted_, 0);
    if (len <= room) {
        const qint64 written = QSaveFile::writeData(data, len);
        if (written > 0) accepted_ += written;
        return written;
    }
    if (room > 0 && QSaveFile::writeData(data, room) > 0) accepted_ += room;
    setErrorString(QStringLiteral("No space left on device"));
    return -1;
}

std::unique_ptr<QIODevice> OpenFailDevice(const QString& path, qint64 budget) {
    auto device = std::make_unique<FailDevice>(path, budget);
    if (!device->open(QIODevice::WriteOnly)) return nullptr;
    return device;
}

}  // namespace cfgtest
