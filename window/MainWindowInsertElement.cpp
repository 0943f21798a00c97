// Edit > "Insert Element...": the type chosen in the dialog decides which of
// six roads builds the new mask, each one undo step.
#include "window/MainWindow.h"

#include "artwork/ArtworkFailureReason.h"
#include "artwork/BarTemplateLibrary.h"
#include "canvas/DashCanvas.h"
#include "check/ConfigCheck.h"
#include "editing/CheckedPush.h"
#include "editing/AddMultiBoxCommand.h"
#include "editing/InsertElementCommand.h"
#include "editing/InsertIconCommand.h"
#include "editing/InsertRefTimeBarCommand.h"
#include "model/DeviceTables.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/Asker.h"
#include "panels/BarTemplateBrowser.h"
#include "panels/ElementListPanel.h"
#include "panels/MultiBoxDialog.h"
#include "panels/RefTimeBarDialog.h"

#include <QFileInfo>
#include <QStatusBar>
#include <QUndoStack>

#include <algorithm>

namespace {

// Centred on the display the page is shown on, which on a two-display
// device need not be the configuration's first.
QRect centredOn(const QSize& display, int w, int h)
{
    return QRect(std::max(0, (display.width() - w) / 2), std::max(0, (display.height() - h) / 2), w, h);
}

// A value type becomes a one-cell box rather than a copy of its donor; a
// donor that also draws a bar or a ring is copied as it is.
bool isSingleValueDonor(pugi::xml_node donor)
{
    bool digit = false;
    for (pugi::xml_node e = donor.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Bargraph") || hasClass(e, "BargraphTrapezio") || hasClass(e, "Ring"))
            return false;
        digit = digit || hasClass(e, "Digit");
    }
    return digit;
}

// Where a stock template of the page's display was looked for, and what to
// do about it.
QString missingStockAdvice(const DashConfig& config, int page)
{
    const QString refused = config.refusedPageFamily(page);
    if (!refused.isEmpty())
        return InstallAdvice::familyNotAllowed(refused);
    const QString device = config.pageFamily(page);
    if (device.isEmpty())
        return MainWindow::tr("This page names no RaceStudio 3 device folder, so there was nowhere to look.");
    return InstallAdvice::notFound(QStringLiteral("aim/resources/overlay/%1/masks/set/standard").arg(device));
}

// A box's panel art is drawn into the page's device folder of each install
// that has one: why that cannot happen here, or empty when it can.
QString whyBoxArtCannotBeWritten(const PageModel& page)
{
    const QString refused = refusedFamilyFromPath(page.relPagePath.trimmed());
    if (!refused.isEmpty())
        return InstallAdvice::familyNotAllowed(refused);
    const QString device = deviceFolderFromPath(page.relPagePath);
    if (device.isEmpty())
        return MainWindow::tr("This page names no RaceStudio 3 device folder to draw it into.");
    const QStringList roots = rs3OverlayRoots();
    for (const QString& root : roots) {
        if (QFileInfo(root + QLatin1Char('/') + device).isDir())
            return {};
    }
    if (roots.isEmpty())
        return InstallAdvice::noInstall();
    return MainWindow::tr("The RaceStudio 3 install has no folder for this device (%1). ").arg(device)
        + InstallAdvice::notFound(QStringLiteral("aim/resources/overlay/") + device);
}

int firstDigitWidget(const MaskElement& mask)
{
    for (size_t w = 0; w < mask.widgets.size(); ++w) {
        if (mask.widgets[w].kind == WidgetDigit)
            return int(w);
    }
    return -1;
}

} // namespace

