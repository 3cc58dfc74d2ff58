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

namespace {
const QString none = QStringLiteral("<no item>"); // leaves the cell without an item
const QString ip20 = QStringLiteral("192.168.1.20");
const QString url20 = QStringLiteral("http://192.168.1.20");
} // namespace

class TestWebPage : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened << url; } // stands in for the browser

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void gate_data();
    void gate();
    void guardAcrossColumns();

private:
    void setRow(int row, const QString &ip, const QString &version)
    {
        if (table->rowCount() <= row)
            table->setRowCount(row + 1);
        table->setItem(row, 0, ip == none ? nullptr : new QTableWidgetItem(ip));
        table->setItem(row, 1, new QTableWidgetItem(QStringLiteral("SN0001")));
        table->setItem(row, 4, version == none ? nullptr : new QTableWidgetItem(version));
        table->setItem(row, 5, new QTableWidgetItem(QStringLiteral("active")));
    }
    // A double-click as the table delivers it; `settle` gives the closer (polling every 20 ms) time.
    void doubleClick(int row, int column, bool settle = true)
    {
        QVERIFY(QMetaObject::invokeMethod(window.get(), "onCellDoubleClicked", Q_ARG(int, row),
                                          Q_ARG(int, column)));
        if (settle)
            QTest::qWait(100);
    }

    std::unique_ptr<ORV_Window> window;
    QTableWidget *table = nullptr;
    MessageBoxCloser closer;
    QList<QUrl> opened;
};

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
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->metaObject()->className() + QStringLiteral(" left open")));
}

void TestWebPage::gate_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("outcome"); // "open", "low" (the notice), "bad ip" (a warning), "nothing"
    QTest::addColumn<int>("column");       // where the double-click lands

    // Only the IP column opens the page or shows the notice.
    QTest::newRow("SN column") << ip20 << "6.1.0" << "nothing" << 1;
    QTest::newRow("version column, low version") << ip20 << "1.0" << "nothing" << 4;
    QTest::newRow("button column") << ip20 << "6.1.0" << "nothing" << 6;

    QTest::newRow("the minimum") << ip20 << "6.0.231024" << "open" << 0;
    QTest::newRow("one below the minimum") << ip20 << "6.0.231023" << "low" << 0;
    QTest::newRow("excluded 6.0.240514") << ip20 << "6.0.240514" << "low" << 0;
    QTest::newRow("excluded 6.0.240630") << ip20 << "6.0.240630" << "low" << 0;
    QTest::newRow("7") << ip20 << "7" << "open" << 0;
    QTest::newRow("6.0, fewer segments") << ip20 << "6.0" << "low" << 0;
    QTest::newRow("a fourth segment") << ip20 << "6.0.231024.0" << "open" << 0;
    QTest::newRow("suffix after an excluded version") << ip20 << "6.0.240514-beta" << "open" << 0;
    QTest::newRow("blank before an excluded version") << ip20 << " 6.0.240514" << "open" << 0;
    QTest::newRow("blank after an excluded version") << ip20 << "6.0.240514 " << "open" << 0;
    QTest::newRow("placeholder ---") << ip20 << "---" << "low" << 0;
    QTest::newRow("empty version") << ip20 << "" << "low" << 0;
    QTest::newRow("no version cell") << ip20 << none << "low" << 0;
    QTest::newRow("v prefix") << ip20 << "v7.0" << "low" << 0;
    QTest::newRow("huge segment") << ip20 << "99999999999999999999999.1" << "low" << 0;
    // Parsing stops at a segment too large for a version number: this reads as 6.
    QTest::newRow("huge later segment") << ip20 << "6.99999999999999999999999" << "low" << 0;

    QTest::newRow("ip with a path") << "192.168.1.20/admin?x=1" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("ip with a port") << "192.168.1.20:8080" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("user info") << "evil.example@192.168.1.20" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("host name") << "device.example" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("javascript") << "javascript:alert(1)" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("ip leading blank") << " 192.168.1.20" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("ip trailing newline") << "192.168.1.20\n" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("part above 255") << "192.168.1.256" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("IPv6") << "::1" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("empty ip") << "" << "6.1.0" << "bad ip" << 0;
    QTest::newRow("fullwidth digits") << QStringLiteral("１９２.168.1.20") << "6.1.0" << "bad ip" << 0;
    QTest::newRow("no ip cell") << none << "6.1.0" << "nothing" << 0;
}

void TestWebPage::gate()
{
    QFETCH(QString, ip);
    QFETCH(QString, version);
    QFETCH(QString, outcome);
    QFETCH(int, column);
    setRow(0, ip, version);
    if (outcome == QLatin1String("bad ip"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a plain IPv4 address")));

    doubleClick(0, column);

    QCOMPARE(opened, outcome == QLatin1String("open") ? QList<QUrl>{QUrl(url20)} : QList<QUrl>());
    if (outcome == QLatin1String("open"))
        QCOMPARE(opened.first().toString(), url20);
    QCOMPARE(closer.count(), outcome == QLatin1String("low") ? 1 : 0);
    if (outcome == QLatin1String("low")) {
        const MessageBoxCloser::Box box = closer.last();
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.title, QStringLiteral("Tips"));
        QCOMPARE(box.text, QStringLiteral("The version is low and does not support web functions"));
        QCOMPARE(box.parent.data(), static_cast<QWidget *>(window.get()));
    }
}

// A double-click within 500 ms of the last accepted one is ignored, whatever its column.
void TestWebPage::guardAcrossColumns()
{
    setRow(0, ip20, QStringLiteral("6.1.0"));
    setRow(1, ip20, QStringLiteral("5.0"));
    doubleClick(0, 3, false); // does nothing, yet is accepted and stamped
    doubleClick(0, 0);
    QVERIFY(opened.isEmpty());

    QTest::qWait(600);
    doubleClick(0, 0, false);
    doubleClick(0, 0, false);
    QCOMPARE(opened.size(), 1);

    // Nor is the notice shown twice (the first call returns once the closer has closed its box).
    QTest::qWait(600);
    doubleClick(1, 0, false);
    QCOMPARE(closer.count(), 1);
    doubleClick(1, 0);
    QCOMPARE(closer.count(), 1);

    QTest::qWait(600);
    doubleClick(0, 0);
    QCOMPARE(opened.size(), 2);
}

QTEST_MAIN(TestWebPage)
#include "test_webpage.moc"
