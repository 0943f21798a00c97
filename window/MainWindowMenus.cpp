// The menu bar and the toolbar. Every key set here works wherever the focus
// is inside the window; Undo and Redo keys sit on the Edit menu's pair only,
// since a second action with the same key in one window would make both dead.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>

template <typename Result>
QAction* MainWindow::addMenuAction(QMenu* menu, const QString& text, Result (MainWindow::*handler)(),
                                   const QKeySequence& key)
{
    QAction* action = menu->addAction(text);
    if (!key.isEmpty()) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return action;
}

void MainWindow::createMenus()
{
    createFileMenu();
    createEditMenu();
    createToolsMenu();
    createHelpMenu();
}

void MainWindow::createFileMenu()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    addMenuAction(file, tr("&Open..."), &MainWindow::openFileDialog, QKeySequence::Open);
    saveAction = addMenuAction(file, tr("&Save"), &MainWindow::save, QKeySequence::Save);
    saveAsAction = addMenuAction(file, tr("Save &As..."), &MainWindow::saveAs, QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    renameConfigAction = addMenuAction(file, tr("&Rename Config..."), &MainWindow::renameConfig);
    file->addSeparator();
    newHomebrewThemeAction = addMenuAction(file, tr("&New Homebrew Theme..."), &MainWindow::newHomebrewTheme);
    addMenuAction(file, tr("&Export Theme..."), &MainWindow::showExportTheme);
    addMenuAction(file, tr("Export &Install Bundle..."), &MainWindow::exportInstallBundle);
    addMenuAction(file, tr("Install &Config Bundle..."), &MainWindow::installConfigBundle);
    addMenuAction(file, tr("Open .dash&theme..."), &MainWindow::openThemeBundle);
    saveThemeAction = addMenuAction(file, tr("Save As .dashtheme..."), &MainWindow::saveTheme);
    saveThemeAction->setEnabled(false);
    addMenuAction(file, tr("&Online Themes..."), &MainWindow::openOnlineThemes);
    file->addSeparator();
    loadCsvMenuAction = addMenuAction(file, tr("Load &CSV Data..."), &MainWindow::loadCsvData);
    file->addSeparator();
    QAction* exit = file->addAction(tr("E&xit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::createEditMenu()
{
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* undo = createHistoryAction(true, tr("&Undo"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setShortcutContext(Qt::WindowShortcut);
    edit->addAction(undo);
    QAction* redo = createHistoryAction(false, tr("&Redo"));
    redo->setShortcut(QKeySequence::Redo);
    redo->setShortcutContext(Qt::WindowShortcut);
    edit->addAction(redo);
    edit->addSeparator();
    insertElementAction = addMenuAction(edit, tr("&Insert Element..."), &MainWindow::insertElement,
                                        QKeySequence(QStringLiteral("Ctrl+I")));
    deleteElementAction = addMenuAction(edit, tr("&Delete Element"), &MainWindow::deleteElement, QKeySequence::Delete);
    duplicateWidgetAction = addMenuAction(edit, tr("D&uplicate Widget"), &MainWindow::duplicateWidget,
                                          QKeySequence(QStringLiteral("Ctrl+D")));
    copyWidgetAction = addMenuAction(edit, tr("&Copy Widget"), &MainWindow::copyWidget, QKeySequence::Copy);
    pasteWidgetAction = addMenuAction(edit, tr("&Paste Widget"), &MainWindow::pasteWidget, QKeySequence::Paste);
    selectAllWidgetsAction =
        addMenuAction(edit, tr("Select &All Widgets"), &MainWindow::selectAllWidgets, QKeySequence::SelectAll);
    edit->addSeparator();
    clearPageAction = addMenuAction(edit, tr("&Clear Page"), &MainWindow::clearPage);
    newBlankPageAction = addMenuAction(edit, tr("&New Blank Page"), &MainWindow::newBlankPage,
                                       QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    deleteCurrentPageAction = addMenuAction(edit, tr("&Delete Current Page"), &MainWindow::deleteCurrentPage);
    addMenuAction(edit, tr("Set Page &Background from Image..."), &MainWindow::setPageBackground);
    addPageFromTemplateAction = addMenuAction(edit, tr("&Add Page from Template..."),
                                              &MainWindow::addPageFromTemplate, QKeySequence(QStringLiteral("Ctrl+T")));
    saveCurrentAsTemplateAction =
        addMenuAction(edit, tr("&Save Current Page as Template..."), &MainWindow::saveCurrentAsTemplate);
}

void MainWindow::createToolsMenu()
{
    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    addMenuAction(tools, tr("&Settings..."), &MainWindow::openSettings);
    addMenuAction(tools, tr("&Preferences..."), &MainWindow::openPreferences);
    tools->addSeparator();
    addMenuAction(tools, tr("&Check config..."), &MainWindow::showCheckConfig);
    tools->addSeparator();
    QAction* preview = tools->addAction(tr("&Preview (hide editor chrome)"));
    preview->setCheckable(true);
    preview->setShortcut(QKeySequence(Qt::Key_F5));
    preview->setShortcutContext(Qt::WindowShortcut);
    connect(preview, &QAction::toggled, this, &MainWindow::setPreviewMode);
    tools->addSeparator();
    addMenuAction(tools, tr("AIM &Element Library..."), &MainWindow::showElementLibrary);
    addMenuAction(tools, tr("Re&fresh box artwork"), &MainWindow::refreshBoxArtwork);
    addMenuAction(tools, tr("&Generate Invisible Chrome from current theme..."), &MainWindow::generateInvisibleChrome);
}

void MainWindow::createHelpMenu()
{
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    addMenuAction(help, tr("&About Korvelanto..."), &MainWindow::showAbout);
    help->addSeparator();
    addMenuAction(help, tr("&Send Debug Report..."), &MainWindow::showSendDebugReport);
}

void MainWindow::setPreviewMode(bool on)
{
    canvas->previewMode = on;
    canvas->refresh();
    statusBar()->showMessage(on ? tr("Preview - editor chrome hidden (F5 to exit)") : tr("Preview off"), 3000);
}

void MainWindow::createToolBar()
{
    QToolBar* bar = addToolBar(tr("Main"));
    connect(bar->addAction(tr("Open")), &QAction::triggered, this, &MainWindow::openFileDialog);
    saveToolbarAction = bar->addAction(tr("Save"));
    connect(saveToolbarAction, &QAction::triggered, this, &MainWindow::save);
    bar->addSeparator();
    // A second pair, without keys: the Edit menu's pair carries them.
    bar->addAction(createHistoryAction(true, tr("Undo")));
    bar->addAction(createHistoryAction(false, tr("Redo")));
    bar->addSeparator();

    auto* grid = new QCheckBox(tr("Grid Snap"), bar);
    connect(grid, &QCheckBox::toggled, this, [this](bool checked) { canvas->setGrid(checked, 10); });
    bar->addWidget(grid);
    bar->addSeparator();

    loadCsvToolbarAction = bar->addAction(tr("Load CSV"));
    connect(loadCsvToolbarAction, &QAction::triggered, this, &MainWindow::loadCsvData);
    sampleDataCheck = new QCheckBox(tr("Sample data"), bar);
    sampleDataCheck->setObjectName(QStringLiteral("sampleDataCheck"));
    sampleDataCheck->setToolTip(
        tr("Animate widgets with synthetic values (no CSV needed). Useful for editor preview + demo videos."));
    connect(sampleDataCheck, &QCheckBox::toggled, this, &MainWindow::toggleSampleData);
    bar->addWidget(sampleDataCheck);
    bar->addWidget(new QLabel(tr(" Speed: "), bar));
    sampleSpeedSlider = new QSlider(Qt::Horizontal, bar);
    sampleSpeedSlider->setObjectName(QStringLiteral("sampleSpeedSlider"));
    sampleSpeedSlider->setToolTip(tr("Sample-data speed multiplier (0.1\u00d7 .. 4\u00d7)."));
    sampleSpeedSlider->setRange(1, 40);
    sampleSpeedSlider->setValue(10);
    sampleSpeedSlider->setFixedWidth(80);
    sampleSpeedSlider->setEnabled(false);
    connect(sampleSpeedSlider, &QSlider::valueChanged, this, [this](int value) { speedMultiplier = value / 10.0; });
    bar->addWidget(sampleSpeedSlider);
    bar->addSeparator();

    bar->addWidget(new QLabel(QStringLiteral(" Speed: "), bar));
    auto* unit = new QComboBox(bar);
    unit->setObjectName(QStringLiteral("speedUnitCombo"));
    unit->addItems({QStringLiteral("km/h"), QStringLiteral("mph"), QStringLiteral("knots")});
    unit->setFixedWidth(65);
    connect(unit, &QComboBox::currentIndexChanged, canvas, &DashCanvas::setSpeedUnit);
    bar->addWidget(unit);
}
