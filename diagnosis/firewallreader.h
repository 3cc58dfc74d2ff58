#pragma once

// The firewall's rules as this system keeps them, read for the doctor: one implementation per
// platform (firewallreader_unix.cpp: nftables, iptables and firewalld; firewallreader_win.cpp:
// Windows Firewall).

#include "diagnosis/networkfacts.h"

// Where the rules drop the search leaving through `card` or the replies arriving on it.
FirewallFacts readFirewall(const QString &card);
