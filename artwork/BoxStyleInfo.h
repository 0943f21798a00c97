#pragma once

#include <QString>

// The box style stored for a mask, as the box designer presets it.
struct BoxStyleInfo {
    bool present = false;
    QString styleId;
    QString styleName; // display name; empty when the catalogue lacks the id
    int accentArgb = 0;
    bool usesAccent = false;
    bool showDividers = true;
    QString caption;
    int borderPx = 0;
    int captionArgb = 0;
};
