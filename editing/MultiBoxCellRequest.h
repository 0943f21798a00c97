#pragma once

#include <QString>

// What one cell of a new multi-value box shows: a value bound to the channel
// of that long name (none when empty or unknown) and, when `showCaption` is
// set, a caption over or beside it.
struct MultiBoxCellRequest {
    QString channelLongName;
    QString caption;
    bool showCaption = false;
};
