#include "gallery/ConfigBundleInstall.h"

#include "artwork/ArtworkFiles.h"
#include "gallery/ConfigBundleExport.h"
#include "model/ErrorText.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

namespace {

const QString kOverlayPrefix = QStringLiteral("aim/resources/overlay/");

QString tr(const char* text)
{
    return QCoreApplication::translate("ConfigBundleInstall", text);
}

// The overlay roots whose install exists, each once, in settings order.
QStringList installTargets()
{
    QStringList targets;
    for (const QString& root : rs3OverlayRoots()) {
        const QString installRoot = installRootOf(root);
        if (!installRoot.isEmpty() && QFileInfo(installRoot).isDir() && !targets.contains(root))
            targets.append(root);
    }
    return targets;
}

// Every file of the art tree as "aim/resources/overlay/<relative path>".
QStringList artFilesOf(const QString& artRoot)
{
    QStringList files;
    const QDir root(artRoot);
    QDirIterator it(artRoot, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(kOverlayPrefix + QDir::fromNativeSeparators(root.relativeFilePath(it.next())));
    files.sort();
    return files;
}

QString firstConfigIn(const QString& folder)
{
    const QStringList configs = QDir(folder).entryList({QStringLiteral("*.zconf2")}, QDir::Files, QDir::Name);
    return configs.isEmpty() ? QString() : configs.first();
}

struct ArtCopies {
    int count = 0;
    QSet<QString> folders;
    QStringList roots;
};

bool installArt(const QStringList& artFiles, const QString& artRoot, const QStringList& targets, ArtCopies& copies,
                QString* error)
{
    for (const QString& target : targets) {
        const QString installRoot = installRootOf(target);
        int copied = 0;
        for (const QString& art : artFiles) {
            const QString source = artRoot + QLatin1Char('/') + art.mid(kOverlayPrefix.size());
            const QString destination = PathGuard::join(installRoot, art);
            if (destination.isEmpty() || !copyFileCreatingDirs(source, destination))
                return failWith(error, tr("failed to install %1 into %2").arg(art, installRoot));
            ++copied;
            const QString folder = templateFolderOf(art);
            if (!folder.isEmpty())
                copies.folders.insert(folder);
        }
        copies.count += copied;
        if (copied > 0)
            copies.roots.append(target);
    }
    return true;
}

void placeSidecars(const QString& extracted, const QString& baseName, const QString& configFolder)
{
    for (const char* suffix : {".boxstyles.json", ".multibox.json", ".barcolor.json", ".iconpreview.json"}) {
        const QString file = baseName + QLatin1String(suffix);
        if (QFileInfo::exists(extracted + QLatin1Char('/') + file))
            copyFileCreatingDirs(extracted + QLatin1Char('/') + file, configFolder + QLatin1Char('/') + file);
    }
}

} // namespace

QString installRootOf(const QString& root)
{
    static const QString overlaySuffix = QStringLiteral("/aim/resources/overlay");
    QString result = root;
    if (result.endsWith(overlaySuffix, Qt::CaseInsensitive))
        result.chop(overlaySuffix.size());
    while (result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

bool copyFileCreatingDirs(const QString& source, const QString& target)
{
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    return copyFileOver(source, target);
}

bool extractZipSafely(const QString& zipPath, const QString& targetFolder, QString* error)
{
    ZipFailure failure;
    if (extractZipEntries(zipPath, targetFolder, packageExtractLimits(), &failure))
        return true;
    return failWith(error, failure.text());
}

bool installConfigInstallBundle(const QString& bundlePath, const QString& configFolder,
                                ConfigBundleInstallResult* result, QString* error)
{
    if (bundlePath.isEmpty() || !QFileInfo(bundlePath).isFile())
        return failWith(error, tr("bundle zip not found: %1").arg(bundlePath));
    QTemporaryDir extracted;
    if (!extracted.isValid())
        return failWith(error, tr("could not create a temporary extraction dir"));
    QString extractError;
    if (!extractZipSafely(bundlePath, extracted.path(), &extractError))
        return failWith(error, tr("could not read the bundle zip: %1").arg(extractError));
    const QString artRoot = extracted.path() + QStringLiteral("/RS3_homebrew_folder/aim/resources/overlay");
    if (!QFileInfo(artRoot).isDir())
        return failWith(error, tr("this zip is not a Korvelanto install bundle (no "
                              "RS3_homebrew_folder/aim/resources/overlay art tree inside)"));
    const QString configName = firstConfigIn(extracted.path());
    if (configName.isEmpty())
        return failWith(error, tr("bundle has no .zconf2 at its root"));
    const QStringList targets = installTargets();
    if (targets.isEmpty())
        return failWith(error, tr("no RaceStudio3 install found to install into (set the RS3 path in "
                              "Tools > Preferences)"));
    const QStringList artFiles = artFilesOf(artRoot);
    if (artFiles.isEmpty())
        return failWith(error, tr("the bundle's art tree is empty"));

    ArtCopies copies;
    if (!installArt(artFiles, artRoot, targets, copies, error))
        return false;

    const QString baseName = QFileInfo(configName).completeBaseName();
    const QString placed = configFolder + QLatin1Char('/') + baseName + QStringLiteral(".zconf2");
    if (!QDir().mkpath(configFolder)
        || !copyFileCreatingDirs(extracted.path() + QLatin1Char('/') + configName, placed))
        return failWith(error, tr("could not place the config at %1").arg(placed));
    placeSidecars(extracted.path(), baseName, configFolder);

    if (result) {
        result->artFileCount = copies.count;
        result->installedFolders = QStringList(copies.folders.cbegin(), copies.folders.cend());
        result->installedFolders.sort(Qt::CaseSensitive);
        result->configPath = placed;
        result->installRoots = copies.roots;
    }
    return true;
}
