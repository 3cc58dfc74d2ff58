#include "window/cardbox.h"
#include "ui_orv_window.h"

#include "window/applicationnames.h"
#include "window/orv_window.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFont>
#include <QNetworkInterface>
#include <QSettings>
#include <QVariant>

namespace {

const char kCardKey[] = "networkCard";

// The operator's own settings, in the user's configuration folder; ./Settings.ini belongs
// to the language switch, which never reads it back.
QSettings operatorSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kOrganisationName),
                     QLatin1String(kApplicationName));
}

QString cardToolTip(const NetworkCard &card)
{
    return card.ipv4.isEmpty() ? QCoreApplication::translate("ORV_Window", "No IPv4 address")
                               : card.ipv4.join(QLatin1Char('\n'));
}

} // namespace

int startCardIndex(const QVector<NetworkCard> &cards, const QString &remembered)
{
    if (cards.isEmpty())
        return -1;
    for (int i = 0; i < cards.size(); ++i) {
        if (!remembered.isEmpty() && cards.at(i).name == remembered)
            return i;
    }
    for (int i = 0; i < cards.size(); ++i) {
        if (reachesDevices(cards.at(i)))
            return i;
    }
    return 0;
}

void ORV_Window::fillNetworkCards()
{
    QFont font(QStringLiteral("Segoe UI"), 11);
    ui->NIC_select_box->setFont(font);

    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces)
        ui->NIC_select_box->addItem(nic.humanReadableName(), QVariant::fromValue(nic));
    networkCards = describeCards(interfaces);
    retranslateNetworkCards();

    const QString remembered = operatorSettings().value(QLatin1String(kCardKey)).toString();
    ui->NIC_select_box->setCurrentIndex(startCardIndex(networkCards, remembered));
    // Only the operator's own pick is remembered, not a choice made by the program.
    connect(ui->NIC_select_box, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        QSettings settings = operatorSettings();
        settings.setValue(QLatin1String(kCardKey), ui->NIC_select_box->itemText(index));
        settings.sync();
        if (settings.status() != QSettings::NoError)
            qWarning() << "The chosen network card could not be remembered in" << settings.fileName();
    });
}

void ORV_Window::retranslateNetworkCards()
{
    for (int i = 0; i < networkCards.size() && i < ui->NIC_select_box->count(); ++i)
        ui->NIC_select_box->setItemData(i, cardToolTip(networkCards.at(i)), Qt::ToolTipRole);
}
