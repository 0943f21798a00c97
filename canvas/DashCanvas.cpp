#include "canvas/DashCanvas.h"

#include "canvas/IDataSource.h"
#include "model/InstallRoots.h"
#include "model/WidgetGeometry.h"

#include <QPainter>
#include <QPaintEvent>
#include <QUndoStack>
#include <algorithm>
#include <cstring>

namespace {

// Frames are painted in bands lower than what Qt's raster engine hands to
// its thread pool: a frame of small drawings spends more on the hand-offs
// (and on a busy machine, on waiting for the threads) than on the pixels.
constexpr int kFrameBand = 90;

// Eight 6 x 6 yellow squares on the corners and edge midpoints of r, in the
// order of the resize handle ids 2..9.
void fillHandles(QPainter& painter, const QRectF& r)
{
    const QPointF points[8] = {
        r.topLeft(), QPointF(r.center().x(), r.top()), r.topRight(),
        QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()),
        r.bottomLeft(), QPointF(r.center().x(), r.bottom()), r.bottomRight(),
    };
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 0));
    for (const QPointF& p : points)
        painter.drawRect(QRectF(p.x() - 3.0, p.y() - 3.0, 6.0, 6.0));
    painter.restore();
}

} // namespace

DashCanvas::DashCanvas(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(400, 240);
    setAttribute(Qt::WA_MouseTracking);
    setFocusPolicy(Qt::StrongFocus);
    // Every paint covers the whole widget: nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

DashCanvas::~DashCanvas() = default;

// --- state ------------------------------------------------------------

void DashCanvas::setPage(PageModel* page)
{
    // A drag cut short puts its record back while it is still the shown page's.
    cancelDrag();
    m_page = page;
    m_selectedMask = -1;
    m_selectedWidget = -1;
    m_multiSelection.clear();
    m_artworkCache.clear();
    m_maskImageCache.clear();
    refresh();
    Q_EMIT selectionChanged();
}

void DashCanvas::setConfig(DashConfig* config)
{
    m_fontConfig = config;
    refresh();
}

void DashCanvas::setUndoStack(QUndoStack* stack)
{
    if (m_undoStack)
        disconnect(m_undoStack, nullptr, this, nullptr);
    m_undoStack = stack;
    // Every command changes records the kept frame was painted from.
    if (stack)
        connect(stack, &QUndoStack::indexChanged, this, [this](int) { dropFrame(); });
}

void DashCanvas::setDataSource(IDataSource* source)
{
    m_dataSource = source;
    refresh();
}

void DashCanvas::setTime(double seconds)
{
    m_timeSec = seconds;
    // Shown, the kept frame is brought up to date here, so that only what
    // the tick changed is painted on screen and flushed.
    if (isVisible() && updatesEnabled() && devicePixelRatioF() == 1.0) {
        QRegion damaged;
        if (applyTick(&damaged)) {
            m_tickShown = damaged;
            repaint(damaged); // synchronous, so every playback frame is drawn before the next tick
            m_tickShown = QRegion();
            return;
        }
    }
    m_tickPending = true;
    repaint();
}

void DashCanvas::setSpeedUnit(int unit)
{
    m_speedUnit = unit;
    refresh();
}

void DashCanvas::setGrid(bool snap, int size)
{
    m_snapToGrid = snap;
    m_gridSize = size;
}

void DashCanvas::setMaskImageProvider(std::function<QImage(int)> provider)
{
    m_maskImageProvider = std::move(provider);
    m_maskImageCache.clear();
    refresh();
}

void DashCanvas::setIconPreviewProvider(std::function<QString(int)> provider)
{
    m_iconPreviewProvider = std::move(provider);
    refresh();
}

void DashCanvas::setIconGraphicProvider(std::function<QString(int)> provider)
{
    m_iconGraphicProvider = std::move(provider);
    refresh();
}

void DashCanvas::invalidateMaskImageCache()
{
    m_maskImageCache.clear();
    refresh();
}

void DashCanvas::refresh()
{
    dropFrame();
    update();
}

void DashCanvas::dropFrame()
{
    m_frameValid = false;
}

void DashCanvas::invalidateRenderCaches()
{
    m_artworkCache.clear();
    m_maskImageCache.clear();
    refresh();
}

void DashCanvas::setSelectedMask(int index)
{
    m_selectedMask = index;
    m_maskArmed = false;
    m_selectedWidget = -1;
    m_multiSelection.clear();
    refresh();
    Q_EMIT selectionChanged();
}

void DashCanvas::setSelectedWidget(int index)
{
    m_multiSelection.clear();
    m_selectedWidget = -1;
    if (m_page && m_selectedMask >= 0 && m_selectedMask < int(m_page->masks.size())) {
        const int count = int(m_page->masks[size_t(m_selectedMask)].widgets.size());
        if (index >= 0 && index < count)
            m_selectedWidget = index;
    }
    refresh();
    Q_EMIT selectionChanged();
}

void DashCanvas::selectAllWidgets()
{
    m_multiSelection.clear();
    const bool validMask = m_page && m_selectedMask >= 0 && m_selectedMask < int(m_page->masks.size());
    const int count = validMask ? int(m_page->masks[size_t(m_selectedMask)].widgets.size()) : 0;
    if (count == 0) {
        m_selectedWidget = -1;
        refresh();
        Q_EMIT selectionChanged();
        return;
    }
    for (int i = 0; i < count; ++i)
        m_multiSelection.insert(i);
    m_selectedWidget = 0;
    Q_EMIT widgetSelected(m_selectedMask, 0);
    refresh();
    Q_EMIT selectionChanged();
}

void DashCanvas::clearSelectionAndRepaint()
{
    cancelDrag();
    m_selectedMask = -1;
    m_selectedWidget = -1;
    m_multiSelection.clear();
    refresh();
    Q_EMIT selectionChanged();
}

// --- geometry ---------------------------------------------------------

double DashCanvas::viewScale() const
{
    if (!m_page || m_page->width <= 0 || m_page->height <= 0)
        return 1.0;
    const double sx = double(width() - 20) / double(m_page->width);
    const double sy = double(height() - 20) / double(m_page->height);
    return std::min(sx, sy);
}

QPointF DashCanvas::pageOrigin() const
{
    if (!m_page)
        return QPointF(10.0, 10.0);
    const double s = viewScale();
    return QPointF((width() - m_page->width * s) / 2.0, (height() - m_page->height * s) / 2.0);
}

QRectF DashCanvas::maskRect(const MaskElement& mask) const
{
    const double s = viewScale();
    const QPointF o = pageOrigin();
    return QRectF(o.x() + mask.x * s, o.y() + mask.y * s, mask.w * s, mask.h * s);
}

QRectF DashCanvas::widgetRect(const MaskElement& mask, const WidgetModel& widget) const
{
    const QRectF r = widgetPageRect(mask, widget);
    const double s = viewScale();
    const QPointF o = pageOrigin();
    return QRectF(o.x() + r.x() * s, o.y() + r.y() * s, r.width() * s, r.height() * s);
}

QVector<int> DashCanvas::paintOrder() const
{
    QVector<int> order;
    if (!m_page)
        return order;
    const int n = int(m_page->masks.size());
    QVector<qint64> keys(n);
    bool allKeyed = true;
    for (int i = 0; i < n; ++i) {
        order.append(i);
        const pugi::xml_node node = m_page->masks[size_t(i)].node;
        const pugi::xml_node p = node ? node.find_child_by_attribute("p", "n", "ORDINE") : pugi::xml_node();
        bool ok = false;
        const qint64 v = p ? QByteArray(p.text().get()).trimmed().toLongLong(&ok, 10) : -1;
        if (!ok || v < 0)
            allKeyed = false;
        keys[i] = v;
    }
    // One mask without a usable ORDINE makes the whole page paint in list order.
    if (allKeyed)
        std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) { return keys[a] < keys[b]; });
    return order;
}

