#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class ConfigsFootprint;
class DashConfig;
struct MirrorReport;
struct PageModel;
struct PageTemplate;
struct PageTemplateGroup;
struct TemplateContent;
struct TemplateReference;
struct ThemeAssets;

// One file of a template as (relative path or item name, bytes).
using TemplateFile = QPair<QString, QByteArray>;

// The page templates of RaceStudio 3 and of the homebrew store: building,
// reading and writing their files, and naming the device family folders
// they live under. Static functions only; nothing here keeps state.
//
// A template folder holds pMain.P2.xml (the page), bkg.png, bkg.tgz,
// prw.png, AiM_folder.xml (display name and sort) and Items/mdN/mdN.M2.xml
// with each mask's image files.
class PageTemplateLibrary {
public:
    PageTemplateLibrary() = delete;

    // --- Template files ---------------------------------------------------

    // The bytes of pMain.P2.xml for the page: the page parameters, then one
    // GMaskParam per mask pointing at its item file.
    static QByteArray buildTemplatePMain(const PageModel* page);

    // The item files of the page, paths relative to the template's Items
    // folder: per mask "mdN/mdN.M2.xml" (a copy of the mask's element), then
    // its image files. Masks without an XML node contribute nothing. A link
    // or special file among the art is left out and named in *leftOut.
    static QList<TemplateFile> buildMaskItems(const PageModel* page, QStringList* leftOut = nullptr);

    // The text of an AiM_folder.xml.
    static QByteArray folderMetaXml(const QString& label, int sort);

    // Label and sort of an AiM_folder.xml; empty and 99 when the file is
    // missing, malformed or silent. Either pointer may be null. Only a plain
    // file of bounded size is read, never through a link (on the way down
    // from `within` when given) and never waiting on a pipe; *notRead names
    // such a file with why it was not read.
    static void readFolderMeta(const QString& path, QString* label, int* sort, QStringList* notRead = nullptr,
                               const QString& within = QString());

    // The size declared by the first GPageParam that has both WIDTH and
    // HEIGHT of at least 1; invalid otherwise.
    static QSize readPageSize(const QByteArray& pMainXml);

    // Writes the file (creating its folder) through a temporary file beside
    // it; true when every byte landed.
    static bool writeFile(const QString& path, const QByteArray& bytes);

    // The *.png and *.tgz files of a mask's art folder (relative to an
    // install root), named prefix + "/" + file name. With a valid target
    // size the mask picture is scaled to it and mask.tgz re-encoded. An art
    // folder that would leave the installs gives nothing. The install's
    // folders on the way are followed where the user keeps them through a
    // link to a folder; files are read only as plain files, never through a
    // link, never waiting on a pipe: each link or special file met is named
    // in *leftOut.
    static QList<TemplateFile> maskImageItems(const QString& artFolder, const QString& prefix,
                                              const QSize& targetSize, QStringList* leftOut = nullptr);

    // Largest AiM_folder.xml read, and largest art file of a template.
    static constexpr qint64 kFolderMetaBound = 1024 * 1024;

    // Largest side the art of a mask is fitted to; beyond it the art stays
    // as it is, so hostile geometry cannot ask for a huge picture.
    static constexpr int kMaxFitSide = 4096;

    // --- Device families --------------------------------------------------

    // Family folders of a device name: a table hit (no disk access), else at
    // most one overlay sub-folder matching the normalised name.
    static QStringList familyFolderCandidates(const QString& deviceName);
    static QString familyFolderFor(const QString& deviceName);
    // "mxs" / "mxg" for the bare model names, else familyFolderFor.
    static QString modelFolderCandidates(const QString& modelName);
    // The family a page added on the chosen display is saved under: that
    // display's own folder when it is one of the device's displays ("Dash 2"
    // of a PDM is "pdm/dash2", never the first display), else
    // modelFolderCandidates of the device.
    static QString saveFamilyForDash(const QString& deviceName, const QString& dash);

    static QString canonicalFamily(const QString& family);
    // The family first, then its aliases.
    static QStringList familyAliases(const QString& canonical);
    // The family without a trailing "/dash<digits>".
    static QString stripDashSuffix(const QString& family);
    // Every folder a family's templates may live under: the qualifying extra
    // families first, then the canonical family and its aliases.
    static QStringList familyCandidates(const QString& family, const QStringList& extraFamilies);
    // Each family followed by its form without the display suffix.
    static QStringList expandFamilies(const QStringList& families);
    // Appends the trimmed folder (no trailing '/') unless empty or present
    // (case-insensitively).
    static void appendUnique(QStringList* list, const QString& folder);
    static QString subFamilyLabel(const QString& family);
    // The device registry's canvas size of the family or its canonical form.
    static QSize declaredCanvasSize(const QString& family);

    // --- Saving homebrew templates and the RS3 mirror -----------------------

