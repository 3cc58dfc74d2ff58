// The web-page gate of the device table: firmware versions, the IP cell as it came
// from the network, and the double-click guard. The table is filled by hand.
#include "orv_window.h"

#include "messageboxcloser.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

#include <memory>

class TestWebPage : public QObject
{
    Q_OBJECT

public slots:
    // Stands in for the browser.
    void openUrl(const QUrl &url) { opened << url; }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void versionGate_data();
    void versionGate();
    void missingVersionCellIsTooLow();
    void ipCellMustBeDottedIPv4_data();
    void ipCellMustBeDottedIPv4();
    void missingIpCellDoesNothing();
    void otherColumnsOpenNothing();
    void guardAfterAnyColumn();
    void guardWithinOneColumn();
    void acceptedAgainAfterGuard();

private:
    void setRow(int row, const QString *ip, const QString *version);
    void doubleClick(int row, int column);

    std::unique_ptr<ORV_Window> window;
    QTableWidget *table = nullptr;
    MessageBoxCloser closer;
    QList<QUrl> opened;
};

namespace {
const QString lowVersionText = QStringLiteral("The version is low and does not support web functions");
const QString ip20 = QStringLiteral("192.168.1.20");
} // namespace

void TestWebPage::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
}

void TestWebPage::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void TestWebPage::init()
{
    window.reset(new ORV_Window(QStringLiteral("test")));
    table = window->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    QVERIFY(table);
    if (table->columnCount() < 7)
        table->setColumnCount(7);
    table->setRowCount(0);
    opened.clear();
    closer.clear();
    closer.start();
}

void TestWebPage::cleanup()
{
    closer.stop();
    window.reset();
    table = nullptr;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY2(!w->isVisible(), qPrintable(w->metaObject()->className() + QStringLiteral(" left open")));
}

// A null pointer leaves the cell without an item.
void TestWebPage::setRow(int row, const QString *ip, const QString *version)
{
    if (table->rowCount() <= row)
        table->setRowCount(row + 1);
    table->setItem(row, 0, ip ? new QTableWidgetItem(*ip) : nullptr);
    table->setItem(row, 1, new QTableWidgetItem(QStringLiteral("SN0001")));
    table->setItem(row, 4, version ? new QTableWidgetItem(*version) : nullptr);
    table->setItem(row, 5, new QTableWidgetItem(QStringLiteral("active")));
}

void TestWebPage::doubleClick(int row, int column)
{
    QVERIFY(QMetaObject::invokeMethod(window.get(), "onCellDoubleClicked", Q_ARG(int, row), Q_ARG(int, column)));
    QTest::qWait(100); // the closer polls every 20 ms
}

void TestWebPage::versionGate_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("opens");

    QTest::newRow("the minimum") << "6.0.231024" << true;
    QTest::newRow("one below the minimum") << "6.0.231023" << false;
    QTest::newRow("excluded 6.0.240514") << "6.0.240514" << false;
    QTest::newRow("excluded 6.0.240630") << "6.0.240630" << false;
    QTest::newRow("6.0.240701") << "6.0.240701" << true;
    QTest::newRow("6.1.0") << "6.1.0" << true;
    QTest::newRow("7") << "7" << true;
    QTest::newRow("6.0, fewer segments") << "6.0" << false;
    QTest::newRow("a fourth segment") << "6.0.231024.0" << true;
    QTest::newRow("suffix after an excluded version") << "6.0.240514-beta" << true;
    QTest::newRow("blank before an excluded version") << " 6.0.240514" << true;
    QTest::newRow("blank after an excluded version") << "6.0.240514 " << true;
    QTest::newRow("placeholder ---") << "---" << false;
    QTest::newRow("placeholder --- with blanks") << " --- " << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("letters") << "beta" << false;
    QTest::newRow("v prefix") << "v7.0" << false;
    QTest::newRow("huge segment") << "99999999999999999999999.1" << false;
    // Parsing stops at a segment too large for a version number: this reads as 6.
    QTest::newRow("huge later segment") << "6.99999999999999999999999" << false;
}

void TestWebPage::versionGate()
{
    QFETCH(QString, version);
    QFETCH(bool, opens);
    setRow(0, &ip20, &version);

    doubleClick(0, 0);

    if (opens) {
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://192.168.1.20"))});
        QCOMPARE(opened.first().toString(), QStringLiteral("http://192.168.1.20"));
        QCOMPARE(closer.count(), 0);
    } else {
        QVERIFY(opened.isEmpty());
        QCOMPARE(closer.count(), 1);
        const MessageBoxCloser::Box box = closer.last();
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.title, QStringLiteral("Tips"));
        QCOMPARE(box.text, lowVersionText);
        QCOMPARE(box.parent.data(), static_cast<QWidget *>(window.get()));
    }
}

