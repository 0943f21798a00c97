#pragma once

#include <QColor>
#include <QString>

// One entry of the box-style catalogue: the recipe for the panel drawn behind
// a value. Colours a style does not use are invalid; every colour it sets is
// opaque. "Uses accent" flags take the caller's accent colour instead.
struct BoxStyle {
    QString id;          // stored in BOX_STYLE_ID and the ".boxstyles.json" sidecar
    QString displayName; // shown as is (not translated)
    bool fill = false;
    bool verticalGradient = false;
    QColor fillTop;
    QColor fillBottom;
    bool rounded = false;
    bool cutCorner = false; // top-left and bottom-right cut at 45 degrees; wins over rounded
    bool border = false;
    QColor borderColor;
    bool innerFrame = false;
    QColor innerFrameColor;
    bool innerFrameUsesAccent = false;
    bool borderUsesAccent = false;
    int accentSide = 0; // 0 none, 1 top, 2 bottom, 3 left, 4 right
    QColor accentColor;
    bool accentUsesAccent = false;
};
