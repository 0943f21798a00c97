#pragma once

#include "artwork/ArtState.h"
#include "artwork/ArtworkBackup.h"
#include "artwork/BarFill.h"
#include "artwork/BoxStyleInfo.h"
#include "artwork/BoxStyleSnapshot.h"
#include "artwork/ColouredBarIndex.h"
#include "artwork/IconPreviewInfo.h"
#include "artwork/MultiBoxInfo.h"
#include "model/ArchiveIndex.h"
#include "model/BarColorRecord.h"
#include "model/BoxStyleRecord.h"
#include "model/ChannelInfo.h"
#include "model/DeviceAndElementTexts.h"
#include "model/DeviceFile.h"
#include "model/FidRange.h"
#include "model/IconPreviewRecord.h"
#include "model/MaskElement.h"
#include "model/MaskRecords.h"
#include "model/MultiBoxRecord.h"
#include "model/PageModel.h"
#include "model/PlacedPageName.h"
#include "model/PrepackedFiles.h"
#include "model/SavedStore.h"
#include "model/SidecarKeys.h"
#include "model/TriggeredIcon.h"
#include "model/WidgetModel.h"

#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QMap>
#include <QRect>
#include <QSize>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <initializer_list>
#include <optional>
#include <functional>
#include <pugixml.hpp>
#include <vector>

class QTemporaryDir;
struct ArtworkApplyResult;
struct ArtworkExportInfo;
struct ArtworkTarget;
struct StaleArtRecord;
struct ChildGeometrySnapshot;
struct BarColorSnapshot;
struct MultiBoxCellRequest;
class FolderCopy;
class MadeArtFolders;
struct HeldArtFolder;

// The model of one open configuration: the extracted archive, its device
// files, pages, masks and widgets. The XML documents are the source of truth;
// records are re-read from them after every edit.
//
// Member functions are defined in files grouped by concern
// (model/DashConfig*.cpp, artwork/DashConfig*.cpp, editing/DashConfig*.cpp).
class DashConfig {
public:
    DashConfig();
    ~DashConfig();
    DashConfig(const DashConfig&) = delete;
    DashConfig& operator=(const DashConfig&) = delete;

    // --- records and accessors -------------------------------------------
    PageModel* page(int i);
    // The mask at (page, mask), or null for a bad index. Valid until the
    // page's mask list changes.
    MaskElement* maskAt(int page, int mask);
    const MaskElement* maskAt(int page, int mask) const;
    // The widget at (page, mask, widget) when it has an element, or null.
    // Valid until the mask's widget list changes.
    WidgetModel* widgetAt(int page, int mask, int widget);
    int pageCount() const;
    void markPageDirty(int i);
    pugi::xml_node gconfNode(int deviceIndex) const;

    // --- archive ----------------------------------------------------------
    // Packs sourceDir into targetPath (the previous file kept as ".bak"), with
    // the indexed archive's entries the folder lacks copied as stored; one that
    // cannot be fails a save onto it, and is left out of a new file (`warning`).
    bool writeZconf2(const QString& sourceDir, const QString& targetPath, QString* error = nullptr,
                     QString* warning = nullptr);

