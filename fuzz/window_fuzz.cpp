// Hostile device XML shown the way a user meets it: the main window opens the
// configuration, then every page is picked in the page list and every mask
// and widget selected on the canvas, so the outliner and the property panel
// fill in for each; the window is drawn once per page. Nothing may crash,
// and the four views must agree on the selection.

#include "FuzzEnvironment.h"

#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "support/ScriptedAsker.h"
#include "window/MainWindow.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace {

MainWindow* g_window = nullptr;
ScriptedAsker* g_asker = nullptr;

// The outliner's current row names the canvas's selection.
void checkAgreement(DashCanvas* canvas, ElementListPanel* outliner)
{
    const QTreeWidgetItem* row = outliner->currentItem();
    const int mask = row ? row->data(0, ElementListPanel::MaskIndexRole).toInt() : -1;
    const int widget = row ? row->data(0, ElementListPanel::WidgetIndexRole).toInt() : -1;
    if (mask != canvas->selectedMask() || widget != canvas->selectedWidget())
        std::abort();
}

void selectEverything(DashCanvas* canvas, PageListPanel* pages, ElementListPanel* outliner)
{
    for (int page = 0; page < pages->count() && page < 4; ++page) {
        pages->setCurrentRow(page);
        for (int mask = 0; mask < outliner->topLevelItemCount() && mask < 24; ++mask) {
            canvas->setSelectedMask(mask);
            checkAgreement(canvas, outliner);
            const QTreeWidgetItem* row = outliner->topLevelItem(mask);
            for (int widget = 0; row && widget < row->childCount() && widget < 8; ++widget) {
                canvas->setSelectedWidget(widget);
                checkAgreement(canvas, outliner);
            }
        }
        g_window->grab();
    }
}

} // namespace

// Qt keeps the glyphs of fonts it has drawn until its font cache is swept
// from the event loop, which a harness never runs; what it still holds at
// exit is no finding of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QFontEngineFT\nleak:libQt6Gui\nleak:libfreetype\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::start(argc, argv);
    g_asker = new ScriptedAsker;
    g_window = new MainWindow;
    g_window->resize(1280, 750);
    // The window goes before the application object does, as in the program;
    // left to the exit handlers it would outlive it.
    std::atexit([] {
        delete g_window;
        delete g_asker;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString input = FuzzEnvironment::filePath(QStringLiteral("window.zconf2"));
    QFile::remove(input);
    if (!FuzzEnvironment::writeConfiguration(input, reinterpret_cast<const char*>(data), size))
        return 0;
    // An edit a repair made to the last input is let go, never saved.
    g_asker->buttons = {QMessageBox::Discard};
    g_asker->asked.clear();
    g_window->openFilePath(input);
    DashCanvas* canvas = g_window->findChild<DashCanvas*>();
    PageListPanel* pages = g_window->findChild<PageListPanel*>();
    ElementListPanel* outliner = g_window->findChild<ElementListPanel*>();
    if (!canvas || !pages || !outliner)
        std::abort();
    selectEverything(canvas, pages, outliner);
    return 0;
}
