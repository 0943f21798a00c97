#include "artwork/PastedArt.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "artwork/NewArtFile.h"
#include "model/FolderCopy.h"
#include "artwork/SavedArtFolders.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("PastedArt", text);
}

const QString& overlayPrefix()
{
    static const QString prefix = QStringLiteral("aim/resources/overlay/");
    return prefix;
}

// A name relative to the element's own folder: no folder part, no "..".
bool isBareName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && name != QLatin1String(".") && name != QLatin1String("..") && PathGuard::isSafeRelativePath(name);
}

QString hex8(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(8));
}

enum class Presence { Lacking, Same, Other };

// The entries of a folder by lower-case name: RaceStudio 3's file system
// ignores letter case, so "M4ON0.TGZ" there is the file "m4on0.tgz" names.
class FolderEntries {
public:
    explicit FolderEntries(const QString& folder)
    {
        if (folder.isEmpty())
            return;
        const QFileInfoList entries =
            QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries)
            m_entries.insert(entry.fileName().toLower(), entry);
    }

    // Whether the folder lacks the file, holds it as it is, or holds
    // something else under its name (other bytes, a folder, a link).
    Presence presence(const PastedArt::File& file) const
    {
        const auto it = m_entries.constFind(file.name.toLower());
        if (it == m_entries.constEnd())
            return Presence::Lacking;
        QByteArray held;
        if (!readPlainFile(it->absoluteFilePath(), held) || held != file.bytes)
            return Presence::Other;
        return Presence::Same;
    }

    bool has(const QString& name) const { return m_entries.contains(name.toLower()); }

    // A file of that name, reached through a link or not: what RaceStudio 3
    // finds there.
    bool readable(const QString& name) const
    {
        const auto it = m_entries.constFind(name.toLower());
        return it != m_entries.constEnd() && it->isFile();
    }

    // The path of the plain file (no link, no folder) of that name; empty
    // when there is none.
    QString plainFile(const QString& name) const
    {
        const auto it = m_entries.constFind(name.toLower());
        return it == m_entries.constEnd() || it->isSymLink() || !it->isFile() ? QString() : it->absoluteFilePath();
    }

private:
    QHash<QString, QFileInfo> m_entries;
};

// The folders below the overlay roots that a copy may write into: each one
// there as a folder, with no link on the way to it. The others are named in
// `linked`, one line each.
QStringList plainFolders(const QStringList& overlayRoots, const QString& rel, QStringList* linked = nullptr)
{
    QStringList folders;
    for (const QString& root : overlayRoots) {
        const QString folder = PathGuard::join(root, rel);
        if (folder.isEmpty())
            continue;
        if (FolderCopy::linkOnTheWay(root, rel)) {
            qWarning() << "PastedArt: not writing through a link on the way to" << folder;
            if (linked)
                *linked << tr("%1 was left as it is: %2 is a symbolic link")
                               .arg(folder, FolderCopy::linkOnPath(root, folder));
            continue;
        }
        if (QFileInfo(folder).isDir())
            folders << folder;
    }
    return folders;
}

// The path of the plain file the name gives in the folder, letter case
// aside; empty when there is none.
QString plainFileIn(const QString& folder, const QString& name)
{
    const QString exact = folder + QLatin1Char('/') + name;
    return FolderCopy::isRegularFile(exact) ? exact : FolderEntries(folder).plainFile(name);
}

// Each safe bare name once (letter case aside), with the picture's path in
// the first install whose folder holds it as a plain file: empty where none
// does. A folder on the way may be a link the user made (a set kept on
// another disk): RaceStudio 3 reads the pictures there, and so do we.
QList<QPair<QString, QString>> locatePictures(const QStringList& roots, const QString& src, const QStringList& names)
{
    QList<QPair<QString, QString>> located;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (!isBareName(name)) {
            if (!name.isEmpty())
                qWarning() << "PastedArt: skipping unsafe picture name" << name;
            continue;
        }
        if (seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        QString path;
        for (const QString& root : roots) {
            const QString folder = PathGuard::join(root, src);
            if (path.isEmpty() && !folder.isEmpty())
                path = plainFileIn(folder, name);
        }
        located.append({name, path});
    }
    return located;
}

