// Copying widgets into the editor's own clipboard and pasting them into a
// mask of whatever configuration is open.
#include "window/MainWindow.h"
#include "window/WidgetClipboard.h"

#include "artwork/PastedArt.h"
#include "artwork/BarShape.h"
#include "canvas/DashCanvas.h"
#include "editing/AxisMergeCommand.h"
#include "editing/MaskAddCommand.h"
#include "editing/PasteArtCommand.h"
#include "editing/UndoMacroGuard.h"
#include "editing/UniqueMaskName.h"
#include "editing/WidgetAddCommand.h"
#include "model/DeviceTables.h"
#include "model/WidgetGeometry.h"
#include "model/XmlParams.h"
#include "panels/PropertyPanel.h"

#include <QPoint>
#include <QSet>
#include <QStatusBar>
#include <QUndoStack>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

enum class PasteMode { Offset, ScreenPosition, TopLeft, IntoMask };

struct Placement {
    int dx = 10;
    int dy = 10;
    PasteMode mode = PasteMode::Offset;
    // Per node: added to (dx, dy) for a member moved on its own into the
    // mask, and whether the mask still shows nothing of it.
    std::vector<QPoint> own;
    std::vector<bool> outside;
};

// The Axis copies that the widgets' first AXIS_REF names, in clipboard order.
std::vector<pugi::xml_node> referencedAxes(const WidgetClipboard& clip, const std::vector<pugi::xml_node>& nodes)
{
    QSet<QString> refs;
    for (const pugi::xml_node node : nodes) {
        if (node)
            refs.insert(QString::fromUtf8(paramValue(node, "AXIS_REF")));
    }
    std::vector<pugi::xml_node> axes;
    for (const pugi::xml_node axis : collectClipboardNodes(clip.axisEntries)) {
        if (axis && refs.contains(QString::fromUtf8(axis.attribute("i").value())))
            axes.push_back(axis);
    }
    return axes;
}

// The bare picture names the widgets use, each once, in order.
QStringList pictureNames(const std::vector<pugi::xml_node>& nodes)
{
    QStringList refs;
    for (const pugi::xml_node node : nodes) {
        for (const QString& ref : DashConfig::collectWidgetAssetReferences(node)) {
            if (!refs.contains(ref))
                refs << ref;
        }
    }
    return refs;
}

// Two art folder texts that name one folder: RaceStudio 3 reads them
// relative to the overlay root, with or without the prefix and the
// closing slash, and ignores letter case.
bool sameArtFolder(QString a, QString b)
{
    if (a.trimmed().isEmpty() || b.trimmed().isEmpty())
        return false;
    return overlayRelativeFolder(a).compare(overlayRelativeFolder(b), Qt::CaseInsensitive) == 0;
}

// A folder of the editor's homebrew set: its art belongs to the element it
// was made for.
bool isHomebrewArtFolder(const QString& rel)
{
    return rel.contains(QLatin1String("/s04_homebrew/"));
}

// Edges of a group of widgets, relative to their mask's top-left.
struct GroupBox {
    qint64 left = 0;
    qint64 top = 0;
    qint64 right = 0;
    qint64 bottom = 0;
};

// The copied widgets' box as they would be drawn in the target mask: each
// widget's rectangle with its POS_ALIGN anchor applied, as the canvas draws
// it there (a "b" YPOS is the bottom edge). False when none was measured.
bool measureGroup(const MaskElement& target, const std::vector<pugi::xml_node>& nodes, GroupBox& box)
{
    bool measured = false;
    for (const pugi::xml_node node : nodes) {
        if (!node)
            continue;
        const QRectF drawn = widgetPageRect(target, readWidgetElement(node));
        const qint64 left = qint64(drawn.left()) - target.x;
        const qint64 top = qint64(drawn.top()) - target.y;
        const qint64 right = left + qint64(drawn.width());
        const qint64 bottom = top + qint64(drawn.height());
        box.left = measured ? std::min(box.left, left) : left;
        box.top = measured ? std::min(box.top, top) : top;
        box.right = measured ? std::max(box.right, right) : right;
        box.bottom = measured ? std::max(box.bottom, bottom) : bottom;
        measured = true;
    }
    return measured;
}

// Where a span that starts at `start` must start to lie on [0, extent]; a
// span longer than that starts at 0.
qint64 ontoDisplay(qint64 start, qint64 length, int extent)
{
    return std::max<qint64>(std::min(start, qint64(extent) - length), 0);
}

