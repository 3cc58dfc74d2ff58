// IP change and activation from the device table, end to end: the real window, device
// link and dialog against simulated devices on the loopback interface of a private
// network namespace. Checked: what the operator sees (boxes, table cells, dialogs) and
// what the devices received (the simulator's request log).
#include "orv_passwd_window.h"
#include "orv_window.h"

#include "devicesim.h"
#include "messageboxcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QMutex>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cjson/cJSON.h>

#include <memory>

namespace {

// Every box as one line: icon, title, text, and whether the main window is its parent.
QString describe(const MessageBoxCloser::Box &box, const QWidget *window)
{
    const char *icon = box.icon == QMessageBox::Critical      ? "critical"
                       : box.icon == QMessageBox::Warning     ? "warning"
                       : box.icon == QMessageBox::Information ? "information"
                                                              : "other";
    const QString parent = !box.hadParent ? QStringLiteral("no parent")
                           : box.parent == window ? QStringLiteral("window")
                                                  : QStringLiteral("other parent");
    return QStringLiteral("%1|%2|%3|%4").arg(QLatin1String(icon), box.title, box.text, parent);
}

const QString timeoutBox = QStringLiteral("critical|Error|Timeout,Please try again!|no parent");
const QString notOpenBox = QStringLiteral("critical|Tips|device not open|window");
const QString successBox = QStringLiteral("information|Tips|IP changed successfully,device rebooting.....|window");
const QString refusedBox = QStringLiteral("warning|Failure|Device did not accept IP change.|window");
const QString restartBox = QStringLiteral("information|Device Restart|Device restart completed.|window");

QString loginBody(const QString &password, const QString &sn)
{
    return QStringLiteral(R"({"callcmd":"Security verification","password":"%1","sn":"%2","command":"login"})")
        .arg(password, sn);
}

QString activateBody(const QString &password, const QString &sn)
{
    return QStringLiteral(R"({"callcmd":"Security verification","password":"%1","sn":"%2","command":"activate"})")
        .arg(password, sn);
}

QString netcfgBody(const QString &sn, const QString &ip, const QString &gw)
{
    return QStringLiteral(R"({"callcmd":"netcfg","sn":"%1","calldata":{"dhcp":0,"ip":"%2","gw":"%3",)"
                          R"("mask":"255.255.255.0","dns":"114.114.114.114"}})")
        .arg(sn, ip, gw);
}

SimDevice device(const QString &sn, int n, const QString &password, const QString &active = QStringLiteral("active"))
{
    SimDevice d;
    d.sn = sn;
    d.ip = QStringLiteral("192.168.7.%1").arg(n);
    d.mac = QStringLiteral("02:00:00:00:07:%1").arg(n, 2, 16, QLatin1Char('0'));
    d.model = QStringLiteral("TV-100");
    d.baseModel = QStringLiteral("TV");
    d.version = QStringLiteral("6.1.0");
    d.password = password;
    d.activeState = active;
    return d;
}

SimDevice::Override replyData(const char *json)
{
    SimDevice::Override o;
    o.kind = SimDevice::Override::Data;
    o.dataJson = json;
    return o;
}

SimDevice::Override replyKind(SimDevice::Override::Kind kind)
{
    SimDevice::Override o;
    o.kind = kind;
    return o;
}

// Collects every log line, to prove that no password reaches the log.
QMutex logMutex;
QStringList logLines;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker locker(&logMutex);
        logLines << message;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened << url; }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void dialogOnEachRoad_data();
    void dialogOnEachRoad();
    void ipChange_data();
    void ipChange();
    void activation_data();
    void activation();
    void acceptedChangeInDetail();
    void activationDialogGoesWithTheWindow(); // last: it destroys the window

private:
    int rowOf(const QString &sn);
    bool pressPageButton(int page);
    QString cell(int row, int column) const;
    ORV_Passwd_Window *pressUpdateIp(int row);
    void confirm(ORV_Passwd_Window *dialog, const QString &password, const QString &newIp);
    QStringList boxesSeen() const;
    QStringList requestsSent() const; // the "data" of every request since init()
    void waitForRestartNotice(int boxesBefore);

    DeviceSimulatorThread simulator;
    std::unique_ptr<ORV_Window> window;
    QTableWidget *table = nullptr;
    MessageBoxCloser closer;
    int requestMark = 0;
    QList<QUrl> opened;
};