// Without any install there is nowhere to look: nothing can be told
// missing, and nothing is brought along.
bool anyInstall(const QStringList& roots)
{
    return std::any_of(roots.begin(), roots.end(), [](const QString& root) { return QFileInfo(root).isDir(); });
}

// The pictures the widgets name, each with its twin, from the first install
// whose source folder holds it, under the names the widgets use. Those no
// install holds are left out: the paste names them once it is done. False
// (with *error) when one cannot be read.
bool readPastedGroups(const QStringList& roots, const QString& src, const QStringList& names,
                      QList<QList<PastedArt::File>>& groups, QString* error)
{
    const QList<QPair<QString, QString>> located = locatePictures(roots, src, names);
    QSet<QString> seen;
    for (const auto& [name, picture] : located) {
        if (picture.isEmpty() || seen.contains(name.toLower()))
            continue;
        QList<PastedArt::File> group;
        for (const QString& file : {name, twinPictureName(name)}) {
            if (file.isEmpty() || seen.contains(file.toLower()))
                continue;
            const QString path = file == name ? picture : plainFileIn(QFileInfo(picture).path(), file);
            if (path.isEmpty())
                continue;
            PastedArt::File read{file, {}};
            if (!readPlainFile(path, read.bytes, error))
                return false;
            seen.insert(file.toLower());
            group << read;
        }
        groups << group;
    }
    return true;
}

// The regular files of the item folder (its own pictures and descriptor);
// links, folders and junk are not part of a copy.
bool readItemFiles(const QString& folder, QList<PastedArt::File>& files, QString* error)
{
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || !entry.isFile()) {
            qInfo() << "PastedArt: the copy of" << folder << "leaves out" << entry.fileName()
                    << "(not a plain file)";
            continue;
        }
        if (isJunkArtworkFile(entry.fileName()))
            continue;
        PastedArt::File file{entry.fileName(), {}};
        if (!readPlainFile(entry.absoluteFilePath(), file.bytes, error))
            return false;
        files << file;
    }
    return true;
}

// Adds to the folder the files it lacks; false (with *error) when it holds
// something else under one of their names. When `saved` is given, the
// folder is noted there first, so Discard finds it as it was.
bool addLacking(const QString& folder, const QList<PastedArt::File>& files, MadeArtFolders& made,
                SavedArtFolders* saved, QString* error)
{
    const FolderEntries entries(folder);
    QList<PastedArt::File> lacking;
    QStringList names;
    for (const PastedArt::File& file : files) {
        const Presence p = entries.presence(file);
        if (p == Presence::Other) {
            if (error)
                *error = tr("%1 holds another %2").arg(QDir::toNativeSeparators(folder), file.name);
            return false;
        }
        if (p == Presence::Lacking) {
            lacking << file;
            names << file.name;
        }
    }
    if (saved && !lacking.isEmpty())
        saved->aboutToWrite(folder, names);
    for (const PastedArt::File& file : lacking) {
        if (!createNewFile(folder + QLatin1Char('/') + file.name, file.bytes, made, error))
            return false;
    }
    return true;
}

// True when an install holds the folder with other content under one of the
// files' names: that folder is some saved file's, and stays as it is. A
// folder reached through a link counts too, as RaceStudio 3 reads it there.
bool holdsOther(const QStringList& roots, const QString& rel, const QList<PastedArt::File>& files)
{
    for (const QString& root : roots) {
        const QString folder = PathGuard::join(root, rel);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            continue;
        const FolderEntries entries(folder);
        for (const PastedArt::File& file : files) {
            if (entries.presence(file) == Presence::Other)
                return true;
        }
    }
    return false;
}

// The device family of a folder below the overlay root; it may be nested
// ("pdm/dash2"): it is what precedes "/masks/". Empty when there is none.
QString deviceOf(const QString& rel)
{
    const int masksAt = rel.indexOf(QLatin1String("/masks/"));
    return masksAt < 1 ? QString() : rel.left(masksAt);
}

// The folder's own name: an item's, for its copy.
QString lastFolder(const QString& rel)
{
    const QStringList parts = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.size() < 3 ? QString() : parts.last();
}

} // namespace