    // --- JSON sidecar stores beside the configuration file -----------------
    // The key of the mask's record in a store: its page (the folder of the
    // page's device file inside the archive, and the page's id) and the mask
    // (its id, or the store's prefix and its index), e.g.
    // "Demo/dash/p00/md.01". Mask ids repeat on every page, so every reader
    // and writer of a record names it through this. In the box styles a
    // multi-value box without an id is "mbox%1", as in its multi-box record.
    // Empty for a bad index. (model/DashConfigSidecarKeys.cpp)
    QString sidecarKey(int page, int mask, SidecarStore store) const;
    // Stores written before keys named the page hold records under a mask's
    // own part alone. Each serves the one mask it can only mean (the only one
    // of that name, or the one showing its art), under that mask's key from
    // then on; any other stays in its file untouched and applies to nothing.
    void adoptLegacySidecarRecords();
    // True when every store that still held such a record was rewritten.
    bool rewriteLegacySidecarRecords();
    // The records the stores hold under the mask's keys. (model/DashConfigMaskRecords.cpp)
    MaskRecords maskRecords(int page, int mask) const;
    // Removes those records; puts back each one whose key holds nothing.
    // False when a store could not be written (sidecarFailure says why).
    bool dropMaskRecords(const MaskRecords& records);
    bool restoreMaskRecords(const MaskRecords& records);
    // The same for several masks, stopping at the first store that fails.
    bool restoreMaskRecords(const std::vector<MaskRecords>& records);
    // Those records put back by an undo: false, with refusedStep saying
    // why, when a store cannot be written.
    bool restoreRecordsForStep(const std::vector<MaskRecords>& records);
    // Drops the records under page-qualified keys that no mask has any more.
    bool dropRecordsOfGoneMasks();
    // The key of every mask the configuration has, in every store.
    QSet<QString> liveRecordKeys() const;
    // The names of the pages without an id, which follow their place; after
    // the page list changed, records follow the pages whose name moved and
    // those of pages that went are dropped.
    std::vector<PlacedPageName> placedPageNames() const;
    bool movePlacedPageRecords(const std::vector<PlacedPageName>& before);
    QString barColorSidecarPath() const;
    QString boxStylesSidecarPath() const;
    // The four paths, in the order boxstyles, multibox, barcolor, iconpreview
    // (empty without a path): the configuration's own, or those a
    // configuration file at zconf2Path has.
    QStringList sidecarPaths() const;
    static QStringList sidecarPathsOf(const QString& zconf2Path);
    // The same files by name, for a configuration of that base name ("Race":
    // "Race.boxstyles.json", ...).
    static QStringList sidecarFileNames(const QString& baseName);
    QString multiBoxSidecarPath() const;
    QString iconPreviewSidecarPath() const;
    QMap<QString, BarColorRecord> loadBarColorSidecar() const;
    QMap<QString, BoxStyleRecord> loadBoxStyleSidecar() const;
    QMap<QString, MultiBoxRecord> loadMultiBoxSidecar() const;
    QMap<QString, IconPreviewRecord> loadIconPreviewSidecar() const;
    bool saveBarColorSidecar(const QMap<QString, BarColorRecord>& records);
    bool saveBoxStyleSidecar(const QMap<QString, BoxStyleRecord>& records);
    bool saveIconPreviewSidecar(const QMap<QString, IconPreviewRecord>& records);
    bool saveMultiBoxEntry(const QString& key, int rows, int cols, const QString& labelPlacement);
    bool saveMultiBoxSidecar(const QMap<QString, MultiBoxRecord>& records);
    // Why the store's file cannot be read, naming the file, for the user;
    // empty when it can or is not there. Such a file reads as no records and
    // is never written over or removed.
    QString sidecarReadFailure(SidecarStore store) const;
    // False, with the reason of the first store that cannot be read in
    // sidecarFailure, when an edit that needs these stores must not start.
    bool sidecarsReadable(std::initializer_list<SidecarStore> stores);
    // The stores as the open or the last save left them. Records wait for
    // the save (stageBarColorSidecar, stageStore); Discard and Save As take
    // back each one written since.
    void keepSavedSidecars();
    // False (why in sidecarFailure) when the store's file cannot be read.
    bool stageBarColorSidecar(const QMap<QString, BarColorRecord>& records);
    // The save's part (*before: the files as they were; putBackStaged puts them back).
    bool writeStagedRecords(QList<SavedStore>* before = nullptr);
    void putBackStaged(const QList<SavedStore>& before);
    // False, naming the stores that could not be written, in *error.
    bool putBackSavedSidecars(QString* error = nullptr);
    // The configuration goes on under newPath, beside copies of its stores:
    // what was kept of them, and which records it wrote, go with them.
    void moveSavedSidecarsTo(const QString& newPath);
    quint32 boxStyleAccentArgb(const QString& key) const;
    // The box style of a value box (a Digit mask without bar or ring): the
    // stored style id, "custom" for art of its own without a record, else empty.
    QString boxStyleForElement(const QString& key, pugi::xml_node mask) const;

    // --- records that contradict the file (artwork/DashConfigStaleRecords.cpp)
    // Whether a record describes the art the mask points at (either slash; a
    // paste's own item of it counts): a box style an editor box item, a bar
    // colour a folder coloured from its stock item. Others are never drawn.
    static bool boxStyleRecordFits(const BoxStyleRecord& record, pugi::xml_node mask);
    static bool barColorRecordFits(const BarColorRecord& record, pugi::xml_node mask);
    // A single or multi-value box item the editor drew ("zbox_" set, "box_"
    // or "mbox_" item), or a paste's copy of one.
    static bool isEditorBoxItem(const QString& path);
    // Whether the mask (by place, or its element wherever it is) shows a bar the editor coloured and from
    // what stock item (colouredBarOf, stamp and record): the one answer every entry asks. (artwork/ColouredBar.cpp)
    ColouredBar colouredBar(int page, int mask) const;
    ColouredBar colouredBar(pugi::xml_node mask) const;
    // The refusal of a change to a coloured bar holding pasted pictures.
    static QString pastedColouredArtRefusal();
    // Every box-style and bar-colour record of a mask that it does not fit,
    // in page and mask order.
    std::vector<StaleArtRecord> staleArtRecords() const;
    // Removes them from readable stores: the number removed, -1 when a
    // store could not be written (sidecarFailure says why). Only the save
    // does, for the file it wrote.
    int dropStaleArtRecords();
    // Records the file as last opened or saved draws from ("box:<key>",
    // "bar:<key>"). An edit since (Clean, Remove color) may stop using one:
    // it stays in its store, for that file, until the next save.
    QSet<QString> recordsOfSavedFile;
    // Stale records a repair left for the next save to remove; they count as
    // a change not yet saved.
    QSet<QString> recordsLeftForSave;
    // With keepSavedSidecars: the file and its stores as they stand now are
    // the saved state.
    void noteSavedRecordUse();
    // The repair of stale records: notes those the saved file does not use
    // for the save and returns how many it noted; the stores are not touched.
    int leaveStaleRecordsForSave();
    // Masks showing a box the editor drew or a bar it coloured without a
    // record of it in a readable store (for a bar, `recorded` is the stock
    // item its stamp names, if any): what only the record tells is lost.
    std::vector<StaleArtRecord> unrecordedEditorArt() const;

