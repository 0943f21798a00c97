#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <unzip.h>

class QTemporaryDir;

// Bounds on what one extraction may write, so a hostile archive cannot fill
// the disk. The defaults are far above any real configuration.
struct ExtractLimits {
    qint64 maxTotalBytes = qint64(2) * 1024 * 1024 * 1024;
    qint64 maxEntries = 100000;
};

// Extracts every entry of the archive into destDir. Entries that would land
// outside destDir, unreadable or corrupt entries, short writes and archives
// beyond the limits fail the whole extraction.
bool extractZip(const QString& zipPath, const QString& destDir,
                const ExtractLimits& limits = ExtractLimits());

// Removes the folder and deletes the object; a folder that cannot be removed
// is left behind with a warning. Null is ignored.
void removeTempExtractDir(QTemporaryDir* dir);

// Copies a folder tree, overwriting (even read-only) files. Symlinked
// folders are skipped so that a link cycle cannot recurse for ever.
bool copyDirRecursive(const QString& srcDir, const QString& dstDir);

// Opens an archive for reading with the 64-bit file functions; null on failure.
unzFile openZipForRead(const QString& path);

// The rename that puts a finished archive or a staged folder in place. Tests
// replace it to provoke a failure of one particular step; an empty function
// restores QFile::rename.
using ArchiveRenameFunction = std::function<bool(const QString& from, const QString& to)>;
void setArchiveRenameFunction(ArchiveRenameFunction fn);
bool archiveRename(const QString& from, const QString& to);
