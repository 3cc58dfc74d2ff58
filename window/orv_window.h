#pragma once

#include "window/cardbox.h"
#include "window/deviceentry.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QThreadPool>

#include <cjson/cJSON.h>

#include <functional>

struct RunRow;

class ORV_CONN2DEVICE;
class ORV_Passwd_Window;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSettings;
class QSystemTrayIcon;
class QTranslator;

namespace Ui {
class Tarnvale_Managesystem;
}

class ORV_Window : public QMainWindow
{
    Q_OBJECT

public:
    explicit ORV_Window(const QString &text, QWidget *parent = nullptr);
    ~ORV_Window() override;

    // Read access for the table code and for tests.
    const QList<DeviceEntry> &devices() const { return deviceList; }
    int currentPageNumber() const { return currentPage; }
    int pageCount() const { return totalPages; }
    ORV_CONN2DEVICE *link() const { return deviceLink; }
    // The devices of the last search with the changes made from this window since then (new
    // addresses, activations): what the export writes.
    QList<DeviceEntry> currentDevices() const;

    // "Change addresses": a batch over every device of the latest search (batch.cpp).
    void openBatchDialog();

private slots:
    void language_changed(QAction *project);
    void quit_event();
    void open_event();
    void on_search_button_clicked();
    void showSearchDeviceTableInfos(cJSON *data);
    void onCellDoubleClicked(int row, int column);
    void goToPreviousPage();
    void goToNextPage();

private:
    // Construction (orv_window.cpp, cardbox.cpp, tray.cpp, language.cpp, linknotices.cpp)
    void setupTray();
    void setupLinkNotices();
    void fillNetworkCards();
    void retranslateNetworkCards(); // the entries' tool tips
    bool loadTranslation();
    void loadToolkitTranslation(); // the toolkit's own texts, in Chinese only

    // A new list on page 1 (search.cpp).
    void showDevices(const QList<DeviceEntry> &devices);
    // The list after a batch of changes (batch.cpp).
    void showDevicesAfterBatch(const cJSON *lastSearch, const QVector<RunRow> &changedSince);

    // Table and pagination (devicetable.cpp)
    void setupTableHeader();
    void buildPagination();
    void fillCurrentPage();
    void goToPage(int n);
    void retranslateDeviceTable();
    // Colours the IP cells of the page whose address several devices of the list answer at.
    void markSharedAddresses(const QList<DeviceEntry> &devices);

    // Device operations (operations.cpp, webpage.cpp)
    void onUpdateIpClicked(int row);
    void openUpdateIpDialog(int row, const QString &ip, const QString &sn);
    void loginAndChangeIp(const QString &sn, int row, const QString &ip, const QString &passwd,
                          const QString &newIp);
    void changeDeviceIp(int row, const QString &sn, const QString &deviceIp, const QString &newIp);
    // Notes a change of the device that answered at ip with this serial number.
    void recordChange(const QString &sn, const QString &ip, DeviceMember member, const QString &text);
    void showRestartNotice();
    void openActivateDialog(int row, const QString &ip, const QString &sn);
    void activateAndChangeIp(const QString &sn, int row, const QString &ip, const QString &passwd,
                             const QString &newIp);
    void showPasswordDialog(ORV_Passwd_Window *dialog, const QString &ip, const QString &sn,
                            const QString &passwordPlaceholder);
    // False, once the operator has been told, while another request is under way.
    bool mayStartChange();
    // False, once the operator has been told why, when newIp may not be sent to a device.
    bool acceptNewAddress(const QString &newIp);
    // Runs change once the target passed the checks of a change (checkPlanOnCard) that run
    // off this thread; until change has returned, mayStartChange() refuses.
    void checkTargetThen(const QString &sn, const QString &newIp, const std::function<void()> &change);
    // False, once the operator has been told, when the verdict refuses the change: the
    // address is held by another device of the list or a host answers there, or the serial
    // number names more than one device.
    bool acceptTarget(const RowVerdict &verdict, const PlanRow &row);

    Ui::Tarnvale_Managesystem *ui = nullptr;
    ORV_CONN2DEVICE *deviceLink = nullptr;
    QTranslator *translator = nullptr;
    QTranslator *toolkitTranslator = nullptr; // installed while Chinese is chosen
    int language = 1; // 0 = Chinese, 1 = English
    QSystemTrayIcon *trayIcon = nullptr;
    QAction *quitAction = nullptr;
    QAction *openAction = nullptr;
    QMenu *trayMenu = nullptr;
    QSettings *settings = nullptr;
    QVector<NetworkCard> networkCards; // as listed in the box, in its order
    int currentPage = 1;
    int rowsPerPage = 18;
    int totalPages = 1;
    QList<DeviceEntry> deviceList;
    QHash<int, DeviceEntry> changedDevices; // by index in deviceList; each search clears them
    QLabel *totalLabel = nullptr;
    QPushButton *prevPageButton = nullptr;
    QPushButton *nextPageButton = nullptr;
    QElapsedTimer lastDoubleClick; // invalid until the first accepted double-click
    bool lossBoxShown = false;
    bool changeUnderWay = false; // from a confirmed "Update IP" to the end of its requests
    // The time-out box's examinations, one at a time: seconds each, they must not hold up the
    // address check of an "Update IP" in the global pool.
    QThreadPool doctorPool;
};