    // Writes the template into the store (family folder = canonical family,
    // then the template name) and, when mirroring is on, into the s04_homebrew
    // set of every RS3 install that has a candidate family. Returns the store
    // folder, or empty when the store could not be written or the name or
    // family is not a safe folder name. A failed mirror never fails the save.
    static QString saveHomebrewTemplate(const QString& family, const QString& templateName, const QString& label,
                                        const TemplateContent& content, MirrorReport* report,
                                        const QStringList& extraFamilies);

    // Copies a folder tree, overwriting files of the same name.
    static bool copyDirRecursive(const QString& sourceFolder, const QString& targetFolder);

    // Creates the set folder and gives it an AiM_folder.xml ("Homebrew", 99)
    // unless it has a non-empty one. Returns why it was left alone (a link on
    // the way from the install, or in the meta file's place), else empty.
    static QString ensureSetFolderMeta(const QString& setFolder);
    // Gives the set folder (created when missing) an AiM_folder.xml of the
    // label unless it has a non-empty one, never through a link on the way
    // from the install or the store, nor over one in its place. Empty when
    // written or present; else why it was not, naming the link or file.
    static QString writeSetFolderMeta(const QString& setFolder, const QString& label);
    // Why the set folder's AiM_folder.xml may not be written: a link on the
    // way from the install, or a link or special file in its place. Empty
    // when it may.
    static QString setFolderMetaRefusal(const QString& setFolder);

    // Why no template or theme may take the folder name: it is one the
    // editor gives its own art (box, bar colour, chrome), letter case
    // ignored. A user-facing message naming the clash; empty when the name
    // is free.
    static QString artSetNameClash(const QString& name);
    // Why the template copy of that name may not go into the target folder
    // of an RS3 homebrew set: the name clashes with the editor's art, or the
    // folder is there and is not a template's (no pMain.P2.xml, a link, a
    // file), so it holds something else that saved files may point at.
    // Empty when the copy may go there.
    static QString mirrorTargetRefusal(const QString& target, const QString& templateName);

    // The copy of a store template in one install's s04_homebrew set of the
    // family, made when it has none (an existing copy is kept as it is);
    // empty when it could not be made or the target is refused
    // (mirrorTargetRefusal).
    static QString mirrorTemplateToRs3(const QString& sourceFolder, const QString& rs3Root, const QString& family,
                                       const QString& templateName);

    // The first stock template folder of the family (stable, then beta
    // install) that holds bkg.png and pMain.P2.xml; empty when none.
    static QString findBaseTemplate(const QString& family, const QString& templatePath);

    // The stable and the beta install root, each when it exists.
    static QStringList rs3Roots();
    // "<overlay>/<family>/masks/set/standard/s04_homebrew" of each install
    // that has the standard set, without duplicates.
    static QStringList homebrewSetDirs(const QString& family);
    // The same, one entry per install root (duplicates kept).
    static QStringList rs3HomebrewSetDirs(const QString& family);

    // Declares PATH_IMAGE_SFONDO_FW (an empty value removes it) in a page
    // file; the file is rewritten only when its text changes, and is left
    // untouched whenever this returns false.
    static bool setPMainSfondoFw(const QString& pMainPath, const QString& value);
    // Turns RS3's placeholder "_222222.tgz" into "bkg.tgz"; true only when
    // the file was changed and written.
    static bool patchPMainSfondoFwPlaceholder(const QString& pMainPath);
    // The placeholder patch on every template folder directly inside the
    // set folder; the number of files changed.
    static int patchPlaceholdersUnder(const QString& setFolder);

    // --- Homebrew themes ----------------------------------------------------

    // Writes the theme for every registered device that has a stock base
    // template and a background: into the store and into each RS3 install's
    // s04_homebrew set of the family. Each theme folder is built beside its
    // target and swapped in whole, so an older theme of the slug is replaced,
    // never merged, and stays as it was when the new one cannot be written.
    // Returns the number of devices written to at least once; the family of
    // every other device is appended to skipped (when given). A slug that is
    // not a safe folder name writes nothing. A folder that is replaced (a page
    // template of the slug's name, a theme from elsewhere) is first copied
    // whole into a dated backup folder, whose path goes to keptAside (empty
    // when nothing needed keeping); a folder that cannot be kept is not
    // replaced. A folder of the slug in an install that holds no template
    // is left alone, and why goes to leftAlone (when given).
    static int installHomebrewTheme(const QString& slug, const QString& displayName, const ThemeAssets& assets,
                                    QStringList* skipped, QString* keptAside = nullptr,
                                    QStringList* leftAlone = nullptr);
    // The existing folders an install of the slug would replace, store
    // folders first; empty for a slug that is not a safe folder name.
    static QStringList existingThemeFolders(const QString& slug);

    // --- Start-up migrations ------------------------------------------------

