#include "model/DashConfig.h"

#include "model/ZipArchive.h"
#include "model/ZipWriter.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

bool addFile(zipFile zip, const QString& sourceDir, const QString& filePath)
{
    QFile in(filePath);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    return writeZipEntry(zip, QDir(sourceDir).relativeFilePath(filePath), content);
}

// Every file under the folder, hidden ones included (a dot file of the
// configuration must survive a save), in a stable order so that saving the
// same tree twice writes the same archive.
QStringList filesUnder(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

bool writeArchive(const QString& sourceDir, const QString& zipPath)
{
    zipFile zip = openZipForWrite(zipPath);
    if (!zip)
        return false;
    for (const QString& file : filesUnder(sourceDir)) {
        if (!addFile(zip, sourceDir, file)) {
            qWarning() << "writeZconf2: could not store" << file;
            zipClose(zip, nullptr);
            return false;
        }
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}

} // namespace

bool DashConfig::writeZconf2(const QString& sourceDir, const QString& targetPath)
{
    if (QFileInfo(targetPath).isDir()) {
        qWarning() << "writeZconf2: refusing to replace the folder" << targetPath;
        return false;
    }
    const QString tmp = targetPath + QStringLiteral(".tmp");
    const QString bak = targetPath + QStringLiteral(".bak");
    QFile::remove(tmp);
    if (!writeArchive(sourceDir, tmp)) {
        QFile::remove(tmp);
        return false;
    }
    if (QFileInfo::exists(targetPath)) {
        QFile::remove(bak);
        if (!archiveRename(targetPath, bak)) {
            QFile::remove(tmp);
            return false;
        }
    }
    if (archiveRename(tmp, targetPath))
        return true;
    if (QFileInfo::exists(bak) && !QFileInfo::exists(targetPath))
        archiveRename(bak, targetPath);
    QFile::remove(tmp);
    return false;
}
