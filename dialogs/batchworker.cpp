#include "dialogs/batchworker.h"

#include "commissioning/hostprobe.h"
#include "commissioning/report.h"
#include "devicelink/linkcore.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QThread>

BatchWorker::BatchWorker()
{
    qRegisterMetaType<QSet<QString>>();
    qRegisterMetaType<QVector<RunRow>>();
}

BatchWorker::~BatchWorker() = default;

void BatchWorker::probe(const QString &card, const QStringList &targets)
{
    emit probed(answeringHosts(card, targets));
}

void BatchWorker::start(std::unique_ptr<LinkCore> lent, std::unique_ptr<BatchRun> batch, ReportWriter *log)
{
    home = QThread::currentThread();
    cancelRequested = false; // a Cancel during the probe before ended that attempt, not this run
    core = std::move(lent);
    run = std::move(batch);
    report = log;
    lastSearch.reset();
    changedSince.clear();
    core->moveToThread(thread());
    QMetaObject::invokeMethod(this, &BatchWorker::runSteps, Qt::QueuedConnection);
}

std::unique_ptr<LinkCore> BatchWorker::takeCore()
{
    return std::move(core);
}

JsonPtr BatchWorker::takeLastSearch()
{
    return std::move(lastSearch);
}

void BatchWorker::runSteps()
{
    // Made here, not in the dialog: a new file and its folder go to the disk before anything is
    // sent, which on a slow disk or a network home folder takes a while.
    if (report) {
        QDir().mkpath(QFileInfo(report->path()).path()); // should that fail, open() says why
        if (!report->open()) {
            core->moveToThread(home);
            emit refused(report->error());
            return;
        }
    }
    emit stepped(run->rows(), -1, -1);
    bool cancelled = false;
    for (;;) {
        if (cancelRequested) {
            cancelled = true;
            run->cancel();
            emit stepped(run->rows(), BatchRun::Step::Finished, -1);
            break;
        }
        const BatchRun::Step step = run->step();
        if (step.kind == BatchRun::Step::Changed) {
            changedSince << step.row;
        } else if (step.kind == BatchRun::Step::VerificationRound) {
            qDebug("verification round %d: %d of %d at their new address", step.round.number, step.round.seen,
                   step.round.awaited);
            if (JsonPtr search = run->takeLastSearch()) {
                lastSearch = std::move(search);
                changedSince.clear();
            }
        }
        emit stepped(run->rows(), step.kind, run->verificationMsLeft());
        if (step.kind == BatchRun::Step::Finished)
            break;
    }
    core->moveToThread(home);
    emit finished(run->error(), cancelled);
}
