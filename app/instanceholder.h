#pragma once

#include <QString>

// Who holds the marker of the running instance: the owner of the shared-memory segment behind
// the marker's file (QSharedMemory::nativeKey()), as the system tells it. The instance keys are
// the same for every user of the computer, so the instance may well be another user's. One
// source file per system (instanceholder_unix.cpp, instanceholder_win.cpp: the marker's owner
// where Windows lets it be read; a user's own number is a hash of its security identifier).
struct InstanceHolder
{
    bool known = false;    // false: no such segment, or the system does not tell
    uint uid = 0;
    QString user;          // the login name, or the number when it has none
    bool attached = false; // false: left behind by an instance that ended without releasing it
    int segment = -1;      // the segment's identifier, as ipcrm takes it (Linux)
};

InstanceHolder instanceHolder(const QString &markerFile);
uint currentUserId();

// What a start that cannot be the one instance tells the operator: empty when the holder is this
// user (whose instance is asked to bring its window to the front) or cannot be read.
QString otherUserNotice(const InstanceHolder &holder, uint ownUid);

// What a second start says when the running instance did not answer its request to come to the
// front and the system could not say that it is this user's: empty to end without a word.
QString unansweredRaiseNotice();
