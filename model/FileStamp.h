#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Size, modification and change times and file identity of a file on disk:
// two equal stamps mean the file was not written in between. The change
// time is the one a writer cannot put back: a file rewritten in place at the
// same size, its modification time then set back, still shows the write.
struct FileStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    qint64 changedNs = 0;

    static FileStamp of(const QString& path);
    // The same of a folder (followed when kept through a link): an entry
    // added, removed or renamed in it changes its time.
    static FileStamp ofFolder(const QString& path);
    // The same by a path already in the file system's encoding, for one
    // looked at again and again.
    static FileStamp ofEncoded(const QByteArray& path, bool folder);
    bool isValid() const { return size >= 0; }
    bool operator==(const FileStamp& o) const
    {
        return size == o.size && modifiedNs == o.modifiedNs && inode == o.inode && changedNs == o.changedNs;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
