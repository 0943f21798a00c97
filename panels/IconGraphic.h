#pragma once

#include <QString>

// One RS3 icon graphic offered as an editor-only preview.
struct IconGraphic {
    // Relative to the RS3 install root when the file lies inside the stable
    // or beta install, else absolute: what the preview sidecar stores.
    QString storedPath;
    QString filePath; // absolute, '/' separators
    QString displayName;
};