// --- paint pass -------------------------------------------------------

void DashCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // The paint setTime asked for: the kept frame already shows the tick.
    if (!m_tickShown.isEmpty() && event->region().subtracted(m_tickShown).isEmpty() && frameFitsPainter(painter)) {
        const bool copy = copiesFrame(painter);
        for (const QRect& rect : event->region())
            painter.drawImage(rect.topLeft(), m_frame, rect);
        if (copy)
            painter.restore();
        return;
    }
    paintPage(painter);
}

void DashCanvas::paintPage(QPainter& painter)
{
    const bool tick = m_tickPending;
    m_tickPending = false;
    // The kept frame is a plain image of the widget: a painter that scales
    // or translates gets the frame painted directly.
    const QPaintDevice* device = painter.device();
    if (!painter.worldTransform().isIdentity() || !device || device->devicePixelRatio() != 1.0) {
        dropFrame();
        paintPass(painter, nullptr);
        return;
    }
    // The kept frame holds text in its own font: another look paints anew.
    if (!tick || !frameLookMatches(painter) || !applyTick(nullptr))
        paintFullFrame(painter);
    // In bands, as the frame was painted: one copy is cheaper than the
    // thread hand-offs Qt makes for a tall one.
    const bool copy = copiesFrame(painter);
    for (int y = 0; y < m_frame.height(); y += kFrameBand)
        painter.drawImage(QPoint(0, y), m_frame, QRect(0, y, m_frame.width(), std::min(kFrameBand, m_frame.height() - y)));
    if (copy)
        painter.restore();
}

