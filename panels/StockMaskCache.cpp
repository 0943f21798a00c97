#include "panels/StockMaskCache.h"

#include "model/FolderNames.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlFile.h"
#include "model/XmlParams.h"
#include "panels/FolderChangeWatch.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// What a path looked like when the walk read it: absent, or a folder or file
// with its modification time (nanoseconds), size and identity; a folder put
// in another's place is another folder even with the same time.
struct PathStamp {
    QByteArray name; // relative to its group's folder
    qint64 mtime = -1;
    qint64 size = -1;
    quint64 inode = 0;
    quint64 device = 0;
    bool isDir = false;

    bool sameAs(const PathStamp& other) const
    {
        return mtime == other.mtime && size == other.size && inode == other.inode && device == other.device &&
               isDir == other.isDir;
    }
};

// The stamps of paths below one folder, checked through one handle on it so
// each check walks a short relative path.
struct FolderStamps {
    QByteArray folder;
    std::vector<PathStamp> paths;
    // The top folder of a root is reached through folders no watch covers,
    // so it is always looked at.
    bool watchable = true;
    // Covered by the walk's watch: looked at only when it reported a change.
    bool watched = false;
};

#ifdef Q_OS_UNIX
PathStamp fromStat(const QByteArray& name, int result, const struct stat& info)
{
    PathStamp stamp;
    stamp.name = name;
    if (result != 0)
        return stamp;
    stamp.mtime = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.isDir = S_ISDIR(info.st_mode);
    stamp.size = stamp.isDir ? 0 : qint64(info.st_size);
    stamp.inode = quint64(info.st_ino);
    stamp.device = quint64(info.st_dev);
    return stamp;
}