void TestWebPage::missingVersionCellIsTooLow()
{
    setRow(0, &ip20, nullptr);
    doubleClick(0, 0);
    QVERIFY(opened.isEmpty());
    QCOMPARE(closer.count(), 1);
    QCOMPARE(closer.last().text, lowVersionText);
}

void TestWebPage::ipCellMustBeDottedIPv4_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("url"); // empty: nothing may be opened

    QTest::newRow("plain address") << "192.168.1.20" << "http://192.168.1.20";
    QTest::newRow("loopback") << "127.0.0.1" << "http://127.0.0.1";
    QTest::newRow("with a path") << "192.168.1.20/admin?x=1" << "";
    QTest::newRow("with a port") << "192.168.1.20:8080" << "";
    QTest::newRow("user info") << "evil.example@192.168.1.20" << "";
    QTest::newRow("host name") << "device.example" << "";
    QTest::newRow("javascript") << "javascript:alert(1)" << "";
    QTest::newRow("leading blank") << " 192.168.1.20" << "";
    QTest::newRow("trailing newline") << "192.168.1.20\n" << "";
    QTest::newRow("part above 255") << "192.168.1.256" << "";
    QTest::newRow("three parts") << "192.168.1" << "";
    QTest::newRow("IPv6") << "::1" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("fullwidth digits") << QStringLiteral("１９２.168.1.20") << "";
}

void TestWebPage::ipCellMustBeDottedIPv4()
{
    QFETCH(QString, ip);
    QFETCH(QString, url);
    const QString version = QStringLiteral("6.1.0");
    setRow(0, &ip, &version);
    if (url.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not an IPv4 address")));

    doubleClick(0, 0);

    QCOMPARE(closer.count(), 0);
    if (url.isEmpty()) {
        QVERIFY(opened.isEmpty());
    } else {
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().toString(), url);
    }
}

void TestWebPage::missingIpCellDoesNothing()
{
    const QString version = QStringLiteral("6.1.0");
    setRow(0, nullptr, &version);
    doubleClick(0, 0);
    QVERIFY(opened.isEmpty());
    QCOMPARE(closer.count(), 0);
}

void TestWebPage::otherColumnsOpenNothing()
{
    const QString version = QStringLiteral("6.1.0");
    const QString low = QStringLiteral("1.0");
    setRow(0, &ip20, &version);
    setRow(1, &ip20, &low);
    // Row 0 would open its page and row 1 would show the notice, were the column not checked.
    for (int column = 1; column < 7; ++column) {
        doubleClick(column % 2, column);
        QTest::qWait(500);
    }
    QVERIFY(opened.isEmpty());
    QCOMPARE(closer.count(), 0);
}

void TestWebPage::guardAfterAnyColumn()
{
    const QString version = QStringLiteral("6.1.0");
    setRow(0, &ip20, &version);
    // The first double-click does nothing, yet it is accepted and stamped.
    QVERIFY(QMetaObject::invokeMethod(window.get(), "onCellDoubleClicked", Q_ARG(int, 0), Q_ARG(int, 3)));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "onCellDoubleClicked", Q_ARG(int, 0), Q_ARG(int, 0)));
    QTest::qWait(100);
    QVERIFY(opened.isEmpty());
}

void TestWebPage::guardWithinOneColumn()
{
    const QString version = QStringLiteral("6.1.0");
    const QString low = QStringLiteral("5.0");
    setRow(0, &ip20, &version);
    setRow(1, &ip20, &low);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "onCellDoubleClicked", Q_ARG(int, 0), Q_ARG(int, 0)));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "onCellDoubleClicked", Q_ARG(int, 0), Q_ARG(int, 0)));
    QCOMPARE(opened.size(), 1);

    QTest::qWait(600);
    // The notice is not shown twice for a quick second double-click either (the first
    // call returns once the closer has closed its box).
    QVERIFY(QMetaObject::invokeMethod(window.get(), "onCellDoubleClicked", Q_ARG(int, 1), Q_ARG(int, 0)));
    QCOMPARE(closer.count(), 1);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "onCellDoubleClicked", Q_ARG(int, 1), Q_ARG(int, 0)));
    QTest::qWait(100);
    QCOMPARE(closer.count(), 1);
}

void TestWebPage::acceptedAgainAfterGuard()
{
    const QString version = QStringLiteral("6.0.231024");
    setRow(0, &ip20, &version);
    doubleClick(0, 0);
    QTest::qWait(600);
    doubleClick(0, 0);
    QCOMPARE(opened.size(), 2);
}

QTEST_MAIN(TestWebPage)
#include "test_webpage.moc"
