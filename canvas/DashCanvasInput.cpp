// The mouse and keyboard side of the canvas: which mask or widget a press
// selects, moving and resizing with grid snap, the undo command pushed when
// a drag ends, and the requests (delete, context menu) handed to the owner.

#include "canvas/DashCanvas.h"
#include "artwork/BarShape.h"
#include "canvas/WidgetMoveCommand.h"
#include "editing/MaskResize.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUndoStack>
#include <algorithm>

namespace {

// Smallest sizes a drag leaves, in page pixels.
constexpr int kMinMaskSize = 10;
constexpr int kMinWidgetSize = 4;
// How far before the page's right and bottom edges a mask's or widget's
// top-left may be moved.
constexpr int kMoveMargin = 8;
// Handles are only offered on targets at least this big on screen.
constexpr double kMinHandleTarget = 30.0;

bool movesLeftEdge(int handle) { return handle == 2 || handle == 5 || handle == 7; }
bool movesRightEdge(int handle) { return handle == 4 || handle == 6 || handle == 9; }
bool movesTopEdge(int handle) { return handle == 2 || handle == 3 || handle == 4; }
bool movesBottomEdge(int handle) { return handle == 7 || handle == 8 || handle == 9; }

QRect geometryOf(const MaskElement& mask) { return QRect(mask.x, mask.y, mask.w, mask.h); }
QRect geometryOf(const WidgetModel& widget) { return QRect(widget.x, widget.y, widget.w, widget.h); }

template <typename Record>
void writeGeometry(Record& record, const QRect& r)
{
    record.x = r.x();
    record.y = r.y();
    record.w = r.width();
    record.h = r.height();
}

} // namespace

// --- hit testing --------------------------------------------------------

int DashCanvas::handleAt(const QPoint& pos) const
{
    if (!m_page || m_selectedMask < 0 || m_selectedMask >= int(m_page->masks.size()))
        return 0;
    const MaskElement& mask = m_page->masks[size_t(m_selectedMask)];
    const bool widgetSelected = m_selectedWidget >= 0 && m_selectedWidget < int(mask.widgets.size());
    const QRectF r = widgetSelected ? widgetRect(mask, mask.widgets[size_t(m_selectedWidget)]) : maskRect(mask);
    if (r.width() < kMinHandleTarget || r.height() < kMinHandleTarget)
        return 0;
    const QPointF points[8] = {
        r.topLeft(), QPointF(r.center().x(), r.top()), r.topRight(),
        QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()),
        r.bottomLeft(), QPointF(r.center().x(), r.bottom()), r.bottomRight(),
    };
    const QPointF p(pos);
    for (int i = 0; i < 8; ++i) {
        if (QRectF(points[i].x() - 6.0, points[i].y() - 6.0, 12.0, 12.0).contains(p))
            return i + 2;
    }
    return 0;
}

DashCanvas::Hit DashCanvas::hitTest(const QPoint& pos) const
{
    Hit hit;
    if (!m_page)
        return hit;
    const QPointF p(pos);
    const QVector<int> order = paintOrder();
    // Topmost first; a mask's widgets beat the mask, even where they stick out.
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        const MaskElement& mask = m_page->masks[size_t(*it)];
        for (int w = int(mask.widgets.size()) - 1; w >= 0; --w) {
            if (widgetRect(mask, mask.widgets[size_t(w)]).contains(p)) {
                hit.mask = *it;
                hit.widget = w;
                return hit;
            }
        }
        if (maskRect(mask).contains(p)) {
            hit.mask = *it;
            return hit;
        }
    }
    return hit;
}

// --- snapping -----------------------------------------------------------

int DashCanvas::snap(int value) const
{
    const int g = m_gridSize;
    if (!m_snapToGrid || g < 2)
        return value;
    const int t = value + g / 2;
    return t - t % g;
}

