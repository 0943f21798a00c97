// The outliner's right-click menu: what a widget row, a mask row and the
// empty space below the rows offer.
#include "app/MainWindow.h"

#include "app/WidgetClipboard.h"
#include "canvas/DashCanvas.h"
#include "model/ChannelKind.h"
#include "panels/ElementListPanel.h"

#include <QMenu>

namespace {

template <typename Handler>
QAction* addEntry(QMenu& menu, const QString& text, Handler handler, const QKeySequence& key = QKeySequence())
{
    QAction* action = menu.addAction(text);
    if (!key.isEmpty())
        action->setShortcut(key);
    QObject::connect(action, &QAction::triggered, &menu, handler);
    return action;
}

} // namespace

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
}

QAction* MainWindow::addPasteIntoBoxAction(QMenu& menu)
{
    QAction* paste =
        addEntry(menu, tr("Paste value/text into this box"), [this] { pasteWidget(); }, QKeySequence::Paste);
    paste->setEnabled(config.page(currentPage) && !widgetClipboard().isEmpty());
    return paste;
}

void MainWindow::fillOutlinerWidgetMenu(QMenu& menu, int maskIndex, int widgetIndex)
{
    addEntry(menu, tr("Duplicate this value/text"), [this] { duplicateWidget(); },
             QKeySequence(QStringLiteral("Ctrl+D")));
    addEntry(menu, tr("Copy value/text"), [this] { copyWidget(); }, QKeySequence::Copy);
    addPasteIntoBoxAction(menu);
    menu.addSeparator();

    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    const WidgetModel* widget =
        mask && widgetIndex < int(mask->widgets.size()) ? &mask->widgets[size_t(widgetIndex)] : nullptr;
    QAction* rename = addEntry(menu, tr("Rename"), [this] { elementList->editCurrentLabel(); }, QKeySequence(Qt::Key_F2));
    rename->setEnabled(widget && widget->kind == WidgetLabel);
    if (widget && (widget->kind == WidgetLabel || widget->kind == WidgetDigit))
        addEntry(menu, tr("Text colour..."), [this, maskIndex, widgetIndex] { pickTextColour(maskIndex, widgetIndex); });
    menu.addSeparator();
    addEntry(menu, tr("Delete this value/text"), [this] { deleteSelectedWidget(); }, QKeySequence::Delete);

    const pugi::xml_node node = mask ? mask->node : pugi::xml_node();
    if (!node)
        return;
    if (isPlainDigitMask(node)) {
        menu.addSeparator();
        addEntry(menu, tr("Box style..."), [this, maskIndex] { applyBoxStyle(maskIndex); });
    }
    if (isBarWithoutDigitMask(node)) {
        menu.addSeparator();
        addEntry(menu, tr("Color bar (green→amber→red)"), [this, maskIndex] { applyColorBar(maskIndex); });
    }
    if (isDigitValueMask(node)) {
        menu.addSeparator();
        addEntry(menu, tr("Add value bar…"), [this, maskIndex] { addValueBar(maskIndex); });
    }
}

void MainWindow::fillOutlinerMaskMenu(QMenu& menu, int maskIndex)
{
    addEntry(menu, tr("Duplicate whole box"), [this] { duplicateMask(); },
             QKeySequence(QStringLiteral("Ctrl+Shift+D")));
    addEntry(menu, tr("Mirror to opposite side"), [this, maskIndex] { mirrorBox(maskIndex); });
    menu.addSeparator();

    const PageModel* page = config.page(currentPage);
    const int count = page ? int(page->masks.size()) : 0;
    const int order = config.maskOrder(currentPage, maskIndex);
    // A mask without a valid ORDINE is never the front- or backmost.
    const bool frontmost = order >= 0 && maskIndex == count - 1 && order == config.maxOrdine(currentPage);
    const bool backmost = order >= 0 && maskIndex == 0 && order == config.minOrdine(currentPage);
    addEntry(menu, tr("Move Up"), [this] { moveMaskUp(); })->setEnabled(maskIndex > 0);
    addEntry(menu, tr("Move Down"), [this] { moveMaskDown(); })->setEnabled(maskIndex < count - 1);
    addEntry(menu, tr("Bring to Front"), [this] { bringToFront(); })->setEnabled(!frontmost);
    addEntry(menu, tr("Send to Back"), [this] { sendToBack(); })->setEnabled(!backmost);
    menu.addSeparator();
    addPasteIntoBoxAction(menu);

    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (mask) {
        if (mask->kind == MaskIcon) {
            menu.addSeparator();
            addEntry(menu, tr("Preview icon…"), [this, maskIndex] { setIconPreview(maskIndex); });
        }
        menu.addSeparator();
        addEntry(menu, tr("Swap artwork…"), [this, maskIndex] { swapArtwork(maskIndex); });
        addEntry(menu, tr("Export artwork to folder…"), [this, maskIndex] { exportElementArtwork(maskIndex); });
        addEntry(menu, tr("Replace artwork from folder…"), [this, maskIndex] { replaceArtwork(maskIndex); });
        if (mask->node && isPlainDigitMask(mask->node) && !config.multiBoxRecord(currentPage, maskIndex).found) {
            menu.addSeparator();
            addEntry(menu, tr("Convert to multi-value box…"), [this, maskIndex] { convertToMultiBox(maskIndex); });
        }
    }
    menu.addSeparator();
    addEntry(menu, tr("Delete whole box"), [this] { deleteElement(); });
}

void MainWindow::fillOutlinerPageMenu(QMenu& menu)
{
    addEntry(menu, tr("New Page"), [this] { newBlankPage(); });
    addEntry(menu, tr("Duplicate Current Page"), [this] { duplicateCurrentPage(); });
    addEntry(menu, tr("Delete Current Page"), [this] { deleteCurrentPage(); });
    menu.addSeparator();
    addPasteIntoBoxAction(menu);
}
