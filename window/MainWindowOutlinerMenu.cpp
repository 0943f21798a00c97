// The outliner's right-click menu: what a widget row, a mask row and the
// empty space below the rows offer.
#include "window/MainWindow.h"

#include "artwork/BarShape.h"
#include "canvas/DashCanvas.h"
#include "model/ChannelKind.h"
#include "panels/ElementListPanel.h"

#include <QMenu>

void MainWindow::showOutlinerContextMenu(int maskIndex, int widgetIndex, const QPoint& globalPos)
{
    // A local menu is gone once it closes: a menu kept alive would hold its
    // Ctrl+D, Copy, Paste and Delete keys beside the Edit menu's, and Qt
    // runs neither of two ambiguous shortcuts.
    QMenu menu(this);
    if (maskIndex < 0)
        fillOutlinerPageMenu(menu);
    else if (widgetIndex < 0)
        fillOutlinerMaskMenu(menu, maskIndex);
    else
        fillOutlinerWidgetMenu(menu, maskIndex, widgetIndex);
    menu.exec(globalPos);
    returnFocusToDocument();
}

void MainWindow::fillOutlinerWidgetMenu(QMenu& menu, int maskIndex, int widgetIndex)
{
    addContextEntry(&menu, tr("Duplicate this value/text"), [this] { duplicateWidget(); },
             QKeySequence(QStringLiteral("Ctrl+D")));
    addContextEntry(&menu, tr("Copy value/text"), [this] { copyWidget(); }, QKeySequence::Copy);
    addPasteEntry(&menu);
    menu.addSeparator();

    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    const WidgetModel* widget =
        mask && widgetIndex < int(mask->widgets.size()) ? &mask->widgets[size_t(widgetIndex)] : nullptr;
    QAction* rename = addContextEntry(&menu, tr("Rename"), [this] { elementList->editCurrentLabel(); }, QKeySequence(Qt::Key_F2));
    rename->setEnabled(widget && widget->kind == WidgetLabel);
    if (widget && (widget->kind == WidgetLabel || widget->kind == WidgetDigit))
        addContextEntry(&menu, tr("Text colour..."), [this, maskIndex, widgetIndex] { pickTextColour(maskIndex, widgetIndex); });
    menu.addSeparator();
    addContextEntry(&menu, tr("Delete this value/text"), [this] { deleteSelectedWidget(); }, QKeySequence::Delete);

    const pugi::xml_node node = mask ? mask->node : pugi::xml_node();
    if (!node)
        return;
    if (isPlainDigitMask(node)) {
        menu.addSeparator();
        addContextEntry(&menu, tr("Box style..."), [this, maskIndex] { applyBoxStyle(maskIndex); });
    }
    if (isBarWithoutDigitMask(node)) {
        menu.addSeparator();
        addContextEntry(&menu, tr("Color bar (green→amber→red)"), [this, maskIndex] { applyColorBar(maskIndex); })
            ->setEnabled(barColorRefusal(&config, node).isEmpty());
    }
    if (isDigitValueMask(node)) {
        menu.addSeparator();
        addContextEntry(&menu, tr("Add value bar…"),
                        [this, maskIndex, widgetIndex] { addValueBar(maskIndex, widgetIndex); });
    }
}

void MainWindow::fillOutlinerMaskMenu(QMenu& menu, int maskIndex)
{
    addContextEntry(&menu, tr("Duplicate whole box"), [this] { duplicateMask(); },
             QKeySequence(QStringLiteral("Ctrl+Shift+D")));
    addContextEntry(&menu, tr("Mirror to opposite side"), [this, maskIndex] { mirrorBox(maskIndex); });
    menu.addSeparator();

    const PageModel* page = config.page(currentPage);
    const int count = page ? int(page->masks.size()) : 0;
    addContextEntry(&menu, tr("Move Up"), [this] { moveMaskUp(); })->setEnabled(maskIndex > 0);
    addContextEntry(&menu, tr("Move Down"), [this] { moveMaskDown(); })->setEnabled(maskIndex < count - 1);
    addZOrderEntries(&menu, maskIndex);
    menu.addSeparator();
    addPasteEntry(&menu);

    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (mask) {
        if (mask->kind == MaskIcon) {
            menu.addSeparator();
            addContextEntry(&menu, tr("Preview icon…"), [this, maskIndex] { setIconPreview(maskIndex); });
        }
        menu.addSeparator();
        addContextEntry(&menu, tr("Swap artwork…"), [this, maskIndex] { swapArtwork(maskIndex); });
        addContextEntry(&menu, tr("Export artwork to folder…"), [this, maskIndex] { exportElementArtwork(maskIndex); });
        addContextEntry(&menu, tr("Replace artwork from folder…"), [this, maskIndex] { replaceArtwork(maskIndex); });
        if (mask->node && isPlainDigitMask(mask->node) && !config.multiBoxRecord(currentPage, maskIndex).found) {
            menu.addSeparator();
            addContextEntry(&menu, tr("Convert to multi-value box…"), [this, maskIndex] { convertToMultiBox(maskIndex); });
        }
    }
    menu.addSeparator();
    addContextEntry(&menu, tr("Delete whole box"), [this] { deleteElement(); });
}

void MainWindow::fillOutlinerPageMenu(QMenu& menu)
{
    addContextEntry(&menu, tr("New Page"), [this] { newBlankPage(); });
    addContextEntry(&menu, tr("Duplicate Current Page"), [this] { duplicateCurrentPage(); });
    addContextEntry(&menu, tr("Delete Current Page"), [this] { deleteCurrentPage(); });
    menu.addSeparator();
    addPasteEntry(&menu);
}
