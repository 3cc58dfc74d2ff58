#include "ui_orv_window.h"

#include "window/orv_window.h"
#include "window/tablerules.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>

namespace {

// Every colour is fixed here, the text's too, so that a dark desktop palette cannot put light text
// on these light rows; the border shows the keyboard focus and has its width whether the table
// has the focus or not.
const char kTableStyle[] = "QTableWidget {"
                           " border: 2px solid transparent;"
                           " background-color: white;"
                           " color: black;"
                           " alternate-background-color: #f7f7f7;"
                           " selection-background-color: #409EFF;"
                           " selection-color: white;"
                           " font-size: 13px;"
                           " background-clip: padding-box;"
                           "}"
                           "QTableWidget:focus { border-color: #409EFF; }"
                           "QTableWidget::item {"
                           " padding: 2px;"
                           " text-align: center;"
                           "}";

const char kHeaderStyle[] = "QHeaderView::section {"
                            " border: none;"
                            " font-size: 14px;"
                            " background-color: #888888;"
                            " color: #000000;"
                            " padding: 2px;"
                            "}";

const char kUpdateButtonStyle[] = "QPushButton {"
                                  " background-color: #2979ff;"
                                  " color: white;"
                                  " border: none;"
                                  " border-radius: 4px;"
                                  " padding: 4px 10px;"
                                  "}"
                                  "QPushButton:hover { background-color: #445ee0; }"
                                  "QPushButton:disabled { background-color: #8f939c !important; }";

// The strip's buttons have a border all the time, in their own colour, which turns black for the
// keyboard focus: the focus then changes nothing but that colour.
const char kCurrentPageStyle[] =
    "QPushButton { background-color:#2979ff; color:white; border: 2px solid #2979ff; border-radius:4px;"
    "width:20px;height:20px; } QPushButton:focus { border-color: black; }";
const char kOtherPageStyle[] =
    "QPushButton { background-color:white; color:black; border: 2px solid white; border-radius:4px;"
    "width:20px;height:20px; } QPushButton:focus { border-color: black; }";
const char kArrowStyle[] = "QPushButton { background-color: transparent; border: 2px solid transparent;"
                           " border-radius: 4px; } QPushButton:focus { border-color: black; }";
const char kTransparentStyle[] = "background-color: transparent;";
// Amber, unlike the rows' white and grey and the selection's blue, with black text legible on it.
const char kSharedAddressColour[] = "#FFE082";

// The strip's and the rows' buttons have fixed sizes; a desktop font of any size would not fit
// them, so they keep the size they were made for.
QFont fixedButtonFont()
{
    return QFont(QStringLiteral("Segoe UI"), 9);
}

QTableWidgetItem *centredItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

QPushButton *arrowButton(QWidget *strip, const QString &name, const QString &icon, const QString &toolTip)
{
    auto *button = new QPushButton(strip);
    button->setObjectName(name);
    button->setFlat(true);
    button->setIcon(QIcon(icon));
    button->setToolTip(toolTip);
    button->setStyleSheet(QLatin1String(kArrowStyle));
    button->setFocusPolicy(Qt::TabFocus); // a click leaves the focus where it was, and no frame behind
    button->setAutoDefault(true);         // Enter presses it, as Space does
    return button;
}

} // namespace

