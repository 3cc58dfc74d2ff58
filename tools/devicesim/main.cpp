// devicesim: plays a fleet of devices on the local network for tests, demos and benchmarks.

#include "tools/devicesim/devicesim.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopSignal(int)
{
    stopRequested = 1;
}

const char kDescription[] =
    "Plays a fleet of devices that answer the device protocol: it listens on the multicast\n"
    "group 239.0.0.100, UDP port 10086, joined on the interface that has the --interface\n"
    "address, answers \"search\" from every device and \"login\", \"activate\" and \"netcfg\"\n"
    "only from the device whose \"sn\" matches. Replies go to the sender's address and port\n"
    "unless --reply-to-group is given. A device that accepts \"netcfg\" takes the new address\n"
    "and stays silent for --restart-ms. Stops on SIGINT or SIGTERM, or after --max-seconds.\n"
    "\n"
    "The fleet comes from --fleet or --count (default 10 devices). --count N makes N devices\n"
    "with distinct addresses (192.168.x.y), serials (SN00000001, ...) and MACs; every fourth\n"
    "is not yet active, the others have the password \"admin123\"; firmware versions lie on\n"
    "both sides of 6.0.231024 and include 6.0.240514 and 6.0.240630.\n"
    "\n"
    "Fleet file (--fleet): {\"devices\": [ DEVICE, ... ]} or just [ DEVICE, ... ], where\n"
    "DEVICE is an object with\n"
    "  \"ip\", \"sn\"          strings, required\n"
    "  \"mac\", \"model\", \"baseModel\", \"V\"   strings reported in the search reply\n"
    "  \"password\"          string; empty or absent: not yet activated\n"
    "  \"active\"            the \"Active_state\" it reports (default \"active\" with a\n"
    "                      password, \"inactive\" without)\n"
    "  \"fault\"             one of the fault modes below (default \"none\")\n"
    "  \"delayMs\"           every reply is sent this many milliseconds late\n"
    "  \"overrides\"         {\"search\"|\"login\"|\"activate\"|\"netcfg\": {\"data\": VALUE} or\n"
    "                      {\"noData\": true} or {\"noReply\": true}}: answer with that \"data\",\n"
    "                      without \"data\", or not at all; the device's state stays as it is\n"
    "Example: {\"devices\": [{\"ip\": \"192.168.1.20\", \"sn\": \"SN00000020\", \"password\":\n"
    "\"secret1\", \"V\": \"6.0.231024\", \"fault\": \"wrong-syn\", \"delayMs\": 300}]}\n"
    "\n"
    "Fault modes (N is the 1-based position of a device in the fleet):\n"
    "  none               answers properly\n"
    "  no-reply           never answers\n"
    "  wrong-syn          answers with a tag that is not the request's\n"
    "  garbage            answers with bytes that are not base64 of anything\n"
    "  other-key          enciphers its answers under another key\n"
    "  missing-fields     search answer without \"baseModel\", \"Active_state\", \"V\"\n"
    "  non-string-fields  search answer with numbers where strings belong\n"
    "  upper-case         member names in capitals (\"SYN\", \"DATA\", \"IP\", ...)\n"
    "  oversized          search answer padded to about 60 KB\n"
    "  keeps-address      answers \"ok\" to \"netcfg\" but keeps its address and does not restart\n"
    "\n"
    "Hosts (--host ADDR, repeatable): machines on the LAN that are not devices, for the\n"
    "checks that probe a new address before it is given. Each accepts TCP connections on port\n"
    "80 of ADDR (and closes them at once) and answers no device request. ADDR must be an\n"
    "address of this network namespace; tests add it to the loopback interface first:\n"
    "  ip addr add 192.168.1.77/32 dev lo\n"
    "  devicesim --count 5 --host 192.168.1.77\n"
    "\n"
    "Floods (--flood KIND): unwanted traffic towards the tool, as a hostile or noisy network\n"
    "sends it. It starts when the first request of the --flood-on kind arrives, goes to that\n"
    "request's sender address and port (the tool's socket) from a thread of its own, so the\n"
    "devices keep answering meanwhile, and runs once per start of the simulator until\n"
    "--flood-count datagrams were sent or --flood-seconds passed (or until the simulator stops).\n"
    "  junk       random bytes, --flood-size per datagram (default 16)\n"
    "  oversized  random bytes, --flood-size per datagram (default 65507, the UDP limit)\n"
    "  forged     valid search replies carrying the request's tag, each from a device of its\n"
    "             own (10.x.y.z, serial FL0000000001, ..., MAC 06:00:...); with --flood-size\n"
    "             each is padded up to that many bytes\n"
    "  mismatch   one such reply over and over, with a tag that is not the request's\n"
    "Example: 40,000 forged replies at 10,000 a second to the next search:\n"
    "  devicesim --count 5 --flood forged --flood-on search --flood-count 40000 --flood-rate 10000";

