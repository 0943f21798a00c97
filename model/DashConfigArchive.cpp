#include "model/DashConfig.h"

#include "model/ArchiveIndex.h"
#include "model/ErrorText.h"
#include "model/ZipArchive.h"
#include "model/ZipEntryName.h"
#include "model/ZipStreamWriter.h"
#include "model/ZipWriter.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <ioapi.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <future>
#include <thread>
#include <vector>
#include <limits>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DashConfig", text);
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
// they were written; false when the entry cannot be found, is neither
// deflated nor stored, or claims more stored bytes than the archive holds
// after its start (the reader stops at the end of the deflate stream, so
// such an entry opens; it is packed anew instead of copied past the end of
// the file).
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
    return (method == Z_DEFLATED || method == 0) && entry.compressedSize <= quint64(std::numeric_limits<int>::max())
        && start > 0 && start <= archiveSize && entry.compressedSize <= quint64(archiveSize - start);
}

// One entry of the archive a save writes: a file of the folder, packed
// anew or (when it still holds what the previous archive's entry holds)
// copied as stored; or an entry of the previous archive that is not in the
// folder (its file has gone, or it was carried), copied as stored.
struct PackItem {
    QString rel;
    QString key; // the folder key of rel: the order of the archive
    QString file; // empty for an entry taken from the previous archive alone
    QByteArray name;
    bool utf8 = false;
    const ArchiveIndex::Entry* entry = nullptr; // set: copied as stored
    PrepackedFiles::Packing packing; // valid: the file deflated while it was written
    qint64 start = 0;
    int method = 0;
    int level = 0;
};

// An entry of the archive the folder came from is written back under its
// name as stored, bytes and flag; a file the editor added is named in UTF-8.
void nameItem(PackItem& item, const ArchiveIndex::Entry* known)
{
    item.key = ZipEntryName::folderKey(item.rel);
    if (known) {
        item.name = known->name;
        item.utf8 = known->utf8Name;
        return;
    }
    item.name = ZipEntryName::encode(item.rel);
    item.utf8 = ZipEntryName::needsUtf8Flag(item.name);
}

// Where the entries that a save copies as stored come from: the archive the
// folder was unpacked from (or last saved to) while it is unchanged; once
// another program has replaced it, the entries of the file now there that
// are still byte for byte the ones indexed (the folder's own files are then
// packed anew).
struct CopySource {
    unzFile zip = nullptr;
    qint64 size = 0;
    bool unchanged = false;
    ArchiveIndex current;

    CopySource(const QString& sourceDir, const ArchiveIndex& index, QFile& archive)
    {
        if (index.folder() != sourceDir || !archive.open(QIODevice::ReadOnly))
            return;
        unchanged = index.archiveUnchanged();
        if (!unchanged && !current.build(index.archivePath(), QString()))
            return;
        zip = openZipForRead(index.archivePath());
        size = archive.size();
    }
    ~CopySource()
    {
        if (zip)
            unzClose(zip);
    }
    CopySource(const CopySource&) = delete;
    CopySource& operator=(const CopySource&) = delete;

    // Where `entry` of the index can be copied from, or null.
    const ArchiveIndex::Entry* find(const ArchiveIndex::Entry& entry) const
    {
        if (!zip)
            return nullptr;
        return unchanged ? &entry : current.find(entry);
    }
};

// How the user tells an entry that could not be kept from the file of the
// same path that was.
QString describeLost(const ArchiveIndex::Entry& entry, bool carried)
{
    if (!carried)
        return entry.rel;
    return tr("%1 (a second entry whose name reads the same)").arg(entry.rel);
}

// An entry of the index that is not in the folder, copied as stored; its
// name goes to `lost` when it cannot be.
void keepStored(const ArchiveIndex::Entry& entry, bool carried, const CopySource& source,
                std::vector<PackItem>& items, QStringList& lost)
{
    PackItem item;
    item.rel = entry.rel;
    nameItem(item, &entry);
    item.entry = source.find(entry);
    if (!item.entry || !rawEntryStart(source.zip, source.size, *item.entry, item.start, item.method, item.level)) {
        lost.append(describeLost(entry, carried));
        return;
    }
    if (!carried)
        qWarning().noquote() << "writeZconf2:" << item.rel << "has gone from the working folder - copied back";
    items.push_back(std::move(item));
}