void MainWindow::insertElement()
{
    if (config.pageCount() == 0) {
        Asker::instance().information(this, tr("Insert Element"), tr("Open a .zconf2 file first."));
        return;
    }
    // The chosen donor lives in the dialog: every road runs while it does.
    AddElementDialog dialog(&config, currentPage, this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    const ElementTypeEntry& type = dialog.chosenType();
    const ChannelInfo& channel = dialog.chosenChannel();
    if (type.isStaticLabel)
        insertStaticLabel(type);
    else if (type.isMultiBox)
        insertMultiBox();
    else if (type.donor && isSingleValueDonor(type.donor))
        insertSingleValue(type, channel);
    else if (type.isIcon)
        insertIconMask(type);
    else if (type.isRefTimeBar)
        insertRefTimeBar(type);
    else if (type.donor)
        insertFromDonor(type, channel);
}

void MainWindow::insertStaticLabel(const ElementTypeEntry& type)
{
    if (!config.page(currentPage))
        return;
    const QRect box = centredOn(config.pageDisplaySize(currentPage), type.nativeWidth, type.nativeHeight);
    addTextBoxNewMask(box.x(), box.y());
}

// A box whose art cannot be drawn would name a picture that is nowhere:
// the user hears why, and decides.
bool MainWindow::confirmBoxWithoutArt()
{
    const PageModel* page = config.page(currentPage);
    const QString why = page ? whyBoxArtCannotBeWritten(*page) : QString();
    if (why.isEmpty())
        return true;
    const QString text = tr("The box's artwork cannot be drawn. %1\n\nWithout it the box names a picture that does "
                            "not exist, and RaceStudio 3 shows an image error for it. Insert it anyway?")
                             .arg(why);
    return Asker::instance().question(this, tr("Insert Element"), text, QMessageBox::Yes | QMessageBox::No,
                                      QMessageBox::No)
        == QMessageBox::Yes;
}

void MainWindow::insertMultiBox()
{
    if (!config.page(currentPage) || !confirmBoxWithoutArt())
        return;
    MultiBoxDialog dialog(overlayFolderForDeviceName(config.deviceName), this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted || dialog.rows() <= 0 || dialog.cols() <= 0)
        return;
    const int rows = dialog.rows();
    const int cols = dialog.cols();
    std::vector<MultiBoxCellRequest> cells(size_t(rows) * size_t(cols));
    const QSize display = config.pageDisplaySize(currentPage);
    const QRect rect = centredOn(display, std::min(display.width(), 300), std::min(display.height(), 180));
    int created = -1;
    pushChecked(*undoStack, new AddMultiBoxCommand(&config, currentPage, rows, cols, dialog.labelPlacement(),
                                           std::move(cells), rect, &created), [&created] { return created >= 0; });
    if (!showInsertedMask(created)) {
        showArtworkFailure(tr("Insert Element"), tr("Insert failed"), ArtworkFailureReason::forMultiBox(config),
                           QString());
        return;
    }
    const MaskElement* mask = config.maskAt(currentPage, created);
    const int widget = mask ? firstDigitWidget(*mask) : -1;
    if (widget >= 0) {
        canvas->setSelectedWidget(widget);
        onWidgetSelected(created, widget);
        elementList->selectElement(created, widget);
    }
    statusBar()->showMessage(tr("Inserted multi-value box (%1x%2)").arg(rows).arg(cols), 3000);
}

void MainWindow::insertSingleValue(const ElementTypeEntry& type, const ChannelInfo& channel)
{
    if (!config.page(currentPage) || !confirmBoxWithoutArt())
        return;
    const QSize display = config.pageDisplaySize(currentPage);
    const int w = std::min(type.nativeWidth > 0 ? type.nativeWidth : 160, display.width());
    const int h = std::min(type.nativeHeight > 0 ? type.nativeHeight : 70, display.height());
    std::vector<MultiBoxCellRequest> cells{MultiBoxCellRequest{channel.longName, QString(), false}};
    int created = -1;
    pushChecked(*undoStack, new AddMultiBoxCommand(&config, currentPage, 1, 1, QStringLiteral("above"), std::move(cells),
                                           centredOn(display, w, h), &created), [&created] { return created >= 0; });
    if (!showInsertedMask(created)) {
        showArtworkFailure(tr("Insert Element"), tr("Insert failed"), ArtworkFailureReason::forMultiBox(config),
                           QString());
        return;
    }
    statusBar()->showMessage(channel.longName.isEmpty() ? tr("Inserted value")
                                                        : tr("Inserted value (%1)").arg(channel.longName),
                             3000);
}

void MainWindow::insertIconMask(const ElementTypeEntry& type)
{
    const PageModel* page = config.page(currentPage);
    if (!page)
        return;
    const int icons = int(std::count_if(page->masks.begin(), page->masks.end(),
                                        [](const MaskElement& m) { return m.kind == MaskIcon; }));
    const int offset = 12 * icons + 18;
    const QSize display = config.pageDisplaySize(currentPage);
    const QRect rect(std::max(0, std::min(offset, display.width() - type.nativeWidth)),
                     std::max(0, std::min(offset, display.height() - type.nativeHeight)), type.nativeWidth,
                     type.nativeHeight);
    int created = -1;
    // A command that finds no icon template leaves the history as it was.
    pushChecked(*undoStack, new InsertIconCommand(&config, currentPage, rect, &created),
                [&created] { return created >= 0; });
    if (created < 0) {
        reportMissingStock(
            tr("RaceStudio 3 icon overlay for %1 not found — cannot insert icon.").arg(deviceNameOrThisDevice()));
        return;
    }
    showInsertedMask(created);
    statusBar()->showMessage(tr("Inserted icon — assign its graphic + trigger in RS3 Icons Manager"), 4000);
}

void MainWindow::insertRefTimeBar(const ElementTypeEntry& type)
{
    if (!config.page(currentPage))
        return;
    RefTimeBarDialog dialog(this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    const QSize display = config.pageDisplaySize(currentPage);
    const QRect rect = centredOn(display, std::min(type.nativeWidth, display.width()),
                                 std::min(type.nativeHeight, display.height()));
    const double range = dialog.rangeSeconds();
    int created = -1;
    pushChecked(*undoStack, new InsertRefTimeBarCommand(&config, currentPage, rect, dialog.slowerColor(),
                                                dialog.fasterColor(), range, &created), [&created] { return created >= 0; });
    if (created < 0) {
        reportMissingStock(tr("RaceStudio 3 +- Ref Time template for %1 not found — cannot insert delta bar.")
                               .arg(deviceNameOrThisDevice()));
        return;
    }
    showInsertedMask(created);
    statusBar()->showMessage(tr("Inserted +- Ref Time delta bar (±%1 s)").arg(range, 0, 'f', 2), 4000);
}

// The status bar holds the failure; the message box also says where the
// stock was looked for, which the status bar would cut.
void MainWindow::reportMissingStock(const QString& failure)
{
    statusBar()->showMessage(failure, 5000);
    Asker::instance().warning(this, tr("Insert Element"),
                              failure + QStringLiteral("\n\n") + missingStockAdvice(config, currentPage));
}

// The stock element comes from another page set only when the page's own
// has none of its kind; the check would then report it, and for a bar RS3
// crashes. The user hears of it before anything changes.
bool MainWindow::confirmBorrowedDonor(const ElementTypeEntry& type)
{
    const PageModel* page = config.page(currentPage);
    if (!page || type.sourcePath.isEmpty())
        return true;
    const ConfigFinding finding = ConfigCheck::borrowedKindFinding(
        ConfigCheck::familySetOf(page->relPagePath),
        ConfigCheck::findInRoots(ConfigCheck::existingRs3Roots(), page->relPagePath), type.sourcePath, type.donor);
    if (finding.code.isEmpty())
        return true;
    const QString text = tr("This page's own set has no \"%1\"; the only one found is in another set.\n\n%2\n%3\n\n"
                            "Insert it anyway?")
                             .arg(type.label, finding.message, finding.consequence);
    return Asker::instance().question(this, tr("Insert Element"), text, QMessageBox::Yes | QMessageBox::No,
                                      QMessageBox::No)
        == QMessageBox::Yes;
}

void MainWindow::insertFromDonor(const ElementTypeEntry& type, const ChannelInfo& channel)
{
    if (!config.page(currentPage) || !confirmBorrowedDonor(type))
        return;
    const QString barTemplate =
        type.label.contains(QLatin1String("bar"), Qt::CaseInsensitive) ? chooseBarTemplate(channel) : QString();
    const QSize display = config.pageDisplaySize(currentPage);
    const int w = std::min(type.nativeWidth > 0 ? type.nativeWidth : 200, display.width());
    const int h = std::min(type.nativeHeight > 0 ? type.nativeHeight : 80, display.height());
    const QRect rect = centredOn(display, w, h);
    QString error;
    int created = -1;
    auto* command = new InsertElementCommand(&config, currentPage, channel, rect.x(), rect.y(), w, h, type.donor,
                                             type.sourcePath, &error, &created);
    // Inside the command, so undo and redo take and bring back the templated bar.
    command->setBarTemplate(barTemplate);
    pushChecked(*undoStack, command, [&error, &created] { return error.isEmpty() && created >= 0; });
    if (!error.isEmpty() || created < 0) {
        Asker::instance().information(
            this, tr("Can't place that here"),
            error.isEmpty() ? tr("The element could not be added to this page; nothing was changed.") : error);
        return;
    }
    if (!showInsertedMask(created))
        return;
    const QString note = config.takePendingStatus();
    if (!note.isEmpty())
        statusBar()->showMessage(note, 10000);
    else
        statusBar()->showMessage(tr("Inserted \"%1\" -> %2").arg(type.label, channel.longName), 3000);
}

// The bar template browser, opened on the channel's own kind; a cancel
// inserts the bar with its donor's scale.
QString MainWindow::chooseBarTemplate(const ChannelInfo& channel)
{
    BarTemplateBrowser browser(this);
    const QString preset =
        BarTemplateLibrary::templateIdForKind(BarTemplateLibrary::classifyChannel(channel.longName, channel.unit));
    if (!preset.isEmpty())
        browser.selectTemplate(preset);
    if (Asker::instance().exec(&browser) != QDialog::Accepted)
        return {};
    return browser.chosenId();
}

bool MainWindow::showInsertedMask(int maskIndex)
{
    PageModel* page = config.page(currentPage);
    if (!page)
        return false;
    canvas->setPage(page);
    elementList->populate(page);
    if (maskIndex < 0) {
        canvas->update();
        return false;
    }
    selectMask(maskIndex);
    return true;
}

QString MainWindow::deviceNameOrThisDevice() const
{
    return config.deviceName.isEmpty() ? tr("this device") : config.deviceName;
}
