// Adding content to the current page: text boxes, labels, value bars and
// pages from templates, and converting a box to a multi-value box.
#include "window/MainWindow.h"

#include "artwork/ArtworkFailureReason.h"
#include "artwork/BarShape.h"
#include "canvas/DashCanvas.h"
#include "editing/CheckedPush.h"
#include "editing/AddMultiBoxCommand.h"
#include "editing/AddTextBoxCommand.h"
#include "editing/AddValueBarCommand.h"
#include "editing/DeleteCommand.h"
#include "editing/ElementParams.h"
#include "editing/InsertPageCommand.h"
#include "editing/UndoMacroGuard.h"
#include "model/ChannelKind.h"
#include "model/DeviceTables.h"
#include "panels/Asker.h"
#include "panels/ElementListPanel.h"
#include "panels/MultiBoxDialog.h"
#include "panels/PropertyPanel.h"
#include "panels/ValueBarDialog.h"
#include "templates/PageTemplateLibrary.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QUndoStack>

namespace {

const char* const kSuppressHomebrewNotice = "homebrew/suppressAddRedirect";
// RS3 shows no longer page names.
constexpr int kMaxPageNameLength = 32;

// The channel of the first Digit that is bound to one; empty when none is.
QString firstDigitChannel(const MaskElement& mask)
{
    for (const WidgetModel& widget : mask.widgets) {
        if (widget.kind == WidgetDigit && !widget.channel.isEmpty())
            return widget.channel;
    }
    return {};
}

} // namespace

void MainWindow::addPageFromTemplate()
{
    if (config.pageCount() == 0) {
        Asker::instance().information(this, tr("Add Page"),
                                      tr("Open a .zconf2 file first -- template insert needs a base config."));
        return;
    }
    if (overlayFolderForDeviceName(config.deviceName) == QLatin1String("solo2dl")) {
        Asker::instance().information(
            this, tr("Add Page"),
            tr("Adding new pages on Solo 2 DL is not yet supported in this version of Korvelanto. You can edit "
               "existing pages, or add the page in RaceStudio3 first and then edit it here."));
        return;
    }
    AddPageChoice choice = addPageDialogFactory();
    while (choice.result == 42) {
        saveCurrentAsTemplate();
        choice = addPageDialogFactory();
    }
    if (choice.result != 1)
        return;
    const PageTemplate tpl = choice.chosen;
    if (tpl.folderPath.isEmpty() || !confirmHomebrewPage(tpl, choice.targetFamily))
        return;

    const QString trimmed = tpl.displayName.trimmed();
    const QString name = !trimmed.isEmpty() && trimmed.size() <= kMaxPageNameLength
        ? trimmed
        : tr("Page %1").arg(config.pageCount() + 1);
    const QString folder = templateFolderForConfig(choice);
    int created = -1;
    pushChecked(*undoStack, new InsertPageCommand(&config, folder, name, PageTemplateLibrary::relativeToRs3Root(folder),
                                          &created), [&created] { return created >= 0; });
    refreshPageList();
    if (created < 0) {
        statusBar()->showMessage(tr("Add page failed"), 4000);
        return;
    }
    // A page for the first of two displays goes before the second's pages,
    // so the new page is where the insert put it, not always the last.
    showPageAfterChange(created);
    statusBar()->showMessage(tr("Added page \"%1\" from template %2").arg(name, tpl.folderName), 4000);
}