void TestOperations::initTestCase()
{
    QVector<SimDevice> fleet;
    const QString good = QStringLiteral("goodpass1");
    int n = 10;
    // IP change road
    fleet << device("SN-MAIN", n++, good);
    fleet << device("SN-ZEROS", n++, good);
    fleet.last().overrides.insert("netcfg", replyData(R"({"calldata":{"netcfg":"ok"}})"));
    fleet << device("SN-SUCCESSFUL", n++, good);
    fleet.last().overrides.insert("login", replyData(R"({"login":"successful"})"));
    fleet << device("SN-WRONG", n++, good);
    fleet << device("SN-SUCC", n++, good);
    fleet.last().overrides.insert("login", replyData(R"({"login":"succ"})"));
    fleet << device("SN-NOTACT", n++, QString());
    fleet << device("SN-SILENT", n++, good);
    fleet.last().overrides.insert("login", replyKind(SimDevice::Override::NoReply));
    fleet << device("SN-NODATA", n++, good);
    fleet.last().overrides.insert("login", replyKind(SimDevice::Override::NoData));
    fleet << device("SN-NOLOGIN", n++, good);
    fleet.last().overrides.insert("login", replyData(R"({"logon":"success"})"));
    fleet << device("SN-STRDATA", n++, good);
    fleet.last().overrides.insert("login", replyData(R"(["success"])"));
    fleet << device("SN-NUMLOGIN", n++, good);
    fleet.last().overrides.insert("login", replyData(R"({"login":7})"));
    fleet << device("SN-CFG-CAPS", n++, good);
    fleet.last().overrides.insert("netcfg", replyData(R"({"calldata":{"netcfg":"OK"}})"));
    fleet << device("SN-CFG-BLANK", n++, good);
    fleet.last().overrides.insert("netcfg", replyData(R"({"calldata":{"netcfg":"ok "}})"));
    fleet << device("SN-CFG-NUM", n++, good);
    fleet.last().overrides.insert("netcfg", replyData(R"({"calldata":{"netcfg":0}})"));
    fleet << device("SN-CFG-NODATA", n++, good);
    fleet.last().overrides.insert("netcfg", replyKind(SimDevice::Override::NoData));
    fleet << device("SN-CFG-SILENT", n++, good);
    fleet.last().overrides.insert("netcfg", replyKind(SimDevice::Override::NoReply));
    fleet << device("SN-OCTAL", n++, good);
    fleet << device("SN-BLANKS", n++, good, QStringLiteral(" Active "));
    fleet << device("SN-CAPS", n++, good, QStringLiteral("ACTIVE"));
    // Activation road
    fleet << device("SN-ACT", n++, QString(), QStringLiteral("---"));
    fleet << device("SN-ACT-REFUSED", n++, QString(), QStringLiteral("inactive"));
    fleet.last().overrides.insert("netcfg", replyData(R"({"calldata":{"netcfg":"error"}})"));
    fleet << device("SN-ACT-CAPS", n++, QString(), QStringLiteral("---"));
    fleet.last().overrides.insert("activate", replyData(R"({"activate":"Success"})"));
    fleet << device("SN-ACT-ALREADY", n++, good, QStringLiteral("---"));
    fleet << device("SN-ACT-SILENT", n++, QString(), QStringLiteral("---"));
    fleet.last().overrides.insert("activate", replyKind(SimDevice::Override::NoReply));
    fleet << device("SN-ACT-NODATA", n++, QString(), QStringLiteral("---"));
    fleet.last().overrides.insert("activate", replyKind(SimDevice::Override::NoData));
    fleet << device("SN-ACT-NUM", n++, QString(), QStringLiteral("---"));
    fleet.last().overrides.insert("activate", replyData(R"({"activate":1})"));

    QString error;
    QVERIFY2(simulator.start(fleet, DeviceSimulator::Options(), &error), qPrintable(error));

    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
    previousHandler = qInstallMessageHandler(captureMessage);

    window.reset(new ORV_Window(QStringLiteral("test")));
    window->show();
    table = window->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    QVERIFY(table);
    auto *cards = window->findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
    QVERIFY(cards);
    const int lo = cards->findText(QStringLiteral("lo"));
    QVERIFY2(lo >= 0, "no loopback interface in the network-card box");
    cards->setCurrentIndex(lo);

    closer.start();
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("search_button")), Qt::LeftButton);
    closer.stop();
    QCOMPARE(closer.count(), 0);
    QCOMPARE(window->devices().size(), fleet.size());
    QVERIFY2(window->pageCount() > 1, "the fleet should span pages");
}

