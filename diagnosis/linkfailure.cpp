#include "diagnosis/linkfailure.h"

#include "diagnosis/portholder.h"

#include <QCoreApplication>

namespace {

QString holderSentence(const PortHolder &holder)
{
    switch (holder.kind) {
    case PortHolder::Kind::Unknown:
        break;
    case PortHolder::Kind::Window:
        return QCoreApplication::translate("LinkFailure", "It is held by tarnvale-manager (the window), process %1.")
            .arg(holder.pid);
    case PortHolder::Kind::CommandLine:
        return QCoreApplication::translate("LinkFailure", "It is held by tarnvale-cli (the command line), process %1.")
            .arg(holder.pid);
    case PortHolder::Kind::Other:
        return QCoreApplication::translate("LinkFailure", "It is held by %1, process %2.")
            .arg(holder.program)
            .arg(holder.pid);
    }
    return QString();
}

} // namespace

QString linkFailureText(const LinkCore::Status &status)
{
    switch (status.error) {
    case LinkCore::Error::None:
        return QString();
    case LinkCore::Error::NoSocket:
        return QCoreApplication::translate("LinkFailure", "No search has been made yet.");
    case LinkCore::Error::NoRequest:
        return QStringLiteral("Nothing to send.");
    case LinkCore::Error::Timeout:
        return QCoreApplication::translate("ORV_CONN2DEVICE", "Timeout,Please try again!");
    case LinkCore::Error::NoMatchingReply:
        return QCoreApplication::translate("LinkFailure", "No matching reply came from the device.");
    case LinkCore::Error::BindFailed:
        // Windows refuses a shared bind beside an exclusive one as an access error.
        if (status.socketError == QAbstractSocket::AddressInUseError
            || status.socketError == QAbstractSocket::SocketAccessError) {
            const QString held = holderSentence(findPortHolder(kLocalPort));
            return QCoreApplication::translate("LinkFailure",
                                               "UDP port 10088 is in use by another program, so the replies of the "
                                               "devices cannot be received. Close that program and search again.")
                   + (held.isEmpty() ? QString() : QLatin1Char(' ') + held);
        }
        break;
    case LinkCore::Error::CardGone:
        return QCoreApplication::translate("LinkFailure",
                                           "The network card \"%1\" does not exist (any more), so nothing was sent.")
            .arg(status.card);
    case LinkCore::Error::CardNoIpv4:
        return QCoreApplication::translate("LinkFailure",
                                           "The network card \"%1\" has no IPv4 address, so nothing was sent.")
            .arg(status.card);
    case LinkCore::Error::JoinFailed:
        return QCoreApplication::translate("LinkFailure", "The multicast group 239.0.0.100 cannot be used on the "
                                                              "network card \"%1\" (%2), so nothing was sent.")
            .arg(status.card, status.socketText);
    case LinkCore::Error::SendFailed:
        if (status.socketError == QAbstractSocket::NetworkError)
            return QCoreApplication::translate("LinkFailure",
                                               "Network unreachable: check that the chosen network card is connected "
                                               "and has an IPv4 address.");
        break;
    }
    return QCoreApplication::translate("LinkFailure", "Network error: %1").arg(status.socketText);
}

QString droppedRepliesText(qint64 dropped, int receiveBuffer)
{
    return QCoreApplication::translate("LinkFailure",
                                       "Replies lost during the search: %1. The system dropped them because its "
                                       "receive buffer (%2 bytes) was full, so the list may be incomplete. Raise "
                                       "its limit with \"sudo sysctl -w net.core.rmem_max=%3\" and search again.")
        .arg(dropped)
        .arg(receiveBuffer)
        .arg(LinkCore::receiveBufferBytes);
}
