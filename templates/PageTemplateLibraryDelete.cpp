// Deleting a homebrew template from the store and from RaceStudio 3's
// homebrew sets, with a dated copy of everything it removes kept first.
#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkBackup.h"
#include "artwork/HomebrewItems.h"
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

} // namespace

QString PageTemplateLibrary::keepInBackups(const QStringList& folders, QString* error)
{
    const QString root = createArtworkBackupRoot(error);
    if (root.isEmpty())
        return {};
    QByteArray listing;
    for (int i = 0; i < folders.size(); ++i) {
        const QString copy = root + QLatin1Char('/') + QString::number(i + 1);
        if (!copyDirRecursive(folders[i], copy)) {
            refuse(error, tr("Could not copy %1 into %2.").arg(folders[i], copy));
            return {};
        }
        listing += QByteArray::number(i + 1) + '\t' + folders[i].toUtf8() + '\n';
    }
    if (!writeFileNoLink(root + QStringLiteral("/kept.txt"), listing, root, error))
        return {};
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
    // that goes is kept whole in a dated backup first, or nothing goes. A
    // link in a template's place goes alone; what it points at stays.
    QStringList kept;
    for (const QString& folder : QStringList{store} + mirrors) {
        if (FileEntries::kindOf(folder) == FileEntries::Kind::Folder)
            kept << folder;
    }
    QString why;
    const QString backup = kept.isEmpty() ? QString() : keepInBackups(kept, &why);
    if (!kept.isEmpty() && backup.isEmpty())
        return refuse(error, tr("It could not be kept in the artwork backups, so nothing was deleted: %1").arg(why));
    if (keptIn)
        *keptIn = backup;
    if (!backup.isEmpty())
        qInfo().noquote() << "deleteHomebrewTemplate: kept" << tpl.folderName << "in" << backup;
    const bool removed = FolderCopy::removeTree(store, &why);
    if (!removed && error)
        *error = why;
    for (const QString& mirror : mirrors) {
        QString mirrorWhy;
        if (!FolderCopy::removeTree(mirror, &mirrorWhy))
            qWarning().noquote() << "Failed to remove AIM-install mirror:" << mirror << "-" << mirrorWhy;
    }
    return removed;
}
