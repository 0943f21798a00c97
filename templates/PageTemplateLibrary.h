#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>
#include <QStringList>

struct PageModel;

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
    // its image files. Masks without an XML node contribute nothing.
    static QList<TemplateFile> buildMaskItems(const PageModel* page);

    // The text of an AiM_folder.xml.
    static QByteArray folderMetaXml(const QString& label, int sort);

    // Label and sort of an AiM_folder.xml; empty and 99 when the file is
    // missing, malformed or silent. Either pointer may be null.
    static void readFolderMeta(const QString& path, QString* label, int* sort);

    // The size declared by the first GPageParam that has both WIDTH and
    // HEIGHT of at least 1; invalid otherwise.
    static QSize readPageSize(const QByteArray& pMainXml);

    // Writes the file (creating its folder) through a temporary file beside
    // it; true when every byte landed.
    static bool writeFile(const QString& path, const QByteArray& bytes);

    // The *.png and *.tgz files of a mask's art folder (relative to an
    // install root), named prefix + "/" + file name. With a valid target
    // size the mask picture is scaled to it and mask.tgz re-encoded. An art
    // folder that would leave the installs gives nothing.
    static QList<TemplateFile> maskImageItems(const QString& artFolder, const QString& prefix,
                                              const QSize& targetSize);

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
};

// The homebrew template store: the application data folder + "/templates".
QString homebrewTemplatesDir();
