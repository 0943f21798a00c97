#pragma once

#include <QString>

// The artwork parameters of a mask element as they stand: for each, whether
// the parameter exists (even with empty text) and its text.
struct ArtworkParams {
    bool relPathPresent = false; // PATH_REL_AiM_MASK
    QString relPath;
    bool sfondoPresent = false; // PATH_IMAGE_SFONDO_FW
    QString sfondo;
    bool imagePresent = false; // PATH_IMAGE
    QString image;
    bool fitSrcPresent = false; // DE_FIT_SRC
    QString fitSrc;
    bool borderColourPresent = false; // M_BCOL
    QString borderColour;
};
