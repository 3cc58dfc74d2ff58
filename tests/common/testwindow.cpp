#include "tests/common/testwindow.h"

#include "window/orv_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>
#include <QTableWidget>

#include <cmath>
#include <functional>

bool MessageBoxCloser::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QMessageBox *>(watched);
    if (event->type() != QEvent::Show || !box || !box->isWindow())
        return false;
    static const char *const icons[] = {"none", "information", "warning", "critical", "question"};
    const QWidget *parent = box->parentWidget();
    boxes << QStringLiteral("%1|%2|%3|%4").arg(QLatin1String(icons[box->icon()]), box->windowTitle(), box->text(),
                                               QLatin1String(parent ? parent->metaObject()->className() : "none"));
    shownMs << nowMs();
    firstDetails << box->detailedText();
    okTexts << (box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->text() : QString());
    auto close = [this, box] {
        closedMs << nowMs();
        details << box->detailedText();
        QAbstractButton *cancel = pressCancel ? box->button(QMessageBox::Cancel) : nullptr;
        (cancel ? cancel : box->button(QMessageBox::Ok))->click();
    };
    if (detailsWaitMs <= 0 || box->detailedText().isEmpty()) {
        QTimer::singleShot(0, box, close);
        return false;
    }
    // Details that are still being gathered: closed once they change, or after detailsWaitMs.
    auto *poll = new QTimer(box);
    const QString first = box->detailedText();
    const qint64 until = nowMs() + detailsWaitMs;
    connect(poll, &QTimer::timeout, box, [box, poll, first, until, close] {
        if (box->detailedText() == first && nowMs() < until)
            return;
        poll->stop();
        close();
    });
    poll->start(10);
    return false;
}

QString visibleWindows(const QWidget *except)
{
    QStringList names;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget != except && widget->isVisible())
            names << QString::fromLatin1(widget->metaObject()->className());
    }
    return names.join(QLatin1Char(' '));
}

bool deliver(ORV_Window &window, const JsonPtr &array)
{
    return QMetaObject::invokeMethod(&window, "showSearchDeviceTableInfos", Q_ARG(cJSON *, array.get()));
}

bool chooseLoopback(ORV_Window &window)
{
    auto *box = window.findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
    box->setCurrentIndex(box->findText(QStringLiteral("lo")));
    return box->currentText() == QLatin1String("lo");
}

QStringList column(ORV_Window &window, int c)
{
    QStringList texts;
    auto *table = window.findChild<QTableWidget *>();
    for (int row = 0; row < table->rowCount(); ++row)
        texts << table->item(row, c)->text();
    return texts;
}

QPalette desktopPalette(Desktop desktop)
{
    if (desktop == Desktop::Light)
        return QApplication::style()->standardPalette();
    const bool dark = desktop == Desktop::Dark; // else white on black, as high-contrast themes have it
    const QColor text = dark ? QColor(0xef, 0xf0, 0xf1) : Qt::white, window = dark ? QColor(0x31, 0x36, 0x3b) : Qt::black;
    QPalette palette(text, window, window.lighter(), window.darker(), window, text, text, dark ? window.darker() : window, window);
    palette.setColor(QPalette::Highlight, dark ? QColor(0x3d, 0xae, 0xe9) : Qt::cyan);
    palette.setColor(QPalette::PlaceholderText, dark ? QColor(0xa0, 0xa4, 0xa8) : Qt::yellow);
    return palette;
}

