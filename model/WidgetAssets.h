#pragma once

#include <QString>
#include <QStringList>

// Copies the files named in assetNames, each with its .png or .tgz twin,
// from the element folder sourceRel to the element folder targetRel
// (RS3-relative, with or without the "aim/resources/overlay/" prefix) in
// every RS3 install whose target folder exists and lacks them: a file of
// that name there (in any letter case) is art some configuration shows and
// is never written over. Each file is taken from the first install that
// has it, as a regular file; nothing is read or written through a link.
// Returns the number of files written (a file written into both installs
// counts 2). Only bare file names are copied; folder parts, "." and ".." are
// skipped.
int copyAssetIntoOverlay(const QString& sourceRel, const QString& targetRel, const QStringList& assetNames);
