#include "orv_passwd_window.h"

#include "testsupport.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>

class TestPasswdWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dialog = new ORV_Passwd_Window;
        dialog->setCurrentIp(QStringLiteral("192.168.1.5"));
        dialog->show();
        spy.reset(new QSignalSpy(dialog.data(), &ORV_Passwd_Window::ready2verify));
    }

    void cleanup()
    {
        delete dialog;
        QVERIFY2(visibleWindows().isEmpty(), qPrintable(visibleWindows()));
    }

    void confirm_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("newIp");
        QTest::addColumn<QString>("error"); // in the field at fault; none: ready2verify

        const QString tooShort = "Password too short (min 6 chars)", format = "Incorrect IPv4 address format.";
        QTest::newRow("5 chars") << "12345" << "192.168.1.9" << tooShort;
        QTest::newRow("13 chars") << "1234567890abc" << "192.168.1.9" << "Password too long (max 12 chars)";
        QTest::newRow("empty password wins over empty ip") << "" << "" << tooShort;
        QTest::newRow("empty ip") << "123456" << "" << "IP address cannot be empty";
        QTest::newRow("part above 255") << "123456" << "192.168.1.256" << format;
        QTest::newRow("leading blank") << "123456" << " 192.168.1.9" << format;
        QTest::newRow("trailing line break") << "123456" << "192.168.1.9\n" << format;
        QTest::newRow("same as current") << "123456" << "192.168.1.5" << "The new IP address cannot be the same as the original one.";
        QTest::newRow("6 chars") << "abcdef" << "192.168.1.9" << "";
        QTest::newRow("12 chars, blanks kept") << " pass word 1" << "10.0.0.1" << "";
        QTest::newRow("leading zeros differ from current") << "123456" << "192.168.001.005" << "";
    }

    void confirm()
    {
        QFETCH(QString, password);
        QFETCH(QString, newIp);
        QFETCH(QString, error);
        field("passwd_text")->setText(password);
        field("lineEdit_ip")->setText(newIp);
        QTest::mouseClick(button("confirm_button"), Qt::LeftButton);
        if (error.isEmpty()) {
            QCOMPARE(spy->count(), 1);
            QCOMPARE(spy->first(), (QVariantList{"192.168.1.5", password, newIp}));
            QVERIFY(!dialog->isVisible());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY2(dialog.isNull(), "a confirmed dialog is deleted");
            return;
        }
        const bool passwordError = error.startsWith(QLatin1String("Password"));
        QLineEdit *bad = field(passwordError ? "passwd_text" : "lineEdit_ip");
        QLineEdit *good = field(passwordError ? "lineEdit_ip" : "passwd_text");
        QCOMPARE(spy->count(), 0);
        QVERIFY(isRed(bad) && !isRed(good));
        QCOMPARE(bad->placeholderText() + bad->text(), error);
        QCOMPARE(good->text(), passwordError ? newIp : password);
        QCOMPARE(dialog->focusWidget(), bad);
        QCOMPARE(button("confirm_button")->isEnabled(), passwordError);
    }

    void ipErrorLocksConfirmForThreeSeconds()
    {
        field("passwd_text")->setText(QStringLiteral("123456"));
        field("lineEdit_ip")->setText(QStringLiteral("300.1.1.1"));
        QPushButton *confirm = button("confirm_button");
        const qint64 start = nowMs();
        QTest::mouseClick(confirm, Qt::LeftButton);
        QTest::keyClicks(field("lineEdit_ip"), QStringLiteral("10.9.9.9")); // typed meanwhile: replaced
        QTest::mouseClick(confirm, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 8000);
        QVERIFY_DURATION(nowMs() - start, 3000, 3750);
        QCOMPARE(field("lineEdit_ip")->text() + field("lineEdit_ip")->placeholderText(), QStringLiteral("192.168.1.5"));
        QVERIFY(!isRed(field("lineEdit_ip")));
        QCOMPARE(spy->count(), 0);
    }

    // The receiver of ready2verify talks to a device and shows message boxes, both of which
    // spin nested event loops inside the emission; the dialog must not vanish meanwhile.
    void dialogOutlivesNestedLoopsInReceiver()
    {
        field("passwd_text")->setText(QStringLiteral("123456"));
        field("lineEdit_ip")->setText(QStringLiteral("192.168.1.6"));
        bool aliveThroughout = false;
        connect(dialog.data(), &ORV_Passwd_Window::ready2verify, this, [this, &aliveThroughout] {
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            aliveThroughout = !dialog.isNull();
        });
        QTest::mouseClick(button("confirm_button"), Qt::LeftButton);
        QVERIFY(aliveThroughout);
    }

private:
    QLineEdit *field(const char *name) const { return dialog->findChild<QLineEdit *>(QLatin1String(name)); }
    QPushButton *button(const char *name) const { return dialog->findChild<QPushButton *>(QLatin1String(name)); }
    static bool isRed(const QLineEdit *field) { return field->styleSheet().contains(QLatin1String("#FF5252")); }

    QPointer<ORV_Passwd_Window> dialog;
    std::unique_ptr<QSignalSpy> spy;
};

QTEST_MAIN(TestPasswdWindow)
#include "tst_passwd_window.moc"
