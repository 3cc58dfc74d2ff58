#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

// Beside the single-instance guard: a local socket on which a second start asks the
// running instance to bring its window to the front.
class RaiseChannel : public QObject
{
    Q_OBJECT

public:
    // The socket's name, private to the user; the file lies in the temporary folder.
    static QString defaultName();

    // The running instance: listens while it lives, and raises window at each request.
    RaiseChannel(QWidget *window, const QString &name, QObject *parent = nullptr);
    bool listen(); // false, with a warning, when no request can reach this instance

    // A second start: true once the running instance has answered. It may still be
    // making its window, so the request is tried every retryMs until waitMs have passed.
    static constexpr int waitMs = 2000;
    static constexpr int retryMs = 100;
    static bool askToRaise(const QString &name);

private:
    void serve();

    QWidget *window;
    QString name;
    QLocalServer *server;
};

// Shows the window as it was before it was minimised, over the others, and gives it the focus.
void bringToFront(QWidget *window);
