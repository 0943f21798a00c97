#include "gallery/ConfigBundleInstall.h"

#include "artwork/SavedConfigLedger.h"
#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkFiles.h"
#include "gallery/ArtChangeQuestion.h"
#include "gallery/BundleArtCollisions.h"
#include "gallery/ConfigBundleExport.h"
#include "gallery/ConfigFilesPlacement.h"
#include "gallery/TemplateReferenceRename.h"
#include "gallery/UnfinishedInstall.h"
#include "model/DashConfig.h"
#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QHash>
#include <QFile>
#include <QFileInfo>
#include <QPair>
#include <QSet>
#include <QTemporaryDir>

#include <climits>

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
    for (const QString& rel : SafeRead::filesBelow(artRoot))
        files.append(kOverlayPrefix + rel);
    return files;
}

QString firstConfigIn(const QString& folder)
{
    const QStringList configs = QDir(folder).entryList({QStringLiteral("*.zconf2")}, QDir::Files, QDir::Name);
    return configs.isEmpty() ? QString() : configs.first();
}

// A file an install wrote, with the copy of the file it replaced (empty when
// there was none).
struct WrittenArt {
    QString installRoot;
    QString destination;
    QString kept;
};

struct ArtCopies {
    // Files written, summed over the installs.
    int count = 0;
    // Files an install already held with the bundle's bytes, left as they were.
    int unchanged = 0;
    // The template folders and overlay roots that hold the bundle's art now.
    QSet<QString> folders;
    // The overlay roots that received at least one file.
    QStringList roots;
    // The dated folder holding the files the art replaced; empty while none.
    QString keptRoot;
    // Every file written, in order: what a failed install puts back.
    QList<WrittenArt> written;
    // Every folder made in an install, parents first, each with its install
    // root: what a failed install removes again.
    QList<QPair<QString, QString>> made;
    // The art not written, one line per link or special file in its way,
    // and each thing in its way once.
    QStringList left;
    QStringList leftPaths;
};

// The same bytes at both paths; a file too large to be art counts as other.
bool sameContent(const QString& a, const QString& b)
{
    QByteArray first;
    QByteArray second;
    return FolderCopy::readRegularFile(a, kArtFileReadBound, &first)
        && FolderCopy::readRegularFile(b, kArtFileReadBound, &second) && first == second;
}

// Why the art must not be written at destination: a link on the way down
// from the install root (the user's own folder may be behind it), something
// other than a plain file at the name, or RaceStudio 3's own art (anything
// outside the homebrew set) with other bytes, which a bundle only ever adds
// where an install lacks it. Empty when it may; *inWay is then what is in
// its way.
QString whyLeft(const QString& installRoot, const QString& destination, const QString& source, const QString& art,
                QString* inWay)
{
    const QString link = FolderCopy::linkOnPath(installRoot, destination);
    *inWay = link.isEmpty() ? destination : link;
    if (!link.isEmpty())
        return tr("%1 is a symbolic link").arg(link);
    const QFileInfo info(destination);
    if (info.exists() && !info.isDir() && !FolderCopy::isRegularFile(destination))
        return tr("%1 is not a regular file").arg(destination);
    if (info.isFile() && BundleArtCollisions::homebrewFolderName(art).isEmpty() && !sameContent(destination, source))
        return tr("%1 is RaceStudio 3's own art, which a bundle never replaces").arg(destination);
    return {};
}

// The writes of one install: none is waited for on the disk one by one;
// flush() waits for all of them at once, before the configuration that
// points at the art is placed.
struct ArtWrites {
    FolderCopy batch;
    // Folders known to exist, so that each is made (and looked at) once.
    QSet<QString> folders;
    // Where the folders made below an install are noted; null: not noted.
    QList<QPair<QString, QString>>* made = nullptr;

    // noted false: a folder of the backup, not of an install.
    bool makeFolder(const QString& within, const QString& folder, QString* why, bool noted = true)
    {
        if (folders.contains(folder))
            return true;
        // The folders missing on the way down, parents first.
        QStringList missing;
        for (QString at = QDir::cleanPath(folder);
             at.startsWith(within + QLatin1Char('/')) && FileEntries::kindOf(at) == FileEntries::Kind::Missing;
             at = QFileInfo(at).path())
            missing.prepend(at);
        if (!FolderCopy::makeFolderWithin(within, folder, why))
            return false;
        if (made && noted) {
            for (const QString& at : std::as_const(missing))
                made->append({within, at});
        }
        folders.insert(folder);
        return true;
    }

