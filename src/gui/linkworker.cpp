#include "gui/linkworker.h"

namespace cfg {

LinkWorker::LinkWorker(QObject* windowContext, const QString& historyPath)
    : context_(windowContext),
      anchor_(new QObject),
      link_(std::make_unique<LinkComponent>()),
      bench_(std::make_unique<Workbench>(historyPath)) {
    thread_.setObjectName(QStringLiteral("scale link"));
    anchor_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, anchor_, &QObject::deleteLater);
    thread_.start();
}

LinkWorker::~LinkWorker() {
    // The link's socket or port and the history's database belong to the worker thread: they
    // are closed there.
    QMetaObject::invokeMethod(
        anchor_,
        [this] {
            link_.reset();
            bench_.reset();
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void LinkWorker::Run(std::function<void(Workbench&, ScaleLink&)> job, std::function<void()> done) {
    ++jobs_;
    QMetaObject::invokeMethod(
        anchor_,
        [this, job = std::move(job), done = std::move(done)] {
            job(*bench_, *link_);
            // Counted down on the window thread, just before the window hears of it.
            QMetaObject::invokeMethod(
                context_,
                [this, done] {
                    --jobs_;
                    if (done) done();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

const ConfigModel& LinkWorker::Shown() const {
    Q_ASSERT(QThread::currentThread() == context_->thread() && jobs_ == 0);
    return bench_->model();
}

const ConfigModel& LinkWorker::Working() const {
    Q_ASSERT(QThread::currentThread() == &thread_);
    return bench_->model();
}

}  // namespace cfg
