#include "model/DashConfig.h"

#include "model/ArchiveIndex.h"
#include "model/ZipArchive.h"
#include "model/ZipStreamWriter.h"
#include "model/ZipWriter.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <ioapi.h>
#include <zip.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>
#include <limits>

namespace {

bool addFile(zipFile zip, const QString& sourceDir, const QString& filePath)
{
    QFile in(filePath);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    return writeZipEntry(zip, QDir(sourceDir).relativeFilePath(filePath), content);
}

// Every file under the folder, hidden ones included (a dot file of the
// configuration must survive a save), in a stable order so that saving the
// same tree twice writes the same archive.
QStringList filesUnder(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

// Where the stored bytes of an entry of the source archive start, and how
// they were written; false when the entry cannot be found, is not deflated,
// or claims more stored bytes than the archive holds after its start (the
// reader stops at the end of the deflate stream, so such an entry opens; it
// is packed anew instead of copied past the end of the file).
bool rawEntryStart(unzFile source, qint64 archiveSize, const ArchiveIndex::Entry& entry, qint64& start, int& method,
                   int& level)
{
    unz64_file_pos position = entry.position;
    if (unzGoToFilePos64(source, &position) != UNZ_OK)
        return false;
    if (unzOpenCurrentFile2(source, &method, &level, 1) != UNZ_OK)
        return false;
    start = qint64(unzGetCurrentFileZStreamPos64(source));
    unzCloseCurrentFile(source);
    return method == Z_DEFLATED && entry.compressedSize <= quint64(std::numeric_limits<int>::max()) && start > 0
        && start <= archiveSize && entry.compressedSize <= quint64(archiveSize - start);
}

// The deflated bytes of an entry of the source archive, as stored; false
// when they cannot be read whole. The archive reader only finds where they
// start: they are then read from the file in one piece, since its own raw
// read copies them byte by byte and computes a checksum nobody looks at.
bool readRawEntry(unzFile source, QFile& archive, const ArchiveIndex::Entry& entry, QByteArray& bytes, int& method,
                  int& level)
{
    qint64 start = 0;
    if (!rawEntryStart(source, archive.size(), entry, start, method, level))
        return false;
    bytes.resize(qsizetype(entry.compressedSize));
    return bytes.isEmpty()
        || (archive.seek(start) && archive.read(bytes.data(), bytes.size()) == qint64(bytes.size()));
}

// Stores a file that still holds exactly what the source archive's entry
// holds by copying the entry's deflated bytes: the result is the same entry
// the writer would make, without compressing it again. `copied` is false
// when the source could not be read (the file is then packed as usual).
bool copyRawEntry(zipFile zip, unzFile source, QFile& archive, const QByteArray& entryName,
                  const ArchiveIndex::Entry& entry, bool& copied)
{
    QByteArray bytes;
    int method = 0;
    int level = 0;
    copied = readRawEntry(source, archive, entry, bytes, method, level);
    if (!copied)
        return true;
    zip_fileinfo info = fixedZipEntryInfo();
    if (zipOpenNewFileInZip2(zip, entryName.constData(), &info, nullptr, 0, nullptr, 0, nullptr, method, level, 1)
        != ZIP_OK)
        return false;
    if (!bytes.isEmpty() && zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())) != ZIP_OK) {
        zipCloseFileInZipRaw64(zip, entry.uncompressedSize, uLong(entry.crc));
        return false;
    }
    return zipCloseFileInZipRaw64(zip, entry.uncompressedSize, uLong(entry.crc)) == ZIP_OK;
}

// The archive the folder was extracted from, when entries whose files were
// not written since it was indexed can be copied from it as they are; null
// otherwise. `archive` is opened on it for reading the copied bytes.
unzFile openUnchangedSource(const QString& sourceDir, const ArchiveIndex& index, QFile& archive)
{
    if (index.folder() != sourceDir || !index.archiveUnchanged() || !archive.open(QIODevice::ReadOnly))
        return nullptr;
    return openZipForRead(index.archivePath());
}

// The archive through minizip: kept for archives beyond what the streamed
// writer takes (4 GiB, 65,535 entries).
bool writeArchiveMinizip(const QString& sourceDir, const QStringList& files, const QString& zipPath,
                         const ArchiveIndex& index)
{
    zipFile zip = openZipForWrite(zipPath);
    if (!zip)
        return false;
    QFile archive(index.archivePath());
    unzFile source = openUnchangedSource(sourceDir, index, archive);
    const QDir dir(sourceDir);
    bool ok = true;
    for (const QString& file : files) {
        const QString rel = dir.relativeFilePath(file);
        const ArchiveIndex::Entry* entry = source ? index.unchangedEntry(rel, file) : nullptr;
        bool copied = false;
        if (entry && !copyRawEntry(zip, source, archive, rel.toUtf8(), *entry, copied)) {
            ok = false;
        } else if (!copied && !addFile(zip, sourceDir, file)) {
            ok = false;
        }
        if (!ok) {
            qWarning() << "writeZconf2: could not store" << file;
            break;
        }
    }
    if (source)
        unzClose(source);
    const bool closed = zipClose(zip, nullptr) == ZIP_OK;
    return ok && closed;
}

