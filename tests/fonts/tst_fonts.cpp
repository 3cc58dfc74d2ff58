// The fixed-size captions fit their boxes in English and Chinese with the fonts put in place of
// the forms' Windows fonts: a line edit scrolls a caption too wide, a label or button cuts it.

#include "fonts.h"
#include "orv_passwd_window.h"
#include "orv_window.h"

#include <QtTest>
#include <QtWidgets>

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
    QTemporaryDir workDir; // the language switch writes ./Settings.ini

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir.path())); }

    void captionsFit_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << QStringLiteral("English");
        QTest::newRow("Chinese") << QStringLiteral("Chinese");
    }

    void captionsFit()
    {
        QFETCH(QString, language);
        substituteWindowsFonts();
        ORV_Window window(QStringLiteral("Local Mannage"));
        for (QAction *action : window.findChild<QToolButton *>(QStringLiteral("language_button"))->menu()->actions()) {
            if (action->text() == language)
                action->trigger();
        }
        ORV_Passwd_Window dialog; // made after the switch, so in the chosen language
        window.show();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window) && QTest::qWaitForWindowExposed(&dialog));

        for (const char *name : {"NIC_edit", "state_bar_label", "search_button", "lineEdit_1", "lineEdit_2",
                                 "confirm_button", "cancel_button"}) {
            QWidget *w = window.findChild<QWidget *>(name);
            w = w ? w : dialog.findChild<QWidget *>(name);
            QVERIFY2(w, name);
            const QString text = w->property("text").toString();
            const int width = w->fontMetrics().horizontalAdvance(text);
            qInfo().noquote() << text << width << "px of" << room(w) << "in" << QFontInfo(w->font()).family();
            QVERIFY2(width <= room(w), name);
        }
    }
};

QTEST_MAIN(tst_Fonts)
#include "tst_fonts.moc"
