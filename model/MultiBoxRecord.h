#pragma once

#include <QString>

// The grid of a multi-value box, kept in the ".multibox.json" sidecar.
struct MultiBoxRecord {
    int rows = 0;
    int cols = 0;
    QString labelPlacement;
};
