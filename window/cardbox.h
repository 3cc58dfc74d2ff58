#pragma once

// The network card box: which card is current at start, and what each entry tells.

#include "diagnosis/networkcard.h"

#include <QString>
#include <QVector>

// The entry to make current at start: the remembered card while it is listed, else the
// first that reaches devices, else the first; -1 for an empty list.
int startCardIndex(const QVector<NetworkCard> &cards, const QString &remembered);
