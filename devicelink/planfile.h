#pragma once

// A batch plan: which device (by serial number) is to get which address.

#include "addressplan.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// Reads UTF-8 CSV rows "sn,new_ip[,password]". A first row whose first cell is "sn" is a
// header; blank lines and lines that start with '#' are skipped; cells may be quoted as
// RFC 4180 says. The serial number and the address lose surrounding blanks, the password
// is kept as written. The addresses are not checked here: a bad one fails only its row.
// False, with the line and the reason, when the file is not such a plan: a quote left
// open, another number of cells, an empty serial number, a serial number or an address
// that is planned twice, or no row at all.
bool parsePlan(const QByteArray &text, QVector<PlanRow> *rows, int *errorLine, QString *error);