    // --- opening a configuration: load, parsing, page accessors ----------
    // Opens a .zconf2/.zconfig. On failure the previous configuration stays
    // exactly as it was and `error` (when given) says why.
    bool load(const QString& path, QString* error = nullptr);
    bool loadDeviceFiles(const QString& dir);
    QString findAimcfg(const QString& dir);
    void parsePage(pugi::xml_node pageNode, int deviceIndex);
    MaskElement parseMask(pugi::xml_node maskNode);
    // The records of masks read again from their elements after a save.
    std::vector<MaskElement> rereadMasks(const std::vector<MaskElement>& masks,
                                         const std::vector<pugi::xml_node>& leftOut);
    // Re-reads the mask's widgets and styles from its node while keeping the
    // id and geometry the editor holds for it (which may be ahead of its
    // parameters).
    void reparseMaskKeepingGeometry(MaskElement& mask);
    QString maskChannelText(int page, int mask);
    pugi::xml_node pageParamNode(int page) const;
    // PATH_IMAGE, PATH_IMAGE_PRW and PATH_IMAGE_SFONDO_FW, in this order.
    QStringList pageImagePaths(int page);
    int fileIndexForDashTarget(const QString& target);
    // The device family folder of the page's own display ("pdm/dash2"): the
    // one its page path names, else its device file's (also when the path
    // names only the device, as the plain "overlay/pdm/masks/" layout does);
    // empty when neither names a safe one or the path's is refused.
    QString pageFamily(int page) const;
    // The family text the page's path names when it is refused (it could
    // lead outside the installs); empty otherwise.
    QString refusedPageFamily(int page) const;
    // The size of the display the page is shown on: its device file's
    // DIMENSIONE_X/Y, else the page's own size; empty for no page.
    QSize pageDisplaySize(int page) const;

    // --- channels, install-root look-ups, channel kinds, load-time fix-ups, firmware fonts
    bool parseChannelsList(const QString& aimcfgPath);
    void parseChannelRanges(const QString& aimcfgPath);
    void parseTriggeredIconsManager(const QString& extractDir);
    int laptimeGpsResourceFid() const;
    static QString resolveRs3Path(QString path);
    QString resolveResourcePath(const QString& featureKey) const;
    QString iconFileForMask(int page, int mask);
    static QString resolveOverlayDir(const QString& rel);
    QStringList deviceOverlayFolders() const;
    static int channelKindOfElement(pugi::xml_node element);
    bool channelRangeForFid(int fid, double& lower, double& upper) const;
    void applyChannelRangeToBarScales(pugi::xml_node mask, int fid);
    int normalizeAlignParams();
    int insertFwPositionParams();
    void resetFontFolders();
    void setFontFolders(const QStringList& folders);
    QSet<int> firmwareFontSizes(int deviceIndex);
    QString iconFeatureKey(int page, int mask) const; // icon records (artwork/DashConfigIconPreview.cpp)
    // defined with the bar scale setters
    static bool setBarZeroMark(pugi::xml_node maskNode, bool on, pugi::xml_node selected = pugi::xml_node());

    // --- icon previews, multi-value box records, bar geometry, widget assets
    static QString barGeometryText(pugi::xml_node element);
    QString iconPreviewGraphic(int page, int mask) const;
    IconPreviewInfo resolveIconPreview(int page, int mask) const;
    MultiBoxInfo multiBoxRecord(int page, int mask) const;
    // True when the store holds any record for the mask, even one whose grid
    // cannot be drawn: such a box is laid out as a grid, never as a picture.
    bool hasMultiBoxRecord(int page, int mask) const;
    bool takeEditorPngWriteFailed();
    static QStringList collectWidgetAssetReferences(pugi::xml_node widget);
    // Points the picture parameters of the widget's subtree that name a key
    // of `renamed` (a bare name) at its value.
    static void renameWidgetAssetReferences(pugi::xml_node widget, const QHash<QString, QString>& renamed);

