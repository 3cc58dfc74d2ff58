// The hidden language switch, driven through the language button's menu of a real main
// window, and the settings file it writes. Runs in a temporary current directory, since
// the window writes "./Settings.ini".

#include "orv_window.h"

#include "messageboxcloser.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QResource>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cjson/cJSON.h>

#include <algorithm>
#include <memory>

namespace {

const char zhPath[] = ":/languages/zh_CN.qm";
const char enPath[] = ":/languages/us_EN.qm";

// Every text the switch re-applies, in one language.
struct Texts
{
    QString title, stateBar, search, nicCaption, languageButton, state;
    QStringList header;
    QString total, previous, next, updateIp;
};

Texts englishTexts()
{
    return {QStringLiteral("Tarnvale_Window"), QStringLiteral("state bar:"), QStringLiteral("Search"),
            QStringLiteral("Select Network Card:"), QStringLiteral("Change Language"),
            QStringLiteral("Double-click the IP to enter the web page"),
            {QStringLiteral("IP"), QStringLiteral("Device ID"), QStringLiteral("MAC"), QStringLiteral("Model"),
             QStringLiteral("FirmwareVersion"), QStringLiteral("Active Status"), QStringLiteral("Operation")},
            QStringLiteral("Total"), QStringLiteral("Previous Page"), QStringLiteral("Next Page"),
            QStringLiteral("Update IP")};
}

Texts chineseTexts()
{
    return {QStringLiteral("Tarnvale管理系统"), QStringLiteral("状态栏:"), QStringLiteral("搜索"),
            QStringLiteral("请选择网卡："), QStringLiteral("切换语言"), QStringLiteral("双击IP进入web页面"),
            // "IP", "Device ID" and "MAC" have no translation.
            {QStringLiteral("IP"), QStringLiteral("Device ID"), QStringLiteral("MAC"), QStringLiteral("型号"),
             QStringLiteral("固件版本"), QStringLiteral("激活状态"), QStringLiteral("操作")},
            QStringLiteral("总页数"), QStringLiteral("上一页"), QStringLiteral("下一页"),
            QStringLiteral("修改IP")};
}

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

JsonPtr makeDevices(int count)
{
    JsonPtr array(cJSON_CreateArray(), &cJSON_Delete);
    for (int i = 0; i < count; ++i) {
        cJSON *device = cJSON_CreateObject();
        const QByteArray n = QByteArray::number(i + 1);
        cJSON_AddStringToObject(device, "pid", "0");
        cJSON_AddStringToObject(device, "ip", ("10.1.0." + n).constData());
        cJSON_AddStringToObject(device, "sn", ("SN" + n).constData());
        cJSON_AddStringToObject(device, "mac", ("02:00:00:00:00:" + QByteArray::number(i + 1, 16)).constData());
        cJSON_AddStringToObject(device, "model", "M1");
        cJSON_AddStringToObject(device, "baseModel", "B1");
        cJSON_AddStringToObject(device, "active", "active");
        cJSON_AddStringToObject(device, "V", "V5.2.0");
        cJSON_AddItemToArray(array.get(), device);
    }
    return array;
}

// Hands a search result to the window the way the device link does.
bool listDevices(ORV_Window &window, int count)
{
    JsonPtr devices = makeDevices(count);
    return QMetaObject::invokeMethod(&window, "showSearchDeviceTableInfos", Qt::DirectConnection,
                                     Q_ARG(cJSON *, devices.get()));
}

QMenu *languageMenu(ORV_Window &window)
{
    auto *button = window.findChild<QToolButton *>(QStringLiteral("language_button"));
    return button ? button->menu() : nullptr;
}

// Triggers the menu entry with this text, adding one if the menu has none.
void choose(ORV_Window &window, const QString &text)
{
    QMenu *menu = languageMenu(window);
    QVERIFY(menu);
    for (QAction *action : menu->actions()) {
        if (action->text() == text) {
            action->trigger();
            return;
        }
    }
    menu->addAction(text)->trigger();
}

QVariant storedLanguage()
{
    QSettings stored(QStringLiteral("Settings.ini"), QSettings::IniFormat);
    return stored.value(QStringLiteral("language"));
}

template<typename T>
T *child(ORV_Window &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

// The strip's current controls: its layout holds only those of the last rebuild.
QList<QWidget *> stripControls(ORV_Window &window)
{
    QList<QWidget *> controls;
    auto *strip = child<QWidget>(window, "paginationWidget");
    if (!strip || !strip->layout())
        return controls;
    for (int i = 0; i < strip->layout()->count(); ++i) {
        if (QWidget *widget = strip->layout()->itemAt(i)->widget())
            controls.append(widget);
    }
    return controls;
}

void checkTexts(ORV_Window &window, const Texts &expected)
{
    QCOMPARE(window.windowTitle(), expected.title);
    QCOMPARE(child<QLabel>(window, "state_bar_label")->text(), expected.stateBar);
    QCOMPARE(child<QPushButton>(window, "search_button")->text(), expected.search);
    QCOMPARE(child<QLineEdit>(window, "NIC_edit")->text(), expected.nicCaption);
    QCOMPARE(child<QToolButton>(window, "language_button")->text(), expected.languageButton);
    QCOMPARE(child<QLineEdit>(window, "state_text")->text(), expected.state);

    auto *table = child<QTableWidget>(window, "tableWidget");
    QStringList header;
    for (int column = 0; column < table->columnCount(); ++column)
        header << table->horizontalHeaderItem(column)->text();
    QCOMPARE(header, expected.header);

    const QList<QWidget *> controls = stripControls(window);
    QVERIFY(controls.size() >= 4);
    auto *total = qobject_cast<QLabel *>(controls.first());
    QVERIFY(total);
    QCOMPARE(total->text(), expected.total + QLatin1Char(' ') + QString::number(window.pageCount()));
    QCOMPARE(controls.at(1)->toolTip(), expected.previous);
    QCOMPARE(controls.last()->toolTip(), expected.next);

    for (int row = 0; row < table->rowCount(); ++row) {
        QWidget *cell = table->cellWidget(row, 6);
        QVERIFY2(cell, qPrintable(QStringLiteral("row %1 has no button").arg(row)));
        auto *button = cell->findChild<QPushButton *>();
        QVERIFY(button);
        QCOMPARE(button->text(), expected.updateIp);
        QCOMPARE(button->property("textKey").toString(), expected.updateIp);
        QCOMPARE(button->property("row").toInt(), row);
    }
}

// The tray is built once, in English, and no switch touches it.
void checkTrayEnglish(ORV_Window &window)
{
    auto *tray = window.findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    QVERIFY(tray->contextMenu());
    const QList<QAction *> actions = tray->contextMenu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("Open"));
    QVERIFY(actions.at(1)->isSeparator());
    QCOMPARE(actions.at(2)->text(), QStringLiteral("Quit"));
}

} // namespace