int DashCanvas::snapMinimum(int minimum) const
{
    const int g = m_gridSize;
    if (!m_snapToGrid || g < 2)
        return minimum;
    return (minimum + g - 1) / g * g;
}

int DashCanvas::snapWithin(int value, int upper) const
{
    upper = std::max(upper, 0);
    int v = snap(std::clamp(value, 0, upper));
    // Rounding up may pass the bound: take the last grid line inside it.
    if (v > upper)
        v = upper - upper % m_gridSize;
    return v;
}

// --- selection ----------------------------------------------------------

int DashCanvas::widgetToSelect(const Hit& hit) const
{
    if (hit.mask < 0)
        return -1;
    const int count = int(m_page->masks[size_t(hit.mask)].widgets.size());
    if (count >= 2)
        return hit.widget;
    // A first press on a one-widget mask takes the mask; the next one, its widget.
    if (count == 1 && hit.mask == m_selectedMask && m_maskArmed)
        return 0;
    return -1;
}

void DashCanvas::mousePressEvent(QMouseEvent* event)
{
    dropFrame(); // a gesture may change what the kept frame shows
    if (!m_page || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    event->accept();

    const int handle = handleAt(pos);
    if (handle != 0) {
        beginDrag(handle, pos);
        return;
    }

    const Hit hit = hitTest(pos);
    const int ws = widgetToSelect(hit);
    m_maskArmed = hit.mask != -1;
    bool changed = false;
    if (hit.mask != m_selectedMask) {
        m_selectedMask = hit.mask;
        m_selectedWidget = ws;
        m_multiSelection.clear();
        changed = true;
        Q_EMIT elementSelected(hit.mask);
    } else if (ws != m_selectedWidget) {
        m_selectedWidget = ws;
        m_multiSelection.clear();
        changed = true;
    }
    if (changed) {
        Q_EMIT widgetSelected(hit.mask, ws);
        refresh();
    }
    // The handlers of the signals above may have changed the page or the
    // selection; only a press that still hits the selection starts a drag.
    if (hit.mask != -1 && m_page && m_selectedMask == hit.mask)
        beginDrag(1, pos);
}

void DashCanvas::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_page) {
        QWidget::contextMenuEvent(event);
        return;
    }
    // The owner opens a menu that takes the mouse: a drag cannot outlive it.
    cancelDrag();
    const Hit hit = hitTest(event->pos());
    const int ws = widgetToSelect(hit);
    if (hit.mask != m_selectedMask || ws != m_selectedWidget) {
        m_selectedMask = hit.mask;
        m_selectedWidget = ws;
        m_multiSelection.clear();
        if (hit.mask != -1) {
            Q_EMIT elementSelected(hit.mask);
            Q_EMIT widgetSelected(hit.mask, ws);
        } else {
            // Nothing under the pointer: the views must drop what they show.
            Q_EMIT selectionChanged();
        }
        refresh();
    }
    const double s = viewScale();
    const QPointF o = pageOrigin();
    const QPoint pagePoint(int((event->pos().x() - o.x()) / s), int((event->pos().y() - o.y()) / s));
    Q_EMIT contextMenuRequested(hit.mask, ws, event->globalPos(), pagePoint);
    event->accept();
}

// A key that may run a window action (Delete, Undo, Save ...) ends a running
// drag at its start geometry first, as the context menu does: the action
// must see the model as the undo history has it, never a half-dragged mask.
// Modifier keys alone leave the drag running.
bool DashCanvas::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && m_dragMode != 0) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Alt && key != Qt::Key_Meta
            && key != Qt::Key_AltGr)
            cancelDrag();
    }
    return QWidget::event(event);
}

