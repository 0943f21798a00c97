#pragma once

#include <QString>
#include <pugixml.hpp>

class DashConfig;

// A mask, or one widget of it, on a page of the open configuration, named by
// the element itself rather than by its place in the record lists. A save, an
// undo, a redo or a re-parse rebuilds the records, and reordering a mask or
// putting a deleted one back copies its XML, so a kept pointer would dangle
// and a kept index would come to name whatever now stands there.
//
// The nodes are only compared, never read: the element they named may be
// gone and its memory handed to another one, which is why the ids have to
// match as well.
struct ElementKey {
    int page = -1;
    pugi::xml_node pageNode;
    pugi::xml_node maskNode;
    QString maskId;
    bool hasWidget = false;
    pugi::xml_node widgetNode;
    QString widgetId;
    int widgetKind = -1;
    int widgetOrdinal = 0; // among the mask's widgets of that kind and id

    // The mask (widget -1: the whole mask) at these indices now; a null key
    // when there is no such mask or it has no element.
    static ElementKey of(DashConfig& config, int page, int mask, int widget);
    bool isNull() const { return page < 0; }

    // Where the element is now. `mask` is -1 when the mask is gone; `widget`
    // is -1 when the key names the whole mask or its widget is gone.
    struct Place {
        int mask = -1;
        int widget = -1;
    };
    // The mask by its node and id, else by an id no other mask of the page
    // holds (a copy of its XML put back); the widget likewise, else by its
    // kind, id and place among the widgets that share both.
    Place find(DashConfig& config) const;
};
