#pragma once

#include <QByteArray>
#include <QString>

namespace gallery {

// A bundle held in memory, copied to a file of its own in the temporary
// folder for the archive reader: "<temp>/<prefix><uuid>.zip". The file is
// removed when the object goes, so no path can leave one behind.
class ScratchZip {
public:
    explicit ScratchZip(const QString& prefix);
    ~ScratchZip();
    ScratchZip(const ScratchZip&) = delete;
    ScratchZip& operator=(const ScratchZip&) = delete;

    // Writes the bytes to a new file; empty on success, else "could not write
    // scratch zip" or "scratch zip write truncated" (no file is left then).
    QString write(const QByteArray& bytes);
    QString path() const { return m_path; }
    // Deletes the file now; safe to call twice.
    void remove();

    // The platform's writable temporary location, else the temporary path.
    static QString tempFolder();

private:
    QString m_path;
};

} // namespace gallery