bool PastedArt::plan(const QString& sourceRel, const QString& targetRel, const QStringList& names,
                     const QString& stem, PastedArt& art, QString* error)
{
    art = PastedArt();
    if (sourceRel.isEmpty() || targetRel.isEmpty() || names.isEmpty())
        return true;
    QString src = sourceRel;
    QString dst = targetRel;
    overlayRelativeFolder(src);
    overlayRelativeFolder(dst);
    if (!PathGuard::isSafeRelativePath(src) || !PathGuard::isSafeRelativePath(dst)) {
        qWarning() << "PastedArt: refusing art folder" << sourceRel << targetRel;
        return true;
    }
    const QStringList roots = rs3OverlayRoots();
    if (!anyInstall(roots))
        return true;
    QList<QList<File>> groups;
    if (!readPastedGroups(roots, src, names, groups, error))
        return false;
    QStringList linked;
    const QStringList targets = plainFolders(roots, dst, &linked);
    if (groups.isEmpty() || targets.isEmpty())
        return true;

    bool lacking = false;
    bool other = false;
    for (const QString& folder : targets) {
        const FolderEntries entries(folder);
        for (const QList<File>& group : groups) {
            for (const File& file : group) {
                const Presence p = entries.presence(file);
                lacking = lacking || p == Presence::Lacking;
                other = other || p == Presence::Other;
            }
        }
    }
    if (!lacking && !other)
        return true;
    // A stock item is shared by every configuration of the device and
    // belongs to RaceStudio 3: nothing is added to it.
    const bool stock = !dst.contains(QLatin1String("/s04_homebrew/"));
    if (!other && !stock) {
        art.m_targetRel = dst;
        art.m_leftOut = linked;
        for (const QList<File>& group : groups)
            art.m_files << group;
        return true;
    }
    OwnItem own;
    own.device = deviceOf(dst);
    own.item = lastFolder(dst);
    own.base = targets.first();
    if (own.device.isEmpty() || own.item.isEmpty()) {
        if (error)
            *error = tr("the element's art folder %1 is not an item of a device").arg(overlayPrefix() + dst);
        return false;
    }
    return art.planOwnItem(roots, own, groups, stem, error);
}

bool PastedArt::planForBareElement(const QString& sourceRel, const QString& pageFolder, const QStringList& names,
                                   const QString& stem, const QString& owner, PastedArt& art, QString* error)
{
    art = PastedArt();
    QString src = sourceRel;
    QString page = pageFolder;
    overlayRelativeFolder(src);
    overlayRelativeFolder(page);
    const QStringList roots = rs3OverlayRoots();
    if (sourceRel.isEmpty() || names.isEmpty() || !PathGuard::isSafeRelativePath(src) || !anyInstall(roots))
        return true;
    QList<QList<File>> groups;
    if (!readPastedGroups(roots, src, names, groups, error))
        return false;
    if (groups.isEmpty())
        return true;
    OwnItem own;
    own.device = PathGuard::isSafeRelativePath(page) ? deviceOf(page) : QString();
    if (own.device.isEmpty())
        own.device = deviceOf(src);
    own.item = lastFolder(src);
    own.owner = owner;
    if (own.device.isEmpty() || own.item.isEmpty()) {
        if (error)
            *error = tr("neither the page nor %1 tells the device the pictures are for").arg(overlayPrefix() + src);
        return false;
    }
    return art.planOwnItem(roots, own, groups, stem, error);
}

bool PastedArt::planCopy(const QString& sourceRel, const QStringList& names, const QString& stem,
                         const QString& owner, PastedArt& art, QString* error)
{
    art = PastedArt();
    QString src = sourceRel;
    overlayRelativeFolder(src);
    const QStringList roots = rs3OverlayRoots();
    if (sourceRel.isEmpty() || !PathGuard::isSafeRelativePath(src) || !anyInstall(roots))
        return true;
    OwnItem own;
    own.device = deviceOf(src);
    own.item = lastFolder(src);
    own.owner = owner;
    own.always = true;
    for (const QString& root : roots) {
        const QString folder = PathGuard::join(root, src);
        if (own.base.isEmpty() && !folder.isEmpty() && QFileInfo(folder).isDir())
            own.base = folder;
    }
    // A mailed file's folder this install lacks: the element points at it
    // as it is, and the paste names what is missing.
    if (own.base.isEmpty() || own.device.isEmpty() || own.item.isEmpty())
        return true;
    QList<QList<File>> groups;
    if (!readPastedGroups(roots, src, names, groups, error))
        return false;
    return art.planOwnItem(roots, own, groups, stem, error);
}