void ORV_Window::setupTableHeader()
{
    QTableWidget *table = ui->tableWidget;
    table->setColumnCount(DeviceColumnCount);
    table->setHorizontalHeaderLabels({QStringLiteral("IP"), tr("Device ID"), QStringLiteral("MAC"),
                                      tr("Model"), tr("FirmwareVersion"), tr("Active Status"),
                                      tr("Operation")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setDefaultSectionSize(42);
    table->horizontalHeader()->setStyleSheet(QLatin1String(kHeaderStyle));
}

void ORV_Window::buildPagination()
{
    QWidget *strip = ui->paginationWidget;

    // This runs inside the clicked handler of one of the strip's own buttons, so the old
    // controls may only go once control is back in the event loop.
    if (QLayout *old = strip->layout()) {
        while (QLayoutItem *item = old->takeAt(0)) {
            if (QWidget *widget = item->widget()) {
                widget->hide();
                widget->deleteLater();
            }
            delete item;
        }
        delete old;
    }

    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 5, 0, 5);
    layout->setSpacing(10);
    layout->setAlignment(Qt::AlignCenter);

    totalLabel = new QLabel(tr("Total") + QLatin1Char(' ') + QString::number(totalPages), strip);
    totalLabel->setObjectName(QStringLiteral("totalLabel"));
    totalLabel->setStyleSheet(QLatin1String(kTransparentStyle));

    prevPageButton = arrowButton(strip, QStringLiteral("prevPageButton"), QStringLiteral(":/qss/prev.svg"),
                                 tr("Previous Page"));
    nextPageButton = arrowButton(strip, QStringLiteral("nextPageButton"), QStringLiteral(":/qss/next.svg"),
                                 tr("Next Page"));

    layout->addWidget(totalLabel);
    layout->addWidget(prevPageButton);
    for (const int n : pageStrip(totalPages)) {
        if (n == 0) {
            auto *ellipsis = new QLabel(QStringLiteral("..."), strip);
            ellipsis->setObjectName(QStringLiteral("ellipsisLabel"));
            ellipsis->setStyleSheet(QStringLiteral("color: white;"));
            layout->addWidget(ellipsis);
            continue;
        }
        auto *pageButton = new QPushButton(QString::number(n), strip);
        pageButton->setObjectName(QStringLiteral("pageButton_%1").arg(n));
        pageButton->setStyleSheet(QLatin1String(n == currentPage ? kCurrentPageStyle : kOtherPageStyle));
        pageButton->setFont(fixedButtonFont());
        pageButton->setFocusPolicy(Qt::TabFocus);
        pageButton->setAutoDefault(true);
        connect(pageButton, &QPushButton::clicked, this, [this, n] { goToPage(n); });
        layout->addWidget(pageButton);
    }
    layout->addWidget(nextPageButton);

    connect(prevPageButton, &QPushButton::clicked, this, &ORV_Window::goToPreviousPage);
    connect(nextPageButton, &QPushButton::clicked, this, &ORV_Window::goToNextPage);

    // New widgets join the end of the Tab chain; the strip's come right after the table, left to
    // right. They are shown at once, not when the layout gets round to it: the focus may move to
    // one of them before that (goToPage).
    QWidget *previous = ui->tableWidget;
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *control = layout->itemAt(i)->widget();
        control->show();
        if (control->focusPolicy() & Qt::TabFocus) {
            setTabOrder(previous, control);
            previous = control;
        }
    }
}