bool DashCanvas::copiesFrame(QPainter& painter)
{
    // Every pixel of the kept frame is opaque, so drawn over anything it
    // replaces it: copied as it stands, without blending pixel by pixel.
    if (painter.opacity() != 1.0 || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    return true;
}

void DashCanvas::paintPass(QPainter& painter, const QRect* clip)
{
    const InstallRootsPass roots; // one settings read for every look-up of this frame
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(0, 0, width(), height()), QColor(50, 50, 50));
    if (!m_page)
        return;

    const double s = viewScale();
    const QRectF pageRect(pageOrigin(), QSizeF(m_page->width * s, m_page->height * s));
    painter.fillRect(pageRect, Qt::black);
    if (!m_page->background.isNull())
        painter.drawPixmap(pageRect.toRect(), m_page->background);

    paintGrid(painter);

    m_passClip = clip;
    const QVector<int> order = clip ? m_frameOrder : paintOrder();
    for (int index : order) {
        if (clip && !QRectF(*clip).intersects(m_maskExtents[index]))
            continue;
        drawMask(painter, m_page->masks[size_t(index)], index);
    }

    m_passClip = nullptr;

    if (m_staticPass)
        return; // the overlays are drawn over the live parts
    if (!previewMode)
        paintWidgetOutlines(painter, clip);
    paintSelectionHandles(painter);
}

void DashCanvas::paintFullFrame(const QPainter& target)
{
    const InstallRootsPass roots;
    if (m_frame.size() != size())
        m_frame = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_frameValid = true;
    m_framePreview = previewMode;
    m_framePage = m_page;
    m_frameSourceValid = m_dataSource && m_dataSource->isValid();
    m_frameOrder = paintOrder();
    m_frameFont = target.font();
    m_frameHints = target.renderHints();
    m_frameDirection = target.layoutDirection();
    m_staticValid = QRegion();
    m_paintItems.clear();
    m_liveItems.clear();
    m_livePartOf.clear();
    m_liveParts.clear();
    m_maskExtents.clear();
    m_widgetExtents.clear();
    m_outlineRects.clear();
    m_boxStyles.clear();
    m_keptMaskArt.clear();
    m_keptHomebrewBars.clear();
    m_barArtworks.clear();

    QPainter painter(&m_frame);
    painter.setFont(target.font());
    painter.setRenderHints(target.renderHints());
    painter.setLayoutDirection(target.layoutDirection());
    if (!m_page) {
        paintPass(painter, nullptr);
        return;
    }
    for (const MaskElement& mask : m_page->masks) {
        m_boxStyles.append(boxOutlineStyle(mask));
        m_widgetExtents.append(QVector<QRectF>(int(mask.widgets.size())));
        for (const WidgetModel& widget : mask.widgets)
            m_outlineRects.append(widgetRect(mask, widget));
    }
    m_maskExtents.reserve(int(m_page->masks.size()));
    for (int m = 0; m < int(m_page->masks.size()); ++m)
        m_maskExtents.append(maskExtent(m_page->masks[size_t(m)], m));
    m_maskSkipsBars = QVector<char>(int(m_page->masks.size()), 0);
    notePaintItems();

    for (int y = 0; y < height(); y += kFrameBand) {
        const QRect band(0, y, width(), std::min(kFrameBand, height() - y));
        painter.save();
        painter.setClipRect(band);
        paintPass(painter, &band);
        painter.restore();
    }
}