    bool write(const QString& within, const QString& path, const QByteArray& bytes, QString* why)
    {
        return makeFolder(within, QFileInfo(path).path(), why) && writeInstallFile(path, bytes, within, &batch, why);
    }

    // The same, moving the unpacked file itself into place where it can:
    // for the last install, which no longer needs it.
    bool move(const QString& within, const QString& from, const QString& path, const QByteArray& bytes, QString* why)
    {
        return makeFolder(within, QFileInfo(path).path(), why) && moveInstallFile(from, path, bytes, within, batch, why);
    }
};

// An existing file under an RS3 install that the bundle's art would change
// (stock art, or art another bundle brought) is kept first in a dated
// backup folder, under "<n>/<path below the install>" for the n-th install
// (the same file under a second name where the disk allows: the install
// replaces it by a rename); *kept is that copy, empty when nothing needed
// keeping.
bool keepReplacedArt(const QString& destination, const QString& art, int install, ArtCopies& copies,
                     ArtWrites& writes, QString* kept, QString* error)
{
    QString why;
    if (copies.keptRoot.isEmpty() && (copies.keptRoot = createArtworkBackupRoot(&why)).isEmpty())
        return failWith(error, tr("could not keep a copy of %1: %2").arg(destination, why));
    const QString copy = copies.keptRoot + QLatin1Char('/') + QString::number(install) + QLatin1Char('/') + art;
    if (!writes.makeFolder(copies.keptRoot, QFileInfo(copy).path(), &why, false))
        return failWith(error, tr("could not keep a copy of %1: %2").arg(destination, why));
    if (!writes.batch.keepFile(destination, copy))
        return failWith(error, tr("could not keep a copy of %1: %2").arg(destination, writes.batch.error()));
    *kept = copy;
    return true;
}

// One art file into one install: read once, compared with what is there
// (the same bytes are left as they are, *written false), what it replaces
// kept first. With last, the unpacked source is moved into place rather
// than copied.
bool installArtFile(const QString& source, const QString& destination, const QString& art, int install, bool last,
                    const QString& installRoot, ArtCopies& copies, ArtWrites& writes, bool* written, QString* error)
{
    *written = false;
    QByteArray bytes;
    QString why;
    if (!FolderCopy::readRegularFile(source, kArtFileReadBound, &bytes, &why))
        return failWith(error, tr("failed to install %1 into %2: %3").arg(art, installRoot, why));
    QString kept;
    if (FolderCopy::isRegularFile(destination)) {
        // Only a file of the same size can hold the same bytes.
        QByteArray old;
        if (QFileInfo(destination).size() == bytes.size()
            && FolderCopy::readRegularFile(destination, kArtFileReadBound, &old) && old == bytes)
            return true;
        if (!keepReplacedArt(destination, art, install, copies, writes, &kept, error))
            return false;
    }
    if (!(last ? writes.move(installRoot, source, destination, bytes, &why)
               : writes.write(installRoot, destination, bytes, &why))) {
        // The copy of a file that is still there would only be left behind.
        if (!kept.isEmpty())
            FileEntries::removeFile(kept, &why);
        return failWith(error, tr("failed to install %1 into %2: %3").arg(art, installRoot, why));
    }
    copies.written.append({installRoot, destination, kept});
    *written = true;
    return true;
}

