#pragma once

#include <QSize>
#include <QString>

// A named box size offered by the box designer, in display pixels.
struct WidgetSizePreset {
    QString label;
    QSize size;
};
