#pragma once

#include <QString>

#include <zip.h>

// A ZIP archive that replaces a file only once it is complete: it is written
// to the target's name plus ".tmp" beside the target, and commit() renames it
// over the target. Until then an older file at the target stays as it was;
// an archive that is never committed is closed and deleted. The ".tmp" is
// written only as a plain file: a link or anything else in its place is
// refused and named, never written through.
class ReplacingZipFile {
public:
    explicit ReplacingZipFile(const QString& targetPath);
    ~ReplacingZipFile();
    ReplacingZipFile(const ReplacingZipFile&) = delete;
    ReplacingZipFile& operator=(const ReplacingZipFile&) = delete;

    // Creates the target's parent folders and the temporary archive; a
    // failure names the file and the system's reason in *reason.
    bool open(QString* reason = nullptr);
    // The archive being written; null before open() or after commit().
    zipFile handle() const { return m_zip; }
    // Closes the archive and renames it over the target; a failure leaves
    // the system's reason in *reason.
    bool commit(QString* reason = nullptr);

    QString temporaryPath() const { return m_tempPath; }

private:
    void discard();

    QString m_targetPath;
    QString m_tempPath;
    zipFile m_zip = nullptr;
};
