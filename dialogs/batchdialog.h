#pragma once

#include "commissioning/addressplan.h"
#include "commissioning/batchrun.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QThread>
#include <QVector>

#include <cjson/cJSON.h>

#include <memory>

class BatchModel;
class BatchSortModel;
class BatchWorker;
class ORV_CONN2DEVICE;
class QFileDialog;
class ReportWriter;
struct BatchCheck;

namespace Ui {
class BatchDialog;
}

// "Change addresses": new addresses for many devices of the latest search at once, on the
// rules of the command line's plan and apply. The operator checks devices, fills their new
// addresses from a first address (or loads a plan file, or types them), sees the verdict on
// each row before anything is sent, and applies: the probe for hosts and the run go on a
// thread of their own (BatchWorker), the rows in their safe order, then the changes are
// verified by searching again. Every run writes its report as it goes, into the user's
// data folder.
class BatchDialog : public QDialog
{
    Q_OBJECT

public:
    // devices: every device of the latest search, in its order; link: the window's, whose
    // card the run uses and whose core it borrows while it goes.
    BatchDialog(const QVector<FoundDevice> &devices, ORV_CONN2DEVICE &link, QWidget *parent = nullptr);
    // Should the window go during a run, the device in hand is finished first.
    ~BatchDialog() override;

    // What "Load plan…" and "Save report…" do once a file is chosen; false once the
    // operator has been told why in a box. A report name without extension gets ".csv".
    bool loadPlan(const QString &path);
    bool saveReport(const QString &path);

    // From Apply until the run has ended (the probe included).
    bool isRunning() const { return running; }
    // The report that the last run wrote as it went; empty before any run.
    QString reportPath() const { return runReportPath; }
    // How long the verification may wait after the last change (default: as the command line).
    void setVerifyTimeoutMs(int ms) { verifyTimeoutMs = ms; }

signals:
    // After a run: the device array of its last verification search (null when it made none
    // that heard devices; it lives only during the emission), and the rows whose change came
    // after that search: the main table shows the network as it is now.
    void devicesAfterRun(const cJSON *lastSearch, const QVector<RunRow> &changedSince);
    void runFinished();

protected:
    // Escape, Close and the window's close button: asks first while a run goes or while
    // what the operator entered would be lost.
    void reject() override;

private:
    void fill();
    void chooseAndLoadPlan();
    void chooseAndSaveReport();
    QFileDialog *fileDialog(const QString &title, const QString &filter);
    void checkAll(int state);
    void recheck();
    void updateApply();
    void showDetail();
    void apply();
    void startRun(const QSet<QString> &hostsAnswering);
    void requestCancel();
    void showRun(const QVector<RunRow> &rows, int kind, qint64 verificationMsLeft);
    void finish(const QString &error, bool cancelled);
    void refuseRun(const QString &error);
    void endWithoutRun(const QString &state);
    void setInputsEnabled(bool enabled);
    // Whether Escape would lose what the operator typed or checked.
    bool hasUnsavedEdits() const;
    // True when the operator agrees, in a box with OK and Cancel.
    bool confirm(const QString &text);
    // A box with OK; false when this dialog went while it waited.
    bool tell(QMessageBox::Icon icon, const QString &text);
    // The table row of the first device with this serial number, or -1.
    int entryOf(const QString &sn) const;

    Ui::BatchDialog *ui = nullptr;
    QPointer<ORV_CONN2DEVICE> link;
    QString card;
    QVector<Ipv4Subnet> subnets;
    BatchModel *model = nullptr;
    BatchSortModel *sorted = nullptr;
    std::unique_ptr<BatchCheck> batch;
    QSet<QString> hostsAnswering;
    QThread thread;
    BatchWorker *worker = nullptr; // lives in thread
    std::unique_ptr<ReportWriter> report;
    QString runReportPath;
    QVector<RunRow> runRows; // as the worker last reported them
    QVector<int> runEntries; // run row -> table row
    int verifyTimeoutMs;
    bool running = false;
    bool ran = false;
    bool cancelRequested = false;
    bool closeWhenDone = false;
    bool roundSinceChange = false;
};
