#include "dialogs/batchdialog.h"
#include "ui_batchdialog.h"

#include "commissioning/hostprobe.h"
#include "commissioning/operatortexts.h"
#include "commissioning/planfile.h"
#include "commissioning/report.h"
#include "devicelink/orv_conn2device.h"
#include "dialogs/batchmodel.h"
#include "dialogs/batchrules.h"
#include "dialogs/batchworker.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr int kCellPadding = 16;
// Wider cells are elided, their whole text in the tool tip and, for Check and Result, in
// the line under the table: a device may send a model name of any length.
constexpr int kMaxColumnWidth = 220;

} // namespace

BatchDialog::BatchDialog(const QVector<FoundDevice> &devices, ORV_CONN2DEVICE &link, QWidget *parent)
    : QDialog(parent), ui(new Ui::BatchDialog), link(&link), card(link.card()), subnets(cardSubnets(card)),
      batch(std::make_unique<BatchCheck>()), worker(new BatchWorker),
      verifyTimeoutMs(BatchRun::Options().verifyTimeoutMs)
{
    ui->setupUi(this);
    model = new BatchModel(devices, this);
    sorted = new BatchSortModel(this);
    sorted->setSourceModel(model);
    QTableView *view = ui->device_view;
    view->setModel(sorted);
    QHeaderView *header = view->horizontalHeader();
    // As listed until the operator clicks a header.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    view->verticalHeader()->setDefaultSectionSize(24);
    view->resizeColumnsToContents();
    for (int column = 0; column < BatchModel::CheckColumn; ++column)
        header->resizeSection(column, qMin(header->sectionSize(column), kMaxColumnWidth));
    // Empty until filled: room for the longest address.
    header->resizeSection(BatchModel::NewAddressColumn,
                          view->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + kCellPadding);
    header->setSectionResizeMode(BatchModel::CheckColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(BatchModel::ResultColumn, QHeaderView::Stretch);

    worker->moveToThread(&thread);
    connect(worker, &BatchWorker::probed, this, &BatchDialog::startRun);
    connect(worker, &BatchWorker::stepped, this, &BatchDialog::showRun);
    connect(worker, &BatchWorker::finished, this, &BatchDialog::finish);
    connect(worker, &BatchWorker::refused, this, &BatchDialog::refuseRun);

    connect(model, &BatchModel::edited, this, &BatchDialog::recheck);
    connect(sorted, &QAbstractItemModel::dataChanged, this, &BatchDialog::showDetail);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, &BatchDialog::showDetail);
    connect(ui->fill_button, &QPushButton::clicked, this, &BatchDialog::fill);
    connect(ui->first_address, &QLineEdit::returnPressed, this, &BatchDialog::fill);
    connect(ui->load_plan_button, &QPushButton::clicked, this, &BatchDialog::chooseAndLoadPlan);
    connect(ui->check_all, &QCheckBox::clicked, this, [this] { checkAll(ui->check_all->checkState()); });
    for (QLineEdit *field : {ui->password_text, ui->confirmation_text}) {
        connect(field, &QLineEdit::textChanged, this, &BatchDialog::updateApply);
        connect(field, &QLineEdit::returnPressed, this, [this] {
            if (ui->apply_button->isEnabled())
                apply();
        });
    }
    connect(ui->apply_button, &QPushButton::clicked, this, &BatchDialog::apply);
    connect(ui->cancel_button, &QPushButton::clicked, this, &BatchDialog::requestCancel);
    connect(ui->save_report_button, &QPushButton::clicked, this, &BatchDialog::chooseAndSaveReport);
    connect(ui->close_button, &QPushButton::clicked, this, &QDialog::close);
    recheck();
}

BatchDialog::~BatchDialog()
{
    worker->cancel();
    thread.quit();
    thread.wait();
    std::unique_ptr<LinkCore> core = worker->takeCore(); // when the run ended unseen
    if (core && link)
        link->takeBack(std::move(core));
    delete worker;
    delete ui;
}

bool BatchDialog::loadPlan(const QString &path)
{
    QVector<PlanRow> rows;
    int line = 0;
    QString error;
    if (!readPlanFile(path, &rows, &line, &error, true)) {
        tell(QMessageBox::Critical, line > 0 ? tr("The plan %1 cannot be used: line %2: %3").arg(path).arg(line).arg(error)
                                             : tr("The plan %1 cannot be used: %2").arg(path, error));
        return false;
    }
    QVector<BatchEntry> entries(model->devices().size());
    QStringList missing;
    for (const PlanRow &row : qAsConst(rows)) {
        const int entry = entryOf(row.sn);
        if (entry < 0) {
            RowVerdict verdict;
            verdict.check = RowCheck::NotFound;
            missing << tr("Line %1: %2").arg(row.line).arg(verdictText(verdict, row, true));
            continue;
        }
        entries[entry] = {true, row.newIp, row.password};
    }
    model->setEntries(entries);
    recheck();
    if (!missing.isEmpty())
        tell(QMessageBox::Warning,
             tr("These rows of %1 were left out:").arg(path) + QLatin1Char('\n') + missing.join(QLatin1Char('\n')));
    return true;
}

