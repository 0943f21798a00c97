#pragma once

#include "editing/ChannelCategory.h"

#include <QRect>
#include <QString>
#include <pugixml.hpp>

// The complete parameter sets of newly made text elements, appended in the
// order RS3 writes them to an existing <e c="Label"> or <e c="Digit">.

// A 120 x 24 static text whose baseline sits at y + 24 (its height).
void appendLabelParams(pugi::xml_node label, int x, int y, const QString& text, const QString& font);

// A value cell bound to the channel element `channelRef`. The size comes
// from a channel category; without one (font px or digits below 1) the cell
// gets 24 px and 5 digits.
void appendDigitParams(pugi::xml_node digit, int x, int y, int width, int height, const QString& channelRef,
                       const QRect& hotMouse, const QString& font, const ChannelCategoryInfo& size);
