#include "artwork/MadeArtFolders.h"

#include "artwork/NewArtFile.h"
#include "model/FolderCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    bool first = true;
    for (const QString& at : missing) {
        if (!QDir().mkdir(at))
            return false;
        if (first && !m_made.contains(at))
            m_made.append(at);
        first = false;
    }
    const QFileInfo made(folder);
    return made.isDir();
}

void MadeArtFolders::noteNewFile(const QString& file)
{
    const QString path = QDir::cleanPath(file);
    if (!pathTaken(path) && !m_made.contains(path))
        m_made.append(path);
}

void MadeArtFolders::noteCreated(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (!m_made.contains(clean))
        m_made.append(clean);
}

void MadeArtFolders::add(const MadeArtFolders& other)
{
    for (const QString& path : other.m_made) {
        if (!m_made.contains(path))
            m_made.append(path);
    }
}

void MadeArtFolders::removeAll()
{
    for (auto it = m_made.crbegin(); it != m_made.crend(); ++it) {
        // Never through a link: whatever got into a made folder since, only
        // the folder's own entries go.
        FolderCopy::removeTree(*it);
    }
    m_made.clear();
}
