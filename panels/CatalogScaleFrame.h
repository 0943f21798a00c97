#pragma once

#include <QString>

// One scale-frame image of a native element ("scala_rpm_ON_8.png"): the
// unit it is drawn for and its full-scale value.
struct CatalogScaleFrame {
    QString unit;
    int full = 0;
    QString frame; // the art file name

    bool operator==(const CatalogScaleFrame& o) const { return unit == o.unit && full == o.full && frame == o.frame; }
    bool operator!=(const CatalogScaleFrame& o) const { return !(*this == o); }
};
