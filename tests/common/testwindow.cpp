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
        box->button(QMessageBox::Ok)->click();
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
    const bool dark = desktop == Desktop::Dark;
    const QColor window = dark ? QColor(0x31, 0x36, 0x3b) : Qt::black, base = dark ? QColor(0x23, 0x26, 0x29) : Qt::black;
    const QColor text = dark ? QColor(0xef, 0xf0, 0xf1) : Qt::white, highlight = dark ? QColor(0x3d, 0xae, 0xe9) : Qt::cyan;
    QPalette palette(text, window, window.lighter(), window.darker(), window, text, text, base, window);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, dark ? text : QColor(Qt::black));
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dark ? QColor(0xa0, 0xa4, 0xa8) : QColor(Qt::yellow));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dark ? QColor(0x8a, 0x8e, 0x92) : QColor(Qt::green));
    return palette;
}

namespace {

// Something root shows: where (in its widget), what, and how to change the text for a moment.
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
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        if (!w->isVisible() || w->window() != root->window())
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            if (!button->text().isEmpty())
                shown.append({w, w->rect(), button->text(), [button](const QString &t) { button->setText(t); }});
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            if (!label->text().isEmpty())
                shown.append({w, w->rect(), label->text(), [label](const QString &t) { label->setText(t); }});
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            if (!edit->text().isEmpty())
                shown.append({w, w->rect(), edit->text(), [edit](const QString &t) {
                                  const QSignalBlocker quiet(edit); // its own reactions are not under test
                                  edit->setText(t);
                              }});
            else if (!edit->placeholderText().isEmpty())
                shown.append({w, w->rect(), edit->placeholderText(),
                              [edit](const QString &t) { edit->setPlaceholderText(t); }});
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            const int i = combo->currentIndex();
            if (i >= 0 && !combo->currentText().isEmpty())
                shown.append({w, w->rect(), combo->currentText(), [combo, i](const QString &t) { combo->setItemText(i, t); }});
        } else if (auto *header = qobject_cast<QHeaderView *>(w)) {
            QAbstractItemModel *model = header->model();
            for (int s = 0; model && s < header->count(); ++s) {
                const QString text = model->headerData(s, header->orientation(), Qt::DisplayRole).toString();
                const QRect rect = header->orientation() == Qt::Horizontal
                                       ? QRect(header->sectionViewportPosition(s), 0, header->sectionSize(s), header->height())
                                       : QRect(0, header->sectionViewportPosition(s), header->width(), header->sectionSize(s));
                if (!header->isSectionHidden(s) && !text.isEmpty())
                    shown.append({header->viewport(), rect, text, [header, model, s](const QString &t) {
                                      model->setHeaderData(s, header->orientation(), t);
                                  }});
            }
        } else if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
            QAbstractItemModel *model = view->model();
            for (int r = 0; model && r < model->rowCount(view->rootIndex()); ++r) {
                for (int c = 0; c < model->columnCount(view->rootIndex()); ++c) {
                    const QModelIndex index = model->index(r, c, view->rootIndex());
                    const QString text = index.data().toString();
                    if (!text.isEmpty())
                        shown.append({view->viewport(), view->visualRect(index), text,
                                      [model, index](const QString &t) { model->setData(index, t); }});
                }
            }
        }
    }
    return shown;
}

double luminance(QRgb rgb)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// The part of rect (in w) that its window shows, in the window's coordinates.
QRect inWindow(const QWidget *w, const QRect &rect)
{
    QRect visible = rect.intersected(w->rect()).translated(w->mapTo(w->window(), QPoint()));
    for (const QWidget *p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        visible &= p->rect().translated(p->mapTo(p->window(), QPoint()));
    return visible;
}

QString describe(const QWidget *w, const QString &text)
{
    const QWidget *named = w;
    while (named->objectName().isEmpty() || named->objectName().startsWith(QLatin1String("qt_")))
        named = named->parentWidget() ? named->parentWidget() : named;
    return QStringLiteral("%1 \"%2\"").arg(named->objectName().isEmpty() ? QString::fromLatin1(named->metaObject()->className())
                                                                          : named->objectName(), text);
}

template <typename Widget, typename Option>
Option styleOption(const QWidget *w)
{
    struct Open : Widget { using Widget::initStyleOption; }; // protected; callable through the derived class's pointer
    Option option;
    (static_cast<const Widget *>(w)->*(&Open::initStyleOption))(&option);
    return option;
}

// The room a widget leaves its caption.
QRect captionRoom(const QWidget *w)
{
    if (qobject_cast<const QLineEdit *>(w)) { // which keeps 2 pixels each side and 1 for its cursor
        const auto option = styleOption<QLineEdit, QStyleOptionFrame>(w);
        return w->style()->subElementRect(QStyle::SE_LineEditContents, &option, w).adjusted(2, 0, -3, 0);
    }
    if (qobject_cast<const QPushButton *>(w)) {
        const auto option = styleOption<QPushButton, QStyleOptionButton>(w);
        const QRect contents = w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w);
        return QRect(contents.left(), 0, contents.width(), w->height()); // drawn centred, cut by the widget only
    }
    if (qobject_cast<const QComboBox *>(w)) {
        const auto option = styleOption<QComboBox, QStyleOptionComboBox>(w);
        return w->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, w);
    }
    return w->contentsRect();
}

} // namespace

