#pragma once

// A batch plan: which device (by serial number) is to get which address.

#include "addressplan.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// Plans larger than this are refused unread: a row per device of the largest search is far less.
inline constexpr qint64 kMaxPlanBytes = 8 * 1024 * 1024;

// Reads UTF-8 CSV rows "sn,new_ip[,password]". A first row whose first cell is "sn" is a
// header; blank lines and lines that start with '#' are skipped; cells may be quoted as
// RFC 4180 says. The serial number and the address lose surrounding blanks, the password
// is kept as written. The addresses are not checked here: a bad one fails only its row.
// False, with the line and the reason, when the file is not such a plan: a quote left
// open, another number of cells, an empty serial number, a serial number or an address
// that is planned twice, or no row at all.
// The reason comes in English, or translated in the "ORV_Window" context (operatortexts.h).
bool parsePlan(const QByteArray &text, QVector<PlanRow> *rows, int *errorLine, QString *error,
               bool translate = false);

// parsePlan() on a file: false, with line 0 and the reason, when it cannot be read or is
// larger than kMaxPlanBytes (read no further, so that a device file cannot stall the caller).
bool readPlanFile(const QString &path, QVector<PlanRow> *rows, int *errorLine, QString *error,
                  bool translate = false);
