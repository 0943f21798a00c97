// Replacing an element's artwork with a folder of the user's own (usually an
// edited export). The art lives in the RS3 installs and is shared in place by
// every element that points at the folder, so this is a file operation on the
// installs: each folder is backed up before it is written, and a failure in
// any of them puts every folder touched so far back. The editor's own bar
// colour sets are not written in place: the replacement gets a set of its own.
#include "model/DashConfig.h"

#include "artwork/ArtworkApplyResult.h"
#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkElementLookup.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/ArtworkTarget.h"
#include "artwork/BoxArtProps.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/HomebrewItems.h"
#include "artwork/TgzImage.h"
#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/XmlParams.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <cstring>

namespace {

const int kOverlayPrefixLength = 22; // "aim/resources/overlay/"
// An extra file of an art folder (a lit state, a note) is never this large.
const qint64 kMaxExtraFileBytes = 64 * 1024 * 1024;

QString tr(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

QString artworkFolderParam(pugi::xml_node node)
{
    return normalizeDirPath(findParamText(node, "PATH_REL_AiM_MASK").trimmed());
}

// The install folder of relPath under each RS3 root that has it. A folder
// reached twice (one root linked into the other, or both roots set alike)
// is written once.
QStringList installedFolders(const QString& relPath)
{
    QString rest = relPath.mid(kOverlayPrefixLength);
    while (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    QStringList folders;
    QStringList canonical;
    for (const QString& root : rs3OverlayRoots()) {
        const QString folder = PathGuard::join(root, rest);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            continue;
        const QString real = QFileInfo(folder).canonicalFilePath();
        if (canonical.contains(real, Qt::CaseInsensitive))
            continue;
        canonical.append(real);
        folders.append(folder);
    }
    return folders;
}

// The overlay root an install folder lies in: links below it are refused.
QString overlayRootOf(const QString& folder)
{
    for (const QString& root : rs3OverlayRoots()) {
        if (PathGuard::isInside(root, folder))
            return root;
    }
    return folder;
}

bool isGeneratedBoxItem(const QString& relPath)
{
    if (!relPath.contains(QLatin1String("/s04_homebrew/zbox_")))
        return false;
    const int at = relPath.indexOf(QLatin1String("/Items/"));
    const QString name = at < 0 ? QString() : relPath.mid(at + 7);
    return name.startsWith(QLatin1String("box_")) || name.startsWith(QLatin1String("fit_"))
        || name.startsWith(QLatin1String("mbox_"));
}

// Files of the source folder that travel with the new art: everything but
// junk and the two pictures, which are written from the checked image.
QStringList extraArtworkFiles(const QString& sourceFolder)
{
    QStringList extras;
    for (const QString& name : QDir(sourceFolder).entryList(QDir::Files, QDir::Name)) {
        if (isJunkArtworkFile(name) || name.compare(QLatin1String("mask.png"), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String("mask.tgz"), Qt::CaseInsensitive) == 0)
            continue;
        extras.append(name);
    }
    return extras;
}

QStringList missingNames(const QString& folder, const QStringList& names)
{
    QStringList missing;
    for (const QString& name : names) {
        if (!QFileInfo::exists(folder + QLatin1Char('/') + name))
            missing.append(name);
    }
    return missing;
}

bool rollBack(const QList<ArtworkBackup>& backups, QString* error, const QString& text)
{
    QString ignored;
    if (!restoreArtworkBackup(backups, &ignored))
        qWarning() << "applyArtwork: rollback incomplete:" << ignored;
    return failWith(error, text);
}

struct ReplacementFiles {
    QByteArray png;
    QByteArray tgz;
    QString sourceFolder;
    QStringList extras;

    QStringList names() const { return QStringList{QStringLiteral("mask.png"), QStringLiteral("mask.tgz")} + extras; }
};

// The files a replacement writes, kept beside the backup: its redo writes
// them again without the source folder, which may have changed or gone.
bool keepAppliedFiles(const QString& appliedDir, const ReplacementFiles& files, QString* error)
{
    QString why;
    if (!FileEntries::makePath(appliedDir, &why)) {
        if (error)
            *error = tr("cannot create the backup folder:\n%1").arg(appliedDir);
        return false;
    }
    if (!writeFileBytes(appliedDir + QStringLiteral("/mask.png"), files.png, error)
        || !writeFileBytes(appliedDir + QStringLiteral("/mask.tgz"), files.tgz, error))
        return false;
    for (const QString& name : files.extras) {
        if (!copyFileOver(files.sourceFolder + QLatin1Char('/') + name, appliedDir + QLatin1Char('/') + name, error))
            return false;
    }
    return true;
}

// Backs up one install folder and writes the new files into it. The folder's
// backup entry is recorded before anything is written there, so a rollback
// covers it.
bool writeIntoFolder(const QString& folder, const QString& backupDir, const ReplacementFiles& files,
                     QList<ArtworkBackup>& backups, QString* error)
{
    QString made;
    if (!FileEntries::makePath(backupDir, &made))
        return rollBack(backups, error, tr("cannot create the backup folder:\n%1").arg(backupDir));
    QString why;
    if (!backupArtworkFolder(folder, backupDir, &why))
        return rollBack(backups, error,
                        tr("could not back up the existing artwork, so nothing was changed: %1").arg(why));
    const QString appliedDir = backupDir + QStringLiteral("_applied");
    if (!keepAppliedFiles(appliedDir, files, &why))
        return rollBack(backups, error,
                        tr("could not keep a copy of the new artwork, so nothing was changed: %1").arg(why));
    backups.append(ArtworkBackup{folder, backupDir, missingNames(folder, files.names()), appliedDir});

    // Stock art is RaceStudio 3's: a link among its files leads to someone's
    // own picture, which is never written.
    const QString root = overlayRootOf(folder);
    if (!writeInstallFile(folder + QStringLiteral("/mask.png"), files.png, root, nullptr, &why)
        || !writeInstallFile(folder + QStringLiteral("/mask.tgz"), files.tgz, root, nullptr, &why))
        return rollBack(backups, error,
                        tr("%1\n\nNothing was changed. If RaceStudio 3 is open, close it -- it holds mask.png open "
                           "and the write then fails.")
                            .arg(why));
    for (const QString& name : files.extras) {
        QByteArray bytes;
        if (!FolderCopy::readRegularFile(files.sourceFolder + QLatin1Char('/') + name, kMaxExtraFileBytes, &bytes,
                                         &why)
            || !writeInstallFile(folder + QLatin1Char('/') + name, bytes, root, nullptr, &why))
            return rollBack(backups, error, why);
    }
    return true;
}

// Backs up each install's folder and writes the replacement into it, where
// the saved file finds it (Discard can put it back).
bool writeInPlace(const ArtworkTarget& target, const ReplacementFiles& files, SavedArtFolders& savedArt,
                  QList<ArtworkBackup>& backups, QString* error)
{
    QString why;
    const QString backupRoot = createArtworkBackupRoot(&why);
    if (backupRoot.isEmpty())
        return failWith(error, why);
    for (int i = 0; i < target.targetFolders.size(); ++i) {
        const QString& folder = target.targetFolders.at(i);
        const QString backupDir = backupRoot
            + QStringLiteral("/root%1_%2").arg(i).arg(sanitizeFileStem(QFileInfo(folder).fileName()));
        savedArt.aboutToWrite(folder, files.names());
        if (!writeIntoFolder(folder, backupDir, files, backups, error))
            return false;
    }
    return true;
}

// Every file a replacement's own folder holds, by its path in the folder:
// the item as the first install holds it, with the new pictures and the
// extras over it. Each install gets these same files.
using FolderFiles = QMap<QString, QByteArray>;

bool readFileInto(const QString& path, const QString& name, FolderFiles& files, QString* error)
{
    // Plain files only, never through a link, within an art file's bound.
    QByteArray bytes;
    QString why;
    if (!SafeRead::readFile(path, kArtFileReadBound, &bytes, &why))
        return failWith(error, why);
    files.insert(name, bytes);
    return true;
}

bool ownFolderFiles(const QString& item, const ReplacementFiles& replacement, FolderFiles& files, QString* error)
{
    for (const QString& name : SafeRead::filesBelow(item)) {
        const QString path = item + QLatin1Char('/') + name;
        // The new pictures stand in for the old ones whatever their case.
        if (name.compare(QLatin1String("mask.png"), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String("mask.tgz"), Qt::CaseInsensitive) == 0)
            continue;
        if (!readFileInto(path, name, files, error))
            return false;
    }
    files.insert(QStringLiteral("mask.png"), replacement.png);
    files.insert(QStringLiteral("mask.tgz"), replacement.tgz);
    for (const QString& name : replacement.extras) {
        if (!readFileInto(replacement.sourceFolder + QLatin1Char('/') + name, name, files, error))
            return false;
    }
    return true;
}

// Eight hex digits over every name and content: two replacements that hold
// anything different never share a folder.
QString folderFilesHash(const FolderFiles& files)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (auto it = files.constBegin(); it != files.constEnd(); ++it)
        hash.addData(it.key().toUtf8() + '\0' + QByteArray::number(it.value().size()) + '\0' + it.value());
    return QString::fromLatin1(hash.result().toHex().left(8));
}

bool holdsExactly(const QString& folder, const FolderFiles& files)
{
    const QStringList names = SafeRead::filesBelow(folder);
    for (const QString& name : names) {
        const auto expected = files.constFind(name);
        QByteArray bytes;
        if (expected == files.constEnd()
            || !SafeRead::readFile(folder + QLatin1Char('/') + name, kArtFileReadBound, &bytes) || bytes != *expected)
            return false;
    }
    return names.size() == files.size();
}

// A recoloured bar's set is the editor's own, and a saved file may point at
// it (this configuration's, or a same-named one's elsewhere): a replacement
// goes into a set of its own, named after every file it holds, and the set
// it was made from stays as it is. Empty for any other item.
QString ownReplacementFolder(const QString& relPath, const QString& hash, int attempt)
{
    const qsizetype at = relPath.indexOf(QLatin1String("/s04_homebrew/zbar_"));
    const qsizetype items = at < 0 ? -1 : relPath.indexOf(QLatin1String("/Items/"), at);
    if (items < 0)
        return {};
    QString set = setBeforeReplacement(relPath.left(items)) + QStringLiteral("_r") + hash;
    if (attempt > 1)
        set += QStringLiteral("_%1").arg(attempt);
    return set + relPath.mid(items);
}

bool getsOwnFolder(const QString& relPath)
{
    return !ownReplacementFolder(relPath, QString(), 1).isEmpty();
}

QString belowOverlay(const QString& relPath)
{
    QString rest = relPath.mid(kOverlayPrefixLength);
    while (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    return rest;
}

// Each install's folder at ownRel, beside the item the target names there.
QStringList ownFoldersOf(const ArtworkTarget& target, const QString& ownRel)
{
    const QString from = belowOverlay(target.relPath);
    const QString to = belowOverlay(ownRel);
    QStringList own;
    for (const QString& folder : target.targetFolders) {
        if (!folder.endsWith(from))
            return {};
        own << folder.left(folder.size() - from.size()) + to;
    }
    return own;
}

// The first name whose folder is, in every install, either not there or
// already holding exactly these files (a replacement made before, which
// is then used as it is). A folder holding anything else belongs to the
// files that point at it and is never written.
QString freeOwnFolder(const ArtworkTarget& target, const FolderFiles& files)
{
    const QString hash = folderFilesHash(files);
    for (int attempt = 1; attempt <= 64; ++attempt) {
        const QString rel = ownReplacementFolder(target.relPath, hash, attempt);
        const QStringList folders = ownFoldersOf(target, rel);
        if (folders.isEmpty())
            return {};
        const bool usable = std::all_of(folders.begin(), folders.end(), [&](const QString& folder) {
            return !QFileInfo::exists(folder) || holdsExactly(folder, files);
        });
        if (usable)
            return rel;
    }
    return {};
}

// Writes the replacement into its own folder in each install. A folder that
// already holds these files is left as it is; a failure removes the folders
// it made, so nothing changed.
bool writeOwnFolders(const ArtworkTarget& target, const QString& ownRel, const FolderFiles& files, QString* error)
{
    QStringList made;
    const auto fail = [&](const QString& why) {
        for (const QString& folder : made)
            FolderCopy::removeTree(folder);
        return failWith(error, tr("could not write the artwork into a folder of its own: %1").arg(why));
    };
    const QStringList folders = ownFoldersOf(target, ownRel);
    if (folders.isEmpty())
        return fail(ownRel);
    for (const QString& own : folders) {
        const QString set = own.left(own.lastIndexOf(QLatin1String("/Items/")));
        // Below the install's overlay folder no link is followed, as in place.
        const QString overlay = own.left(own.size() - belowOverlay(ownRel).size());
        // A link in the folder's place, working or not, is the user's: left
        // as it is, never counted as made (and so never removed).
        if (const QString link = FolderCopy::linkOnPath(overlay, own); !link.isEmpty())
            return fail(SafeRead::linkText(link));
        QString why;
        if (!QFileInfo::exists(own)) {
            made << (QFileInfo(set).isDir() ? own : set);
            for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
                if (!writeFileBytes(own + QLatin1Char('/') + it.key(), it.value(), &why, overlay))
                    return fail(why);
            }
        }
        const QString setXml = set + QStringLiteral("/AiM_folder.xml");
        if (!QFileInfo::exists(setXml)
            && !writeFileBytes(setXml, resourceFolderXml(QStringLiteral("Bar Colors"), 99), &why, overlay))
            return fail(why);
    }
    return true;
}

// The replacement in a folder of its own: its path, or empty with `error`.
QString replaceIntoOwnFolder(const ArtworkTarget& target, const ReplacementFiles& replacement, QString* error)
{
    FolderFiles files;
    if (!ownFolderFiles(target.targetFolders.constFirst(), replacement, files, error))
        return {};
    const QString ownRel = freeOwnFolder(target, files);
    if (ownRel.isEmpty()) {
        failWith(error, tr("could not write the artwork into a folder of its own: every free name beside\n%1\nis "
                           "taken by other art. Nothing was changed.")
                            .arg(target.folder));
        return {};
    }
    return writeOwnFolders(target, ownRel, files, error) ? ownRel : QString();
}

// Points the mask at its own folder, in the place of its old one.
bool pointAt(pugi::xml_node node, const QString& relPath)
{
    if (relPath.isEmpty() || normalizeDirPath(findParamText(node, "PATH_REL_AiM_MASK").trimmed()) == relPath)
        return false;
    setMaskArtParam(node, "PATH_REL_AiM_MASK", relPath.toUtf8());
    return true;
}

// What a replacement changes in the element: a device image when it had
// none, and no border colour that belonged to generated art. True when
// anything changed.
bool giveReplacedArtParams(pugi::xml_node node)
{
    bool changed = false;
    if (findParamText(node, "PATH_IMAGE_SFONDO_FW").trimmed().isEmpty()) {
        setParam(node, "PATH_IMAGE_SFONDO_FW", QByteArrayLiteral("mask.tgz"));
        changed = true;
    }
    if (!paramValue(node, "M_BCOL").isEmpty()) {
        removeParams(node, "M_BCOL");
        changed = true;
    }
    return changed;
}

} // namespace

bool DashConfig::resolveReplaceableArtwork(int pageIndex, int maskIndex, ArtworkTarget* target, QString* error)
{
    const MaskElement* m = artworkElement(*this, pageIndex, maskIndex, error);
    if (!m)
        return false;

    ArtworkTarget t;
    t.relPath = artworkFolderParam(m->node);
    if (t.relPath.isEmpty())
        return failWith(error, tr("this element has no artwork folder (no PATH_REL_AiM_MASK)"));
    // The folder comes from the configuration: it must be a plain folder of
    // an install before anything is written through it.
    QString why;
    if (!PathGuard::isSafeRelativePath(t.relPath, &why)) {
        qWarning() << "resolveReplaceableArtwork: refusing artwork folder" << t.relPath << why;
        return failWith(error, tr("the artwork folder is not a plain folder inside a RaceStudio 3 install:\n%1")
                               .arg(t.relPath));
    }
    t.folder = resolveOverlayDir(t.relPath);
    if (t.folder.isEmpty())
        return failWith(error, tr("the artwork folder is not on this machine:\n%1\n\n%2")
                                   .arg(t.relPath, InstallAdvice::notFound(t.relPath)));
    t.stockArt = !t.relPath.contains(QLatin1String("/s04_homebrew/"));
    if (isGeneratedBoxItem(t.relPath))
        return failWith(error,
                    tr("This box's artwork is drawn by Korvelanto from its box style (or scaled from AiM's art), "
                       "and is redrawn whenever the box is resized or its artwork is refreshed. Your image would be "
                       "replaced without warning.\n\nSet the box style to \"Clean (no box)\" first; that puts AiM's "
                       "own artwork back, and that one you can replace."));
    t.sharedWith = elementsSharingArtwork(pageIndex, maskIndex);
    t.noDeviceImage = findParamText(m->node, "PATH_IMAGE_SFONDO_FW").trimmed().isEmpty();
    t.ownFolder = getsOwnFolder(t.relPath);
    t.targetFolders = installedFolders(t.relPath);
    if (t.targetFolders.isEmpty())
        return failWith(error, tr("the artwork folder is only readable, not writable, on this machine:\n%1").arg(t.folder));
    if (target)
        *target = t;
    return true;
}

bool DashConfig::validateReplacementArt(int pageIndex, int maskIndex, const QString& sourceFolder,
                                        ArtworkApplyResult* result, QString* error)
{
    const MaskElement* m = artworkElement(*this, pageIndex, maskIndex, error);
    if (!m)
        return false;

    int width = 0;
    int height = 0;
    if (!elementDeclaredSize(m->node, width, height))
        return failWith(error, tr("this element has no declared size (WIDTH/HEIGHT), so there is nothing to check the "
                              "artwork against"));
    // The art is scaled to this size: a hostile one would ask for gigabytes.
    if (!BoxStyleRenderer::isRenderableSize(width, height))
        return failWith(error, tr("this element is declared %1 x %2, which is too large for device artwork")
                                   .arg(width)
                                   .arg(height));
    const QString png = sourceFolder + QStringLiteral("/mask.png");
    if (!QFileInfo(png).isFile())
        return failWith(error, tr("no mask.png in\n%1\n\nThe folder must contain a file called exactly mask.png -- that "
                              "is the one the dash paints.")
                               .arg(sourceFolder));
    const QImage image(png);
    if (image.isNull())
        return failWith(error, tr("%1 is not a readable PNG").arg(png));

    ArtworkApplyResult r;
    r.declaredSize = QSize(width, height);
    r.artSize = image.size();
    r.sizeMismatch = r.artSize != r.declaredSize;
    if (result)
        *result = r;
    if (r.sizeMismatch)
        return failWith(error, tr("mask.png is %1 x %2 but this element is declared %3 x %4.\n\nThe dash paints the art at "
                              "the ART's size while both editors draw the declared rectangle, so a mismatch looks "
                              "right on screen and wrong on the dash. Re-export it at %3 x %4, or let Korvelanto "
                              "scale it.")
                               .arg(r.artSize.width())
                               .arg(r.artSize.height())
                               .arg(width)
                               .arg(height));
    return true;
}

bool DashConfig::applyArtwork(int pageIndex, int maskIndex, const QString& sourceFolder, bool allowScale,
                              ArtworkApplyResult* result, QString* error)
{
    if (error)
        error->clear();
    ArtworkApplyResult r;
    QString why;
    if (!validateReplacementArt(pageIndex, maskIndex, sourceFolder, &r, &why) && (!r.sizeMismatch || !allowScale)) {
        if (result)
            *result = r;
        return failWith(error, why);
    }
    ArtworkTarget target;
    if (!resolveReplaceableArtwork(pageIndex, maskIndex, &target, &why))
        return failWith(error, why);
    // Replacing a folder from itself would only copy its files onto
    // themselves, which fails half-way.
    for (const QString& folder : target.targetFolders) {
        if (isSameFolder(folder, sourceFolder))
            return failWith(error, tr("the chosen folder is the installed artwork itself:\n%1\n\nExport the artwork to "
                                  "another folder, edit it there and replace from that folder.")
                                   .arg(sourceFolder));
    }

    QImage image = QImage(sourceFolder + QStringLiteral("/mask.png")).convertToFormat(QImage::Format_ARGB32);
    if (image.size() != r.declaredSize)
        image = image.scaled(r.declaredSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ReplacementFiles files;
    files.sourceFolder = sourceFolder;
    files.tgz = TgzImage::encode(image);
    if (files.tgz.isEmpty())
        return failWith(error, tr("could not encode the artwork for the device"));
    files.png = pngBytes(image);
    if (files.png.isEmpty())
        return failWith(error, tr("could not encode the artwork as PNG"));
    files.extras = extraArtworkFiles(sourceFolder);

    QString ownRel;
    QList<ArtworkBackup> backups;
    if (target.ownFolder) {
        // The old folder is not written: there is nothing to back up, and
        // undo only points the mask back at it.
        ownRel = replaceIntoOwnFolder(target, files, error);
        if (ownRel.isEmpty())
            return false;
        target.relPath = ownRel;
    } else if (!writeInPlace(target, files, artState.savedArt, backups, error)) {
        return false;
    }

    // Only now that every install holds the new art does the element change.
    MaskElement* m = maskAt(pageIndex, maskIndex);
    const bool moved = pointAt(m->node, ownRel);
    if (giveReplacedArtParams(m->node) || moved) {
        pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(m->node);
        markPageDirty(pageIndex);
    }

    r.relPath = target.relPath;
    r.filesPerFolder = 2 + int(files.extras.size());
    r.backups = backups;
    if (result)
        *result = r;
    return true;
}

bool DashConfig::reapplyArtwork(int pageIndex, int maskIndex, const QList<ArtworkBackup>& backups,
                                const QString& relPath, QString* error)
{
    if (error)
        error->clear();
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return failWith(error, tr("no such element"));
    for (const ArtworkBackup& backup : backups)
        artState.savedArt.aboutToWrite(backup.folder, artworkFileNames(backup.appliedDir));
    QString why;
    if (!reapplyArtworkBackup(backups, &why)) {
        // All or nothing, as the first run: the folders go back as they were.
        QString ignored;
        restoreArtworkBackup(backups, &ignored);
        return failWith(error, why);
    }
    // A replacement written into a folder of its own points the mask there.
    const bool moved = pointAt(m->node, relPath);
    if (giveReplacedArtParams(m->node) || moved) {
        pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(m->node);
        markPageDirty(pageIndex);
    }
    return true;
}

bool DashConfig::restoreReplacedArtwork(const QList<ArtworkBackup>& backups, QString* error)
{
    for (const ArtworkBackup& backup : backups)
        artState.savedArt.aboutToWrite(backup.folder, artworkFileNames(backup.backupDir) + backup.createdNames);
    return restoreArtworkBackup(backups, error);
}

ArtworkParams DashConfig::captureArtworkParams(int pageIndex, int maskIndex) const
{
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return {};
    ArtworkParams params = BoxStyleSnapshot::readFromMask(m->node).params;
    for (pugi::xml_node p = m->node.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), "PATH_IMAGE") == 0) {
            params.imagePresent = true;
            params.image = QString::fromUtf8(p.text().get());
        }
    }
    return params;
}

