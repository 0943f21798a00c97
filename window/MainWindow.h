#pragma once

#include "dialogs/AddPageChoice.h"
#include "editing/HeldXml.h"
#include "updates/UpdateSeams.h"
#include "canvas/CsvDataSource.h"
#include "canvas/SampleDataSource.h"
#include "gallery/GalleryRequests.h"
#include "model/ChannelInfo.h"
#include "model/DashConfig.h"
#include "model/ElementKey.h"

#include <QByteArray>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class AddTextBoxCommand;
struct ArtworkBackup;
struct ArtworkTarget;
struct ConfigTarget;
struct ArtFolderInUse;
struct ArtInUseCheck;
enum class ArtInUseAnswer;

struct ArtworkExportInfo;

struct ElementTypeEntry;
class ConfigCheckDialog;
class DashCanvas;
class ElementListPanel;
class PageListPanel;
class PropertyPanel;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressDialog;
class QPushButton;
class QSize;
class QSlider;
class QTimer;
class QUndoStack;
class QVBoxLayout;
class ThemePackage;
class UpdateBanner;
class UpdateChecker;
struct MirrorReport;
struct TemplateUsers;
struct UpdateManifest;
namespace gallery {
class ThemeInstaller;
}

// The editor's only top-level window: it owns the open configuration, the
// undo stack, the canvas, the side panels, the telemetry sources and the
// playback bar, and wires every panel to its handlers. It declares no signals
// or slots of its own; every connection goes to a member or a lambda.
//
// Member definitions are split by concern, in the order of the groups below:
// construction and the window's life (MainWindow.cpp), menus and toolbar
// (MainWindowMenus.cpp), opening, saving and closing (MainWindowOpenSave.cpp),
// selection and panel handlers (MainWindowSelection.cpp), element and page
// actions (MainWindowEditActions.cpp; inserting elements in
// MainWindowInsertElement.cpp; copy and paste in
// MainWindowClipboard.cpp; deleting, duplicating, clearing and bringing to
// front in MainWindowPages.cpp), playback (MainWindowPlayback.cpp),
// themes, gallery and updates (MainWindowThemes.cpp), and tools, dialogs and
// context menus (MainWindowTools.cpp). Later concerns have files of their
// own, each named beside its block below.
class MainWindow : public QMainWindow {
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // --- opening, saving and closing (MainWindowOpenSave.cpp) ---------------
    void openFileDialog();
    // Opens a configuration named on the command line; a missing file is
    // reported in the window.
    void openFilePath(const QString& path);
    void loadConfig(const QString& path);
    // True when it wrote the open file (or the Save As target).
    bool save();
    bool saveAs();
    // After a repair changed the open file's content in memory: the first
    // save over that file keeps it as it stood on disk (".pre-repair").
    // Nothing without an open file.
    void markRepairedFile();
    void updateWindowTitle();
    void refreshPageList();
    // Changes the user would lose by closing: the undo stack away from its
    // clean state, or device XML written outside the undo history since the
    // last load or save.
    bool hasUnsavedChanges() const;

    // --- what tests and start-up read --------------------------------------
    int currentPageIndex() const { return currentPage; }
    QString currentFile() const { return currentFilePath; }
    double sampleSpeedMultiplier() const { return speedMultiplier; }

    // The add-page dialog's run; tests script its answers instead.
    using AddPageDialogFactory = std::function<AddPageChoice()>;
    void setAddPageDialogFactory(AddPageDialogFactory factory) { addPageDialogFactory = std::move(factory); }
    // The available areas of the screens a restored window must reach;
    // tests stand in for a monitor that is gone. Empty: the real screens.
    using ScreenAreaProvider = std::function<QList<QRect>()>;
    void setScreenAreaProvider(ScreenAreaProvider provider) { screenAreaProvider = std::move(provider); }

    // The factory's default: the add-page dialog run through the asker
    // (MainWindowTemplates.cpp).
    AddPageChoice runAddPageDialog();