int clampedInt(qint64 v)
{
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// True when the mask shows nothing of a widget drawn at `drawn`. A widget
// without a size counts as drawn where its corner lies.
bool drawnOutside(const MaskElement& target, const QRectF& drawn)
{
    if (target.w <= 0 || target.h <= 0)
        return false;
    const QRectF mask(target.x, target.y, target.w, target.h);
    return drawn.isEmpty() ? !mask.contains(drawn.topLeft()) : !mask.intersects(drawn);
}

// True when one of the widgets, moved by (dx, dy), would be drawn wholly
// outside the mask, which shows nothing of it there.
bool anyDrawnOutside(const MaskElement& target, const std::vector<pugi::xml_node>& nodes, int dx, int dy)
{
    return std::any_of(nodes.begin(), nodes.end(), [&](pugi::xml_node node) {
        return node && drawnOutside(target, widgetPageRect(target, readWidgetElement(node)).translated(dx, dy));
    });
}

// Where a span must start to lie within the mask's span, as near `start` as
// it can; one longer than the mask covers it.
qint64 intoMask(qint64 start, qint64 length, qint64 maskStart, qint64 maskLength)
{
    const qint64 last = maskStart + maskLength - length;
    return length <= maskLength ? std::clamp(start, maskStart, last) : std::clamp(start, last, maskStart);
}

// A group moved to the mask's corner may still be larger than the mask, or
// be moved back onto the display past it: each member is moved on its own
// to lie within the mask; one the mask still shows nothing of is marked.
void fitMembersIntoMask(const MaskElement& target, const std::vector<pugi::xml_node>& nodes, const QSize& display,
                        Placement& place)
{
    for (const pugi::xml_node node : nodes) {
        place.own.emplace_back(0, 0);
        place.outside.push_back(false);
        if (!node || target.w <= 0 || target.h <= 0)
            continue;
        const QRectF drawn = widgetPageRect(target, readWidgetElement(node)).translated(place.dx, place.dy);
        const qint64 left = qint64(drawn.left());
        const qint64 top = qint64(drawn.top());
        const qint64 width = qint64(drawn.width());
        const qint64 height = qint64(drawn.height());
        const qint64 x = ontoDisplay(intoMask(left, width, target.x, target.w), width, display.width());
        const qint64 y = ontoDisplay(intoMask(top, height, target.y, target.h), height, display.height());
        place.own.back() = QPoint(clampedInt(x - left), clampedInt(y - top));
        place.outside.back() = drawnOutside(target, drawn.translated(place.own.back()));
    }
}

// Back into the mask they came from: a step aside. Elsewhere: where they
// were on screen, or at the mask's top-left when that would leave the
// display the target page is shown on, or leave one of them where the mask
// draws nothing of it. Whatever the mode, the widgets end on that display.
Placement placementFor(const WidgetClipboard& clip, const MaskElement& target, const std::vector<pugi::xml_node>& nodes,
                       const QSize& display)
{
    Placement place;
    if (clip.hasSource
        && !(target.id == clip.sourceMaskId && target.x == clip.sourceMaskX && target.y == clip.sourceMaskY)) {
        place.dx = clampedInt(qint64(clip.sourceMaskX) - target.x);
        place.dy = clampedInt(qint64(clip.sourceMaskY) - target.y);
        place.mode = PasteMode::ScreenPosition;
    }
    GroupBox box;
    if (!measureGroup(target, nodes, box))
        return place;
    const qint64 width = box.right - box.left;
    const qint64 height = box.bottom - box.top;
    qint64 left = qint64(target.x) + place.dx + box.left;
    qint64 top = qint64(target.y) + place.dy + box.top;
    if (place.mode == PasteMode::ScreenPosition) {
        if (ontoDisplay(left, width, display.width()) != left || ontoDisplay(top, height, display.height()) != top)
            place.mode = PasteMode::TopLeft;
        else if (anyDrawnOutside(target, nodes, place.dx, place.dy))
            place.mode = PasteMode::IntoMask;
    }
    if (place.mode == PasteMode::TopLeft || place.mode == PasteMode::IntoMask) {
        left = target.x;
        top = target.y;
    }
    place.dx = clampedInt(ontoDisplay(left, width, display.width()) - target.x - box.left);
    place.dy = clampedInt(ontoDisplay(top, height, display.height()) - target.y - box.top);
    if (place.mode == PasteMode::TopLeft || place.mode == PasteMode::IntoMask)
        fitMembersIntoMask(target, nodes, display, place);
    return place;
}

} // namespace

