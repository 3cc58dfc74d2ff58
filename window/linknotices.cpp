#include "devicelink/orv_conn2device.h"
#include "diagnosis/doctor.h"
#include "diagnosis/linkfailure.h"
#include "window/asynctask.h"
#include "window/orv_window.h"

#include <QMessageBox>

void ORV_Window::setupLinkNotices()
{
    ORV_CONN2DEVICE::Notices notices;
    notices.failed = [](const LinkCore::Status &status) {
        QMessageBox box(QMessageBox::Critical, tr("Error"), linkFailureText(status), QMessageBox::Ok);
        box.exec();
    };
    doctorPool.setMaxThreadCount(1);
    notices.searchTimedOut = [this](QMessageBox *box, const QString &card) {
        // An empty list has a cause on this computer more often than not. Looking for it takes
        // a moment (firewall tools are asked): the box shows at once and fills in its details
        // when they are in.
        box->setDetailedText(tr("Looking for the usual causes…"));
        runThenCallback<QVector<DoctorFinding>>([card] { return examineNetwork(card); }, box,
                                                [box](const QVector<DoctorFinding> &findings) {
                                                    box->setDetailedText(findingsReport(findings, true));
                                                },
                                                &doctorPool);
    };
    // Once in a run of the program; the log has every search.
    notices.repliesDropped = [this](qint64 dropped, int receiveBuffer) {
        if (lossBoxShown)
            return;
        lossBoxShown = true;
        QMessageBox box(QMessageBox::Warning, tr("Warning"), droppedRepliesText(dropped, receiveBuffer),
                        QMessageBox::Ok);
        box.exec();
    };
    deviceLink->setNotices(notices);
}
