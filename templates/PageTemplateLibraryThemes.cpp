// Homebrew themes: one page template per registered device, made from the
// device's stock template with the theme's own background, written into the
// store and into every RS3 install's homebrew set.
#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/DeviceRegistry.h"
#include "model/FolderCopy.h"
#include "model/FolderKeep.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "templates/BackupListing.h"
#include "templates/ThemeAssets.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

namespace {

// Where one device's theme goes: the store folder first, then each RS3
// homebrew set of the family, each folder once (two settings may name the
// same install). With labelSets the sets get their "Homebrew" label first.
QStringList themeTargets(const QString& family, const QString& slug, bool labelSets)
{
    QStringList targets{homebrewTemplatesDir() + QLatin1Char('/') + family + QLatin1Char('/') + slug};
    for (const QString& set : PageTemplateLibrary::rs3HomebrewSetDirs(family)) {
        if (labelSets)
            PageTemplateLibrary::ensureSetFolderMeta(set);
        const QString target = set + QLatin1Char('/') + slug;
        if (!targets.contains(target))
            targets << target;
    }
    return targets;
}

struct ThemeFiles {
    QString displayName;
    QByteArray background;
    QByteArray tgz;
    QByteArray preview;
};

// The finished theme folder of one device in folder: the base template with
// the theme's files written over it. False when the copy or a file that
// makes the theme (bkg.png, AiM_folder.xml) could not be written.
bool buildThemeFolder(const QString& folder, const QString& base, const ThemeFiles& files)
{
    if (!PageTemplateLibrary::copyDirRecursive(base, folder)) {
        qWarning().noquote() << "installHomebrewTheme: copy failed" << base << "->" << folder;
        return false;
    }
    const bool written =
        PageTemplateLibrary::writeFile(folder + QStringLiteral("/bkg.png"), files.background)
        && PageTemplateLibrary::writeFile(folder + QStringLiteral("/AiM_folder.xml"),
                                          PageTemplateLibrary::folderMetaXml(files.displayName, 99));
    if (!written) {
        qWarning().noquote() << "installHomebrewTheme: cannot write the theme's files over a copy of" << base;
        return false;
    }
    // Without these the theme still works: the base template's own stay.
    if (!files.tgz.isEmpty() && !PageTemplateLibrary::writeFile(folder + QStringLiteral("/bkg.tgz"), files.tgz))
        qWarning().noquote() << "installHomebrewTheme: cannot write bkg.tgz over a copy of" << base;
    if (!files.preview.isEmpty()
        && !PageTemplateLibrary::writeFile(folder + QStringLiteral("/prw.png"), files.preview))
        qWarning().noquote() << "installHomebrewTheme: cannot write prw.png over a copy of" << base;
    PageTemplateLibrary::patchPMainSfondoFwPlaceholder(folder + QStringLiteral("/pMain.P2.xml"));
    return true;
}

// Every file under folder (hidden ones too) by its relative path.
QMap<QString, QByteArray> treeContent(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : SafeRead::filesBelow(folder)) {
        // A link, a device or an outsized file is never read: it counts as
        // other content, so the folder holding it is kept aside.
        QByteArray bytes;
        files.insert(name, FolderCopy::readRegularFile(folder + QLatin1Char('/') + name, kArtFileReadBound, &bytes)
                               ? bytes
                               : QByteArray("\0unread", 7));
    }
    return files;
}

// The folders an install replaced, copied whole into one dated folder (the
// artwork backups' naming) before the new theme went in: a page template of
// the theme's name, a theme from elsewhere, art RS3 configurations use.
// "kept.txt" and "README.txt" in it say which numbered copy came from where.
struct KeptFolders {
    QString root;
    QStringList folders;

    // False when target exists and could not be copied aside: it must then
    // not be replaced. Nothing is kept for a folder already holding exactly
    // what replaces it (the same theme installed again).
    bool keep(const QString& target, const QString& replacement)
    {
        if (!QFileInfo::exists(target) || treeContent(target) == treeContent(replacement))
            return true;
        QString error;
        if (root.isEmpty() && (root = createArtworkBackupRoot(&error)).isEmpty()) {
            qWarning().noquote() << "installHomebrewTheme: cannot keep" << target << "aside -" << error;
            return false;
        }
        const QString copy = root + QLatin1Char('/') + QString::number(folders.size() + 1);
        FolderKeep whole;
        if (!whole.copy(target, copy)) {
            qWarning().noquote() << "installHomebrewTheme: cannot keep" << target << "aside in" << copy << "-"
                                 << whole.error();
            return false;
        }
        folders << target;
        if (!writeBackupListing(root, folders, &error))
            qWarning().noquote() << "installHomebrewTheme: cannot list the kept folders in" << root << "-" << error;
        qInfo().noquote() << "installHomebrewTheme: kept" << target << "as" << copy;
        return true;
    }
};

