#pragma once

#include <QImage>
#include <pugixml.hpp>

// Which way a bar lights up as its value rises: from the edge through its
// Start1 and Start2 points to the one through End1 and End2.
enum class BarFill { LeftToRight, RightToLeft, BottomToTop, TopToBottom };

// The fill of a bar element. A bar whose edges tell no direction (none
// given, or start and end alike) fills from the left, as RS3's lying bars do.
BarFill barFillOf(pugi::xml_node bar);

// The picture turned so that the bar fills from left to right (its foot on
// the left for a standing bar); barFillRestored turns it back.
QImage barFillOriented(const QImage& picture, BarFill fill);
QImage barFillRestored(const QImage& picture, BarFill fill);

// A size as barFillOriented turns it.
QSize barFillOrientedSize(const QSize& size, BarFill fill);
