#pragma once

#include <QByteArray>
#include <pugixml.hpp>

// Names the mask itself or one direct child element of it by what survives
// a copy of the mask (delete and undo, reorder): the child's class, its `i`
// attribute and its place among the siblings that share both. A command
// keeps this instead of a node handle and finds the node again when it runs.
struct ElementRef {
    bool isMask = true;
    QByteArray cls;
    QByteArray id;
    int ordinal = 0;

    static ElementRef of(pugi::xml_node mask, pugi::xml_node element);
    // The element in `mask` now, or a null node when it is gone.
    pugi::xml_node resolve(pugi::xml_node mask) const;
};