    // --- undo and redo (MainWindowHistory.cpp) ------------------------------
    // An Undo or Redo action of the window's history (back: Undo), labelled
    // and enabled by the history, triggering stepHistory.
    QAction* createHistoryAction(bool back, const QString& prefix);
    // One step through the history. A step that left the document as it was
    // (its records could not be written) is taken back, so the history says
    // what the document holds, and the window says why.
    void stepHistory(bool back);
    // After a command started from a menu, a context menu, the toolbar or a
    // panel button (and the dialogs they open), the keys go back to the
    // view the user last worked in, the canvas or the outliner, so Undo and
    // Redo reach the document: a button the command hid or disabled would
    // otherwise hand them on to the next field, the outliner's filter,
    // which keeps Ctrl+Z for its own text.
    void returnFocusToDocument();

    // --- selection and panel handlers (MainWindowSelection.cpp) ------------
    void onPageSelected(int index);
    void onElementSelected(int maskIndex);
    void onWidgetSelected(int maskIndex, int widgetIndex);
    void onElementMoved();
    void onElementResized(int maskIndex, int w, int h);
    void onDeleteRequested(int maskIndex);
    void onLabelTextChanged(int maskIndex, int widgetIndex, const QString& oldText, const QString& newText);
    void onPositionChanged(int x, int y);
    void onPropertySizeChanged(int w, int h);
    // A run of steps in the panel became its move: what its art fit left
    // to say is said now, for the gesture that caused it.
    void onPropertyGeometrySettled();
    void onValueAlignmentChanged(const QString& alignment);
    void onChannelRebindRequested(const ChannelInfo& channel);
    void onIconPreviewRemoveRequested();
    void onUndoIndexChanged(int index);
    void onCheckJumpToElement(int pageIndex, const QString& elementId);

    // --- element and page actions (MainWindowEditActions.cpp) --------------
    void insertElement();
    void deleteElement();
    void deleteSelectedWidget();
    void duplicateWidget();
    void duplicateMask();
    void copyWidget();
    void pasteWidget();
    void selectAllWidgets();
    void clearPage();
    void newBlankPage();
    void duplicateCurrentPage();
    void deleteCurrentPage();
    void setPageBackground();
    void addPageFromTemplate();
    // --- adding content (MainWindowAddActions.cpp) ---------------------------
    // The "Add Text Box" command for a new mask holding one Label, not yet
    // pushed: the caller pushes it.
    std::unique_ptr<AddTextBoxCommand> pushAddTextBox(DashConfig* target, int page, int x, int y,
                                                      const QString& text);
    // A new mask holding one Label at (x, y) in page pixels.
    void addTextBoxNewMask(int x, int y);
    // A new mask holding a Label with `text` at (x, y) in page pixels.
    void addLabelHere(int x, int y, const QString& text);
    // A Label into the mask at (x, y) from the mask's top-left.
    void addTextBoxInBox(int maskIndex, int x, int y);
    void saveCurrentAsTemplate();
    // A bar under the value of the Digit `digitWidget` of the mask: when
    // -1, the Digit selected in that mask, else the mask's first.
    void addValueBar(int maskIndex, int digitWidget = -1);
    void removeBarColor(int maskIndex);
    void convertToMultiBox(int maskIndex);
    void exportElementArtwork(int maskIndex);
    void bindWidgetToChannel(const ChannelInfo& channel);
    void bringToFront();
    void sendToBack();
    void moveMaskUp();
    void moveMaskDown();
    void mirrorBox(int maskIndex);
    void swapArtwork(int maskIndex);
    void replaceArtwork(int maskIndex);
    void pickTextColour(int maskIndex, int widgetIndex);
    void snapToCanonicalSize();
    // Tells the user when a Digit mask's text size has no firmware font.
    void snapTextToBundledFont(int maskIndex);
    void renameConfig();

    // --- restyling one mask's artwork (MainWindowArtActions.cpp) -----------
    void applyBoxStyle(int maskIndex);
    void applyColorBar(int maskIndex);
    void setIconPreview(int maskIndex);
    void showIconPreviewFailure();

