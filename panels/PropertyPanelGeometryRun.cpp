// A run of steps in a mask's X, Y, Width or Height field: an arrow key held
// or pressed again and again gives a new value each time. The canvas follows
// every step (the mask's record moves, as it does during a drag), but the
// document, the history and the art wait until the value settles: a moment
// without a step, Return, leaving the field, any other gesture (a press, a
// key or a shortcut elsewhere: RunSettleWatch), or anything that shows
// another element, steps the history or saves. Then one move is pushed from where the run started to
// where it ended, and a coloured bar or fitted art is drawn once.
#include "panels/PropertyPanel.h"

#include "editing/MaskResize.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"
#include "panels/RunSettleWatch.h"

#include <QSpinBox>
#include <QTimer>
#include <QUndoStack>

#include <utility>

namespace {

// Long enough for the key's auto-repeat and a user pressing it again.
constexpr int kSettleMs = 600;

QRect rectOf(const MaskElement& m)
{
    return QRect(m.x, m.y, m.w, m.h);
}

void writeRect(MaskElement& m, const QRect& r)
{
    m.x = r.x();
    m.y = r.y();
    m.w = r.width();
    m.h = r.height();
}

} // namespace

void PropertyPanel::followGeometry(int maskIndex, const QRect& typed)
{
    if (geometryRun.mask >= 0 && (geometryRun.page != pageIndex || geometryRun.mask != maskIndex))
        settleGeometry();
    if (!resolveShown() || !mask)
        return;
    if (geometryRun.mask < 0)
        geometryRun = GeometryRun{pageIndex, maskIndex, rectOf(*mask), typed};
    geometryRun.reached = typed;
    writeRect(*mask, typed);
    if (!settleTimer) {
        settleTimer = new QTimer(this);
        settleTimer->setSingleShot(true);
        connect(settleTimer, &QTimer::timeout, this, [this] { settleGeometry(); });
        settleWatch = new RunSettleWatch({xSpin, ySpin, wSpin, hSpin}, [this] { settleGeometry(); }, this);
    }
    settleTimer->start(kSettleMs);
    settleWatch->start();
}

void PropertyPanel::settleGeometry()
{
    if (settleTimer)
        settleTimer->stop();
    if (settleWatch)
        settleWatch->stop();
    const GeometryRun run = std::exchange(geometryRun, GeometryRun{});
    PageModel* page = run.mask >= 0 && config ? config->page(run.page) : nullptr;
    if (!page || run.mask >= int(page->masks.size()))
        return;
    MaskElement& target = page->masks[size_t(run.mask)];
    // An undo or a reload since read the record again from the document,
    // which the run never touched: the run went with it.
    if (rectOf(target) != run.reached)
        return;
    // The record goes back to the start: the move writes the record and the
    // document together.
    writeRect(target, run.origin);
    if (run.origin == run.reached)
        return;
    MoveCommand* command = maskResizeCommand(config, run.page, run.mask, run.origin, run.reached);
    if (!command)
        return;
    if (undoStack) {
        undoStack->push(command);
    } else {
        command->redo();
        delete command;
    }
    config->markPageDirty(run.page);
    Q_EMIT geometrySettled();
}