    // --- box artwork on masks and fitting art to mask size (artwork/DashConfigBoxArt.cpp, DashConfigFitArt.cpp)
    // An install that holds the item already is never drawn into: holding
    // this very picture it is copied to the installs that lack it, holding
    // another the write is refused. What it creates goes to `made` (when
    // given); a failed write takes it away itself. `extraFiles`: more pictures drawn with it (copySource gives none).
    bool writeMaskPanel(int page, int mask, const QImage& image, const QString& copySource, const QString& device,
                        const QString& stem, const QString& item, bool removeBorderColour,
                        MadeArtFolders* made = nullptr, const QMap<QString, QByteArray>* extraFiles = nullptr);
    bool applyBoxStyle(int page, int mask, const QString& styleId, quint32 accentArgb, bool showDividers,
                       int borderPx, const QString& caption, quint32 captionArgb);
    bool renderMultiBoxPanel(int page, int mask, int rows, int cols, const QString& styleId, const QColor& accent,
                             bool showDividers, int borderPx, const QString& caption, quint32 captionArgb,
                             MadeArtFolders* made = nullptr);
    bool refitHomebrewItem(int page, int mask, const QString& originRel, int width, int height, const QString& stem,
                           const QString& item);
    QImage renderBoxStyleImage(int page, int mask);
    BoxStyleInfo boxStyleRecord(int page, int mask) const;
    BoxStyleSnapshot boxStyleSnapshot(int page, int mask) const;
    // Key of the mask's box-style record: sidecarKey(page, mask, BoxStyles).
    QString boxStyleKey(int page, int mask) const;
    // The "zbox_<stem>" set name of this configuration's homebrew items.
    QString homebrewSetStem() const;
    // 0 nothing to do, 1 art changed, 2 failed (fitWarning says why).
    // A bar without colour has the pictures it shows fitted.
    int fitMaskArtToGeometry(int page, int mask);
    // The warning the last art fit left for the user, now cleared.
    QString takePendingStatus();

    // --- replacing and exporting an element's artwork (artwork/DashConfigArtworkReplace.cpp,
    // artwork/DashConfigArtworkExport.cpp). Each clears *error first and fills it on failure.
    bool resolveReplaceableArtwork(int page, int mask, ArtworkTarget* target = nullptr, QString* error = nullptr);
    // True only when sourceFolder holds a loadable mask.png of exactly the declared size.
    bool validateReplacementArt(int page, int mask, const QString& sourceFolder, ArtworkApplyResult* result = nullptr,
                                QString* error = nullptr);
    // Writes the folder's art into every RS3 install that holds the item, after
    // a dated backup of each; all or nothing across the installs.
    bool applyArtwork(int page, int mask, const QString& sourceFolder, bool allowScale,
                      ArtworkApplyResult* result = nullptr, QString* error = nullptr);
    // Redo of a replacement: the files it wrote (kept beside each backup)
    // go back into the installs and the element gets the same parameters,
    // without reading the source folder again.
    // relPath: the folder the first run pointed the mask at.
    bool reapplyArtwork(int page, int mask, const QList<ArtworkBackup>& backups, const QString& relPath,
                        QString* error = nullptr);
    // Undo of a replacement: restoreArtworkBackup, with the folders' saved
    // state kept first (artState.savedArt).
    bool restoreReplacedArtwork(const QList<ArtworkBackup>& backups, QString* error = nullptr);
    ArtworkParams captureArtworkParams(int page, int mask) const;
    QStringList elementsSharingArtwork(int page, int mask) const;
    // "<page name> / <mask id>" as the user knows the element ("Page %1" and
    // "element %1" standing in for a missing name or id).
    QString elementLabel(int page, int mask) const;
    bool exportElementArtwork(int page, int mask, const QString& targetFolder, ArtworkExportInfo* info = nullptr,
                              QString* error = nullptr);