bool isLink(const QByteArray& path)
{
    struct stat info;
    return ::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Whether every path of the group still looks as it did.
bool unchanged(const FolderStamps& group)
{
    const int dir = ::open(group.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool same = true;
    for (const PathStamp& kept : group.paths) {
        struct stat info;
        const int result = dir < 0 ? -1 : ::fstatat(dir, kept.name.constData(), &info, 0);
        if (!fromStat(kept.name, result, info).sameAs(kept)) {
            same = false;
            break;
        }
    }
    if (dir >= 0)
        ::close(dir);
    return same;
}

PathStamp stampOf(const QByteArray& folder, const QByteArray& name)
{
    struct stat info;
    const int result = ::stat((folder + '/' + name).constData(), &info);
    return fromStat(name, result, info);
}
#else
PathStamp stampOf(const QByteArray& folder, const QByteArray& name)
{
    PathStamp stamp;
    stamp.name = name;
    const QFileInfo info(QFile::decodeName(folder + '/' + name));
    if (!info.exists())
        return stamp;
    stamp.mtime = info.lastModified(QTimeZone::UTC).toMSecsSinceEpoch() * 1000000;
    stamp.isDir = info.isDir();
    stamp.size = stamp.isDir ? 0 : info.size();
    return stamp;
}

bool unchanged(const FolderStamps& group)
{
    for (const PathStamp& kept : group.paths) {
        if (!stampOf(group.folder, kept.name).sameAs(kept))
            return false;
    }
    return true;
}

bool isLink(const QByteArray& path)
{
    return QFileInfo(QFile::decodeName(path)).isSymLink();
}
#endif

struct Walk {
    QStringList roots;
    std::vector<FolderStamps> groups;
    // Reports changes in the folders of the watched groups; none when
    // nothing could be watched.
    std::shared_ptr<FolderChangeWatch> watch;
    std::shared_ptr<const QList<StockMaskCache::Item>> items;
    // A time within the file system's resolution of the walk could still
    // change unseen, so such a walk is not used again.
    bool settled = true;
};

QHash<QString, Walk>& walks()
{
    static QHash<QString, Walk> kept;
    return kept;
}

bool& watching()
{
    static bool on = true;
    return on;
}

// Coarse file systems keep two-second times.
constexpr qint64 kUnsettledNs = 2'000'000'000;

class Walker {
public:
    explicit Walker(Walk& walk) : walk(walk), startNs(QDateTime::currentMSecsSinceEpoch() * 1000000) {}

    // Notes `name` below `folder`; true when it is a folder. A root's top
    // folder is not `watchable`.
    bool note(const QString& folder, const QString& name, bool watchable = true)
    {
        const QByteArray native = QFile::encodeName(folder);
        auto group = groupOf.constFind(native);
        if (group == groupOf.constEnd()) {
            group = groupOf.insert(native, walk.groups.size());
            walk.groups.push_back({native, {}, watchable});
        }
        const PathStamp stamp = stampOf(native, QFile::encodeName(name));
        if (stamp.mtime >= startNs - kUnsettledNs)
            walk.settled = false;
        walk.groups[*group].paths.push_back(stamp);
        return stamp.isDir;
    }

    static QStringList subFolders(const QString& folder)
    {
        return sortedEntryNames(folder, QDir::Dirs | QDir::NoDotAndDotDot);
    }

    void addItem(QList<StockMaskCache::Item>& items, const QString& itemsFolder, const QString& item,
                 const QString& root)
    {
        note(itemsFolder, item);
        const QString itemFolder = itemsFolder + QLatin1Char('/') + item;
        const QStringList files = entriesEndingWith(itemFolder, QLatin1StringView(".M2.xml"), QDir::Files, QDir::Name);
        if (files.isEmpty())
            return;
        // Noted below the Items folder too, so one handle checks both.
        note(itemsFolder, item + QLatin1Char('/') + files.first());
        auto doc = std::make_shared<pugi::xml_document>();
        // An item nested beyond what any real one is would outlast the limit
        // the loaded configurations are held to once inserted.
        if (!loadXmlDocument(*doc, itemFolder + QLatin1Char('/') + files.first())
            || !xmlNestingWithin(*doc))
            return;
        const pugi::xml_node mask = findMask(*doc);
        if (mask)
            items.append({std::move(doc), mask, itemFolder, root});
    }

    // The mask element of an item file: the first element of the usual root
    // when it is one, else the first one under any top-level node.
    static pugi::xml_node findMask(const pugi::xml_document& doc)
    {
        const pugi::xml_node first = doc.child("aimDataBase_Mask2").child("e");
        if (hasClass(first, "GMaskParam"))
            return first;
        for (pugi::xml_node top = doc.first_child(); top; top = top.next_sibling()) {
            for (pugi::xml_node e = top.child("e"); e; e = e.next_sibling("e")) {
                if (hasClass(e, "GMaskParam"))
                    return e;
            }
        }
        return {};
    }

private:
    Walk& walk;
    qint64 startNs;
    QHash<QByteArray, size_t> groupOf;
};

Walk walkFamily(const QString& family, const QStringList& roots)
{
    Walk walk;
    walk.roots = roots;
    Walker walker(walk);
    QList<StockMaskCache::Item> items;
    const QString below = family + QStringLiteral("/masks/set");
    for (const QString& root : roots) {
        const QString parent = PathGuard::join(root, below);
        if (parent.isEmpty() || !walker.note(parent, QStringLiteral("standard"), false))
            continue;
        const QString standard = parent + QStringLiteral("/standard");
        const QStringList sets = Walker::subFolders(standard);
        for (const QString& set : sets)
            walker.note(standard, set);
        for (const QString& set : sets) {
            const QString setFolder = standard + QLatin1Char('/') + set;
            for (const QString& page : Walker::subFolders(setFolder)) {
                if (!walker.note(setFolder, page + QStringLiteral("/Items")))
                    continue;
                const QString itemsFolder = setFolder + QLatin1Char('/') + page + QStringLiteral("/Items");
                for (const QString& item : Walker::subFolders(itemsFolder))
                    walker.addItem(items, itemsFolder, item, root);
            }
        }
    }
    walk.items = std::make_shared<const QList<StockMaskCache::Item>>(std::move(items));
    return walk;
}

// Watches the group's folder and every folder below it that its paths pass
// through or name, and a file reached through a link; a change to any of
// their entries is then reported. False when one cannot be watched.
bool watchGroup(FolderChangeWatch& watch, const FolderStamps& group)
{
    if (!watch.add(group.folder))
        return false;
    // An item's folder is noted just before the file in it.
    QByteArray lastAdded;
    const auto add = [&](const QByteArray& path) {
        if (path == lastAdded)
            return true;
        lastAdded = path;
        return watch.add(path);
    };
    for (const PathStamp& path : group.paths) {
        const qsizetype slash = path.name.indexOf('/');
        if (slash > 0 && !add(group.folder + '/' + path.name.left(slash)))
            return false;
        const QByteArray full = group.folder + '/' + path.name;
        if ((path.isDir || (path.mtime >= 0 && isLink(full))) && !add(full))
            return false;
    }
    return true;
}

// Looking at thousands of paths was most of a later open, so the walked
// folders are watched where they can be. What changed between the walk's
// look and the watch is in no report, so the paths are looked at once more
// after it; a walk that no longer matches keeps no watch and is walked again
// at its next use.
void watchWalk(Walk& walk)
{
    if (!watching() || !walk.settled)
        return;
    auto watch = std::make_shared<FolderChangeWatch>();
    std::vector<size_t> covered;
    for (size_t i = 0; i < walk.groups.size(); ++i) {
        if (walk.groups[i].watchable && watchGroup(*watch, walk.groups[i]))
            covered.push_back(i);
    }
    if (covered.empty())
        return;
    for (const size_t i : covered) {
        if (!unchanged(walk.groups[i]))
            return;
    }
    for (const size_t i : covered)
        walk.groups[i].watched = true;
    walk.watch = std::move(watch);
}

bool stillCurrent(const Walk& walk, const QStringList& roots)
{
    if (!walk.settled || walk.roots != roots)
        return false;
    // After a report every path is looked at; when none changed, the watch
    // holds again from here, as the reports were taken before the look.
    const bool reported = !walk.watch || walk.watch->takeChanges();
    for (const FolderStamps& group : walk.groups) {
        if (!(group.watched && !reported) && !unchanged(group))
            return false;
    }
    return true;
}

} // namespace

namespace StockMaskCache {

std::shared_ptr<const QList<Item>> masks(const QString& family)
{
    const QStringList roots = rs3OverlayRoots();
    auto kept = walks().find(family);
    if (kept != walks().end() && stillCurrent(*kept, roots))
        return kept->items;
    Walk walk = walkFamily(family, roots);
    watchWalk(walk);
    auto items = walk.items;
    walks().insert(family, std::move(walk));
    return items;
}

void clear()
{
    walks().clear();
}

void setWatching(bool on)
{
    watching() = on;
}

bool isWatched(const QString& family)
{
    const auto kept = walks().constFind(family);
    return kept != walks().constEnd() && kept->watch != nullptr;
}

} // namespace StockMaskCache
