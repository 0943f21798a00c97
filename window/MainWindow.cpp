// The window's construction, its wiring and its life: members, callbacks,
// panels, playback bar, status bar, the signal table, closing and teardown.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "gallery/ThemeInstaller.h"
#include "gallery/ThemePackage.h"
#include "model/InstallRoots.h"
#include "panels/ElementListPanel.h"
#include "panels/PageListPanel.h"
#include "panels/PropertyPanel.h"
#include "window/AfterFirstPaint.h"
#include "dialogs/FileCountProgress.h"
#include "templates/TemplateUsers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    undoStack = new QUndoStack(this);
    canvas = new DashCanvas(this);
    canvas->setObjectName(QStringLiteral("canvas"));
    canvas->setUndoStack(undoStack);
    canvas->config = &config;
    installCanvasCallbacks();
    createPanels();
    createPlaybackBar();
    createCentralWidget();
    createMenus();
    createToolBar();
    createStatusBar();
    connectSignals();
    // A users search long enough to notice shows how far it has come, and
    // may be cancelled: what it then left unread counts as in use.
    TemplateUsers::setProgressShown([] {
        auto shown = std::make_shared<FileCountProgress>(
            QApplication::activeWindow(), tr("Korvelanto"),
            tr("Looking for the configurations that use it: %1 of %2 files"));
        shown->allowCancel();
        return TemplateUsers::Progress([shown](int done, int total) { return shown->cancellableCallback()(done, total); });
    });

    resize(1280, 750);
    setWindowTitle(QStringLiteral("Korvelanto"));
    restoreWindowGeometry();
    startUpdateCheck();
    savedDigest = config.documentDigest();
}

MainWindow::~MainWindow()
{
    // The commands on the stack and the timers' handlers reach into the
    // configuration, which goes before the child objects: take them down
    // while it still exists.
    playbackTimer->stop();
    sampleClock->stop();
    undoStack->clear();
    canvas->setDataSource(nullptr);
    canvas->setPage(nullptr);
    // A download still running ends while the children go: its outcome
    // must not reach a window that is half destroyed.
    if (themeInstaller)
        themeInstaller->disconnect(this);
    // The focus moves while the children go: no view is noted any more.
    disconnect(qApp, nullptr, this, nullptr);
}

void MainWindow::installCanvasCallbacks()
{
    canvas->setMaskImageProvider([this](int mask) { return config.renderBoxStyleImage(currentPage, mask); });
    canvas->setIconPreviewProvider([this](int mask) {
        const QString graphic = config.iconPreviewGraphic(currentPage, mask);
        return graphic.isEmpty() ? QString() : resolveAssetPath(graphic);
    });
    canvas->setIconGraphicProvider([this](int mask) { return config.iconFileForMask(currentPage, mask); });
    config.pageRenderer = [this](int page) { return DashCanvas::renderPageForPreview(&config, page, false, 1); };
}

void MainWindow::createPanels()
{
    pageList = new PageListPanel(this);
    elementList = new ElementListPanel(this);
    propertyPanel = new PropertyPanel(this);
    // Nothing is selected before a file is open: blank fields, not numbers.
    propertyPanel->clear();
    propertyPanel->setUndoStack(undoStack);
    propertyPanel->setMaximumWidth(220);
}

void MainWindow::createPlaybackBar()
{
    timelineSlider = new QSlider(Qt::Horizontal, this);
    timelineSlider->setObjectName(QStringLiteral("timeline"));
    timelineSlider->setRange(0, 0);
    timelineSlider->setEnabled(false);
    timeLabel = new QLabel(QStringLiteral("00:00.0"), this);
    timeLabel->setObjectName(QStringLiteral("timeLabel"));
    timeLabel->setFixedWidth(60);
    playButton = new QPushButton(tr("Play"), this);
    playButton->setObjectName(QStringLiteral("playButton"));
    playButton->setFixedWidth(50);
    playButton->setEnabled(false);
    playbackSpeedCombo = new QComboBox(this);
    playbackSpeedCombo->setObjectName(QStringLiteral("playbackSpeedCombo"));
    playbackSpeedCombo->addItems({QStringLiteral("1x"), QStringLiteral("2x"), QStringLiteral("4x")});
    playbackSpeedCombo->setFixedWidth(45);
    playbackSpeedCombo->setEnabled(false);
    playbackTimer = new QTimer(this);
    playbackTimer->setObjectName(QStringLiteral("playbackTimer"));
    playbackTimer->setInterval(100);
    sampleClock = new QTimer(this);
    sampleClock->setObjectName(QStringLiteral("sampleClock"));
    sampleClock->setInterval(33);
}