QStringList DashConfig::elementsSharingArtwork(int pageIndex, int maskIndex) const
{
    const MaskElement* self = maskAt(pageIndex, maskIndex);
    if (!self || !self->node)
        return {};
    const QString rel = artworkFolderParam(self->node);
    if (rel.isEmpty())
        return {};
    QStringList labels;
    for (size_t i = 0; i < pages.size(); ++i) {
        const PageModel& pg = pages[i];
        for (size_t j = 0; j < pg.masks.size(); ++j) {
            const MaskElement& other = pg.masks[j];
            if ((int(i) == pageIndex && int(j) == maskIndex) || !other.node)
                continue;
            if (artworkFolderParam(other.node).compare(rel, Qt::CaseInsensitive) != 0)
                continue;
            labels.append(elementLabel(int(i), int(j)));
        }
    }
    return labels;
}

QString DashConfig::elementLabel(int pageIndex, int maskIndex) const
{
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m)
        return {};
    const QString& name = pages[size_t(pageIndex)].name;
    const QString pageLabel = name.isEmpty() ? tr("Page %1").arg(pageIndex + 1) : name;
    const QString maskLabel = m->id.isEmpty() ? tr("element %1").arg(maskIndex) : m->id;
    return QStringLiteral("%1 / %2").arg(pageLabel, maskLabel);
}
