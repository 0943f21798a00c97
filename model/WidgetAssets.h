#pragma once

#include <QString>
#include <QStringList>

// Copies the files named in assetNames from the element folder sourceRel to
// the element folder targetRel (RS3-relative, with or without the
// "aim/resources/overlay/" prefix) in every RS3 install whose target folder
// exists. Each file is taken from the first install that has it. Returns
// the number of files written (a file written into both installs counts 2).
// Only bare file names are copied; folder parts, "." and ".." are skipped.
int copyAssetIntoOverlay(const QString& sourceRel, const QString& targetRel, const QStringList& assetNames);
