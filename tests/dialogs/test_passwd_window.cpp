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
const QString cur = QStringLiteral("192.168.1.5");

} // namespace

class TestPasswdWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void formMatchesLayout();
    void confirmChecks_data();
    void confirmChecks();
    void passwordErrorClearsOnceLengthFits();
    void ipErrorLocksConfirmForThreeSeconds();
    void eyeButtonTogglesEcho();
    void keysAndCancelSendNothing_data();
    void keysAndCancelSendNothing();
    void dialogOutlivesNestedLoopsInReceiver();

private:
    // Opens a dialog for `cur`; a null password or address leaves the field as it is.
    ORV_Passwd_Window *open(const QString &password = QString(), const QString &newIp = QString(),
                            QWidget *parent = nullptr)
    {
        dialog = new ORV_Passwd_Window(parent);
        dialog->setCurrentIp(cur);
        dialog->show();
        if (!password.isNull())
            child<QLineEdit>("passwd_text")->setText(password);
        if (!newIp.isNull())
            child<QLineEdit>("lineEdit_ip")->setText(newIp);
        return dialog;
    }
    template<typename T = QWidget> T *child(const char *name) const
    {
        T *w = dialog->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

    QPointer<ORV_Passwd_Window> dialog;
};

void TestPasswdWindow::cleanup()
{
    delete dialog;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName() + QStringLiteral(" left open")));
}

// Connect-by-name and the style sheets rely on the object names; the callers on the size.
void TestPasswdWindow::formMatchesLayout()
{
    QWidget parentWindow;
    ORV_Passwd_Window *d = open(QString(), QString(), &parentWindow);
    QVERIFY2(d->isWindow(), "the dialog must be a top-level window even with a parent");
    QCOMPARE(d->size(), QSize(526, 272));
    QCOMPARE(d->centralWidget()->objectName(), QStringLiteral("centralwidget"));

    QStringList names;
    for (QObject *o : d->findChildren<QObject *>())
        if (!o->objectName().isEmpty() && !o->objectName().startsWith(QLatin1String("qt_"))
            && !o->objectName().startsWith(QLatin1Char('_')))
            names << o->objectName();
    QCOMPARE(names, (QStringList{"centralwidget", "confirm_button", "cancel_button", "widget",
                                 "horizontalLayout", "lineEdit_1", "passwd_text", "passwd_visible_button",
                                 "widget1", "horizontalLayout_5", "lineEdit_2", "lineEdit_ip"}));
    QVERIFY2(!child<QPushButton>("passwd_visible_button")->icon().isNull(), "icon :/qss/visible.png not found");
    for (const char *name : {"confirm_button", "cancel_button"})
        QVERIFY(!child<QPushButton>(name)->isDefault() && !child<QPushButton>(name)->autoDefault());
    d->close();
}

void TestPasswdWindow::confirmChecks_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("newIp");
    QTest::addColumn<QString>("passwordError"); // empty: the password passes
    QTest::addColumn<QString>("ipError");       // empty: the address passes (or is not looked at)

    const QString tooLong = QStringLiteral("Password too long (max 12 chars)");
    const QString ipFormat = QStringLiteral("Incorrect IPv4 address format.");
    QTest::newRow("5 chars") << "12345" << "192.168.1.9" << tooShort << "";
    QTest::newRow("13 chars") << "1234567890abc" << "192.168.1.9" << tooLong << "";
    QTest::newRow("bad password wins over empty ip") << "123" << "" << tooShort << "";
    QTest::newRow("empty ip") << "123456" << "" << "" << "IP address cannot be empty";
    QTest::newRow("part above 255") << "123456" << "192.168.1.256" << "" << ipFormat;
    QTest::newRow("three parts") << "123456" << "192.168.1" << "" << ipFormat;
    QTest::newRow("leading blank") << "123456" << " 192.168.1.9" << "" << ipFormat;
    QTest::newRow("trailing line break") << "123456" << "192.168.1.9\n" << "" << ipFormat;
    QTest::newRow("four digits") << "123456" << "192.168.1.0009" << "" << ipFormat;
    QTest::newRow("same as current") << "123456" << cur << ""
                                     << "The new IP address cannot be the same as the original one.";
    QTest::newRow("6 chars") << "abcdef" << "192.168.1.9" << "" << "";
    QTest::newRow("12 chars") << "abcdefghijkl" << "10.0.0.1" << "" << "";
    QTest::newRow("blanks kept as typed") << " pass word " << "10.0.0.1" << "" << "";
    QTest::newRow("6 CJK chars") << "密码密码密码" << "10.0.0.1" << "" << "";
    QTest::newRow("leading zeros differ from current") << "123456" << "192.168.001.005" << "" << "";
}