// What the save writes, in path order: every file under the folder, and
// every entry of the archive the folder was unpacked from that is not in it
// (a file a temp cleaner or virus scanner removed; an entry carried as
// stored), copied as stored, each after the file of its path. The entries
// that cannot be copied go to `lost`.
void planArchive(const QString& sourceDir, const ArchiveIndex& index, const CopySource& source,
                 const PrepackedFiles& prepacked, std::vector<PackItem>& items, QStringList& lost)
{
    const QDir dir(sourceDir);
    QSet<QString> present;
    for (const QString& file : filesUnder(sourceDir)) {
        PackItem item;
        item.rel = dir.relativeFilePath(file);
        item.file = file;
        nameItem(item, index.folder() == sourceDir ? index.entry(item.rel) : nullptr);
        present.insert(item.key);
        item.entry = source.unchanged ? index.unchangedEntry(item.rel, file) : nullptr;
        if (item.entry && !rawEntryStart(source.zip, source.size, *item.entry, item.start, item.method, item.level))
            item.entry = nullptr;
        if (!item.entry)
            item.packing = prepacked.find(file);
        items.push_back(std::move(item));
    }
    if (index.folder() == sourceDir) {
        for (auto it = index.entries().cbegin(); it != index.entries().cend(); ++it) {
            if (!present.contains(it.key()))
                keepStored(it.value(), false, source, items, lost);
        }
        for (const ArchiveIndex::Entry& entry : index.carried())
            keepStored(entry, true, source, items, lost);
    }
    std::stable_sort(items.begin(), items.end(), [](const PackItem& a, const PackItem& b) { return a.key < b.key; });
    lost.sort();
}

// A failure of the archive file itself: where, and the system's reason.
QString archiveFailure(const QString& zipPath, const QString& reason)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(zipPath), reason);
}

QString unreadable(const PackItem& item)
{
    QFile in(item.file);
    in.open(QIODevice::ReadOnly);
    return tr("%1 could not be read: %2").arg(QDir::toNativeSeparators(item.file), in.errorString());
}

// The deflated bytes of an entry of the source archive, as stored; false
// when they cannot be read whole.
bool readRawEntry(QFile& archive, const PackItem& item, QByteArray& bytes)
{
    bytes.resize(qsizetype(item.entry->compressedSize));
    return bytes.isEmpty()
        || (archive.seek(item.start) && archive.read(bytes.data(), bytes.size()) == qint64(bytes.size()));
}

bool packFile(zipFile zip, const PackItem& item, const QString& zipPath, QString* error);

// Stores an entry of the source archive as it is stored there. A file that
// still holds the entry is packed anew when the entry cannot be read.
bool copyRawEntry(zipFile zip, QFile& archive, const PackItem& item, const QString& zipPath, QString* error)
{
    QByteArray bytes;
    if (!readRawEntry(archive, item, bytes)) {
        if (!item.file.isEmpty())
            return packFile(zip, item, zipPath, error);
        return failWith(error, tr("%1 could not be read from %2.").arg(item.rel, archive.fileName()));
    }
    const ArchiveIndex::Entry& entry = *item.entry;
    if (!openZipEntry(zip, item.name, item.utf8, item.method, item.level, true))
        return failWith(error, archiveFailure(zipPath, qt_error_string(errno)));
    const bool written =
        bytes.isEmpty() || zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())) == ZIP_OK;
    const QString reason = qt_error_string(errno);
    const bool closed = zipCloseFileInZipRaw64(zip, entry.uncompressedSize, uLong(entry.crc)) == ZIP_OK;
    return (written && closed) || failWith(error, archiveFailure(zipPath, reason));
}

bool packFile(zipFile zip, const PackItem& item, const QString& zipPath, QString* error)
{
    QFile in(item.file);
    const QByteArray content = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    if (!in.isOpen() || in.error() != QFileDevice::NoError)
        return failWith(error, unreadable(item));
    return writeZipEntry(zip, item.name, item.utf8, content)
        || failWith(error, archiveFailure(zipPath, qt_error_string(errno)));
}

// The archive through minizip: kept for archives beyond what the streamed
// writer takes (4 GiB, 65,535 entries).
bool writeArchiveMinizip(const std::vector<PackItem>& items, QFile& archive, const QString& zipPath,
                         QString* error)
{
    zipFile zip = openZipForWrite(zipPath);
    if (!zip)
        return failWith(error, archiveFailure(zipPath, qt_error_string(errno)));
    bool ok = true;
    for (const PackItem& item : items) {
        ok = item.entry ? copyRawEntry(zip, archive, item, zipPath, error) : packFile(zip, item, zipPath, error);
        if (!ok) {
            qWarning() << "writeZconf2: could not store" << item.rel;
            break;
        }
    }
    const bool closed = zipClose(zip, nullptr) == ZIP_OK;
    if (ok && !closed)
        return failWith(error, archiveFailure(zipPath, qt_error_string(errno)));
    return ok;
}

// Deflates, in order, the files that are not copied, while the caller
// writes the archive: the copies need no processor time, so a changed
// device file is compressed while the pictures before it are copied.
class PackAhead {
public:
    explicit PackAhead(const std::vector<PackItem>& items)
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
            // A file deflated while it was written is not read again.
            ZipStreamWriter::Packed packed =
                m_items[i].packing.valid() ? m_items[i].packing.get() : ZipStreamWriter::Packed();
            QFile in(m_items[i].file);
            if (!packed.ok && !m_cancelled && in.open(QIODevice::ReadOnly)) {
                const QByteArray content = in.readAll();
                if (in.error() == QFileDevice::NoError)
                    packed = ZipStreamWriter::pack(content);
            }
            m_promises[i].set_value(std::move(packed));
        }
    }

    const std::vector<PackItem>& m_items;
    std::vector<std::promise<ZipStreamWriter::Packed>> m_promises;
    std::vector<std::future<ZipStreamWriter::Packed>> m_futures;
    std::atomic<bool> m_cancelled{false};
    std::thread m_worker;
};

