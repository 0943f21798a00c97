#include "templates/ConfigsFootprint.h"

#include "model/FileEntries.h"
#include "model/InstallRoots.h"

#include <QFile>

void ConfigsFootprint::addFolder(const QString& path)
{
    m_made = true;
    const FileStamp stamp = FileStamp::ofFolder(path);
    // A folder that cannot be stamped cannot tell a later change.
    if (!stamp.isValid())
        m_complete = false;
    m_marks.append({path, QFile::encodeName(path), stamp, true});
}

void ConfigsFootprint::addFile(const QString& path, const FileStamp& stamp)
{
    m_made = true;
    if (!stamp.isValid())
        m_complete = false;
    m_marks.append({path, QFile::encodeName(path), stamp, false});
}

void ConfigsFootprint::addMissing(const QString& path)
{
    m_made = true;
    m_marks.append({path, QFile::encodeName(path), FileStamp(), true});
}

bool ConfigsFootprint::isCurrent() const
{
    if (!m_made || !m_complete || (m_rooted && m_roots != QStringList{raceStudio3Root(), raceStudio3BetaRoot()}))
        return false;
    for (const Mark& mark : m_marks) {
        if (!mark.stamp.isValid()) {
            // Still nothing there, and known to be nothing (not a look that
            // failed).
            if (FileEntries::kindOf(mark.path) != FileEntries::Kind::Missing)
                return false;
            continue;
        }
        const FileStamp now = FileStamp::ofEncoded(mark.encoded, mark.folder);
        if (now != mark.stamp)
            return false;
    }
    return true;
}

void ConfigsFootprint::append(const ConfigsFootprint& other)
{
    m_marks += other.m_marks;
    m_complete = m_complete && other.m_complete;
    m_made = m_made || other.m_made;
}