void DashCanvas::keyPressEvent(QKeyEvent* event)
{
    dropFrame(); // a gesture may change what the kept frame shows
    const bool deleteKey = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
    if (deleteKey)
        cancelDrag();
    const bool maskSelected = m_page && m_selectedMask >= 0 && m_selectedMask < int(m_page->masks.size());
    // Both keys name the selected mask; the owner deletes what is selected
    // in it, a selected widget alone.
    if (!deleteKey || !maskSelected) {
        QWidget::keyPressEvent(event);
        return;
    }
    Q_EMIT deleteRequested(m_selectedMask);
    event->accept();
}

// --- dragging -----------------------------------------------------------

int DashCanvas::shownPageIndex() const
{
    if (!config || !m_page)
        return -1;
    for (int i = 0; i < config->pageCount(); ++i) {
        if (config->page(i) == m_page)
            return i;
    }
    return -1;
}

void DashCanvas::beginDrag(int mode, const QPoint& pos)
{
    const bool maskValid = m_page && m_selectedMask >= 0 && m_selectedMask < int(m_page->masks.size());
    if (!maskValid)
        return;
    const MaskElement& mask = m_page->masks[size_t(m_selectedMask)];
    const bool widgetValid = m_selectedWidget >= 0 && m_selectedWidget < int(mask.widgets.size());
    m_dragMode = mode;
    m_dragStartPos = pos;
    m_dragMask = m_selectedMask;
    m_dragWidget = widgetValid ? m_selectedWidget : -1;
    m_dragMaskNode = mask.node;
    m_dragWidgetNode = widgetValid ? mask.widgets[size_t(m_selectedWidget)].node : pugi::xml_node();
    m_dragOrigin = widgetValid ? geometryOf(mask.widgets[size_t(m_selectedWidget)]) : geometryOf(mask);
    m_dragStartX = m_dragOrigin.x();
    m_dragStartY = m_dragOrigin.y();
    m_dragStartW = m_dragOrigin.width();
    m_dragStartH = m_dragOrigin.height();
    m_dragStartSized = false;
}

// The record found at the press, while it is still there: the shown page
// still belongs to the configuration and the mask (and widget) at the
// remembered indices still stand for the same XML elements.
MaskElement* DashCanvas::dragMaskRecord() const
{
    if (m_dragMode == 0 || !m_page || m_dragMask < 0)
        return nullptr;
    if (config && shownPageIndex() < 0)
        return nullptr;
    if (m_dragMask >= int(m_page->masks.size()))
        return nullptr;
    MaskElement& mask = m_page->masks[size_t(m_dragMask)];
    if (mask.node != m_dragMaskNode)
        return nullptr;
    if (m_dragWidget >= 0
        && (m_dragWidget >= int(mask.widgets.size()) || mask.widgets[size_t(m_dragWidget)].node != m_dragWidgetNode))
        return nullptr;
    return &mask;
}

WidgetModel* DashCanvas::dragWidgetRecord() const
{
    MaskElement* mask = dragMaskRecord();
    if (!mask || m_dragWidget < 0)
        return nullptr;
    return &mask->widgets[size_t(m_dragWidget)];
}

bool DashCanvas::dragTargetSelected() const
{
    if (m_selectedMask != m_dragMask)
        return false;
    if (m_dragWidget >= 0)
        return m_selectedWidget == m_dragWidget;
    const MaskElement& mask = m_page->masks[size_t(m_dragMask)];
    return m_selectedWidget < 0 || m_selectedWidget >= int(mask.widgets.size());
}

