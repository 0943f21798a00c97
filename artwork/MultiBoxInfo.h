#pragma once

#include <QString>

// The stored shape of a multi-value box.
struct MultiBoxInfo {
    bool found = false; // the ".multibox.json" sidecar holds a usable record
    int rows = 0;
    int cols = 0;
    QString labelPlacement;
    int digitCount = 0; // Digit elements directly inside the mask (when found)
};
