#pragma once

#include <QByteArray>
#include <QString>

// A record store's file as it was when the configuration was opened or
// saved, so that Discard can put it back.
struct SavedStore {
    QString path;
    bool existed = false;
    bool unreadable = false;
    QByteArray bytes;
};