    // Once per user each (a flag in the settings): store themes copied into
    // the RS3 sets of the older and "Strada" family folders, missing bkg.tgz
    // files, RS3's background placeholder, the "Homebrew" set labels, and the
    // Solo 2 DL set shipped beside the program.
    static void runStradaBackfillV024Once();
    static void runTgzBackfillV025Once();
    static void runXmlFixBackfillV026Once();
    static void runSetMetaBackfillV0289Once();
    static void runStartupBundledSolo2DLTemplatesOnce();
    // Writes bkg.tgz at the size from bkg.png in every sub-folder of the
    // folder that has no bkg.tgz yet; the number written.
    static int backfillTgzInDir(const QString& folder, const QSize& size);
    // Copies every store theme of the family folder that the standard
    // folder's s04_homebrew set does not hold yet; the number copied.
    static int backfillCopyIntoRs3Set(const QString& storeFamilyFolder, const QString& standardFolder,
                                      const QString& familyLabel);

    // --- Listing, references, deleting --------------------------------------

    // The RS3 template sets of the family that hold templates (s01 and the
    // homebrew set left out), sorted by Sort, then folder name.
    static std::vector<PageTemplateGroup> listRs3Templates(const QString& family);
    // The homebrew store group of the family. Every store template is copied
    // into the stable install's s04_homebrew set of the family (and of the
    // RS3 family when that differs) when it has no copy there yet, whatever
    // the mirror setting says, and offered from that copy.
    static PageTemplateGroup listHomebrewTemplates(const QString& family, const QString& rs3Family);
    // The user configurations of both installs whose overlay.ov3.xml files
    // mention "s04_homebrew/<folderName>" (any letter case). The
    // configurations folder and each configuration in it are followed when
    // kept through a link; below them each device file is read as a plain
    // file of bounded size and no link is followed: a link, a special file,
    // a file too large and what lies beyond the walk's bounds are named in
    // *notSearched with the reason, and not counted.
    static QList<TemplateReference> configsReferencingTemplate(const PageTemplate& tpl,
                                                               QStringList* notSearched = nullptr);
    // The same for several folder names at once, keyed by the name as given:
    // each configuration is read once and every name counted in it.
    // `progress`, when set, is told (configurations read, configurations);
    // `footprint`, when given, gets what the count read, stamped, so a
    // caller keeping the answer can tell when it may no longer hold.
    static QHash<QString, QList<TemplateReference>>
    configsReferencingFolderNames(const QStringList& folderNames, QStringList* notSearched = nullptr,
                                  const std::function<void(int, int)>& progress = {},
                                  ConfigsFootprint* footprint = nullptr);
    // The open configuration as a user of a homebrew template: its pages as
    // the window holds them and its saved file. referenceCount is 0 when
    // neither mentions the template; configName is the saved file's name
    // (empty before the first save).
    static TemplateReference openConfigReferencing(const PageTemplate& tpl, const DashConfig& config);
    // The same for several folder names, its saved file read once.
    static QHash<QString, TemplateReference> openConfigReferencingFolderNames(const QStringList& folderNames,
                                                                              const DashConfig& config);
    // Removes a homebrew template from the store and from every RS3 homebrew
    // set of its family. Refused (nothing removed) while a configuration
    // uses it or the search for users could not read everything (unless
    // force), and for a stock template, a folder name that
    // is not a safe folder name or a family that is not a safe relative
    // path, and for the name of the editor's own art. The result is that of
    // removing the store folder; error (when given) says why it is false.
    // Every folder it removes goes whole into one dated artwork backup (its
    // folder in *keptIn; empty when nothing was kept): moved there on the
    // same disk, copied across disks, hidden files and links as they are.
    // When that fails (a full disk), the backup goes, nothing is removed and
    // *error says why. What a copy could not keep (a pipe, an unreadable
    // file) stays where it was; in the store folder that makes the result
    // false, naming it.
    static bool deleteHomebrewTemplate(const QString& family, const PageTemplate& tpl,
                                       const QStringList& extraFamilies, bool force, QString* error = nullptr,
                                       QString* keptIn = nullptr);
    // Copies each folder whole (hidden files, links as links) into one
    // fresh dated artwork backup, "kept.txt" and "README.txt" in it saying
    // which numbered copy came from where and how to put it back, so what
    // a replace of a template takes away stays at hand. The backup folder,
    // or empty with *error set when a copy could not be made (then nothing
    // may go, and no part of the backup is left).
    static QString keepInBackups(const QStringList& folders, QString* error);

    // --- Relocation into the configuration's family -------------------------

    // The template folder copied to the same place under the save family's
    // overlay tree (once; an earlier copy is used as it is), or the folder as
    // passed when no copy is needed or possible.
    static QString relocateTemplateIntoSaveOverlay(const QString& templateFolder, const QString& sourceFamily,
                                                   const QString& saveFamily);
    // The folder relative to the stable install root, '/' separated and
    // ending in '/'; empty when it is not inside that root.
    static QString relativeToRs3Root(const QString& folder);
};

// The setting "homebrew/mirrorToAim" (default on), read at every call.
bool mirrorToAimEnabled();

// The homebrew template store: the application data folder + "/templates".
QString homebrewTemplatesDir();
