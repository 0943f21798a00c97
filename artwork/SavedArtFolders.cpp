#include "artwork/SavedArtFolders.h"

#include "artwork/ArtworkFiles.h"
#include "model/FolderCopy.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

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
    auto it = m_folders.find(key);
    if (it == m_folders.end()) {
        Folder kept;
        for (const QFileInfo& file : QDir(key).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
            bool read = false;
            const QByteArray bytes = contentOf(file.absoluteFilePath(), &read);
            if (read)
                kept.files.insert(file.fileName(), bytes);
        }
        it = m_folders.insert(key, kept);
    }
    for (const QString& name : names)
        it->written.insert(name);
}

void SavedArtFolders::forget()
{
    m_folders.clear();
}

bool SavedArtFolders::putBack(QString* error, const std::function<bool(const QString& folder)>& taken)
{
    bool ok = true;
    QString last;
    for (auto folder = m_folders.constBegin(); folder != m_folders.constEnd(); ++folder) {
        // A folder that is gone was made after the save and taken back by
        // its maker (a paste's undo): no saved file points into it, and
        // writing its files again would only leave them behind.
        const QFileInfo at(folder.key());
        if (!at.exists() && !at.isSymLink())
            continue;
        for (auto file = folder->files.constBegin(); file != folder->files.constEnd(); ++file) {
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
        if (taken && !folder->written.isEmpty() && taken(folder.key()))
            continue;
        for (const QString& name : folder->written) {
            const QString path = folder.key() + QLatin1Char('/') + name;
            if (folder->files.contains(name) || !QFileInfo::exists(path))
                continue;
            if (!FolderCopy::removeFileWithin(folder.key(), path)) {
                ok = false;
                last = tr("could not remove %1").arg(path);
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