void TestOperations::cleanupTestCase()
{
    closer.stop();
    window.reset();
    simulator.stop();
    qInstallMessageHandler(previousHandler);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void TestOperations::init()
{
    closer.clear();
    closer.start();
    requestMark = simulator.requests().size();
    opened.clear();
    QMutexLocker locker(&logMutex);
    logLines.clear();
}

void TestOperations::cleanup()
{
    closer.stop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w != window.get())
            QVERIFY2(!w->isVisible(), qPrintable(w->metaObject()->className() + QStringLiteral(" left open")));
        QVERIFY2(!qobject_cast<ORV_Passwd_Window *>(w), "a closed dialog was not deleted");
    }
}

// The row of the device on the page shown, turning to its page when needed.
int TestOperations::rowOf(const QString &sn)
{
    for (int attempt = 0; attempt <= window->pageCount(); ++attempt) {
        for (int row = 0; row < table->rowCount(); ++row)
            if (cell(row, 1) == sn)
                return row;
        if (attempt < window->pageCount() && !pressPageButton(attempt + 1))
            return -1;
    }
    return -1;
}

bool TestOperations::pressPageButton(int page)
{
    QWidget *strip = window->findChild<QWidget *>(QStringLiteral("paginationWidget"));
    if (!strip)
        return false;
    for (QPushButton *button : strip->findChildren<QPushButton *>()) {
        if (button->text() == QString::number(page) && !button->isHidden()) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCoreApplication::processEvents(); // the strip's new buttons show up queued
            return window->currentPageNumber() == page;
        }
    }
    return false;
}

QString TestOperations::cell(int row, int column) const
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QStringLiteral("<no item>");
}

ORV_Passwd_Window *TestOperations::pressUpdateIp(int row)
{
    QWidget *container = table->cellWidget(row, 6);
    auto *button = container ? container->findChild<QPushButton *>() : nullptr;
    if (!button)
        return nullptr;
    QTest::mouseClick(button, Qt::LeftButton);
    ORV_Passwd_Window *found = nullptr;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        auto *dialog = qobject_cast<ORV_Passwd_Window *>(w);
        if (dialog && dialog->isVisible()) {
            if (found)
                return nullptr; // more than one open
            found = dialog;
        }
    }
    return found;
}

void TestOperations::confirm(ORV_Passwd_Window *dialog, const QString &password, const QString &newIp)
{
    dialog->findChild<QLineEdit *>(QStringLiteral("passwd_text"))->setText(password);
    dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_ip"))->setText(newIp);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("confirm_button")), Qt::LeftButton);
}

QStringList TestOperations::boxesSeen() const
{
    QStringList seen;
    for (const MessageBoxCloser::Box &box : closer.boxes())
        seen << describe(box, window.get());
    return seen;
}

QStringList TestOperations::requestsSent() const
{
    QStringList bodies;
    const QVector<QByteArray> all = simulator.requests();
    for (int i = requestMark; i < all.size(); ++i) {
        cJSON *request = cJSON_Parse(all.at(i).constData());
        const cJSON *cmd = cJSON_GetObjectItemCaseSensitive(request, "cmd");
        QString body = QStringLiteral("<no data>");
        if (char *printed = cJSON_PrintUnformatted(cJSON_GetObjectItemCaseSensitive(request, "data"))) {
            body = QString::fromUtf8(printed);
            cJSON_free(printed);
        }
        if (!cJSON_IsString(cmd) || qstrcmp(cmd->valuestring, "calludp") != 0)
            body.prepend(QStringLiteral("<not calludp> "));
        bodies << body;
        cJSON_Delete(request);
    }
    return bodies;
}

void TestOperations::waitForRestartNotice(int boxesBefore)
{
    QTRY_COMPARE_WITH_TIMEOUT(closer.count(), boxesBefore + 1, 20000);
    const auto &boxes = closer.boxes();
    QCOMPARE(describe(boxes.last(), window.get()), restartBox);
    const qint64 delay = boxes.last().seenAtMs - boxes.at(boxesBefore - 1).seenAtMs;
    QVERIFY2(delay >= 4990, qPrintable(QStringLiteral("restart notice after %1 ms").arg(delay)));
}

void TestOperations::dialogOnEachRoad_data()
{
    QTest::addColumn<QString>("sn");
    QTest::addColumn<bool>("activation");

    QTest::newRow("active") << "SN-MAIN" << false;
    QTest::newRow("Active with blanks") << "SN-BLANKS" << false;
    QTest::newRow("ACTIVE") << "SN-CAPS" << false;
    QTest::newRow("---") << "SN-ACT" << true;
    QTest::newRow("inactive") << "SN-ACT-REFUSED" << true;
}