QWidget* MainWindow::createOutlinerPane()
{
    outlinerFilter = new QLineEdit(this);
    outlinerFilter->setObjectName(QStringLiteral("outlinerFilter"));
    outlinerFilter->setPlaceholderText(tr("Filter elements\u2026"));
    // The clear button's icon comes from an icon-theme search that costs
    // more than the rest of the window; the empty field looks the same
    // without it, so it is turned on once the field has been shown.
    AfterFirstPaint::run(outlinerFilter, [filter = outlinerFilter] { filter->setClearButtonEnabled(true); });
    auto* pane = new QWidget(this);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(outlinerFilter);
    layout->addWidget(elementList, 1);

    connect(outlinerFilter, &QLineEdit::textChanged, elementList, &ElementListPanel::applyFilter);
    connect(elementList, &ElementListPanel::pageRepopulated, outlinerFilter, &QLineEdit::clear);
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        outlinerFilter->setFocus(Qt::ShortcutFocusReason);
        outlinerFilter->selectAll();
    });
    return pane;
}

void MainWindow::createCentralWidget()
{
    auto* playbackBar = new QWidget(this);
    auto* barLayout = new QHBoxLayout(playbackBar);
    barLayout->setContentsMargins(4, 2, 4, 2);
    barLayout->addWidget(playButton);
    barLayout->addWidget(playbackSpeedCombo);
    barLayout->addWidget(timelineSlider, 1);
    barLayout->addWidget(timeLabel);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QWidget* outlinerPane = createOutlinerPane();
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* propertyScroll = new QScrollArea(this);
    propertyScroll->setWidget(propertyPanel);
    propertyScroll->setWidgetResizable(true);
    propertyScroll->setFrameShape(QFrame::NoFrame);
    propertyScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    propertyScroll->setFixedWidth(220);
    splitter->addWidget(pageList);
    splitter->addWidget(outlinerPane);
    splitter->addWidget(canvas);
    splitter->addWidget(propertyScroll);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 0);
    splitter->setStretchFactor(2, 1);
    splitter->setStretchFactor(3, 0);
    // The side panels start at their widest, so no blank strip is left
    // beside a panel that cannot grow.
    splitter->setSizes({pageList->maximumWidth(), elementList->maximumWidth(), 1280, 220});

    placeUpdateBanner(layout);
    layout->addWidget(splitter, 1);
    layout->addWidget(playbackBar, 0);
    setCentralWidget(central);
}

void MainWindow::createStatusBar()
{
    deviceBadge = new QLabel(this);
    deviceBadge->setStyleSheet(QStringLiteral("QLabel { padding: 1px 6px; background: #2a4060; color: #e0e8ff; "
                                              "border-radius: 3px; font-weight: bold; }"));
    deviceBadge->hide();
    statusBar()->addPermanentWidget(deviceBadge);
    auto* version = new QLabel(QStringLiteral("v%1").arg(QCoreApplication::applicationVersion()), this);
    version->setStyleSheet(QStringLiteral("QLabel { color: #888; padding: 1px 6px; }"));
    statusBar()->addPermanentWidget(version);
    statusBar()->showMessage(tr("Ready -- Open a .zconf2 file to begin"));
}

void MainWindow::connectSignals()
{
    connect(pageList, &PageListPanel::pageSelected, this, &MainWindow::onPageSelected);
    connectCanvas();
    connectOutliner();
    connectPropertyPanel();
    connect(undoStack, &QUndoStack::indexChanged, this, &MainWindow::onUndoIndexChanged);
    connectPlayback();
    connectFocusReturn();
}

