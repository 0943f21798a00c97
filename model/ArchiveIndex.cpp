#include "model/ArchiveIndex.h"

#include "model/ZipArchive.h"
#include "model/ZipEntryName.h"

#include <QDir>

#include <vector>
#include <zlib.h>

void ArchiveIndex::clear()
{
    m_archive.clear();
    m_folder.clear();
    m_archiveStamp = {};
    m_entries.clear();
    m_carried.clear();
}

bool ArchiveIndex::build(const QString& archivePath, const QString& folder)
{
    clear();
    unzFile zip = openZipForRead(archivePath);
    if (!zip)
        return false;
    const QDir dir(folder);
    QHash<QString, Entry> entries;
    std::vector<Entry> carried;
    bool ok = true;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            ok = false;
            break;
        }
        std::vector<char> name(size_t(info.size_filename) + 1, '\0');
        Entry entry;
        if (unzGetCurrentFileInfo64(zip, &info, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0) != UNZ_OK
            || unzGetFilePos64(zip, &entry.position) != UNZ_OK) {
            ok = false;
            break;
        }
        const QByteArray stored(name.data(), qsizetype(info.size_filename));
        // Folder entries are not kept: the save stores files only.
        if (stored.endsWith('/'))
            continue;
        // The path the extraction wrote it to, as the save will name it.
        const QString decoded = ZipEntryName::decode(stored, quint32(info.flag));
        entry.rel = folder.isEmpty() ? QDir::cleanPath(decoded)
                                     : dir.relativeFilePath(QDir::cleanPath(dir.absoluteFilePath(decoded)));
        entry.name = stored;
        entry.utf8Name = (info.flag & ZipEntryName::kUtf8Flag) != 0;
        entry.method = int(info.compression_method);
        entry.crc = info.crc;
        entry.compressedSize = info.compressed_size;
        entry.uncompressedSize = info.uncompressed_size;
        // The first entry of a path is the one on disk, as the extraction
        // wrote it; a later one is carried.
        const QString key = ZipEntryName::folderKey(entry.rel);
        if (entries.contains(key)) {
            carried.push_back(std::move(entry));
            continue;
        }
        const FileStamp file = folder.isEmpty() ? FileStamp() : FileStamp::of(dir.filePath(entry.rel));
        if (file.isValid() && quint64(file.size) == entry.uncompressedSize)
            entry.file = file;
        entries.insert(key, std::move(entry));
    }
    unzClose(zip);
    if (!ok)
        return false;
    m_archive = archivePath;
    m_folder = folder;
    m_archiveStamp = FileStamp::of(archivePath);
    m_entries = std::move(entries);
    m_carried = std::move(carried);
    return m_archiveStamp.isValid();
}

bool ArchiveIndex::moveTo(const QString& copyPath)
{
    ArchiveIndex copy;
    if (m_archive.isEmpty() || !copy.build(copyPath, m_folder)
        || copy.m_entries.size() != m_entries.size() || copy.m_carried.size() != m_carried.size())
        return false;
    const auto samePlace = [](const Entry& a, const Entry& b) {
        return a.sameAs(b) && a.method == b.method && a.compressedSize == b.compressedSize && a.rel == b.rel
            && a.position.pos_in_zip_directory == b.position.pos_in_zip_directory
            && a.position.num_of_file == b.position.num_of_file;
    };
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        const auto found = copy.m_entries.constFind(it.key());
        if (found == copy.m_entries.cend() || !samePlace(found.value(), it.value()))
            return false;
    }
    for (size_t i = 0; i < m_carried.size(); ++i) {
        if (!samePlace(copy.m_carried[i], m_carried[i]))
            return false;
    }
    m_archive = copy.m_archive;
    m_archiveStamp = copy.m_archiveStamp;
    return true;
}

bool ArchiveIndex::archiveUnchanged() const
{
    return !m_archive.isEmpty() && FileStamp::of(m_archive) == m_archiveStamp;
}

const ArchiveIndex::Entry* ArchiveIndex::entry(const QString& relPath) const
{
    const auto it = m_entries.constFind(ZipEntryName::folderKey(relPath));
    return it == m_entries.constEnd() ? nullptr : &it.value();
}

const ArchiveIndex::Entry* ArchiveIndex::unchangedEntry(const QString& relPath, const QString& filePath) const
{
    const Entry* found = entry(relPath);
    // Only deflated entries are copied as they are: the saved archive
    // deflates every file it packs.
    if (!found || found->method != Z_DEFLATED || !found->file.isValid() || FileStamp::of(filePath) != found->file)
        return nullptr;
    return found;
}

const ArchiveIndex::Entry* ArchiveIndex::find(const Entry& other) const
{
    // Looked for by name bytes, not by path: rare (an entry gone from the
    // folder, or carried), and the path depends on the folder.
    for (const Entry& entry : m_entries) {
        if (entry.sameAs(other))
            return &entry;
    }
    for (const Entry& entry : m_carried) {
        if (entry.sameAs(other))
            return &entry;
    }
    return nullptr;
}
