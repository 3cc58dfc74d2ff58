#include "devicelink/orv_conn2device.h"

#include "devicelink/devicemessages.h"

#include <QDebug>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QTimer>
#include <QUdpSocket>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr int kTimerPeriodMs = 200;
const char kMaskedPassword[] = "******";

// Members whose value is a password; matched without regard to case, like every
// member lookup of the protocol.
bool isPasswordMember(const char *name)
{
    return name && (qstricmp(name, "password") == 0 || qstricmp(name, "passwd") == 0);
}

void maskPasswords(cJSON *item)
{
    cJSON *child = item ? item->child : nullptr;
    while (child) {
        cJSON *next = child->next;
        if (isPasswordMember(child->string)) {
            cJSON *masked = cJSON_CreateString(kMaskedPassword);
            const size_t nameSize = std::strlen(child->string) + 1;
            masked->string = static_cast<char *>(cJSON_malloc(nameSize));
            std::memcpy(masked->string, child->string, nameSize);
            cJSON_ReplaceItemViaPointer(item, child, masked);
        } else {
            maskPasswords(child);
        }
        child = next;
    }
}

} // namespace

ORV_CONN2DEVICE::ORV_CONN2DEVICE(QObject *parent) : QObject(parent), core(std::make_unique<LinkCore>())
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}

ORV_CONN2DEVICE::~ORV_CONN2DEVICE()
{
    cJSON_Delete(reply);
}

void ORV_CONN2DEVICE::loginDevice(const QString &address, const QString &password, const QString &sn)
{
    if (!mayStartRequest("loginDevice"))
        return;
    QScopedValueRollback<bool> scope(busy, true);
    // Quoted: the serial number comes from the network.
    qDebug().nospace() << "send_address:" << address << ",passwd:" << kMaskedPassword << ",sn:" << sn;
    handled = false;
    JsonPtr request = makeJsonPtr(
        makeRequest(makeLoginBody(password.toUtf8().constData(), sn.toUtf8().constData()), expectedSyn));
    sendAndWait(request.get(), &ORV_CONN2DEVICE::readingLogin, false);
}

void ORV_CONN2DEVICE::activateDevice(const QString &, const QString &password, const QString &sn)
{
    if (!mayStartRequest("activateDevice"))
        return;
    QScopedValueRollback<bool> scope(busy, true);
    handled = false;
    JsonPtr request = makeJsonPtr(
        makeRequest(makeActivateBody(password.toUtf8().constData(), sn.toUtf8().constData()), expectedSyn));
    sendAndWait(request.get(), &ORV_CONN2DEVICE::readingLogin, false);
}

void ORV_CONN2DEVICE::sendCommand(const QString &, cJSON *body)
{
    JsonPtr ownedBody = makeJsonPtr(body);
    if (!mayStartRequest("sendCommand"))
        return;
    QScopedValueRollback<bool> scope(busy, true);
    handled = false;
    JsonPtr request = makeJsonPtr(makeRequest(ownedBody.release(), expectedSyn));
    {
        JsonPtr printable = makeJsonPtr(cJSON_Duplicate(request.get(), true));
        maskPasswords(printable.get());
        if (char *text = cJSON_Print(printable.get())) {
            qDebug("%s", text);
            cJSON_free(text);
        }
    }
    sendAndWait(request.get(), &ORV_CONN2DEVICE::readingLogin, false);
}

cJSON *ORV_CONN2DEVICE::replyJson() const
{
    return reply;
}

bool ORV_CONN2DEVICE::isBusy() const
{
    return busy || !core;
}

QString ORV_CONN2DEVICE::card() const
{
    return core ? core->card() : QString();
}

std::unique_ptr<LinkCore> ORV_CONN2DEVICE::lendCore()
{
    if (busy)
        return nullptr;
    return std::move(core);
}

void ORV_CONN2DEVICE::takeBack(std::unique_ptr<LinkCore> lent)
{
    core = std::move(lent);
    if (core)
        core->setReplyTiming(LinkCore::ReplyTiming::AtStepEnd);
}

void ORV_CONN2DEVICE::setReceiveBufferRequest(int bytes)
{
    if (core)
        core->setReceiveBufferRequest(bytes);
}

