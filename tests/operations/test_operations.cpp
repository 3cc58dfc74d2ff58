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
const QString passwordBox = QStringLiteral("critical|Tips|Password error, login device failed|window");
const QString noDataBox = QStringLiteral("critical|Tips|device returned invalid data (no data field)|window");
const QString noLoginBox = QStringLiteral("critical|Tips|device returned invalid data (no login field)|window");
const QString alreadyBox = QStringLiteral("information|Tips|device is already actived|window");
const QString goodPw = QStringLiteral("goodpass1");
const QString firstPw = QStringLiteral("first-pw9"); // the password an activation sets

// command: "login" or "activate"
QString verifyBody(const QString &command, const QString &password, const QString &sn)
{
    return QStringLiteral(R"({"callcmd":"Security verification","password":"%1","sn":"%2","command":"%3"})")
        .arg(password, sn, command);
}

QString netcfgBody(const QString &sn, const QString &ip, const QString &gw)
{
    return QStringLiteral(R"({"callcmd":"netcfg","sn":"%1","calldata":{"dhcp":0,"ip":"%2","gw":"%3",)"
                          R"("mask":"255.255.255.0","dns":"114.114.114.114"}})")
        .arg(sn, ip, gw);
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

    void change_data();
    void change();
    void acceptedChangeInDetail();
    void activationDialogCancelledOrOrphaned(); // last: it destroys the window

private:
    int rowOf(const QString &sn);
    bool pressPageButton(int page);
    QString cell(int row, int column) const
    {
        const QTableWidgetItem *item = table->item(row, column);
        return item ? item->text() : QStringLiteral("<no item>");
    }
    ORV_Passwd_Window *pressUpdateIp(int row);
    void confirm(ORV_Passwd_Window *dialog, const QString &password, const QString &newIp);
    QStringList boxesSeen() const;
    QStringList requestsSent() const; // the "data" of every request since init()

    DeviceSimulatorThread simulator;
    std::unique_ptr<ORV_Window> window;
    QTableWidget *table = nullptr;
    MessageBoxCloser closer;
    int requestMark = 0;
    QList<QUrl> opened;
};

void TestOperations::initTestCase()
{
    using Override = SimDevice::Override;
    QVector<SimDevice> fleet;
    auto add = [&fleet](const char *sn, const QString &password, const char *active = "active",
                        const char *command = nullptr, Override::Kind kind = Override::Data,
                        const char *data = nullptr) {
        const int n = 10 + fleet.size();
        SimDevice d;
        d.sn = QLatin1String(sn);
        d.ip = QStringLiteral("192.168.7.%1").arg(n);
        d.mac = QStringLiteral("02:00:00:00:07:%1").arg(n, 2, 16, QLatin1Char('0'));
        d.model = QStringLiteral("TV-100");
        d.baseModel = QStringLiteral("TV");
        d.version = QStringLiteral("6.1.0");
        d.password = password;
        d.activeState = QLatin1String(active);
        if (command)
            d.overrides.insert(QLatin1String(command), Override{kind, data});
        fleet << d;
    };
    const QString good = goodPw, none;
    add("SN-MAIN", good);
    add("SN-ZEROS", good, "active", "netcfg", Override::Data, R"({"calldata":{"netcfg":"ok"}})");
    add("SN-SUCCESSFUL", good, "active", "login", Override::Data, R"({"login":"successful"})");
    add("SN-WRONG", good);
    add("SN-SUCC", good, "active", "login", Override::Data, R"({"login":"succ"})");
    add("SN-NOTACT", none);
    add("SN-SILENT", good, "active", "login", Override::NoReply);
    add("SN-NODATA", good, "active", "login", Override::NoData);
    add("SN-NOLOGIN", good, "active", "login", Override::Data, R"({"logon":"success"})");
    add("SN-STRDATA", good, "active", "login", Override::Data, R"(["success"])");
    add("SN-NUMLOGIN", good, "active", "login", Override::Data, R"({"login":7})");
    add("SN-CFG-CAPS", good, "active", "netcfg", Override::Data, R"({"calldata":{"netcfg":"OK"}})");
    add("SN-CFG-BLANK", good, "active", "netcfg", Override::Data, R"({"calldata":{"netcfg":"ok "}})");
    add("SN-CFG-NUM", good, "active", "netcfg", Override::Data, R"({"calldata":{"netcfg":0}})");
    add("SN-CFG-NODATA", good, "active", "netcfg", Override::NoData);
    add("SN-CFG-SILENT", good, "active", "netcfg", Override::NoReply);
    add("SN-OCTAL", good);
    add("SN-BLANKS", good, " Active ");
    add("SN-CAPS", good, "ACTIVE");
    add("SN-ACT", none, "---");
    add("SN-ACT-REFUSED", none, "inactive", "netcfg", Override::Data, R"({"calldata":{"netcfg":"error"}})");
    add("SN-ACT-CAPS", none, "---", "activate", Override::Data, R"({"activate":"Success"})");
    add("SN-ACT-ALREADY", good, "---");
    add("SN-ACT-SILENT", none, "---", "activate", Override::NoReply);
    add("SN-ACT-NODATA", none, "---", "activate", Override::NoData);
    add("SN-ACT-NUM", none, "---", "activate", Override::Data, R"({"activate":1})");

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
    for (QWidget *w : QApplication::topLevelWidgets()) {
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
    for (QPushButton *button : strip ? strip->findChildren<QPushButton *>() : QList<QPushButton *>()) {
        if (button->text() == QString::number(page) && !button->isHidden()) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCoreApplication::processEvents(); // the strip's new buttons show up queued
            return window->currentPageNumber() == page;
        }
    }
    return false;
}

