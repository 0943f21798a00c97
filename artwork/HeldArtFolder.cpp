#include "artwork/HeldArtFolder.h"

#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/MadeArtFolders.h"
#include "artwork/SavedArtFolders.h"
#include "artwork/TgzImage.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// An item's set: the folder above its "Items" folder.
QString setFolderOf(const QString& item)
{
    return QFileInfo(QFileInfo(item).path()).path();
}

} // namespace

HeldArtFolder heldArtFolder(const QStringList& overlayRoots, const QString& device, const QString& rel,
                            const QString& probe)
{
    HeldArtFolder found;
    QString relFolder = rel;
    while (relFolder.endsWith(QLatin1Char('/')))
        relFolder.chop(1);
    for (const QString& overlayRoot : overlayRoots) {
        const QString deviceDir = PathGuard::join(overlayRoot, device);
        if (device.isEmpty() || deviceDir.isEmpty() || !QFileInfo(deviceDir).isDir())
            continue;
        const QString install = installOfOverlayRoot(overlayRoot);
        const QString folder = PathGuard::join(install, relFolder);
        if (folder.isEmpty())
            continue;
        // A link may lead anywhere, to the user's own files too: it is
        // neither read as the item nor written as its place.
        const QString link = FolderCopy::linkOnPath(install, folder + QLatin1Char('/') + probe);
        if (!link.isEmpty()) {
            found.linked << QCoreApplication::translate("HeldArtFolder", "%1 was left as it is: %2 is a symbolic link")
                                .arg(folder, link);
            continue;
        }
        if (FolderCopy::isRegularFile(folder + QLatin1Char('/') + probe)) {
            found.holding << folder;
        } else {
            found.lacking << folder;
            found.lackingInstalls << install;
        }
    }
    return found;
}

bool holdsPicture(const HeldArtFolder& folder, const QImage& picture)
{
    const QImage kept = TgzImage::decode(TgzImage::encode(picture));
    for (const QString& held : folder.holding) {
        if (kept.isNull() || TgzImage::decodeFile(held + QStringLiteral("/mask.tgz")) != kept)
            return false;
    }
    return true;
}

bool copyHeldArtFolder(const HeldArtFolder& folder, MadeArtFolders& made, SavedArtFolders* saved, QString* error)
{
    Q_UNUSED(saved);
    FolderCopy copies;
    return copyHeldArtFolder(folder, made, copies, error);
}

bool copyHeldArtFolder(const HeldArtFolder& folder, MadeArtFolders& made, FolderCopy& copies, QString* error)
{
    if (!folder.held())
        return false;
    const QString source = folder.holding.first();
    bool complete = true;
    for (int i = 0; i < folder.lacking.size(); ++i) {
        const QString& target = folder.lacking.at(i);
        const QString install = folder.lackingInstalls.value(i);
        if (isSameFolder(source, target))
            continue;
        // The set and Items folders the install lacks are this copy's; the
        // item folder itself is created by the copy, whole or not at all.
        const QString parent = QFileInfo(target).path();
        const QString link = FolderCopy::linkOnPath(install, parent);
        if (!link.isEmpty()) {
            complete = false;
            if (error)
                *error = QCoreApplication::translate("HeldArtFolder", "%1 was left as it is: %2 is a symbolic link")
                             .arg(target, link);
            continue;
        }
        // The first folder the copy will create on the way is this copy's.
        QString top;
        for (QString at = parent; !QFileInfo::exists(at) && !QFileInfo(at).isSymLink();) {
            top = at;
            const QString up = QFileInfo(at).path();
            if (up == at)
                break;
            at = up;
        }
        if (!top.isEmpty())
            made.noteNewFile(top);
        if (!QFileInfo(target).isSymLink())
            made.noteNewFile(target);
        const FolderCopy::Outcome outcome = copies.addFolder(source, target, install);
        if (outcome != FolderCopy::Outcome::Added) {
            complete = false;
            if (error)
                *error = outcome == FolderCopy::Outcome::Failed ? copies.error() : copies.notes().constLast();
            continue;
        }
        const QString folderXml = setFolderOf(target) + QStringLiteral("/AiM_folder.xml");
        const QString sourceXml = setFolderOf(source) + QStringLiteral("/AiM_folder.xml");
        if (!QFileInfo::exists(folderXml) && !QFileInfo(folderXml).isSymLink()
            && FolderCopy::isRegularFile(sourceXml)) {
            made.noteNewFile(folderXml);
            copies.addFile(sourceXml, folderXml);
        }
    }
    return complete;
}
