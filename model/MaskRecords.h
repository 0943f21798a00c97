#pragma once

#include "model/BarColorRecord.h"
#include "model/BoxStyleRecord.h"
#include "model/IconPreviewRecord.h"
#include "model/MultiBoxRecord.h"

#include <QString>

#include <optional>

// What the four stores hold for one mask, under the keys it had when they
// were read: a command that removes or hands out a mask keeps this, so its
// undo can put back exactly what was there.
struct MaskRecords {
    QString barKey;
    QString styleKey;
    QString gridKey;
    QString iconKey;
    std::optional<BarColorRecord> bar;
    std::optional<BoxStyleRecord> style;
    std::optional<MultiBoxRecord> grid;
    std::optional<IconPreviewRecord> icon;

    bool isEmpty() const { return !bar && !style && !grid && !icon; }
};
