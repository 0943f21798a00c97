#pragma once

#include "model/FileStamp.h"

#include <QList>
#include <QString>
#include <QStringList>

// What a count of RaceStudio 3's configurations stood on: the install roots
// it looked in, each configurations folder, every folder it walked and every
// device file it read, each stamped before it was read. A save there writes
// or replaces a device file, or adds a folder or file, which changes a
// stamp; while none changed, the count still holds. Telling costs one look
// at each, no walk and no read. Anything the count could not read, and any
// stamp that cannot be taken again, says it may have changed.
class ConfigsFootprint {
public:
    // The install roots it was made for: other roots, another count.
    void setRoots(const QStringList& roots)
    {
        m_roots = roots;
        m_rooted = m_made = true;
    }
    // Stamps the folder as it is now.
    void addFolder(const QString& path);
    void addFile(const QString& path, const FileStamp& stamp);
    // Nothing there: something made there later changes the count.
    void addMissing(const QString& path);
    // The count left something unread: it never holds for long.
    void setIncomplete() { m_complete = false; }
    // Takes in what another part of the count read.
    void append(const ConfigsFootprint& other);

    // True when nothing the count read can have changed since, judged by
    // their stamps. A footprint of no count is never current.
    bool isCurrent() const;

private:
    struct Mark {
        QString path;
        QByteArray encoded; // path in the file system's encoding
        FileStamp stamp;    // invalid: missing
        bool folder = false;
    };
    QStringList m_roots;
    QList<Mark> m_marks;
    bool m_complete = true;
    bool m_made = false;
    bool m_rooted = false;
};
