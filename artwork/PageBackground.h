#pragma once

#include <QString>

// Folder name of one page's background under "korvelanto_backgrounds": the
// configuration name reduced to [A-Za-z0-9_-] (each other run becomes one
// '_', trailing '_' dropped, "config" when nothing is left), then "_p" and
// the 0-based page index.
QString slugFromName(const QString& name, int pageIndex);

// Makes every background file of this name fail as a short write (tests
// only: a failure between the two device files cannot be provoked
// otherwise). An empty name ends it.
void setRefusedBackgroundFileForTests(const QString& fileName);
