#pragma once

#include <QString>
#include <QStringList>

// Where an element's artwork is installed and whether it may be replaced:
// what DashConfig::resolveReplaceableArtwork found for it.
struct ArtworkTarget {
    // PATH_REL_AiM_MASK, trimmed, '/' separators and a trailing '/'.
    QString relPath;
    // The installed folder relPath resolves to (RS3 roots or the local tree).
    QString folder;
    // One folder per RS3 install that holds the item, in root order; a folder
    // reached twice (through a link) is listed once.
    QStringList targetFolders;
    // AiM's own art rather than an item of the homebrew set.
    bool stockArt = false;
    // Labels of the other elements painting with the same folder.
    QStringList sharedWith;
    // PATH_IMAGE_SFONDO_FW is empty: the dash paints nothing for it yet.
    bool noDeviceImage = false;
    // The folder is the editor's own (a coloured bar's): the replacement goes
    // into a folder of its own, and this one and its other users keep theirs.
    bool ownFolder = false;
};
