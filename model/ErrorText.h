#pragma once

#include <QString>

// Hands a failure's text to the caller's error, when it asked for one, and
// returns false so a failing path can end with it.
inline bool failWith(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}
