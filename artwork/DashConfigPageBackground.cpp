// Page backgrounds: a picture chosen by the user becomes the three files RS3
// expects (full-size PNG, 16-bit device image, quarter-size preview) in a
// folder of the stable install reserved for this editor, and the page's
// image paths point at them.
#include "artwork/ArtworkFiles.h"
#include "artwork/BoxStyleRenderer.h"
#include "model/DashConfig.h"

#include "artwork/PageBackground.h"
#include "artwork/TgzImage.h"
#include "model/DeviceTables.h"
#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
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

QString& refusedBackgroundFile()
{
    static QString name;
    return name;
}

// Writes one staged file; the staging folder is thrown away on any failure,
// so there is no older file to protect here.
bool writeStaged(const QString& root, const QString& path, const QByteArray& bytes, QString* error)
{
    // Tests name one file that must fail, to prove a half-written background
    // never reaches the page.
    if (!refusedBackgroundFile().isEmpty() && QFileInfo(path).fileName() == refusedBackgroundFile())
        return failWith(error, tr("short write on %1").arg(path));
    return writeFileNoLink(path, bytes, root, error);
}

// The first of <base>, <base>_2, <base>_3 ... that no install file uses yet:
// every background gets a folder of its own, so the files an earlier state
// (an undo step, the saved file, another configuration of the same name)
// points at are never overwritten. A link there, even a broken one, counts
// as used.
QString freshFolderName(const QString& stableRoot, const QString& base)
{
    for (int n = 1; n < 100000; ++n) {
        const QString candidate = n == 1 ? base : base + QStringLiteral("_") + QString::number(n);
        const QString abs = PathGuard::join(stableRoot, candidate);
        if (abs.isEmpty())
            return {};
        QString reason;
        const FileEntries::Kind kind = FileEntries::kindOf(abs, &reason);
        if (kind == FileEntries::Kind::Missing)
            return candidate;
        if (kind == FileEntries::Kind::Other && !reason.isEmpty())
            return {};
    }
    return {};
}

// The pictures are written into a hidden staging folder beside the target and
// the folder is renamed into place only when both device files are complete:
// the dash and the editor never see one new picture beside an old one, and a
// failure leaves nothing behind. Nothing is written, removed or renamed
// through a link below the install root: the staging folder may be a link
// someone put there, and only the link goes.
bool writeBackgroundFolder(const QString& root, const QString& absFolder, const QByteArray& png,
                           const QByteArray& tgz, const QByteArray& preview, bool* previewWritten, QString* error)
{
    const QFileInfo target(absFolder);
    const QString parent = target.path();
    if (!FolderCopy::makeFolderWithin(root, parent, error))
        return false;
    const QString staging = parent + QStringLiteral("/.") + target.fileName() + QStringLiteral(".staging");
    if (!FolderCopy::removeTreeWithin(root, staging, error) || !FolderCopy::makeFolderWithin(root, staging, error))
        return false;
    const bool whole = writeStaged(root, staging + QStringLiteral("/bkg.png"), png, error)
        && writeStaged(root, staging + QStringLiteral("/bkg.tgz"), tgz, error);
    if (!whole) {
        FolderCopy::removeTreeWithin(root, staging);
        return false;
    }
    // A preview that cannot be written only keeps the page's old preview.
    *previewWritten = !preview.isEmpty() && writeStaged(root, staging + QStringLiteral("/prw.png"), preview, nullptr);
    if (!*previewWritten)
        FolderCopy::removeFileWithin(root, staging + QStringLiteral("/prw.png"));
    QString why;
    if (!FolderCopy::moveWithin(root, staging, absFolder, &why)) {
        FolderCopy::removeTreeWithin(root, staging);
        return failWith(error, tr("cannot write %1: %2").arg(absFolder, why));
    }
    return true;
}

} // namespace

void setRefusedBackgroundFileForTests(const QString& fileName)
{
    refusedBackgroundFile() = fileName;
}

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
    if (folder.isEmpty() && !pg->relPagePath.trimmed().isEmpty())
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
                               .arg(QDir::toNativeSeparators(stableRoot.isEmpty() ? configuredRaceStudio3Root()
                                                                                   : stableRoot),
                                    device));

    const int w = pg->width > 0 ? pg->width : 800;
    const int h = pg->height > 0 ? pg->height : 480;
    // The picture is scaled to the page: a hostile size would ask for gigabytes.
    if (!BoxStyleRenderer::isRenderableSize(w, h))
        return failWith(error, tr("the page is %1 x %2, which is too large for a device background").arg(w).arg(h));
    QImage image(imageFile);
    if (image.isNull())
        return failWith(error, tr("could not read %1 as an image").arg(imageFile));
    if (image.size() != QSize(w, h))
        image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QByteArray png = pngBytes(image);
    if (png.isEmpty())
        return failWith(error, tr("could not encode the image as PNG"));
    const QByteArray tgz = encodeBkgTgzFromPng(png, w, h);
    if (tgz.isEmpty())
        return failWith(error, tr("could not encode the device background (bkg.tgz)"));

    const int pw = w <= 3 ? 1 : (w >> 2);
    const int ph = h <= 3 ? 1 : (h >> 2);
    const QByteArray preview = pngBytes(image.scaled(pw, ph, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));

    const QString fresh = freshFolderName(stableRoot, folder);
    const QString absFolder = fresh.isEmpty() ? QString() : PathGuard::join(stableRoot, fresh);
    if (absFolder.isEmpty())
        return failWith(error, tr("cannot write %1: %2").arg(PathGuard::join(stableRoot, folder), tr("no free folder name")));
    bool previewWritten = false;
    if (!writeBackgroundFolder(stableRoot, absFolder, png, tgz, preview, &previewWritten, error))
        return false;

    const QStringList old = pageImagePaths(pageIndex);
    if (oldPaths)
        *oldPaths = old;
    const QStringList paths{fresh + QStringLiteral("/bkg.png"),
                            previewWritten ? fresh + QStringLiteral("/prw.png") : old.value(1),
                            fresh + QStringLiteral("/bkg.tgz")};
    if (!setPageImagePaths(pageIndex, paths))
        return failWith(error, tr("could not update the page's background properties"));
    return true;
}