    // --- playback (MainWindowPlayback.cpp) ---------------------------------
    void loadCsvData();
    void toggleSampleData(bool checked);
    void onTimelineChanged(int value);
    void togglePlayback();
    void onPlaybackTick();
    void onSampleClockTick();

    // --- themes and updates (MainWindowThemes.cpp) -------------------------

    // --- themes and gallery (MainWindowThemes.cpp) --------------------------
    void newHomebrewTheme();
    void showExportTheme();
    void openThemeBundle();
    void saveTheme();

    // --- updates (MainWindowUpdates.cpp) ------------------------------------
    void onUpdateAvailable(const UpdateManifest& manifest);
    void onUpdateRequested(const UpdateManifest& manifest);
    // The running executable and the steps that replace it; tests point
    // them at a copy and make single steps fail.
    void setUpdateSeams(const UpdateSeams& seams) { updateSeams = seams; }

    // --- the online gallery and its installs (MainWindowGallery.cpp) --------
    void openOnlineThemes();
    // One install at a time; refused while RaceStudio 3 runs.
    void installThemeFromGallery(const QString& slug, const QString& nonce);
    void onThemeInstallProgress(int percent, const QString& stage);
    void onThemeInstalled(int deviceCount, const QString& themeName, const QString& keptAside);
    void onConfigInstalled(int artFileCount, const QString& configName, const QString& configPath,
                           const QStringList& kept, const QStringList& ownFolders = {});
    void onThemeInstallFailed(const QString& reason);
    void onConfigInstallFailed(const QString& reason, const QString& configPath, const QStringList& kept);
    void onThemeInstallCancelled();
    // The gallery service the dialog and the installer talk to; tests point
    // it at a local one before the first install.
    void setGalleryBaseUrl(const QUrl& url) { galleryBaseUrl = url; }

    // --- tools, dialogs and context menus (MainWindowTools.cpp) ------------
    void exportInstallBundle();
    void installConfigBundle();
    void showCheckConfig();
    void repairConfigValues(ConfigCheckDialog* dialog);
    void refreshBoxArtwork();
    void generateInvisibleChrome();
    // The same with the folder holding tools/make_invisible_chrome.py in
    // place of the program's own.
    void generateInvisibleChrome(const QString& appFolder);
    void showElementLibrary();
    void openSettings();
    void openPreferences();
    void showAbout();
    void showCanvasContextMenu(int maskIndex, int widgetIndex, const QPoint& globalPos, const QPoint& canvasPos);
    void showOutlinerContextMenu(int maskIndex, int widgetIndex, const QPoint& globalPos);
    void restoreWindowGeometry();

    // --- debug reports (MainWindowDebugReport.cpp) --------------------------
    void showSendDebugReport();
    void onSendCheckReportToSupport(const QString& report);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // --- construction (MainWindow.cpp) --------------------------------------
    void installCanvasCallbacks();
    void createPanels();
    void createPlaybackBar();
    QWidget* createOutlinerPane();
    void createCentralWidget();
    void createStatusBar();
    void connectSignals();
    void connectCanvas();
    void connectOutliner();
    void connectPropertyPanel();
    void connectPlayback();
    // Notes the canvas or the outliner as the view the keys go back to.
    void rememberDocumentView(QWidget* old, QWidget* now);
    void connectFocusReturn();
    // The update banner at the top of the central layout, and the start-up
    // update check (MainWindowUpdates.cpp).
    void placeUpdateBanner(QVBoxLayout* layout);
    void startUpdateCheck();
    // Runs `action` for the canvas's selected mask; nothing without one.
    template <typename Action> void forSelectedMask(Action action);