// Flood kinds as the command line writes them.
const struct
{
    const char *name;
    DeviceSimulator::Options::Flood::Kind kind;
} kFloodKinds[] = {
    {"junk", DeviceSimulator::Options::Flood::Junk},
    {"oversized", DeviceSimulator::Options::Flood::Oversized},
    {"forged", DeviceSimulator::Options::Flood::Forged},
    {"mismatch", DeviceSimulator::Options::Flood::Mismatch},
};

bool parseIndexed(const QString &text, int fleetSize, int *index, QString *value, QString *error)
{
    const int equals = text.indexOf(QLatin1Char('='));
    bool ok = false;
    const int n = text.left(equals).toInt(&ok);
    if (equals < 0 || !ok || n < 1 || n > fleetSize) {
        *error = QStringLiteral("\"%1\": expected N=VALUE with N from 1 to %2").arg(text).arg(fleetSize);
        return false;
    }
    *index = n - 1;
    *value = text.mid(equals + 1);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("devicesim"));
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    const QCommandLineOption interfaceOption(
        QStringLiteral("interface"), QStringLiteral("Join the group on the interface that has address ADDR (default 127.0.0.1)."),
        QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption countOption(QStringLiteral("count"), QStringLiteral("Play N generated devices (default 10)."),
                                         QStringLiteral("N"), QStringLiteral("10"));
    const QCommandLineOption fleetOption(QStringLiteral("fleet"), QStringLiteral("Play the devices of this JSON file (format above)."),
                                         QStringLiteral("FILE.json"));
    const QCommandLineOption groupOption(QStringLiteral("reply-to-group"),
                                         QStringLiteral("Send replies to 239.0.0.100:10088 instead of to the sender."));
    const QCommandLineOption restartOption(QStringLiteral("restart-ms"),
                                           QStringLiteral("Silence of a device after an accepted \"netcfg\" (default 3000)."),
                                           QStringLiteral("MS"), QStringLiteral("3000"));
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Append every decoded request to FILE, one JSON line each."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption maxSecondsOption(QStringLiteral("max-seconds"),
                                              QStringLiteral("Stop after S seconds (default: run until SIGINT/SIGTERM)."),
                                              QStringLiteral("S"));
    const QCommandLineOption faultOption(QStringLiteral("fault"),
                                         QStringLiteral("Give device N a fault mode (list above); repeatable."),
                                         QStringLiteral("N=MODE"));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
                                         QStringLiteral("Device N sends every reply MS milliseconds late; repeatable."),
                                         QStringLiteral("N=MS"));
    const QCommandLineOption duplicateOption(QStringLiteral("duplicate-address"),
                                             QStringLiteral("Device N reports the address of device N-1; repeatable."),
                                             QStringLiteral("N"));
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("Play a host that is not a device at ADDR (above); repeatable."),
                                        QStringLiteral("ADDR"));
    const QCommandLineOption floodOption(QStringLiteral("flood"),
                                         QStringLiteral("Flood the tool: junk, oversized, forged or mismatch (above)."),
                                         QStringLiteral("KIND"));
    const QCommandLineOption floodOnOption(
        QStringLiteral("flood-on"),
        QStringLiteral("Start the flood at the first search, login, activate, netcfg or any request (default any)."),
        QStringLiteral("REQUEST"), QStringLiteral("any"));
    const QCommandLineOption floodSizeOption(QStringLiteral("flood-size"),
                                             QStringLiteral("Bytes per flood datagram, at most 65507 (default above)."),
                                             QStringLiteral("BYTES"), QStringLiteral("0"));
    const QCommandLineOption floodRateOption(QStringLiteral("flood-rate"),
                                             QStringLiteral("Flood datagrams per second; 0: as fast as possible (default)."),
                                             QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption floodCountOption(QStringLiteral("flood-count"),
                                              QStringLiteral("Stop the flood after N datagrams (default: no limit)."),
                                              QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption floodSecondsOption(QStringLiteral("flood-seconds"),
                                                QStringLiteral("Stop the flood after S seconds (default: no limit)."),
                                                QStringLiteral("S"), QStringLiteral("0"));
    parser.addOptions({interfaceOption, countOption, fleetOption, groupOption, restartOption, logOption,
                       maxSecondsOption, faultOption, delayOption, duplicateOption, hostOption, floodOption, floodOnOption,
                       floodSizeOption, floodRateOption, floodCountOption, floodSecondsOption});
    parser.process(app);

    auto usageError = [&err](const QString &message) {
        err << "devicesim: " << message << "\n";
        err.flush();
        return 2;
    };

    DeviceSimulator::Options options;
    if (!options.interfaceAddress.setAddress(parser.value(interfaceOption)))
        return usageError(QStringLiteral("--interface: not an address: %1").arg(parser.value(interfaceOption)));
    options.replyToGroup = parser.isSet(groupOption);
    bool ok = false;
    options.restartMs = parser.value(restartOption).toInt(&ok);
    if (!ok || options.restartMs < 0)
        return usageError(QStringLiteral("--restart-ms: expected milliseconds"));
    options.requestLogPath = parser.value(logOption);
    for (const QString &text : parser.values(hostOption)) {
        QHostAddress host;
        if (!host.setAddress(text) || host.protocol() != QAbstractSocket::IPv4Protocol)
            return usageError(QStringLiteral("--host: not an IPv4 address: %1").arg(text));
        options.hosts.append(host);
    }

    DeviceSimulator::Options::Flood &flood = options.flood;
    if (parser.isSet(floodOption)) {
        for (const auto &entry : kFloodKinds) {
            if (parser.value(floodOption) == QLatin1String(entry.name))
                flood.kind = entry.kind;
        }
        if (flood.kind == DeviceSimulator::Options::Flood::None)
            return usageError(QStringLiteral("--flood: expected junk, oversized, forged or mismatch"));
    }
    flood.on = parser.value(floodOnOption);
    if (flood.on == QLatin1String("any"))
        flood.on.clear();
    else if (!QStringList({"search", "login", "activate", "netcfg"}).contains(flood.on))
        return usageError(QStringLiteral("--flood-on: expected search, login, activate, netcfg or any"));
    flood.size = parser.value(floodSizeOption).toInt(&ok);
    if (!ok || flood.size < 0 || flood.size > 65507)
        return usageError(QStringLiteral("--flood-size: expected bytes, at most 65507"));
    flood.rate = parser.value(floodRateOption).toInt(&ok);
    if (!ok || flood.rate < 0)
        return usageError(QStringLiteral("--flood-rate: expected datagrams per second"));
    flood.count = parser.value(floodCountOption).toLongLong(&ok);
    if (!ok || flood.count < 0)
        return usageError(QStringLiteral("--flood-count: expected a number of datagrams"));
    flood.seconds = parser.value(floodSecondsOption).toDouble(&ok);
    if (!ok || flood.seconds < 0)
        return usageError(QStringLiteral("--flood-seconds: expected seconds"));

    QVector<SimDevice> fleet;
    if (parser.isSet(fleetOption)) {
        QString error;
        if (!DeviceSimulator::loadFleet(parser.value(fleetOption), &fleet, &error))
            return usageError(error);
    } else {
        const int count = parser.value(countOption).toInt(&ok);
        if (!ok || count < 0)
            return usageError(QStringLiteral("--count: expected a number of devices"));
        fleet = DeviceSimulator::makeFleet(count);
    }

    QString error;
    int index = 0;
    QString value;
    for (const QString &text : parser.values(faultOption)) {
        if (!parseIndexed(text, fleet.size(), &index, &value, &error))
            return usageError(QStringLiteral("--fault ") + error);
        if (!SimDevice::faultFromName(value, &fleet[index].fault))
            return usageError(QStringLiteral("--fault: unknown mode \"%1\" (known: %2)")
                                  .arg(value, SimDevice::faultNames().join(QLatin1String(", "))));
    }
    for (const QString &text : parser.values(delayOption)) {
        if (!parseIndexed(text, fleet.size(), &index, &value, &error))
            return usageError(QStringLiteral("--delay ") + error);
        fleet[index].replyDelayMs = value.toInt(&ok);
        if (!ok || fleet[index].replyDelayMs < 0)
            return usageError(QStringLiteral("--delay: expected milliseconds in \"%1\"").arg(text));
    }
    for (const QString &text : parser.values(duplicateOption)) {
        const int n = text.toInt(&ok);
        if (!ok || n < 2 || n > fleet.size())
            return usageError(QStringLiteral("--duplicate-address: expected N from 2 to %1").arg(fleet.size()));
        fleet[n - 1].ip = fleet[n - 2].ip;
    }

    DeviceSimulator simulator(options, fleet);
    if (!simulator.start(&error))
        return usageError(error);

    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    QTimer signalPoll;
    QObject::connect(&signalPoll, &QTimer::timeout, &app, [] {
        if (stopRequested)
            QCoreApplication::quit();
    });
    signalPoll.start(50);
    if (parser.isSet(maxSecondsOption)) {
        const double seconds = parser.value(maxSecondsOption).toDouble(&ok);
        if (!ok || seconds <= 0)
            return usageError(QStringLiteral("--max-seconds: expected a positive number"));
        QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    }

    QTextStream out(stdout);
    out << "devicesim: " << fleet.size() << " devices listening on 239.0.0.100:10086 via "
        << options.interfaceAddress.toString() << "\n";
    for (const QHostAddress &host : qAsConst(options.hosts))
        out << "devicesim: host " << host.toString() << " listening on TCP port 80\n";
    out.flush();

    const int result = app.exec();
    const DeviceSimulator::Stats stats = simulator.stats();
    if (flood.kind != DeviceSimulator::Options::Flood::None)
        out << "devicesim: flood " << parser.value(floodOption) << ": " << stats.floodDatagrams << " datagrams sent\n";
    out << "devicesim: stopped; " << stats.requests << " requests, " << stats.replies << " replies, "
        << stats.searchReplies << " search replies";
    if (!options.hosts.isEmpty())
        out << ", " << stats.hostConnections << " connections to the hosts";
    out << "\n";
    out.flush();
    return result;
}
