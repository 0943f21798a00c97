#pragma once

#include "model/FileEntries.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QImage;
class QSize;

// Reading files in an install, the data folder or beside a configuration,
// where a link or a pipe may have been put by hand: only plain files are
// read, never through a link on the way down from the folder the caller
// names, never waiting on a pipe, and never more than a bound. Every refusal
// comes back as one text that names the link or file, for the caller to show.
namespace SafeRead {

// Reads the regular file path, of at most `bound` bytes. No folder on the
// way down from `within` (empty: path's own folder) nor path itself may be a
// link. False with *reason: "%1 is a symbolic link", "%1 is not a regular
// file", "%1 is larger than %2 bytes" or "cannot read %1: <system reason>".
bool readFile(const QString& path, qint64 bound, QByteArray* bytes, QString* reason = nullptr,
              const QString& within = QString());

// Reads path as readFile does, where the folders on the way down from
// `within` are the install's own (a page's Items folder, an item's folder):
// each may be kept through a link, followed only when it leads to a folder
// (FileEntries::keptFolderBelow), else refused and named. The file itself
// is never read through a link.
bool readKeptFile(const QString& path, qint64 bound, QByteArray* bytes, QString* reason, const QString& within);

// One entry a walk meets, as it is on the disk (a link is a link).
struct Entry {
    QString path;
    QString name;
    FileEntries::Kind kind = FileEntries::Kind::Missing;
    int depth = 0; // 0 for the entries of the walked folder itself
#ifdef Q_OS_UNIX
    int dir = -1; // the folder it is in, open while the visitor runs
#endif
};

// Visits every entry below folder, in name order, depth first. A folder is
// walked into only when the visitor returns true for it; a link, even one
// to a folder, never is. The folder itself is taken as given (the caller
// rules out links above it). False with *reason when it, or a folder below
// that the visitor wanted walked into, could not be read (each named, one a
// line): what it holds was not seen. The rest is visited all the same.
bool walk(const QString& folder, const std::function<bool(const Entry&)>& visit, QString* reason = nullptr);

// What lies below folder that is not a folder, by its path relative to
// folder, in name order: a file, a link (even to a folder, never walked
// through), and with `special` a pipe or device too. `deep` false: the
// folder's own entries only. Nothing is opened but the folders walked.
QStringList filesBelow(const QString& folder, bool deep = true, bool special = false);

// Reads a regular file the walk is visiting, as readFile does.
bool readEntry(const Entry& entry, qint64 bound, QByteArray* bytes, QString* reason = nullptr);

// The most a picture file may take: far beyond any dash art or preview.
constexpr qint64 kPictureReadBound = qint64(64) * 1024 * 1024;

// The picture at path, decoded from the bytes readFile reads (so a link or a
// pipe there is never opened), its format guessed from its name's suffix
// and its content. Null with *reason: readFile's, or "%1 is not a picture
// that can be read".
QImage readImage(const QString& path, QString* reason = nullptr, const QString& within = QString(),
                 qint64 bound = kPictureReadBound);
// The size of that picture from its header; invalid with *reason.
QSize imageSize(const QString& path, QString* reason = nullptr, const QString& within = QString(),
                qint64 bound = kPictureReadBound);

// The text naming why path was not read, as readFile gives it.
QString linkText(const QString& path);
QString notRegularText(const QString& path);

} // namespace SafeRead
