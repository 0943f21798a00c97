// Element and page actions of the Edit menu, the toolbar and the context
// menus. Each is connected now and does its work once its action is built.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "artwork/ColouredBar.h"
#include "editing/MaskResize.h"
#include "editing/MoveCommand.h"
#include "editing/NormalizeOrdineCommand.h"
#include "editing/ReorderMaskCommand.h"
#include "editing/CheckedPush.h"
#include "editing/SetPageBackgroundCommand.h"
#include "editing/SetTextColorCommand.h"
#include "model/FirmwareFonts.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/XmlParams.h"
#include "panels/Asker.h"
#include "panels/ElementListPanel.h"
#include "panels/PropertyPanel.h"

#include <QImage>
#include <QImageReader>
#include <QStatusBar>
#include <QUndoStack>

#include <algorithm>

void MainWindow::selectAllWidgets()
{
    const PageModel* page = config.page(currentPage);
    if (!page)
        return;
    const int maskCount = int(page->masks.size());
    if (maskCount == 0) {
        statusBar()->showMessage(tr("Select All -- this page has no masks."), 3000);
        return;
    }
    int best = 0;
    for (int i = 1; i < maskCount; ++i) {
        if (page->masks[size_t(i)].widgets.size() > page->masks[size_t(best)].widgets.size())
            best = i;
    }
    if (page->masks[size_t(best)].widgets.empty()) {
        statusBar()->showMessage(tr("Select All -- no widgets on this page."), 3000);
        return;
    }
    int target = canvas->selectedMask();
    if (target < 0 || target >= maskCount || page->masks[size_t(target)].widgets.empty()) {
        canvas->setSelectedMask(best);
        target = best;
    }
    canvas->selectAllWidgets();
    const MaskElement& mask = page->masks[size_t(target)];
    const int widgets = int(mask.widgets.size());
    if (maskCount < 2)
        statusBar()->showMessage(tr("Selected %1 widgets -- Ctrl+C to copy").arg(widgets), 3000);
    else
        statusBar()->showMessage(tr("Selected %1 widgets in mask \"%2\" (page has %3 masks -- Ctrl+A targets the "
                                    "one with most widgets)")
                                     .arg(QString::number(widgets), mask.id, QString::number(maskCount)),
                                 5000);
}

void MainWindow::setPageBackground()
{
    const PageModel* page = config.page(currentPage);
    if (!page)
        return;
    const QString file = Asker::instance().openFileName(this, tr("Choose a background image"), QString(),
                                                        tr("Images (*.png *.jpg *.jpeg *.bmp)"));
    if (file.isEmpty())
        return;
    const QImage image(file);
    if (image.isNull()) {
        Asker::instance().warning(this, tr("Set page background"), tr("That file could not be read as an image."));
        return;
    }
    if (image.width() != page->width || image.height() != page->height) {
        const QString text = tr("This page is %1 x %2, and the image is %3 x %4.\n\nIt will be resized to fit, which "
                                "will stretch it if the shape is different. Continue?")
                                 .arg(page->width)
                                 .arg(page->height)
                                 .arg(image.width())
                                 .arg(image.height());
        if (Asker::instance().question(this, tr("Resize the image?"), text, QMessageBox::Yes | QMessageBox::No,
                                       QMessageBox::Yes)
            != QMessageBox::Yes)
            return;
    }
    QString error = tr("The background could not be set.");
    auto* command = new SetPageBackgroundCommand(&config, currentPage, file, &error);
    command->setText(tr("Set page background"));
    if (!pushChecked(*undoStack, command, [&error] { return error.isEmpty(); })) {
        Asker::instance().warning(this, tr("Set page background"), error);
        return;
    }
    PageModel* shown = config.page(currentPage);
    canvas->setPage(shown);
    elementList->populate(shown);
    config.markPageDirty(currentPage);
    statusBar()->showMessage(tr("Background set. It is stored with your RaceStudio 3 install, so Export Install "
                                "Bundle is what carries it to another machine."),
                             8000);
}

void MainWindow::bindWidgetToChannel(const ChannelInfo& channel)
{
    if (!rebindSelection(channel))
        return;
    const QString name = channel.longName.isEmpty() ? channel.shortName : channel.longName;
    statusBar()->showMessage(tr("Bound to \"%1\"").arg(name), 2500);
}

void MainWindow::sendToBack()
{
    const int maskIndex = canvas->selectedMask();
    if (maskIndex < 0) {
        statusBar()->showMessage(tr("Select a mask first"), 2000);
        return;
    }
    PageModel* page = config.page(currentPage);
    if (!page || page->masks.empty() || maskIndex >= int(page->masks.size()))
        return;
    const int order = config.maskOrder(currentPage, maskIndex);
    const bool atBack = order >= 0 && order == config.minOrdine(currentPage);
    if (maskIndex == 0) {
        if (atBack) {
            statusBar()->showMessage(tr("Already at back"), 1500);
            return;
        }
        undoStack->push(new NormalizeOrdineCommand(&config, currentPage, tr("Send to back")));
        canvas->setPage(page);
        elementList->populate(page);
        statusBar()->showMessage(tr("Sent to back"), 1500);
        return;
    }
    const QString id = page->masks[size_t(maskIndex)].id;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    undoStack->push(
        new ReorderMaskCommand(&config, currentPage, maskIndex, 0, tr("Send \"%1\" to back").arg(id)));
    canvas->setPage(page);
    elementList->populate(page);
    selectMask(0);
    statusBar()->showMessage(tr("Sent \"%1\" to back").arg(id), 2000);
}

