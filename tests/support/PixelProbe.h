#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

// Pixel checks for drawing tests. Fonts and antialiasing differ between
// machines, so probes compare with a tolerance and count pixels in areas
// rather than comparing whole images.
namespace PixelProbe {

// Every channel of a and b within the tolerance (alpha ignored).
bool near(const QColor& a, const QColor& b, int tolerance = 3);

// What painting src with the given alpha leaves over dst.
QColor blend(const QColor& dst, const QColor& src, int alpha);

// Pixels of `area` (clipped to the image) near the colour.
int countNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 3);

// Pixels of `area` whose red, green and blue are all at least `level`.
int countBright(const QImage& image, const QRect& area, int level = 200);

// "(r,g,b)" for failure messages.
QString describe(const QColor& colour);

// Two pictures of one page shrunk to a grid of cells: where one shows
// content (a cell clearly off the background) and the other bare
// background, the first such cell; empty when they agree. Cells across an
// element's edge may go either way. `contentCells` counts a's content.
QString contentMismatch(const QImage& a, const QImage& b, const QColor& background, const QSize& grid,
                        int* contentCells = nullptr);

} // namespace PixelProbe
