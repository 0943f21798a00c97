#pragma once

#include <QString>

// A recoloured bargraph, kept in the ".barcolor.json" sidecar.
struct BarColorRecord {
    bool colored = false;
    double redline = 0.0;
    QString originalPathRel;
    QString originalCoords;

    bool operator==(const BarColorRecord& o) const
    {
        return colored == o.colored && redline == o.redline && originalPathRel == o.originalPathRel
            && originalCoords == o.originalCoords;
    }
    bool operator!=(const BarColorRecord& o) const { return !(*this == o); }
};
