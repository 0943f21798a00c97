#pragma once

#include <QByteArray>
#include <QString>

class FolderCopy;
class QFileDevice;
class QSaveFile;

// The one way a file is written: into a temporary file beside the target,
// flushed and checked, then renamed over the target. A failure leaves the
// previous file as it was and hands back the system's reason.
//
// QSaveFile::commit() alone is not enough: after a failed flush of a write
// smaller than its buffer (a full disk, a file size limit) it can still
// return true and leave an empty or cut file. Every writer therefore flushes
// and looks at the device's error before it commits.

// Writes all of data to an open file. A large write that meets a full disk
// or a size limit part way returns the part written and leaves the device's
// error unset ("Unknown error"): the rest is written again, which either
// goes through or fails with the system's reason in errorString().
bool writeWhole(QFileDevice& file, const char* data, qint64 size);

// Writes bytes to path whole or not at all. Error: "cannot write %1: %2"
// with the system's reason.
bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// As writeFileSafely, for a file in a folder the user shares with RaceStudio 3
// or keeps beside a configuration, where a link may lead to the user's own
// files: refused when path, or a folder on the way down to it from `within`
// (empty: path's own folder), is a symbolic link, so nothing is ever written
// where a link points. Error: "cannot write %1: %2 is a symbolic link".
// Only a regular file is replaced: anything else in path's place (a pipe,
// a device, a folder) is left, "cannot write %1: it is not a regular file".
bool writeFileNoLink(const QString& path, const QByteArray& bytes, const QString& within, QString* error = nullptr);
// Why writeFileNoLink refuses path ("%1 is a symbolic link", "it is not a
// regular file"); empty when it may be written. A `within` that does not
// hold path leaves path's own entry still looked at.
QString noLinkWriteRefusal(const QString& path, const QString& within);
// The same, as one write of a batch: the file is renamed into place without
// waiting for the disk, and `batch` notes it, so that batch.flush() waits
// for all the batch wrote at once (one sync, not one per file).
bool writeFileNoLink(const QString& path, const QByteArray& bytes, const QString& within, FolderCopy& batch,
                     QString* error = nullptr);

// As writeFileNoLink, for a file the program can make again (a thumbnail):
// not waited for on the disk, as a cut-short one only fails to decode and
// is made again.
bool writeCacheFileNoLink(const QString& path, const QByteArray& bytes, const QString& within,
                          QString* error = nullptr);

// As the batch writeFileNoLink, for bytes a caller already wrote whole and
// checked in its own file `from` (an unpacked bundle's): `from` is renamed
// to path, taking the permissions of the regular file it replaces, and is
// gone. False, with nothing changed, when it cannot be (a link or something
// other than a regular file in the way, another disk): the caller then
// writes the bytes, which names the reason.
bool moveFileNoLink(const QString& from, const QString& path, const QString& within, FolderCopy& batch);

// Creates path with bytes, where nothing is (a link there, even a broken
// one, is something): never over a file, never through a link; a file that
// cannot be written whole is taken away again. Error: "cannot write %1: %2".
bool writeNewFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// As writeFileSafely, for a file of a configuration's working folder: the
// archive packed from it is what is kept, so the write is not waited for on
// the disk. The file keeps its permissions.
bool writeWorkingFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Finishes a QSaveFile the caller opened and wrote into: flush, check,
// commit. On any failure the temporary file is discarded and the previous
// file kept. Error: "cannot write %1: %2".
bool commitSaveFile(QSaveFile& file, QString* error = nullptr);
