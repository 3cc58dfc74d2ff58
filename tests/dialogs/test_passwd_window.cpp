#include "orv_passwd_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QString normalFieldStyle = QStringLiteral(
    "QLineEdit {   border: 1px solid rgb(54, 54, 54);   border-radius: 5px;   padding: 2px 5px;   "
    "background-color: white;}");
const QString passwordErrorStyle = QStringLiteral(
    "QLineEdit {   border: 1px solid #FF5252;   border-radius: 5px;   padding: 2px 5px;   "
    "background-color: #FFF5F5;}QLineEdit:focus {   border: 1px solid #FF5252;}");
const QString ipErrorStyle = QStringLiteral(
    "QLineEdit {   border: 1px solid #FF5252;   border-radius: 5px;   padding: 2px 5px;   "
    "background-color: #FFF5F5;   color: red;}QLineEdit:focus {   border: 1px solid #FF5252;}");

const QString tooShort = QStringLiteral("Password too short (min 6 chars)");
const QString tooLong = QStringLiteral("Password too long (max 12 chars)");
const QString ipEmpty = QStringLiteral("IP address cannot be empty");
const QString ipFormat = QStringLiteral("Incorrect IPv4 address format.");
const QString ipSame = QStringLiteral("The new IP address cannot be the same as the original one.");

} // namespace

class TestPasswdWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void formMatchesLayout();
    void initialState();
    void confirmChecks_data();
    void confirmChecks();
    void passwordErrorClearsOnceLengthFits();
    void ipErrorLocksConfirmForThreeSeconds();
    void eyeButtonTogglesEcho();
    void enterAndEscapeDoNothing_data();
    void enterAndEscapeDoNothing();
    void cancelClosesWithoutSignal();
    void dialogOutlivesNestedLoopsInReceiver_data();
    void dialogOutlivesNestedLoopsInReceiver();

private:
    ORV_Passwd_Window *open(const QString &currentIp, QWidget *parent = nullptr);
    template<typename T> static T *child(QWidget *dialog, const char *name)
    {
        T *w = dialog->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }

    QPointer<ORV_Passwd_Window> dialog;
};

ORV_Passwd_Window *TestPasswdWindow::open(const QString &currentIp, QWidget *parent)
{
    dialog = new ORV_Passwd_Window(parent);
    dialog->setCurrentIp(currentIp);
    dialog->show();
    return dialog;
}

void TestPasswdWindow::cleanup()
{
    delete dialog;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName() + QStringLiteral(" left open")));
}

// Connect-by-name and the style sheets rely on the object names; the callers on the size.
void TestPasswdWindow::formMatchesLayout()
{
    QWidget parentWindow;
    ORV_Passwd_Window *d = open(QStringLiteral("10.0.0.2"), &parentWindow);

    QCOMPARE(d->objectName(), QStringLiteral("ORV_Passwd_Window"));
    QVERIFY2(d->isWindow(), "the dialog must be a top-level window even with a parent");
    QCOMPARE(d->size(), QSize(526, 272));
    QCOMPARE(d->windowTitle(), QStringLiteral("MainWindow"));
    QCOMPARE(d->centralWidget()->objectName(), QStringLiteral("centralwidget"));

    QStringList names;
    const auto all = d->findChildren<QObject *>();
    for (QObject *o : all)
        if (!o->objectName().isEmpty() && !o->objectName().startsWith(QLatin1String("qt_"))
            && !o->objectName().startsWith(QLatin1Char('_')))
            names << o->objectName();
    QCOMPARE(names, (QStringList{"centralwidget", "confirm_button", "cancel_button", "widget",
                                 "horizontalLayout", "lineEdit_1", "passwd_text", "passwd_visible_button",
                                 "widget1", "horizontalLayout_5", "lineEdit_2", "lineEdit_ip"}));

    QCOMPARE(child<QWidget>(d, "widget")->geometry(), QRect(10, 30, 501, 61));
    QCOMPARE(child<QWidget>(d, "widget1")->geometry(), QRect(10, 120, 501, 61));
    QCOMPARE(child<QWidget>(d, "confirm_button")->geometry(), QRect(50, 210, 151, 41));
    QCOMPARE(child<QWidget>(d, "cancel_button")->geometry(), QRect(340, 210, 151, 41));
    QCOMPARE(child<QLineEdit>(d, "lineEdit_1")->text(), QStringLiteral("Device Password"));
    QCOMPARE(child<QLineEdit>(d, "lineEdit_2")->text(), QStringLiteral("New IP"));
    QVERIFY2(!child<QPushButton>(d, "passwd_visible_button")->icon().isNull(), "icon :/qss/visible.png not found");
    for (const char *name : {"confirm_button", "cancel_button"})
        QVERIFY(!child<QPushButton>(d, name)->isDefault() && !child<QPushButton>(d, name)->autoDefault());
    d->close();
}

