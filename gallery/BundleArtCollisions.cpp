#include "gallery/BundleArtCollisions.h"

#include "artwork/ArtworkFiles.h"
#include "gallery/ArtChangeQuestion.h"
#include "gallery/ConfigBundleExport.h"
#include "gallery/UnfinishedInstall.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/PathGuard.h"

#include <QFileInfo>
#include <QSet>

namespace {

const QString kOverlayPrefix = QStringLiteral("aim/resources/overlay/");
const QString kHomebrewSet = QStringLiteral("s04_homebrew");

// The art's homebrew folder in the install, as a path.
QString folderOf(const QString& installRoot, const QString& art)
{
    return PathGuard::join(installRoot, templateFolderOf(art));
}

// Whether a link met on the way down to the art is its homebrew folder or
// lies below it (the folder, or a file of it, kept elsewhere) rather than
// above it.
bool inFolder(const QString& link, const QString& folder)
{
    return link == folder || link.startsWith(folder + QLatin1Char('/'));
}

// The bundle's art at destination would meet other files: another file with
// other bytes, or what cannot be compared and so may hold anything (a link
// at or below the art's homebrew folder, the folder itself kept elsewhere;
// something other than a plain file at the art's name). A link above that
// folder is no collision: the install writes nothing through it under any
// name, and names what it leaves.
bool differs(const QString& installRoot, const QString& destination, const QString& source, const QString& folder)
{
    if (destination.isEmpty() || folder.isEmpty())
        return false;
    const QString link = FolderCopy::linkOnPath(installRoot, destination);
    if (!link.isEmpty())
        return inFolder(link, folder);
    const FileEntries::Kind kind = FileEntries::kindOf(destination);
    if (kind == FileEntries::Kind::Missing)
        return false;
    QByteArray mine;
    QByteArray theirs;
    return kind != FileEntries::Kind::Regular || !FolderCopy::readRegularFile(destination, kArtFileReadBound, &mine)
        || !FolderCopy::readRegularFile(source, kArtFileReadBound, &theirs) || mine != theirs;
}

bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

BundleArtCollisions::BundleArtCollisions(const QStringList& artFiles, const QString& artRoot,
                                         const QStringList& targets)
    : m_artRoot(artRoot)
{
    for (const QString& target : targets)
        m_installRoots.append(installRootOf(target));
    // RS3 reads folder names in any letter case, as the users count does:
    // one folder per name, spelled as its first file spells it.
    for (const QString& art : artFiles) {
        const QString name = homebrewFolderName(art);
        if (name.isEmpty())
            continue;
        const QString key = name.toCaseFolded();
        if (!m_folders.contains(key)) {
            m_order.append(key);
            m_folders.insert(key, {name, {}});
        }
        m_folders[key].art.append(art);
    }
}

QString BundleArtCollisions::homebrewFolderName(const QString& art)
{
    const QStringList parts = templateFolderOf(art).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 2 || parts.at(parts.size() - 2).compare(kHomebrewSet, Qt::CaseInsensitive) != 0)
        return {};
    return parts.last();
}

QList<ArtFolderInUse> BundleArtCollisions::inUse(
    const std::function<QHash<QString, TemplateUsers>(const QStringList&)>& usersOf) const
{
    QList<ArtFolderInUse> inUse;
    QStringList names;
    // Each name of its own once among every folder this install writes.
    QSet<QString> taken;
    for (const QString& key : m_order) {
        const Folder& folder = m_folders[key];
        const QStringList files = changedFiles(folder);
        if (files.isEmpty())
            continue;
        const QString own = freeName(folder, taken);
        taken.insert(own.toCaseFolded());
        inUse.append({folder.name, files, {}, own, linkIn(folder)});
        names.append(folder.name);
    }
    if (inUse.isEmpty())
        return inUse;
    const QHash<QString, TemplateUsers> users =
        usersOf ? usersOf(names) : TemplateUsers::ofFolderNames(names, nullptr, {});
    for (ArtFolderInUse& folder : inUse)
        folder.users = users.value(folder.folderName);
    return inUse;
}

QHash<QString, QString> BundleArtCollisions::ownPaths(const QList<ArtFolderInUse>& folders) const
{
    QHash<QString, QString> paths;
    for (const ArtFolderInUse& inUse : folders) {
        for (const QString& art : m_folders.value(inUse.folderName.toCaseFolded()).art)
            paths.insert(art, renamed(art, inUse.ownName));
    }
    return paths;
}

QString BundleArtCollisions::sourceOf(const QString& art) const
{
    return m_artRoot + QLatin1Char('/') + art.mid(kOverlayPrefix.size());
}

QStringList BundleArtCollisions::changedFiles(const Folder& folder) const
{
    QStringList changed;
    for (const QString& installRoot : m_installRoots) {
        for (const QString& art : folder.art) {
            const QString destination = PathGuard::join(installRoot, art);
            if (differs(installRoot, destination, sourceOf(art), folderOf(installRoot, art)))
                changed.append(destination);
        }
    }
    return changed;
}

// The first link at or below the folder on the way to its art, in any
// install; empty when there is none.
QString BundleArtCollisions::linkIn(const Folder& folder) const
{
    for (const QString& installRoot : m_installRoots) {
        for (const QString& art : folder.art) {
            const QString destination = PathGuard::join(installRoot, art);
            const QString own = folderOf(installRoot, art);
            if (destination.isEmpty() || own.isEmpty())
                continue;
            const QString link = FolderCopy::linkOnPath(installRoot, destination);
            if (!link.isEmpty() && inFolder(link, own))
                return link;
        }
    }
    return {};
}

// "<name>_2", "<name>_3", ... (the name shortened where the number would
// not fit a folder name): the first that the bundle does not bring itself,
// that no other folder of this install took (taken, case-folded), and that
// no install holds for any of the folder's art, or holds with just the
// bundle's bytes (the same bundle installed before), or as an install that
// did not finish left it; empty when none is.
QString BundleArtCollisions::freeName(const Folder& folder, const QSet<QString>& taken) const
{
    for (int n = 2; n < 10000; ++n) {
        const QString candidate = ArtChangeQuestion::numberedName(folder.name, n);
        if (candidate.isEmpty())
            return {};
        const QString key = candidate.toCaseFolded();
        if (!m_folders.contains(key) && !taken.contains(key) && takesArtOf(folder, candidate))
            return candidate;
    }
    return {};
}

bool BundleArtCollisions::takesArtOf(const Folder& folder, const QString& candidate) const
{
    // By folder: a half-filled one an ended install left is taken whole.
    QHash<QString, bool> leftBehind;
    for (const QString& installRoot : m_installRoots) {
        for (const QString& art : folder.art) {
            const QString placed = renamed(art, candidate);
            const QString own = folderOf(installRoot, placed);
            if (!present(own))
                continue;
            auto known = leftBehind.find(own);
            if (known == leftBehind.end())
                known = leftBehind.insert(own, UnfinishedInstall::leftBehind(own));
            if (*known)
                continue;
            const QString destination = PathGuard::join(installRoot, placed);
            if (!FolderCopy::isRegularFile(destination) || differs(installRoot, destination, sourceOf(art), own))
                return false;
        }
    }
    return true;
}

QString BundleArtCollisions::renamed(const QString& art, const QString& newName) const
{
    const QString folder = templateFolderOf(art);
    const QString name = homebrewFolderName(art);
    // The folder as templateFolderOf spells it, with its trailing '/'.
    const QString parent = folder.chopped(name.size() + 1);
    return parent + newName + QLatin1Char('/') + art.mid(folder.size());
}