class tst_Language : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void construction();
    void switching_data();
    void switching();
    void restartComesUpInEnglish();
    void laterTextsUseNewLanguage();
    void unwritableSettings();

    void missingCatalogue_data();
    void missingCatalogue();
    void missingCatalogueAtStart();
    void unloadableCatalogue();

private:
    void removeLanguages();
    void restoreLanguages();

    QTemporaryDir workDir;
    bool languagesRemoved = false;
    QString brokenBundle;
};

void tst_Language::initTestCase()
{
    QVERIFY2(workDir.isValid(), qPrintable(workDir.errorString()));
    QVERIFY(QDir::setCurrent(workDir.path()));
    QVERIFY(QFile::exists(QLatin1String(zhPath)));
}

void tst_Language::init()
{
    QFile::remove(QStringLiteral("Settings.ini"));
}

void tst_Language::cleanup()
{
    restoreLanguages();
    const QWidgetList windows = QApplication::topLevelWidgets();
    QVERIFY2(std::none_of(windows.cbegin(), windows.cend(), [](QWidget *w) { return w->isVisible(); }),
             "a window was left open");
}

void tst_Language::removeLanguages()
{
    Q_CLEANUP_RESOURCE(languages);
    languagesRemoved = true;
    QVERIFY(!QFile::exists(QLatin1String(zhPath)));
    QVERIFY(!QFile::exists(QLatin1String(enPath)));
}

void tst_Language::restoreLanguages()
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

void tst_Language::construction()
{
    QTest::ignoreMessage(QtDebugMsg, "Loaded translation file: :/languages/us_EN.qm");
    ORV_Window window(QStringLiteral("Local Mannage"));
    window.show();

    auto *button = child<QToolButton>(window, "language_button");
    QVERIFY(button);
    QVERIFY(!button->isVisible());
    QVERIFY(button->menu());
    QStringList entries;
    for (QAction *action : button->menu()->actions())
        entries << action->text();
    QCOMPARE(entries, QStringList({QStringLiteral("Chinese"), QStringLiteral("English")}));

    checkTexts(window, englishTexts());
    if (QTest::currentTestFailed())
        return;
    checkTrayEnglish(window);
    QVERIFY2(!QFile::exists(QStringLiteral("Settings.ini")), "written before any switch");
}