bool BatchDialog::saveReport(const QString &path)
{
    if (!ran || running)
        return false;
    const QString target = QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".csv") : path;
    QVector<ReportRow> rows;
    for (const RunRow &row : qAsConst(runRows))
        rows << reportRow(row, card);
    ReportWriter copy(target, true);
    if (!copy.open() || !copy.write(rows)) {
        tell(QMessageBox::Critical, tr("The report was not saved.") + QLatin1Char('\n') + copy.error());
        return false;
    }
    return true;
}

void BatchDialog::reject()
{
    if (running) {
        if (!confirm(tr("Stop the run once the device in hand is done, and close? The report keeps every device "
                        "done so far.")))
            return;
        if (!running) { // the run ended while the box waited
            QDialog::reject();
            return;
        }
        closeWhenDone = true;
        requestCancel();
        return;
    }
    if (hasUnsavedEdits() && !confirm(tr("Close and lose the checks and new addresses entered here?")))
        return;
    QDialog::reject();
}

void BatchDialog::fill()
{
    PlanRequest request;
    request.from = ui->first_address->text().trimmed();
    static const PlanOrder orders[] = {PlanOrder::Mac, PlanOrder::Sn, PlanOrder::Ip, PlanOrder::Listed};
    request.order = orders[qBound(0, ui->order_box->currentIndex(), 3)];
    request.only = ui->only_inactive->isChecked() ? ActiveFilter::Inactive : ActiveFilter::All;
    for (const QString &host : qAsConst(hostsAnswering)) {
        if (const std::optional<Ipv4> address = Ipv4::fromText(host))
            request.taken.insert(*address);
    }
    const QVector<FoundDevice> &devices = model->devices();
    QVector<BatchEntry> entries = model->entries();
    for (int e = 0; e < entries.size(); ++e) {
        if (entries.at(e).checked)
            request.serials.insert(devices.at(e).sn);
    }
    GeneratedPlan generated;
    if (request.serials.isEmpty())
        generated.problem = GeneratedPlan::NoDevice;
    else
        generated = generatePlan(devices, request);
    if (generated.problem != GeneratedPlan::None) {
        tell(QMessageBox::Warning, generatorText(generated, request, true));
        return;
    }
    for (const PlanRow &row : qAsConst(generated.rows)) {
        for (int e = 0; e < entries.size(); ++e) {
            if (entries.at(e).checked && devices.at(e).sn == row.sn) {
                entries[e].newIp = row.newIp;
                break;
            }
        }
    }
    model->setEntries(entries);
    recheck();
}

