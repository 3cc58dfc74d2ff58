// Runs one search through the link core as the command line does (the port bound alone,
// replies taken as they are read) and prints what it listed, what the kernel dropped and
// the receive buffer it was granted. Used by loss-bench.sh.

#include "devicelink/linkcore.h"
#include "diagnosis/linkfailure.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString card = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("lo");

    LinkCore link;
    link.setPortSharing(LinkCore::PortSharing::Exclusive);
    link.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
    QElapsedTimer clock;
    clock.start();
    const LinkCore::Result result = link.search(card);
    if (!result.status.ok()) {
        std::fprintf(stderr, "lossbench: %s\n", qPrintable(linkFailureText(result.status)));
        return 1;
    }
    std::printf("listed=%d dropped=%lld granted=%d asked=%d first_reply_ms=%lld wall_ms=%lld\n",
                cJSON_GetArraySize(result.json.get()), static_cast<long long>(result.dropped),
                result.receiveBuffer, LinkCore::receiveBufferBytes, static_cast<long long>(result.firstReplyMs),
                static_cast<long long>(clock.elapsed()));
    return 0;
}
