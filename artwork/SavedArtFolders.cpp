#include "artwork/SavedArtFolders.h"

#include "artwork/ArtworkFiles.h"
#include "model/FolderCopy.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

// Regular files of an art file's size only: a link (to a device, say) or
// an outsized file is neither read nor kept.
QByteArray contentOf(const QString& path, bool* read = nullptr)
{
    QByteArray bytes;
    const bool ok = FolderCopy::readRegularFile(path, kArtFileReadBound, &bytes);
    if (read)
        *read = ok;
    return bytes;
}

} // namespace

void SavedArtFolders::aboutToWrite(const QString& folder, const QStringList& names)
{
    const QString key = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QHash<QString, QByteArray>& kept = m_folders[key];
    for (const QString& name : names) {
        if (kept.contains(name))
            continue;
        bool read = false;
        const QByteArray bytes = contentOf(key + QLatin1Char('/') + name, &read);
        if (read)
            kept.insert(name, bytes);
    }
}

void SavedArtFolders::forget()
{
    m_folders.clear();
}

bool SavedArtFolders::putBack(QString* error)
{
    bool ok = true;
    QString last;
    for (auto folder = m_folders.constBegin(); folder != m_folders.constEnd(); ++folder) {
        // A folder someone removed since is not made again.
        if (!QFileInfo(folder.key()).isDir())
            continue;
        for (auto file = folder->constBegin(); file != folder->constEnd(); ++file) {
            const QString path = folder.key() + QLatin1Char('/') + file.key();
            bool read = false;
            if (contentOf(path, &read) == file.value() && read)
                continue;
            QString why;
            if (!writeFileBytes(path, file.value(), &why)) {
                ok = false;
                last = why;
            }
        }
    }
    if (ok)
        m_folders.clear();
    else if (error)
        *error = last;
    if (!ok)
        qWarning().noquote() << "SavedArtFolders::putBack:" << last;
    return ok;
}
