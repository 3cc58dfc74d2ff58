#include "cli/console.h"

#include "cli/deviceoutput.h"
#include "cli/password.h"
#include "diagnosis/linkfailure.h"
#include "diagnosis/networkcard.h"

#include <QElapsedTimer>
#include <QNetworkInterface>

Console::Console(FILE *out, FILE *err)
    : out(out, "standard output"), err(err, "standard error"), outFile(out), errFile(err)
{
}

int Console::fail(ExitStatus status, const QString &line)
{
    warn(line);
    return status;
}

void Console::warn(const QString &line)
{
    err.write(QStringLiteral("tarnvale-cli: ") + printable(line) + QLatin1Char('\n'));
}

int Console::chooseCard()
{
    card = requestedCard.isEmpty() ? defaultCardName() : requestedCard;
    QStringList names;
    for (const NetworkCard &known : describeCards(QNetworkInterface::allInterfaces())) {
        if (known.name == card) {
            qDebug().noquote() << "interface" << card;
            return ExitOk;
        }
        names << known.name;
    }
    const QString list = names.join(QLatin1String(", "));
    return fail(ExitUnknownInterface,
                requestedCard.isEmpty() ? QStringLiteral("no network interface is up, running and able to multicast "
                                                         "with an IPv4 address; name one with --interface (known: %1)")
                                              .arg(list)
                                        : QStringLiteral("unknown interface \"%1\" (known: %2)").arg(requestedCard, list));
}

void Console::configure(LinkCore &link)
{
    link.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
    link.setPortSharing(LinkCore::PortSharing::Exclusive);
}

int Console::search(LinkCore &link, LinkCore::Result *result)
{
    QElapsedTimer clock;
    clock.start();
    *result = link.search(card);
    if (!result->status.ok())
        return fail(searchFailure(result->status, card));
    qDebug("search: first reply after %lld ms, gathering done after %lld ms", result->firstReplyMs, clock.elapsed());
    if (result->dropped > 0) {
        repliesDropped = true;
        warn(QStringLiteral("warning: ") + droppedRepliesText(result->dropped, result->receiveBuffer));
    }
    return ExitOk;
}

int Console::readPassword(const PasswordSource &source, QString *password)
{
    QString warning;
    const Outcome found = obtainPassword(source, password, &warning);
    if (!warning.isEmpty())
        warn(warning);
    if (found.status != ExitOk)
        return fail(found);
    const Outcome rule = checkPassword(*password);
    return rule.status == ExitOk ? int(ExitOk) : fail(rule);
}

int Console::finish(int status, bool closingOut)
{
    const bool errWritten = err.finish(false);
    if (out.finish(closingOut) && errWritten)
        return status;
    if (!out.ok())
        warn(out.errorText());
    // A hang-up takes the terminal with it: the interrupt says more than the output it cost.
    return status == ExitInterrupted ? status : int(ExitOutput);
}
