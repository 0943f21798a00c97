#include "artwork/NewArtFile.h"

#include "artwork/MadeArtFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

} // namespace

bool pathTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool isPlainFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

bool readPlainFile(const QString& path, QByteArray& bytes, QString* error)
{
    bytes.clear();
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink()) {
        if (error)
            *error = tr("%1 is not a plain file").arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (info.size() > kMaxArtFileBytes) {
        if (error)
            *error = tr("%1 is too large to be art (%2 bytes)").arg(QDir::toNativeSeparators(path)).arg(info.size());
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = tr("cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    // Read to the bound only: the file may have grown since it was looked at.
    bytes = file.read(kMaxArtFileBytes + 1);
    if (bytes.size() > kMaxArtFileBytes || file.error() != QFileDevice::NoError) {
        if (error)
            *error = tr("cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        bytes.clear();
        return false;
    }
    return true;
}

bool linkOnTheWay(const QString& root, const QString& rel)
{
    QString at = QDir::cleanPath(root);
    for (const QString& part : rel.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        at += QLatin1Char('/') + part;
        const QFileInfo info(at);
        if (info.isSymLink())
            return true;
        if (!info.exists())
            return false;
    }
    return false;
}

bool createNewFile(const QString& path, const QByteArray& bytes, MadeArtFolders& made, QString* error)
{
    QFile file(path);
    // NewOnly fails on anything there, a link pointing nowhere included, and
    // never follows one.
    if (pathTaken(path) || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error)
            *error = tr("cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(path),
                              pathTaken(path) ? tr("something of that name is there") : file.errorString());
        return false;
    }
    made.noteCreated(path);
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    const QString reason = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        if (error)
            *error = tr("cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
        QFile::remove(path);
        return false;
    }
    return true;
}
