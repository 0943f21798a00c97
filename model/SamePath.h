#pragma once

#include <QString>

// Whether a and b name one file (or folder). Two that exist are compared as
// the file system resolves them, links followed. When either is missing
// there is nothing to resolve, and the two compare as absolute paths: a
// missing file is the same only as itself, never as any other missing one
// (two QFileInfos of missing files compare equal, their canonical paths both
// empty). An empty path is no file and names nothing.
bool isSamePath(const QString& a, const QString& b);
