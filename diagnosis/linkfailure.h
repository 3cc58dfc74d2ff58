#pragma once

// What the operator is told when a request could not be made or got no answer: one
// sentence per failure of the link, with the program that holds the port when it can be
// found. Translated in the "LinkFailure" context (the time-out in the link's own); the
// command line, which installs no translator, prints the English sources.

#include "devicelink/linkcore.h"

#include <QString>

QString linkFailureText(const LinkCore::Status &status);

// The replies the system dropped for want of room in the receive buffer: the number, and the fix.
QString droppedRepliesText(qint64 dropped, int receiveBuffer);
