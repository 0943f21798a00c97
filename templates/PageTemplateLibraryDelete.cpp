// Deleting a homebrew template from the store and from RaceStudio 3's
// homebrew sets, with a dated copy of everything it removes kept first.
#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkBackup.h"
#include "artwork/HomebrewItems.h"
#include "model/FolderKeep.h"
#include "templates/BackupListing.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeWrite.h"
#include "templates/PageTemplate.h"
#include "templates/TemplateUsers.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("PageTemplateLibrary", text);
}

bool refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

// The copies of the template in RaceStudio 3's homebrew sets that the
// delete removes: a folder of that name holding something else, or one
// behind a link on the way, is not the template's.
QStringList mirrorsToRemove(const QString& family, const PageTemplate& tpl, const QStringList& extraFamilies)
{
    QStringList mirrors;
    for (const QString& f : PageTemplateLibrary::expandFamilies(PageTemplateLibrary::familyCandidates(family,
                                                                                                      extraFamilies))) {
        for (const QString& set : PageTemplateLibrary::homebrewSetDirs(f)) {
            const QString mirror = set + QLatin1Char('/') + tpl.folderName;
            const QFileInfo info(mirror);
            if ((!info.isDir() && !info.isSymLink()) || mirrors.contains(mirror))
                continue;
            // The mirror never writes through a link on the way, so what
            // lies behind one is not its copy to remove.
            if (const QString link = linkFromInstall(set); !link.isEmpty()) {
                qWarning().noquote() << "deleteHomebrewTemplate: leaving" << mirror << "-" << link
                                     << "is a symbolic link";
                continue;
            }
            // Only a copy of a template goes: a folder of that name holding
            // something else, or a link, is not the template's to remove.
            const bool isTemplate = !info.isSymLink() && QFileInfo::exists(mirror + QStringLiteral("/pMain.P2.xml"));
            const QString foreign =
                isTemplate ? QString() : PageTemplateLibrary::mirrorTargetRefusal(mirror, tpl.folderName);
            if (foreign.isEmpty())
                mirrors << mirror;
            else
                qWarning().noquote() << "deleteHomebrewTemplate: leaving" << mirror << "-" << foreign;
        }
    }
    return mirrors;
}

// A backup that could not be made whole goes, so that it neither passes
// for one nor fills the disk.
QString dropBackup(const QString& root)
{
    QString why;
    if (!root.isEmpty() && !FolderCopy::removeTree(root, &why))
        qWarning().noquote() << "deleteHomebrewTemplate: could not remove the partial backup" << root << "-" << why;
    return {};
}

// Takes each folder into the numbered place of the backup root: renamed on
// the same disk, copied whole across disks. Nothing is removed yet. When one
// cannot be kept, those already taken go back and the backup goes: false
// with the reason, and nothing has changed.
bool takeIntoBackup(const QStringList& folders, const QString& root,
                    std::vector<std::unique_ptr<FolderKeep>>& taken, QString* error)
{
    for (int i = 0; i < folders.size(); ++i) {
        auto keep = std::make_unique<FolderKeep>();
        if (keep->keep(folders[i], root + QLatin1Char('/') + QString::number(i + 1))) {
            taken.push_back(std::move(keep));
            continue;
        }
        bool back = true;
        for (auto it = taken.rbegin(); it != taken.rend(); ++it)
            back = (*it)->undo() && back;
        // What could not go back stays in the backup rather than be lost.
        if (back)
            dropBackup(root);
        return refuse(error, back ? keep->error()
                                  : keep->error() + QStringLiteral("\n\n")
                                        + tr("Some of it could not be put back and is in %1.")
                                              .arg(QDir::toNativeSeparators(root)));
    }
    return true;
}

} // namespace

QString PageTemplateLibrary::keepInBackups(const QStringList& folders, QString* error)
{
    const QString root = createArtworkBackupRoot(error);
    if (root.isEmpty() || !writeBackupListing(root, folders, error))
        return dropBackup(root);
    for (int i = 0; i < folders.size(); ++i) {
        FolderKeep copy;
        if (!copy.copy(folders[i], root + QLatin1Char('/') + QString::number(i + 1))) {
            refuse(error, tr("Could not copy %1 into the artwork backups: %2").arg(folders[i], copy.error()));
            return dropBackup(root);
        }
    }
    return root;
}