    // --- bar colour artwork, undo-side artwork restores, page backgrounds
    // (artwork/DashConfigBarColor.cpp, editing/DashConfigArtRestore.cpp, artwork/DashConfigPageBackground.cpp)
    // `error` (when given) names a refused artwork path; other refusals leave
    // it empty. A record that cannot be written leaves the mask as it was
    // (sidecarFailure says why).
    bool applyBarColor(int page, int mask, QString* error = nullptr);
    // Draws the coloured art of the bar at (page, mask) from the stock item
    // at origin at width x height, into the folder of that state; returns its
    // relative path, or empty when no install received it.
    // `pastedFrom`: coloured art holding pasted pictures, which come along.
    QString drawColoredBar(int page, int mask, const QString& origin, int width, int height,
                           MadeArtFolders* made = nullptr, const QString& pastedFrom = QString());
    // After a resize of a coloured bar: its art drawn again at the element's
    // new size (a folder per state, so the open finds it elsewhere too), and
    // its record's stock geometry set to originalCoords, the geometry the
    // same resize gives the uncoloured bar. 0 not a coloured bar (or nothing
    // known to draw it from), 1 redrawn, 2 failed (fitWarning says why; the
    // bar keeps its art and record).
    int fitColoredBarToGeometry(int page, int mask, const QString& originalCoords);
    // A bar geometry text (barGeometryText) as a resize of its element from
    // `from` to `to` changes it: the outline as scaleHotMouseLines scales it,
    // and with `rescale` every edge and size as a rescaling move does.
    static QString scaledBarGeometryText(const QString& text, const QSize& from, const QSize& to, bool rescale);
    // Draws only into installs that lack the folder: when one holds it, the
    // others get a copy of it. The folders it creates go to `made` (when
    // given), so a colouring refused afterwards can take them away; a failed
    // install takes them away itself.
    // `litStrips`: the lit strips the bar's scales name, recoloured too.
    // `fill`: the way the bar fills, along which the ramp runs.
    bool installColoredBarArt(const QString& origin, const QString& newRel, int width, int height,
                              const QStringList& litStrips, BarFill fill, MadeArtFolders* made = nullptr,
                              const QString& pastedFrom = QString());
    // The folder (relative path) a colouring of that state writes: the set's
    // own name ("zbar_..." or "zpaste_..."), or the next free one when that folder holds other art.
    QString freeColoredBarFolder(const QString& origin, const QString& device, const QString& setName,
                                 const QString& item, int width, int height, const QStringList& litStrips,
                                 BarFill fill) const;
    // A coloured bar's folder missing from an install that has the device is
    // copied there from an install that holds it; held by none, it is drawn
    // only for the bar whose state (origin and size) the folder's name holds,
    // and left (logged) otherwise. Returns how many it put back.
    int repairMissingColoredBars();
    // Waits for the copies (one flush) and adds what they skipped or could
    // not write to artState.notes, each once.
    void noteArtCopies(FolderCopy& copies);
    BarColorSnapshot barColorSnapshot(int page, int mask) const;
    // False, changing nothing, when the bar's record cannot be written
    // (sidecarFailure says why).
    bool restoreBarArtwork(int page, int mask, const BarColorSnapshot& snapshot);
    bool restoreBoxArtwork(int page, int mask, const BoxStyleSnapshot& snapshot);
    bool restoreMultiBoxGeometry(int page, int mask, const std::vector<ChildGeometrySnapshot>& geometry);
    bool rerenderMultiBoxPanel(int page, int mask);
    QString pageBackgroundFolder(int page);
    // oldPaths receives the page's image paths before the change (as pageImagePaths).
    bool setPageBackground(int page, const QString& imageFile, QStringList* oldPaths = nullptr,
                           QString* error = nullptr);

    // --- property setters: label texts, text colours, alignment, bar scales, icon previews, page images
    bool setLabelText(int page, int mask, int widget, const QString& text);
    bool setValueAlignment(int page, int mask, int widget, const QString& value);
    bool setTextColour(int page, int mask, int widget, const QString& value);
    QString textColour(int page, int mask, int widget);
    // The bar scale setters and reader reach the bars of the selected
    // element's group (isBarInScope); with no selected element, every bar of
    // the mask.
    static bool setBarScaleRange(pugi::xml_node maskNode, double min, double max,
                                 pugi::xml_node selected = pugi::xml_node());
    static bool barScaleRange(pugi::xml_node maskNode, double& min, double& max,
                              pugi::xml_node selected = pugi::xml_node());
    // One end of the range, written to every bar in scope whose end differs:
    // each group of bars keeps its own other end. Refused whole (false,
    // nothing written) when the value would not lie below (Min) or above
    // (Max) some group's other end. A range edit moves a zero mark or takes
    // it away, so that the scale's steps stay in order.
    enum class BarScaleEnd { Min, Max };
    static bool setBarScaleEnd(pugi::xml_node maskNode, BarScaleEnd end, double value,
                               pugi::xml_node selected = pugi::xml_node());
    // That end of each group of bars in scope, in document order.
    static QList<double> barScaleEnds(pugi::xml_node maskNode, BarScaleEnd end,
                                      pugi::xml_node selected = pugi::xml_node());
    // False when the record could not be written (sidecarFailure says why);
    // the store then stays as it was.
    bool setIconPreview(int page, int mask, const QString& path);
    bool clearIconPreview(int page, int mask);
    // PATH_IMAGE, PATH_IMAGE_PRW and PATH_IMAGE_SFONDO_FW, in this order (as pageImagePaths).
    bool setPageImagePaths(int page, const QStringList& paths);
    // Art parameters of a mask put back as captured; each present one moves
    // to the end of the element.
    bool restoreArtworkProps(int page, int mask, const ArtworkParams& params);
    // Points the mask at another item of the same set (same folder above
    // "Items/"); true without a write when it already shows that item.
    bool swapArtworkItem(int page, int mask, const QString& itemFolder);
    // widgets: insert, copy, channel elements and paste merge
    // A copy (paste, duplicate) is named by newElementId, so it joins no
    // other element's group; a widget put back as it was (an undone delete,
    // a redone add) keeps its id while no other element has it.
    enum class WidgetIdUse { Copy, Restore };
    int insertWidget(int page, int mask, pugi::xml_node widget, int dx, int dy, int index,
                     WidgetIdUse use = WidgetIdUse::Copy);
    bool copyWidgetXml(int page, int mask, int widget, pugi::xml_document& out);
    int mergeAxisElements(int page, int mask, const std::vector<pugi::xml_node>& sources,
                          QHash<QString, QString>* idMap = nullptr);
    static pugi::xml_node buildAxisElement(pugi::xml_node parent, const QString& id);
    // Each text is optional: null means "not given".
    static void writeChannelBindingParams(pugi::xml_node axis, int kind, const char* fidPrefDaRisorsa = nullptr,
                                          const char* deviceSwtyp = nullptr, const char* swtyp = nullptr,
                                          const char* tipoFeatConten = nullptr);
    // channel binding
    void bindChannel(int page, int mask, int widget, const ChannelInfo& channel);
    static void bindElementChannel(pugi::xml_node node, const ChannelInfo& channel, const QString& deviceName,
                                   int laptimeFid);
    static void bindAxisChannel(pugi::xml_node axis, const ChannelInfo& channel, const QString& deviceName,
                                int laptimeFid, const QString& deviceTypeCode);
    int propagateBarAxisRefs(int page, int mask);