void TestPasswdWindow::initialState()
{
    ORV_Passwd_Window *d = open(QStringLiteral("192.168.1.5"));
    auto *passwd = child<QLineEdit>(d, "passwd_text");
    auto *ip = child<QLineEdit>(d, "lineEdit_ip");
    QCOMPARE(passwd->echoMode(), QLineEdit::Password);
    QCOMPARE(passwd->placeholderText(), QStringLiteral("Input Password"));
    QCOMPARE(ip->placeholderText(), QStringLiteral("Please input IP address"));
    QCOMPARE(ip->text(), QStringLiteral("192.168.1.5"));
    QVERIFY(child<QPushButton>(d, "confirm_button")->isEnabled());

    d->setPasswordPlaceholder(QStringLiteral("Enter device active password"));
    QCOMPARE(passwd->placeholderText(), QStringLiteral("Enter device active password"));
    d->close();
}

void TestPasswdWindow::confirmChecks_data()
{
    QTest::addColumn<QString>("currentIp");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("newIp");
    QTest::addColumn<QString>("passwordError"); // empty: the password passes
    QTest::addColumn<QString>("ipError");       // empty: the address passes (or is not looked at)

    const QString cur = QStringLiteral("192.168.1.5");
    QTest::newRow("empty password") << cur << "" << "192.168.1.9" << tooShort << "";
    QTest::newRow("5 chars") << cur << "12345" << "192.168.1.9" << tooShort << "";
    QTest::newRow("13 chars") << cur << "1234567890abc" << "192.168.1.9" << tooLong << "";
    QTest::newRow("40 chars") << cur << QString(40, QLatin1Char('x')) << "192.168.1.9" << tooLong << "";
    QTest::newRow("bad password wins over empty ip") << cur << "123" << "" << tooShort << "";
    QTest::newRow("empty ip") << cur << "123456" << "" << "" << ipEmpty;
    QTest::newRow("part above 255") << cur << "123456" << "192.168.1.256" << "" << ipFormat;
    QTest::newRow("three parts") << cur << "123456" << "192.168.1" << "" << ipFormat;
    QTest::newRow("leading blank") << cur << "123456" << " 192.168.1.9" << "" << ipFormat;
    QTest::newRow("trailing dot") << cur << "123456" << "192.168.1.9." << "" << ipFormat;
    QTest::newRow("trailing line break") << cur << "123456" << "192.168.1.9\n" << "" << ipFormat;
    QTest::newRow("four digits") << cur << "123456" << "192.168.1.0009" << "" << ipFormat;
    QTest::newRow("hostname") << cur << "123456" << "device.local" << "" << ipFormat;
    QTest::newRow("same as current") << cur << "123456" << cur << "" << ipSame;
    QTest::newRow("6 chars") << cur << "abcdef" << "192.168.1.9" << "" << "";
    QTest::newRow("12 chars") << cur << "abcdefghijkl" << "10.0.0.1" << "" << "";
    QTest::newRow("blanks kept as typed") << cur << " pass word " << "10.0.0.1" << "" << "";
    QTest::newRow("6 CJK chars") << cur << "密码密码密码" << "10.0.0.1" << "" << "";
    QTest::newRow("leading zeros differ from current") << cur << "123456" << "192.168.001.005" << "" << "";
    QTest::newRow("zero address") << cur << "123456" << "0.0.0.0" << "" << "";
}

