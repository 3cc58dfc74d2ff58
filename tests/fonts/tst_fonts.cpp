// The fixed-size captions fit their boxes, in English and in Chinese, with the families that
// the program puts in place of the forms' Windows fonts. A caption too wide for a line
// edit scrolls its first letters away ("elect Network Card:"); a label or button cuts it.

#include "fonts.h"
#include "orv_passwd_window.h"
#include "orv_window.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

// The width of a style sheet's content box. initStyleOption is protected; a member pointer
// formed through a derived class may be called on any object of the base class.
template <typename Widget, typename Option>
int contentWidth(const QWidget *w, QStyle::SubElement element)
{
    struct Open : Widget { using Widget::initStyleOption; };
    Option option;
    (static_cast<const Widget *>(w)->*(&Open::initStyleOption))(&option);
    return w->style()->subElementRect(element, &option, w).width();
}

int room(const QWidget *w)
{
    if (qobject_cast<const QLineEdit *>(w)) // which keeps 2 pixels each side and 1 for its cursor
        return contentWidth<QLineEdit, QStyleOptionFrame>(w, QStyle::SE_LineEditContents) - 5;
    if (qobject_cast<const QPushButton *>(w))
        return contentWidth<QPushButton, QStyleOptionButton>(w, QStyle::SE_PushButtonContents);
    return w->contentsRect().width();
}

} // namespace

class tst_Fonts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        substituteWindowsFonts();
        QVERIFY(QDir::setCurrent(workDir.path())); // the language switch writes ./Settings.ini
    }

    void captionsFit_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << QStringLiteral("English");
        QTest::newRow("Chinese") << QStringLiteral("Chinese");
    }

    void captionsFit()
    {
        QFETCH(QString, language);
        ORV_Window window(QStringLiteral("Local Mannage"));
        for (QAction *action : window.findChild<QToolButton *>(QStringLiteral("language_button"))->menu()->actions()) {
            if (action->text() == language)
                action->trigger();
        }
        ORV_Passwd_Window dialog; // made after the switch, so in the chosen language
        window.show();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window) && QTest::qWaitForWindowExposed(&dialog));

        QStringList widths;
        for (const char *name : {"NIC_edit", "state_bar_label", "search_button", "lineEdit_1", "lineEdit_2",
                                 "confirm_button", "cancel_button"}) {
            QWidget *w = window.findChild<QWidget *>(QLatin1String(name));
            w = w ? w : dialog.findChild<QWidget *>(QLatin1String(name));
            QVERIFY2(w, name);
            const QString text = w->property("text").toString();
            const int width = w->fontMetrics().horizontalAdvance(text);
            widths << QStringLiteral("%1 %2/%3 px (%4)").arg(text).arg(width).arg(room(w)).arg(QFontInfo(w->font()).family());
            QVERIFY2(width <= room(w), qPrintable(widths.last()));
        }
        qInfo().noquote() << widths.join(QLatin1String(", "));
    }

private:
    QTemporaryDir workDir;
};

QTEST_MAIN(tst_Fonts)
#include "tst_fonts.moc"