void MainWindow::copyWidget()
{
    const int maskIndex = canvas->selectedMask();
    const int widgetIndex = canvas->selectedWidget();
    if (maskIndex < 0 || widgetIndex < 0) {
        statusBar()->showMessage(tr("Select a widget first to copy it"), 2000);
        return;
    }
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask || widgetIndex >= int(mask->widgets.size()))
        return;
    QList<int> indices = canvas->multiSelection().values();
    const bool group = !indices.isEmpty();
    if (!group)
        indices = {widgetIndex};
    std::sort(indices.begin(), indices.end());

    WidgetClipboard::Documents copies;
    QStringList axisIds;
    for (const int index : indices) {
        auto doc = std::make_unique<pugi::xml_document>();
        if (index < 0 || index >= int(mask->widgets.size())
            || !config.copyWidgetXml(currentPage, maskIndex, index, *doc))
            continue;
        copies.push_back(std::move(doc));
        const QString ref = mask->widgets[size_t(index)].axisRef;
        if (!ref.isEmpty() && !axisIds.contains(ref))
            axisIds << ref;
    }
    if (copies.empty()) {
        // The clipboard keeps what it held.
        statusBar()->showMessage(tr("Copy failed"), 2000);
        return;
    }

    WidgetClipboard& clip = widgetClipboard();
    clip.clear();
    clip.entries = std::move(copies);
    clip.sourceDeviceFolder = overlayFolderForDeviceName(config.deviceName);
    clip.sourceMaskX = mask->x;
    clip.sourceMaskY = mask->y;
    clip.sourceMaskId = mask->id;
    const QSize display = config.pageDisplaySize(currentPage);
    clip.sourceDisplayWidth = display.width();
    clip.sourceDisplayHeight = display.height();
    clip.hasSource = true;
    collectMaskArtFiles(*mask, axisIds);
    if (group)
        statusBar()->showMessage(tr("Copied %1 widgets -- Ctrl+V to paste").arg(clip.entries.size()), 2500);
    else
        statusBar()->showMessage(
            tr("Copied widget %1 -- Ctrl+V to paste").arg(mask->widgets[size_t(widgetIndex)].id), 2500);
}

void MainWindow::collectMaskArtFiles(const MaskElement& mask, const QStringList& axisIds)
{
    WidgetClipboard& clip = widgetClipboard();
    QString art[4];
    static const char* const names[4] = {"PATH_REL_AiM_MASK", "PATH_IMAGE", "PATH_IMAGE_PRW", "PATH_MASK_FW"};
    WidgetClipboard::Documents axes;
    if (mask.node) {
        for (pugi::xml_node p = mask.node.child("p"); p; p = p.next_sibling("p")) {
            for (int i = 0; i < 4; ++i) {
                if (std::strcmp(p.attribute("n").value(), names[i]) == 0)
                    art[i] = QString::fromUtf8(p.text().get());
            }
        }
        QSet<QString> seen;
        for (pugi::xml_node e = mask.node.child("e"); e; e = e.next_sibling("e")) {
            const QString id = QString::fromUtf8(e.attribute("i").value());
            if (!hasClass(e, "Axis") || !axisIds.contains(id) || seen.contains(id))
                continue;
            seen.insert(id);
            auto doc = std::make_unique<pugi::xml_document>();
            doc->append_copy(e);
            axes.push_back(std::move(doc));
        }
    }
    clip.maskPathRel = art[0];
    clip.maskImage = art[1];
    clip.maskImagePrw = art[2];
    clip.maskFw = art[3];
    clip.hasMaskArt = !art[0].isEmpty() || !art[1].isEmpty() || !art[2].isEmpty() || !art[3].isEmpty();
    clip.axisEntries = std::move(axes);
}

