#include "model/ExtractFolders.h"

#include "model/FileEntries.h"
#include "model/FolderCopy.h"

#include <QDebug>
#include <QDir>
#include <QHash>
#include <QLockFile>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

const QLatin1String kLockSuffix(".lock");

QMutex& heldMutex()
{
    static QMutex mutex;
    return mutex;
}

// The locks of the folders this process has in use, by folder path.
QHash<QString, std::shared_ptr<QLockFile>>& held()
{
    static QHash<QString, std::shared_ptr<QLockFile>> locks;
    return locks;
}

// A lock kept locked until the process ends: its folder could not be
// removed, and the next start is to find it abandoned. Never destroyed, as
// destroying a lock unlocks it.
void keepUntilExit(std::shared_ptr<QLockFile> lock)
{
    static auto* kept = new std::vector<std::shared_ptr<QLockFile>>;
    const QMutexLocker locker(&heldMutex());
    kept->push_back(std::move(lock));
}

// Only a lock whose process is gone is stale: however old, a lock of a
// running editor is its.
std::unique_ptr<QLockFile> takeLock(const QString& path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

bool isOurFolderName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^Korvelanto-[A-Za-z0-9]{6}$"));
    return pattern.match(name).hasMatch();
}

} // namespace

QTemporaryDir* ExtractFolders::create()
{
    auto* dir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/Korvelanto-XXXXXX"));
    if (!dir->isValid())
        return dir;
    // Without its lock the folder still serves; another start only never
    // clears it.
    std::unique_ptr<QLockFile> lock = takeLock(dir->path() + kLockSuffix);
    if (!lock) {
        qWarning().noquote() << "ExtractFolders::create: could not lock" << dir->path();
        return dir;
    }
    const QMutexLocker locker(&heldMutex());
    held().insert(dir->path(), std::move(lock));
    return dir;
}

void ExtractFolders::release(QTemporaryDir* dir)
{
    if (!dir)
        return;
    if (!dir->isValid()) {
        delete dir;
        return;
    }
    const QString path = dir->path();
    const bool removed = dir->remove();
    delete dir;
    std::shared_ptr<QLockFile> lock;
    {
        const QMutexLocker locker(&heldMutex());
        lock = held().take(path);
    }
    if (removed)
        return;
    qWarning().noquote() << "ExtractFolders::release: could NOT remove" << path
                         << "- something under it is still open; the next start removes it.";
    if (lock)
        keepUntilExit(std::move(lock));
}

int ExtractFolders::clearAbandoned(const QString& tempFolder)
{
    using FileEntries::Kind;
    int removed = 0;
    for (const QString& name : FileEntries::entriesOf(tempFolder)) {
        const bool lockName = name.endsWith(kLockSuffix);
        const QString folderName = lockName ? name.chopped(kLockSuffix.size()) : name;
        if (!isOurFolderName(folderName))
            continue;
        const QString folder = tempFolder + QLatin1Char('/') + folderName;
        const Kind folderKind = FileEntries::kindOf(folder);
        // A lock is looked at once, from its folder's entry; one whose folder
        // is gone only goes with it. A link of our name is not ours.
        if ((lockName && folderKind != Kind::Missing) || (!lockName && folderKind != Kind::Folder))
            continue;
        if (FileEntries::kindOf(folder + kLockSuffix) != Kind::Regular)
            continue;
        std::unique_ptr<QLockFile> lock = takeLock(folder + kLockSuffix);
        if (!lock)
            continue;
        if (lockName)
            continue; // unlocking removes the orphaned lock
        QString why;
        if (!FolderCopy::removeTree(folder, &why)) {
            qWarning().noquote() << "ExtractFolders::clearAbandoned: could not remove" << folder << "-" << why;
            keepUntilExit(std::move(lock));
            continue;
        }
        qInfo().noquote() << "ExtractFolders::clearAbandoned: removed" << folder << "left by an editor that ended";
        ++removed;
    }
    return removed;
}

int ExtractFolders::clearAbandoned()
{
    return clearAbandoned(QDir::tempPath());
}
