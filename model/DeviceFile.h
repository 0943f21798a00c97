#pragma once

#include "model/FileStamp.h"

#include <QString>
#include <pugixml.hpp>

// One "overlay.ov3.xml" of the archive with its parsed document.
struct DeviceFile {
    QString filePath;
    pugi::xml_document doc;
    int dimX = 0;
    int dimY = 0;
    QString overlayFolder;
    unsigned int dashNumber = 0;
    bool hasDashNumber = false;
    int pageCount = 0;
    bool dirty = false;
    // The file as the editor last read or wrote it: a save passes over a
    // file that is not dirty only while it is still that file.
    FileStamp onDisk;
};