// Null unless exactly one dialog opened.
ORV_Passwd_Window *TestOperations::pressUpdateIp(int row)
{
    QWidget *container = table->cellWidget(row, 6);
    auto *button = container ? container->findChild<QPushButton *>() : nullptr;
    if (!button)
        return nullptr;
    QTest::mouseClick(button, Qt::LeftButton);
    ORV_Passwd_Window *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<ORV_Passwd_Window *>(w);
        if (dialog && dialog->isVisible()) {
            if (found)
                return nullptr;
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

void TestOperations::change_data()
{
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QString>("command"); // the first request: "login" or "activate"
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("newIp");
    QTest::addColumn<QString>("gateway"); // empty: no "netcfg" may follow
    QTest::addColumn<QStringList>("boxes");
    // The IP cell changes exactly when the success box shows; an activation that went
    // through marks the row "active" whenever a "netcfg" follows.

    const QString login = QStringLiteral("login"), act = QStringLiteral("activate"), pw = goodPw;
    QTest::newRow("leading zeros refused before the login") << "SN-ZEROS" << "" << pw << "172.016.005.077" << "" << QStringList{"critical|Invalid IP Address|Please enter a valid IPv4 address.|window"};
    QTest::newRow("login successful is a success") << "SN-SUCCESSFUL" << login << pw << "10.1.2.3" << "10.1.2.1" << QStringList{successBox};
    QTest::newRow("wrong password") << "SN-WRONG" << login << "badpass1" << "10.1.2.4" << "" << QStringList{passwordBox};
    QTest::newRow("login succ is a refusal") << "SN-SUCC" << login << pw << "10.1.2.5" << "" << QStringList{passwordBox};
    QTest::newRow("not activated") << "SN-NOTACT" << login << pw << "10.1.2.6" << "" << QStringList{"critical|Tips|device is not activated|window"};
    QTest::newRow("no login reply") << "SN-SILENT" << login << pw << "10.1.2.7" << "" << QStringList{timeoutBox, notOpenBox};
    QTest::newRow("login reply without data") << "SN-NODATA" << login << pw << "10.1.2.8" << "" << QStringList{noDataBox};
    QTest::newRow("login reply without login") << "SN-NOLOGIN" << login << pw << "10.1.2.9" << "" << QStringList{noLoginBox};
    QTest::newRow("data not an object") << "SN-STRDATA" << login << pw << "10.1.2.11" << "" << QStringList{noLoginBox};
    QTest::newRow("numeric login") << "SN-NUMLOGIN" << login << pw << "10.1.2.10" << "" << QStringList{noLoginBox};
    QTest::newRow("netcfg OK in capitals") << "SN-CFG-CAPS" << login << pw << "10.1.3.1" << "10.1.3.1" << QStringList{refusedBox};
    QTest::newRow("netcfg ok with a blank") << "SN-CFG-BLANK" << login << pw << "10.1.3.2" << "10.1.3.1" << QStringList{refusedBox};
    QTest::newRow("netcfg a number") << "SN-CFG-NUM" << login << pw << "10.1.3.3" << "10.1.3.1" << QStringList{refusedBox};
    QTest::newRow("netcfg reply without data") << "SN-CFG-NODATA" << login << pw << "10.1.3.4" << "10.1.3.1" << QStringList{refusedBox};
    QTest::newRow("no netcfg reply") << "SN-CFG-SILENT" << login << pw << "10.1.3.5" << "10.1.3.1" << QStringList{timeoutBox, notOpenBox};
    // The dialog lets 008 through; as an address it is no valid octal number.
    QTest::newRow("octal-looking address refused before the login") << "SN-OCTAL" << "" << pw << "192.168.001.008" << "" << QStringList{"critical|Invalid IP Address|Please enter a valid IPv4 address.|window"};
    QTest::newRow("Active with blanks takes the login road") << "SN-BLANKS" << login << "badpass1" << "10.1.4.1" << "" << QStringList{passwordBox};
    QTest::newRow("ACTIVE takes the login road") << "SN-CAPS" << login << "badpass1" << "10.1.4.2" << "" << QStringList{passwordBox};

    QTest::newRow("--- activates, then changes the address") << "SN-ACT" << act << firstPw << "10.9.8.2" << "10.9.8.1" << QStringList{successBox};
    QTest::newRow("inactive is marked although the change is refused") << "SN-ACT-REFUSED" << act << firstPw << "10.9.8.3" << "10.9.8.1" << QStringList{refusedBox};
    QTest::newRow("Success with a capital S is a refusal") << "SN-ACT-CAPS" << act << firstPw << "10.9.8.4" << "" << QStringList{alreadyBox};
    QTest::newRow("device refuses") << "SN-ACT-ALREADY" << act << firstPw << "10.9.8.5" << "" << QStringList{alreadyBox};
    QTest::newRow("numeric activate") << "SN-ACT-NUM" << act << firstPw << "10.9.8.6" << "" << QStringList{alreadyBox};
    QTest::newRow("no activate reply") << "SN-ACT-SILENT" << act << firstPw << "10.9.8.7" << "" << QStringList{timeoutBox, notOpenBox};
    QTest::newRow("activate reply without data") << "SN-ACT-NODATA" << act << firstPw << "10.9.8.8" << "" << QStringList{noDataBox};
}

void TestOperations::change()
{
    QFETCH(QString, sn);
    QFETCH(QString, command);
    QFETCH(QString, password);
    QFETCH(QString, newIp);
    QFETCH(QString, gateway);
    QFETCH(QStringList, boxes);
    const bool changed = boxes == QStringList{successBox};
    const bool activation = command == QLatin1String("activate");
    const bool marked = activation && !gateway.isEmpty();

    const int row = rowOf(sn);
    QVERIFY(row >= 0);
    const QString oldIp = cell(row, 0);
    const QString oldActive = cell(row, 5);
    QPointer<ORV_Passwd_Window> dialog = pressUpdateIp(row);
    QVERIFY2(dialog, "pressing Update IP must open exactly one dialog");
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Update IP"));
    QCOMPARE(dialog->size(), QSize(526, 272));
    QCOMPARE(dialog->minimumSize(), QSize(526, 272));
    QCOMPARE(dialog->maximumSize(), QSize(526, 272));
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    QVERIFY(dialog->isWindow());
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_ip"))->text(), oldIp);
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("passwd_text"))->placeholderText(),
             activation ? QStringLiteral("Enter device active password") : QStringLiteral("Input Password"));
    QCOMPARE(dialog->parentWidget(), activation ? nullptr : static_cast<QWidget *>(window.get()));
    confirm(dialog, password, newIp);

    QCOMPARE(boxesSeen(), boxes);
    QStringList requests;
    if (!command.isEmpty())
        requests << verifyBody(command, password, sn);
    if (!gateway.isEmpty())
        requests << netcfgBody(sn, newIp, gateway);
    QCOMPARE(requestsSent(), requests);
    QCOMPARE(cell(row, 0), changed ? newIp : oldIp);
    QCOMPARE(cell(row, 5), marked ? QStringLiteral("active") : oldActive);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(dialog.isNull(), "a confirmed dialog must be deleted");
    {
        QMutexLocker locker(&logMutex);
        if (command == QLatin1String("login"))
            QVERIFY(logLines.contains(QStringLiteral("ip:\"%1\",passwd:******,sn:\"%2\",newIP:\"%3\"").arg(oldIp, sn, newIp)));
        for (const QString &line : qAsConst(logLines))
            QVERIFY2(!line.contains(password), qPrintable(QStringLiteral("password in the log: ") + line));
    }
    if (changed) { // the restart notice, 5 s after the success box
        QTRY_COMPARE_WITH_TIMEOUT(closer.count(), 2, 20000);
        QCOMPARE(describe(closer.last(), window.get()), restartBox);
        const qint64 delay = closer.last().seenAtMs - closer.boxes().first().seenAtMs;
        QVERIFY2(delay >= 4990, qPrintable(QStringLiteral("restart notice after %1 ms").arg(delay)));
    }
}

