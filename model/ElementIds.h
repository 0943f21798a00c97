#pragma once

#include <QSet>
#include <QString>
#include <pugixml.hpp>

// Ids of the elements inside one mask: the bar group an element belongs to,
// the channel element ids in use, and the id a colliding element gets.

// The group of an element: its id before the first "_" (the whole id when it
// has none). A bar and the value and label of the same group show one channel.
QString elementGroup(pugi::xml_node element);

// A Bargraph or BargraphTrapezio element.
bool isBarElement(pugi::xml_node element);

// The bars an edit of `selected` reaches: with no selected element every bar
// of the mask, else the bars of the selected element's own group; an element
// whose group holds no bar (a caption) reaches the group of the mask's first
// bar with a scale, the one the scale controls show.
bool isBarInScope(pugi::xml_node bar, pugi::xml_node selected);

// The ids of the mask's channel elements (<e c="Axis">).
QSet<QString> axisIdsOf(pugi::xml_node mask);

// The id every new element of `mask` gets in place of `wanted` (a copy, a
// paste, a merged or newly made channel element): `wanted` while no other
// element has that id or its group, else the first of RS3's renumbered forms
// (leading digits counted up with their width kept, "00_000barg" ->
// "05_000barg"; else "_n" appended, "lbl" -> "lbl_1") whose id and group no
// other element has. A copy that joined another element's group would be
// rebound with it at the next save. An id without leading digits keeps its
// group in every form: it takes the first free one. `self` (the element
// being named, already in the mask) does not count.
QString newElementId(pugi::xml_node mask, const QString& wanted, pugi::xml_node self = pugi::xml_node());
