// Restyling one mask of the current page: the colour bar, the box designer
// and the editor-only icon preview.
#include "window/MainWindow.h"

#include "artwork/ArtworkFailureReason.h"
#include "artwork/BarShape.h"
#include "artwork/BoxStyleLibrary.h"
#include "artwork/HomebrewItems.h"
#include "canvas/DashCanvas.h"
#include "editing/BarColorCommand.h"
#include "editing/BoxStyleCommand.h"
#include "editing/MaskResize.h"
#include "editing/MoveCommand.h"
#include "editing/SetTextColorCommand.h"
#include "model/ChannelKind.h"
#include "model/DeviceTables.h"
#include "model/XmlParams.h"
#include "panels/Asker.h"
#include "panels/BoxStyleDialog.h"
#include "panels/ElementListPanel.h"
#include "panels/IconPreviewDialog.h"
#include "panels/PropertyPanel.h"

#include <QStatusBar>
#include <QUndoStack>

#include <utility>

const MaskElement* MainWindow::maskOfCurrentPage(int maskIndex)
{
    const PageModel* page = config.page(currentPage);
    if (!page || maskIndex < 0 || maskIndex >= int(page->masks.size()))
        return nullptr;
    return &page->masks[size_t(maskIndex)];
}

// The mask at maskIndex of the current page when its element is one the
// restyle fits; otherwise null, and the status bar says what it fits.
const MaskElement* MainWindow::restylableMask(int maskIndex, bool (*fits)(pugi::xml_node), const QString& refusal)
{
    const MaskElement* mask = maskOfCurrentPage(maskIndex);
    if (mask && (!mask->node || !fits(mask->node))) {
        statusBar()->showMessage(refusal, 2500);
        return nullptr;
    }
    return mask;
}

// The mask's records were rebuilt by the command: show the page afresh and
// select the mask again.
void MainWindow::showRestyledMask(int maskIndex)
{
    reshowCurrentPage();
    selectMask(maskIndex);
}

// RaceStudio 3 locks the preview image of a configuration it has open: the
// restyle then reached the device and the editor's view, not RS3's. Said
// after the restyle's own note, which it replaces; a failure's cause stays.
void MainWindow::reportLockedPreview(const QString& notice, bool failed)
{
    if (config.takeEditorPngWriteFailed() && !failed)
        statusBar()->showMessage(notice, 12000);
}

// A failed restyle names its cause after the action's own words. The
// cause names folders and is longer than the status bar shows at the
// window's usual width, so a message box, titled after the action, holds it
// whole.
void MainWindow::showArtworkFailure(const QString& title, const QString& failed, const QString& reason,
                                    const QString& fallback)
{
    const QString cause = reason.isEmpty() ? fallback : reason;
    if (cause.isEmpty()) {
        statusBar()->showMessage(failed, 2500);
        return;
    }
    statusBar()->showMessage(failed + QStringLiteral(" — ") + cause, 15000);
    Asker::instance().warning(this, title, failed + QStringLiteral(" — ") + cause);
}

// Only an open and a refresh would show them otherwise: an install left
// without the art the file will point at would go unnamed.
void MainWindow::reportArtCopyNotes(const QString& title)
{
    const QStringList notes = std::exchange(config.artState.notes, {});
    if (!notes.isEmpty())
        Asker::instance().warning(this, title, artCopyNotesText(notes));
}