namespace {

// A text that root shows: the widget that paints it, where, and how to change it for a moment.
struct Shown
{
    QWidget *widget;
    QRect rect;
    QString text;
    std::function<void(const QString &)> set;
};

QList<Shown> shownTexts(QWidget *root)
{
    QList<Shown> shown;
    const QList<QWidget *> widgets = root->findChildren<QWidget *>() << root;
    for (QWidget *w : widgets) {
        if (!w->isVisible() || w->window() != root->window())
            continue;
        auto *table = qobject_cast<QTableWidget *>(w);
        for (int r = -1; table && r < table->rowCount(); ++r) { // row -1: the header
            for (int c = 0; c < table->columnCount(); ++c) {
                QTableWidgetItem *item = r < 0 ? table->horizontalHeaderItem(c) : table->item(r, c);
                QHeaderView *header = table->horizontalHeader();
                if (item && r < 0)
                    shown.append({header->viewport(), QRect(header->sectionViewportPosition(c), 0, header->sectionSize(c),
                                                            header->height()), item->text(), [item](const QString &t) { item->setText(t); }});
                else if (item)
                    shown.append({table->viewport(), table->visualItemRect(item), item->text(),
                                  [item](const QString &t) { item->setText(t); }});
            }
        }
        auto *combo = qobject_cast<QComboBox *>(w);
        const int i = combo ? combo->currentIndex() : -1;
        if (combo && i >= 0)
            shown.append({w, w->rect(), combo->currentText(), [combo, i](const QString &t) { combo->setItemText(i, t); }});
        // Buttons, labels and line edits; a line edit without text shows its placeholder. A
        // button that cannot be pressed may be dim, as every desktop shows it; a text the widget
        // makes itself (a progress bar's) is not the form's.
        const char *property = w->property("text").toString().isEmpty() ? "placeholderText" : "text";
        const QString text = w->property(property).toString();
        const QMetaProperty meta = w->metaObject()->property(w->metaObject()->indexOfProperty(property));
        const bool inactiveButton = qobject_cast<QAbstractButton *>(w) && !w->isEnabled();
        if (!text.isEmpty() && !qobject_cast<QComboBox *>(w) && meta.isWritable() && !inactiveButton)
            shown.append({w, w->rect(), text, [w, property](const QString &t) {
                              const QSignalBlocker quiet(w); // its own reactions are not under test
                              w->setProperty(property, t);
                          }});
    }
    return shown;
}

double contrast(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb rgb) {
        const auto linear = [](int v) { return v <= 10 ? v / 3294.6 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
    };
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// The part of rect (in w, perhaps beyond it) that its window shows, in the window's coordinates.
QRect inWindow(const QWidget *w, const QRect &rect)
{
    QRect visible = rect.translated(w->mapTo(w->window(), QPoint()));
    for (const QWidget *p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        visible &= p->rect().translated(p->mapTo(p->window(), QPoint()));
    return visible;
}

QString describe(const Shown &s)
{
    const QWidget *named = s.widget->objectName().isEmpty() ? s.widget->parentWidget() : s.widget; // a viewport
    return QStringLiteral("%1 \"%2\"").arg(named->objectName(), s.text);
}

// The room a widget leaves its caption: a line edit keeps 2 pixels each side and 1 for its
// cursor; a button draws its caption centred, cut by the widget only. initStyleOption is
// protected; a member pointer formed through a derived class may be called on the base.
QRect captionRoom(const QWidget *w)
{
    if (auto *edit = qobject_cast<const QLineEdit *>(w)) {
        struct Open : QLineEdit { using QLineEdit::initStyleOption; };
        QStyleOptionFrame option;
        (edit->*(&Open::initStyleOption))(&option);
        return w->style()->subElementRect(QStyle::SE_LineEditContents, &option, w).adjusted(2, 0, -3, 0);
    }
    if (auto *button = qobject_cast<const QPushButton *>(w)) {
        struct Open : QPushButton { using QPushButton::initStyleOption; };
        QStyleOptionButton option;
        (button->*(&Open::initStyleOption))(&option);
        const QRect contents = w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w);
        return QRect(contents.left(), 0, contents.width(), w->height());
    }
    return w->contentsRect();
}

} // namespace

QStringList contrastProblems(QWidget *root)
{
    QStringList problems;
    for (const Shown &s : shownTexts(root)) {
        const QRect area = inWindow(s.widget, s.rect);
        const QImage with = root->window()->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        s.set(QString());
        const QImage without = root->window()->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        s.set(s.text);
        double best = 1; // the text's own colour, in the pixels it covers fully, against the colour behind it
        for (int y = 0; y < with.height(); ++y) {
            for (int x = 0; x < with.width(); ++x)
                best = qMax(best, contrast(with.pixel(x, y), without.pixel(x, y)));
        }
        if (!area.isEmpty() && best < 4.5)
            problems << describe(s) + (best == 1 ? QStringLiteral(" invisible") : QStringLiteral(" %1:1").arg(best, 0, 'f', 1));
    }
    return problems;
}

QStringList clippedCaptions(QWidget *root)
{
    QStringList clipped;
    for (const Shown &s : shownTexts(root)) {
        const QRect room = captionRoom(s.widget);
        const QSize needed(s.widget->fontMetrics().horizontalAdvance(s.text), s.widget->fontMetrics().height());
        if (s.rect == s.widget->rect() && (needed.width() > room.width() || needed.height() > room.height())) // cells elide
            clipped << describe(s) + QStringLiteral(" %1x%2 in %3x%4").arg(needed.width()).arg(needed.height())
                                         .arg(room.width()).arg(room.height());
    }
    return clipped;
}

QStringList tabStops(QWidget *window, bool forward, int limit)
{
    // The band of three pixels outside a widget's edge and two inside, where a focus frame is
    // drawn (not a text cursor, which blinks). The start's focus is checked when Tab brings it
    // back: a focus given by the program may not show as the keyboard's does.
    const auto edge = [window](QWidget *w) {
        QImage image = window->grab(inWindow(w, w->rect().adjusted(-3, -3, 3, 3))).toImage();
        QPainter(&image).fillRect(QRect(QPoint(5, 5), w->size() - QSize(4, 4)), Qt::black); // in the image's own pixel ratio
        return image;
    };
    QStringList stops;
    QWidget *start = QApplication::focusWidget(), *current = start;
    QImage focused;
    for (int i = 0; i < limit; ++i) {
        QTest::keyClick(current ? current : window, forward ? Qt::Key_Tab : Qt::Key_Backtab);
        if (i > 0 && edge(current) == focused)
            stops.last() += QLatin1Char('!');
        if (i > 0 && current == start)
            break;
        current = QApplication::focusWidget();
        if (!current)
            return stops << QStringLiteral("(no focus)");
        stops << current->objectName();
        focused = edge(current);
    }
    QTest::keyClick(QApplication::focusWidget(), forward ? Qt::Key_Backtab : Qt::Key_Tab); // back to the start
    return stops;
}

QString pressKeys(std::initializer_list<Qt::Key> keys)
{
    for (const Qt::Key key : keys)
        QTest::keyClick(QApplication::focusWidget(), key);
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QStringLiteral("(no focus)");
}
