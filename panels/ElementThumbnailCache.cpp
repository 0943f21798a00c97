#include "panels/ElementThumbnailCache.h"

#include "model/PathGuard.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementThumbnail.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QFile>

#include <filesystem>
#include <system_error>

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
    std::error_code error;
    const std::filesystem::path native(path.toStdU16String());
    const auto size = path.isEmpty() ? std::uintmax_t(-1) : std::filesystem::file_size(native, error);
    if (path.isEmpty() || error) {
        stamp += ":-;";
        return;
    }
    const auto time = std::filesystem::last_write_time(native, error);
    stamp += ':' + QByteArray::number(qulonglong(size)) + ':'
        + QByteArray::number(qlonglong(error ? 0 : time.time_since_epoch().count())) + ';';
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

// The thumbnail kept on disk when it was drawn from the same sources.
bool readKept(const QString& path, const QByteArray& stamp, QPixmap& pixmap)
{
    QImageReader reader(path, "png");
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
// time.
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
    // Written in place without a sync: a cut-short file fails to decode and
    // is only drawn again, so it is not worth a sync per thumbnail.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
    }
    if (file.write(png) != png.size())
        file.remove();
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
