#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// What DashConfig::exportElementArtwork wrote, for the window's report.
struct ArtworkExportInfo {
    // PATH_REL_AiM_MASK with '/' separators and a trailing '/'.
    QString relFolder;
    // The installed folder it resolved to.
    QString sourceFolder;
    // WIDTH x HEIGHT of the element; invalid when either is missing.
    QSize declaredSize;
    // Size of the image written as mask.png.
    QSize artSize;
    // mask.png was decoded from the device image rather than copied.
    bool decodedFromTgz = false;
    // PATH_IMAGE_SFONDO_FW is empty.
    bool noDeviceArt = false;
    // "mask.png", each copied file, "README.txt", in that order.
    QStringList writtenFiles;
    // Labels of the other elements using the same folder.
    QStringList sharedWith;
};