void ORV_CONN2DEVICE::search_device(QString selectedText)
{
    if (isBusy()) {
        qWarning("search_device: a request is still in flight, search ignored");
        return;
    }
    QScopedValueRollback<bool> scope(busy, true);

    if (!core->open(selectedText)) {
        qWarning().noquote() << "search_device: no search made, error" << int(core->status().error)
                             << core->status().card << core->status().socketText;
        showFailure(core->status());
        return;
    }
    handled = false;
    JsonPtr request = makeJsonPtr(makeRequest(makeSearchBody(), expectedSyn));
    sendAndWait(request.get(), &ORV_CONN2DEVICE::readingSearch, true);
    reportLoss();
}

void ORV_CONN2DEVICE::readingLogin()
{
    if (!lock.tryLock())
        return;
    if (handled) {
        lock.unlock();
        return;
    }

    JsonPtr matched = core->pollReply(expectedSyn);
    cJSON_Delete(reply);
    reply = matched.release();
    handled = true;
    lock.unlock();
}

void ORV_CONN2DEVICE::readingSearch()
{
    if (!lock.tryLock())
        return;
    if (handled) {
        lock.unlock();
        return;
    }

    // Inside the gathering the socket may announce readyRead again; the lock held here
    // makes that nested reading step return at once.
    DeviceArrayBuilder builder(expectedSyn, [](const char *line) { qDebug("%s", line); });
    core->gather(builder);
    emit searchdevice_RespDatas_signals(builder.array());

    handled = true;
    lock.unlock();
}

void ORV_CONN2DEVICE::default_timeout()
{
    if (!lock.tryLock())
        return;
    if (waitLoop.isRunning()) {
        clearReply();
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), tr("Timeout,Please try again!"),
                        QMessageBox::Ok);
        if (searching && notices.searchTimedOut)
            notices.searchTimedOut(&box, core->card());
        box.exec();
        waitLoop.quit();
    }
    lock.unlock();
}

bool ORV_CONN2DEVICE::mayStartRequest(const char *operation)
{
    // The caller must not mistake an earlier request's reply for its own.
    if (isBusy()) {
        qWarning("%s: a request is still in flight, request ignored", operation);
        clearReply();
        return false;
    }
    if (!core->socket()) {
        qWarning("%s: no search has run yet, request ignored", operation);
        clearReply();
        return false;
    }
    return true;
}

void ORV_CONN2DEVICE::sendAndWait(cJSON *request, void (ORV_CONN2DEVICE::*readingStep)(), bool isSearch)
{
    if (!core->send(request)) {
        // No request went out, so no reply can come, not even the previous one.
        clearReply();
        if (core->status().error == LinkCore::Error::SendFailed) {
            qWarning().noquote() << "send failed:" << core->status().socketText;
            showFailure(core->status());
        }
        return;
    }
    if (isSearch)
        qDebug().noquote() << "socket_udp.info:" + core->socket()->errorString();
    QScopedValueRollback<bool> searchScope(searching, isSearch);

    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &ORV_CONN2DEVICE::default_timeout);
    const QMetaObject::Connection readConnection =
        connect(core->socket(), &QUdpSocket::readyRead, this, readingStep);

    if (core->awaitDatagram()) {
        // Usually the socket has already run the step while waiting; then this returns at once.
        (this->*readingStep)();
    } else {
        timer.start(kTimerPeriodMs);
        waitLoop.exec();
    }
    disconnect(readConnection);
}

void ORV_CONN2DEVICE::clearReply()
{
    cJSON_Delete(reply);
    reply = nullptr;
}

void ORV_CONN2DEVICE::showFailure(const LinkCore::Status &status)
{
    if (notices.failed)
        notices.failed(status);
}

void ORV_CONN2DEVICE::reportLoss()
{
    const qint64 dropped = core->droppedDatagrams();
    if (dropped <= 0)
        return;
    qWarning("search_device: the system dropped %lld replies, its receive buffer of %d bytes being full",
             dropped, core->receiveBufferGranted());
    if (notices.repliesDropped)
        notices.repliesDropped(dropped, core->receiveBufferGranted());
}
