#include "tests/common/testwindow.h"

#include "window/orv_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTableWidget>

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