void TestOperations::dialogOnEachRoad()
{
    QFETCH(QString, sn);
    QFETCH(bool, activation);
    const int row = rowOf(sn);
    QVERIFY(row >= 0);

    QPointer<ORV_Passwd_Window> dialog = pressUpdateIp(row);
    QVERIFY2(dialog, "pressing Update IP must open exactly one dialog");
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Update IP"));
    QCOMPARE(dialog->size(), QSize(526, 272));
    QCOMPARE(dialog->minimumSize(), QSize(526, 272));
    QCOMPARE(dialog->maximumSize(), QSize(526, 272));
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    QVERIFY(dialog->isWindow());
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_ip"))->text(), cell(row, 0));
    const QString placeholder = dialog->findChild<QLineEdit *>(QStringLiteral("passwd_text"))->placeholderText();
    if (activation) {
        QVERIFY(!dialog->parentWidget());
        QCOMPARE(placeholder, QStringLiteral("Enter device active password"));
    } else {
        QCOMPARE(dialog->parentWidget(), static_cast<QWidget *>(window.get()));
        QCOMPARE(placeholder, QStringLiteral("Input Password"));
    }

    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cancel_button")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(dialog.isNull(), "a cancelled dialog must be deleted");
    QTest::qWait(200);
    QCOMPARE(requestsSent(), QStringList());
    QCOMPARE(closer.count(), 0);
}

void TestOperations::ipChange_data()
{
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("newIp");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<bool>("changed"); // the row's IP cell reads newIp afterwards

    const QString pw = QStringLiteral("goodpass1");
    auto login = [&](const char *sn) { return loginBody(pw, QLatin1String(sn)); };

    QTest::newRow("leading zeros sent as typed")
        << "SN-ZEROS" << pw << "172.016.005.077" << QStringList{successBox}
        << QStringList{login("SN-ZEROS"), netcfgBody("SN-ZEROS", "172.016.005.077", "172.016.005.1")} << true;
    QTest::newRow("login successful is a success")
        << "SN-SUCCESSFUL" << pw << "10.1.2.3" << QStringList{successBox}
        << QStringList{login("SN-SUCCESSFUL"), netcfgBody("SN-SUCCESSFUL", "10.1.2.3", "10.1.2.1")} << true;
    QTest::newRow("wrong password")
        << "SN-WRONG" << "badpass1" << "10.1.2.4"
        << QStringList{"critical|Tips|Password error, login device failed|window"}
        << QStringList{loginBody("badpass1", "SN-WRONG")} << false;
    QTest::newRow("login succ is a refusal")
        << "SN-SUCC" << pw << "10.1.2.5" << QStringList{"critical|Tips|Password error, login device failed|window"}
        << QStringList{login("SN-SUCC")} << false;
    QTest::newRow("not activated")
        << "SN-NOTACT" << pw << "10.1.2.6" << QStringList{"critical|Tips|device is not activated|window"}
        << QStringList{login("SN-NOTACT")} << false;
    QTest::newRow("no login reply")
        << "SN-SILENT" << pw << "10.1.2.7" << QStringList{timeoutBox, notOpenBox} << QStringList{login("SN-SILENT")}
        << false;
    QTest::newRow("login reply without data")
        << "SN-NODATA" << pw << "10.1.2.8"
        << QStringList{"critical|Tips|device returned invalid data (no data field)|window"}
        << QStringList{login("SN-NODATA")} << false;
    QTest::newRow("login reply without login")
        << "SN-NOLOGIN" << pw << "10.1.2.9"
        << QStringList{"critical|Tips|device returned invalid data (no login field)|window"}
        << QStringList{login("SN-NOLOGIN")} << false;
    QTest::newRow("data not an object")
        << "SN-STRDATA" << pw << "10.1.2.11"
        << QStringList{"critical|Tips|device returned invalid data (no login field)|window"}
        << QStringList{login("SN-STRDATA")} << false;
    QTest::newRow("numeric login")
        << "SN-NUMLOGIN" << pw << "10.1.2.10"
        << QStringList{"critical|Tips|device returned invalid data (no login field)|window"}
        << QStringList{login("SN-NUMLOGIN")} << false;
    QTest::newRow("netcfg OK in capitals")
        << "SN-CFG-CAPS" << pw << "10.1.3.1" << QStringList{refusedBox}
        << QStringList{login("SN-CFG-CAPS"), netcfgBody("SN-CFG-CAPS", "10.1.3.1", "10.1.3.1")} << false;
    QTest::newRow("netcfg ok with a blank")
        << "SN-CFG-BLANK" << pw << "10.1.3.2" << QStringList{refusedBox}
        << QStringList{login("SN-CFG-BLANK"), netcfgBody("SN-CFG-BLANK", "10.1.3.2", "10.1.3.1")} << false;
    QTest::newRow("netcfg a number")
        << "SN-CFG-NUM" << pw << "10.1.3.3" << QStringList{refusedBox}
        << QStringList{login("SN-CFG-NUM"), netcfgBody("SN-CFG-NUM", "10.1.3.3", "10.1.3.1")} << false;
    QTest::newRow("netcfg reply without data")
        << "SN-CFG-NODATA" << pw << "10.1.3.4" << QStringList{refusedBox}
        << QStringList{login("SN-CFG-NODATA"), netcfgBody("SN-CFG-NODATA", "10.1.3.4", "10.1.3.1")} << false;
    QTest::newRow("no netcfg reply")
        << "SN-CFG-SILENT" << pw << "10.1.3.5" << QStringList{timeoutBox, notOpenBox}
        << QStringList{login("SN-CFG-SILENT"), netcfgBody("SN-CFG-SILENT", "10.1.3.5", "10.1.3.1")} << false;
    // The dialog lets 008 through; as an address it is no valid octal number.
    QTest::newRow("not an address after login")
        << "SN-OCTAL" << pw << "192.168.001.008"
        << QStringList{"critical|Invalid IP Address|Please enter a valid IPv4 address.|window"}
        << QStringList{login("SN-OCTAL")} << false;
    QTest::newRow("Active with blanks takes the login road")
        << "SN-BLANKS" << "badpass1" << "10.1.4.1"
        << QStringList{"critical|Tips|Password error, login device failed|window"}
        << QStringList{loginBody("badpass1", "SN-BLANKS")} << false;
}

