#pragma once

#include <QString>

// The editor-only preview graphic of an icon mask (".iconpreview.json").
struct IconPreviewRecord {
    QString graphic;
};
