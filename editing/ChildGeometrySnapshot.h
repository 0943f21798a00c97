#pragma once

#include <QString>

// Geometry texts of one Digit or Label child of a mask, as found before a
// multi-value box laid its cells out again. Empty texts stand for missing
// parameters.
struct ChildGeometrySnapshot {
    QString id;
    QString xpos;
    QString ypos;
    QString width;
    QString height;
    QString hotMouseLines;
};
