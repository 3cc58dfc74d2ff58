#include "dialogs/batchdialog.h"
#include "ui_batchdialog.h"

#include "commissioning/batchrun.h"
#include "commissioning/hostprobe.h"
#include "commissioning/operatortexts.h"
#include "commissioning/planfile.h"
#include "commissioning/report.h"
#include "devicelink/orv_conn2device.h"
#include "dialogs/batchmodel.h"
#include "dialogs/batchrules.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kCheckColumnWidth = 330;
constexpr int kCellPadding = 16;

} // namespace

BatchDialog::BatchDialog(const QVector<FoundDevice> &devices, ORV_CONN2DEVICE &link,
                                             QWidget *parent)
    : QDialog(parent), ui(new Ui::BatchDialog), link(&link), card(link.linkCore().card()),
      subnets(cardSubnets(card)), batch(std::make_unique<BatchCheck>()),
      verifyTimeoutMs(BatchRun::Options().verifyTimeoutMs)
{
    ui->setupUi(this);
    model = new BatchModel(devices, this);
    QVector<BatchEntry> entries(devices.size());
    for (BatchEntry &entry : entries)
        entry.checked = true;
    model->setEntries(entries);
    sorted = new BatchSortModel(this);
    sorted->setSourceModel(model);
    ui->device_view->setModel(sorted);
    // As listed until the operator clicks a header.
    ui->device_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    ui->device_view->verticalHeader()->setDefaultSectionSize(24);
    ui->device_view->resizeColumnsToContents();
    // Empty until filled: room for the longest address.
    ui->device_view->setColumnWidth(
        BatchModel::NewAddressColumn,
        ui->device_view->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + kCellPadding);
    ui->device_view->setColumnWidth(BatchModel::CheckColumn, kCheckColumnWidth);
    ui->device_view->horizontalHeader()->setStretchLastSection(true);

    connect(model, &BatchModel::edited, this, &BatchDialog::recheck);
    connect(ui->fill_button, &QPushButton::clicked, this, &BatchDialog::fill);
    connect(ui->first_address, &QLineEdit::returnPressed, this, &BatchDialog::fill);
    connect(ui->load_plan_button, &QPushButton::clicked, this, &BatchDialog::chooseAndLoadPlan);
    connect(ui->check_all, &QCheckBox::clicked, this, [this] { checkAll(ui->check_all->checkState()); });
    connect(ui->password_text, &QLineEdit::textChanged, this, &BatchDialog::updateApply);
    connect(ui->confirmation_text, &QLineEdit::textChanged, this, &BatchDialog::updateApply);
    connect(ui->apply_button, &QPushButton::clicked, this, &BatchDialog::apply);
    connect(ui->cancel_button, &QPushButton::clicked, this, [this] {
        cancelRequested = true;
        ui->cancel_button->setEnabled(false);
        ui->state_label->setText(tr("Cancelling once the device or the search in hand is done."));
    });
    connect(ui->save_report_button, &QPushButton::clicked, this, &BatchDialog::chooseAndSaveReport);
    connect(ui->close_button, &QPushButton::clicked, this, &QDialog::close);
    recheck();
}

BatchDialog::~BatchDialog()
{
    // The window deletes its link before its children: a run cut short by the window's end
    // must not reach for it.
    if (running && link)
        link->release();
    delete ui;
}

