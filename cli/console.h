#pragma once

// What every command of tarnvale-cli works with beside its own options: the checked output
// streams, the options that go with every command (--interface, --strict), the card it
// chose, and the search that most commands begin with.

#include "cli/exitstatus.h"
#include "cli/output.h"
#include "devicelink/linkcore.h"

#include <QString>

#include <cstdio>

struct PasswordSource;

class Console
{
public:
    Console(FILE *out, FILE *err);

    OutputStream out;
    OutputStream err;
    FILE *outFile;
    FILE *errFile;
    QString requestedCard; // --interface; empty: defaultCardName()
    bool strict = false;   // --strict: what is otherwise a warning is an error
    QString card;          // chooseCard()'s
    bool repliesDropped = false;

    // "tarnvale-cli: " and the line on standard error; returns the status.
    int fail(ExitStatus status, const QString &line);
    int fail(const Outcome &outcome) { return fail(outcome.status, outcome.text); }
    void warn(const QString &line);

    // The named card, or the default one: 0, or 3 with the reason told.
    int chooseCard();
    // The link as the command line uses it: replies taken at once, the port bound alone.
    static void configure(LinkCore &link);
    // One search on the chosen card: 0, or the status of its failure (told). Replies that the
    // system dropped are warned about, and noted in repliesDropped.
    int search(LinkCore &link, LinkCore::Result *result);
    // The password for the roads, wherever it comes from, within the dialog's length rule:
    // 0, or the status with the reason told.
    int readPassword(const PasswordSource &source, QString *password);

    // The status to exit with: the first failed write turns any status but 11 into 12, said once.
    int finish(int status, bool closingOut);
};