QFileDialog *BatchDialog::fileDialog(const QString &title, const QString &filter)
{
    // Not the static getters: their dialog lives on the stack of a nested event loop, and
    // this dialog, closed meanwhile (by a screen reader, say), would delete it a second time.
    auto *dialog = new QFileDialog(this, title, QString(), filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    return dialog;
}

void BatchDialog::chooseAndLoadPlan()
{
    QFileDialog *dialog = fileDialog(tr("Load plan"), tr("Plans (*.csv);;All files (*)"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    // Queued: the file dialog has gone before a box about the plan shows.
    connect(dialog, &QFileDialog::fileSelected, this, &BatchDialog::loadPlan, Qt::QueuedConnection);
    dialog->open();
}

void BatchDialog::chooseAndSaveReport()
{
    // The report refuses a file that exists (one run's record is never written over), and
    // says so in its own words.
    QFileDialog *dialog = fileDialog(tr("Save report"), tr("Reports (*.csv *.json)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("report.csv"));
    connect(dialog, &QFileDialog::fileSelected, this, &BatchDialog::saveReport, Qt::QueuedConnection);
    dialog->open();
}

void BatchDialog::checkAll(int state)
{
    QVector<BatchEntry> entries = model->entries();
    // A click on a partly checked box checks everything.
    const bool checked = state != Qt::Unchecked;
    for (BatchEntry &entry : entries)
        entry.checked = checked;
    model->setEntries(entries);
    recheck();
}

void BatchDialog::recheck()
{
    *batch = checkBatch(model->devices(), model->entries(), subnets, hostsAnswering, card);
    model->setChecks(batch->cells);
    const int all = model->devices().size();
    ui->check_all->setCheckState(batch->checked == 0     ? Qt::Unchecked
                                 : batch->checked == all ? Qt::Checked
                                                         : Qt::PartiallyChecked);
    updateApply();
}

void BatchDialog::updateApply()
{
    if (running || ran) {
        ui->apply_button->setEnabled(false);
        return;
    }
    const ApplyBlock block = applyBlock(*batch, ui->password_text->text(), ui->confirmation_text->text());
    ui->apply_button->setEnabled(block == ApplyBlock::None);
    ui->hint_label->setText(applyHint(block, *batch));
}

void BatchDialog::showDetail()
{
    const QModelIndex current = ui->device_view->currentIndex();
    if (!current.isValid()) {
        ui->detail_label->clear();
        return;
    }
    const int row = sorted->mapToSource(current).row();
    QStringList lines;
    const QString check = model->index(row, BatchModel::CheckColumn).data().toString();
    const QString result = model->index(row, BatchModel::ResultColumn).data().toString();
    if (!check.isEmpty())
        lines << tr("Check: %1").arg(check);
    if (!result.isEmpty())
        lines << tr("Result: %1").arg(result);
    ui->detail_label->setText(lines.join(QLatin1Char('\n')));
}

void BatchDialog::apply()
{
    if (running || ran)
        return;
    recheck();
    if (applyBlock(*batch, ui->password_text->text(), ui->confirmation_text->text()) != ApplyBlock::None)
        return;
    running = true;
    cancelRequested = false;
    model->setLocked(true);
    setInputsEnabled(false);
    ui->apply_button->setEnabled(false);
    ui->close_button->setEnabled(false);
    ui->cancel_button->setEnabled(true);
    ui->cancel_button->setFocus(); // the inputs are disabled now: keys go on reaching the dialog
    ui->hint_label->clear();
    ui->state_label->setText(tr("Looking for hosts at the new addresses…"));
    if (!thread.isRunning())
        thread.start();
    // Hosts that are no device are looked for only now: the probe waits up to kProbeMs.
    const QStringList targets = probeTargets(batch->plan, batch->check, model->devices());
    BatchWorker *probing = worker;
    const QString probedCard = card;
    QMetaObject::invokeMethod(worker, [probing, probedCard, targets] { probing->probe(probedCard, targets); });
}

void BatchDialog::startRun(const QSet<QString> &hosts)
{
    hostsAnswering = hosts;
    recheck();
    if (cancelRequested)
        return endWithoutRun(tr("Cancelled. Nothing was sent."));
    if (applyBlock(*batch, ui->password_text->text(), ui->confirmation_text->text()) != ApplyBlock::None)
        return endWithoutRun(tr("Nothing was sent."));
    std::unique_ptr<LinkCore> core = link ? link->lendCore() : nullptr;
    if (!core) {
        if (tell(QMessageBox::Warning, tr("The window is waiting for a device: apply again once it is done.")))
            endWithoutRun(tr("Nothing was sent."));
        return;
    }
    // Written as the run goes, as the command line's --report: Close loses nothing, and undo
    // has what it needs.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                           + QStringLiteral("/reports");
    report = std::make_unique<ReportWriter>(newReportPath(folder, QDateTime::currentDateTime()), true);
    runReportPath = report->path();

    // The run's requests go one after another: a reply is taken as soon as it is read.
    core->setReplyTiming(LinkCore::ReplyTiming::AtOnce);
    BatchRun::Options options;
    options.card = card;
    options.verifyTimeoutMs = verifyTimeoutMs;
    options.wholeSearches = true; // the main table shows the last one
    options.report = report.get();
    auto run = std::make_unique<BatchRun>(*core, model->devices(), batch->plan, batch->check,
                                          ui->password_text->text(), options);
    ran = true;
    roundSinceChange = false;
    runEntries = batch->entryOfRow;
    ui->progress_bar->setRange(0, batch->check.order.size());
    worker->start(std::move(core), std::move(run), report.get()); // the worker shows the rows once it runs
}

void BatchDialog::refuseRun(const QString &error)
{
    ran = false;
    if (link)
        link->takeBack(worker->takeCore());
    if (tell(QMessageBox::Critical,
             tr("The run's report cannot be written, so nothing was sent.") + QLatin1Char('\n') + error))
        endWithoutRun(tr("Nothing was sent."));
}

void BatchDialog::requestCancel()
{
    if (!running || cancelRequested)
        return;
    cancelRequested = true;
    worker->cancel();
    ui->cancel_button->setEnabled(false);
    ui->state_label->setText(tr("Cancelling once the device or the search in hand is done."));
}

void BatchDialog::showRun(const QVector<RunRow> &rows, int kind, qint64 verificationMsLeft)
{
    runRows = rows;
    if (kind == BatchRun::Step::Changed)
        roundSinceChange = false;
    else if (kind == BatchRun::Step::VerificationRound)
        roundSinceChange = true;
    int pending = 0, awaited = 0, verified = 0;
    for (int r = 0; r < rows.size(); ++r) {
        model->setResult(runEntries.at(r), resultCell(rows.at(r), card));
        pending += rows.at(r).result == RunResult::Pending; // only rows to run start so
        awaited += rows.at(r).change.netcfgSent;
        verified += rows.at(r).verification == Verification::Verified;
    }
    const int finished = batch->check.order.size() - pending;
    ui->progress_bar->setValue(finished);
    if (cancelRequested)
        return;
    if (roundSinceChange && verificationMsLeft >= 0)
        ui->state_label->setText(tr("Verifying: %1 of %2 devices answer at their new address; %3 s left.")
                                     .arg(verified)
                                     .arg(awaited)
                                     .arg((verificationMsLeft + 999) / 1000));
    else
        ui->state_label->setText(tr("Changing addresses: %1 of %2 devices done.")
                                     .arg(finished)
                                     .arg(batch->check.order.size()));
}

void BatchDialog::finish(const QString &error, bool cancelled)
{
    running = false;
    if (link)
        link->takeBack(worker->takeCore());
    ui->cancel_button->setEnabled(false);
    ui->close_button->setEnabled(true);
    ui->close_button->setFocus();
    ui->save_report_button->setEnabled(true);

    int changed = 0, verified = 0;
    for (const RunRow &row : qAsConst(runRows)) {
        changed += row.result == RunResult::Done;
        verified += row.verification == Verification::Verified;
    }
    QString summary = cancelled ? tr("Cancelled.") + QLatin1Char(' ') : QString();
    summary += tr("%1 of %2 devices changed, %3 verified at their new address.")
                   .arg(changed)
                   .arg(batch->check.order.size())
                   .arg(verified);
    if (!error.isEmpty())
        summary += QLatin1Char(' ') + tr("The run stopped: its report could not be written (%1).").arg(error);
    ui->state_label->setText(summary);
    ui->hint_label->setText(tr("The report is in %1.").arg(QDir::toNativeSeparators(runReportPath)) + QLatin1Char(' ')
                            + tr("To change more addresses, close this dialog and open it again."));

    const JsonPtr lastSearch = worker->takeLastSearch();
    QVector<RunRow> changedSince;
    for (const int r : worker->changedSinceSearch())
        changedSince << runRows.at(r);
    emit devicesAfterRun(lastSearch.get(), changedSince);
    emit runFinished();
    if (closeWhenDone)
        QDialog::reject();
}

void BatchDialog::endWithoutRun(const QString &state)
{
    running = false;
    model->setLocked(false);
    setInputsEnabled(true);
    ui->cancel_button->setEnabled(false);
    ui->close_button->setEnabled(true);
    ui->state_label->setText(state);
    updateApply();
    if (closeWhenDone)
        QDialog::reject();
}

void BatchDialog::setInputsEnabled(bool enabled)
{
    for (QWidget *input : {static_cast<QWidget *>(ui->first_address), static_cast<QWidget *>(ui->order_box),
                           static_cast<QWidget *>(ui->only_inactive), static_cast<QWidget *>(ui->fill_button),
                           static_cast<QWidget *>(ui->load_plan_button), static_cast<QWidget *>(ui->check_all),
                           static_cast<QWidget *>(ui->password_text), static_cast<QWidget *>(ui->confirmation_text)})
        input->setEnabled(enabled);
}

bool BatchDialog::hasUnsavedEdits() const
{
    const QVector<BatchEntry> &entries = model->entries();
    return !ran
           && (!ui->password_text->text().isEmpty()
               || std::any_of(entries.cbegin(), entries.cend(),
                              [](const BatchEntry &entry) { return entry.checked || !entry.newIp.isEmpty(); }));
}

bool BatchDialog::confirm(const QString &text)
{
    // On the heap: should this dialog go while the box waits, the box goes with it.
    const QPointer<BatchDialog> self(this);
    auto *box = new QMessageBox(QMessageBox::Question, tr("Tips"), text, QMessageBox::Ok | QMessageBox::Cancel, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(QMessageBox::Cancel);
    const int answer = box->exec();
    return self && answer == QMessageBox::Ok;
}

bool BatchDialog::tell(QMessageBox::Icon icon, const QString &text)
{
    // On the heap, as in confirm().
    const QPointer<BatchDialog> self(this);
    auto *box = new QMessageBox(icon, tr("Tips"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->exec();
    return self;
}

int BatchDialog::entryOf(const QString &sn) const
{
    const QVector<FoundDevice> &devices = model->devices();
    const auto found = std::find_if(devices.cbegin(), devices.cend(),
                                    [&sn](const FoundDevice &device) { return device.sn == sn; });
    return found == devices.cend() ? -1 : int(found - devices.cbegin());
}