void TestPasswdWindow::confirmChecks()
{
    QFETCH(QString, currentIp);
    QFETCH(QString, password);
    QFETCH(QString, newIp);
    QFETCH(QString, passwordError);
    QFETCH(QString, ipError);

    ORV_Passwd_Window *d = open(currentIp);
    QSignalSpy spy(d, &ORV_Passwd_Window::ready2verify);
    auto *passwd = child<QLineEdit>(d, "passwd_text");
    auto *ip = child<QLineEdit>(d, "lineEdit_ip");
    auto *confirm = child<QPushButton>(d, "confirm_button");
    const QString ipStyleBefore = ip->styleSheet();
    passwd->setText(password);
    ip->setText(newIp);

    QTest::mouseClick(confirm, Qt::LeftButton);

    if (!passwordError.isEmpty()) {
        QCOMPARE(spy.count(), 0);
        QVERIFY(d->isVisible());
        QCOMPARE(passwd->styleSheet(), passwordErrorStyle);
        QCOMPARE(passwd->placeholderText(), passwordError);
        QVERIFY(passwd->text().isEmpty());
        QCOMPARE(d->focusWidget(), passwd);
        // The address is not looked at.
        QCOMPARE(ip->text(), newIp);
        QCOMPARE(ip->styleSheet(), ipStyleBefore);
        QVERIFY(confirm->isEnabled());
    } else if (!ipError.isEmpty()) {
        QCOMPARE(spy.count(), 0);
        QVERIFY(d->isVisible());
        QCOMPARE(ip->styleSheet(), ipErrorStyle);
        QCOMPARE(ip->placeholderText(), ipError);
        QVERIFY(ip->text().isEmpty());
        QCOMPARE(d->focusWidget(), ip);
        QVERIFY(!confirm->isEnabled());
        QCOMPARE(passwd->text(), password);
    } else {
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), currentIp);
        QCOMPARE(spy.at(0).at(1).toString(), password);
        QCOMPARE(spy.at(0).at(2).toString(), newIp);
        QVERIFY(!d->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(dialog.isNull(), "a confirmed dialog must be deleted");
    }
}

void TestPasswdWindow::passwordErrorClearsOnceLengthFits()
{
    ORV_Passwd_Window *d = open(QStringLiteral("192.168.1.5"));
    auto *passwd = child<QLineEdit>(d, "passwd_text");
    QTest::mouseClick(child<QPushButton>(d, "confirm_button"), Qt::LeftButton);
    QCOMPARE(passwd->styleSheet(), passwordErrorStyle);

    QTest::keyClicks(passwd, QStringLiteral("abcde"));
    QCOMPARE(passwd->styleSheet(), passwordErrorStyle);
    QTest::keyClicks(passwd, QStringLiteral("f"));
    QCOMPARE(passwd->styleSheet(), normalFieldStyle);
    QCOMPARE(passwd->placeholderText(), tooShort);

    // Too long again: the field stays as it is until the next confirm.
    QTest::keyClicks(passwd, QStringLiteral("ghijklm"));
    QCOMPARE(passwd->styleSheet(), normalFieldStyle);
    d->close();
}

void TestPasswdWindow::ipErrorLocksConfirmForThreeSeconds()
{
    const QString cur = QStringLiteral("192.168.1.5");
    ORV_Passwd_Window *d = open(cur);
    QSignalSpy spy(d, &ORV_Passwd_Window::ready2verify);
    auto *passwd = child<QLineEdit>(d, "passwd_text");
    auto *ip = child<QLineEdit>(d, "lineEdit_ip");
    auto *confirm = child<QPushButton>(d, "confirm_button");
    passwd->setText(QStringLiteral("123456"));
    ip->setText(QStringLiteral("300.1.1.1"));

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(confirm, Qt::LeftButton);
    QVERIFY(!confirm->isEnabled());

    // Whatever is typed and clicked meanwhile is of no effect.
    QTest::keyClicks(ip, QStringLiteral("10.9.9.9"));
    QTest::mouseClick(confirm, Qt::LeftButton);
    QCOMPARE(spy.count(), 0);

    QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 15000);
    QVERIFY2(clock.elapsed() >= 3000, qPrintable(QStringLiteral("unlocked after %1 ms").arg(clock.elapsed())));
    QCOMPARE(ip->text(), cur);
    QVERIFY(ip->placeholderText().isEmpty());
    QCOMPARE(ip->styleSheet(), normalFieldStyle);
    QCOMPARE(spy.count(), 0);
    QVERIFY(d->isVisible());

    // And the dialog works again.
    ip->setText(QStringLiteral("192.168.1.6"));
    QTest::mouseClick(confirm, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
}