void MainWindow::applyColorBar(int maskIndex)
{
    const MaskElement* bar =
        restylableMask(maskIndex, isBarWithoutDigitMask, tr("Bar color is only available for bargraph widgets"));
    if (!bar)
        return;
    const QString refusal = barColorRefusal(&config, bar->node);
    if (!refusal.isEmpty()) {
        statusBar()->showMessage(refusal, 8000);
        return;
    }
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    // What the colouring had to leave in an install (a link on the way,
    // something in the folder's place, a full disk) is said once, after it.
    config.artState.notes.clear();
    bool applied = false;
    undoStack->push(new BarColorCommand(&config, currentPage, maskIndex, &applied));
    showRestyledMask(maskIndex);
    if (applied)
        statusBar()->showMessage(tr("Applied green→amber→red bar color"), 4000);
    else
        showArtworkFailure(tr("Color bar"), tr("Bar color apply failed"),
                           ArtworkFailureReason::forBarColor(config, currentPage, maskIndex),
                           tr("RaceStudio 3 overlay for this device not found, or the stock bar assets are missing"));
    reportArtCopyNotes(tr("Color bar"));
    reportLockedPreview(tr("Bar updated on the device, and in "
                           "Korvelanto's preview. RaceStudio3 has this "
                           "config open and locked its preview image — "
                           "close RaceStudio3, then re-apply "
                           "to refresh RaceStudio3's view."),
                        !applied);
}

void MainWindow::applyBoxStyle(int maskIndex)
{
    const MaskElement* mask =
        restylableMask(maskIndex, isPlainDigitMask, tr("Box style is only available for numeric (Digit) widgets"));
    if (!mask)
        return;
    const QString key = config.boxStyleKey(currentPage, maskIndex);
    BoxStyleRecord current;
    current.styleId = config.boxStyleForElement(key, mask->node);
    const quint32 storedAccent = config.boxStyleAccentArgb(key);
    const MultiBoxInfo multi = config.multiBoxRecord(currentPage, maskIndex);
    const BoxStyleInfo record = config.boxStyleRecord(currentPage, maskIndex);
    int textWidget = -1;
    for (int i = 0; i < int(mask->widgets.size()) && textWidget < 0; ++i) {
        const int kind = mask->widgets[size_t(i)].kind;
        if (kind == WidgetLabel || kind == WidgetDigit)
            textWidget = i;
    }
    const QString currentColour = textWidget < 0 ? QString() : config.textColour(currentPage, maskIndex, textWidget);
    const QSize maskSize(mask->w, mask->h);

    BoxStyleDialog dialog(maskSize, current, overlayFolderForDeviceName(config.deviceName), storedAccent, this);
    dialog.setShowDividers(multi.found, record.showDividers);
    bool parsed = false;
    const quint32 colourValue = currentColour.mid(2).toUInt(&parsed, 16);
    if (parsed)
        dialog.setTextColor(QColor(qRed(colourValue), qGreen(colourValue), qBlue(colourValue), qAlpha(colourValue)));
    if (record.captionArgb != 0)
        dialog.setPillColor(QColor::fromRgba(quint32(record.captionArgb)));
    // "Use channel name" offers the channel the box shows, not the mask's id.
    dialog.setCaption(record.caption, record.borderPx, config.maskChannelText(currentPage, maskIndex));
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;

    const QString styleId = dialog.styleId();
    const QSize size = dialog.chosenSize();
    const quint32 accent = dialog.accentColor().isValid() ? dialog.accentColor().rgba() : 0;
    const bool dividers = dialog.showDividers();
    const QString caption = dialog.caption();
    const int border = dialog.borderWidth();
    const quint32 captionArgb = dialog.pillColor().isValid() ? dialog.pillColor().rgba() : 0;
    const QString newColour = dialog.textColor().isValid()
        ? QStringLiteral("0x%1").arg(dialog.textColor().rgba(), 8, 16, QLatin1Char('0'))
        : QString();

    const bool sizeChanged = size.isValid() && size != maskSize;
    // A digit without a box shows the designer's "clean" entry: keeping it
    // is no change.
    const QString shownId = current.styleId.isEmpty() ? cleanBoxStyleId() : current.styleId;
    const bool styleChanged = (!styleId.isEmpty() && styleId != shownId) || accent != storedAccent
        || caption != record.caption || border != record.borderPx || dividers != record.showDividers
        || captionArgb != quint32(record.captionArgb);
    const bool colourChanged = !newColour.isEmpty() && newColour.compare(currentColour, Qt::CaseInsensitive) != 0;
    if (!sizeChanged && !styleChanged && !colourChanged)
        return;

    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    config.artState.notes.clear();
    if (sizeChanged) {
        const QRect from(mask->x, mask->y, mask->w, mask->h);
        const QRect to(from.topLeft(), size);
        if (MoveCommand* resize = maskResizeCommand(&config, currentPage, maskIndex, from, to))
            undoStack->push(resize);
    }
    bool applied = false;
    if (styleChanged)
        undoStack->push(new BoxStyleCommand(
            &config, currentPage, maskIndex, styleId, accent, dividers, border, caption, captionArgb, &applied));
    if (colourChanged) {
        undoStack->beginMacro(tr("Text colour"));
        const MaskElement* shown = maskOfCurrentPage(maskIndex);
        for (int i = 0; shown && i < int(shown->widgets.size()); ++i) {
            const int kind = shown->widgets[size_t(i)].kind;
            if (kind != WidgetLabel && kind != WidgetDigit)
                continue;
            auto* command = new SetTextColorCommand(
                &config, currentPage, maskIndex, i, config.textColour(currentPage, maskIndex, i), newColour);
            command->setText(tr("Text colour"));
            undoStack->push(command);
            shown = maskOfCurrentPage(maskIndex);
        }
        undoStack->endMacro();
    }
    mask = nullptr; // the records were rebuilt

    showRestyledMask(maskIndex);
    propertyPanel->updateBoxInfo(
        config.boxStyleRecord(currentPage, maskIndex), config.multiBoxRecord(currentPage, maskIndex));
    // A warning from fitting the art to the new size outweighs the note
    // that it was done; a failure's cause outweighs both.
    const QString notice = config.takePendingStatus();
    if (styleChanged && !applied)
        showArtworkFailure(
            tr("Box style"), tr("Box style apply failed"),
            ArtworkFailureReason::forBoxStyle(config, currentPage, maskIndex, styleId == cleanBoxStyleId()), QString());
    else if (!notice.isEmpty())
        statusBar()->showMessage(notice, 10000);
    else if (styleChanged)
        statusBar()->showMessage(
            styleId == cleanBoxStyleId() ? tr("Removed box from digit") : tr("Applied box style \"%1\"").arg(styleId),
            2500);
    else if (sizeChanged)
        statusBar()->showMessage(tr("Resized digit to %1 x %2").arg(size.width()).arg(size.height()), 2500);
    reportArtCopyNotes(tr("Box style"));
    reportLockedPreview(tr("Box updated on the device, and in Korvelanto's preview. "
                           "RaceStudio3 has this "
                           "config open and locked its preview image — close RaceStudio3, then "
                           "re-apply "
                           "(or re-open the config in RS3) to refresh RaceStudio3's view."),
                        styleChanged && !applied);
}

