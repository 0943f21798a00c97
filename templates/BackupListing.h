#pragma once

#include <QString>
#include <QStringList>

// What a dated backup of template folders holds, written beside the
// numbered copies: "kept.txt", a line a copy (its number, a tab, the folder
// it came from), and "README.txt", the same in words with the way back for
// each copy: which install, or the template store, it belongs in.
bool writeBackupListing(const QString& root, const QStringList& folders, QString* error);