void TestOperations::ipChange()
{
    QFETCH(QString, sn);
    QFETCH(QString, password);
    QFETCH(QString, newIp);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, requests);
    QFETCH(bool, changed);

    const int row = rowOf(sn);
    QVERIFY(row >= 0);
    const QString oldIp = cell(row, 0);
    const QString oldActive = cell(row, 5);

    QPointer<ORV_Passwd_Window> dialog = pressUpdateIp(row);
    QVERIFY(dialog);
    confirm(dialog, password, newIp);

    QCOMPARE(boxesSeen(), boxes);
    QCOMPARE(requestsSent(), requests);
    QCOMPARE(cell(row, 0), changed ? newIp : oldIp);
    QCOMPARE(cell(row, 5), oldActive);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(dialog.isNull(), "a confirmed dialog must be deleted");

    {
        QMutexLocker locker(&logMutex);
        QVERIFY(logLines.contains(QStringLiteral("ip:%1,passwd:******,sn:%2,newIP:%3").arg(oldIp, sn, newIp)));
        for (const QString &line : qAsConst(logLines))
            QVERIFY2(!line.contains(password), qPrintable(QStringLiteral("password in the log: ") + line));
    }

    if (changed)
        waitForRestartNotice(boxes.size());
}

void TestOperations::activation_data()
{
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("netcfg");  // a "netcfg" follows the "activate"
    QTest::addColumn<bool>("marked");  // column 5 reads "active" afterwards
    QTest::addColumn<bool>("changed"); // column 0 reads the new IP afterwards

    const QString already = QStringLiteral("information|Tips|device is already actived|window");
    QTest::newRow("--- activates, then changes the address") << "SN-ACT" << QStringList{successBox} << true << true << true;
    QTest::newRow("marked although the change is refused")
        << "SN-ACT-REFUSED" << QStringList{refusedBox} << true << true << false;
    QTest::newRow("Success with a capital S is a refusal") << "SN-ACT-CAPS" << QStringList{already} << false << false << false;
    QTest::newRow("device refuses") << "SN-ACT-ALREADY" << QStringList{already} << false << false << false;
    QTest::newRow("numeric activate") << "SN-ACT-NUM" << QStringList{already} << false << false << false;
    QTest::newRow("no activate reply") << "SN-ACT-SILENT" << QStringList{timeoutBox, notOpenBox} << false << false
                                       << false;
    QTest::newRow("activate reply without data")
        << "SN-ACT-NODATA" << QStringList{"critical|Tips|device returned invalid data (no data field)|window"} << false
        << false << false;
}

