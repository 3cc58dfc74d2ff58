#pragma once

#include "devicelink/linkcore.h"

#include <QEventLoop>
#include <QMutex>
#include <QObject>
#include <QString>

#include <cjson/cJSON.h>

#include <functional>
#include <memory>
#include <string>

class QMessageBox;

// The window's connection to the devices: the requests of LinkCore, with the operator told
// of a time-out in a message box, and the search result handed on by a signal. Every call
// blocks until the matching reply has been read or the request has timed out. What else the
// operator is told (why a request could not go out, what may hide the devices, replies the
// system dropped) is the owner's to word: the link only says what happened, through Notices.
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
    // while the core is lent.
    bool isBusy() const;
    // The network card of the latest search; empty while the core is lent.
    QString card() const;

    // For a batch of changes that runs on a thread of its own: the link lends its core, with
    // the socket and card of the latest search, and refuses every search and request until
    // it has it back, as while one is in flight, so that nothing else binds the port or reads
    // its replies meanwhile. Null while a request is in flight or the core is out.
    std::unique_ptr<LinkCore> lendCore();
    // The core must live in the link's thread again (LinkCore::moveToThread). The link takes
    // replies in its own rhythm again, at the end of each poll step.
    void takeBack(std::unique_ptr<LinkCore> lent);

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
    void setReceiveBufferRequest(int bytes);

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

    std::unique_ptr<LinkCore> core;
    Notices notices;
    QMutex lock;
    QEventLoop waitLoop;
    std::string expectedSyn;
    cJSON *reply = nullptr;
    bool handled = false;
    bool busy = false;
    bool searching = false; // the request in flight is a search
};
