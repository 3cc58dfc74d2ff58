#include "cli/doctorcommand.h"

#include "cli/console.h"
#include "cli/deviceoutput.h"
#include "cli/exitstatus.h"
#include "devicelink/linkcore.h"
#include "diagnosis/doctor.h"
#include "diagnosis/linkfailure.h"
#include "diagnosis/routereader.h"

#include <cerrno>
#include <cstring>

namespace {

// 0, or the error number when the line did not reach the stream (a full disk, a closed pipe).
int printLine(FILE *stream, const DoctorFinding &finding)
{
    const QByteArray bytes = (printable(finding.line()) + QLatin1Char('\n')).toUtf8();
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) == std::size_t(bytes.size())
        && std::fflush(stream) == 0)
        return 0;
    return errno ? errno : EIO;
}

int writeFailed(FILE *err, int error)
{
    std::fprintf(err, "tarnvale-cli: the findings could not be written: %s\n", std::strerror(error));
    std::fflush(err);
    return ExitOutput;
}

} // namespace

DoctorCommand::DoctorCommand()
    : Command(QStringLiteral("doctor"), {},
              QStringLiteral("Checks the usual causes of an empty list, one line each (the card, the route to the "
                             "group, the port, the firewall, reverse-path filtering, Wi-Fi, a virtual machine's NAT), "
                             "then makes one search and counts the devices; 14 when a check found a problem."),
              {})
{
}

int DoctorCommand::execute(Console &console)
{
    // Before a card is chosen: a card that does not exist is one of its findings.
    console.out.finish(false);
    return runDoctor(console.requestedCard, console.outFile, console.errFile);
}

int runDoctor(const QString &interfaceName, FILE *out, FILE *err)
{
    NetworkFacts facts = gatherFacts(interfaceName);
    DoctorFinding search = searchFinding(facts.card.name, -1);
    if (cardUsable(facts.card)) {
        // Replies that reverse-path filtering drops leave no other trace than this count.
        const qint64 rpDropsBefore = reversePathDropCount();
        LinkCore link;
        link.setPortSharing(LinkCore::PortSharing::Exclusive); // as the other commands bind it
        const LinkCore::Result result = link.search(facts.card.name);
        const qint64 rpDropsAfter = reversePathDropCount();
        if (rpDropsBefore >= 0 && rpDropsAfter >= 0)
            facts.reversePath.droppedDuringSearch = rpDropsAfter - rpDropsBefore;
        if (result.status.ok())
            search = searchFinding(facts.card.name, cJSON_GetArraySize(result.json.get()));
        else if (result.status.error == LinkCore::Error::Timeout)
            search = searchFinding(facts.card.name, 0);
        else
            search = searchFinding(facts.card.name, -1, linkFailureText(result.status));
    }
    QVector<DoctorFinding> findings = diagnose(facts);
    findings << search;
    for (const DoctorFinding &finding : findings) {
        if (const int error = printLine(out, finding))
            return writeFailed(err, error);
    }
    const bool wrong = std::any_of(findings.cbegin(), findings.cend(),
                                   [](const DoctorFinding &f) { return f.level == DoctorFinding::Level::Problem; });
    return wrong ? ExitDoctorFinding : ExitOk;
}