bool PageTemplateLibrary::deleteHomebrewTemplate(const QString& family, const PageTemplate& tpl,
                                                 const QStringList& extraFamilies, bool force, QString* error,
                                                 QString* keptIn)
{
    if (error)
        error->clear();
    if (keptIn)
        keptIn->clear();
    if (!force) {
        // Whatever could not be read may use it too.
        const TemplateUsers users = TemplateUsers::of(tpl, nullptr, {});
        for (const TemplateReference& ref : users.configs + users.savedFiles)
            qWarning().noquote() << "Refusing to delete homebrew template" << tpl.folderName
                                 << "- still referenced by config" << ref.cfgFolderName << "(" << ref.referenceCount
                                 << "references )";
        if (users.found())
            return refuse(error, tr("RaceStudio 3 configurations still use it."));
        if (users.inUse())
            return refuse(error, users.unread());
    }
    if (!tpl.homebrew) {
        qWarning().noquote() << "Refusing to delete non-homebrew template:" << tpl.folderPath;
        return refuse(error, tr("It is a RaceStudio 3 template, not one of the homebrew store."));
    }
    if (tpl.folderName.trimmed().isEmpty()) {
        qWarning().noquote() << "Refusing to delete homebrew template with an empty folder name (would remove the "
                                "whole set):"
                             << tpl.folderPath;
        return refuse(error, tr("It has no folder name of its own: deleting it would remove the whole set."));
    }
    // The name and family become parts of folders that are removed
    // recursively: anything but one plain folder name could reach the set,
    // the family or whatever lies above.
    if (!PathGuard::isSafeName(tpl.folderName) || !PathGuard::isSafeFamily(family)) {
        qWarning().noquote() << "Refusing to delete homebrew template" << tpl.folderName << "of family" << family;
        return refuse(error, tr("Its folder name \"%1\" is not a plain folder name.").arg(tpl.folderName));
    }
    const QString store =
        homebrewTemplatesDir() + QLatin1Char('/') + canonicalFamily(family) + QLatin1Char('/') + tpl.folderName;
    // Such a folder in RaceStudio 3 may hold the editor's art that saved
    // configurations point at, also ones in folders no search here reaches.
    if (isEditorArtSetName(tpl.folderName)) {
        qWarning().noquote() << "Refusing to delete homebrew template" << tpl.folderName
                             << "- its folder name is that of the editor's own art, which saved configurations may "
                                "use";
        return refuse(error, artSetNameClash(tpl.folderName) + QStringLiteral("\n\n")
                                 + tr("Its folders in RaceStudio 3 are left alone. To take it off this list, remove "
                                      "%1 by hand.")
                                       .arg(QDir::toNativeSeparators(store)));
    }
    const QStringList mirrors = mirrorsToRemove(family, tpl, extraFamilies);
    // A file saved where no search reaches may still show it: every folder
    // that goes is kept whole in a dated backup, or nothing goes. On the
    // disk the backup is on it is moved there, which costs nothing; a link
    // in a template's place is kept as that link, never what it points at.
    QStringList kept;
    for (const QString& folder : QStringList{store} + mirrors) {
        const FileEntries::Kind kind = FileEntries::kindOf(folder);
        if (kind == FileEntries::Kind::Folder || kind == FileEntries::Kind::Link)
            kept << folder;
    }
    if (kept.isEmpty())
        return true;
    QString why;
    const QString backup = createArtworkBackupRoot(&why);
    const bool listed = !backup.isEmpty() && writeBackupListing(backup, kept, &why);
    if (!listed)
        dropBackup(backup);
    std::vector<std::unique_ptr<FolderKeep>> taken;
    if (!listed || !takeIntoBackup(kept, backup, taken, &why)) {
        return refuse(error, tr("It could not be kept in the artwork backups, so nothing was deleted: %1").arg(why));
    }
    if (keptIn)
        *keptIn = backup;
    qInfo().noquote() << "deleteHomebrewTemplate: kept" << tpl.folderName << "in" << backup;
    // Only what a copy across disks kept goes from where it was.
    bool removed = true;
    for (const auto& keep : taken) {
        if (keep->removeKept())
            continue;
        if (keep->source() == store) {
            removed = false;
            refuse(error, keep->error());
        } else {
            qWarning().noquote() << "Failed to remove AIM-install mirror:" << keep->source() << "-" << keep->error();
        }
    }
    return removed;
}
