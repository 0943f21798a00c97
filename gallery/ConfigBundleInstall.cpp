#include "gallery/ConfigBundleInstall.h"

#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkFiles.h"
#include "gallery/ConfigBundleExport.h"
#include "model/DashConfig.h"
#include "model/ErrorText.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
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
    // The dated folder holding the files the art replaced; empty while none.
    QString keptRoot;
};

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An existing file under an RS3 install that the bundle's art would change
// (stock art, or art another bundle brought) is copied first into a dated
// backup folder, under "<n>/<path below the install>" for the n-th install.
bool keepReplacedArt(const QString& source, const QString& destination, const QString& art, int install,
                     ArtCopies& copies, QString* error)
{
    if (!QFileInfo(destination).isFile() || contentOf(destination) == contentOf(source))
        return true;
    QString why;
    if (copies.keptRoot.isEmpty() && (copies.keptRoot = createArtworkBackupRoot(&why)).isEmpty())
        return failWith(error, tr("could not keep a copy of %1: %2").arg(destination, why));
    const QString kept = copies.keptRoot + QLatin1Char('/') + QString::number(install) + QLatin1Char('/') + art;
    if (!copyFileCreatingDirs(destination, kept))
        return failWith(error, tr("could not keep a copy of %1: %2").arg(destination, kept));
    return true;
}

bool installArt(const QStringList& artFiles, const QString& artRoot, const QStringList& targets, ArtCopies& copies,
                QString* error)
{
    for (int install = 0; install < targets.size(); ++install) {
        const QString installRoot = installRootOf(targets.at(install));
        int copied = 0;
        for (const QString& art : artFiles) {
            const QString source = artRoot + QLatin1Char('/') + art.mid(kOverlayPrefix.size());
            const QString destination = PathGuard::join(installRoot, art);
            if (!destination.isEmpty() && !keepReplacedArt(source, destination, art, install + 1, copies, error))
                return false;
            if (destination.isEmpty() || !copyFileCreatingDirs(source, destination))
                return failWith(error, tr("failed to install %1 into %2").arg(art, installRoot));
            ++copied;
            const QString folder = templateFolderOf(art);
            if (!folder.isEmpty())
                copies.folders.insert(folder);
        }
        copies.count += copied;
        if (copied > 0)
            copies.roots.append(targets.at(install));
    }
    return true;
}

// The files of one configuration in a folder: the archive, then the sidecars
// that exist, by the name each would have with `stem` as its base name.
QStringList configFileNames(const QString& stem)
{
    return QStringList{stem + QStringLiteral(".zconf2")} + DashConfig::sidecarFileNames(stem);
}

// True when the files of the configuration's name are just what the bundle
// brings (a second install of the same bundle): nothing to keep, and the
// configuration there stays as it was. A sidecar the bundle does not carry
// is removed and one it adds gives the configuration records it lacked, so
// either counts as changed.
bool sameAsIncoming(const QString& extracted, const QString& baseName, const QString& configFolder)
{
    for (const QString& name : configFileNames(baseName)) {
        const QString mine = configFolder + QLatin1Char('/') + name;
        const QString incoming = extracted + QLatin1Char('/') + name;
        if (QFileInfo::exists(mine) != QFileInfo::exists(incoming) || contentOf(mine) != contentOf(incoming))
            return false;
    }
    return true;
}

// "<name>.bak", then "<name>.bak2", ...: the first stem under which none of
// the configuration's files exists yet, so an older kept copy is never
// replaced either.
QString freeBackupStem(const QString& configFolder, const QString& baseName)
{
    for (int n = 1;; ++n) {
        const QString stem = baseName + QStringLiteral(".bak") + (n == 1 ? QString() : QString::number(n));
        bool free = true;
        for (const QString& name : configFileNames(stem)) {
            const QFileInfo info(configFolder + QLatin1Char('/') + name);
            free = free && !info.exists() && !info.isSymLink();
        }
        if (free)
            return stem;
    }
}

