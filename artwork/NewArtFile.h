#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class MadeArtFolders;

// Small file steps for copies into an install that only add what it lacks:
// a file is created new or not at all, never written over something there
// (a file, a folder or a link, even one that points nowhere), and only
// regular files are read, each within a size bound.

// True when something, even a link that points nowhere, has the path.
bool pathTaken(const QString& path);

// The bytes of a regular file that is no link, within kArtFileReadBound;
// false (with *error) otherwise.
bool readPlainFile(const QString& path, QByteArray& bytes, QString* error = nullptr);

// Creates path with exactly these bytes; refuses when anything has the
// path. What it creates is noted in `made`; a failed write removes it
// again. Error: "cannot write %1: %2" with the system's reason.
bool createNewFile(const QString& path, const QByteArray& bytes, MadeArtFolders& made, QString* error = nullptr);

// The other format of a picture (the device keeps .tgz, the editor draws the
// .png beside it); empty for a name of neither format.
QString twinPictureName(const QString& name);

// The first of the overlay roots whose folder rel holds `name` as a regular
// file, with no link on the way: that folder, or empty.
QString folderHoldingFile(const QStringList& overlayRoots, const QString& rel, const QString& name);
