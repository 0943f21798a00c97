#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <pugixml.hpp>

class DashConfig;

// Why a bar's shape takes no colour band (the band spans the element's
// picture): more than one bar, or a bar smaller than its element; empty
// when it can be coloured. Words that follow "Bar color is not available
// for ".
QString barShapeRefusal(pugi::xml_node mask);

// Why the bar widget `widget` of `mask` keeps its place and size: its
// coloured pictures span the element, so a bar moved or resized inside it
// would no longer light up to its value. Empty for any other widget, and for
// a bar without colour. The one check of every widget drag and typed widget
// geometry.
// `config`: the configuration holding the mask (its record counts), or null.
QString barWidgetGeometryRefusal(const DashConfig* config, pugi::xml_node mask, pugi::xml_node widget);

// Why Color... cannot colour the bar element `mask` (a ring gauge, pictures
// pasted into its coloured art, or its shape), as the status bar says it;
// empty when it can. The one test of Color...'s refusal and of its being
// offered at all.
QString barColorRefusal(const DashConfig* config, pugi::xml_node mask);

// Why no widget shaped `place` (its rectangle in the element, as it would be
// added; an empty one is not checked) can be added to `mask`: the element's
// coloured pictures span it and light up for its one bar, so a second bar
// would not take the colours, and a widget reaching past the element would
// lie outside them. Empty when it can, and for an element without colour.
// The one check of Duplicate Widget, Paste Widget and Add value bar.
QString widgetAddRefusal(const DashConfig* config, pugi::xml_node mask, bool isBar, const QRect& place);
// The rectangle in its element of a copy of `widget` moved by `offset`.
QRect addedWidgetRect(pugi::xml_node widget, const QPoint& offset);