// The common case, written front to back: entries copied from the previous
// archive are not read into memory or checksummed.
bool writeArchiveStreamed(const std::vector<PackItem>& items, QFile& archive, const QString& zipPath,
                          QString* error)
{
    ZipStreamWriter zip(zipPath);
    if (!zip.open())
        return failWith(error, archiveFailure(zipPath, zip.errorString()));
    bool ok = true;
    {
        PackAhead packer(items);
        for (size_t i = 0; ok && i < items.size(); ++i) {
            const PackItem& item = items[i];
            ok = item.entry ? zip.addRaw(item.name, item.method, item.level, item.entry->crc,
                                         item.entry->uncompressedSize, archive, item.start,
                                         item.entry->compressedSize, item.utf8)
                            : zip.addPacked(item.name, packer.take(i), item.utf8);
            if (ok)
                continue;
            qWarning() << "writeZconf2: could not store" << item.rel;
            if (!zip.errorString().isEmpty())
                failWith(error, archiveFailure(zipPath, zip.errorString()));
            else if (item.entry)
                failWith(error, tr("%1 could not be read from %2.").arg(item.rel, archive.fileName()));
            else
                failWith(error, unreadable(item));
        }
    }
    const bool closed = zip.close();
    if (ok && !closed)
        return failWith(error, archiveFailure(zipPath, zip.errorString()));
    return ok;
}

// Packs the folder into zipPath. Entries that cannot be kept (see
// planArchive) stop it unless `mayLeaveOut`; then *warning names them.
bool writeArchive(const QString& sourceDir, const QString& zipPath, const ArchiveIndex& index,
                  const PrepackedFiles& prepacked, bool mayLeaveOut, QString* error, QString* warning)
{
    QFile archive(index.archivePath());
    std::vector<PackItem> items;
    QStringList lost;
    const CopySource source(sourceDir, index, archive);
    planArchive(sourceDir, index, source, prepacked, items, lost);
    if (!lost.isEmpty()) {
        const QString names = lost.join(QStringLiteral(", "));
        const QString archiveName = QDir::toNativeSeparators(index.archivePath());
        if (!mayLeaveOut) {
            return failWith(error, tr("%1 is not in the configuration's working folder, and %2 no longer holds it "
                                      "as it was opened, so nothing was written. Save under another name to keep "
                                      "your edits without it.")
                                       .arg(names, archiveName));
        }
        qWarning().noquote() << "writeZconf2: saved without" << names;
        if (warning)
            *warning = tr("Saved without %1: it is not in the configuration's working folder, and %2 no longer "
                          "holds it as it was opened.")
                           .arg(names, archiveName);
    }
    qint64 bytes = 0;
    for (const PackItem& item : items)
        bytes += (item.entry ? qint64(item.entry->uncompressedSize) : QFileInfo(item.file).size()) + item.name.size();
    if (ZipStreamWriter::fits(qint64(items.size()), bytes))
        return writeArchiveStreamed(items, archive, zipPath, error);
    return writeArchiveMinizip(items, archive, zipPath, error);
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

QString absolutePath(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

bool DashConfig::writeZconf2(const QString& sourceDir, const QString& linkedPath, QString* error, QString* warning)
{
    if (warning)
        warning->clear();
    const QString targetPath = followLinks(linkedPath);
    if (QFileInfo(targetPath).isDir()) {
        qWarning() << "writeZconf2: refusing to replace the folder" << targetPath;
        return failWith(error, tr("%1 is a folder.").arg(QDir::toNativeSeparators(targetPath)));
    }
    const QString tmp = targetPath + QStringLiteral(".tmp");
    const QString bak = targetPath + QStringLiteral(".bak");
    QFile::remove(tmp);
    // An entry that cannot be kept may be left out of a new file, never out
    // of the file the configuration was opened from while that is there:
    // the user can still keep the edits under a new name, and is told what
    // that one lacks.
    const QString opened = followLinks(archiveIndex.archivePath());
    const bool mayLeaveOut = absolutePath(targetPath) != absolutePath(opened) || !QFileInfo::exists(opened);
    if (!writeArchive(sourceDir, tmp, archiveIndex, prepacked, mayLeaveOut, error, warning)) {
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
            return failWith(error, tr("the previous file could not be moved aside to %1.")
                                       .arg(QDir::toNativeSeparators(bak)));
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
    return failWith(error, tr("the new file could not be moved into place from %1.")
                               .arg(QDir::toNativeSeparators(tmp)));
}
