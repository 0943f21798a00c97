#pragma once

#include <QByteArray>
#include <QString>

class FolderCopy;
class QImage;

// File operations for artwork written into RaceStudio 3 installs and user
// folders. Install folders often hold read-only files, so targets are made
// owner-writable before they are replaced. Replacement goes through a
// temporary file beside the target that is renamed over it: a failed write
// leaves the old file in place, never a half-written or missing one.

// Files never copied with artwork: "README.txt", "Thumbs.db", "desktop.ini",
// ".DS_Store" (whole name, any letter case).
bool isJunkArtworkFile(const QString& fileName);

// Replaces target with a copy of source. Refuses to copy a file onto itself
// (which would otherwise destroy it), and onto a link, a pipe or a folder at
// target (never written through). Errors, each with the system's reason
// (%2): "cannot read %1: %2" (the source), "cannot overwrite %1 -- it is
// open in another program (%2)", "cannot write %1: %2" (e.g. a full disk, or
// what is in the way named), "cannot copy %1 onto itself".
bool copyFileOver(const QString& source, const QString& target, QString* error = nullptr);

// '\' becomes '/'; a non-empty result ends with '/' (extra trailing slashes
// are kept).
QString normalizeDirPath(const QString& path);

// Writes bytes to path as writeInstallFile does, creating the parent folders
// (none through a link the write refuses): a link, a pipe or a folder at
// path, or a link on the way down from `within` (empty: path's own folder),
// is never written through. Error: "cannot write %1: %2", the reason naming
// what is in the way, or the system's.
bool writeFileBytes(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                    const QString& within = QString());

// Writes bytes to a file in a folder of an install (`within`: the install
// root) that already exists: never through a symbolic link on the way
// down from `within`, never over anything but a regular file (refused, the
// reason naming it). A read-only file is made owner-writable first. With a
// batch the write is not waited for on the disk: batch->flush() waits for
// all of them at once.
bool writeInstallFile(const QString& path, const QByteArray& bytes, const QString& within, FolderCopy* batch,
                      QString* error = nullptr);

// The same for bytes already written whole in the file `from`, renamed into
// place where it can be (see moveFileNoLink), else written from bytes.
bool moveInstallFile(const QString& from, const QString& path, const QByteArray& bytes, const QString& within,
                     FolderCopy& batch, QString* error = nullptr);

// The image as PNG bytes; empty when it cannot be encoded.
QByteArray pngBytes(const QImage& image);

// True when both name the same existing folder, through links too (letter
// case ignored, as RS3's Windows file system does).
bool isSameFolder(const QString& a, const QString& b);

// Largest install file read to decide whether two items hold the same art:
// art files are far smaller. A larger file, or one that is not a regular
// file, counts as other art and is never read.
constexpr qint64 kArtFileReadBound = 64 * 1024 * 1024;

// The "AiM_folder.xml" that names a folder in RaceStudio 3's resource browser
// (shown as `label`, ordered by `sort`). Written as fixed text, one line feed
// per line; the label has &, < and > escaped. The one writer of this file.
QByteArray resourceFolderXml(const QString& label, int sort);