// One file of the streamed archive: copied from the previous archive, or
// deflated anew.
struct StreamItem {
    QString file;
    QByteArray name;
    const ArchiveIndex::Entry* entry = nullptr;
    qint64 start = 0;
    int method = 0;
    int level = 0;
};

// Deflates, in order, the files that are not copied, while the caller
// writes the archive: the copies need no processor time, so a changed
// device file is compressed while the pictures before it are copied.
class PackAhead {
public:
    explicit PackAhead(const std::vector<StreamItem>& items)
        : m_items(items), m_promises(items.size())
    {
        for (auto& promise : m_promises)
            m_futures.push_back(promise.get_future());
        m_worker = std::thread([this] { run(); });
    }
    ~PackAhead()
    {
        m_cancelled = true;
        m_worker.join();
    }
    PackAhead(const PackAhead&) = delete;
    PackAhead& operator=(const PackAhead&) = delete;

    ZipStreamWriter::Packed take(size_t i) { return m_futures[i].get(); }

private:
    void run()
    {
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i].entry)
                continue;
            ZipStreamWriter::Packed packed;
            QFile in(m_items[i].file);
            if (!m_cancelled && in.open(QIODevice::ReadOnly)) {
                const QByteArray content = in.readAll();
                if (in.error() == QFileDevice::NoError)
                    packed = ZipStreamWriter::pack(content);
            }
            m_promises[i].set_value(std::move(packed));
        }
    }

    const std::vector<StreamItem>& m_items;
    std::vector<std::promise<ZipStreamWriter::Packed>> m_promises;
    std::vector<std::future<ZipStreamWriter::Packed>> m_futures;
    std::atomic<bool> m_cancelled{false};
    std::thread m_worker;
};

// The common case, written front to back: unchanged entries are copied
// from the previous archive without being read into memory or checksummed.
bool writeArchiveStreamed(const QString& sourceDir, const QStringList& files, const QString& zipPath,
                          const ArchiveIndex& index)
{
    ZipStreamWriter zip(zipPath);
    if (!zip.open())
        return false;
    QFile archive(index.archivePath());
    unzFile source = openUnchangedSource(sourceDir, index, archive);
    const QDir dir(sourceDir);
    const qint64 archiveSize = archive.size();
    std::vector<StreamItem> items;
    items.reserve(size_t(files.size()));
    for (const QString& file : files) {
        StreamItem item;
        item.file = file;
        const QString rel = dir.relativeFilePath(file);
        item.name = rel.toUtf8();
        item.entry = source ? index.unchangedEntry(rel, file) : nullptr;
        if (item.entry && !rawEntryStart(source, archiveSize, *item.entry, item.start, item.method, item.level))
            item.entry = nullptr;
        items.push_back(std::move(item));
    }
    if (source)
        unzClose(source);

    bool ok = true;
    {
        PackAhead packer(items);
        for (size_t i = 0; ok && i < items.size(); ++i) {
            const StreamItem& item = items[i];
            ok = item.entry ? zip.addRaw(item.name, item.method, item.level, item.entry->crc,
                                         item.entry->uncompressedSize, archive, item.start,
                                         item.entry->compressedSize)
                            : zip.addPacked(item.name, packer.take(i));
            if (!ok)
                qWarning() << "writeZconf2: could not store" << item.file;
        }
    }
    const bool closed = zip.close();
    return ok && closed;
}

bool writeArchive(const QString& sourceDir, const QString& zipPath, const ArchiveIndex& index)
{
    const QStringList files = filesUnder(sourceDir);
    qint64 bytes = 0;
    for (const QString& file : files)
        bytes += QFileInfo(file).size() + file.size();
    if (ZipStreamWriter::fits(files.size(), bytes))
        return writeArchiveStreamed(sourceDir, files, zipPath, index);
    return writeArchiveMinizip(sourceDir, files, zipPath, index);
}

// The file a link leads to (through a chain of links), or the path itself.
// Replacing the link by the new archive would leave the file it points at,
// the one RS3 or a backup reads, silently unsaved.
QString followLinks(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

} // namespace

bool DashConfig::writeZconf2(const QString& sourceDir, const QString& linkedPath)
{
    const QString targetPath = followLinks(linkedPath);
    if (QFileInfo(targetPath).isDir()) {
        qWarning() << "writeZconf2: refusing to replace the folder" << targetPath;
        return false;
    }
    const QString tmp = targetPath + QStringLiteral(".tmp");
    const QString bak = targetPath + QStringLiteral(".bak");
    QFile::remove(tmp);
    if (!writeArchive(sourceDir, tmp, archiveIndex)) {
        QFile::remove(tmp);
        return false;
    }
    if (QFileInfo::exists(targetPath)) {
        // The new archive takes the place of the old one with its mode: a
        // save never widens or narrows who may read the user's file.
        QFile::setPermissions(tmp, QFile::permissions(targetPath));
        QFile::remove(bak);
        if (!archiveRename(targetPath, bak)) {
            QFile::remove(tmp);
            return false;
        }
    }
    if (archiveRename(tmp, targetPath)) {
        // The archive just written holds the folder as it is now: the next
        // save copies from it what has not changed by then.
        if (sourceDir == extractDir)
            archiveIndex.build(targetPath, sourceDir);
        return true;
    }
    if (QFileInfo::exists(bak) && !QFileInfo::exists(targetPath))
        archiveRename(bak, targetPath);
    QFile::remove(tmp);
    return false;
}
