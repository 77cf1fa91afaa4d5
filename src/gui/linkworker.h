#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

#include "core/workbench/workbench.h"
#include "transports/linkcomponent.h"

namespace cfg {

// The thread that owns the scale link and the workbench: it opens the link, makes every
// exchange and is the only one that changes the model, so the windows keep painting while a
// scale answers. Jobs run one after the other, in the order given. The window thread reads
// the model only while no job is queued or running, and the code checks it.
class LinkWorker {
  public:
    // `windowContext` is an object of the window thread; results reach it, and are dropped if
    // it is gone. `historyPath` empty: nothing is recorded.
    LinkWorker(QObject* windowContext, const QString& historyPath);
    ~LinkWorker();
    LinkWorker(const LinkWorker&) = delete;
    LinkWorker& operator=(const LinkWorker&) = delete;

    // Runs `job` on the worker thread, then `done` (if any) on the window thread.
    void Run(std::function<void(Workbench&, ScaleLink&)> job, std::function<void()> done = {});
    // Runs `job` on the worker thread, then hands what it returned to `done` on the window
    // thread.
    template <class Job, class Done>
    void Call(Job job, Done done) {
        using Result = std::invoke_result_t<Job&, Workbench&, ScaleLink&>;
        auto result = std::make_shared<std::optional<Result>>();
        Run([job = std::move(job), result](
                Workbench& bench, ScaleLink& link) mutable { result->emplace(job(bench, link)); },
            [done = std::move(done), result]() mutable { done(std::move(**result)); });
    }

    // The model as the windows show it: window thread, no job queued or running.
    const ConfigModel& Shown() const;
    // The model inside a job (worker thread), for what a job's operation shows.
    const ConfigModel& Working() const;
    bool Idle() const { return jobs_ == 0; }

  private:
    QObject* context_;
    QThread thread_;
    QObject* anchor_;  // lives in the worker thread; jobs are queued to it
    std::unique_ptr<LinkComponent> link_;
    std::unique_ptr<Workbench> bench_;
    std::atomic<int> jobs_ = 0;  // queued or running, counted on the window thread
};

}  // namespace cfg
