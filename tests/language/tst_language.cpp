// The hidden language switch, driven through the language button's menu of a real main
// window, and the settings file it writes. Runs in a temporary current directory, since
// the window writes "./Settings.ini".

#include "../window/windowprobe.h"

#include "messageboxcloser.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QResource>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

const char zhPath[] = ":/languages/zh_CN.qm";
const char enPath[] = ":/languages/us_EN.qm";

// Every text the switch re-applies: title, state bar label, Search, card caption, language
// button, state text, the seven headers, "Total", both arrows' tool tips, the row button.
const QStringList english{"Tarnvale_Window", "state bar:", "Search", "Select Network Card:", "Change Language",
                          "Double-click the IP to enter the web page", "IP", "Device ID", "MAC", "Model",
                          "FirmwareVersion", "Active Status", "Operation", "Total", "Previous Page", "Next Page",
                          "Update IP"};
// "IP", "Device ID" and "MAC" have no translation.
const QStringList chinese{"Tarnvale管理系统", "状态栏:", "搜索", "请选择网卡：", "切换语言", "双击IP进入web页面",
                          "IP", "Device ID", "MAC", "型号", "固件版本", "激活状态", "操作", "总页数", "上一页",
                          "下一页", "修改IP"};

// Triggers the menu entry with this text, adding one if the menu has none.
void choose(ORV_Window &window, const QString &text)
{
    QMenu *menu = child<QToolButton>(window, "language_button")->menu();
    QVERIFY(menu);
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action->trigger();
    }
    menu->addAction(text)->trigger();
}

QVariant storedLanguage()
{
    return QSettings(QStringLiteral("Settings.ini"), QSettings::IniFormat).value(QStringLiteral("language"));
}

// Compares every text of `expected` (one of the lists above) with what the window shows,
// the row buttons' texts, text keys and row numbers included.
bool showsTexts(ORV_Window &w, QStringList expected)
{
    QStringList shown{w.windowTitle(), child<QLabel>(w, "state_bar_label")->text(),
                      child<QPushButton>(w, "search_button")->text(), child<QLineEdit>(w, "NIC_edit")->text(),
                      child<QToolButton>(w, "language_button")->text(), child<QLineEdit>(w, "state_text")->text()};
    for (int c = 0; c < table(w)->columnCount(); ++c)
        shown << table(w)->horizontalHeaderItem(c)->text();
    auto *total = stripControl<QLabel>(w, "totalLabel");
    shown << (total ? total->text() : QString()) << prevArrow(w)->toolTip() << nextArrow(w)->toolTip();
    expected[13] += ' ' + QString::number(w.pageCount());

    const QString updateIp = expected.takeLast();
    for (int row = 0; row < table(w)->rowCount(); ++row) {
        QPushButton *button = rowButton(w, row);
        shown << (button ? button->text() + '|' + button->property("textKey").toString() + '|'
                               + button->property("row").toString()
                         : QStringLiteral("no button"));
        expected << updateIp + '|' + updateIp + '|' + QString::number(row);
    }
    return QTest::qCompare(shown, expected, "shown", "expected", __FILE__, __LINE__);
}

// The tray is built once, in English, and no switch touches it.
bool trayInEnglish(ORV_Window &w)
{
    QStringList entries;
    for (QAction *action : w.findChild<QSystemTrayIcon *>()->contextMenu()->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return QTest::qCompare(entries, QStringList{"Open", "-", "Quit"}, "tray", "expected", __FILE__, __LINE__);
}

} // namespace