void MainWindow::setIconPreview(int maskIndex)
{
    const MaskElement* mask = maskOfCurrentPage(maskIndex);
    if (!mask)
        return;
    if (mask->kind != MaskIcon) {
        statusBar()->showMessage(tr("Icon preview is only available for icon elements"), 2500);
        return;
    }
    const QString artwork = mask->node ? QString::fromUtf8(paramValue(mask->node, "PATH_REL_AiM_MASK")) : QString();
    IconPreviewDialog dialog(artwork, config.iconPreviewGraphic(currentPage, maskIndex), this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    if (dialog.removed()) {
        if (!config.clearIconPreview(currentPage, maskIndex))
            return showIconPreviewFailure();
        statusBar()->showMessage(tr("Removed icon preview graphic"), 3000);
    } else if (dialog.chosenPath().isEmpty()) {
        return;
    } else {
        if (!config.setIconPreview(currentPage, maskIndex, dialog.chosenPath()))
            return showIconPreviewFailure();
        statusBar()->showMessage(tr("Icon preview set (layout only — not saved into the config)"), 5000);
    }
    canvas->update();
    onElementSelected(maskIndex);
}

// The record beside the configuration is all an icon preview is: when it
// cannot be written, nothing changed and the user hears why.
void MainWindow::showIconPreviewFailure()
{
    showArtworkFailure(tr("Icon preview"), tr("The icon preview could not be recorded"), config.sidecarFailure,
                       QString());
}