QStringList contrastProblems(QWidget *root)
{
    QStringList problems;
    QWidget *window = root->window();
    for (const Shown &s : shownTexts(root)) {
        const QRect area = inWindow(s.widget, s.rect);
        if (area.isEmpty())
            continue;
        const QImage with = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        s.set(QString());
        const QImage without = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        s.set(s.text);
        double best = 1.0;
        for (int y = 0; y < with.height(); ++y) {
            for (int x = 0; x < with.width(); ++x) {
                if (with.pixel(x, y) != without.pixel(x, y))
                    best = qMax(best, contrast(with.pixel(x, y), without.pixel(x, y)));
            }
        }
        if (best < 4.5)
            problems << describe(s.widget, s.text) + (best == 1.0 ? QStringLiteral(" invisible")
                                                                   : QStringLiteral(" %1:1").arg(best, 0, 'f', 1));
    }
    return problems;
}

QStringList clippedCaptions(QWidget *root)
{
    QStringList clipped;
    for (const Shown &s : shownTexts(root)) {
        if (qobject_cast<QAbstractItemView *>(s.widget->parentWidget())) // cells elide what does not fit
            continue;
        const QRect room = captionRoom(s.widget);
        const QFontMetrics metrics = s.widget->fontMetrics();
        const QSize needed(metrics.horizontalAdvance(s.text), metrics.height());
        if (needed.width() > room.width() || needed.height() > room.height())
            clipped << describe(s.widget, s.text)
                           + QStringLiteral(" %1x%2 in %3x%4").arg(needed.width()).arg(needed.height())
                                 .arg(room.width()).arg(room.height());
    }
    return clipped;
}

QStringList tabStops(QWidget *window, bool forward, int limit)
{
    // The band of three pixels either side of a widget's edge, where a focus frame is drawn (not
    // a text cursor, which blinks).
    const auto edge = [window](QWidget *w) {
        const QRect outer = inWindow(w, w->rect().adjusted(-3, -3, 3, 3)), inner = inWindow(w, w->rect().adjusted(3, 3, -3, -3));
        QImage image = window->grab(outer).toImage().convertToFormat(QImage::Format_RGB32);
        const qreal ratio = image.devicePixelRatio();
        QPainter painter(&image);
        painter.fillRect(QRectF(inner.translated(-outer.topLeft()).topLeft() * ratio, inner.size() * ratio), Qt::black);
        return image;
    };
    // The start's focus is checked when Tab brings it back: a focus given by the program may not
    // show as the keyboard's does.
    QStringList stops;
    QWidget *start = QApplication::focusWidget();
    QWidget *current = start;
    QImage focused;
    for (int i = 0; i < limit; ++i) {
        QTest::keyClick(current ? current : window, forward ? Qt::Key_Tab : Qt::Key_Backtab);
        QWidget *next = QApplication::focusWidget();
        if (i > 0 && next != current && edge(current) == focused)
            stops.last() += QLatin1Char('!');
        if (i > 0 && current == start)
            break;
        current = next;
        if (!current)
            return stops << QStringLiteral("(no focus)");
        stops << (current->objectName().isEmpty() ? QString::fromLatin1(current->metaObject()->className()) : current->objectName());
        focused = edge(current);
    }
    QTest::keyClick(QApplication::focusWidget(), forward ? Qt::Key_Backtab : Qt::Key_Tab); // back to the start
    return stops;
}
