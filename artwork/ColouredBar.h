#pragma once

#include "model/BarColorRecord.h"

#include <QString>
#include <pugixml.hpp>

// Whether an element shows a bar the editor coloured, and what it was
// coloured from, as the file tells it: the origin stamp (DE_BARCOLOR_SRC)
// the colouring writes on the element, else the colouring's record when it
// fits. Where the coloured pictures live does not matter: the colouring's
// own folder, a page template's copy of it, or a paste's item.
struct ColouredBar {
    // The element holds a bar and shows pictures coloured from `origin`.
    bool coloured = false;
    // The stock item the colours were drawn from (normalised: '/' and one
    // trailing '/'); empty when nothing tells it.
    QString origin;
    // The record given describes this colouring (false without one).
    bool recordFits = false;
    // Pictures were pasted into the coloured art: neither the stock item
    // nor a new colouring holds them.
    bool pasted = false;
};

// The one answer for every entry (resize, the bar widget's refusals,
// Color..., Remove color, the stale and lost record checks, the open).
// `record`: the element's bar colour record, or null.
ColouredBar colouredBarOf(pugi::xml_node mask, const BarColorRecord* record);

// An art path as the rules compare it: trimmed, '/' for '\\', one trailing '/'.
QString normalisedItemPath(const QString& path);
