#pragma once

#include "panels/WidgetSizePreset.h"

#include <QList>
#include <QString>

// The box sizes offered per device family group: PDM displays are wide and
// short, the Solo 2 DL is small, and every other family shares the MXG/MXS
// sizes.
class WidgetSizePresets {
public:
    // "pdm", "solo2dl" or "mxg_mxs" for an RS3 overlay family folder name.
    static QString familyKey(const QString& deviceFolder);
    // The group's presets, Small to Tall; a new list on every call.
    static QList<WidgetSizePreset> presetsFor(const QString& deviceFolder);
};
