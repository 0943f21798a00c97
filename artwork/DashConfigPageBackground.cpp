// Page backgrounds: a picture chosen by the user becomes the three files RS3
// expects (full-size PNG, 16-bit device image, quarter-size preview) in a
// folder of the stable install reserved for this editor, and the page's
// image paths point at them.
#include "artwork/ArtworkFiles.h"
#include "model/DashConfig.h"

#include "artwork/PageBackground.h"
#include "artwork/TgzImage.h"
#include "model/DeviceTables.h"
#include "model/ErrorText.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeWrite.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DashConfig", text);
}

// The target is replaced only by a complete new file: QSaveFile writes a
// temporary beside it and renames it over the target on commit.
bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeFileSafely(path, bytes, error);
}

} // namespace

QString slugFromName(const QString& name, int pageIndex)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_-]+"));
    QString slug = name;
    slug.replace(unsafe, QStringLiteral("_"));
    while (slug.endsWith(QLatin1Char('_')))
        slug.chop(1);
    if (slug.isEmpty())
        slug = QStringLiteral("config");
    return slug + QStringLiteral("_p") + QString::number(pageIndex);
}

QString DashConfig::pageBackgroundFolder(int pageIndex)
{
    const PageModel* pg = page(pageIndex);
    if (!pg)
        return {};
    const QString device = deviceFolderFromPath(pg->relPagePath);
    if (device.isEmpty())
        return {};
    const QString folder = QStringLiteral("aim/resources/overlay/") + device + QStringLiteral("/korvelanto_backgrounds/")
        + slugFromName(newConfigName, pageIndex);
    // The device folder comes from the configuration: it must stay a plain
    // folder inside the install.
    if (!PathGuard::isSafeRelativePath(folder))
        return {};
    return folder;
}

bool DashConfig::setPageBackground(int pageIndex, const QString& imageFile, QStringList* oldPaths, QString* error)
{
    if (error)
        error->clear();
    const PageModel* pg = page(pageIndex);
    if (!pg)
        return failWith(error, tr("no such page"));
    const QString folder = pageBackgroundFolder(pageIndex);
    if (folder.isEmpty() && !deviceFolderFromPath(pg->relPagePath).isEmpty())
        return failWith(error, tr("the page path %1 does not lie inside a RaceStudio 3 installation, so no background "
                              "can be put there")
                               .arg(pg->relPagePath));
    if (folder.isEmpty())
        return failWith(error, tr("this page carries no PATH_REL_AiM_PAGE, so there is no device tree to put a background in"));

    // Only an install that already has the device may receive files: the
    // folder tree is never created from scratch (a missing or mistyped root
    // would otherwise collect files anywhere, reported as success).
    const QString stableRoot = raceStudio3Root();
    const QString device = deviceFolderFromPath(pg->relPagePath);
    const QString deviceDir =
        PathGuard::join(stableRoot, QStringLiteral("aim/resources/overlay/") + device);
    if (stableRoot.isEmpty() || deviceDir.isEmpty() || !QFileInfo(deviceDir).isDir())
        return failWith(error, tr("the RaceStudio 3 installation \"%1\" has no folder for the device %2, so the "
                              "background cannot be stored; check the RaceStudio 3 folder in the preferences")
                               .arg(QDir::toNativeSeparators(stableRoot), device));
    const QString absFolder = PathGuard::join(stableRoot, folder);
    if (absFolder.isEmpty())
        return failWith(error, tr("this page carries no PATH_REL_AiM_PAGE, so there is no device tree to put a background in"));

    QImage image(imageFile);
    if (image.isNull())
        return failWith(error, tr("could not read %1 as an image").arg(imageFile));
    const int w = pg->width > 0 ? pg->width : 800;
    const int h = pg->height > 0 ? pg->height : 480;
    if (image.size() != QSize(w, h))
        image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QByteArray png = pngBytes(image);
    if (png.isEmpty())
        return failWith(error, tr("could not encode the image as PNG"));
    const QByteArray tgz = encodeBkgTgzFromPng(png, w, h);
    if (tgz.isEmpty())
        return failWith(error, tr("could not encode the device background (bkg.tgz)"));

    if (!writeAtomically(absFolder + QStringLiteral("/bkg.png"), png, error))
        return false;
    if (!writeAtomically(absFolder + QStringLiteral("/bkg.tgz"), tgz, error))
        return false;

    const int pw = w <= 3 ? 1 : (w >> 2);
    const int ph = h <= 3 ? 1 : (h >> 2);
    const QByteArray preview = pngBytes(image.scaled(pw, ph, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    const bool previewWritten = !preview.isEmpty() && writeAtomically(absFolder + QStringLiteral("/prw.png"), preview, nullptr);

    const QStringList old = pageImagePaths(pageIndex);
    if (oldPaths)
        *oldPaths = old;
    const QStringList fresh{folder + QStringLiteral("/bkg.png"),
                            previewWritten ? folder + QStringLiteral("/prw.png") : old.value(1),
                            folder + QStringLiteral("/bkg.tgz")};
    if (!setPageImagePaths(pageIndex, fresh))
        return failWith(error, tr("could not update the page's background properties"));
    return true;
}
