#include "editing/MultiBoxGeometry.h"

#include "artwork/BoxStyleRenderer.h"

#include <algorithm>

QList<QRect> multiBoxCells(int width, int height, int rows, int cols)
{
    const BoxMetrics m = BoxStyleRenderer::metricsFor(width, height);
    return BoxStyleRenderer::gridCells(width, height, rows, cols, m.borderWidth, std::max(m.borderWidth, 2)).cells;
}

MultiBoxCellParts splitMultiBoxCell(const QRect& cell, const QString& labelPlacement, bool withCaption)
{
    MultiBoxCellParts parts;
    if (!withCaption) {
        parts.value = cell;
        return parts;
    }
    const int x = cell.x();
    const int y = cell.y();
    const int w = cell.width();
    const int h = cell.height();
    if (labelPlacement == QLatin1String("left")) {
        parts.caption = QRect(x, y, w / 3, h);
        parts.value = QRect(x + w / 3, y, w - w / 3, h);
    } else {
        parts.caption = QRect(x, y, w, h / 3);
        parts.value = QRect(x, y + h / 3, w, h - h / 3);
    }
    return parts;
}

int countGapClusters(std::vector<int>& values, int threshold)
{
    std::vector<int> sorted;
    sorted.swap(values);
    if (sorted.empty())
        return 0;
    std::sort(sorted.begin(), sorted.end());
    int clusters = 1;
    for (size_t i = 1; i < sorted.size(); ++i) {
        // 64-bit: positions from a hostile file may lie far apart.
        if (qint64(sorted[i]) - sorted[i - 1] > threshold)
            ++clusters;
    }
    return clusters;
}