class tst_Language : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(workDir.isValid(), qPrintable(workDir.errorString()));
        QVERIFY(QDir::setCurrent(workDir.path()));
        QVERIFY(QFile::exists(QLatin1String(zhPath)));
    }

    void init()
    {
        QFile::remove(QStringLiteral("Settings.ini"));
    }

    void cleanup()
    {
        restoreLanguages();
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), "a window was left open");
    }

    // A sequence of menu choices on page 2 of 3, with devices listed.
    void switching_data()
    {
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<bool>("toChinese");

        QTest::newRow("Chinese") << QStringList{"Chinese"} << true;
        QTest::newRow("Chinese, English") << QStringList{"Chinese", "English"} << false;
        QTest::newRow("Chinese twice") << QStringList{"Chinese", "Chinese"} << true;
        QTest::newRow("English only") << QStringList{"English"} << false;
        QTest::newRow("Chinese, then another entry") << QStringList{"Chinese", "Deutsch"} << false;
        QTest::newRow("Chinese, then with a mnemonic") << QStringList{"Chinese", "&Chinese"} << false;
        QTest::newRow("Chinese, then trailing space") << QStringList{"Chinese", "Chinese "} << false;
    }

    void switching()
    {
        QFETCH(QStringList, choices);
        QFETCH(bool, toChinese);

        ORV_Window window(QStringLiteral("Local Mannage"));
        window.show();
        QVERIFY(deliverDevices(window, 40));
        QVERIFY(QMetaObject::invokeMethod(&window, "goToNextPage", Qt::DirectConnection));
        QCOMPARE(window.currentPageNumber(), 2);
        for (const QString &choice : choices)
            choose(window, choice);

        QVERIFY(showsTexts(window, toChinese ? chinese : english));
        QCOMPARE(window.currentPageNumber(), 2);
        QCOMPARE(window.devices().size(), 40);
        QCOMPARE(column(window, 0), deviceIps(18, 36));
        QVERIFY(trayInEnglish(window));

        // On disk at the switch, in the INI general section. The file is read first: a
        // QSettings object would share the window's unsaved values and save them.
        QFile file(QStringLiteral("Settings.ini"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY2(content.contains("[General]"), content.constData());
        QVERIFY2(content.contains(toChinese ? "language=0" : "language=1"), content.constData());
        QCOMPARE(storedLanguage(), QVariant(toChinese ? 0 : 1));
    }

    // English at every start; the stored choice is never read.
    void restartComesUpInEnglish()
    {
        {
            QTest::ignoreMessage(QtDebugMsg, "Loaded translation file: :/languages/us_EN.qm");
            ORV_Window first(QStringLiteral("Local Mannage"));
            QVERIFY(showsTexts(first, english));
            QVERIFY2(!QFile::exists(QStringLiteral("Settings.ini")), "written before any switch");
            choose(first, QStringLiteral("Chinese"));
            QCOMPARE(first.windowTitle(), QStringLiteral("Tarnvale管理系统"));
        }
        QCOMPARE(storedLanguage(), QVariant(0));
        // The translator went with the first window.
        QCOMPARE(QCoreApplication::translate("ORV_Window", "Tips"), QStringLiteral("Tips"));

        ORV_Window second(QStringLiteral("Local Mannage"));
        QVERIFY(showsTexts(second, english));
        QCOMPARE(storedLanguage(), QVariant(0));
    }

    // Texts made after a switch (message boxes, the dialog) come out in the new language.
    void laterTextsUseNewLanguage()
    {
        ORV_Window window(QStringLiteral("Local Mannage"));
        window.show();
        choose(window, QStringLiteral("Chinese"));

        child<QComboBox>(window, "NIC_select_box")->clear();
        MessageBoxCloser closer;
        closer.start();
        QTest::mouseClick(child(window, "search_button"), Qt::LeftButton);
        QTRY_COMPARE(closer.count(), 1);
        QCOMPARE(closer.last().title, QStringLiteral("提示"));
        QCOMPARE(closer.last().text, QStringLiteral("请选择网卡"));
        QCOMPARE(closer.last().parent.data(), &window);
        closer.stop();

        QVERIFY(deliverDevices(window, 1));
        const QWidgetList before = QApplication::topLevelWidgets();
        QTest::mouseClick(rowButton(window, 0), Qt::LeftButton);
        QMainWindow *dialog = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (!before.contains(widget) && widget->objectName() == QLatin1String("ORV_Passwd_Window"))
                dialog = qobject_cast<QMainWindow *>(widget);
        }
        QVERIFY(dialog);
        const auto dialogTexts = [dialog] {
            return QStringList{dialog->windowTitle(), child<QPushButton>(*dialog, "confirm_button")->text(),
                               child<QPushButton>(*dialog, "cancel_button")->text(),
                               child<QLineEdit>(*dialog, "lineEdit_1")->text(), child<QLineEdit>(*dialog, "lineEdit_2")->text(),
                               child<QLineEdit>(*dialog, "passwd_text")->placeholderText()};
        };
        QCOMPARE(dialogTexts(), (QStringList{"修改IP", "确认", "取消", "设备密码", "新IP", "请输入设备密码"}));
        QTest::mouseClick(child(*dialog, "cancel_button"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    }

    void unwritableSettings()
    {
        QVERIFY(QDir().mkdir(QStringLiteral("Settings.ini"))); // a directory cannot be written as a file
        ORV_Window window(QStringLiteral("Local Mannage"));
        choose(window, QStringLiteral("Chinese"));
        QVERIFY(showsTexts(window, chinese));
        QVERIFY(QDir().rmdir(QStringLiteral("Settings.ini")));
    }

    // The catalogue to switch to is gone: the switch goes on, the texts keep the language
    // they had, and the choice is still written.
    void missingCatalogue_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("English to Chinese") << "English" << "Chinese";
        QTest::newRow("Chinese to English") << "Chinese" << "English";
        QTest::newRow("Chinese to Chinese") << "Chinese" << "Chinese";
    }

    void missingCatalogue()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        const bool toChinese = to == QLatin1String("Chinese");

        ORV_Window window(QStringLiteral("Local Mannage"));
        QVERIFY(deliverDevices(window, 20));
        choose(window, from);

        removeLanguages();
        QTest::ignoreMessage(QtCriticalMsg,
                             qPrintable(QStringLiteral("Translation file not found: ") + (toChinese ? zhPath : enPath)));
        QTest::ignoreMessage(QtCriticalMsg, "Language resource loading failed!");
        choose(window, to);
        QVERIFY(showsTexts(window, from == QLatin1String("Chinese") ? chinese : english));
        QCOMPARE(storedLanguage(), QVariant(toChinese ? 0 : 1));
    }

    void missingCatalogueAtStart()
    {
        removeLanguages();
        QTest::ignoreMessage(QtCriticalMsg, "Translation file not found: :/languages/us_EN.qm");
        QTest::ignoreMessage(QtWarningMsg, "Translation loading failed");
        ORV_Window window(QStringLiteral("Local Mannage"));
        QVERIFY(showsTexts(window, english));

        // The translator was installed anyway: once the catalogue is back a switch works.
        restoreLanguages();
        choose(window, QStringLiteral("Chinese"));
        QVERIFY(showsTexts(window, chinese));
    }

    // A catalogue that exists but cannot be loaded leaves the translator empty, so the source
    // texts show even when Chinese was shown before.
    void unloadableCatalogue()
    {
        ORV_Window window(QStringLiteral("Local Mannage"));
        QVERIFY(deliverDevices(window, 3));
        choose(window, QStringLiteral("Chinese"));

        removeLanguages();
        QVERIFY(QResource::registerResource(QStringLiteral(ORV_BROKEN_LANGUAGES_RCC)));
        brokenBundle = QStringLiteral(ORV_BROKEN_LANGUAGES_RCC);
        QVERIFY(QFile::exists(QLatin1String(zhPath)));

        QTest::ignoreMessage(QtCriticalMsg, "Failed to load translation file: :/languages/zh_CN.qm");
        QTest::ignoreMessage(QtCriticalMsg, "Language resource loading failed!");
        choose(window, QStringLiteral("Chinese"));
        QVERIFY(showsTexts(window, english));
        QCOMPARE(storedLanguage(), QVariant(0));
    }

private:
    void removeLanguages()
    {
        Q_CLEANUP_RESOURCE(languages);
        languagesRemoved = true;
        QVERIFY(!QFile::exists(QLatin1String(zhPath)));
        QVERIFY(!QFile::exists(QLatin1String(enPath)));
    }

    void restoreLanguages()
    {
        if (!brokenBundle.isEmpty()) {
            QVERIFY(QResource::unregisterResource(brokenBundle));
            brokenBundle.clear();
        }
        if (languagesRemoved) {
            Q_INIT_RESOURCE(languages);
            languagesRemoved = false;
        }
        QVERIFY(QFile::exists(QLatin1String(zhPath)));
    }

    QTemporaryDir workDir;
    bool languagesRemoved = false;
    QString brokenBundle;
};

QTEST_MAIN(tst_Language)
#include "tst_language.moc"
