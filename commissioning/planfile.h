#pragma once

// A batch plan: which device (by serial number) is to get which address.

#include "commissioning/addressplan.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// The columns of a plan, in their order: "sn", "new_ip", "password"; the first two are the
// header of a plan that gives no passwords.
const QStringList &planColumns();

// A plan holds at most this many bytes; larger input (a device file, a log) is refused
// before it fills the memory.
inline constexpr int kMaxPlanBytes = 1024 * 1024;

// Reads UTF-8 CSV rows "sn,new_ip[,password]". A first row that names any of these columns
// is a header and must name them in this order (any letter case), so that a password never
// lands in the address column. Blank lines and lines that start with '#' are skipped; cells
// may be quoted as RFC 4180 says. A serial number or an address that is not quoted loses
// surrounding blanks, and a serial number loses the single quote that guards it against
// spreadsheets (csvField() wrote it), quoted or not; quoted cells and the password keep their
// blanks.
// So a plan that csvField() wrote reads back whatever its serial numbers. An address made of
// digits and dots is checked later and fails only its row.
// False, with the line (0 for the whole plan) and the reason, when the text is not such a
// plan: larger than kMaxPlanBytes, not text (a NUL byte, invalid UTF-8), a quote left open,
// another number of cells, an empty serial number, an address cell that is not digits and
// dots, a serial number or an address planned twice, or no row at all. No reason quotes a
// password or an address cell. The reason comes in English, or translated in the
// "ORV_Window" context (operatortexts.h).
bool parsePlan(const QByteArray &text, QVector<PlanRow> *rows, int *errorLine, QString *error,
               bool translate = false);

// The passwords of devices, by serial number, for undo: a plan with its password column
// (sn,new_ip,password, read as parsePlan() reads it; rows without a password give none) or
// rows sn,password under that header (the header is needed: without it two cells are read as
// sn,new_ip). The same limits and reasons as parsePlan(); also refused: a serial number named
// twice, and a file that gives no password at all.
bool parsePasswords(const QByteArray &text, QHash<QString, QString> *passwords, int *errorLine, QString *error,
                    bool translate = false);

// parsePlan() on a file: false, with line 0 and the reason, when it cannot be read; no more
// than kMaxPlanBytes + 1 bytes are read, so that a huge or endless file cannot fill the memory.
bool readPlanFile(const QString &path, QVector<PlanRow> *rows, int *errorLine, QString *error,
                  bool translate = false);
