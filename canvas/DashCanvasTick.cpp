// A playback tick: the parts of the kept frame the new values move are
// painted again; the rest of the frame stands.

#include "canvas/DashCanvas.h"

#include "canvas/IDataSource.h"
#include "model/DashConfig.h"
#include "model/FirmwareFonts.h"
#include "model/InstallRoots.h"

#include <QVarLengthArray>

#include <algorithm>
#include <optional>
#include <cstring>
#include <limits>

namespace {

// Where the font-size badge of a mask is drawn, with room for its antialiased edges.
QRectF badgeExtent(const QRectF& maskRect)
{
    return QRectF(maskRect.right() - 20.0, maskRect.top() - 2.0, 22.0, 22.0);
}

} // namespace

bool DashCanvas::frameLookMatches(const QPainter& painter) const
{
    return painter.renderHints() == m_frameHints && painter.layoutDirection() == m_frameDirection
        && painter.font() == m_frameFont && painter.font().resolveMask() == m_frameFont.resolveMask();
}

bool DashCanvas::frameFitsPainter(const QPainter& painter) const
{
    const QPaintDevice* device = painter.device();
    return m_frameValid && m_frame.size() == size() && device && device->devicePixelRatio() == 1.0
        && painter.worldTransform().isIdentity() && frameLookMatches(painter);
}

bool DashCanvas::applyTick(QRegion* damaged)
{
    if (!m_frameValid || m_frame.size() != size() || m_framePreview != previewMode || m_framePage != m_page
        || m_frameSourceValid != (m_dataSource && m_dataSource->isValid())
        || (m_page && m_maskExtents.size() != int(m_page->masks.size())))
        return false;
    if (m_liveParts.isEmpty())
        return true;

    // The settings are read once, for the first rectangle painted again from the model.
    std::optional<InstallRootsPass> roots;
    // Each live part's old and new reach, merged until no two overlap: each
    // pixel is repainted once, under a plain rectangular clip.
    QVector<QRect> damage;
    QVector<QRectF> extents = m_maskExtents;
    for (LivePart& part : m_liveParts) {
        const bool changed = livePartChanged(part);
        QRect rect = part.extent.toAlignedRect();
        if (part.moving) {
            part.extent = movingExtent(m_page->masks[size_t(part.mask)], part.widget);
            rect |= part.extent.toAlignedRect();
            if (part.widget >= 0)
                m_widgetExtents[part.mask][part.widget] = part.extent;
            extents[part.mask] |= part.extent;
        }
        // A part that shows what it showed keeps its pixels.
        if (changed)
            damage.append(rect & QRect(QPoint(0, 0), size()));
    }
    if (damage.isEmpty())
        return true;
    for (bool merged = true; merged;) {
        merged = false;
        for (int i = 0; i < damage.size(); ++i) {
            for (int j = i + 1; j < damage.size(); ++j) {
                if (damage[i].intersects(damage[j])) {
                    damage[i] |= damage[j];
                    damage.removeAt(j);
                    merged = true;
                    --j;
                }
            }
        }
    }
    std::swap(extents, m_maskExtents);
    // Where the parts that hold still lie under the live ones, they are
    // copied from the static layer; elsewhere the whole pass paints again.
    QVector<char> restored(damage.size(), 0);
    for (int i = 0; i < damage.size(); ++i) {
        if (!damage[i].isEmpty() && staticLayerFits(damage[i])) {
            restoreStaticLayer(damage[i]);
            restored[i] = 1;
        }
    }
    {
        QPainter painter(&m_frame);
        painter.setFont(m_frameFont);
        painter.setRenderHints(m_frameHints);
        painter.setLayoutDirection(m_frameDirection);
        for (int i = 0; i < damage.size(); ++i) {
            const QRect& rect = damage[i];
            if (rect.isEmpty())
                continue;
            painter.save();
            painter.setClipRect(rect);
            if (restored[i]) {
                drawLiveParts(painter, rect);
            } else {
                if (!roots)
                    roots.emplace();
                paintPass(painter, &rect);
            }
            painter.restore();
            if (damaged)
                *damaged += rect;
        }
    }
    std::swap(extents, m_maskExtents);
    return true;
}

