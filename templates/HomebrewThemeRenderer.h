#pragma once

#include "templates/ThemeParams.h"

#include <QFont>
#include <QImage>
#include <QString>

// Draws the background picture of a homebrew theme for one screen size, and
// loads the RaceStudio 3 firmware fonts its texts are set in. The preview of
// the theme dialog calls renderBackground after every change, so the pixel
// work is done on 32-bit scan lines and font look-ups are cached for the
// program's life (a missing font is looked for once).
namespace HomebrewThemeRenderer {

// A 32-bit ARGB picture of exactly width x height pixels.
QImage renderBackground(int width, int height, const ThemeParams& params);

// The picture cropped to the box of its pixels whose alpha is not 0, as
// 32-bit ARGB; a picture without such pixels whole, a null one unchanged.
QImage opaqueBounds(const QImage& image);

// Makes the plain light background (three or four light corners) of a fully
// opaque picture transparent, in place; a picture with any transparency is
// left as it is.
void clearLightBackground(QImage& image);

// The firmware font file of the overlay family ("pdm/dash1" looks in "pdm")
// in the beta install, else the stable one; empty when neither has it.
QString findFontFile(const QString& family, const QString& fileName);

// Registers the font file with the application font database once per
// (family, file name); the font id, or -1 (also remembered). The file is
// read as a plain file only: a link or a pipe in its place is named in the
// log and the font counts as missing.
int loadFontFamily(const QString& family, const QString& fileName);

// The firmware font at the pixel size, or a bold look-alike when the font
// file is missing.
QFont themeFont(const QString& family, const QString& fileName, int pixelSize);

// Forgets both font caches and unregisters the fonts they loaded, so a test
// can start from an empty cache; the program never calls it.
void resetFontCachesForTests();

} // namespace HomebrewThemeRenderer
