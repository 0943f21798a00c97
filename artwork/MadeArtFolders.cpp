#include "artwork/MadeArtFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool MadeArtFolders::make(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    QString top;
    for (QString at = QDir::cleanPath(folder); !at.isEmpty() && !QFileInfo::exists(at);) {
        top = at;
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    if (!top.isEmpty() && !m_made.contains(top))
        m_made.append(top);
    return QDir().mkpath(folder);
}

void MadeArtFolders::noteNewFile(const QString& file)
{
    const QString path = QDir::cleanPath(file);
    if (!QFileInfo::exists(path) && !m_made.contains(path))
        m_made.append(path);
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
        const QFileInfo info(*it);
        if (info.isDir() && !info.isSymLink())
            QDir(*it).removeRecursively();
        else
            QFile::remove(*it);
    }
    m_made.clear();
}
