#include "artwork/MadeArtFolders.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/NewArtFile.h"
#include "model/FolderCopy.h"
#include "model/FileEntries.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QByteArray hashOf(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool isPlainFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

} // namespace

bool MadeArtFolders::notes(const QString& path) const
{
    return std::any_of(m_made.begin(), m_made.end(), [&](const Made& m) { return m.path == path; });
}

bool MadeArtFolders::make(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    // The folders still to make, the deepest first.
    QStringList missing;
    for (QString at = QDir::cleanPath(folder); !at.isEmpty() && !pathTaken(at);) {
        missing.prepend(at);
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    // One at a time, so only what this call creates is noted: a name that
    // something takes meanwhile stops it.
    for (const QString& at : missing) {
        QString why;
        if (!FileEntries::makeFolder(at, &why))
            return false;
        if (!notes(at))
            m_made.append(Made{at, Kind::Folder});
    }
    return isPlainFolder(folder);
}

void MadeArtFolders::noteNewFile(const QString& file)
{
    const QString path = QDir::cleanPath(file);
    if (!pathTaken(path) && !notes(path))
        m_made.append(Made{path, Kind::Pending});
}

void MadeArtFolders::noteFile(const QString& path)
{
    QByteArray bytes;
    // What cannot be read as art (a link, a device, an outsized file) is
    // never taken for this writer's.
    if (!FolderCopy::readRegularFile(path, kArtFileReadBound, &bytes))
        return;
    auto it = std::find_if(m_made.begin(), m_made.end(), [&](const Made& m) { return m.path == path; });
    if (it == m_made.end())
        it = m_made.insert(m_made.end(), Made{path});
    it->kind = Kind::File;
    it->size = bytes.size();
    it->hash = hashOf(bytes);
}

void MadeArtFolders::noteTree(const QString& folder)
{
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString path = QDir::cleanPath(entry.absoluteFilePath());
        if (entry.isSymLink())
            continue;
        if (entry.isDir()) {
            if (!notes(path))
                m_made.append(Made{path, Kind::Folder});
            noteTree(path);
        } else if (!notes(path)) {
            noteFile(path);
        }
    }
}

void MadeArtFolders::noteCreated(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (isPlainFolder(clean)) {
        if (!notes(clean))
            m_made.append(Made{clean, Kind::Folder});
        noteTree(clean);
    } else {
        noteFile(clean);
    }
}

void MadeArtFolders::add(const MadeArtFolders& other)
{
    for (const Made& made : other.m_made) {
        if (!notes(made.path))
            m_made.append(made);
    }
}

void MadeArtFolders::seal()
{
    const QList<Made> made = m_made;
    for (const Made& m : made) {
        if (m.kind == Kind::Pending)
            noteCreated(m.path);
        else if (m.kind == Kind::Folder && isPlainFolder(m.path))
            noteTree(m.path);
    }
    m_made.erase(std::remove_if(m_made.begin(), m_made.end(), [](const Made& m) { return m.kind == Kind::Pending; }),
                 m_made.end());
}

void MadeArtFolders::takeBack()
{
    QStringList folders;
    for (auto it = m_made.crbegin(); it != m_made.crend(); ++it) {
        if (it->kind == Kind::Folder) {
            folders << it->path;
            continue;
        }
        if (it->kind != Kind::File)
            continue;
        // Only the file as this writer left it: one written over since is
        // someone else's now.
        QByteArray bytes;
        if (FolderCopy::readRegularFile(it->path, kArtFileReadBound, &bytes) && bytes.size() == it->size
            && hashOf(bytes) == it->hash)
            FolderCopy::removeFileWithin(QFileInfo(it->path).path(), it->path);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const QString& a, const QString& b) { return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/')); });
    for (const QString& folder : folders) {
        // An empty folder only, and never a link.
        if (isPlainFolder(folder))
            FolderCopy::removeEmptyFolderWithin(QFileInfo(folder).path(), folder);
    }
    m_made.clear();
}

void MadeArtFolders::removeAll()
{
    seal();
    takeBack();
}
