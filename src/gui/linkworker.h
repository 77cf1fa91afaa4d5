#pragma once

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

#include "transports/linkcomponent.h"

namespace cfg {

// The thread that owns the scale link: it opens the link and makes every exchange, so the
// windows keep painting while a scale answers. Jobs run one after the other, in the order given.
class LinkWorker {
  public:
    // `windowContext` is an object of the window thread; `done` callbacks run there, and are
    // dropped if it is gone.
    explicit LinkWorker(QObject* windowContext);
    ~LinkWorker();
    LinkWorker(const LinkWorker&) = delete;
    LinkWorker& operator=(const LinkWorker&) = delete;

    // Runs `job` on the worker thread, then `done` (if any) on the window thread.
    void Run(std::function<void(ScaleLink&)> job, std::function<void()> done = {});

    // For objects that keep a reference to the link; they may use it only inside jobs.
    ScaleLink& link() { return *link_; }

  private:
    QObject* context_;
    QThread thread_;
    QObject* anchor_;  // lives in the worker thread; jobs are queued to it
    std::unique_ptr<LinkComponent> link_;
};

}  // namespace cfg
