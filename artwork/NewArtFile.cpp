#include "artwork/NewArtFile.h"
#include "model/SafeWrite.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/MadeArtFolders.h"
#include "model/FolderCopy.h"
#include "model/PathGuard.h"

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

bool readPlainFile(const QString& path, QByteArray& bytes, QString* error)
{
    bytes.clear();
    if (FolderCopy::readRegularFile(path, kArtFileReadBound, &bytes))
        return true;
    if (error) {
        const QFileInfo info(path);
        if (!FolderCopy::isRegularFile(path))
            *error = tr("%1 is not a plain file").arg(QDir::toNativeSeparators(path));
        else if (info.size() > kArtFileReadBound)
            *error = tr("%1 is too large to be art (%2 bytes)").arg(QDir::toNativeSeparators(path)).arg(info.size());
        else
            *error = tr("cannot read %1").arg(QDir::toNativeSeparators(path));
    }
    return false;
}

bool createNewFile(const QString& path, const QByteArray& bytes, MadeArtFolders& made, QString* error)
{
    // Made new, never over anything there (a link pointing nowhere
    // included) nor through a link.
    if (pathTaken(path)) {
        if (error)
            *error = tr("cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(path), tr("something of that name is there"));
        return false;
    }
    if (!writeNewFile(path, bytes, error))
        return false;
    // Noted with what it holds: only that is ever taken back.
    made.noteCreated(path);
    return true;
}

QString twinPictureName(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {};
    const QString suffix = name.mid(dot + 1).toLower();
    if (suffix == QLatin1String("tgz"))
        return name.left(dot) + QStringLiteral(".png");
    if (suffix == QLatin1String("png"))
        return name.left(dot) + QStringLiteral(".tgz");
    return {};
}

QString folderHoldingFile(const QStringList& overlayRoots, const QString& rel, const QString& name)
{
    for (const QString& root : overlayRoots) {
        const QString folder = PathGuard::join(root, rel);
        if (!folder.isEmpty() && !FolderCopy::linkOnTheWay(root, rel)
            && FolderCopy::isRegularFile(folder + QLatin1Char('/') + name))
            return folder;
    }
    return {};
}