namespace {

// "0xAARRGGBB" as stored; opaque white when the text is missing or not hex.
QColor colourFromStored(const QString& stored)
{
    bool ok = false;
    const uint v = stored.mid(2).toUInt(&ok, 16);
    if (stored.isEmpty() || !ok)
        return QColor(255, 255, 255);
    return QColor(int((v >> 16) & 255), int((v >> 8) & 255), int(v & 255), int(v >> 24));
}

} // namespace

void MainWindow::pickTextColour(int maskIndex, int widgetIndex)
{
    // A widget beyond the page would get an undo step that changes nothing.
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (currentPage < 0 || !mask || widgetIndex < 0 || widgetIndex >= int(mask->widgets.size()))
        return;
    const QString old = config.textColour(currentPage, maskIndex, widgetIndex);
    const QColor chosen = Asker::instance().color(this, colourFromStored(old), tr("Text colour"),
                                                  QColorDialog::ShowAlphaChannel);
    if (!chosen.isValid())
        return;
    const QString stored = QStringLiteral("0x%1").arg(chosen.rgba(), 8, 16, QLatin1Char('0'));
    if (stored == old)
        return;
    auto* command = new SetTextColorCommand(&config, currentPage, maskIndex, widgetIndex, old, stored);
    command->setText(tr("Text colour"));
    undoStack->push(command);
    canvas->update();
}

namespace {

// The art's own mask.png under the RS3 root, then the beta root; a null
// picture when none loads. The path comes from the configuration, so it is
// joined through the guard: one that climbs out of the install finds nothing.
QImage canonicalMaskPicture(const QString& rel)
{
    QString folder = rel;
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    for (const QString& root : {raceStudio3Root(), raceStudio3BetaRoot()}) {
        if (root.isEmpty())
            continue;
        const QString path = PathGuard::join(root, folder + QStringLiteral("mask.png"));
        if (path.isEmpty())
            continue;
        const QImage image = SafeRead::readImage(path);
        if (!image.isNull())
            return image;
    }
    return QImage();
}

// The art a mask's stock size is read from: a fit's untouched origin (the
// fitted item has the mask's own size, so it would always say "already"),
// else a coloured bar's stock item, else the art shown.
QString canonicalArtPath(const DashConfig& config, int page, int mask, const QString& shown)
{
    const MaskElement* m = config.maskAt(page, mask);
    const QString fitOrigin = m ? QString::fromUtf8(paramValue(m->node, "DE_FIT_SRC")).trimmed() : QString();
    if (!fitOrigin.isEmpty())
        return fitOrigin;
    const ColouredBar bar = config.colouredBar(page, mask);
    if (bar.coloured && !bar.origin.isEmpty())
        return bar.origin;
    return shown;
}

} // namespace

void MainWindow::snapToCanonicalSize()
{
    const int maskIndex = canvas->selectedMask();
    if (maskIndex < 0) {
        statusBar()->showMessage(tr("Select a widget or mask first"), 2000);
        return;
    }
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask)
        return;
    if (!mask->node) {
        statusBar()->showMessage(tr("No XML node -- cannot resolve canonical size"), 2500);
        return;
    }
    const QString rel = QString::fromUtf8(paramValue(mask->node, "PATH_REL_AiM_MASK")).trimmed();
    if (rel.isEmpty()) {
        statusBar()->showMessage(tr("Mask has no PATH_REL_AiM_MASK -- no canonical size to snap to"), 2500);
        return;
    }
    const QString origin = canonicalArtPath(config, currentPage, maskIndex, rel);
    const QImage picture = canonicalMaskPicture(origin);
    if (picture.width() <= 0 || picture.height() <= 0) {
        statusBar()->showMessage(tr("Could not locate mask.png for canonical size at %1").arg(origin), 3500);
        return;
    }
    const int w = picture.width();
    const int h = picture.height();
    if (w == mask->w && h == mask->h) {
        statusBar()->showMessage(tr("Already at canonical size (%1x%2)").arg(w).arg(h), 2000);
        return;
    }
    const QString id = mask->id;
    const QRect from(mask->x, mask->y, mask->w, mask->h);
    const QRect to(from.topLeft(), QSize(w, h));
    if (MoveCommand* command = maskResizeCommand(&config, currentPage, maskIndex, from, to))
        undoStack->push(command);
    canvas->update();
    propertyPanel->refreshGeometry();
    statusBar()->showMessage(tr("Resized \"%1\" to canonical %2x%3").arg(id, QString::number(w), QString::number(h)), 3000);
}

void MainWindow::snapTextToBundledFont(int maskIndex)
{
    const PageModel* page = config.page(currentPage);
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!page || !mask)
        return;
    const QSet<int> sizes = config.firmwareFontSizes(page->deviceFileIndex);
    if (sizes.isEmpty() || isFontPxAvailable(*mask, sizes, 1))
        return;
    const int px = effectiveFontPx(*mask);
    QList<int> sorted(sizes.begin(), sizes.end());
    std::sort(sorted.begin(), sorted.end());
    QStringList all;
    for (const int size : sorted)
        all << QString::number(size);
    const auto [below, above] = nearestFirmwareSizes(px, sizes);
    QStringList nearest;
    if (below >= 0)
        nearest << QString::number(below);
    if (above >= 0 && above != below)
        nearest << QString::number(above);
    statusBar()->showMessage(tr("Element scaled to %1px; bundled fonts: {%2}. Nearest: %3.")
                                 .arg(px)
                                 .arg(all.join(QStringLiteral(", ")), nearest.join(QStringLiteral(", "))),
                             8000);
}
