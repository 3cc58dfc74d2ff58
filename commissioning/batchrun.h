#pragma once

// A batch of address changes, run one step per call so that the window stays responsive
// and either caller can stop between devices: each step changes one device (login or
// activation, then "netcfg"), or makes one verification round (one search), and records
// the result in the report before it returns. The command line and the window's batch
// dialog run the same steps.
//
//     const QVector<FoundDevice> devices = foundDevices(search.json.get()); // link: the link that searched
//     const PlanCheck check = checkPlanOnCard(plan, devices, card);
//     BatchRun::Options options;
//     options.card = card;
//     options.report = &report;                  // opened; optional
//     BatchRun run(link, devices, plan, check, password, options);
//     for (BatchRun::Step step = run.step(); step.kind != BatchRun::Step::Finished;
//          step = run.step()) {
//         if (step.kind == BatchRun::Step::Changed)
//             showRow(run.rows().at(step.row));     // rowDetail(row, card, translate)
//         else
//             showProgress(step.round.seen, step.round.awaited);
//         if (stopRequested) {                     // SIGINT, or the dialog's Cancel
//             run.cancel();
//             break;
//         }
//     }
//     if (!run.error().isEmpty())                  // the report could not be written: the run stopped
//         ...
//     for (const RunRow &row : run.rows())         // every row's end: result, verification, detail
//         ...
//
// The window calls step() once per turn of its event loop; each call blocks for one
// device's exchanges (a few seconds at most) or one search (up to the gathering time).
//
// Order and safety: the rows run in check.order. A row whose new address is held by a
// device that another row moves away runs only once that row is done and that device
// answers at its new address, with or without verification (without it, rounds look for
// just those devices, for moverWaitMs); should it fail, or not be seen there in time, the
// waiting row ends as a conflict and nothing is sent for it. Verification: after the
// changes, and while rows wait for it, one search per round until every changed device
// answers at its new address, or until verifyTimeoutMs have passed since the last change
// and a round begun after that (and after the last resumed()) has ended: a device that
// restarts for longer than the deadline, or a run stopped (Ctrl-Z) and continued, still
// gets one whole round. A row whose "netcfg" reply was lost is looked for too, and is done
// and verified when its device answers at the new address. Dry runs record "planned" and
// send nothing.
//
// The report (report.h): every row as it stands at the start, each device "started" before
// it is touched and its outcome after, the events synced before the next device is touched
// (or the next round begins); its final form at the end. A report gone on with
// (ReportWriter::goOn) gives its rows: a row that it shows changed, and that this run does
// not touch again, keeps its record (undo needs the old address), as done and verified when
// the device answers at its new address now.

#include "commissioning/addressplan.h"
#include "commissioning/changeroad.h"
#include "commissioning/passwordrules.h"
#include "commissioning/report.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

#include <optional>

enum class RunResult { Pending, Started, Planned, Done, Failed, Skipped, Conflict, NotRun };

struct RunRow
{
    int line = 0;
    QString sn, newIp;
    QString oldIp, mac, model; // from the search; empty when the device was not found
    RowVerdict verdict;        // a conflict found at the row's turn is recorded here too
    std::optional<Road> road;
    RunResult result = RunResult::Pending;
    ChangeResult change;                           // once sent
    PasswordLength password = PasswordLength::Ok; // a row password that breaks the rule: nothing sent
    bool replyLostButVerified = false;
    Verification verification = Verification::None;
    QString heardAt; // where verification last heard the device
    QString time;    // reportTime() when the row got its result
    QString earlierDetail; // the detail of an earlier run's record that the row keeps
};

// What the operator is told about the row (the verdict, the outcome, the activation that
// went through without a new address, the warning for an address outside the card).
QString rowDetail(const RunRow &row, const QString &card, bool translate);
ReportRow reportRow(const RunRow &row, const QString &card);

class BatchRun
{
public:
    struct Options
    {
        QString card;                 // where the verification searches go
        bool dryRun = false;
        std::optional<Road> road;     // every row takes this road (set-ip, activate); default: by the state
        int verifyTimeoutMs = 90000;  // 0: no verification but of the devices that chained rows wait for
        // Each verification search gathers its whole time rather than stopping once every
        // awaited device answered, so that it lists the other devices too (the window shows it).
        bool wholeSearches = false;
        ReportWriter *report = nullptr;   // opened; the run stops when a write fails
        int moverWaitMs = 90000;      // without verification: how long a chained row waits for its mover
    };

    struct Round
    {
        int number = 0;
        int awaited = 0; // changed devices not yet verified when the round began
        int seen = 0;    // of which the round heard at their new address
        LinkCore::Status search;
    };

    struct Step
    {
        enum Kind { Changed, VerificationRound, Finished } kind = Finished;
        int row = -1; // Changed: index into rows()
        Round round;  // VerificationRound
    };

    // link: the link of the search, or any other (it opens a socket on the card when it has
    // none); devices, plan and check as checkPlanOnCard() took and gave them. password
    // serves the rows without their own.
    BatchRun(LinkCore &link, const QVector<FoundDevice> &devices, const QVector<PlanRow> &plan,
                     const PlanCheck &check, const QString &password, const Options &options);

    // One device, or one verification round; Finished when all is done or the report failed.
    Step step();
    // The rows not yet run end "not run"; no more steps. False when the report failed.
    bool cancel();
    // The program was stopped and has gone on (SIGCONT): what a round heard then is no full
    // round, and at least one more is made.
    void resumed();

    const QVector<RunRow> &rows() const { return runRows; }
    // The time left until the verification deadline; -1 while no change was sent or
    // without verification.
    qint64 verificationMsLeft() const;
    // The device array of the latest verification round whose search got replies (null
    // when none did since the last call), handed over once: what the window shows after the run.
    JsonPtr takeLastSearch() { return std::move(lastSearch); }
    // Why the run stopped early: the report could not be written.
    QString error() const { return lastError; }

private:
    enum class Turn { Now, Wait, Blocked };
    Turn turnOf(int row, int *holder, QSet<int> *movers) const;
    bool change(int row);
    Round verifyRound(const QVector<int> &rows);
    bool awaits(const RunRow &row) const;
    bool verifying() const;
    bool lookingOver() const;
    void goOnFrom(const QVector<ReportRow> &earlier);
    void note(int row);
    bool syncReport();
    void finishReport();

    LinkCore &link;
    QVector<FoundDevice> devices;
    QVector<QString> passwords; // per row
    QVector<int> order;
    Options options;
    QVector<RunRow> runRows;
    QHash<int, int> rowOfDevice;
    QHash<QString, QVector<int>> devicesAt;
    QElapsedTimer clock;
    qint64 lastChangeMs = -1;
    qint64 resumedMs = -1;
    qint64 lastRoundStartMs = -1; // of the last round that ended
    JsonPtr lastSearch = makeJsonPtr();
    int rounds = 0;
    bool begun = false;
    bool over = false;
    QString lastError;
};
