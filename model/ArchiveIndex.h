#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <unzip.h>

// Size, modification time and file identity of a file on disk: two equal
// stamps mean the file was not written in between.
struct FileStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;

    static FileStamp of(const QString& path);
    bool isValid() const { return size >= 0; }
    bool operator==(const FileStamp& o) const
    {
        return size == o.size && modifiedNs == o.modifiedNs && inode == o.inode;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// Which files of an extract folder still hold exactly what an archive's
// entries hold: the archive's entries by the relative path they were
// extracted to, each with the stamp its file had when the two matched. A save
// copies such entries as they are (still deflated) instead of compressing the
// file again.
class ArchiveIndex {
public:
    struct Entry {
        unz64_file_pos position{};
        quint64 crc = 0;
        quint64 compressedSize = 0;
        quint64 uncompressedSize = 0;
        FileStamp file;
    };

    // Reads the archive's entry list and stamps the files of `folder` that
    // hold them. Any failure leaves the index empty (everything is packed anew).
    bool build(const QString& archivePath, const QString& folder);
    void clear();

    const QString& archivePath() const { return m_archive; }
    const QString& folder() const { return m_folder; }
    // The archive is still the one indexed (not replaced or written since).
    bool archiveUnchanged() const;
    // The deflated entry whose content `filePath` (at relPath under the
    // folder) still holds, or null.
    const Entry* unchangedEntry(const QString& relPath, const QString& filePath) const;

private:
    QString m_archive;
    QString m_folder;
    FileStamp m_archiveStamp;
    QHash<QString, Entry> m_entries;
};