// ownPaths: art that goes under a folder name of its own (the user kept
// their files of that folder), by its path in the bundle. Each file of each
// install is one step.
bool installArt(const QStringList& artFiles, const QString& artRoot, const QStringList& targets,
                const QHash<QString, QString>& ownPaths, ArtCopies& copies, BundleSteps& steps, QString* error)
{
    ArtWrites writes;
    writes.made = &copies.made;
    for (int install = 0; install < targets.size(); ++install) {
        const QString installRoot = installRootOf(targets.at(install));
        int copied = 0;
        int held = 0;
        for (const QString& bundled : artFiles) {
            steps.step();
            const QString source = artRoot + QLatin1Char('/') + bundled.mid(kOverlayPrefix.size());
            const QString art = ownPaths.value(bundled, bundled);
            const QString destination = PathGuard::join(installRoot, art);
            if (destination.isEmpty())
                return failWith(error, tr("failed to install %1 into %2: %3")
                                           .arg(art, installRoot, tr("the path leaves the install")));
            // Nothing is written where a link leads, nor over a device, a
            // pipe or RaceStudio 3's own art: that art is left out of this
            // install, and said so.
            QString inWay;
            const QString left = whyLeft(installRoot, destination, source, art, &inWay);
            if (!left.isEmpty()) {
                const QString line = tr("%1 was not installed into %2: %3").arg(art, installRoot, left);
                qWarning().noquote() << "installConfigInstallBundle:" << line;
                copies.left.append(line);
                if (!copies.leftPaths.contains(inWay))
                    copies.leftPaths.append(inWay);
                continue;
            }
            const bool last = install + 1 == targets.size();
            bool written = false;
            if (!installArtFile(source, destination, art, install + 1, last, installRoot, copies, writes, &written,
                                error))
                return false;
            copied += written;
            ++held;
            const QString folder = templateFolderOf(art);
            if (!folder.isEmpty())
                copies.folders.insert(folder);
        }
        copies.count += copied;
        copies.unchanged += held - copied;
        if (copied > 0)
            copies.roots.append(targets.at(install));
    }
    // One wait for the disk for every file of the install.
    if (!writes.batch.flush())
        return failWith(error, tr("failed to install the art: %1").arg(writes.batch.error()));
    return true;
}

// A replaced file back from its copy: moved, as the copy is a second name
// of the very file (no room is needed on a full disk); copied only where
// the copy lies on another disk.
bool putBackFile(const WrittenArt& art, QString* why)
{
    if (art.kept.isEmpty())
        return FolderCopy::removeFileWithin(art.installRoot, art.destination, why);
    QString moveWhy;
    return FolderCopy::moveWithin(art.installRoot, art.kept, art.destination, &moveWhy)
        || copyFileOver(art.kept, art.destination, why);
}

// After a failure: each art file the install replaced gets its copy back,
// each it added goes, last first, and then the folders it made. The dated
// copies go too once every file is back. Returns the art files that could
// not be put back.
QStringList putBackArt(ArtCopies& copies)
{
    QStringList left;
    for (auto it = copies.written.crbegin(); it != copies.written.crend(); ++it) {
        QString why;
        if (!putBackFile(*it, &why)) {
            qWarning().noquote() << "installConfigInstallBundle: could not put back" << it->destination << why;
            left.append(it->destination);
        }
    }
    copies.written.clear();
    // A folder that holds anything now (what could not be taken back, what
    // another program put there meanwhile) stays.
    for (auto it = copies.made.crbegin(); it != copies.made.crend(); ++it) {
        QString why;
        if (FileEntries::kindOf(it->second) != FileEntries::Kind::Missing
            && !FolderCopy::removeEmptyFolderWithin(it->first, it->second, &why))
            qWarning().noquote() << "installConfigInstallBundle: left the folder it made" << it->second << why;
    }
    copies.made.clear();
    if (left.isEmpty() && !copies.keptRoot.isEmpty() && FolderCopy::removeTree(copies.keptRoot))
        copies.keptRoot.clear();
    return left;
}

// A failure after something was written: what was replaced is put back,
// and the error says so, or names the copies of what could not be.
bool failAfterWriting(ArtCopies& copies, UnfinishedInstall& note, const QStringList& keptFiles,
                      const QString& configPath, ConfigBundleInstallResult* result, QString* error)
{
    const QStringList artLeft = putBackArt(copies);
    // What stays of its own folders the next install knows by the note.
    if (artLeft.isEmpty())
        note.end();
    QString text = error ? *error : QString();
    const QStringList kept = keptFiles + (copies.keptRoot.isEmpty() ? QStringList() : QStringList{copies.keptRoot});
    // Lists as long as the art cut as the questions cut theirs.
    const auto listed = &ArtChangeQuestion::pathList;
    if (artLeft.isEmpty() && keptFiles.isEmpty())
        text += tr("; every file it had replaced was put back");
    else if (artLeft.isEmpty())
        text += tr("; not every file it had replaced could be put back, their copies are kept in:\n%1")
                    .arg(listed(kept));
    else
        // Art it added has no copy: the file left in the install is named.
        text += tr("; the art it wrote could not all be put back:\n%1%2")
                    .arg(listed(artLeft), kept.isEmpty()
                                              ? QString()
                                              : tr("\nthe copies of what it had replaced are kept in:\n%1")
                                                    .arg(listed(kept)));
    if (result && !kept.isEmpty()) {
        result->configPath = configPath;
        result->keptFiles = keptFiles;
        result->keptConfigPath = keptFiles.value(0);
        result->keptArtFolder = copies.keptRoot;
    }
    return failWith(error, text);
}

