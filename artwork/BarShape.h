#pragma once

#include <QString>
#include <pugixml.hpp>

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
QString barWidgetGeometryRefusal(pugi::xml_node mask, pugi::xml_node widget);