QStringList PastedArt::missingPictures(const QString& folderRel, const QStringList& names)
{
    QString rel = folderRel;
    overlayRelativeFolder(rel);
    const QStringList roots = rs3OverlayRoots();
    if (!anyInstall(roots))
        return {};
    const bool noFolder = folderRel.trimmed().isEmpty() || !PathGuard::isSafeRelativePath(rel);
    QList<FolderEntries> folders;
    for (const QString& root : roots) {
        const QString folder = noFolder ? QString() : PathGuard::join(root, rel);
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            folders.append(FolderEntries(folder));
    }
    QStringList missing;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (name.isEmpty() || seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        const bool found = isBareName(name) && std::any_of(folders.begin(), folders.end(), [&](const FolderEntries& f) {
            return f.readable(name);
        });
        if (!found)
            missing << name;
    }
    return missing;
}

bool PastedArt::planOwnItem(const QStringList& roots, const OwnItem& own, const QList<QList<File>>& groups,
                            const QString& stem, QString* error)
{
    const QString& device = own.device;
    const QString& item = own.item;
    QList<File> files;
    if (!own.base.isEmpty() && !readItemFiles(own.base, files, error))
        return false;
    const FolderEntries itemEntries(own.base);
    QSet<QString> taken;
    for (const File& file : files)
        taken.insert(file.name.toLower());

    // A picture whose name the item uses for another goes in under a name
    // of its own, with its twin: the item's widgets keep theirs. A name the
    // item holds with these very bytes (an earlier paste) is used as it is.
    bool added = false;
    for (const QList<File>& group : groups) {
        bool clash = false;
        for (const File& file : group)
            clash = clash || itemEntries.presence(file) == Presence::Other;
        if (!clash) {
            for (const File& file : group) {
                if (!taken.contains(file.name.toLower())) {
                    files << file;
                    taken.insert(file.name.toLower());
                    added = true;
                }
            }
            continue;
        }
        QByteArray content;
        for (const File& file : group)
            content += file.bytes;
        const QString stemOfName = QFileInfo(group.first().name).completeBaseName() + QLatin1Char('_') + hex8(content);
        const auto nameIn = [](const QString& candidate, const File& file) {
            return candidate + QLatin1Char('.') + QFileInfo(file.name).suffix();
        };
        QString newStem;
        for (int n = 1; n <= 64 && newStem.isEmpty(); ++n) {
            const QString candidate = n == 1 ? stemOfName : stemOfName + QStringLiteral("_%1").arg(n);
            const bool free = std::all_of(group.begin(), group.end(), [&](const File& file) {
                const File renamed{nameIn(candidate, file), file.bytes};
                return !taken.contains(renamed.name.toLower()) || itemEntries.presence(renamed) == Presence::Same;
            });
            if (free)
                newStem = candidate;
        }
        if (newStem.isEmpty()) {
            if (error)
                *error = tr("no free name for %1 in a copy of %2").arg(group.first().name, item);
            return false;
        }
        for (const File& file : group) {
            const QString name = nameIn(newStem, file);
            m_renamed.insert(file.name, name);
            if (!taken.contains(name.toLower())) {
                files << File{name, file.bytes};
                taken.insert(name.toLower());
                added = true;
            }
        }
    }
    // The item holds every picture already: the widgets only name them.
    if ((!added && !own.always) || files.isEmpty())
        return true;

    // Named for its content: the same paste finds the same folder, and a
    // folder of that name holding other files (changed by hand) is left to
    // whoever points at it.
    QStringList keys;
    for (const File& file : files)
        keys << file.name;
    keys.sort();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString& key : keys) {
        const auto it = std::find_if(files.begin(), files.end(), [&](const File& f) { return f.name == key; });
        hash.addData(key.toUtf8() + '\0' + QByteArray::number(it->bytes.size()) + '\0');
        hash.addData(it->bytes);
    }
    if (!own.owner.isEmpty())
        hash.addData(QByteArray("owner") + '\0' + own.owner.toUtf8());
    const QString name = QStringLiteral("zpaste_") + stem + QLatin1Char('_')
        + QString::fromLatin1(hash.result().toHex().left(8));
    for (int n = 1; n <= 64; ++n) {
        const QString set = n == 1 ? name : name + QStringLiteral("_%1").arg(n);
        const QString setFolder = device + QStringLiteral("/masks/set/standard/s04_homebrew/") + set;
        const QString rel = setFolder + QStringLiteral("/Items/") + item + QLatin1Char('/');
        if (holdsOther(roots, rel, files))
            continue;
        for (const QString& root : roots) {
            const QString deviceDir = PathGuard::join(root, device);
            const QString folder = PathGuard::join(root, rel);
            if (!deviceDir.isEmpty() && QFileInfo(deviceDir).isDir() && FolderCopy::linkOnTheWay(root, rel))
                m_leftOut << tr("%1 was left as it is: %2 is a symbolic link")
                                 .arg(folder, FolderCopy::linkOnPath(root, folder));
        }
        m_device = device;
        m_setFolder = setFolder;
        m_ownRel = overlayPrefix() + rel;
        m_files = files;
        return true;
    }
    m_renamed.clear();
    if (error)
        *error = tr("every folder for a copy of %1 holds other art").arg(item);
    return false;
}

