#include "support/PixelProbe.h"

#include <cmath>
#include <cstdlib>

namespace PixelProbe {

bool near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

QColor blend(const QColor& dst, const QColor& src, int alpha)
{
    const auto mix = [alpha](int d, int s) { return int(std::lround((s * alpha + d * (255 - alpha)) / 255.0)); };
    return QColor(mix(dst.red(), src.red()), mix(dst.green(), src.green()), mix(dst.blue(), src.blue()));
}

int countNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance)
{
    const QRect r = area & image.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (near(image.pixelColor(x, y), colour, tolerance))
                ++n;
        }
    }
    return n;
}

int countBright(const QImage& image, const QRect& area, int level)
{
    const QRect r = area & image.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() >= level && c.green() >= level && c.blue() >= level)
                ++n;
        }
    }
    return n;
}

QString describe(const QColor& colour)
{
    return QStringLiteral("(%1,%2,%3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

QString contentMismatch(const QImage& a, const QImage& b, const QColor& background, const QSize& grid,
                        int* contentCells)
{
    const QImage cellsA = a.scaled(grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage cellsB = b.scaled(grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const auto off = [&background](const QColor& c) {
        return qAbs(c.red() - background.red()) + qAbs(c.green() - background.green())
            + qAbs(c.blue() - background.blue());
    };
    int content = 0;
    QString mismatch;
    for (int y = 0; y < grid.height(); ++y) {
        for (int x = 0; x < grid.width(); ++x) {
            const int offA = off(cellsA.pixelColor(x, y));
            const int offB = off(cellsB.pixelColor(x, y));
            content += offA > 24 ? 1 : 0;
            if (mismatch.isEmpty() && ((offA > 24 && offB <= 12) || (offA <= 12 && offB > 24)))
                mismatch = QStringLiteral("cell (%1,%2): %3 against %4")
                               .arg(x)
                               .arg(y)
                               .arg(describe(cellsA.pixelColor(x, y)), describe(cellsB.pixelColor(x, y)));
        }
    }
    if (contentCells)
        *contentCells = content;
    return mismatch;
}

} // namespace PixelProbe
