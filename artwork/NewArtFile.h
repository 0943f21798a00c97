#pragma once

#include <QByteArray>
#include <QString>

class MadeArtFolders;

// Small file steps for copies into an install that only add what it lacks:
// a file is created new or not at all, never written over something there
// (a file, a folder or a link, even one that points nowhere), and only
// regular files are read, each within a size bound.

// The largest art file read whole: far above any picture a dash shows.
constexpr qint64 kMaxArtFileBytes = 64 * 1024 * 1024;

// True when something, even a link that points nowhere, has the path.
bool pathTaken(const QString& path);

// True when path is a regular file and not a link.
bool isPlainFile(const QString& path);

// The bytes of a regular file that is no link, within kMaxArtFileBytes;
// false (with *error) otherwise.
bool readPlainFile(const QString& path, QByteArray& bytes, QString* error = nullptr);

// True when a folder on the way from root down to root + "/" + rel (rel
// included) is a link: a copy must not be written through it.
bool linkOnTheWay(const QString& root, const QString& rel);

// Creates path with exactly these bytes; refuses when anything has the
// path. What it creates is noted in `made`; a failed write removes it
// again. Error: "cannot write %1: %2" with the system's reason.
bool createNewFile(const QString& path, const QByteArray& bytes, MadeArtFolders& made, QString* error = nullptr);
