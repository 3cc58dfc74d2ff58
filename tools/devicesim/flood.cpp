#include "tools/devicesim/flood.h"

#include "tools/devicesim/simmessage.h"

#include <QRandomGenerator>
#include <QUdpSocket>

#include <cstring>

namespace {

constexpr int kMaxDatagram = 65507; // IPv4 UDP payload limit

} // namespace

FloodSender::FloodSender(const Flood &flood, const QByteArray &syn, const QHostAddress &target, quint16 targetPort)
    : flood(flood), syn(syn), target(target), targetPort(targetPort)
{
    if (flood.kind == Flood::Junk || flood.kind == Flood::Oversized) {
        const int size = flood.size > 0 ? flood.size : flood.kind == Flood::Junk ? 16 : kMaxDatagram;
        junk.resize(size);
        for (char &c : junk)
            c = char(QRandomGenerator::global()->bounded(256));
    }
    if (flood.kind == Flood::Mismatch) {
        if (!this->syn.isEmpty())
            this->syn[0] = this->syn.at(0) == 'Z' ? 'Y' : 'Z';
        mismatch = make(0); // the tool drops them all alike: one is enough, and fast
    }
}

FloodSender::~FloodSender()
{
    requestInterruption();
    wait();
}

void FloodSender::run()
{
    QUdpSocket socket;
    socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    socket.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4 * 1024 * 1024);
    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = flood.seconds > 0 ? qint64(flood.seconds * 1000) : -1;
    QByteArray datagram;
    while (!isInterruptionRequested()) {
        const qint64 n = count.load();
        if ((flood.count > 0 && n >= flood.count) || (limitMs >= 0 && clock.elapsed() >= limitMs))
            break;
        if (flood.rate > 0 && clock.nsecsElapsed() < n * 1000000000 / flood.rate) {
            QThread::usleep(200); // ahead of the rate
            continue;
        }
        if (datagram.isEmpty())
            datagram = flood.kind == Flood::Mismatch && !mismatch.isEmpty() ? mismatch : make(n);
        if (socket.writeDatagram(datagram, target, targetPort) < 0) {
            if (socket.error() == QAbstractSocket::DatagramTooLargeError)
                break;
            QThread::usleep(100); // send buffer full: let the kernel drain it
            continue;
        }
        datagram.clear();
        ++count;
    }
}

QByteArray FloodSender::make(qint64 n)
{
    if (!junk.isEmpty()) {
        // Distinct datagrams, so that nothing on the way can fold repeats together.
        std::memcpy(junk.data(), &n, size_t(qMin(junk.size(), int(sizeof n))));
        return junk;
    }
    SimJson body = simJson(cJSON_CreateObject());
    cJSON *data = body.get(); // the reply takes it over and keeps it alive
    const SimJson reply = SimMessage::reply(syn, std::move(body));
    SimMessage::addText(data, "ip", QStringLiteral("10.%1.%2.%3").arg(1 + n / 62500).arg(n / 250 % 250).arg(1 + n % 250));
    SimMessage::addText(data, "sn", QStringLiteral("FL%1").arg(n + 1, 10, 10, QLatin1Char('0')));
    SimMessage::addText(data, "mac", QStringLiteral("06:00:%1:%2:%3:%4")
                                   .arg((n >> 24) & 0xff, 2, 16, QLatin1Char('0'))
                                   .arg((n >> 16) & 0xff, 2, 16, QLatin1Char('0'))
                                   .arg((n >> 8) & 0xff, 2, 16, QLatin1Char('0'))
                                   .arg(n & 0xff, 2, 16, QLatin1Char('0'))
                                   .toUpper());
    cJSON_AddStringToObject(data, "model", "IPC-2120");
    cJSON_AddStringToObject(data, "baseModel", "IPC21");
    cJSON_AddStringToObject(data, "Active_state", "active");
    cJSON_AddStringToObject(data, "V", "6.0.231024");
    if (flood.size > 0) {
        // Base64 makes 4 characters of 3 bytes, and CR LF ends the datagram.
        const int room = (qMin(flood.size, kMaxDatagram) - 2) / 4 * 3;
        const int padding = room - SimMessage::print(reply.get()).size() - int(sizeof ",\"padding\":\"\"" - 1);
        if (padding > 0)
            SimMessage::addText(data, "padding", QString(padding, QLatin1Char('x')));
    }
    return SimMessage::write(reply.get());
}