// The files of the bundle's name already in the folder (a configuration,
// its sidecars, or sidecars alone) may hold the user's edits: they are
// copied to "<name>.bak.zconf2" and "<name>.bak.<sidecar>" before the
// bundle's files replace or remove them. Returns false when a copy cannot
// be made; `kept` is the first copy's path (the configuration's when there
// was one), empty when nothing needed keeping.
bool keepReplacedConfig(const QString& extracted, const QString& baseName, const QString& configFolder,
                        QString& kept, QString* error)
{
    kept.clear();
    if (sameAsIncoming(extracted, baseName, configFolder))
        return true;
    const QString stem = freeBackupStem(configFolder, baseName);
    const QStringList from = configFileNames(baseName);
    const QStringList to = configFileNames(stem);
    for (int i = 0; i < from.size(); ++i) {
        const QString source = configFolder + QLatin1Char('/') + from.at(i);
        const QString copy = configFolder + QLatin1Char('/') + to.at(i);
        QString why;
        if (!QFileInfo::exists(source))
            continue;
        if (!copyFileOver(source, copy, &why))
            return failWith(error, tr("could not keep a copy of %1: %2").arg(source, why));
        if (kept.isEmpty())
            kept = copy;
    }
    return true;
}

// The bundle's sidecars replace those of the configuration's name; one it
// does not carry is removed, since it holds records of the configuration
// that was replaced (the user's copy is kept beside it).
bool placeSidecars(const QString& extracted, const QString& baseName, const QString& configFolder, QString* error)
{
    for (const QString& file : DashConfig::sidecarFileNames(baseName)) {
        const QString incoming = extracted + QLatin1Char('/') + file;
        const QString placed = configFolder + QLatin1Char('/') + file;
        QString why;
        if (QFileInfo::exists(incoming)) {
            if (!QDir().mkpath(configFolder) || !copyFileOver(incoming, placed, &why))
                return failWith(error, tr("could not place %1: %2").arg(placed, why));
        } else if ((QFileInfo::exists(placed) || QFileInfo(placed).isSymLink()) && !QFile::remove(placed)) {
            return failWith(error, tr("could not remove %1, left by the configuration that was replaced").arg(placed));
        }
    }
    return true;
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
                                ConfigBundleInstallResult* result, QString* error,
                                const ConfigTargetCheck& confirmTarget)
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
        return failWith(error, tr("no RaceStudio3 install found to install into at %1 (set its folders in "
                              "Tools > Preferences)")
                               .arg(InstallAdvice::configuredFoldersText()));
    const QStringList artFiles = artFilesOf(artRoot);
    if (artFiles.isEmpty())
        return failWith(error, tr("the bundle's art tree is empty"));
    const QString baseName = QFileInfo(configName).completeBaseName();
    const QString placed = configFolder + QLatin1Char('/') + baseName + QStringLiteral(".zconf2");
    if (confirmTarget && !confirmTarget(placed, sameAsIncoming(extracted.path(), baseName, configFolder)))
        return failWith(error, tr("the install was cancelled; nothing was changed"));

    ArtCopies copies;
    if (!installArt(artFiles, artRoot, targets, copies, error))
        return false;

    QString kept;
    if (!keepReplacedConfig(extracted.path(), baseName, configFolder, kept, error))
        return false;
    if (!QDir().mkpath(configFolder)
        || !copyFileCreatingDirs(extracted.path() + QLatin1Char('/') + configName, placed))
        return failWith(error, tr("could not place the config at %1").arg(placed));
    if (!placeSidecars(extracted.path(), baseName, configFolder, error))
        return false;

    if (result) {
        result->artFileCount = copies.count;
        result->installedFolders = QStringList(copies.folders.cbegin(), copies.folders.cend());
        result->installedFolders.sort(Qt::CaseSensitive);
        result->configPath = placed;
        result->installRoots = copies.roots;
        result->keptConfigPath = kept;
        result->keptArtFolder = copies.keptRoot;
    }
    return true;
}
