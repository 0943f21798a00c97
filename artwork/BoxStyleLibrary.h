#pragma once

#include "artwork/BoxStyle.h"

#include <QList>
#include <QString>

// The fixed catalogue of box styles, in the order the box-style dialog lists
// them ("clean", which draws nothing, first).
class BoxStyleLibrary {
public:
    static const QList<BoxStyle>& catalogue();
    // Exact, case-sensitive match; null when no style has the id.
    static const BoxStyle* findById(const QString& id);
    // The style exists and takes the caller's accent somewhere.
    static bool usesAccentColor(const QString& id);
};

// The id of the style that draws no box at all.
QString cleanBoxStyleId();
