#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

// Sizes derived from a box's width and height, in pixels.
struct BoxMetrics {
    int radius = 0;      // corner radius
    int borderWidth = 0; // automatic stroke width
    int stripe = 0;      // accent stripe thickness (from the height alone)
    int inset = 0;       // inner frame inset, also the caption's side margin
    int cut = 0;         // size of a cut corner
};

// The cells of a multi-value box and the divider bars between them.
struct BoxGrid {
    QList<QRect> cells;              // row-major, top-left first
    QList<QRect> verticalDividers;   // between columns, left to right
    QList<QRect> horizontalDividers; // between rows, top to bottom
};

// The green, amber, red ramp that recolours bargraph art, stops evenly spaced.
const QList<QColor>& barColorRamp();

// Draws box styles into Format_ARGB32 images that become device art. Boxes
// are drawn aliased and every pixel's alpha ends as 0 or 255, because the
// ".tgz" format keeps a single alpha bit.
class BoxStyleRenderer {
public:
    // Rows and columns a multi-value box may have. Counts outside this range
    // (a damaged or hand-edited sidecar) mean "no grid": callers treat such a
    // record as absent.
    static constexpr int kMaxGridCount = 64;
    static bool isUsableGrid(int rows, int cols);

    // True when art of this size can be drawn and stored as ".tgz": both
    // sides within 1..65535 and the pixels within the codec's budget. Sizes
    // read from XML or sidecars are checked with it before any allocation.
    static bool isRenderableSize(qint64 width, qint64 height);

    static BoxMetrics metricsFor(int width, int height);
    static QPainterPath outlinePath(int width, int height, int radius, int cut, int topOffset);

    // The box of a style; transparent for "clean" or an unknown id, null for
    // a size below 1 or beyond isRenderableSize. borderPx 0 = automatic;
    // an invalid accent or caption colour = the default.
    static QImage render(const QSize& size, const QString& styleId, const QColor& accent,
                         int borderPx, const QString& caption, const QColor& captionColor);

    static void drawCaption(QPainter& painter, int boxWidth, int bandHeight, int margin,
                            const QColor& accent, const QString& caption, const QColor& captionColor);

    // render() plus divider bars between rows x cols cells.
    static QImage renderMultiBox(const QSize& size, const QString& styleId, const QColor& accent,
                                 int rows, int cols, bool showDividers, int borderPx,
                                 const QString& caption, const QColor& captionColor);

    // Empty for counts outside isUsableGrid; otherwise rows x cols cells of
    // at least one pixel each.
    static BoxGrid gridCells(int width, int height, int rows, int cols, int margin, int gap);

    static QColor rampColorAt(double t, const QList<QColor>& stops);

    // The source scaled to size with rows y0..y1 recoloured along the ramp
    // (left green, right red), keeping every pixel's alpha. Null for a size
    // beyond isRenderableSize.
    static QImage paintColorRamp(const QImage& source, int y0, int y1, const QSize& size);
};
