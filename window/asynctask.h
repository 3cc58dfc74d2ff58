#pragma once

// Slow work of ours off the GUI thread: runThenCallback(task, context, callback) runs task on
// the global thread pool (or the one given) and hands its result to callback in context's
// thread, unless context is gone by then. The result travels by a queued signal, which Qt
// drops safely when its receiver has been deleted meanwhile; the pool waits for running tasks
// at program exit.

#include <QObject>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <utility>

class TaskRelay : public QObject
{
    Q_OBJECT

signals:
    void done();
};

template <typename Result>
void runThenCallback(std::function<Result()> task, QObject *context, std::function<void(Result)> callback,
                     QThreadPool *pool = QThreadPool::globalInstance())
{
    auto result = std::make_shared<Result>();
    auto *relay = new TaskRelay; // lives in the caller's thread, like context
    QObject::connect(relay, &TaskRelay::done, context, [result, callback] { callback(std::move(*result)); });
    QObject::connect(relay, &TaskRelay::done, relay, &QObject::deleteLater);
    pool->start([relay, result, task] {
        *result = task();
        emit relay->done();
    });
}
