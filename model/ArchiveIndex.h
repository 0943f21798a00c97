#pragma once

#include "model/FileStamp.h"

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <unzip.h>

#include <vector>

// The entries of the archive an extract folder was unpacked from: what a
// save needs to write every one of them back. Each keeps its name as stored
// (bytes and UTF-8 flag), so a save writes it back as it was, and where it
// lies in the archive, so an entry whose file still holds exactly what the
// entry holds (the stamp its file had when the two matched) is copied as it
// is, still deflated, and an entry whose file has vanished from the folder
// is copied back from it. An entry whose name lands on the file an earlier
// entry was extracted to (the extraction skips it) is carried: the save
// copies it from the archive as stored, after that earlier one.
class ArchiveIndex {
public:
    struct Entry {
        unz64_file_pos position{};
        QByteArray name;
        bool utf8Name = false;
        int method = 0;
        quint64 crc = 0;
        quint64 compressedSize = 0;
        quint64 uncompressedSize = 0;
        // The relative path it was (or, carried, would have been) extracted to.
        QString rel;
        // The extracted file when it held the entry at build time; invalid
        // otherwise.
        FileStamp file;

        // The same stored entry: same name bytes and flag, same content.
        bool sameAs(const Entry& o) const
        {
            return name == o.name && utf8Name == o.utf8Name && crc == o.crc && uncompressedSize == o.uncompressedSize;
        }
    };

    // Reads the archive's entry list and stamps the files of `folder` that
    // hold them (none for an empty folder: the entry list alone). Any
    // failure leaves the index empty.
    bool build(const QString& archivePath, const QString& folder);
    void clear();
    // Goes on with `copyPath`, a byte copy of the archive, in its place:
    // true when the copy holds every entry where the archive did. The
    // folder's stamps are kept, so what was known unchanged still is.
    bool moveTo(const QString& copyPath);

    const QString& archivePath() const { return m_archive; }
    const QString& folder() const { return m_folder; }
    // The archive is still the one indexed (not replaced or written since).
    bool archiveUnchanged() const;
    // Every extracted file entry (folders are not kept) by the folder key
    // (ZipEntryName::folderKey) of its relative path.
    const QHash<QString, Entry>& entries() const { return m_entries; }
    // The entries not extracted for another of the same path, in archive order.
    const std::vector<Entry>& carried() const { return m_carried; }
    // The entry extracted to relPath, or null.
    const Entry* entry(const QString& relPath) const;
    // The deflated entry whose content `filePath` (at relPath under the
    // folder) still holds, or null.
    const Entry* unchangedEntry(const QString& relPath, const QString& filePath) const;
    // This archive's entry that is `other` (name, flag, content), or null.
    const Entry* find(const Entry& other) const;

private:
    QString m_archive;
    QString m_folder;
    FileStamp m_archiveStamp;
    QHash<QString, Entry> m_entries;
    std::vector<Entry> m_carried;
};