void TestPasswdWindow::confirmChecks()
{
    QFETCH(QString, password);
    QFETCH(QString, newIp);
    QFETCH(QString, passwordError);
    QFETCH(QString, ipError);

    ORV_Passwd_Window *d = open(password, newIp);
    QSignalSpy spy(d, &ORV_Passwd_Window::ready2verify);
    auto *passwd = child<QLineEdit>("passwd_text");
    auto *ip = child<QLineEdit>("lineEdit_ip");
    auto *confirm = child<QPushButton>("confirm_button");
    const QString ipStyleBefore = ip->styleSheet();
    QTest::mouseClick(confirm, Qt::LeftButton);

    if (passwordError.isEmpty() && ipError.isEmpty()) {
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), (QVariantList{cur, password, newIp}));
        QVERIFY(!d->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(dialog.isNull(), "a confirmed dialog must be deleted");
        return;
    }
    QCOMPARE(spy.count(), 0);
    QVERIFY(d->isVisible());
    QLineEdit *bad = passwordError.isEmpty() ? ip : passwd;
    QCOMPARE(bad->styleSheet(), passwordError.isEmpty() ? ipErrorStyle : passwordErrorStyle);
    QCOMPARE(bad->placeholderText(), passwordError.isEmpty() ? ipError : passwordError);
    QVERIFY(bad->text().isEmpty());
    QCOMPARE(d->focusWidget(), bad);
    QCOMPARE(confirm->isEnabled(), !passwordError.isEmpty());
    if (bad == passwd) { // the address is not looked at
        QCOMPARE(ip->text(), newIp);
        QCOMPARE(ip->styleSheet(), ipStyleBefore);
    } else {
        QCOMPARE(passwd->text(), password);
    }
}

void TestPasswdWindow::passwordErrorClearsOnceLengthFits()
{
    open();
    auto *passwd = child<QLineEdit>("passwd_text");
    click("confirm_button");
    QCOMPARE(passwd->styleSheet(), passwordErrorStyle);
    QTest::keyClicks(passwd, QStringLiteral("abcde"));
    QCOMPARE(passwd->styleSheet(), passwordErrorStyle);
    QTest::keyClicks(passwd, QStringLiteral("f"));
    QCOMPARE(passwd->styleSheet(), normalFieldStyle);
    QCOMPARE(passwd->placeholderText(), tooShort);
    // Too long again: the field stays as it is until the next confirm.
    QTest::keyClicks(passwd, QStringLiteral("ghijklm"));
    QCOMPARE(passwd->styleSheet(), normalFieldStyle);
}

void TestPasswdWindow::ipErrorLocksConfirmForThreeSeconds()
{
    ORV_Passwd_Window *d = open(QStringLiteral("123456"), QStringLiteral("300.1.1.1"));
    QSignalSpy spy(d, &ORV_Passwd_Window::ready2verify);
    auto *ip = child<QLineEdit>("lineEdit_ip");
    auto *confirm = child<QPushButton>("confirm_button");
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

    ip->setText(QStringLiteral("192.168.1.6"));
    QTest::mouseClick(confirm, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
}

void TestPasswdWindow::eyeButtonTogglesEcho()
{
    open();
    auto *passwd = child<QLineEdit>("passwd_text");
    auto *eye = child<QPushButton>("passwd_visible_button");
    const qint64 icon = eye->icon().cacheKey();
    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(passwd->echoMode(), QLineEdit::Normal);
    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(passwd->echoMode(), QLineEdit::Password);
    QCOMPARE(eye->icon().cacheKey(), icon);
    passwd->setEchoMode(QLineEdit::NoEcho); // any other mode shows the text
    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(passwd->echoMode(), QLineEdit::Normal);
}

void TestPasswdWindow::keysAndCancelSendNothing_data()
{
    QTest::addColumn<QString>("field"); // empty: press cancel instead of a key
    QTest::addColumn<int>("key");
    QTest::newRow("Enter in password") << "passwd_text" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter in new IP") << "lineEdit_ip" << int(Qt::Key_Enter);
    QTest::newRow("Escape in password") << "passwd_text" << int(Qt::Key_Escape);
    QTest::newRow("Escape in new IP") << "lineEdit_ip" << int(Qt::Key_Escape);
    QTest::newRow("cancel") << "" << 0;
}

void TestPasswdWindow::keysAndCancelSendNothing()
{
    QFETCH(QString, field);
    QFETCH(int, key);
    QWidget parentWindow;
    ORV_Passwd_Window *d = open(QStringLiteral("123456"), QStringLiteral("192.168.1.6"),
                                field.isEmpty() ? &parentWindow : nullptr);
    QSignalSpy spy(d, &ORV_Passwd_Window::ready2verify);
    if (field.isEmpty()) {
        click("cancel_button");
        QCOMPARE(spy.count(), 0);
        QVERIFY(!d->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(dialog.isNull(), "a cancelled dialog must be deleted");
        return;
    }
    auto *target = child<QLineEdit>(field.toLatin1().constData());
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QTest::keyClick(d, Qt::Key(key));
    QTest::qWait(50);
    QCOMPARE(spy.count(), 0);
    QVERIFY(d->isVisible());
    QVERIFY(child<QPushButton>("confirm_button")->isEnabled());
    d->close();
}

// The receiver of ready2verify talks to a device and shows message boxes, both of which
// spin nested event loops inside the emission; the dialog must not vanish meanwhile.
void TestPasswdWindow::dialogOutlivesNestedLoopsInReceiver()
{
    for (bool throughMouse : {true, false}) {
        ORV_Passwd_Window *d = open(QStringLiteral("123456"), QStringLiteral("192.168.1.6"));
        bool aliveThroughout = false;
        connect(d, &ORV_Passwd_Window::ready2verify, this, [this, &aliveThroughout] {
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
            QCoreApplication::processEvents();
            aliveThroughout = !dialog.isNull();
        });
        if (throughMouse)
            click("confirm_button");
        else
            child<QPushButton>("confirm_button")->click();
        QVERIFY2(aliveThroughout, throughMouse ? "mouse click" : "programmatic click");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog.isNull());
    }
}

QTEST_MAIN(TestPasswdWindow)
#include "test_passwd_window.moc"