// Art that would replace other files of a homebrew folder is put to the
// user first, whatever the search for its users found. Keeping theirs moves
// the bundle's art of those folders to names of their own (*ownPaths) and
// points the bundle's configuration (still in the extraction folder) at
// them; a folder kept through a link is never written through, so its art
// moves whatever the answer, and the configuration never shows the user's
// art in place of the bundle's. Nothing is written into an install or the
// config folder here.
bool settleArtInUse(const BundleArtCollisions& collisions, const ArtInUseCheck& check, const QString& config,
                    QHash<QString, QString>* ownPaths, QStringList* ownFolders, QString* error)
{
    QList<ArtFolderInUse> inUse = collisions.inUse(check.usersOf);
    if (inUse.isEmpty())
        return true;
    const ArtInUseAnswer answer = check.ask ? check.ask(inUse) : ArtInUseAnswer::KeepMine;
    if (answer == ArtInUseAnswer::Cancel)
        return failWith(error, tr("the install was cancelled; nothing was changed"));
    if (answer == ArtInUseAnswer::Replace)
        inUse.removeIf([](const ArtFolderInUse& folder) { return folder.keptThroughLink.isEmpty(); });
    if (inUse.isEmpty())
        return true;
    TemplateReferenceRename::Renames renames;
    for (const ArtFolderInUse& folder : inUse) {
        if (folder.ownName.isEmpty())
            return failWith(error, tr("no free folder name for the bundle's %1 was found; nothing was changed")
                                       .arg(folder.folderName));
        renames.append({folder.folderName, folder.ownName});
    }
    // Every folder in one rewrite of the archive and of each store.
    QString why;
    if (!TemplateReferenceRename::inArchive(config, renames, &why)
        || !TemplateReferenceRename::inStores(config, renames, &why)) {
        QStringList names;
        for (const auto& rename : std::as_const(renames))
            names.append(tr("%1 instead of %2").arg(rename.second, rename.first));
        return failWith(error, tr("could not point the config at %1: %2").arg(names.join(QStringLiteral(", ")), why));
    }
    for (const auto& rename : std::as_const(renames)) {
        qInfo().noquote() << "installConfigInstallBundle: kept the user's" << rename.first
                          << "- the bundle's art goes to" << rename.second;
        ownFolders->append(tr("\"%1\" installed as \"%2\"").arg(rename.first, rename.second));
    }
    *ownPaths = collisions.ownPaths(inUse);
    return true;
}

// The folders of their own the art goes to (ownPaths) that no install holds
// yet are noted before the first is made, with the files they take; one an
// install that did not finish left half filled is cleared first, to be
// filled again under its name.
bool noteOwnFolders(const QHash<QString, QString>& ownPaths, const QString& artRoot, const QStringList& targets,
                    UnfinishedInstall& note, QString* error)
{
    UnfinishedInstall::Folders folders;
    for (const QString& target : targets) {
        const QString installRoot = installRootOf(target);
        QSet<QString> seen;
        for (auto it = ownPaths.cbegin(); it != ownPaths.cend(); ++it) {
            const QString rel = templateFolderOf(it.value());
            const QString folder = PathGuard::join(installRoot, rel);
            if (folder.isEmpty())
                continue;
            if (!seen.contains(folder)) {
                seen.insert(folder);
                UnfinishedInstall::clearLeftBehind(installRoot, folder);
            }
            if (FileEntries::kindOf(folder) != FileEntries::Kind::Missing)
                continue;
            const QString source = artRoot + QLatin1Char('/') + it.key().mid(kOverlayPrefix.size());
            folders[folder].insert(it.value().mid(rel.size()), QFileInfo(source).size());
        }
    }
    QString why;
    if (!note.begin(folders, &why))
        return failWith(error, tr("could not note the folders the install makes: %1; nothing was changed").arg(why));
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

bool copyFileCreatingDirs(const QString& source, const QString& target, QString* error)
{
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder))
        return failWith(error, tr("cannot create the folder %1").arg(folder));
    return copyFileOver(source, target, error);
}

bool extractZipSafely(const QString& zipPath, const QString& targetFolder, QString* error,
                      const std::function<void(qint64 done, qint64 total)>& progress)
{
    ZipFailure failure;
    ExtractLimits limits = packageExtractLimits();
    limits.progress = progress;
    if (extractZipEntries(zipPath, targetFolder, limits, &failure))
        return true;
    return failWith(error, failure.text());
}

