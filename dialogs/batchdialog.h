#pragma once

#include "commissioning/addressplan.h"

#include <QDialog>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVector>

#include <cjson/cJSON.h>

#include <memory>

class BatchRun;
class BatchModel;
class BatchSortModel;
class ORV_CONN2DEVICE;
struct BatchCheck;

namespace Ui {
class BatchDialog;
}

// "Change addresses": new addresses for many devices of the latest search at once, on the
// rules of the command line's plan and apply. The operator checks devices, fills their new
// addresses from a first address (or loads a plan file, or types them), sees the verdict on
// each row before anything is sent, and applies: the rows run in their safe order, one
// device per turn of the event loop, then the changes are verified by searching again.
class BatchDialog : public QDialog
{
    Q_OBJECT

public:
    // devices: every device of the latest search, in its order; link: the window's, whose
    // socket and card the run uses and which it holds while it goes.
    BatchDialog(const QVector<FoundDevice> &devices, ORV_CONN2DEVICE &link, QWidget *parent = nullptr);
    ~BatchDialog() override;

    // What "Load plan…" and "Save report…" do once a file is chosen; false once the
    // operator has been told why in a box.
    bool loadPlan(const QString &path);
    bool saveReport(const QString &path);

    bool isRunning() const { return running; }
    // How long the verification may wait after the last change (default: as the command line).
    void setVerifyTimeoutMs(int ms) { verifyTimeoutMs = ms; }

signals:
    // The device array of the run's last verification search, for the main window's table;
    // it lives only during the emission.
    void devicesFound(cJSON *devices);
    void runFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void fill();
    void chooseAndLoadPlan();
    void chooseAndSaveReport();
    void checkAll(int state);
    void recheck();
    void updateApply();
    void apply();
    void nextStep();
    void finish(bool cancelled);
    void showRun();
    void setInputsEnabled(bool enabled);
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
    std::unique_ptr<BatchRun> run;
    QVector<int> runEntries; // run row -> table row
    int verifyTimeoutMs;
    bool running = false;
    bool cancelRequested = false;
    bool roundSinceChange = false;
};
