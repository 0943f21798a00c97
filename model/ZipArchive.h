#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <unzip.h>

class QTemporaryDir;

// Bounds and name rules of one extraction, so a hostile archive can neither
// fill the disk nor write outside its folder. The defaults are the ones a
// configuration is opened with: far above any real configuration, names
// decoded as UTF-8 as RS3 writes them.
// There is no compression-ratio rule: a plain 16-bit background deflates
// beyond 1000:1.
struct ExtractLimits {
    qint64 maxTotalBytes = qint64(512) * 1024 * 1024;
    qint64 maxEntries = 100000;
    qint64 maxEntryBytes = qint64(2) * 1024 * 1024 * 1024;
    int maxNameBytes = 511;
    // Archives made elsewhere (theme packages, install bundles): '\' is read
    // as '/', and absolute names or names that are not valid UTF-8 (or hold
    // a NUL) are refused outright.
    bool strictNames = false;
    // A configuration keeps every entry: a file entry that would land on the
    // file an earlier entry was extracted to (a name that reads the same in
    // other bytes, "a/./b" beside "a/b") is checked and read like any other
    // but not written; the save carries it from the archive as stored.
    // Elsewhere the later entry is written over the earlier one.
    bool skipRepeatedTargets = true;
    // Told after each entry: entries done of the archive's count, so that
    // a long extraction on the GUI thread can show how far it is.
    std::function<void(qint64 done, qint64 total)> progress;
};

// The caps for theme packages and install bundles: 64 MiB per entry,
// 512 MiB in total, 10,000 entries, names of at most 1023 bytes, strict names.
ExtractLimits packageExtractLimits();

// Why an extraction or read stopped. text() gives the plain message; the
// callers wrap it in their own words.
struct ZipFailure {
    enum Kind {
        None,
        OpenArchive,
        EntryInfo,
        NameTooLong,
        NameNotUtf8,
        UnsafeName,
        SymlinkEntry,
        TooManyEntries,
        EntryTooLarge,
        ArchiveTooLarge,
        OpenEntry,
        OpenForWrite,
        ReadEntry,
        WriteFile,
        CorruptEntry,
        MakeFolder,
    };
    Kind kind = None;
    QString zipPath;
    QString entryName; // after the '\' rule
    QString targetPath;
    qint64 limit = 0;
    // The system's reason where a file or folder could not be written.
    QString reason;

    // Plain text naming the file; a write that failed adds the system's
    // reason.
    QString text() const;

private:
    QString withReason() const;
};

// The one extraction core. Every entry name is checked before anything is
// written: a name containing a drive or stream component (':'), a symbolic
// link entry, a name over the byte limit, and a name whose cleaned target is
// not the destination itself or below it all stop the extraction. Entries
// extracted before a refused one stay in destDir; nothing is ever written
// outside it. Entries are checked against the caps by their declared and by
// their real size; a CRC mismatch or a short write fails.
bool extractZipEntries(const QString& zipPath, const QString& destDir, const ExtractLimits& limits,
                       ZipFailure* failure = nullptr);

// Reads the file entries for which wanted(name) is true into memory (name
// cleaned, '/'-separated). Every entry name is checked as for extraction;
// only the entries read count towards the total cap.
bool readZipEntries(const QString& zipPath, const std::function<bool(const QString&)>& wanted,
                    const ExtractLimits& limits, QMap<QString, QByteArray>* entries,
                    ZipFailure* failure = nullptr);

// Extracts every entry of a configuration archive into destDir with the
// core above; the reason of a failure goes to the log and, when error is
// given and the archive is refused for its content (too large, too many
// entries, an entry outside the folder), to *error in words for the user.
bool extractZip(const QString& zipPath, const QString& destDir,
                const ExtractLimits& limits = ExtractLimits(), QString* error = nullptr);

// Removes the folder and deletes the object; a folder that cannot be removed
// is left behind with a warning. Null is ignored.
void removeTempExtractDir(QTemporaryDir* dir);

// Copies what dstDir lacks of a folder tree (FolderCopy::addMissing): a
// file dstDir holds is kept, links are never followed, only regular files
// are copied.
bool copyDirRecursive(const QString& srcDir, const QString& dstDir);

// Opens an archive for reading with the 64-bit file functions: the file the
// user named, followed through a link, but never a pipe or a device
// (ZipFileFunctions, which the log names); null on failure.
unzFile openZipForRead(const QString& path);

// The rename that puts a finished archive or a staged folder in place. Tests
// replace it to provoke a failure of one particular step; an empty function
// restores QFile::rename.
using ArchiveRenameFunction = std::function<bool(const QString& from, const QString& to)>;
void setArchiveRenameFunction(ArchiveRenameFunction fn);
bool archiveRename(const QString& from, const QString& to);

// Moves from over to, replacing an existing file at to in one step, so that
// a reader sees either the old or the new file, never none.
bool renameOverFile(const QString& from, const QString& to, QString* reason = nullptr);