void MainWindow::connectCanvas()
{
    // First, so that every handler below already finds the new choice kept.
    connect(canvas, &DashCanvas::elementSelected, this, &MainWindow::rememberSelection);
    connect(canvas, &DashCanvas::widgetSelected, this, &MainWindow::rememberSelection);
    connect(canvas, &DashCanvas::selectionChanged, this, &MainWindow::rememberSelection);
    connect(canvas, &DashCanvas::elementSelected, this, &MainWindow::onElementSelected);
    connect(canvas, &DashCanvas::elementMoved, this, &MainWindow::onElementMoved);
    connect(canvas, &DashCanvas::elementResized, this, &MainWindow::onElementResized);
    connect(canvas, &DashCanvas::widgetSelected, this, &MainWindow::onWidgetSelected);
    connect(canvas, &DashCanvas::widgetMoved, this, &MainWindow::onElementMoved);
    connect(canvas, &DashCanvas::widgetResized, this, &MainWindow::onElementMoved);
    connect(canvas, &DashCanvas::deleteRequested, this, &MainWindow::onDeleteRequested);
    connect(canvas, &DashCanvas::editRefused, this,
            [this](const QString& message) { statusBar()->showMessage(message, 6000); });
    connect(canvas, &DashCanvas::elementSelected, this, [this](int mask) { elementList->selectElement(mask, -1); });
    connect(canvas, &DashCanvas::widgetSelected, elementList, &ElementListPanel::selectElement);
    connect(canvas, &DashCanvas::selectionChanged, this, &MainWindow::showCanvasSelection);
}

void MainWindow::connectOutliner()
{
    connect(elementList, &ElementListPanel::elementClicked, this, &MainWindow::selectMask);
    connect(elementList, &ElementListPanel::widgetClicked, this, [this](int mask, int widget) {
        canvas->setSelectedMask(mask);
        canvas->setSelectedWidget(widget);
        onWidgetSelected(mask, widget);
    });
    // A rebuilt tree has no current row: it shows the canvas's selection
    // again, so no later focus change can pick a row of its own.
    connect(elementList, &ElementListPanel::pageRepopulated, this,
            [this] { elementList->selectElement(canvas->selectedMask(), canvas->selectedWidget()); });
    connect(elementList, &ElementListPanel::labelTextChanged, this, &MainWindow::onLabelTextChanged);
    connect(elementList, &ElementListPanel::rowContextMenuRequested, this, &MainWindow::showOutlinerContextMenu);
    connect(canvas, &DashCanvas::contextMenuRequested, this, &MainWindow::showCanvasContextMenu);
}

template <typename Action> void MainWindow::forSelectedMask(Action action)
{
    const int mask = canvas->selectedMask();
    if (mask >= 0)
        action(mask);
}

void MainWindow::connectPropertyPanel()
{
    connect(propertyPanel, &PropertyPanel::positionChanged, this, &MainWindow::onPositionChanged);
    connect(propertyPanel, &PropertyPanel::sizeChanged, this, &MainWindow::onPropertySizeChanged);
    connect(propertyPanel, &PropertyPanel::geometrySettled, this, &MainWindow::onPropertyGeometrySettled);
    connect(propertyPanel, &PropertyPanel::barColorRequested, this,
            [this] { forSelectedMask([this](int mask) { applyColorBar(mask); }); });
    connect(propertyPanel, &PropertyPanel::barColorRemoveRequested, this,
            [this] { forSelectedMask([this](int mask) { removeBarColor(mask); }); });
    connect(propertyPanel, &PropertyPanel::iconPreviewRequested, this,
            [this] { forSelectedMask([this](int mask) { setIconPreview(mask); }); });
    connect(propertyPanel, &PropertyPanel::iconPreviewRemoveRequested, this,
            &MainWindow::onIconPreviewRemoveRequested);
    connect(propertyPanel, &PropertyPanel::valueAlignmentChanged, this, &MainWindow::onValueAlignmentChanged);
    connect(propertyPanel, &PropertyPanel::channelRebindRequested, this, &MainWindow::onChannelRebindRequested);
    connect(propertyPanel, &PropertyPanel::editRefused, this,
            [this](const QString& message) { statusBar()->showMessage(message, 5000); });
    connect(propertyPanel, &PropertyPanel::fontChanged, canvas, qOverload<>(&QWidget::update));
    // A label's text typed into the panel is what the outliner row shows.
    connect(propertyPanel, &PropertyPanel::fontChanged, this,
            [this] { elementList->refreshTexts(config.page(currentPage)); });
}

void MainWindow::connectPlayback()
{
    connect(timelineSlider, &QSlider::valueChanged, this, &MainWindow::onTimelineChanged);
    connect(playButton, &QPushButton::clicked, this, &MainWindow::togglePlayback);
    connect(playbackTimer, &QTimer::timeout, this, &MainWindow::onPlaybackTick);
    connect(sampleClock, &QTimer::timeout, this, &MainWindow::onSampleClockTick);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!confirmDiscardChanges()) {
        event->ignore();
        return;
    }
    QSettings settings;
    settings.setValue(QStringLiteral("MainWindow/geometry"), saveGeometry());
    QMainWindow::closeEvent(event);
}
