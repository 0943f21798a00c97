#include "artwork/HeldArtFolder.h"

#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/MadeArtFolders.h"
#include "artwork/SavedArtFolders.h"
#include "artwork/TgzImage.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"

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
        const QString folder = PathGuard::join(installOfOverlayRoot(overlayRoot), relFolder);
        if (folder.isEmpty())
            continue;
        (QFileInfo(folder + QLatin1Char('/') + probe).isFile() ? found.holding : found.lacking).append(folder);
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
    if (!folder.held())
        return false;
    const QString source = folder.holding.first();
    bool complete = true;
    for (const QString& target : folder.lacking) {
        if (isSameFolder(source, target))
            continue;
        if (saved && QFileInfo(target).isDir())
            saved->aboutToWrite(target, artworkFileNames(source));
        if (!made.make(target) || !copyDirOver(source, target, error)) {
            complete = false;
            continue;
        }
        const QString folderXml = setFolderOf(target) + QStringLiteral("/AiM_folder.xml");
        const QString sourceXml = setFolderOf(source) + QStringLiteral("/AiM_folder.xml");
        if (!QFileInfo::exists(folderXml) && QFileInfo(sourceXml).isFile()) {
            made.noteNewFile(folderXml);
            copyFileOver(sourceXml, folderXml);
        }
    }
    return complete;
}