    // --- new pages and template pages, Save As (editing/DashConfigNewPages.cpp)
    // A blank page after the last page of the first device file that has
    // pages (else device file 0), showing that file's first page art.
    // Returns the new page's index, or -1 with nothing changed.
    int newPage(const QString& name);
    // A page built from a page template folder (absolute; "pMain.P2.xml"
    // and the item files it names, read only inside that folder). relFolder
    // is the folder relative to the RS3 root (empty or ending in '/') that
    // the page's art paths start with. Returns the new page's position in
    // the page list, or -1 with nothing changed.
    int insertPage(const QString& folder, const QString& name, const QString& relFolder);
    // Makes path the configuration's path and carries the JSON sidecars
    // along, all of them or (false, *error saying which) none: the path
    // then stays as it was. The stores of the name it leaves get back the
    // records of its last save (putBackSavedSidecars), but for a store the
    // new name shares. Nothing happens for an empty path or the
    // configuration's own file.
    bool moveToPath(const QString& path, QString* error = nullptr);

    // --- saving: device documents, preview pictures, configuration name ---
    // Save As: the save below to targetPath, with the sidecars copied beside
    // it first and put in place once the archive is written, and then the
    // configuration goes on under targetPath, leaving the old name's stores
    // as moveToPath does. A sidecar that cannot
    // be copied stops it before anything is written; on any false the
    // configuration keeps its path and `error` says what is missing. A store
    // of the old name that could not be put back is named in `warning`.
    bool saveAs(const QString& targetPath, QString* error = nullptr, QString* warning = nullptr);
    // Writes every dirty device file (or the only one), refreshes the preview
    // pictures, writes a pending rename and packs the extract folder into
    // targetPath (the previous file kept as ".bak"). On false the previous
    // archive is untouched and `error` (when given) says why. A rename that
    // cannot be written does not stop the save: it stays pending and
    // `warning` (when given) says so; so does an entry of the opened archive
    // that a save to a new file had to leave out (writeZconf2); otherwise
    // `warning` is cleared.
    bool save(const QString& targetPath, QString* error = nullptr, QString* warning = nullptr);
    bool writeDeviceDocument(DeviceFile* file, QString* error = nullptr);
    // A fingerprint of every device document and the pending rename: equal
    // fingerprints mean a save would write the same configuration.
    QByteArray documentDigest() const;
    // documentDigest() as the last successful save left the documents,
    // worked out while that save wrote its archive; empty after a failed one.
    QByteArray digestAtSave;
    int refreshPreviewImages();
    bool setConfigName(const QString& name);
    bool writeConfigNameToAimcfg();

    // --- editing: mask, page and widget list primitives, ORDINE, mask geometry
    // Each keeps a page's mask records in the order of its GMaskParam
    // elements (and pages in the order of their GPageParam elements).
    bool removeMask(int page, int mask);
    bool removePage(int page);
    bool removeWidget(int page, int mask, int widget);
    bool insertMaskNodeCopy(int page, int index, const MaskElement& saved, pugi::xml_node source,
                            pugi::xml_node anchor, pugi::xml_node& out);
    bool insertPageNodeCopy(int index, const PageModel& saved, pugi::xml_node source, pugi::xml_node& out);
    // The node a mask re-inserted at `index` goes after: the nearest mask
    // before it that has a node in the page, or null (insert first).
    pugi::xml_node maskInsertAnchor(int page, int index);
    int maskOrder(int page, int mask);
    int maxOrdine(int page);
    int minOrdine(int page);
    std::vector<int> maskOrders(int page);
    void normalizeOrdine(int page);
    void setMaskOrders(int page, const std::vector<int>& orders);
    std::vector<ChildGeometrySnapshot> textChildGeometry(int page, int mask);
    static int scaleHotMouseLines(pugi::xml_node maskNode, int oldW, int oldH, int newW, int newH, bool includeSmall);

