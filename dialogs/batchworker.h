#pragma once

#include "commissioning/batchrun.h"

#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>

class LinkCore;
class ReportWriter;
class QThread;

// The slow work of the "Change addresses" dialog, on a thread of its own so that the dialog
// stays responsive: the probe for hosts at the new addresses, then the run, step by step, on
// the core that the window's link lent. Every result reaches the dialog by a queued signal.
//
//     auto *worker = new BatchWorker;
//     worker->moveToThread(&thread);                 // thread.start()
//     connect(worker, &BatchWorker::probed, dialog, ...);
//     QMetaObject::invokeMethod(worker, [=] { worker->probe(card, targets); });
//     ...
//     worker->start(link.lendCore(), std::move(run)); // in the dialog's thread, the worker idle
//     ...on finished: link.takeBack(worker->takeCore()), worker->takeLastSearch()
class BatchWorker : public QObject
{
    Q_OBJECT

public:
    BatchWorker();
    ~BatchWorker() override;

    // In the worker's thread: looks for hosts at the targets (hostprobe.h), then emits probed.
    void probe(const QString &card, const QStringList &targets);

    // In the thread that the core lives in, while the worker is idle: takes over the core and
    // the run made on it; in the worker's thread, creates the run's report (if any), then runs
    // the steps. The core comes back to the calling thread before finished or refused is emitted.
    void start(std::unique_ptr<LinkCore> core, std::unique_ptr<BatchRun> run, ReportWriter *report = nullptr);
    // From any thread: the run stops once the device or search in hand is done.
    void cancel() { cancelRequested = true; }

    // After finished, in the thread that called start().
    std::unique_ptr<LinkCore> takeCore();
    // The device array of the last verification search that heard devices, or null.
    JsonPtr takeLastSearch();
    // The rows changed after that search (all changed rows when there was none).
    QVector<int> changedSinceSearch() const { return changedSince; }

signals:
    void probed(const QSet<QString> &hostsAnswering);
    // Once the run begins (kind -1), after each step (BatchRun::Step::Kind), and once more when
    // cancelled: every row as it stands.
    void stepped(const QVector<RunRow> &rows, int kind, qint64 verificationMsLeft);
    // error: why the run stopped early (the report could not be written), else empty.
    void finished(const QString &error, bool cancelled);
    // The report could not be created: nothing was sent.
    void refused(const QString &error);

private:
    void runSteps();

    std::unique_ptr<LinkCore> core;
    std::unique_ptr<BatchRun> run;
    ReportWriter *report = nullptr;
    QThread *home = nullptr;
    std::atomic<bool> cancelRequested{false};
    JsonPtr lastSearch = makeJsonPtr();
    QVector<int> changedSince;
};

Q_DECLARE_METATYPE(RunRow)