bool installConfigInstallBundle(const QString& bundlePath, const QString& configFolder,
                                ConfigBundleInstallResult* result, QString* error,
                                const ConfigTargetCheck& confirmTarget, const ArtInUseCheck& artInUse,
                                const BundleProgress& progress)
{
    if (bundlePath.isEmpty() || !QFileInfo(bundlePath).isFile())
        return failWith(error, tr("bundle zip not found: %1").arg(bundlePath));
    QTemporaryDir extracted;
    if (!extracted.isValid())
        return failWith(error, tr("could not create a temporary extraction dir"));
    // Until the art is listed, each entry is taken to be art for every
    // install: the total then only shrinks.
    BundleSteps steps{progress};
    const QStringList targets = installTargets();
    const int installs = int(qMax<qsizetype>(1, targets.size()));
    steps.tell();
    QString extractError;
    if (!extractZipSafely(bundlePath, extracted.path(), &extractError, [&steps, installs](qint64 done, qint64 total) {
            steps.total = int(qMin<qint64>(total * (1 + installs), INT_MAX));
            steps.done = int(done);
            steps.tell();
        }))
        return failWith(error, tr("could not read the bundle zip: %1").arg(extractError));
    const QString artRoot = extracted.path() + QStringLiteral("/RS3_homebrew_folder/aim/resources/overlay");
    if (!QFileInfo(artRoot).isDir())
        return failWith(error, tr("this zip is not a Korvelanto install bundle (no "
                              "RS3_homebrew_folder/aim/resources/overlay art tree inside)"));
    const QString configName = firstConfigIn(extracted.path());
    if (configName.isEmpty())
        return failWith(error, tr("bundle has no .zconf2 at its root"));
    if (targets.isEmpty())
        return failWith(error, tr("no RaceStudio3 install found to install into at %1 (set its folders in "
                              "Tools > Preferences)")
                               .arg(InstallAdvice::configuredFoldersText()));
    const QStringList artFiles = artFilesOf(artRoot);
    if (artFiles.isEmpty())
        return failWith(error, tr("the bundle's art tree is empty"));
    QHash<QString, QString> ownPaths;
    QStringList ownFolders;
    if (!settleArtInUse(BundleArtCollisions(artFiles, artRoot, targets), artInUse,
                        extracted.path() + QLatin1Char('/') + configName, &ownPaths, &ownFolders, error))
        return false;
    ConfigFilesPlacement placement(extracted.path(), configName, configFolder);
    const QString placed = placement.placedPath();
    if (confirmTarget) {
        // Nothing touched: the files there already hold what the bundle brings.
        const QStringList touched = placement.touched();
        if (!confirmTarget(ConfigTarget{placed, touched.isEmpty(), touched}))
            return failWith(error, tr("the install was cancelled; nothing was changed"));
    }

    UnfinishedInstall note;
    if (!noteOwnFolders(ownPaths, artRoot, targets, note, error))
        return false;
    steps.total = steps.done + int(artFiles.size() * targets.size()) + 1;
    steps.tell();
    ArtCopies copies;
    if (!installArt(artFiles, artRoot, targets, ownPaths, copies, steps, error) || !placement.place(error))
        return failAfterWriting(copies, note, placement.keptFiles(), placed, result, error);
    // The placed configuration points at its folders: whole, they are no
    // longer an unfinished install's.
    note.end();
    // Wherever it was placed, the users search of a later delete or
    // replace reads it, as it reads the files the windows saved: whatever
    // art was written, as it names the bundle's folders even where an
    // install left their art out.
    QString unlisted;
    if (!SavedConfigLedger::note(placed, true, &unlisted))
        qWarning().noquote() << "installConfigInstallBundle: the placed file is not listed for the users search:"
                             << unlisted;

    steps.step();
    if (result) {
        result->artFileCount = copies.count;
        result->unchangedArtCount = copies.unchanged;
        result->installedFolders = QStringList(copies.folders.cbegin(), copies.folders.cend());
        result->installedFolders.sort(Qt::CaseSensitive);
        result->configPath = placed;
        result->installRoots = copies.roots;
        result->keptFiles = placement.keptFiles();
        result->keptConfigPath = result->keptFiles.value(0);
        result->keptArtFolder = copies.keptRoot;
        result->left = copies.left;
        result->leftPaths = copies.leftPaths;
        result->ownFolders = ownFolders;
    }
    return true;
}