// A sequence of menu choices on page 2 of 3, with devices listed.
void tst_Language::switching_data()
{
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<bool>("chinese");

    QTest::newRow("Chinese") << QStringList{"Chinese"} << true;
    QTest::newRow("Chinese, English") << QStringList{"Chinese", "English"} << false;
    QTest::newRow("Chinese twice") << QStringList{"Chinese", "Chinese"} << true;
    QTest::newRow("English only") << QStringList{"English"} << false;
    QTest::newRow("English, Chinese, English, Chinese")
        << QStringList{"English", "Chinese", "English", "Chinese"} << true;
    QTest::newRow("Chinese, then another entry") << QStringList{"Chinese", "Deutsch"} << false;
    QTest::newRow("Chinese, then lower case") << QStringList{"Chinese", "chinese"} << false;
    QTest::newRow("Chinese, then with a mnemonic") << QStringList{"Chinese", "&Chinese"} << false;
    QTest::newRow("Chinese, then trailing space") << QStringList{"Chinese", "Chinese "} << false;
    QTest::newRow("Chinese, then empty text") << QStringList{"Chinese", ""} << false;
}

void tst_Language::switching()
{
    QFETCH(QStringList, choices);
    QFETCH(bool, chinese);

    ORV_Window window(QStringLiteral("Local Mannage"));
    window.show();
    QVERIFY(listDevices(window, 40));
    QCOMPARE(window.pageCount(), 3);
    QVERIFY(QMetaObject::invokeMethod(&window, "goToNextPage", Qt::DirectConnection));
    QCOMPARE(window.currentPageNumber(), 2);

    for (const QString &choice : choices) {
        choose(window, choice);
        if (QTest::currentTestFailed())
            return;
    }

    checkTexts(window, chinese ? chineseTexts() : englishTexts());
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(window.currentPageNumber(), 2);
    QCOMPARE(window.devices().size(), 40);
    QCOMPARE(child<QTableWidget>(window, "tableWidget")->rowCount(), 18);
    QCOMPARE(child<QTableWidget>(window, "tableWidget")->item(0, 0)->text(), QStringLiteral("10.1.0.19"));
    checkTrayEnglish(window);
    if (QTest::currentTestFailed())
        return;

    // On disk at the switch, not only when the window goes, in the INI general section.
    // Read the file itself first: a QSettings object would share the window's unsaved
    // values and save them.
    QFile file(QStringLiteral("Settings.ini"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY2(content.contains("[General]"), content.constData());
    QVERIFY2(content.contains(chinese ? "language=0" : "language=1"), content.constData());
    QCOMPARE(storedLanguage(), QVariant(chinese ? 0 : 1));
}

void tst_Language::restartComesUpInEnglish()
{
    {
        ORV_Window first(QStringLiteral("Local Mannage"));
        choose(first, QStringLiteral("Chinese"));
        QCOMPARE(first.windowTitle(), QStringLiteral("Tarnvale管理系统"));
    }
    QCOMPARE(storedLanguage(), QVariant(0));
    // The translator went with the first window.
    QCOMPARE(QCoreApplication::translate("ORV_Window", "Tips"), QStringLiteral("Tips"));

    ORV_Window second(QStringLiteral("Local Mannage"));
    second.show();
    checkTexts(second, englishTexts());
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(storedLanguage(), QVariant(0));
}

// Texts made after a switch (message boxes, the dialog) come out in the new language.
void tst_Language::laterTextsUseNewLanguage()
{
    ORV_Window window(QStringLiteral("Local Mannage"));
    window.show();
    choose(window, QStringLiteral("Chinese"));

    child<QComboBox>(window, "NIC_select_box")->clear();
    MessageBoxCloser closer;
    closer.start();
    QTest::mouseClick(child<QPushButton>(window, "search_button"), Qt::LeftButton);
    QTRY_COMPARE(closer.count(), 1);
    QCOMPARE(closer.last().title, QStringLiteral("提示"));
    QCOMPARE(closer.last().text, QStringLiteral("请选择网卡"));
    QCOMPARE(closer.last().parent.data(), &window);
    closer.stop();

    QVERIFY(listDevices(window, 1));
    const QWidgetList before = QApplication::topLevelWidgets();
    auto *table = child<QTableWidget>(window, "tableWidget");
    QTest::mouseClick(table->cellWidget(0, 6)->findChild<QPushButton *>(), Qt::LeftButton);
    QMainWindow *dialog = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!before.contains(widget) && widget->objectName() == QLatin1String("ORV_Passwd_Window"))
            dialog = qobject_cast<QMainWindow *>(widget);
    }
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("修改IP"));
    QCOMPARE(dialog->findChild<QPushButton *>(QStringLiteral("confirm_button"))->text(), QStringLiteral("确认"));
    QCOMPARE(dialog->findChild<QPushButton *>(QStringLiteral("cancel_button"))->text(), QStringLiteral("取消"));
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_1"))->text(), QStringLiteral("设备密码"));
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_2"))->text(), QStringLiteral("新IP"));
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("passwd_text"))->placeholderText(),
             QStringLiteral("请输入设备密码"));

    // A dialog already open keeps its language.
    choose(window, QStringLiteral("English"));
    QCOMPARE(dialog->findChild<QPushButton *>(QStringLiteral("confirm_button"))->text(), QStringLiteral("确认"));
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cancel_button")), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
}

