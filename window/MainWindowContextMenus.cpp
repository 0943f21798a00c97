// The canvas's right-click menus: one for a value or text inside a box, one
// for a box, one for the empty page. Each menu is built for one click and
// destroyed when it closes, so the keys shown beside its entries never
// compete with the Edit menu's window-wide keys.
#include "window/MainWindow.h"

#include "window/WidgetClipboard.h"
#include "artwork/BarShape.h"
#include "canvas/DashCanvas.h"
#include "model/ChannelKind.h"
#include "panels/Asker.h"
#include "panels/PropertyPanel.h"
#include "panels/WidgetPropertiesDialog.h"

#include <QAction>
#include <QMenu>

#include <cmath>

namespace {

constexpr int kMaxBindEntries = 200;
constexpr double kLabelReach = 50.0;

// A name shown in a menu entry: a single '&' would turn into a mnemonic.
QString menuText(QString name)
{
    return name.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString channelEntryText(const ChannelInfo& channel)
{
    return channel.longName.isEmpty() ? channel.shortName : channel.longName;
}

} // namespace

void MainWindow::showCanvasContextMenu(int maskIndex, int widgetIndex, const QPoint& globalPos,
                                       const QPoint& canvasPos)
{
    QMenu menu(this);
    if (maskIndex >= 0 && widgetIndex >= 0)
        fillWidgetMenu(&menu, maskIndex, widgetIndex);
    else if (maskIndex >= 0)
        fillBoxMenu(&menu, maskIndex, canvasPos);
    else
        fillPageMenu(&menu, canvasPos);
    // The entries run their actions through their own connections.
    menu.exec(globalPos);
    returnFocusToDocument();
}

QAction* MainWindow::addContextEntry(QMenu* menu, const QString& text, std::function<void()> run,
                                     const QKeySequence& key)
{
    QAction* action = menu->addAction(text);
    if (!key.isEmpty())
        action->setShortcut(key);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return action;
}

const MaskElement* MainWindow::contextMask(int maskIndex) const
{
    return config.maskAt(currentPage, maskIndex);
}

bool MainWindow::isContextDigitBox(int maskIndex) const
{
    const MaskElement* mask = contextMask(maskIndex);
    return mask && isPlainDigitMask(mask->node);
}

bool MainWindow::isContextValueBox(int maskIndex) const
{
    const MaskElement* mask = contextMask(maskIndex);
    return mask && isDigitValueMask(mask->node);
}

void MainWindow::addPasteEntry(QMenu* menu)
{
    QAction* paste = addContextEntry(menu, tr("Paste value/text into this box"), [this] { pasteWidget(); },
                                     QKeySequence::Paste);
    paste->setEnabled(config.page(currentPage) && !widgetClipboard().isEmpty());
}

void MainWindow::addZOrderEntries(QMenu* menu, int maskIndex)
{
    const PageModel* page = config.page(currentPage);
    const int count = page ? int(page->masks.size()) : 0;
    const int order = config.maskOrder(currentPage, maskIndex);
    const bool atFront = order >= 0 && order == config.maxOrdine(currentPage);
    const bool atBack = order >= 0 && order == config.minOrdine(currentPage);
    addContextEntry(menu, tr("Bring to Front"), [this] { bringToFront(); })
        ->setEnabled(maskIndex >= 0 && (maskIndex < count - 1 || !atFront));
    addContextEntry(menu, tr("Send to Back"), [this] { sendToBack(); })
        ->setEnabled(maskIndex >= 0 && (maskIndex > 0 || !atBack));
}

void MainWindow::addArtworkEntries(QMenu* menu, int maskIndex)
{
    addContextEntry(menu, tr("Swap artwork..."), [this, maskIndex] { swapArtwork(maskIndex); });
    addContextEntry(menu, tr("Export artwork to folder..."), [this, maskIndex] { exportElementArtwork(maskIndex); })
        ->setEnabled(maskIndex >= 0);
    addContextEntry(menu, tr("Replace artwork from folder..."), [this, maskIndex] { replaceArtwork(maskIndex); })
        ->setEnabled(maskIndex >= 0);
    if (isContextDigitBox(maskIndex) && !config.multiBoxRecord(currentPage, maskIndex).found)
        addContextEntry(menu, tr("Convert to multi-value box..."),
                        [this, maskIndex] { convertToMultiBox(maskIndex); });
}

void MainWindow::addValueBarEntry(QMenu* menu, int maskIndex, int widgetIndex)
{
    if (!isContextValueBox(maskIndex))
        return;
    menu->addSeparator();
    addContextEntry(menu, tr("Add value bar\u2026"),
                    [this, maskIndex, widgetIndex] { addValueBar(maskIndex, widgetIndex); });
}

void MainWindow::addBindToChannelMenu(QMenu* menu)
{
    QMenu* bind = menu->addMenu(tr("Bind to Channel"));
    bind->setEnabled(!config.channels.empty());
    int added = 0;
    for (const ChannelInfo& channel : config.channels) {
        if (added == kMaxBindEntries)
            break;
        const QString text = channelEntryText(channel);
        if (text.isEmpty())
            continue;
        const int fid = channel.fid;
        QAction* entry = addContextEntry(bind, menuText(text), [this, fid] {
            // Looked up again: the list may have changed while the menu was open.
            for (const ChannelInfo& c : config.channels) {
                if (c.fid == fid) {
                    bindWidgetToChannel(c);
                    return;
                }
            }
        });
        entry->setData(fid);
        ++added;
    }
    const int total = int(config.channels.size());
    if (total > kMaxBindEntries) {
        bind->addSeparator();
        bind->addAction(tr("(%1 more -- use Property Panel)").arg(total - kMaxBindEntries))->setEnabled(false);
    }
}

void MainWindow::fillWidgetMenu(QMenu* menu, int maskIndex, int widgetIndex)
{
    addContextEntry(menu, tr("Duplicate this value/text"), [this] { duplicateWidget(); },
                    QKeySequence(QStringLiteral("Ctrl+D")));
    addContextEntry(menu, tr("Copy value/text"), [this] { copyWidget(); }, QKeySequence::Copy);
    addPasteEntry(menu);
    menu->addSeparator();
    addContextEntry(menu, tr("Delete this value/text"), [this] { deleteSelectedWidget(); }, QKeySequence::Delete);
    const MaskElement* mask = contextMask(maskIndex);
    if (isContextDigitBox(maskIndex)) {
        menu->addSeparator();
        addContextEntry(menu, tr("Box style..."), [this, maskIndex] { applyBoxStyle(maskIndex); });
    }
    if (mask && isBarWithoutDigitMask(mask->node)) {
        menu->addSeparator();
        addContextEntry(menu, tr("Color bar (green\u2192amber\u2192red)"),
                        [this, maskIndex] { applyColorBar(maskIndex); })
            ->setEnabled(barColorRefusal(&config, mask->node).isEmpty());
    }
    addValueBarEntry(menu, maskIndex, widgetIndex);
    menu->addSeparator();
    addBindToChannelMenu(menu);
    addZOrderEntries(menu, maskIndex);
    addContextEntry(menu, tr("Resize to Canonical"), [this] { snapToCanonicalSize(); });
    menu->addSeparator();
    addContextEntry(menu, tr("Duplicate whole box"), [this] { duplicateMask(); });
    addArtworkEntries(menu, maskIndex);
    menu->addSeparator();
    addContextEntry(menu, tr("Properties..."), [this, maskIndex] { showWidgetProperties(maskIndex); });
}

void MainWindow::fillBoxMenu(QMenu* menu, int maskIndex, const QPoint& pagePos)
{
    const PageModel* page = config.page(currentPage);
    const int count = page ? int(page->masks.size()) : 0;
    const MaskElement* mask = contextMask(maskIndex);

    addContextEntry(menu, tr("Duplicate whole box"), [this] { duplicateMask(); },
                    QKeySequence(QStringLiteral("Ctrl+Shift+D")));
    addContextEntry(menu, tr("Mirror to opposite side"), [this, maskIndex] { mirrorBox(maskIndex); })
        ->setToolTip(tr("Copy this box to the mirrored position across the centre of the page \u2014 the twin-engine "
                        "layout. Rebind the copy afterwards."));
    menu->setToolTipsVisible(true);
    QPoint inBox = pagePos;
    if (mask) {
        inBox = pagePos - QPoint(mask->x, mask->y);
        inBox.setX(inBox.x() < 1 ? 0 : inBox.x());
        inBox.setY(inBox.y() < 1 ? 0 : inBox.y());
    }
    addContextEntry(menu, tr("Add Text Box (here)"),
                    [this, maskIndex, inBox] { addTextBoxInBox(maskIndex, inBox.x(), inBox.y()); })
        ->setEnabled(page != nullptr);
    menu->addSeparator();
    addContextEntry(menu, tr("Move Up"), [this] { moveMaskUp(); })->setEnabled(maskIndex >= 1);
    addContextEntry(menu, tr("Move Down"), [this] { moveMaskDown(); })
        ->setEnabled(maskIndex >= 0 && maskIndex < count - 1);
    addZOrderEntries(menu, maskIndex);
    menu->addSeparator();
    addPasteEntry(menu);
    if (mask && mask->kind == MaskIcon) {
        menu->addSeparator();
        addContextEntry(menu, tr("Preview icon\u2026"), [this, maskIndex] { setIconPreview(maskIndex); });
    }
    addValueBarEntry(menu, maskIndex);
    menu->addSeparator();
    addArtworkEntries(menu, maskIndex);
    menu->addSeparator();
    addContextEntry(menu, tr("Delete whole box"), [this] { deleteElement(); });
}

void MainWindow::fillPageMenu(QMenu* menu, const QPoint& pagePos)
{
    const PageModel* page = config.page(currentPage);
    addContextEntry(menu, tr("New Page"), [this] { newBlankPage(); });
    addContextEntry(menu, tr("Duplicate Current Page"), [this] { duplicateCurrentPage(); });
    addContextEntry(menu, tr("Delete Current Page"), [this] { deleteCurrentPage(); });
    addContextEntry(menu, tr("Add Page from Template..."), [this] { addPageFromTemplate(); });
    addContextEntry(menu, tr("Save Current Page as Template..."), [this] { saveCurrentAsTemplate(); });
    menu->addSeparator();
    addPasteEntry(menu);
    menu->addSeparator();
    addContextEntry(menu, tr("Select All on Page"), [this] { selectAllWidgets(); }, QKeySequence::SelectAll)
        ->setEnabled(page && !page->masks.empty());
    menu->addSeparator();
    const int x = pagePos.x();
    const int y = pagePos.y();
    addContextEntry(menu, tr("Add Text Box (new mask)"), [this, x, y] { addTextBoxNewMask(x, y); })
        ->setEnabled(page != nullptr);
    QString name;
    if (labelCandidateNear(pagePos, &name))
        addContextEntry(menu, tr("Add Label for \"%1\" here").arg(menuText(name)),
                        [this, x, y, name] { addLabelHere(x, y, name); });
}

bool MainWindow::labelCandidateNear(const QPoint& pagePos, QString* name)
{
    const PageModel* page = config.page(currentPage);
    if (!page)
        return false;
    double best = kLabelReach;
    bool found = false;
    for (const MaskElement& mask : page->masks) {
        for (const WidgetModel& widget : mask.widgets) {
            if (widget.kind != WidgetDigit && widget.kind != WidgetBargraph)
                continue;
            const double w = widget.w < 1 ? 40 : widget.w;
            const double h = widget.h < 1 ? 20 : widget.h;
            const double cx = mask.x + widget.x + w / 2.0;
            const double cy = mask.y + widget.y + h / 2.0;
            const double distance = std::hypot(cx - pagePos.x(), cy - pagePos.y());
            // Strictly nearer only: on a tie the earlier widget stays.
            if (distance > best || (found && distance >= best))
                continue;
            best = distance;
            found = true;
            *name = !widget.text.isEmpty() ? widget.text : !widget.channel.isEmpty() ? widget.channel : widget.id;
        }
    }
    return found;
}

void MainWindow::showWidgetProperties(int maskIndex)
{
    MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask)
        return;
    const int widgetIndex = canvas->selectedWidget();
    const bool widgetInRange = widgetIndex >= 0 && widgetIndex < int(mask->widgets.size());
    WidgetModel* widget = widgetInRange ? &mask->widgets[size_t(widgetIndex)] : nullptr;
    WidgetPropertiesDialog dialog(mask, widget, &config, currentPage, this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    // The dialog wrote into the XML; the record follows it. Asked again, as
    // nothing may be held across the dialog.
    mask = config.maskAt(currentPage, maskIndex);
    if (!mask || !mask->node)
        return;
    *mask = config.parseMask(mask->node);
    const int selected = canvas->selectedWidget();
    if (selected >= 0 && selected < int(mask->widgets.size()))
        propertyPanel->showWidget(mask, &mask->widgets[size_t(selected)]);
    else
        propertyPanel->showMask(mask);
    canvas->update();
}