void MainWindow::pasteWidget()
{
    const WidgetClipboard& clip = widgetClipboard();
    if (clip.isEmpty()) {
        statusBar()->showMessage(tr("Widget clipboard is empty -- copy a widget first"), 2000);
        return;
    }
    const PageModel* page = config.page(currentPage);
    if (!page) {
        statusBar()->showMessage(tr("No page selected"), 2000);
        return;
    }
    int target = canvas->selectedMask();
    if (target < 0)
        target = page->masks.empty() ? -1 : 0;
    const std::vector<pugi::xml_node> nodes = collectClipboardNodes(clip.entries);
    if (nodes.empty())
        return;
    if (const MaskElement* into = config.maskAt(currentPage, target)) {
        const Placement place = placementFor(clip, *into, nodes, config.pageDisplaySize(currentPage));
        for (size_t i = 0; i < nodes.size(); ++i) {
            const QPoint own = i < place.own.size() ? place.own[i] : QPoint();
            const QString refusal =
                widgetAddRefusal(&config, into->node, DashCanvas::isBargraph(nodes[i]),
                                 addedWidgetRect(nodes[i], QPoint(place.dx + own.x(), place.dy + own.y())));
            if (!refusal.isEmpty()) {
                statusBar()->showMessage(refusal, 8000);
                return;
            }
        }
    }
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);

    const bool newMask = target < 0;
    PasteOutcome outcome;
    config.artState.notes.clear();
    if (!pasteIntoMask(nodes, target, outcome))
        return;
    config.propagateBarAxisRefs(currentPage, target);
    canvas->setSelectedWidget(outcome.firstIndex);

    const int n = outcome.pasted;
    const QStringList missing = missingPastedPictures(nodes, target, outcome);
    if (!missing.isEmpty())
        statusBar()->showMessage(tr("Pasted %1 widget(s) into mask %2 -- pictures not found in any install: %3. "
                                    "Check config lists them.")
                                     .arg(n)
                                     .arg(outcome.maskId, missing.join(QStringLiteral(", "))),
                                 8000);
    else if (!outcome.outside.isEmpty())
        statusBar()->showMessage(tr("Pasted %1 widget(s) into mask %2 -- it shows nothing of %3: the mask is too "
                                    "small or lies off the display.")
                                     .arg(n)
                                     .arg(outcome.maskId, outcome.outside.join(QStringLiteral(", "))),
                                 5000);
    else if (newMask)
        statusBar()->showMessage(tr("Created new mask and pasted %1 widget(s).").arg(n), 3500);
    else if (outcome.mode == int(PasteMode::TopLeft))
        statusBar()->showMessage(
            tr("Pasted %1 widget(s) -- destination canvas too small, translated to top-left.").arg(n), 3500);
    else if (outcome.mode == int(PasteMode::IntoMask))
        statusBar()->showMessage(tr("Pasted %1 widget(s) at the top-left of mask %2 -- at their screen position "
                                    "they would lie outside it.")
                                     .arg(n)
                                     .arg(outcome.maskId),
                                 3500);
    else if (outcome.mode == int(PasteMode::ScreenPosition))
        statusBar()->showMessage(tr("Pasted %1 widget(s) at original screen position.").arg(n), 2500);
    else if (n == 1)
        statusBar()->showMessage(tr("Pasted widget -- offset (+10,+10)"), 2500);
    else
        statusBar()->showMessage(tr("Pasted %1 widgets -- offset (+10,+10)").arg(n), 2500);
    reportArtCopyNotes(tr("Paste Widget"));
}

// The undoable part of a paste, as one macro: the new mask (target -1), then
// one widget command per copied widget. A paste that adds nothing leaves the
// history as it was.
bool MainWindow::pasteIntoMask(const std::vector<pugi::xml_node>& nodes, int& target, PasteOutcome& outcome)
{
    const WidgetClipboard& clip = widgetClipboard();
    const std::vector<pugi::xml_node> axes = referencedAxes(clip, nodes);
    QString text = nodes.size() == 1 ? tr("Paste widget") : tr("Paste %1 widgets").arg(nodes.size());
    if (target < 0)
        text = tr("Paste into new mask");
    UndoMacroGuard macro(undoStack, text);

    QHash<QString, QString> idMap;
    const bool newMask = target < 0;
    if (newMask) {
        const PageModel* page = config.page(currentPage);
        const QString name = page ? uniqueMaskName(page->masks, QStringLiteral("auto_mask")) : QStringLiteral("auto_mask.1");
        const bool fromArt = clip.hasMaskArt || !clip.axisEntries.empty();
        undoStack->push(new MaskAddCommand(&config, currentPage, name, fromArt, clip.maskPathRel, clip.maskImage,
                                           clip.maskImagePrw, clip.maskFw, axes, &target));
        if (target < 0) {
            macro.discard();
            statusBar()->showMessage(tr("Paste failed -- could not create mask"), 2500);
            return false;
        }
    } else if (!clip.axisEntries.empty()) {
        // Part of the paste's step, so undoing the paste takes the channel
        // elements out again; only the pasted copies are pointed at renamed
        // channel elements, never the clipboard, so a later paste elsewhere
        // starts from the copied ids.
        undoStack->push(new AxisMergeCommand(&config, currentPage, target, axes, &idMap));
    }
    if (!pastePictures(nodes, target, newMask, outcome.renamed)) {
        macro.discard();
        return false;
    }
    const QHash<QString, QString>& renamed = outcome.renamed;
    const MaskElement* mask = config.maskAt(currentPage, target);
    if (!mask) {
        macro.discard();
        return false;
    }
    canvas->setSelectedMask(target);
    const Placement place = placementFor(clip, *mask, nodes, config.pageDisplaySize(currentPage));
    outcome.mode = int(place.mode);
    outcome.maskId = mask->id;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const pugi::xml_node node = nodes[i];
        if (!node)
            continue;
        const QPoint own = i < place.own.size() ? place.own[i] : QPoint();
        // The pictures the mask's own item uses under the same names went in
        // under names of their own.
        pugi::xml_document renamedCopy;
        pugi::xml_node widget = node;
        if (!renamed.isEmpty()) {
            widget = renamedCopy.append_copy(node);
            DashConfig::renameWidgetAssetReferences(widget, renamed);
        }
        int created = -1;
        auto* command = new WidgetAddCommand(&config, currentPage, target, clampedInt(qint64(place.dx) + own.x()),
                                             clampedInt(qint64(place.dy) + own.y()), widget, tr("Paste widget"),
                                             &created);
        command->remapAxisRef(idMap);
        undoStack->push(command);
        if (created < 0)
            continue;
        // Named as the mask now has it: a taken id was numbered anew.
        const WidgetModel* pasted = config.widgetAt(currentPage, target, created);
        if (pasted && i < place.outside.size() && place.outside[i])
            outcome.outside << pasted->id;
        ++outcome.pasted;
        if (outcome.firstIndex < 0)
            outcome.firstIndex = created;
    }
    if (outcome.pasted == 0) {
        macro.discard();
        statusBar()->showMessage(tr("Paste failed"), 2000);
        return false;
    }
    return true;
}