// The cell changes only once the operator has closed the success box; the web page then goes
// to the new address, and a refill of the page from the device list shows the old one again.
void TestOperations::acceptedChangeInDetail()
{
    closer.stop(); // boxes are closed here, noting the IP cell at that moment
    const int row = rowOf(QStringLiteral("SN-MAIN"));
    QVERIFY(row >= 0);
    const QString oldIp = cell(row, 0);
    QStringList seen;
    QTimer observer;
    observer.setInterval(10);
    connect(&observer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen << box->windowTitle() + QLatin1Char('|') + cell(row, 0);
        box->button(QMessageBox::Ok)->click();
    });
    observer.start();

    QPointer<ORV_Passwd_Window> dialog = pressUpdateIp(row);
    QVERIFY(dialog);
    confirm(dialog, goodPw, QStringLiteral("10.0.0.5"));
    QCOMPARE(seen, QStringList{"Tips|" + oldIp});
    QCOMPARE(cell(row, 0), QStringLiteral("10.0.0.5"));

    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 20000);
    QCOMPARE(seen.last(), QStringLiteral("Device Restart|10.0.0.5"));

    QTest::qWait(600); // past the double-click guard
    emit table->cellDoubleClicked(row, 0);
    QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://10.0.0.5"))});

    // The device list still holds the old address.
    QVERIFY(pressPageButton(window->currentPageNumber()));
    QCOMPARE(cell(rowOf(QStringLiteral("SN-MAIN")), 0), oldIp);
    QCOMPARE(seen.size(), 2);
}

// The activation dialog has no parent: it must be deleted once cancelled, and go with the window.
void TestOperations::activationDialogCancelledOrOrphaned()
{
    const int row = rowOf(QStringLiteral("SN-ACT-NUM"));
    QVERIFY(row >= 0);
    QPointer<ORV_Passwd_Window> dialog = pressUpdateIp(row);
    QVERIFY(dialog);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cancel_button")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(dialog.isNull(), "a cancelled dialog must be deleted");

    dialog = pressUpdateIp(row);
    QVERIFY(dialog);
    window.reset();
    QVERIFY2(dialog.isNull(), "the parentless activation dialog outlived the main window");
    QTest::qWait(200);
    QCOMPARE(requestsSent(), QStringList());
    QCOMPARE(closer.count(), 0);
}

QTEST_MAIN(TestOperations)
#include "test_operations.moc"
