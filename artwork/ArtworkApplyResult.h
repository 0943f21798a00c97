#pragma once

#include "artwork/ArtworkBackup.h"

#include <QList>
#include <QSize>
#include <QString>

// What checking and writing a replacement artwork found and did
// (DashConfig::validateReplacementArt, then DashConfig::applyArtwork).
struct ArtworkApplyResult {
    // The element's WIDTH x HEIGHT.
    QSize declaredSize;
    // The size of mask.png in the source folder.
    QSize artSize;
    bool sizeMismatch = false;
    // Set by applyArtwork: the target's relPath, the number of files written
    // into each folder (mask.png, mask.tgz and the extras) and one backup per
    // folder in write order, which undo hands to restoreArtworkBackup.
    QString relPath;
    int filesPerFolder = 0;
    QList<ArtworkBackup> backups;
};
