#pragma once

// The length rule for a device password, for the dialog and the command line alike.

#include <QtGlobal>

inline constexpr int kMinPasswordLength = 6;
inline constexpr int kMaxPasswordLength = 12;

enum class PasswordLength { Ok, TooShort, TooLong };

// Lengths are counted as the toolkit counts a text's length (UTF-16 code units).
inline PasswordLength checkPasswordLength(int length)
{
    if (length < kMinPasswordLength)
        return PasswordLength::TooShort;
    if (length > kMaxPasswordLength)
        return PasswordLength::TooLong;
    return PasswordLength::Ok;
}

// English sources; the dialog translates them in its own context.
inline const char *passwordLengthText(PasswordLength check)
{
    switch (check) {
    case PasswordLength::TooShort:
        return QT_TRANSLATE_NOOP("ORV_Passwd_Window", "Password too short (min 6 chars)");
    case PasswordLength::TooLong:
        return QT_TRANSLATE_NOOP("ORV_Passwd_Window", "Password too long (max 12 chars)");
    case PasswordLength::Ok:
        break;
    }
    return "";
}
