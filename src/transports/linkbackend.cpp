#include "transports/linkbackend.h"

#include <QIODevice>
#include <QMetaObject>
#include <QSemaphore>
#include <QThread>

namespace cfg {

void DisposeDevice(std::unique_ptr<QIODevice> device) {
    if (!device) return;
    QThread* const owner = device->thread();
    if (owner == QThread::currentThread() || owner == nullptr || owner->isFinished()) {
        device->close();
        return;
    }
    // The owner's event loop may still watch the device: only that thread may close it. If it
    // never gets to it the device is closed and deleted whenever that thread runs events again.
    auto closed = std::make_shared<QSemaphore>();
    QIODevice* const raw = device.release();
    QMetaObject::invokeMethod(
        raw,
        [raw, closed] {
            raw->close();
            raw->deleteLater();
            closed->release();
        },
        Qt::QueuedConnection);
    closed->tryAcquire(1, 1000);
}

}  // namespace cfg