bool PastedArt::write(MadeArtFolders& made, SavedArtFolders* saved, QString* error) const
{
    if (m_files.isEmpty())
        return true;
    MadeArtFolders here;
    const bool written = m_ownRel.isEmpty() ? writeBeside(here, saved, error) : writeOwnItem(here, saved, error);
    if (!written) {
        here.removeAll();
        return false;
    }
    made.add(here);
    return true;
}

QStringList PastedArt::folders() const
{
    if (m_files.isEmpty())
        return {};
    if (m_ownRel.isEmpty())
        return plainFolders(rs3OverlayRoots(), m_targetRel);
    const QString rel = m_ownRel.mid(overlayPrefix().size());
    QStringList found;
    for (const QString& root : rs3OverlayRoots()) {
        const QString folder = PathGuard::join(root, rel);
        if (!folder.isEmpty() && QFileInfo(folder).isDir() && !FolderCopy::linkOnTheWay(root, rel))
            found << folder;
    }
    return found;
}

bool PastedArt::writeBeside(MadeArtFolders& made, SavedArtFolders* saved, QString* error) const
{
    const QStringList folders = plainFolders(rs3OverlayRoots(), m_targetRel);
    if (folders.isEmpty()) {
        if (error)
            *error = tr("no install holds %1").arg(overlayPrefix() + m_targetRel);
        return false;
    }
    for (const QString& folder : folders) {
        if (!addLacking(folder, m_files, made, saved, error))
            return false;
    }
    return true;
}

bool PastedArt::writeOwnItem(MadeArtFolders& made, SavedArtFolders* saved, QString* error) const
{
    const QString rel = m_ownRel.mid(overlayPrefix().size());
    bool any = false;
    for (const QString& root : rs3OverlayRoots()) {
        const QString deviceDir = PathGuard::join(root, m_device);
        if (deviceDir.isEmpty() || !QFileInfo(deviceDir).isDir())
            continue;
        const QString folder = PathGuard::join(root, rel);
        const QString setFolder = PathGuard::join(root, m_setFolder);
        if (folder.isEmpty() || setFolder.isEmpty())
            continue;
        // Never written through a link: that install is left out (leftOut).
        if (FolderCopy::linkOnTheWay(root, rel)) {
            qWarning() << "PastedArt: not writing through a link on the way to" << folder;
            continue;
        }
        const bool existed = QFileInfo(folder).isDir();
        if (!made.make(folder)) {
            if (error)
                *error = tr("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
            return false;
        }
        if (!addLacking(folder, m_files, made, existed ? saved : nullptr, error))
            return false;
        const QString folderXml = setFolder + QStringLiteral("/AiM_folder.xml");
        if (!pathTaken(folderXml)
            && !createNewFile(folderXml, resourceFolderXml(QStringLiteral("Pasted Widgets"), 99), made, error))
            return false;
        any = true;
    }
    if (!any && error)
        *error = m_leftOut.isEmpty() ? tr("no install has the device folder %1").arg(m_device)
                                     : m_leftOut.join(QLatin1Char('\n'));
    return any;
}
