#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The files of one install folder as they were before a replacement wrote
// into it: what undo (or a failed replacement) copies back.
struct ArtworkBackup {
    // The install folder that was written.
    QString folder;
    // Where its old files were copied.
    QString backupDir;
    // Files the replacement wrote that the folder did not have before; a
    // restore deletes them.
    QStringList createdNames;
    // A copy of every file the replacement wrote into the folder, which its
    // redo writes again instead of reading the source folder a second time.
    QString appliedDir;
};

// A fresh dated folder for the backups of one replacement:
// appData + "/artwork_backups/yyyyMMdd_HHmmss_zzz", with "_1", "_2", ...
// appended when that name is taken, so a second replacement within the same
// millisecond never writes into the first one's backup. Empty when it cannot
// be created; *error (when given) then says why.
QString createArtworkBackupRoot(QString* error = nullptr);

// Copies every file of folder (files only, hidden ones too) into the
// existing backupDir. *error (when given) receives the failed copy's text.
bool backupArtworkFolder(const QString& folder, const QString& backupDir, QString* error = nullptr);

// Copies each backup's files back over its folder and deletes the files the
// replacement created, entry by entry, going on after a failure. True when
// everything was restored (an empty list is). *error is written only on
// failure and holds the last error. Backup folders stay on disk.
bool restoreArtworkBackup(const QList<ArtworkBackup>& backups, QString* error = nullptr);

// Copies each backup's applied files (appliedDir) back into its folder: the
// replacement as it was written. Stops at the first failure, whose text
// *error receives.
bool reapplyArtworkBackup(const QList<ArtworkBackup>& backups, QString* error = nullptr);

// Names of the files directly in a folder (hidden ones too), by name.
QStringList artworkFileNames(const QString& folder);