    // --- widget clipboard (MainWindowClipboard.cpp) --------------------------
    struct PasteOutcome {
        int pasted = 0;
        int firstIndex = -1;
        int mode = 0;
        QString maskId; // of the mask pasted into
        QStringList outside; // the pasted widgets it shows nothing of
        QHash<QString, QString> renamed; // pictures the pasted widgets name anew
    };
    void collectMaskArtFiles(const MaskElement& mask, const QStringList& axisIds);
    bool pasteIntoMask(const std::vector<pugi::xml_node>& nodes, int& target, PasteOutcome& outcome);
    // The art step of a paste (PasteArtCommand), pushed into the paste's
    // macro; `renamed` gets the pictures the widgets are to name anew. False
    // (with a status message) when the pictures cannot be brought along:
    // the paste then stops.
    bool pastePictures(const std::vector<pugi::xml_node>& nodes, int target, bool newMask,
                       QHash<QString, QString>& renamed);
    // The pictures the pasted widgets name that no install holds where
    // their mask now draws from.
    QStringList missingPastedPictures(const std::vector<pugi::xml_node>& nodes, int target,
                                      const PasteOutcome& outcome) const;

    // --- deleting and duplicating (MainWindowPages.cpp) ----------------------
    // Shows the page at index in the page list, canvas, outliner and panel.
    void showPageAfterChange(int index);
    // The current page again on the canvas and in the outliner, after an
    // edit rebuilt its records.
    void reshowCurrentPage();

    // --- menus and toolbar (MainWindowMenus.cpp) ----------------------------
    void createMenus();
    void createFileMenu();
    void createEditMenu();
    void createToolsMenu();
    void createHelpMenu();
    void createToolBar();
    template <typename Result>
    QAction* addMenuAction(QMenu* menu, const QString& text, Result (MainWindow::*handler)(),
                           const QKeySequence& key = QKeySequence());
    void setPreviewMode(bool on);

    // --- selection and panel handlers (MainWindowSelection.cpp) ------------
    // The canvas holds the one selection (page, mask, widget); this shows it
    // in the outliner and the property panel, which report only the user's
    // own picks. Nothing selected, or a selection the page no longer has,
    // leaves the outliner without a row and the panel empty.
    void showCanvasSelection();
    // The page list's highlighted row is the current page, whoever switched.
    void followPageInList();
    // The canvas's selection remembered by its element (selectionKey), so
    // that a change of the records can find it again.
    void rememberSelection();
    void findSelectionAgain();
    // Every view shown again from the model after a change of its records.
    void refreshAfterChange();
    // The mask of the current page selected on the canvas, which has every
    // view show it, and the hint about its font size given.
    void selectMask(int maskIndex);
    void showMaskDetails(int maskIndex);
    bool isMultiBox(int maskIndex) const;
    bool rebindSelection(const ChannelInfo& channel);

