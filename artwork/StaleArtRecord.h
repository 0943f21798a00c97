#pragma once

#include "model/SidecarKeys.h"

#include <QString>

// A box-style or bar-colour record that does not describe the art its mask
// points at: the editor wrote it at edit time and ended before the file was
// saved, or the file was put back by hand. Nothing is drawn from it.
struct StaleArtRecord {
    int page = -1;
    int mask = -1;
    SidecarStore store = SidecarStore::BoxStyles;
    QString key;
    // What the record says: the style id, or the stock item a colour was
    // made from.
    QString recorded;
    // The item the mask points at.
    QString maskItem;
    // The file as last opened or saved draws from it: an edit since stopped
    // using it, and the next save removes it.
    bool savedFileUsesIt = false;

    // "box:<key>" or "bar:<key>".
    static QString storeKey(SidecarStore store, const QString& key)
    {
        return (store == SidecarStore::BoxStyles ? QStringLiteral("box:") : QStringLiteral("bar:")) + key;
    }
    QString storeKey() const { return storeKey(store, key); }
};
