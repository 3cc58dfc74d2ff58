#pragma once

// The kernel's routing as the doctor needs it, asked of the kernel itself so that policy rules
// count as they do for a datagram: one implementation per platform (routereader_unix.cpp,
// routereader_win.cpp: the route alone, as Windows has no reverse-path filter).

#include "diagnosis/networkfacts.h"

RouteFacts readRoutes(const CardFacts &card);
ReversePathFacts readReversePath(const CardFacts &card);
// The replies that the reverse-path filter has dropped so far, on all cards; -1 when unknown.
qint64 reversePathDropCount();