void TestOperations::activation()
{
    QFETCH(QString, sn);
    QFETCH(QStringList, boxes);
    QFETCH(bool, netcfg);
    QFETCH(bool, marked);
    QFETCH(bool, changed);

    const int row = rowOf(sn);
    QVERIFY(row >= 0);
    const QString oldIp = cell(row, 0);
    const QString oldActive = cell(row, 5);
    const QString password = QStringLiteral("first-pw9");
    const QString newIp = QStringLiteral("10.9.8.%1").arg(row + 1);

    QPointer<ORV_Passwd_Window> dialog = pressUpdateIp(row);
    QVERIFY(dialog);
    QVERIFY(!dialog->parentWidget());
    confirm(dialog, password, newIp);

    QCOMPARE(boxesSeen(), boxes);
    QStringList expected{activateBody(password, sn)};
    if (netcfg)
        expected << netcfgBody(sn, newIp, QStringLiteral("10.9.8.1"));
    QCOMPARE(requestsSent(), expected); // never a "login"
    QCOMPARE(cell(row, 5), marked ? QStringLiteral("active") : oldActive);
    QCOMPARE(cell(row, 0), changed ? newIp : oldIp);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(dialog.isNull(), "the parentless activation dialog must be deleted once closed");

    {
        QMutexLocker locker(&logMutex);
        for (const QString &line : qAsConst(logLines))
            QVERIFY2(!line.contains(password), qPrintable(QStringLiteral("password in the log: ") + line));
    }

    if (changed)
        waitForRestartNotice(boxes.size());
}

// The success road step by step: the cell changes only once the operator has closed the
// success box, the notice follows 5 s later, the web page goes to the new address, and
// a refill of the page from the device list shows the old address again.
void TestOperations::acceptedChangeInDetail()
{
    closer.stop(); // boxes are closed here, noting the IP cell at that moment
    const int row = rowOf(QStringLiteral("SN-MAIN"));
    QVERIFY(row >= 0);
    const QString oldIp = cell(row, 0);
    QStringList seen;
    QVector<qint64> seenAt;
    QTimer observer;
    observer.setInterval(10);
    connect(&observer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen << box->windowTitle() + QLatin1Char('|') + cell(row, 0);
        seenAt << QDateTime::currentMSecsSinceEpoch();
        box->button(QMessageBox::Ok)->click();
    });
    observer.start();

    QPointer<ORV_Passwd_Window> dialog = pressUpdateIp(row);
    QVERIFY(dialog);
    confirm(dialog, QStringLiteral("goodpass1"), QStringLiteral("10.0.0.5"));
    QCOMPARE(requestsSent(), (QStringList{loginBody("goodpass1", "SN-MAIN"),
                                          netcfgBody("SN-MAIN", "10.0.0.5", "10.0.0.1")}));
    QCOMPARE(seen, QStringList{"Tips|" + oldIp});
    QCOMPARE(cell(row, 0), QStringLiteral("10.0.0.5"));

    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 20000);
    QCOMPARE(seen.last(), QStringLiteral("Device Restart|10.0.0.5"));
    QVERIFY2(seenAt.last() - seenAt.first() >= 4990,
             qPrintable(QStringLiteral("notice after %1 ms").arg(seenAt.last() - seenAt.first())));

    // The web page of the row now goes to the new address.
    QTest::qWait(600);
    emit table->cellDoubleClicked(row, 0);
    QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://10.0.0.5"))});

    // The device list still holds the old address.
    QVERIFY(pressPageButton(window->currentPageNumber()));
    QCOMPARE(cell(rowOf(QStringLiteral("SN-MAIN")), 0), oldIp);
    QCOMPARE(seen.size(), 2);
}

void TestOperations::activationDialogGoesWithTheWindow()
{
    const int row = rowOf(QStringLiteral("SN-ACT-NUM"));
    QVERIFY(row >= 0);
    QPointer<ORV_Passwd_Window> dialog = pressUpdateIp(row);
    QVERIFY(dialog);
    QVERIFY(!dialog->parentWidget());
    window.reset();
    QVERIFY2(dialog.isNull(), "the parentless activation dialog outlived the main window");
    QCOMPARE(requestsSent(), QStringList());
}

QTEST_MAIN(TestOperations)
#include "test_operations.moc"