void DashCanvas::mouseMoveEvent(QMouseEvent* event)
{
    dropFrame(); // a gesture may change what the kept frame shows
    if (!m_page || m_dragMode == 0) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    MaskElement* mask = dragMaskRecord();
    // A release taken by a popup, or a selection changed from elsewhere,
    // ends the drag where it started.
    if (!(event->buttons() & Qt::LeftButton) || !mask || !dragTargetSelected()) {
        cancelDrag();
        return;
    }
    const double s = viewScale();
    if (s <= 0.0)
        return;
    const QPoint pos = event->position().toPoint();
    const int dx = int((pos.x() - m_dragStartPos.x()) / s);
    const int dy = int((pos.y() - m_dragStartPos.y()) / s);
    if (m_dragWidget >= 0) {
        WidgetModel& widget = mask->widgets[size_t(m_dragWidget)];
        dragWidget(*mask, widget, dx, dy);
        // Found at the first step that changes anything, so a click that
        // only selects says nothing; the drag ends where it started.
        const QString refusal = barWidgetGeometryRefusal(config, mask->node, widget.node);
        if (!refusal.isEmpty() && geometryOf(widget) != m_dragOrigin) {
            cancelDrag();
            Q_EMIT editRefused(refusal);
            event->accept();
            return;
        }
    } else
        dragMask(*mask, dx, dy);
    event->accept();
    refresh();
}

// Every step starts again from the geometry at the press. Clamps come
// first, then the snap; a snapped position never passes its bound and a
// snapped size never drops below the minimum (a size of 0 means "unsized"
// to the firmware and must not come out of a drag).
void DashCanvas::dragMask(MaskElement& mask, int dx, int dy)
{
    const int sx = m_dragStartX, sy = m_dragStartY, sw = m_dragStartW, sh = m_dragStartH;
    int x = sx, y = sy, w = sw, h = sh;
    const int pageW = m_page->width;
    const int pageH = m_page->height;
    if (m_dragMode == 1) {
        x = snapWithin(sx + dx, pageW - kMoveMargin);
        y = snapWithin(sy + dy, pageH - kMoveMargin);
    } else {
        const int minSize = snapMinimum(kMinMaskSize);
        if (movesLeftEdge(m_dragMode) && sx + sw - kMinMaskSize >= 0) {
            x = snapWithin(sx + dx, sx + sw - kMinMaskSize);
            w = sw + sx - x;
        }
        if (movesRightEdge(m_dragMode)) {
            w = snap(std::max(sw + dx, kMinMaskSize));
            if (x + w > pageW)
                w = pageW - x;
            w = std::max(w, minSize);
        }
        if (movesTopEdge(m_dragMode) && sy + sh - kMinMaskSize >= 0) {
            y = snapWithin(sy + dy, sy + sh - kMinMaskSize);
            h = sh + sy - y;
        }
        if (movesBottomEdge(m_dragMode)) {
            h = snap(std::max(sh + dy, kMinMaskSize));
            if (y + h > pageH)
                h = pageH - y;
            h = std::max(h, minSize);
        }
    }
    writeGeometry(mask, QRect(x, y, w, h));
}

void DashCanvas::dragWidget(const MaskElement& mask, WidgetModel& widget, int dx, int dy)
{
    if (m_dragMode != 1 && !m_dragStartSized) {
        // An unsized widget takes a start size as the resize begins.
        m_dragStartSized = true;
        const int c = widget.charsetPx > 0 ? widget.charsetPx : 12;
        if (m_dragStartH <= 0)
            m_dragStartH = std::max(int(c * 1.2), 8);
        if (m_dragStartW <= 0)
            m_dragStartW = std::max(3 * c, 20);
    }
    const int sx = m_dragStartX, sy = m_dragStartY, sw = m_dragStartW, sh = m_dragStartH;
    int x = sx, y = sy, w = sw, h = sh;
    if (m_dragMode == 1) {
        // Mask-relative: the widget lands on the grid only when its mask does.
        x = snapWithin(sx + dx, mask.w - kMoveMargin);
        y = snapWithin(sy + dy, mask.h - kMoveMargin);
    } else {
        const int minSize = snapMinimum(kMinWidgetSize);
        if (movesLeftEdge(m_dragMode) && sx + sw - kMinWidgetSize >= 0) {
            x = snapWithin(sx + dx, sx + sw - kMinWidgetSize);
            w = sx - x + sw;
        }
        if (movesRightEdge(m_dragMode))
            w = std::max(snap(std::max(sw + dx, kMinWidgetSize)), minSize);
        if (movesTopEdge(m_dragMode) && sy + sh - kMinWidgetSize >= 0) {
            y = snapWithin(sy + dy, sy + sh - kMinWidgetSize);
            h = sy - y + sh;
        }
        if (movesBottomEdge(m_dragMode))
            h = std::max(snap(std::max(sh + dy, kMinWidgetSize)), minSize);
    }
    writeGeometry(widget, QRect(x, y, w, h));
}

void DashCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    dropFrame(); // a gesture may change what the kept frame shows
    if (m_dragMode == 0) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (!m_page || event->button() != Qt::LeftButton) {
        // Another button ends the drag without an undo step.
        cancelDrag();
        return;
    }
    finishDrag();
}

void DashCanvas::finishDrag()
{
    MaskElement* mask = dragMaskRecord();
    if (!mask || !dragTargetSelected()) {
        cancelDrag();
        return;
    }
    const int mode = m_dragMode;
    const int maskIndex = m_dragMask;
    const int widgetIndex = m_dragWidget;
    const QRect origin = m_dragOrigin;
    WidgetModel* widget = widgetIndex >= 0 ? &mask->widgets[size_t(widgetIndex)] : nullptr;
    const QRect reached = widget ? geometryOf(*widget) : geometryOf(*mask);

    // The record goes back to the start in every case: the pushed command
    // writes the new geometry into the record and the XML together, and
    // without a command the two must not disagree.
    if (widget)
        writeGeometry(*widget, origin);
    else
        writeGeometry(*mask, origin);
    m_dragMode = 0;
    refresh();
    if (reached == origin || !m_undoStack)
        return;

    const int pageIndex = config ? shownPageIndex() : m_page->index;
    if (config && pageIndex < 0)
        return;
    if (widget) {
        m_undoStack->push(new WidgetMoveCommand(widget, mask, origin.x(), origin.y(), origin.width(),
                                                origin.height(), reached.x(), reached.y(), reached.width(),
                                                reached.height(), config, pageIndex, maskIndex, widgetIndex));
    } else {
        if (!config)
            return; // a mask command needs the configuration to find its mask
        // A handle resizes as the panel's fields do: the children and the
        // art follow the new size.
        MoveCommand* command = maskResizeCommand(config, pageIndex, maskIndex, origin, reached);
        if (!command)
            return;
        m_undoStack->push(command);
    }

    // Pushing may have rebuilt the page's records: read the result afresh
    // and tell only of a change that happened.
    PageModel* page = config ? config->page(pageIndex) : m_page;
    if (!page || maskIndex >= int(page->masks.size()))
        return;
    const MaskElement& moved = page->masks[size_t(maskIndex)];
    if (widgetIndex >= 0) {
        if (widgetIndex >= int(moved.widgets.size()))
            return;
        const WidgetModel& w = moved.widgets[size_t(widgetIndex)];
        if (geometryOf(w) == origin)
            return;
        if (mode == 1)
            Q_EMIT widgetMoved(maskIndex, widgetIndex, w.x, w.y);
        else
            Q_EMIT widgetResized(maskIndex, widgetIndex, w.w, w.h);
    } else {
        if (geometryOf(moved) == origin)
            return;
        if (mode == 1)
            Q_EMIT elementMoved(maskIndex, moved.x, moved.y);
        else
            Q_EMIT elementResized(maskIndex, moved.w, moved.h);
    }
}

void DashCanvas::cancelDrag()
{
    if (m_dragMode == 0)
        return;
    if (WidgetModel* widget = dragWidgetRecord())
        writeGeometry(*widget, m_dragOrigin);
    else if (m_dragWidget < 0) {
        if (MaskElement* mask = dragMaskRecord())
            writeGeometry(*mask, m_dragOrigin);
    }
    m_dragMode = 0;
    refresh();
}