void ORV_Window::fillCurrentPage()
{
    QTableWidget *table = ui->tableWidget;
    const int first = (currentPage - 1) * rowsPerPage;
    const int end = qMin(first + rowsPerPage, deviceList.size());

    totalLabel->setText(tr("Total") + QLatin1Char(' ') + QString::number(totalPages));
    prevPageButton->setEnabled(currentPage > 1);
    nextPageButton->setEnabled(currentPage < totalPages);

    table->clearContents();
    table->setRowCount(0);

    table->setStyleSheet(QLatin1String(kTableStyle));
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setVisible(false);
    table->setAlternatingRowColors(true);
    // One stop of the Tab chain: the arrow keys move inside it, and Space or Enter press the
    // current row's "Update IP" (tablekeys.cpp).
    table->setFocusPolicy(Qt::StrongFocus);
    table->setTabKeyNavigation(false);
    table->verticalHeader()->setDefaultSectionSize(32);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);

    for (int i = first; i < end; ++i) {
        const DeviceEntry &entry = deviceList.at(i);
        const int r = table->rowCount();
        table->insertRow(r);
        table->setItem(r, IpColumn, centredItem(entry.text(DeviceMember::Ip)));
        table->setItem(r, SnColumn, centredItem(entry.text(DeviceMember::Sn)));
        table->setItem(r, MacColumn, centredItem(entry.text(DeviceMember::Mac)));
        table->setItem(r, ModelColumn, centredItem(entry.text(DeviceMember::Model)));
        table->setItem(r, VersionColumn, centredItem(entry.text(DeviceMember::Version)));
        table->setItem(r, ActiveColumn, centredItem(entry.text(DeviceMember::Active)));

        auto *button = new QPushButton(tr("Update IP"));
        button->setObjectName(QStringLiteral("updateIpButton"));
        button->setFixedSize(80, 24);
        button->setFont(fixedButtonFont());
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        button->setProperty("row", r);
        button->setProperty("ipColumn", int(IpColumn));
        button->setProperty("textKey", button->text());
        button->setStyleSheet(QLatin1String(kUpdateButtonStyle));
        connect(button, &QPushButton::clicked, this, [this, r] { onUpdateIpClicked(r); });

        auto *container = new QWidget;
        container->setAttribute(Qt::WA_TranslucentBackground);
        auto *containerLayout = new QHBoxLayout(container);
        containerLayout->setContentsMargins(0, 0, 0, 0);
        containerLayout->setAlignment(Qt::AlignCenter);
        containerLayout->addWidget(button);
        table->setCellWidget(r, OperationColumn, container);

        for (int column = 0; column < DeviceColumnCount; ++column)
            table->horizontalHeader()->setSectionResizeMode(
                column, column == SnColumn ? QHeaderView::ResizeToContents : QHeaderView::Stretch);
    }

    markSharedAddresses(deviceList);

    connect(table, &QTableWidget::cellDoubleClicked, this, &ORV_Window::onCellDoubleClicked,
            Qt::UniqueConnection);
}

void ORV_Window::markSharedAddresses(const QList<DeviceEntry> &devices)
{
    QStringList addresses;
    addresses.reserve(devices.size());
    for (const DeviceEntry &device : devices)
        addresses << device.text(DeviceMember::Ip);
    const QHash<QString, int> counts = devicesPerAddress(addresses);

    QTableWidget *table = ui->tableWidget;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem *item = table->item(row, IpColumn);
        if (!item)
            continue;
        const int count = counts.value(item->text());
        if (count > 1) {
            item->setBackground(QColor(QLatin1String(kSharedAddressColour)));
            item->setToolTip(tr("%1 devices answer at this address; they are told apart by their serial number "
                                "(Device ID).").arg(count));
        } else {
            item->setData(Qt::BackgroundRole, QVariant());
            item->setToolTip(QString());
        }
    }
}

void ORV_Window::goToPage(int n)
{
    // The strip is made anew; a keyboard user keeps the focus on the control pressed, or, once
    // that is disabled (an arrow at the end), finds it on the table.
    QWidget *focus = QApplication::focusWidget();
    const QString focused = focus && ui->paginationWidget->isAncestorOf(focus) ? focus->objectName() : QString();

    currentPage = qBound(1, n, totalPages);
    buildPagination();
    fillCurrentPage();

    if (focused.isEmpty())
        return;
    QWidget *same = nullptr;
    for (int i = 0; i < ui->paginationWidget->layout()->count(); ++i) {
        QWidget *control = ui->paginationWidget->layout()->itemAt(i)->widget();
        if (control->objectName() == focused)
            same = control;
    }
    (same && same->isEnabled() ? same : ui->tableWidget)->setFocus(Qt::OtherFocusReason);
}

void ORV_Window::goToPreviousPage()
{
    goToPage(currentPage - 1);
}

void ORV_Window::goToNextPage()
{
    goToPage(currentPage + 1);
}

void ORV_Window::retranslateDeviceTable()
{
    ui->state_text->setText(tr("Double-click the IP to enter the web page"));
    setupTableHeader();
    if (totalLabel)
        totalLabel->setText(tr("Total") + QLatin1Char(' ') + QString::number(totalPages));
    if (prevPageButton)
        prevPageButton->setToolTip(tr("Previous Page"));
    if (nextPageButton)
        nextPageButton->setToolTip(tr("Next Page"));
    if (!deviceList.isEmpty())
        fillCurrentPage();
}
