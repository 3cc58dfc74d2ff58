#pragma once

// The system's own tools that the doctor asks (ip, nft, iptables-save, firewall-cmd), each given a
// bounded time: a tool that hangs (a firewall daemon that does not answer) must not hold up the
// doctor or the window's box.

#include <QByteArray>
#include <QString>
#include <QStringList>

inline constexpr int kToolTimeoutMs = 3000;

// The tool's path, also from the sbin folders that a user's PATH often lacks; empty when missing.
QString findTool(const QString &name);

// Runs a tool for at most kToolTimeoutMs; false with the first line of what it said, or why it did
// not finish, when it did not succeed.
bool runTool(const QString &path, const QStringList &arguments, QByteArray *output, QString *error);