void DashCanvas::paintGrid(QPainter& painter)
{
    const int g = m_gridSize;
    if (!m_snapToGrid || g <= 1)
        return;
    const double s = viewScale();
    const QPointF o = pageOrigin();
    const int W = m_page->width;
    const int H = m_page->height;
    const QPen minor(QColor(80, 80, 80, 100), 1);
    const QPen major(QColor(110, 110, 110, 150), 2);
    const auto toWidget = [&](int x, int y) { return QPointF(o.x() + x * s, o.y() + y * s); };

    for (int x = 0; x <= W; x += g) {
        painter.setPen(x % (5 * g) == 0 ? major : minor);
        painter.drawLine(toWidget(x, 0), toWidget(x, H));
    }
    for (int y = 0; y <= H; y += g) {
        painter.setPen(y % (5 * g) == 0 ? major : minor);
        painter.drawLine(toWidget(0, y), toWidget(W, y));
    }
    painter.setPen(QPen(QColor(160, 160, 160, 200), 2));
    painter.drawLine(toWidget(W / 2, 0), toWidget(W / 2, H));
    painter.drawLine(toWidget(0, H / 2), toWidget(W, H / 2));
}

void DashCanvas::paintWidgetOutlines(QPainter& painter, const QRect* clip)
{
    int outline = 0;
    // One saved state for every outline: they differ only in their pen.
    painter.save();
    painter.setBrush(Qt::NoBrush);
    const QPen plain(QColor(255, 255, 255, 110), 1);
    const QPen chosen(QColor(255, 255, 0), 2);
    for (int m = 0; m < int(m_page->masks.size()); ++m) {
        const MaskElement& mask = m_page->masks[size_t(m)];
        for (int w = 0; w < int(mask.widgets.size()); ++w, ++outline) {
            // A tick's repaint uses the outlines of the kept frame: nothing
            // moved since. Most of them lie away from its rectangle.
            if (clip && !rectsMeet(QRectF(*clip), m_outlineRects[outline].adjusted(-3, -3, 3, 3)))
                continue;
            const WidgetModel& widget = mask.widgets[size_t(w)];
            // A hidden element without a size (the companion bar of a ring
            // gauge) has nothing to outline: it showed as a stray square.
            if (widget.hidden != 0 && (widget.w <= 0 || widget.h <= 0))
                continue;
            const QRectF rect = clip ? m_outlineRects[outline] : widgetRect(mask, widget);
            const bool selected = m == m_selectedMask && (w == m_selectedWidget || m_multiSelection.contains(w));
            painter.setPen(selected ? chosen : plain);
            painter.drawRect(rect);
        }
    }
    painter.restore();
}

void DashCanvas::paintSelectionHandles(QPainter& painter)
{
    if (m_selectedMask < 0 || m_selectedMask >= int(m_page->masks.size()))
        return;
    const MaskElement& mask = m_page->masks[size_t(m_selectedMask)];
    if (m_selectedWidget >= 0 && m_selectedWidget < int(mask.widgets.size()))
        fillHandles(painter, widgetRect(mask, mask.widgets[size_t(m_selectedWidget)]));
    else
        drawMaskHandles(painter, mask);
}

void DashCanvas::drawMaskHandles(QPainter& painter, const MaskElement& mask)
{
    fillHandles(painter, maskRect(mask));
}