void TestPasswdWindow::eyeButtonTogglesEcho()
{
    ORV_Passwd_Window *d = open(QStringLiteral("192.168.1.5"));
    auto *passwd = child<QLineEdit>(d, "passwd_text");
    auto *eye = child<QPushButton>(d, "passwd_visible_button");
    const QIcon icon = eye->icon();

    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(passwd->echoMode(), QLineEdit::Normal);
    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(passwd->echoMode(), QLineEdit::Password);
    QCOMPARE(eye->icon().cacheKey(), icon.cacheKey());

    passwd->setEchoMode(QLineEdit::NoEcho);
    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(passwd->echoMode(), QLineEdit::Normal);
    passwd->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(passwd->echoMode(), QLineEdit::Normal);
    d->close();
}

void TestPasswdWindow::enterAndEscapeDoNothing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::newRow("Enter in password") << "passwd_text" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter in new IP") << "lineEdit_ip" << int(Qt::Key_Enter);
    QTest::newRow("Escape in password") << "passwd_text" << int(Qt::Key_Escape);
    QTest::newRow("Escape in new IP") << "lineEdit_ip" << int(Qt::Key_Escape);
}

void TestPasswdWindow::enterAndEscapeDoNothing()
{
    QFETCH(QString, field);
    QFETCH(int, key);
    ORV_Passwd_Window *d = open(QStringLiteral("192.168.1.5"));
    QSignalSpy spy(d, &ORV_Passwd_Window::ready2verify);
    child<QLineEdit>(d, "passwd_text")->setText(QStringLiteral("123456"));
    child<QLineEdit>(d, "lineEdit_ip")->setText(QStringLiteral("192.168.1.6"));
    auto *target = child<QLineEdit>(d, field.toLatin1().constData());
    target->setFocus();

    QTest::keyClick(target, Qt::Key(key));
    QTest::keyClick(d, Qt::Key(key));
    QTest::qWait(50);
    QCOMPARE(spy.count(), 0);
    QVERIFY(d->isVisible());
    QVERIFY(child<QPushButton>(d, "confirm_button")->isEnabled());
    d->close();
}

void TestPasswdWindow::cancelClosesWithoutSignal()
{
    QWidget parentWindow;
    ORV_Passwd_Window *d = open(QStringLiteral("192.168.1.5"), &parentWindow);
    QSignalSpy spy(d, &ORV_Passwd_Window::ready2verify);
    child<QLineEdit>(d, "passwd_text")->setText(QStringLiteral("123456"));
    child<QLineEdit>(d, "lineEdit_ip")->setText(QStringLiteral("192.168.1.6"));

    QTest::mouseClick(child<QPushButton>(d, "cancel_button"), Qt::LeftButton);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!d->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(dialog.isNull(), "a cancelled dialog must be deleted");
}

void TestPasswdWindow::dialogOutlivesNestedLoopsInReceiver_data()
{
    QTest::addColumn<bool>("throughMouse");
    QTest::newRow("mouse click") << true;
    QTest::newRow("programmatic click") << false;
}

// The receiver of ready2verify talks to a device and shows message boxes, both of which
// spin nested event loops inside the emission; the dialog must not vanish meanwhile.
void TestPasswdWindow::dialogOutlivesNestedLoopsInReceiver()
{
    QFETCH(bool, throughMouse);
    ORV_Passwd_Window *d = open(QStringLiteral("192.168.1.5"));
    child<QLineEdit>(d, "passwd_text")->setText(QStringLiteral("123456"));
    child<QLineEdit>(d, "lineEdit_ip")->setText(QStringLiteral("192.168.1.6"));

    bool aliveThroughout = false;
    connect(d, &ORV_Passwd_Window::ready2verify, this, [this, &aliveThroughout] {
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::processEvents();
        aliveThroughout = !dialog.isNull();
    });

    auto *confirm = child<QPushButton>(d, "confirm_button");
    if (throughMouse)
        QTest::mouseClick(confirm, Qt::LeftButton);
    else
        confirm->click();
    QVERIFY(aliveThroughout);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog.isNull());
}

QTEST_MAIN(TestPasswdWindow)
#include "test_passwd_window.moc"
