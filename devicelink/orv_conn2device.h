#pragma once

#include "devicelink/linkcore.h"

#include <QEventLoop>
#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>

#include <cjson/cJSON.h>

#include <string>

// The window's connection to the devices: the requests of LinkCore, with the operator told
// of a time-out in a message box, and the search result handed on by a signal. Every call
// blocks until the matching reply has been read or the request has timed out. What else the
// operator is told (why a request could not go out, what may hide the devices, replies the
// system dropped) is the owner's to word: the link only says what happened, through Notices.
class QMessageBox;

class ORV_CONN2DEVICE : public QObject
{
    Q_OBJECT

public:
    explicit ORV_CONN2DEVICE(QObject *parent = nullptr);
    ~ORV_CONN2DEVICE() override;

    void loginDevice(const QString &address, const QString &password, const QString &sn);
    void activateDevice(const QString &address, const QString &password, const QString &sn);
    // Takes the body over: it is freed with the envelope.
    void sendCommand(const QString &address, cJSON *body);

    // The matching reply of the last login, activate or command request, or null.
    // The link keeps ownership.
    cJSON *replyJson() const;

    // True while a request is in flight (its wait loop and time-out box process events), or
    // while a batch holds the link.
    bool isBusy() const;

    // For a batch of changes that runs the link's exchanges itself, step by step
    // (batchrun.h), on the socket and card of the latest search. While the batch
    // holds the link, searches and requests are refused as while one is in flight, so that
    // nothing else binds the port or reads its replies between the batch's steps. hold()
    // is false when a request is in flight or the link is held already.
    LinkCore &linkCore() { return core; }
    bool hold();
    void release();

    // Each is optional; the link calls them on the thread of its caller.
    struct Notices
    {
        // A search or request could not be made (the port taken, the card gone, ...).
        std::function<void(const LinkCore::Status &status)> failed;
        // The time-out box of a search, before it is shown: room for the causes on the card.
        std::function<void(QMessageBox *box, const QString &card)> searchTimedOut;
        // The system dropped replies of the search that just ended.
        std::function<void(qint64 dropped, int receiveBuffer)> repliesDropped;
    };
    void setNotices(const Notices &notices) { this->notices = notices; }

    // Tests ask for a small receive buffer, to see a flood overflow it.
    void setReceiveBufferRequest(int bytes) { core.setReceiveBufferRequest(bytes); }

signals:
    void searchdevice_RespDatas_signals(cJSON *datas);

public slots:
    void search_device(QString selectedText);

private slots:
    void readingLogin();
    void readingSearch();
    void default_timeout();

private:
    // Refuses a request while another is in flight or before any search made a socket.
    bool mayStartRequest(const char *operation);
    void sendAndWait(cJSON *request, void (ORV_CONN2DEVICE::*readingStep)(), bool isSearch);
    void clearReply();
    void showFailure(const LinkCore::Status &status);
    void reportLoss();

    LinkCore core;
    Notices notices;
    QMutex lock;
    QEventLoop waitLoop;
    std::string expectedSyn;
    cJSON *reply = nullptr;
    bool handled = false;
    bool busy = false;
    bool searching = false; // the request in flight is a search
};