    // --- editing: new masks from library elements, text boxes and value bars
    // (editing/DashConfigInsertElement.cpp, editing/DashConfigTextBoxes.cpp).
    // Each appends to the page (a new mask goes last in the page element and
    // in the mask list), marks the device file dirty and returns the new
    // mask's (or widget's) index, or -1 with nothing changed.
    // Copies a stock element onto the page at the given box, puts its art in
    // the page's own layout and binds it; `error` (when given) says why a
    // bar or gauge cannot be placed, or why the source folder is refused.
    int insertElement(int page, pugi::xml_node donor, const ChannelInfo& channel, int x, int y, int width,
                      int height, MaskElement& out, const QString& sourceFolder, QString* error = nullptr);
    int addMaskFromLibraryItem(int page, const QString& name, const QString& artFolder, const QString& image,
                               const QString& previewImage, const QString& firmwarePath,
                               const std::vector<pugi::xml_node>& elements, MaskElement& out);
    int addMaskSimple(int page, const QString& name, MaskElement& out);
    int addTextBox(int page, int mask, int x, int y, const QString& text);
    int addTextBoxMask(int page, int x, int y, const QString& text, MaskElement& out);
    // The bar shows the value of the Digit `digitWidget` (a widget index),
    // or of the mask's first Digit when that names none.
    int addValueBar(int page, int mask, const QColor& colour, double minimum, double maximum, int digitWidget = -1);
    // The font the page's elements of the class use most (ties: the name
    // that sorts first); "MicrogrammaDBolExt" when none names one.
    QString labelFontFor(const PageModel& page, const QString& className) const;
    // Icons, the "+- Ref Time" bar and duplicates (editing/DashConfigIcons.cpp,
    // DashConfigRefTimeBar.cpp, DashConfigDuplicate.cpp). Only the position's
    // x and y are used: icons are 44 x 44, the bar keeps its stock size.
    int insertIcon(int page, const QRect& position);
    int insertRefTimeBar(int page, const QRect& position, const QColor& slower, const QColor& faster,
                         double rangeSeconds);
    int duplicateMask(int page, int mask, int dx, int dy, MaskElement& out);

    // --- editing: multi-value boxes (editing/DashConfigMultiBox.cpp)
    // A rows x cols box of values (and optional captions) on a panel of its
    // own at the rectangle; the grid goes to the ".multibox.json" sidecar.
    // Returns the new mask's index, or -1 with nothing changed.
    int addMultiBox(int page, int rows, int cols, const QString& labelPlacement,
                    const std::vector<MultiBoxCellRequest>& cells, const QRect& rect);
    // Lays a multi-value box's cells out again for the size its WIDTH and
    // HEIGHT hold now, and redraws its panel. True when it did; false (and
    // nothing changed) for a mask that is no usable multi-value box, a bad
    // size or a panel that could not be drawn.
    bool relayoutMultiBox(int page, int mask);

    // --- load-time repair of homebrew art (artwork/DashConfigHomebrewRepair.cpp)
    // Rebuilds the editor's own box, multi-value box and fitted items that
    // the masks point at: only items missing from an install (force false),
    // or every one (force true). Returns how many it rebuilt. A box without
    // a readable record of its style is never drawn (another configuration's
    // saved file may show its item): `left` gets its elementLabel. An
    // install that holds an item is never drawn into: the open copies it to
    // the installs that lack it. A record whose picture is not what the item
    // holds (or, held nowhere, was named for) is drawn by a refresh into an
    // item of the box's own, which the mask then points at; the open leaves
    // such a box, and `mismatched` gets its elementLabel.
    int repairMissingHomebrewArt(bool force, QStringList* left = nullptr, QStringList* mismatched = nullptr);

