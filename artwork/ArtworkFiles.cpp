#include "artwork/ArtworkFiles.h"
#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/XmlParams.h"
#include "model/ZipArchive.h"
#include "model/SafeWrite.h"
#include "model/SamePath.h"

#include <QImage>
#include <QBuffer>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDebug>
#include <QSaveFile>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ArtworkFiles", text);
}

// Install folders ship read-only files; clearing that first keeps a later
// replacement from failing on Windows and keeps copies editable.
void makeOwnerWritable(const QString& path)
{
    // A link's mode is its target's: the user's.
    if (FileEntries::kindOf(path) != FileEntries::Kind::Regular)
        return;
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace

bool isJunkArtworkFile(const QString& fileName)
{
    static const QStringList junk = {QStringLiteral("README.txt"), QStringLiteral("Thumbs.db"),
                                     QStringLiteral("desktop.ini"), QStringLiteral(".DS_Store")};
    for (const QString& name : junk) {
        if (fileName.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool copyFileOver(const QString& source, const QString& target, QString* error)
{
    if (isSamePath(source, target))
        return failWith(error, tr("cannot copy %1 onto itself").arg(target));
    // A link at the target may lead to the user's own file, a pipe would
    // never take the copy: neither is replaced, and the refusal names it.
    if (const QString refusal = noLinkWriteRefusal(target, QString()); !refusal.isEmpty())
        return failWith(error, tr("cannot write %1: %2").arg(target, refusal));
    const bool existed = QFileInfo::exists(target);
    if (existed)
        makeOwnerWritable(target);

    // A source that cannot be read is named as such: the target is fine.
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return failWith(error, tr("cannot read %1: %2").arg(source, in.errorString()));
    // The copy lands in a temporary file beside the target and replaces it
    // only once complete, so the old file survives any failure.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        return failWith(error, existed
                                   ? tr("cannot overwrite %1 -- it is open in another program (%2)")
                                         .arg(target, out.errorString())
                                   : tr("cannot write %1: %2").arg(target, out.errorString()));
    }
    QByteArray chunk;
    bool complete = true;
    while (complete && !(chunk = in.read(1 << 16)).isEmpty())
        complete = writeWhole(out, chunk.constData(), chunk.size());
    if (!complete || in.error() != QFileDevice::NoError) {
        const QString text = complete ? tr("cannot read %1: %2").arg(source, in.errorString())
                                      : tr("cannot write %1: %2").arg(target, out.errorString());
        out.cancelWriting();
        out.commit();
        return failWith(error, text);
    }
    if (!commitSaveFile(out, error))
        return false;
    makeOwnerWritable(target);
    return true;
}

QString normalizeDirPath(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!p.isEmpty() && !p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

bool writeFileBytes(const QString& path, const QByteArray& bytes, QString* error, const QString& within)
{
    // No folder is made through a link the write is going to refuse; what
    // cannot be made is named by the write that follows.
    if (noLinkWriteRefusal(path, within).isEmpty()) {
        QString why;
        FileEntries::makePath(QFileInfo(path).absolutePath(), &why);
    }
    return writeInstallFile(path, bytes, within, nullptr, error);
}

bool writeInstallFile(const QString& path, const QByteArray& bytes, const QString& within, FolderCopy* batch,
                      QString* error)
{
    // Never through a link: its target's mode is the user's.
    if (FolderCopy::isRegularFile(path))
        makeOwnerWritable(path);
    return batch ? writeFileNoLink(path, bytes, within, *batch, error) : writeFileNoLink(path, bytes, within, error);
}

bool moveInstallFile(const QString& from, const QString& path, const QByteArray& bytes, const QString& within,
                     FolderCopy& batch, QString* error)
{
    if (FolderCopy::isRegularFile(path))
        makeOwnerWritable(path);
    return moveFileNoLink(from, path, within, batch) || writeInstallFile(path, bytes, within, &batch, error);
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    return bytes;
}

QByteArray resourceFolderXml(const QString& label, int sort)
{
    QByteArray out;
    out += "<?xml version=\"1.0\"?>\n";
    out += "<AiM_resource_folder>\n";
    out += "  <e c=\"Folder\" i=\"0\">\n";
    out += "    <p n=\"Sort\">" + QByteArray::number(sort) + "</p>\n";
    out += "    <p n=\"gettext\">" + xmlEscape(label).toUtf8() + "</p>\n";
    out += "  </e>\n";
    out += "</AiM_resource_folder>\n";
    return out;
}

bool isSameFolder(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca.compare(QFileInfo(b).canonicalFilePath(), Qt::CaseInsensitive) == 0;
}
