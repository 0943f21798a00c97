#include "gallery/UnfinishedInstall.h"

#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/SafeRead.h"
#include "model/SafeWrite.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QUuid>

#include <cmath>

namespace {

const QString kNoteSuffix = QStringLiteral(".json");
const QString kLockSuffix = QStringLiteral(".lock");
constexpr qint64 kNoteReadBound = 64 * 1024 * 1024;

QJsonObject toJson(const UnfinishedInstall::Folders& folders)
{
    QJsonObject all;
    for (auto it = folders.cbegin(); it != folders.cend(); ++it) {
        QJsonObject files;
        for (auto file = it.value().cbegin(); file != it.value().cend(); ++file)
            files.insert(file.key(), double(file.value()));
        all.insert(it.key(), files);
    }
    return all;
}

// A size as the note gives it; -1, which no file has, for anything but a
// whole number of bytes a file can have (a note is read as found on disk).
qint64 notedSize(const QJsonValue& value)
{
    constexpr double largest = 9007199254740992.0; // 2^53: every whole number below is exact
    const double size = value.toDouble(-1);
    if (!(size >= 0 && size < largest) || size != std::floor(size))
        return -1;
    return qint64(size);
}

UnfinishedInstall::Folders fromJson(const QJsonObject& all)
{
    UnfinishedInstall::Folders folders;
    for (auto it = all.constBegin(); it != all.constEnd(); ++it) {
        QHash<QString, qint64>& files = folders[it.key()];
        const QJsonObject noted = it.value().toObject();
        for (auto file = noted.constBegin(); file != noted.constEnd(); ++file)
            files.insert(file.key(), notedSize(file.value()));
    }
    return folders;
}

// The notes of installs that have ended, by note path. A note whose lock
// another running editor holds belongs to an install still writing.
QHash<QString, UnfinishedInstall::Folders> endedNotes()
{
    QHash<QString, UnfinishedInstall::Folders> notes;
    const QString folder = UnfinishedInstall::notesFolder();
    for (const QString& name : SafeRead::filesBelow(folder, false)) {
        if (!name.endsWith(kNoteSuffix))
            continue;
        const QString note = folder + QLatin1Char('/') + name;
        const QString lockPath = note.chopped(kNoteSuffix.size()) + kLockSuffix;
        // QLockFile would open whatever is there and wait on a pipe: with
        // anything but a plain file there, whether that install ended cannot
        // be told, and its folders stay as they are.
        if (const QString odd = FileEntries::notPlainFile(lockPath); !odd.isEmpty()) {
            qWarning().noquote() << "UnfinishedInstall: leaving the note" << note << "-" << odd;
            continue;
        }
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        QByteArray bytes;
        if (!SafeRead::readFile(note, kNoteReadBound, &bytes))
            continue;
        notes.insert(note, fromJson(QJsonDocument::fromJson(bytes).object()));
    }
    return notes;
}

// The folder holds only sub-folders and the noted files at their noted
// sizes; anything else may be the user's.
bool holdsOnly(const QString& folder, const QHash<QString, qint64>& files)
{
    bool own = true;
    QString why;
    const bool read = SafeRead::walk(
        folder,
        [&](const SafeRead::Entry& entry) {
            if (entry.kind == FileEntries::Kind::Folder)
                return own;
            const QString rel = entry.path.mid(folder.size() + 1);
            own = own && entry.kind == FileEntries::Kind::Regular && files.contains(rel)
                && QFileInfo(entry.path).size() == files.value(rel);
            return false;
        },
        &why);
    return read && own;
}

// The ended note that lists folder and whose files it still holds; empty
// when there is none.
QString noteLeavingBehind(const QString& folder)
{
    if (FileEntries::kindOf(folder) != FileEntries::Kind::Folder)
        return {};
    const QHash<QString, UnfinishedInstall::Folders> notes = endedNotes();
    for (auto it = notes.cbegin(); it != notes.cend(); ++it) {
        if (it.value().contains(folder) && holdsOnly(folder, it.value().value(folder)))
            return it.key();
    }
    return {};
}

// Drops the folders from every note of an ended install (a note left with
// none goes): a folder about to be filled again is no longer theirs.
bool dropFromEndedNotes(const QStringList& folders, QString* why)
{
    const QHash<QString, UnfinishedInstall::Folders> notes = endedNotes();
    for (auto it = notes.cbegin(); it != notes.cend(); ++it) {
        UnfinishedInstall::Folders noted = it.value();
        bool dropped = false;
        for (const QString& folder : folders)
            dropped = noted.remove(folder) > 0 || dropped;
        if (!dropped)
            continue;
        const bool written = noted.isEmpty()
            ? FileEntries::removeFile(it.key(), why)
            : writeFileSafely(it.key(), QJsonDocument(toJson(noted)).toJson(QJsonDocument::Compact), why);
        if (!written)
            return false;
    }
    return true;
}

} // namespace

UnfinishedInstall::UnfinishedInstall() = default;

UnfinishedInstall::~UnfinishedInstall() = default;

QString UnfinishedInstall::notesFolder()
{
    return appDataDir() + QStringLiteral("/unfinished_installs");
}

bool UnfinishedInstall::begin(const Folders& folders, QString* error)
{
    if (folders.isEmpty())
        return true;
    if (!dropFromEndedNotes(folders.keys(), error))
        return false;
    const QString stem = notesFolder() + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::Id128);
    if (!FolderCopy::makeFolderWithin(appDataDir(), notesFolder(), error))
        return false;
    if (const QString odd = FileEntries::notPlainFile(stem + kLockSuffix); !odd.isEmpty())
        return failWith(error, odd);
    m_lock = std::make_unique<QLockFile>(stem + kLockSuffix);
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        if (error)
            *error = QObject::tr("cannot write %1: it is locked").arg(stem + kLockSuffix);
        return false;
    }
    if (!writeFileSafely(stem + kNoteSuffix, QJsonDocument(toJson(folders)).toJson(QJsonDocument::Compact), error))
        return false;
    m_note = stem + kNoteSuffix;
    return true;
}

void UnfinishedInstall::end()
{
    QString why;
    if (!m_note.isEmpty() && !FileEntries::removeFile(m_note, &why))
        qWarning().noquote() << "UnfinishedInstall: could not remove the note" << m_note << "-" << why;
    m_note.clear();
    m_lock.reset();
}

bool UnfinishedInstall::leftBehind(const QString& folder)
{
    return !noteLeavingBehind(QDir::cleanPath(folder)).isEmpty();
}

bool UnfinishedInstall::clearLeftBehind(const QString& installRoot, const QString& folder)
{
    const QString cleaned = QDir::cleanPath(folder);
    if (!FolderCopy::linkOnPath(installRoot, cleaned).isEmpty())
        return false;
    if (noteLeavingBehind(cleaned).isEmpty())
        return false;
    // The notes let go of the folder first: filled again, it is no longer
    // one a note may take back, whatever happens next.
    QString why;
    if (!dropFromEndedNotes({cleaned}, &why) || !FolderCopy::removeTreeWithin(installRoot, cleaned, &why)) {
        qWarning().noquote() << "UnfinishedInstall: could not clear" << cleaned << "-" << why;
        return false;
    }
    return true;
}