void tst_Language::unwritableSettings()
{
    QVERIFY(QDir().mkdir(QStringLiteral("Settings.ini"))); // a directory cannot be written as a file

    ORV_Window window(QStringLiteral("Local Mannage"));
    choose(window, QStringLiteral("Chinese"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Tarnvale管理系统"));
    QCOMPARE(child<QLineEdit>(window, "state_text")->text(), QStringLiteral("双击IP进入web页面"));

    QVERIFY(QDir().rmdir(QStringLiteral("Settings.ini")));
}

// The catalogue to switch to is gone: the switch goes on, the texts keep the language
// they had, and the choice is still written.
void tst_Language::missingCatalogue_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("missingPath");
    QTest::addColumn<bool>("staysChinese");
    QTest::addColumn<int>("written");

    QTest::newRow("English to Chinese") << "English" << "Chinese" << zhPath << false << 0;
    QTest::newRow("Chinese to English") << "Chinese" << "English" << enPath << true << 1;
    QTest::newRow("Chinese to Chinese") << "Chinese" << "Chinese" << zhPath << true << 0;
}

void tst_Language::missingCatalogue()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, missingPath);
    QFETCH(bool, staysChinese);
    QFETCH(int, written);

    ORV_Window window(QStringLiteral("Local Mannage"));
    window.show();
    QVERIFY(listDevices(window, 20));
    choose(window, from);

    removeLanguages();
    QTest::ignoreMessage(QtCriticalMsg, qPrintable("Translation file not found: " + missingPath));
    QTest::ignoreMessage(QtCriticalMsg, "Language resource loading failed!");
    choose(window, to);

    checkTexts(window, staysChinese ? chineseTexts() : englishTexts());
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(storedLanguage(), QVariant(written));
}

void tst_Language::missingCatalogueAtStart()
{
    removeLanguages();
    QTest::ignoreMessage(QtCriticalMsg, "Translation file not found: :/languages/us_EN.qm");
    QTest::ignoreMessage(QtWarningMsg, "Translation loading failed");
    ORV_Window window(QStringLiteral("Local Mannage"));
    window.show();
    checkTexts(window, englishTexts());
    if (QTest::currentTestFailed())
        return;

    // The translator was installed anyway: once the catalogue is back a switch works.
    restoreLanguages();
    choose(window, QStringLiteral("Chinese"));
    checkTexts(window, chineseTexts());
}

// A catalogue that exists but cannot be loaded leaves the translator empty, so the source
// texts show even when Chinese was shown before.
void tst_Language::unloadableCatalogue()
{
    ORV_Window window(QStringLiteral("Local Mannage"));
    window.show();
    QVERIFY(listDevices(window, 3));
    choose(window, QStringLiteral("Chinese"));

    removeLanguages();
    QVERIFY(QResource::registerResource(QStringLiteral(ORV_BROKEN_LANGUAGES_RCC)));
    brokenBundle = QStringLiteral(ORV_BROKEN_LANGUAGES_RCC);
    QVERIFY(QFile::exists(QLatin1String(zhPath)));

    QTest::ignoreMessage(QtCriticalMsg, "Failed to load translation file: :/languages/zh_CN.qm");
    QTest::ignoreMessage(QtCriticalMsg, "Language resource loading failed!");
    choose(window, QStringLiteral("Chinese"));

    checkTexts(window, englishTexts());
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(storedLanguage(), QVariant(0));
}

QTEST_MAIN(tst_Language)
#include "tst_language.moc"
