#include "gui/linkworker.h"

namespace cfg {

LinkWorker::LinkWorker(QObject* windowContext)
    : context_(windowContext), anchor_(new QObject), link_(std::make_unique<LinkComponent>()) {
    thread_.setObjectName(QStringLiteral("scale link"));
    anchor_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, anchor_, &QObject::deleteLater);
    thread_.start();
}

LinkWorker::~LinkWorker() {
    // The link's socket or port belongs to the worker thread: it is closed there.
    QMetaObject::invokeMethod(
        anchor_, [this] { link_.reset(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void LinkWorker::Run(std::function<void(ScaleLink&)> job, std::function<void()> done) {
    QMetaObject::invokeMethod(
        anchor_,
        [this, job = std::move(job), done = std::move(done)] {
            job(*link_);
            if (done) QMetaObject::invokeMethod(context_, done, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

}  // namespace cfg
