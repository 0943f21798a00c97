// Exporting an element's artwork to a folder of the user's choice, to be
// edited and imported again (applyArtwork). mask.png is what the dash really
// paints, decoded from the device image when there is one; the other files
// of the install folder are copied as they are, and a README explains the
// rules of the format. The install folder itself is only read.
#include "model/DashConfig.h"

#include "artwork/ArtworkElementLookup.h"
#include "artwork/ArtworkExportInfo.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/ExportedArtworkReadme.h"
#include "artwork/TgzImage.h"
#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/InstallAdvice.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DashConfig", text);
}

// A file named by the configuration, inside the artwork folder only.
QString fileInFolder(const QString& folder, const QString& name)
{
    const QString path = PathGuard::join(folder, name);
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

// The device image decoded, else the editor image (PATH_IMAGE when it names
// a file of the folder, else mask.png), read as a plain file only; *why
// names a link or a pipe in its place.
QImage exportImage(pugi::xml_node node, const QString& folder, const QString& sfondo, bool& decodedFromTgz,
                   QString* why)
{
    decodedFromTgz = false;
    if (!sfondo.isEmpty()) {
        const QString tgz = fileInFolder(folder, sfondo);
        if (!tgz.isEmpty()) {
            const QImage image = TgzImage::decodeFile(tgz);
            if (!image.isNull()) {
                decodedFromTgz = true;
                return image;
            }
        }
    }
    QString png = folder + QStringLiteral("/mask.png");
    const QString pathImage = findParamText(node, "PATH_IMAGE").trimmed();
    if (!pathImage.isEmpty() && !pathImage.contains(QLatin1Char('/'))) {
        const QString named = fileInFolder(folder, pathImage);
        if (!named.isEmpty())
            png = named;
    }
    const QImage image = SafeRead::readImage(png, why, folder);
    if (image.isNull() && FileEntries::kindOf(png) == FileEntries::Kind::Missing)
        why->clear();
    return image;
}

// Every file of the folder but junk and mask.png, in name order, read as
// plain files only: a link in a stock item may lead to anyone's files, and
// a pipe would never end. Either ends the export, naming it.
bool copyOtherFiles(const QString& sourceFolder, const QString& target, QStringList& written, QString* error)
{
    for (const QString& name : SafeRead::filesBelow(sourceFolder, false, true)) {
        if (isJunkArtworkFile(name) || name.compare(QLatin1String("mask.png"), Qt::CaseInsensitive) == 0)
            continue;
        QByteArray bytes;
        QString why;
        if (!SafeRead::readFile(sourceFolder + QLatin1Char('/') + name, kArtFileReadBound, &bytes, &why, sourceFolder))
            return failWith(error, tr("%1 was not copied: %2").arg(name, why));
        if (!writeFileBytes(target + QLatin1Char('/') + name, bytes, error))
            return false;
        written.append(name);
    }
    return true;
}

} // namespace

bool DashConfig::exportElementArtwork(int pageIndex, int maskIndex, const QString& targetFolder,
                                      ArtworkExportInfo* info, QString* error)
{
    const MaskElement* m = artworkElement(*this, pageIndex, maskIndex, error);
    if (!m)
        return false;

    ArtworkExportInfo x;
    x.relFolder = normalizeDirPath(findParamText(m->node, "PATH_REL_AiM_MASK").trimmed());
    if (x.relFolder.isEmpty())
        return failWith(error, tr("this element has no artwork folder (no PATH_REL_AiM_MASK), so there is nothing to "
                              "export"));
    x.sourceFolder = resolveOverlayDir(x.relFolder);
    if (x.sourceFolder.isEmpty())
        return failWith(error, tr("the artwork folder is not on this machine:\n%1\n\n%2")
                               .arg(x.relFolder, InstallAdvice::notFound(x.relFolder)));
    // Copying the folder onto itself would destroy the installed files.
    if (isSameFolder(targetFolder, x.sourceFolder))
        return failWith(error, tr("cannot export into the artwork's own folder:\n%1\n\nChoose another folder.")
                               .arg(targetFolder));
    int width = 0;
    int height = 0;
    if (elementDeclaredSize(m->node, width, height))
        x.declaredSize = QSize(width, height);
    const QString sfondo = findParamText(m->node, "PATH_IMAGE_SFONDO_FW").trimmed();
    x.noDeviceArt = sfondo.isEmpty();
    if (!QDir().mkpath(targetFolder))
        return failWith(error, tr("cannot create %1").arg(targetFolder));

    QString why;
    const QImage image = exportImage(m->node, x.sourceFolder, sfondo, x.decodedFromTgz, &why);
    if (image.isNull() && !why.isEmpty())
        return failWith(error, tr("mask.png was not exported: %1").arg(why));
    if (image.isNull())
        return failWith(error, tr("this element has no artwork on disk -- neither a readable mask.tgz nor a mask.png "
                              "in\n%1")
                               .arg(x.sourceFolder));
    x.artSize = image.size();
    const QString pngPath = targetFolder + QStringLiteral("/mask.png");
    const QByteArray png = pngBytes(image);
    if (png.isEmpty() || !writeFileBytes(pngPath, png))
        return failWith(error, tr("cannot write %1").arg(pngPath));
    x.writtenFiles.append(QStringLiteral("mask.png"));

    if (!copyOtherFiles(x.sourceFolder, targetFolder, x.writtenFiles, error))
        return false;

    x.sharedWith = elementsSharingArtwork(pageIndex, maskIndex);
    const QString label = m->id.isEmpty() ? tr("element %1").arg(maskIndex) : m->id;
    const QString readme = exportedArtworkReadme(label, x.sourceFolder, x.declaredSize, x.artSize, x.decodedFromTgz,
                                                 x.noDeviceArt, x.sharedWith);
    if (!writeFileBytes(targetFolder + QStringLiteral("/README.txt"), readme.toUtf8(), error))
        return false;
    x.writtenFiles.append(QStringLiteral("README.txt"));
    if (info)
        *info = x;
    return true;
}