// Widgets name some pictures relative to their mask's art folder: a mask
// drawn from another folder needs those files beside its own art. They are
// only added where they are lacking: a stock item, or a folder that holds
// other pictures of those names, is left as it is and the mask gets an item
// of its own (PastedArt), as does a mask with no art folder (it shows what it
// showed) and a new mask built on an art folder of the editor's, which
// belongs to the element it was made for. Nothing is checked beforehand:
// pictures no install holds (a mailed file's) are named once the paste is
// done.
bool MainWindow::pastePictures(const std::vector<pugi::xml_node>& nodes, int target, bool newMask,
                               QHash<QString, QString>& renamed)
{
    const WidgetClipboard& clip = widgetClipboard();
    const MaskElement* mask = config.maskAt(currentPage, target);
    const PageModel* page = config.page(currentPage);
    if (clip.maskPathRel.isEmpty() || !mask || !page)
        return true;
    const QString targetRel = findParamText(mask->node, "PATH_REL_AiM_MASK");
    const bool sameFolder = sameArtFolder(targetRel, clip.maskPathRel);
    if (sameFolder && !(newMask && isHomebrewArtFolder(targetRel)))
        return true;
    const QStringList names = pictureNames(nodes);
    const QString owner = QStringLiteral("%1/%2").arg(currentPage).arg(mask->id);
    PastedArt art;
    QString error;
    bool applied = true;
    if (sameFolder)
        applied = PastedArt::planCopy(clip.maskPathRel, names, config.homebrewSetStem(), owner, art, &error);
    else if (targetRel.trimmed().isEmpty())
        applied = names.isEmpty()
            || PastedArt::planForBareElement(clip.maskPathRel, page->relPagePath, names, config.homebrewSetStem(),
                                             owner, art, &error);
    else
        applied = PastedArt::plan(clip.maskPathRel, targetRel, names, config.homebrewSetStem(), art, &error);
    if (applied && !art.isEmpty())
        undoStack->push(new PasteArtCommand(&config, currentPage, target, art, &applied, &error));
    if (!applied) {
        const QString why = targetRel.trimmed().isEmpty()
            ? tr("Paste refused -- the element has no art folder, and no folder of its own could be made for the "
                 "widgets' pictures: %1")
            : tr("Paste failed -- the widgets' pictures could not be copied: %1");
        statusBar()->showMessage(why.arg(error), 8000);
        return false;
    }
    renamed = art.renamed();
    config.artState.notes << art.leftOut();
    return true;
}

// The pictures the pasted widgets name that the folder their mask now draws
// from lacks in every install: saved, the file names them, so the user is
// told which, as Check config tells.
QStringList MainWindow::missingPastedPictures(const std::vector<pugi::xml_node>& nodes, int target,
                                              const PasteOutcome& outcome) const
{
    const MaskElement* mask = config.maskAt(currentPage, target);
    if (!mask)
        return {};
    QStringList names;
    for (const QString& name : pictureNames(nodes))
        names << outcome.renamed.value(name, name);
    return PastedArt::missingPictures(findParamText(mask->node, "PATH_REL_AiM_MASK"), names);
}