    // --- opening, saving and closing (MainWindowOpenSave.cpp) ---------------
    void showLoadedPage();
    bool onScreen() const;
    // --- the invisible-chrome generator (MainWindowInvisibleChrome.cpp) ----
    bool confirmInvisibleChrome(const QString& input, const QString& output);
    void runInvisibleChrome(const QString& python, const QString& script, const QString& output,
                            const QString& device);
    void reportInvisibleChrome(int exitCode, bool succeeded, const QString& output, const QString& collected);
    void reparseAllMasks();
    QString openedStatus() const;
    void reportPageBackgrounds();
    void commitTyping();
    void reportRefusedFamilies();
    QString backupBeforeOverwrite(const QString& target) const;
    QString saveFailureText(const QString& path, const QString& reason) const;
    void showSavedStatus(const QString& backupName, const QString& warning = QString());
    // `digest`: the document's fingerprint as a save just left it (taken
    // while it wrote); empty: taken now.
    void markSaved(const QByteArray& digest = QByteArray());
    bool confirmDiscardChanges();
    // --- Discard back to the last save (MainWindowDiscard.cpp) -------------
    // The installs as they are now are the saved state (after a load or a
    // save; the configuration keeps its stores' saved state itself).
    void keepSavedArt();
    void discardToSavedState();
    // --- an install over the open configuration (MainWindowInstallOver.cpp)
    // True when an install placing a configuration at placedPath and
    // changing the files `touched` changes the open configuration: its file,
    // or a record store of its base name (whatever its suffix).
    bool installTouchesOpenConfiguration(const QString& placedPath, const QStringList& touched) const;
    // Asks before such an install writes anything; true when it may go on
    // (an install that touches nothing of it never asks).
    bool mayInstallOver(const ConfigTarget& target);
    // Asks before a bundle's art replaces files of template folders an
    // install holds, naming the users found, what was not searched and the
    // files (see installConfigInstallBundle).
    ArtInUseAnswer askArtInUse(const QList<ArtFolderInUse>& folders);
    // Asks before a theme installed again replaces the folders of its id.
    ArtInUseAnswer askThemeInUse(const ArtFolderInUse& theme);
    ArtInUseAnswer askKeepReplaceCancel(const QString& title, const QString& text, bool canKeep,
                                        const QString& replaceLine, bool canReplace = true);
    // The users count and the question above, for an install from this window.
    ArtInUseCheck artInUseCheck();
    // After an install that kept a copy of the open configuration (one of
    // `kept`), the window goes on with that copy, so its edits never reach
    // the installed files. Returns that copy's path; empty when none was kept.
    // When the open file was gone before the install (openFileGone), the
    // window goes on under a free name beside it even when nothing was kept.
    QString followKeptCopy(const QStringList& kept, bool openFileGone = false);
    // followKeptCopy for an install that placed its configuration at
    // placedPath, and the paragraph telling the user what became of the open
    // configuration; empty when the install did not touch it.
    QString followInstall(const QString& placedPath, const QStringList& kept);
    // The same after a failed install: only a copy of the open configuration
    // it could not put back is followed and named.
    QString followFailedInstall(const QString& placedPath, const QStringList& kept);
    // followKeptCopy, and the paragraph naming the copy; empty when none.
    QString followedCopyText(const QStringList& kept);
    // True when a configuration at path has the open one's record stores.
    bool sharesStoresWith(const QString& path) const;
    // Names each record store that cannot be read, once, at the open
    // (MainWindowOpenSave.cpp).
    void reportUnreadableSidecars();
    // The repair left these boxes (elementLabel) without a readable record:
    // `lead`, the boxes, and why there is no record (MainWindowTools.cpp).
    QString leftBoxesText(const QString& lead, const QStringList& left) const;
    // The boxes whose record describes other art than their item holds: the
    // repair left them (force: it could not draw them into items of their own).
    QString mismatchedBoxesText(const QStringList& boxes, bool force) const;
    // What the art copies of an open or a refresh skipped or could not write.
    QString artCopyNotesText(const QStringList& notes) const;
    // What an edit's art writes left out of an install (a link on the way,
    // a folder that could not be made), named once in a box titled `title`
    // (MainWindowArtActions.cpp).
    void reportArtCopyNotes(const QString& title);

    // --- the outliner's row menu (MainWindowOutlinerMenu.cpp) ---------------
    void fillOutlinerWidgetMenu(QMenu& menu, int maskIndex, int widgetIndex);
    void fillOutlinerMaskMenu(QMenu& menu, int maskIndex);
    void fillOutlinerPageMenu(QMenu& menu);

    // --- artwork replacement (MainWindowArtwork.cpp) --------------------------
    bool askScaleToFit(const QString& error, const QSize& expected);
    bool confirmArtworkReplacement(const ArtworkTarget& target);
    // The confirmation's paragraph on a homebrew template's users; empty for
    // other art.
    QString templateUsersParagraph(const ArtworkTarget& target);
    void reportReplacedArtwork(const QString& note, const QList<ArtworkBackup>& backups);

    // --- adding content (MainWindowAddActions.cpp) ---------------------------
    // A new mask holding one Label with labelText; the status names the
    // outcome.
    void addLabelMask(int x, int y, const QString& labelText, const QString& doneMessage,
                      const QString& failedMessage);
    // The homebrew notice; true when the user still wants the page added.
    bool confirmHomebrewPage(const PageTemplate& tpl, const QString& family);
    // Why RaceStudio 3 cannot offer a homebrew template in its own Homebrew
    // tab; empty when an install holds it.
    QString whyRs3LacksTemplate(const PageTemplate& tpl, const QString& family) const;
    // The template folder to insert from: relocated into the configuration's
    // family when the dialog listed it under another.
    QString templateFolderForConfig(const AddPageChoice& choice) const;
    // --- exporting artwork (MainWindowExportArtwork.cpp) ---------------------
    QString artworkExportReport(const ArtworkExportInfo& info, const QString& folder) const;

