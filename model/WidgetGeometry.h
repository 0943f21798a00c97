#pragma once

#include <QRectF>
#include <pugixml.hpp>

struct MaskElement;
struct WidgetModel;

// A widget element read on its own, as a page's parse reads it but without
// the channel its Axis names: enough to place and measure it.
WidgetModel readWidgetElement(pugi::xml_node e);

// Where a widget is drawn on its page, in page pixels: its own size, or one
// taken from its character size while it has none, placed about the anchor
// that the mask's position plus XPOS/YPOS names as POS_ALIGN says. A
// vertical "b" makes YPOS the bottom edge and "m" the middle; a horizontal
// "c" or "r" moves only a widget without a width of its own. The canvas
// draws, hits and outlines widgets here, and a paste measures them here.
QRectF widgetPageRect(const MaskElement& mask, const WidgetModel& widget);