    // --- data (declaration order is part of the record layout) -------------
    QStringList fontFolders;
    std::vector<QSet<int>> fontSizeSets;
    std::vector<bool> fontSizesScanned;
    std::vector<PageModel> pages;
    std::vector<DeviceFile*> devices;
    pugi::xml_document aimcfgDoc;
    QString extractDir;
    QTemporaryDir* tempDir = nullptr;
    QString aimcfgPath;
    QString zconf2Path;
    std::function<QImage(int)> pageRenderer;
    QString deviceName;
    int typeCode = -1;
    QString newConfigName;
    QString loadedConfigName;
    bool renamePending = false;
    std::vector<ChannelInfo> channels;
    int displayWidth = 800;
    int displayHeight = 480;
    QString deviceNote;
    int homebrewRepairCount = 0;
    // The boxes the open-time repair left without their art: no readable
    // record, or (mismatched) a record that does not describe their item.
    QStringList homebrewRepairLeft;
    QStringList homebrewRepairMismatched;
    int barRepairCount = 0;
    int digitFixCount = 0;
    bool editorPngWriteFailed = false;
    QString fitWarning;
    // Why a write of a sidecar store failed ("cannot write <file>: <reason>"),
    // the first since each restyle cleared it before it started.
    QString sidecarFailure;
    QList<SavedStore> savedSidecars;
    std::optional<QMap<QString, BarColorRecord>> stagedBarColors; // while they differ from the file
    QMap<SidecarStore, QJsonObject> stagedLists; // the other stores' lists, the same
    // By store file, the keys of the records the configuration added,
    // changed or removed there since keepSavedSidecars.
    QHash<QString, QSet<QString>> sidecarRecordsWritten;
    // Why the last undo or redo step left the document as it was (a record it
    // needed could not be written). The window reports it and steps the
    // history back over that step, so the history says what the document
    // holds; the step's command takes that step back as doing nothing.
    QString refusedStep;
    QHash<int, FidRange> fidRanges;
    QHash<QString, QString> triggeredIconImages;
    QHash<QString, TriggeredIcon> triggeredIcons;
    // The archive last opened or saved, and which extracted files still hold
    // its entries unchanged (the save copies those without compressing again).
    ArchiveIndex archiveIndex;
    // Device files the save in progress wrote, already being deflated for
    // the archive it writes last.
    PrepackedFiles prepacked;
    // What this configuration's edits did to the installs' art since it was
    // opened: notes of what was left, and folders changed in place.
    ArtState artState;

private:
    void deleteDevices();

    // --- box artwork (artwork/DashConfigBoxArt.cpp)
    // writeMaskPanel's drawing into the item folders of installs that lack
    // the item; true when one of them received the whole item.
    bool drawMaskPanel(const QStringList& itemFolders, const QImage& image, const QByteArray& tgz,
                       const QString& copySource, const QString& item, bool removeBorderColour,
                       MadeArtFolders& made, const QMap<QString, QByteArray>* extraFiles);
    // --- the repair of the editor's box art (artwork/DashConfigHomebrewRepair.cpp)
    enum class DrawnBox { InPlace, OwnItem, Left, Failed };
    // Draws a box's record: into the item the mask points at when the record
    // describes it, else (force) into an item of its own; `source` is what
    // the item's name was hashed with, `copySource` the folder it copies.
    DrawnBox drawRecordedBox(int page, int mask, const QImage& image, const HeldArtFolder& held,
                             const QString& source, const QString& copySource, bool force);

    // --- record keys (model/DashConfigSidecarKeys.cpp, DashConfigSidecars.cpp)
    // "<device file folder>/<page id>" ("page%1" with the page's place in its
    // file when it has no id).
    QString pageRecordName(int page) const;
    // The folder of the device file inside the archive ("Demo/dash"), empty
    // at its root or for a bad index.
    QString deviceRecordFolder(int deviceIndex) const;
    // The page ids the stores' records name for the device file's pages,
    // those of removed pages included (an undo may bring them back).
    QSet<QString> recordedPageIds(int deviceIndex) const;
    // The keys a store's file holds, as written.
    QStringList storedSidecarKeys(SidecarStore store) const;
    // Puts the snapshot's bar colour record under key, writing the store only
    // when that changes it.
    bool restoreBarRecord(const QString& key, const BarColorSnapshot& snapshot);
    // The same for the snapshot's box style record.
    bool restoreBoxRecord(const QString& key, const BoxStyleSnapshot& snapshot);
    // Keeps the reason of a failed sidecar write in sidecarFailure; returns written.
    bool noteSidecarWrite(bool written, const QString& why);
    // Writes one store's list, noting why it could not or which records it changed (stageStore: for the save).
    bool writeStore(const QString& path, const char* listKey, const QJsonObject& list);
    bool stageStore(SidecarStore store, const QJsonObject& list);
    // The stores of the file the configuration leaves go back to its last
    // save, and it goes on under path with the stores there as saved; a
    // store that could not be put back is named in *warning.
    void leaveStoresFor(const QString& path, QString* warning);
    // Per store: a record under a mask's own part alone -> the key of the
    // mask it serves (adoptLegacySidecarRecords).
    std::array<QHash<QString, QString>, 4> legacyRecordKeys;
    mutable ColouredBarIndex colouredBarIndex; // what colouredBar reuses between questions

    // --- opening a configuration: steps of the load ----------------------
    struct LoadGuard;
    void commitOrRestoreLoad(LoadGuard& guard);
    QStringList firmwarePageFolders();
    void noteUnsupportedDevice(const QString& type);
    void resetDeviceDescription();
    // Later steps of the load, filled by the areas that own them.
    void runLoadTimeFixups();
    void runLoadTimeRepairs();
    void installFontFolders(const QStringList& folders);
    void readChannelsAndIcons();
    void loadPageBackground(PageModel& page, const QString& imagePath);
    // Sets the page's background path and picture from a file on disk.
    void loadPagePicture(PageModel& page, const QString& file);

    // --- saving: steps that the channel-binding area fills ---------------
    void rebindAxisDeviceCode(pugi::xml_node axis);
    void propagateBarAxisRefsForMask(int page, int mask);
};