    // --- page templates (MainWindowTemplates.cpp) ----------------------------
    // False when a folder the save would write over exists and the user did
    // not agree to replace it, or something uses it (the user was told).
    // *existing receives the folders the save will write over.
    bool confirmReplaceTemplate(const QString& family, const QString& slug, QStringList* existing);
    // What uses a store folder name: RS3's configurations, the open file and
    // the pages its undo history keeps aside (read once, busy cursor shown).
    TemplateUsers templateUsers(const QString& folderName) const;
    // The same for several folder names at once, keyed by name.
    QHash<QString, TemplateUsers> templateUsersOf(const QStringList& folderNames) const;
    // Walks the pages and masks the undo history keeps aside.
    HeldXmlWalk heldXmlWalk() const;
    // The homebrew store's folder for a template of the family.
    QString templateStoreFolder(const QString& family, const QString& slug) const;
    // The canvas as a small PNG, else a dark placeholder naming the template
    // (*placeholder tells which).
    QByteArray templatePreview(const QString& slug, const QString& label, bool* placeholder);
    // True when prw.png and AiM_folder.xml landed; else the user was told.
    bool verifySavedTemplate(const QString& folder);
    void reportTemplateMirror(const MirrorReport& report, const QString& label);

    // --- canvas context menus (MainWindowContextMenus.cpp) -----------------
    QAction* addContextEntry(QMenu* menu, const QString& text, std::function<void()> run,
                             const QKeySequence& key = QKeySequence());
    const MaskElement* contextMask(int maskIndex) const;
    bool isContextDigitBox(int maskIndex) const;
    bool isContextValueBox(int maskIndex) const;
    void addPasteEntry(QMenu* menu);
    void addZOrderEntries(QMenu* menu, int maskIndex);
    void addArtworkEntries(QMenu* menu, int maskIndex);
    void addValueBarEntry(QMenu* menu, int maskIndex, int widgetIndex = -1);
    void addBindToChannelMenu(QMenu* menu);
    void fillWidgetMenu(QMenu* menu, int maskIndex, int widgetIndex);
    void fillBoxMenu(QMenu* menu, int maskIndex, const QPoint& pagePos);
    void fillPageMenu(QMenu* menu, const QPoint& pagePos);
    // The Digit or bar nearest to pagePos within reach of a label, by its
    // text, channel or id; false when none is near enough.
    bool labelCandidateNear(const QPoint& pagePos, QString* name);
    void showWidgetProperties(int maskIndex);

    // --- mask arrangement and blank pages (MainWindowArrange.cpp) ----------
    void moveMaskBy(int step);

    // --- playback (MainWindowPlayback.cpp) ---------------------------------
    // Back to the state before any export was loaded.
    void resetCsvPlayback();
    // Unchecks "Sample data" and stops its clock without running its handler.
    void switchSampleDataOffSilently();

    // --- the online gallery and its installs (MainWindowGallery.cpp) --------
    // Asks until RaceStudio 3 is closed (true) or the user cancels (false).
    bool waitForRaceStudio3Closed();
    void createThemeInstaller();
    void createInstallProgress();
    // Hides the progress dialog and lets the next install start.
    void endGalleryInstall();
    void showInFolder(const QString& path);

    // --- inserting elements (MainWindowInsertElement.cpp) -------------------
    void insertStaticLabel(const ElementTypeEntry& type);
    void insertMultiBox();
    void insertSingleValue(const ElementTypeEntry& type, const ChannelInfo& channel);
    void insertIconMask(const ElementTypeEntry& type);
    void insertRefTimeBar(const ElementTypeEntry& type);
    bool confirmBoxWithoutArt();
    void reportMissingStock(const QString& failure);
    bool confirmBorrowedDonor(const ElementTypeEntry& type);
    void insertFromDonor(const ElementTypeEntry& type, const ChannelInfo& channel);
    QString chooseBarTemplate(const ChannelInfo& channel);
    // Refreshes the canvas and outliner and selects the new mask; false
    // when there is none.
    bool showInsertedMask(int maskIndex);
    QString deviceNameOrThisDevice() const;

