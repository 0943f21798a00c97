#pragma once

#include <QColor>
#include <QString>

// A colour parameter "0xAARRGGBB" (either case of x); anything else gives an
// invalid colour.
QColor parseArgbColour(const QString& text);

// Pixel height named by a firmware charset ("..._H24", "..._12x16",
// "..._7", with an optional ",n" suffix); 0 when the name tells none.
int charsetPixelHeight(const QString& charset);
