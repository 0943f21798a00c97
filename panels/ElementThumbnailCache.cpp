#include "panels/ElementThumbnailCache.h"

#include "model/FileEntries.h"
#include "model/FileStamp.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/SafeWrite.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementThumbnail.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QImage>
#include <QImageReader>

namespace {

const QString kStampKey = QStringLiteral("korvelanto-sources");
const QString kNoneKey = QStringLiteral("korvelanto-none");

// Keyed by the element's folder; `side` is part of what must match.
struct Kept {
    int side = 0;
    QByteArray stamp;
    QPixmap pixmap;
};

QHash<QString, Kept>& memory()
{
    static QHash<QString, Kept> kept;
    return kept;
}

struct KeptSize {
    int side = 0;
    QSize size;
};

// Sizes read from the image headers for thumbnails not drawn yet.
QHash<QString, KeptSize>& sizes()
{
    static QHash<QString, KeptSize> kept;
    return kept;
}

void addFileStamp(QByteArray& stamp, const QString& folder, const QString& name)
{
    stamp += name.toUtf8();
    const QString path = PathGuard::join(folder, name);
    // Looked at, never opened: a pipe there only counts as no file.
    const FileStamp file = path.isEmpty() ? FileStamp() : FileStamp::of(path);
    if (!file.isValid()) {
        stamp += ":-;";
        return;
    }
    stamp += ':' + QByteArray::number(file.size) + ':' + QByteArray::number(file.modifiedNs) + ';';
}

// Every file the thumbnail may be drawn from, with its size and time, so a
// changed, added or removed source is noticed.
QByteArray sourceStamp(const ElementCatalogEntry& entry, int side)
{
    QByteArray stamp = QByteArray::number(side) + '|';
    addFileStamp(stamp, entry.absFolder, QStringLiteral("mask.png"));
    if (!entry.scales.isEmpty())
        addFileStamp(stamp, entry.absFolder, entry.scales.at(entry.scales.size() / 2).frame);
    for (const QString& name : entry.art) {
        if (name.endsWith(QLatin1String(".png")) && name != QLatin1String("mask.png"))
            addFileStamp(stamp, entry.absFolder, name);
    }
    return stamp;
}

QString filePathFor(const ElementCatalogEntry& entry, int side)
{
    const QByteArray key = entry.absFolder.toUtf8() + '\n' + QByteArray::number(side);
    return ElementThumbnailCache::folder() + QLatin1Char('/')
        + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) + QStringLiteral(".png");
}

// A thumbnail kept on disk is ours, in the data folder: read and written
// only as a plain file there, so a link never leads a write out of it nor a
// read into someone's file, and a pipe never holds the window. What is in
// the way is named once, then drawn again for the session.
void nameRefusal(const QString& path, const QString& why)
{
    static QSet<QString> named;
    if (!why.isEmpty() && !named.contains(path)) {
        named.insert(path);
        qWarning().noquote() << "ElementThumbnailCache:" << why;
    }
}

// The thumbnail kept on disk when it was drawn from the same sources.
bool readKept(const QString& path, const QByteArray& stamp, QPixmap& pixmap)
{
    constexpr qint64 kThumbnailReadBound = 4 * 1024 * 1024;
    QByteArray bytes;
    QString why;
    if (!SafeRead::readFile(path, kThumbnailReadBound, &bytes, &why, appDataDir())) {
        if (FileEntries::kindOf(path) != FileEntries::Kind::Missing)
            nameRefusal(path, why);
        return false;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    if (reader.text(kStampKey).toUtf8() != stamp)
        return false;
    if (reader.text(kNoneKey) == QLatin1String("1")) {
        pixmap = QPixmap();
        return true;
    }
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    // Drawn opaque, so the PNG kept every pixel; back in the format it was
    // drawn in.
    pixmap = QPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    return true;
}

// Best effort: a thumbnail that cannot be written only costs the next open
// time. Not waited for on the disk: a cut-short file fails to decode and is
// only drawn again, so it is not worth a sync per thumbnail.
void writeKept(const QString& path, const QByteArray& stamp, const QPixmap& pixmap)
{
    QImage image = pixmap.isNull() ? QImage(1, 1, QImage::Format_ARGB32) : pixmap.toImage();
    if (pixmap.isNull()) {
        image.fill(Qt::transparent);
        image.setText(kNoneKey, QStringLiteral("1"));
    }
    image.setText(kStampKey, QString::fromUtf8(stamp));
    QByteArray png;
    QBuffer buffer(&png);
    // Light compression: a first open writes one file per element.
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG", 80))
        return;
    QString why;
    if (!FolderCopy::makeFolderWithin(appDataDir(), QFileInfo(path).absolutePath(), &why)
        || !writeCacheFileNoLink(path, png, appDataDir(), &why))
        nameRefusal(path, why);
}

} // namespace

namespace ElementThumbnailCache {

QPixmap thumbnail(const ElementCatalogEntry& entry, int side)
{
    const QByteArray stamp = sourceStamp(entry, side);
    auto kept = memory().constFind(entry.absFolder);
    if (kept != memory().constEnd() && kept->side == side && kept->stamp == stamp)
        return kept->pixmap;

    const QString path = filePathFor(entry, side);
    QPixmap pixmap;
    if (!readKept(path, stamp, pixmap)) {
        pixmap = renderElementThumbnail(entry, side);
        writeKept(path, stamp, pixmap);
    }
    memory().insert(entry.absFolder, Kept{side, stamp, pixmap});
    return pixmap;
}

QSize expectedSize(const ElementCatalogEntry& entry, int side)
{
    auto kept = memory().constFind(entry.absFolder);
    if (kept != memory().constEnd() && kept->side == side)
        return kept->pixmap.size();
    auto probed = sizes().constFind(entry.absFolder);
    if (probed != sizes().constEnd() && probed->side == side)
        return probed->size;
    const QSize size = elementThumbnailSize(entry, side);
    sizes().insert(entry.absFolder, KeptSize{side, size});
    return size;
}

QString folder()
{
    return QFileInfo(ElementCatalog::catalogPath()).absolutePath() + QStringLiteral("/thumbnails");
}

void clearMemory()
{
    memory().clear();
    sizes().clear();
}

} // namespace ElementThumbnailCache