bool MainWindow::confirmHomebrewPage(const PageTemplate& tpl, const QString& family)
{
    if (!tpl.homebrew)
        return true;
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    if (settings.value(QLatin1String(kSuppressHomebrewNotice), false).toBool())
        return true;
    const QString trimmed = tpl.displayName.trimmed();
    const QString shown = trimmed.isEmpty() ? tpl.folderName : trimmed;
    // RS3 is named as the better road only when it can take it.
    const QString missing = whyRs3LacksTemplate(tpl, family);
    const QString advice = missing.isEmpty()
        ? tr("Add this page in RS3 instead:  Add New Page → Homebrew → \"%1\".").arg(shown)
        : tr("RaceStudio3 cannot add \"%1\" either.\n\n%2").arg(shown, missing);
    QMessageBox box(QMessageBox::Warning, tr("Add Homebrew Page"),
                    tr("Adding a homebrew page directly in Korvelanto does not yet render correctly in "
                       "RaceStudio3.\n\n%1")
                        .arg(advice),
                    QMessageBox::Cancel, this);
    box.setTextFormat(Qt::PlainText);
    QPushButton* anyway = box.addButton(tr("Add in Korvelanto anyway (may fail in RS3)"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setCheckBox(new QCheckBox(tr("Don't show this again"), &box));
    Asker::instance().exec(&box);
    if (box.checkBox()->isChecked())
        settings.setValue(QLatin1String(kSuppressHomebrewNotice), true);
    return box.clickedButton() == anyway;
}

QString MainWindow::templateFolderForConfig(const AddPageChoice& choice) const
{
    const QString folder = choice.chosen.folderPath;
    // The page goes onto the display chosen in the dialog, so it is saved
    // under that display's tree.
    const QString saveFamily = PageTemplateLibrary::saveFamilyForDash(config.deviceName, choice.targetFamily);
    if (choice.targetFamily.isEmpty() || saveFamily.isEmpty()
        || choice.targetFamily.compare(saveFamily, Qt::CaseInsensitive) == 0)
        return folder;
    const QString relocated =
        PageTemplateLibrary::relocateTemplateIntoSaveOverlay(folder, choice.targetFamily, saveFamily);
    return relocated.isEmpty() ? folder : relocated;
}

std::unique_ptr<AddTextBoxCommand> MainWindow::pushAddTextBox(DashConfig* target, int page, int x, int y,
                                                              const QString& text)
{
    auto command = std::make_unique<AddTextBoxCommand>();
    command->addAsNewMask(target, page, x, y, text);
    command->setText(tr("Add Text Box"));
    return command;
}

void MainWindow::addLabelMask(int x, int y, const QString& labelText, const QString& doneMessage,
                              const QString& failedMessage)
{
    if (!config.page(currentPage))
        return;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    int created = -1;
    std::unique_ptr<AddTextBoxCommand> command = pushAddTextBox(&config, currentPage, x, y, labelText);
    command->setResultTarget(&created);
    pushChecked(*undoStack, command.release(), [&created] { return created >= 0; });
    reshowCurrentPage();
    if (created < 0) {
        statusBar()->showMessage(failedMessage, 2000);
        return;
    }
    canvas->setSelectedMask(created);
    canvas->setSelectedWidget(0);
    statusBar()->showMessage(doneMessage, 3000);
}

void MainWindow::addTextBoxNewMask(int x, int y)
{
    addLabelMask(x, y, tr("Label"), tr("Added text box -- double-click in outliner to rename"),
                 tr("Add text box failed"));
}

void MainWindow::addLabelHere(int x, int y, const QString& text)
{
    addLabelMask(x, y, text.isEmpty() ? tr("Label") : text,
                 tr("Added label \"%1\" -- double-click in outliner to rename").arg(text), tr("Add label failed"));
}

void MainWindow::addTextBoxInBox(int maskIndex, int x, int y)
{
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask)
        return;
    // Asked of the label as it would be added, as Paste and Duplicate ask
    // of theirs: a coloured bar's colours cover only its element.
    pugi::xml_document label;
    pugi::xml_node added = label.append_child("e");
    added.append_attribute("c") = "Label";
    const PageModel* page = config.page(currentPage);
    appendLabelParams(added, x, y, QStringLiteral("Label"), config.labelFontFor(*page, QStringLiteral("Label")));
    const QString refusal = widgetAddRefusal(&config, mask->node, false, addedWidgetRect(added, QPoint()));
    if (!refusal.isEmpty()) {
        statusBar()->showMessage(refusal, 8000);
        return;
    }
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    int created = -1;
    auto* command = new AddTextBoxCommand;
    command->addToMask(&config, currentPage, maskIndex, x, y);
    command->setText(tr("Add Text Box"));
    command->setResultTarget(&created);
    pushChecked(*undoStack, command, [&created] { return created >= 0; });
    reshowCurrentPage();
    if (created < 0) {
        statusBar()->showMessage(tr("Add text box failed"), 2000);
        return;
    }
    canvas->setSelectedMask(maskIndex);
    canvas->setSelectedWidget(created);
    statusBar()->showMessage(tr("Added text box -- double-click in outliner to rename"), 3000);
}

void MainWindow::addValueBar(int maskIndex, int digitWidget)
{
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask)
        return;
    if (digitWidget < 0 && canvas->selectedMask() == maskIndex)
        digitWidget = canvas->selectedWidget();
    const QString refusal = widgetAddRefusal(&config, mask->node, true, QRect());
    if (!refusal.isEmpty()) {
        statusBar()->showMessage(refusal, 8000);
        return;
    }
    if (!mask->node || !isDigitValueMask(mask->node)) {
        statusBar()->showMessage(tr("Value bar is only available for single-value boxes without an existing bar"),
                                 3000);
        return;
    }
    ValueBarDialog dialog(this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    int created = -1;
    pushChecked(*undoStack, new AddValueBarCommand(&config, currentPage, maskIndex, dialog.color(), dialog.minValue(),
                                           dialog.maxValue(), &created, digitWidget), [&created] { return created >= 0; });
    reshowCurrentPage();
    selectMask(maskIndex);
    if (created < 0) {
        statusBar()->showMessage(tr("Add value bar failed"), 4000);
        return;
    }
    canvas->setSelectedWidget(created);
    statusBar()->showMessage(tr("Added value bar"), 3000);
}

void MainWindow::convertToMultiBox(int maskIndex)
{
    const MaskElement* mask = config.maskAt(currentPage, maskIndex);
    if (!mask)
        return;
    const QString kept = firstDigitChannel(*mask);
    const QRect rect(mask->x, mask->y, mask->w, mask->h);
    if (rect.width() < 1 || rect.height() < 1)
        return;
    MultiBoxDialog dialog(overlayFolderForDeviceName(config.deviceName), this);
    if (Asker::instance().exec(&dialog) != QDialog::Accepted)
        return;
    const int rows = dialog.rows();
    const int cols = dialog.cols();
    if (qint64(rows) * cols < 1)
        return;
    std::vector<MultiBoxCellRequest> cells(size_t(qint64(rows) * cols));
    cells.front().channelLongName = kept;

    // Opening the macro drops the redo side: with steps there, the add is
    // tried on its own first, so a convert that cannot work keeps them.
    if (undoStack->canRedo()) {
        int probe = -1;
        AddMultiBoxCommand trial(&config, currentPage, rows, cols, dialog.labelPlacement(), cells, rect, &probe);
        trial.redo();
        if (probe < 0) {
            showArtworkFailure(tr("Convert to multi-value box"), tr("Convert to multi-value box failed"),
                               ArtworkFailureReason::forMultiBox(config), QString());
            return;
        }
        trial.undo();
    }
    propertyPanel->clear();
    canvas->setSelectedWidget(-1);
    int created = -1;
    {
        // The original goes only once its replacement stands: the add puts
        // the new box after the existing masks, so maskIndex still names it.
        UndoMacroGuard macro(undoStack, tr("Convert to multi-value box"));
        undoStack->push(new AddMultiBoxCommand(&config, currentPage, rows, cols, dialog.labelPlacement(),
                                               std::move(cells), rect, &created));
        if (created < 0)
            macro.discard();
        else
            undoStack->push(new DeleteCommand(&config, currentPage, maskIndex));
    }
    reshowCurrentPage();
    canvas->update();
    if (created < 0) {
        // A grid that could not be recorded says so; the box stays as it was.
        showArtworkFailure(tr("Convert to multi-value box"), tr("Convert to multi-value box failed"),
                           ArtworkFailureReason::forMultiBox(config), QString());
        return;
    }
    statusBar()->showMessage(tr("Converted to a %1x%2 multi-value box%3")
                                 .arg(QString::number(rows), QString::number(cols),
                                      kept.isEmpty() ? QString() : tr(" (kept %1)").arg(kept)),
                             4000);
}
