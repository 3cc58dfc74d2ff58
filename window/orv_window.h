#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QString>

#include <cjson/cJSON.h>

#include "deviceentry.h"

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

    // "Change addresses": a batch over every device of the latest search (changeaddresses.cpp).
    void openChangeAddressesDialog();

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
    // Construction (orv_window.cpp, networkcards.cpp, tray.cpp, language.cpp)
    void setupTray();
    void fillNetworkCards();
    bool loadTranslation();

    // Table and pagination (devicetableview.cpp)
    void setupTableHeader();
    void buildPagination();
    void fillCurrentPage();
    void goToPage(int n);
    void retranslateDeviceTable();

    // Device operations (operations.cpp, webpage.cpp)
    void onUpdateIpClicked(int row);
    void openUpdateIpDialog(int row, const QString &ip, const QString &sn);
    void loginAndChangeIp(const QString &sn, int row, const QString &ip, const QString &passwd,
                          const QString &newIp);
    void changeDeviceIp(int row, const QString &deviceIp, const QString &newIp);
    void showRestartNotice();
    void openActivateDialog(int row, const QString &ip, const QString &sn);
    void activateAndChangeIp(const QString &sn, int row, const QString &ip, const QString &passwd,
                             const QString &newIp);
    void showPasswordDialog(ORV_Passwd_Window *dialog, const QString &ip, const QString &sn,
                            const QString &passwordPlaceholder);
    // False, once the operator has been told why, when newIp may not be sent to a device.
    bool acceptNewAddress(const QString &newIp);

    Ui::Tarnvale_Managesystem *ui = nullptr;
    ORV_CONN2DEVICE *deviceLink = nullptr;
    QTranslator *translator = nullptr;
    int language = 1; // 0 = Chinese, 1 = English
    QSystemTrayIcon *trayIcon = nullptr;
    QAction *quitAction = nullptr;
    QAction *openAction = nullptr;
    QMenu *trayMenu = nullptr;
    QSettings *settings = nullptr;
    int currentPage = 1;
    int rowsPerPage = 18;
    int totalPages = 1;
    QList<DeviceEntry> deviceList;
    QLabel *totalLabel = nullptr;
    QPushButton *prevPageButton = nullptr;
    QPushButton *nextPageButton = nullptr;
    QElapsedTimer lastDoubleClick; // invalid until the first accepted double-click
};