// True when at least one target of the device received the theme.
bool installForDevice(const DeviceRow& row, const QString& slug, const QString& displayName,
                      const ThemeAssets& assets, KeptFolders& kept, QStringList* leftAlone)
{
    const QString base = PageTemplateLibrary::findBaseTemplate(row.family, row.baseTemplatePath);
    if (base.isEmpty())
        return false;
    ThemeFiles files{displayName, assets.backgrounds.value(row.family), {}, assets.previews.value(row.family)};
    if (files.background.isEmpty())
        return false;
    const QStringList targets = themeTargets(row.family, slug, true);
    files.tgz = encodeBkgTgzFromPng(files.background, row.width, row.height);
    if (files.tgz.isEmpty())
        qWarning().noquote() << "installHomebrewTheme: bkg.tgz encode failed for" << row.family
                             << "-- firmware-default background will" << "be shown on the physical dash";

    // Built once away from the targets, then copied over each of them whole.
    QTemporaryDir staging;
    const QString folder = staging.path() + QLatin1Char('/') + slug;
    if (!staging.isValid() || !buildThemeFolder(folder, base, files))
        return false;
    bool written = false;
    for (const QString& target : targets) {
        // The store is the editor's own; in the installs a folder of the
        // slug's name that holds no template is someone else's art.
        const QString refusal =
            target == targets.first() ? QString() : PageTemplateLibrary::mirrorTargetRefusal(target, slug);
        if (!refusal.isEmpty()) {
            qWarning().noquote() << "installHomebrewTheme: not writing" << target << "-" << refusal;
            if (leftAlone && !leftAlone->contains(refusal))
                leftAlone->append(refusal);
            continue;
        }
        if (!kept.keep(target, folder))
            continue;
        // The one place a folder is replaced whole: the user installs the
        // theme over it, and what it held was kept aside first.
        FolderCopy copy;
        if (copy.replaceFolder(folder, target))
            written = true;
        else
            qWarning().noquote() << "installHomebrewTheme: copy failed" << base << "->" << target << "-"
                                 << copy.error();
    }
    return written;
}

} // namespace

int PageTemplateLibrary::installHomebrewTheme(const QString& slug, const QString& displayName,
                                              const ThemeAssets& assets, QStringList* skipped, QString* keptAside,
                                              QStringList* leftAlone)
{
    if (keptAside)
        keptAside->clear();
    if (slug.isEmpty() || displayName.isEmpty())
        return 0;
    // The slug names folders that are replaced whole in the store and in
    // RS3: it must be one plain folder name, whatever the caller checked.
    if (!PathGuard::isSafeName(slug)) {
        qWarning().noquote() << "installHomebrewTheme: refusing theme folder name" << slug;
        return 0;
    }
    const QString clash = artSetNameClash(slug);
    if (!clash.isEmpty()) {
        qWarning().noquote() << "installHomebrewTheme: refusing theme folder name" << slug << "-" << clash;
        return 0;
    }
    int count = 0;
    KeptFolders kept;
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        if (installForDevice(row, slug, displayName, assets, kept, leftAlone))
            ++count;
        else if (skipped)
            skipped->append(row.family);
    }
    if (keptAside && !kept.folders.isEmpty())
        *keptAside = kept.root;
    return count;
}

QStringList PageTemplateLibrary::existingThemeFolders(const QString& slug)
{
    QStringList found;
    if (!PathGuard::isSafeName(slug))
        return found;
    QStringList rs3;
    for (const DeviceRow& row : DeviceRegistry::devices()) {
        const QStringList targets = themeTargets(row.family, slug, false);
        for (int i = 0; i < targets.size(); ++i) {
            QStringList& list = i == 0 ? found : rs3;
            if (QFileInfo::exists(targets[i]) && !list.contains(targets[i]))
                list << targets[i];
        }
    }
    return found + rs3;
}