    // --- restyling one mask's artwork (MainWindowArtActions.cpp) -----------
    const MaskElement* maskOfCurrentPage(int maskIndex);
    const MaskElement* restylableMask(int maskIndex, bool (*fits)(pugi::xml_node), const QString& refusal);
    void showRestyledMask(int maskIndex);
    void reportLockedPreview(const QString& notice, bool failed);
    void showArtworkFailure(const QString& title, const QString& failed, const QString& reason,
                            const QString& fallback);

    // Members in the order their lifetimes need: the configuration outlives
    // nothing that is destroyed after it (see the destructor).
    DashConfig config;
    DashCanvas* canvas = nullptr;
    PageListPanel* pageList = nullptr;
    PropertyPanel* propertyPanel = nullptr;
    ElementListPanel* elementList = nullptr;
    QLineEdit* outlinerFilter = nullptr;
    // The canvas or the outliner, whichever last had the keys.
    QPointer<QWidget> documentView;
    QUndoStack* undoStack = nullptr;
    QString currentFilePath;
    int currentPage = 0;
    // What the canvas has selected, by the element itself.
    ElementKey selectionKey;
    QString repairedFilePath;
    CsvDataSource csvSource;
    SampleDataSource sampleSource;
    QTimer* sampleClock = nullptr;
    double sampleTime = 0.0;
    QCheckBox* sampleDataCheck = nullptr;
    QSlider* sampleSpeedSlider = nullptr;
    double speedMultiplier = 1.0;
    QSlider* timelineSlider = nullptr;
    QLabel* timeLabel = nullptr;
    QPushButton* playButton = nullptr;
    QComboBox* playbackSpeedCombo = nullptr;
    QTimer* playbackTimer = nullptr;
    bool playing = false;
    QLabel* deviceBadge = nullptr;
    QAction* saveAction = nullptr;
    QAction* saveAsAction = nullptr;
    QAction* renameConfigAction = nullptr;
    QAction* insertElementAction = nullptr;
    QAction* deleteElementAction = nullptr;
    QAction* clearPageAction = nullptr;
    QAction* newBlankPageAction = nullptr;
    QAction* deleteCurrentPageAction = nullptr;
    QAction* addPageFromTemplateAction = nullptr;
    QAction* saveCurrentAsTemplateAction = nullptr;
    QAction* loadCsvMenuAction = nullptr;
    QAction* saveToolbarAction = nullptr;
    QAction* loadCsvToolbarAction = nullptr;
    QAction* newHomebrewThemeAction = nullptr;
    QAction* duplicateWidgetAction = nullptr;
    QAction* copyWidgetAction = nullptr;
    QAction* pasteWidgetAction = nullptr;
    QAction* selectAllWidgetsAction = nullptr;
    // --- the online gallery and its installs (MainWindowGallery.cpp) --------
    gallery::ThemeInstaller* themeInstaller = nullptr;
    QProgressDialog* installProgress = nullptr;
    QUrl galleryBaseUrl = gallery::GalleryRequests::defaultBaseUrl();
    bool galleryInstallRunning = false;
    std::unique_ptr<ThemePackage> openTheme;
    QString openThemePath;
    QString openThemeDevice;
    QAction* saveThemeAction = nullptr;
    UpdateChecker* updateChecker = nullptr;
    UpdateBanner* updateBanner = nullptr;
    UpdateSeams updateSeams = UpdateSeams::system();
    // What the device XML looked like at the last load or save: a write that
    // bypassed the undo stack shows as a different digest.
    QByteArray savedDigest;
    // The open file was not on disk when an install asked to place a
    // configuration under its name: afterwards the window goes on under a
    // new name beside it.
    bool installOverGoneFile = false;
    AddPageDialogFactory addPageDialogFactory = [this] { return runAddPageDialog(); };
    // --- window geometry (MainWindowSettings.cpp) ----------------------------
    ScreenAreaProvider screenAreaProvider;
};
