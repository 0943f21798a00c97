#pragma once

#include "artwork/ArtworkParams.h"

#include <QString>
#include <pugixml.hpp>

// What undo needs to put a mask's box art back: its artwork parameters and
// its box-style sidecar record.
struct BoxStyleSnapshot {
    ArtworkParams params;
    bool recordPresent = false;
    QString styleId;
    int accentArgb = 0;
    int showDividers = 1;
    int borderPx = 0;
    QString caption;
    int captionArgb = 0;
    // The record's origin: undo puts it back, so a box restyled and undone
    // can still be removed back to the art it started from.
    QString originalPathRel;

    // PATH_REL_AiM_MASK, PATH_IMAGE_SFONDO_FW, DE_FIT_SRC and M_BCOL of the
    // element (a later duplicate wins); no record part.
    static BoxStyleSnapshot readFromMask(pugi::xml_node mask);
};
