#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

class QWidget;

// Closes the modal message boxes that the code under test raises and records each one
// (icon, title, text, parent, when it was seen). Start it before the action: it polls
// for the active modal box, also from inside nested event loops, and presses OK.
class MessageBoxCloser : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QPointer<QWidget> parent;
        bool hadParent = false;
        qint64 seenAtMs = 0; // QDateTime::currentMSecsSinceEpoch() when first seen
    };

    explicit MessageBoxCloser(QObject *parent = nullptr);

    void start();
    void stop();
    void clear() { seen.clear(); }

    const QVector<Box> &boxes() const { return seen; }
    int count() const { return seen.size(); }
    Box last() const { return seen.isEmpty() ? Box() : seen.last(); }

private:
    void poll();

    QTimer timer;
    QVector<Box> seen;
};