void DashCanvas::notePaintItems()
{
    for (int i = 0; i < m_liveParts.size(); ++i)
        m_livePartOf.insert(livePartKey(m_liveParts[i].mask, m_liveParts[i].widget), i);
    const bool badges = m_fontConfig && !previewMode && isNonPdmPath(m_page->deviceFolder);
    const QSet<int> sizes = badges ? m_fontConfig->firmwareFontSizes(m_page->deviceFileIndex) : QSet<int>();
    for (int m : m_frameOrder) {
        const MaskElement& mask = m_page->masks[size_t(m)];
        const bool wholeLive = m_livePartOf.contains(livePartKey(m, -1));
        const bool gauge = (mask.kind == MaskAnalog || mask.kind == MaskRing) && readRingGaugeGeometry(mask.node).valid;
        if (wholeLive || gauge || mask.widgets.empty()) {
            m_paintItems.append({ m, -1, wholeLive, m_maskExtents[m], -1 });
            continue;
        }
        // The box, art, border and outline, then the widgets, then the badge.
        const QRectF r = maskRect(mask);
        m_paintItems.append({ m, -1, false, r.adjusted(-3, -3, 3, 3), -1 });
        for (int w = 0; w < int(mask.widgets.size()); ++w) {
            const int part = m_livePartOf.value(livePartKey(m, w), -1);
            const bool live = part >= 0;
            const WidgetModel& widget = mask.widgets[size_t(w)];
            const QRectF extent = live ? QRectF()
                : widgetInkExtent(mask, widget, std::numeric_limits<double>::quiet_NaN()); // no value: it holds still
            m_paintItems.append({ m, w, live, extent, part });
        }
        if (badges && !isFontPxAvailable(mask, sizes, 1))
            m_paintItems.append({ m, -1, false, badgeExtent(r), -1 });
    }
    for (int i = 0; i < m_paintItems.size(); ++i) {
        if (m_paintItems[i].live)
            m_liveItems.append(i);
    }
}

bool DashCanvas::staticLayerFits(const QRect& rect) const
{
    // A pixel comes out the same when no part that holds still is drawn on
    // it after a live part: the parts' reaches are checked pair by pair,
    // each cut to the rectangle.
    const double left = rect.x();
    const double top = rect.y();
    const double right = left + rect.width();
    const double bottom = top + rect.height();
    struct Cut {
        double l, t, r, b;
    };
    QVarLengthArray<Cut, 16> live;
    for (const PaintItem& item : m_paintItems) {
        const QRectF& extent = !item.live ? item.extent
            : item.widget < 0             ? m_maskExtents[item.mask]
                                          : m_widgetExtents[item.mask][item.widget];
        const double x1 = extent.x();
        const double x2 = x1 + extent.width();
        const double y1 = extent.y();
        const double y2 = y1 + extent.height();
        const Cut here{ std::max(std::min(x1, x2), left), std::max(std::min(y1, y2), top),
                        std::min(std::max(x1, x2), right), std::min(std::max(y1, y2), bottom) };
        if (here.r <= here.l || here.b <= here.t)
            continue;
        if (item.live) {
            live.append(here);
            continue;
        }
        for (const Cut& under : live) {
            if (under.l < here.r && here.l < under.r && under.t < here.b && here.t < under.b)
                return false;
        }
    }
    return true;
}

void DashCanvas::restoreStaticLayer(const QRect& rect)
{
    if (m_staticLayer.size() != size()) {
        m_staticLayer = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        m_staticValid = QRegion();
    }
    const QRegion missing = QRegion(rect).subtracted(m_staticValid);
    if (!missing.isEmpty()) {
        QPainter painter(&m_staticLayer);
        painter.setFont(m_frameFont);
        painter.setRenderHints(m_frameHints);
        painter.setLayoutDirection(m_frameDirection);
        m_staticPass = true;
        for (const QRect& part : missing) {
            painter.save();
            painter.setClipRect(part);
            paintPass(painter, &part);
            painter.restore();
        }
        m_staticPass = false;
        m_staticValid += missing;
    }
    // Both images are of one size and format: rows lie alike in each.
    const qsizetype stride = m_frame.bytesPerLine();
    const size_t offset = size_t(rect.top()) * size_t(stride) + size_t(rect.left()) * 4;
    uchar* to = m_frame.bits() + offset;
    const uchar* from = m_staticLayer.constBits() + offset;
    const size_t bytes = size_t(rect.width()) * 4;
    for (int y = 0; y < rect.height(); ++y, to += stride, from += stride)
        std::memcpy(to, from, bytes);
}

void DashCanvas::drawLiveParts(QPainter& painter, const QRect& rect)
{
    // As the paint pass leaves the painter before the first mask.
    painter.setRenderHint(QPainter::Antialiasing, false);
    m_passClip = &rect;
    const QRectF area(rect);
    for (int index : m_liveItems) {
        const PaintItem& item = m_paintItems[index];
        const MaskElement& mask = m_page->masks[size_t(item.mask)];
        if (!rectsMeet(area, m_maskExtents[item.mask]))
            continue;
        if (item.widget < 0) {
            drawMask(painter, mask, item.mask);
            continue;
        }
        if (!rectsMeet(area, m_widgetExtents[item.mask][item.widget]))
            continue;
        // The value the tick read for the part.
        const double value = m_liveParts[item.livePart].shownValue;
        drawMaskWidget(painter, mask, item.mask, item.widget, m_maskSkipsBars[item.mask], &value);
    }
    m_passClip = nullptr;
    if (!previewMode)
        paintWidgetOutlines(painter, &rect);
    paintSelectionHandles(painter);
}
