#pragma once

// The flood of one simulator run: unwanted traffic towards the tool, as a hostile or noisy
// network sends it, from a thread of its own so that the devices keep answering meanwhile.

#include "tools/devicesim/devicesim.h"

#include <QThread>

#include <atomic>

class FloodSender : public QThread
{
public:
    using Flood = DeviceSimulator::Options::Flood;

    FloodSender(const Flood &flood, const QByteArray &syn, const QHostAddress &target, quint16 targetPort);
    ~FloodSender() override;

    qint64 sent() const { return count.load(); }

protected:
    void run() override;

private:
    QByteArray make(qint64 n); // datagram number n

    const Flood flood;
    QByteArray syn;
    const QHostAddress target;
    const quint16 targetPort;
    QByteArray junk;
    QByteArray mismatch;
    std::atomic<qint64> count{0};
};