bool BatchDialog::loadPlan(const QString &path)
{
    QVector<PlanRow> rows;
    int line = 0;
    QString error;
    if (!readPlanFile(path, &rows, &line, &error, true)) {
        QMessageBox::critical(this, tr("Tips"),
                              line > 0 ? tr("The plan %1 cannot be used: line %2: %3").arg(path).arg(line).arg(error)
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
        QMessageBox::warning(this, tr("Tips"),
                             tr("These rows of %1 were left out:").arg(path) + QLatin1Char('\n')
                                 + missing.join(QLatin1Char('\n')));
    return true;
}

bool BatchDialog::saveReport(const QString &path)
{
    if (!run)
        return false;
    QVector<ReportRow> rows;
    for (const RunRow &row : run->rows())
        rows << reportRow(row, card);
    ReportWriter report(path);
    if (!report.open() || !report.write(rows)) {
        QMessageBox::critical(this, tr("Tips"),
                              tr("The report was not saved.") + QLatin1Char('\n') + report.error());
        return false;
    }
    return true;
}

void BatchDialog::closeEvent(QCloseEvent *event)
{
    if (running) {
        ui->cancel_button->click();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void BatchDialog::reject()
{
    if (running) {
        ui->cancel_button->click();
        return;
    }
    QDialog::reject();
}

void BatchDialog::fill()
{
    PlanRequest request;
    request.from = ui->first_address->text().trimmed();
    static const PlanOrder orders[] = {PlanOrder::Mac, PlanOrder::Sn, PlanOrder::Ip, PlanOrder::Listed};
    request.order = orders[qBound(0, ui->order_box->currentIndex(), 3)];
    request.only = ui->only_inactive->isChecked() ? ActiveFilter::Inactive : ActiveFilter::All;
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
        QMessageBox::warning(this, tr("Tips"), generatorText(generated, request, true));
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

void BatchDialog::chooseAndLoadPlan()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load plan"), QString(),
                                                      tr("Plans (*.csv);;All files (*)"));
    if (!path.isEmpty())
        loadPlan(path);
}

void BatchDialog::chooseAndSaveReport()
{
    // The report refuses a file that exists (one run's record is never written over), and
    // says so in its own words.
    const QString path = QFileDialog::getSaveFileName(this, tr("Save report"), QStringLiteral("report.csv"),
                                                      tr("Reports (*.csv *.json)"), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        saveReport(path);
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
    if (run) {
        ui->apply_button->setEnabled(false);
        return;
    }
    const ApplyBlock block = applyBlock(*batch, ui->password_text->text(), ui->confirmation_text->text());
    ui->apply_button->setEnabled(block == ApplyBlock::None);
    ui->hint_label->setText(applyHint(block, *batch));
}

void BatchDialog::apply()
{
    if (run)
        return;
    recheck();
    if (applyBlock(*batch, ui->password_text->text(), ui->confirmation_text->text()) != ApplyBlock::None)
        return;
    // Hosts that are no device are looked for only now: the probe waits up to kProbeMs.
    hostsAnswering = answeringHosts(card, probeTargets(batch->plan, batch->check, model->devices()));
    recheck();
    if (!ui->apply_button->isEnabled()) {
        ui->state_label->setText(tr("Nothing was sent."));
        return;
    }
    if (!link || !link->hold()) {
        QMessageBox::warning(this, tr("Tips"), tr("The window is waiting for a device: apply again once it is done."));
        return;
    }

    running = true;
    cancelRequested = false;
    roundSinceChange = false;
    BatchRun::Options options;
    options.card = card;
    options.verifyTimeoutMs = verifyTimeoutMs;
    run = std::make_unique<BatchRun>(link->linkCore(), model->devices(), batch->plan, batch->check,
                                             ui->password_text->text(), options);
    runEntries = batch->entryOfRow;
    model->setLocked(true);
    setInputsEnabled(false);
    ui->apply_button->setEnabled(false);
    ui->close_button->setEnabled(false);
    ui->cancel_button->setEnabled(true);
    ui->hint_label->clear();
    ui->progress_bar->setRange(0, batch->check.order.size());
    showRun();
    QTimer::singleShot(0, this, &BatchDialog::nextStep);
}

void BatchDialog::nextStep()
{
    if (cancelRequested) {
        run->cancel();
        showRun();
        finish(true);
        return;
    }
    // Blocks for one device's exchanges or one search; the event loop runs in between.
    const BatchRun::Step step = run->step();
    if (step.kind == BatchRun::Step::Changed)
        roundSinceChange = false;
    else if (step.kind == BatchRun::Step::VerificationRound)
        roundSinceChange = true;
    showRun();
    if (step.kind == BatchRun::Step::Finished) {
        finish(false);
        return;
    }
    QTimer::singleShot(0, this, &BatchDialog::nextStep);
}

void BatchDialog::showRun()
{
    const QVector<RunRow> &rows = run->rows();
    int pending = 0, awaited = 0, verified = 0;
    for (int r = 0; r < rows.size(); ++r) {
        model->setResult(runEntries.at(r), resultCell(rows.at(r), card));
        pending += rows.at(r).result == RunResult::Pending; // only rows to run start so
        awaited += rows.at(r).change.netcfgSent;
        verified += rows.at(r).verification == Verification::Verified;
    }
    const int finished = batch->check.order.size() - pending;
    ui->progress_bar->setValue(finished);
    if (!running)
        return;
    const qint64 left = run->verificationMsLeft();
    if (roundSinceChange && left >= 0)
        ui->state_label->setText(tr("Verifying: %1 of %2 devices answer at their new address; %3 s left.")
                                     .arg(verified)
                                     .arg(awaited)
                                     .arg((left + 999) / 1000));
    else if (!cancelRequested)
        ui->state_label->setText(tr("Changing addresses: %1 of %2 devices done.")
                                     .arg(finished)
                                     .arg(batch->check.order.size()));
}

void BatchDialog::finish(bool cancelled)
{
    running = false;
    if (link)
        link->release();
    ui->cancel_button->setEnabled(false);
    ui->close_button->setEnabled(true);
    ui->save_report_button->setEnabled(true);

    int changed = 0, verified = 0;
    for (const RunRow &row : run->rows()) {
        changed += row.result == RunResult::Done;
        verified += row.verification == Verification::Verified;
    }
    QString summary = cancelled ? tr("Cancelled.") + QLatin1Char(' ') : QString();
    summary += tr("%1 of %2 devices changed, %3 verified at their new address.")
                   .arg(changed)
                   .arg(batch->check.order.size())
                   .arg(verified);
    // The main table shows the network as the last search after the last change heard it.
    const JsonPtr last = run->takeLastSearch();
    if (last && roundSinceChange)
        emit devicesFound(last.get());
    else if (changed > 0)
        summary += QLatin1Char(' ') + tr("Search again to see the devices at their new addresses.");
    ui->state_label->setText(summary);
    ui->hint_label->setText(tr("To change more addresses, close this dialog and open it again."));
    emit runFinished();
}

void BatchDialog::setInputsEnabled(bool enabled)
{
    for (QWidget *input : {static_cast<QWidget *>(ui->first_address), static_cast<QWidget *>(ui->order_box),
                           static_cast<QWidget *>(ui->only_inactive), static_cast<QWidget *>(ui->fill_button),
                           static_cast<QWidget *>(ui->load_plan_button), static_cast<QWidget *>(ui->check_all),
                           static_cast<QWidget *>(ui->password_text), static_cast<QWidget *>(ui->confirmation_text)})
        input->setEnabled(enabled);
}

int BatchDialog::entryOf(const QString &sn) const
{
    const QVector<FoundDevice> &devices = model->devices();
    const auto found = std::find_if(devices.cbegin(), devices.cend(),
                                    [&sn](const FoundDevice &device) { return device.sn == sn; });
    return found == devices.cend() ? -1 : int(found - devices.cbegin());
}
