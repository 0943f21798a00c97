#include "canvas/DashCanvas.h"

#include "artwork/ArtworkFiles.h"
#include "model/ArchiveIndex.h"
#include "model/FolderCopy.h"

#include "model/XmlParams.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QSet>
#include <QtEndian>
#include <cstring>

namespace {

// Channel extraction of a 16-bit bit-field pixel: the masked bits scaled to
// 0..255 with rounding. All in 64 bits, so a wide mask cannot overflow.
struct BitfieldChannel {
    quint64 mask = 0;
    int shift = 0;
    quint64 max = 1;

    explicit BitfieldChannel(quint32 m)
        : mask(m)
        , shift(int(qCountTrailingZeroBits(m)))
        , max((quint64(1) << qPopulationCount(m)) - 1)
    {
    }
    int value(quint32 v) const { return int((((v & mask) >> shift) * 255 + max / 2) / max); }
};

// RS3 writes 16-bit BMPs with bit-field masks that the image library does
// not read. Every offset comes from the file, so every read is checked
// against its size before it happens.
QImage decodeBitfieldBmp(const QByteArray& data)
{
    const qint64 size = data.size();
    if (size < 70)
        return {};
    const uchar* bytes = reinterpret_cast<const uchar*>(data.constData());
    const auto u16 = [bytes](qint64 at) { return quint32(qFromLittleEndian<quint16>(bytes + at)); };
    const auto u32 = [bytes](qint64 at) { return qFromLittleEndian<quint32>(bytes + at); };

    if (bytes[0] != 'B' || bytes[1] != 'M')
        return {};
    const qint64 offset = u32(10);
    const qint64 width = qint32(u32(18));
    const qint64 height = qint32(u32(22));
    if (u16(28) != 16 || u32(30) != 3)
        return {};
    const quint32 masks[3] = { u32(54), u32(58), u32(62) };
    const qint64 rows = height < 0 ? -height : height;
    if (width < 1 || width > 8192 || rows < 1 || rows > 8192)
        return {};
    if (masks[0] == 0 || masks[1] == 0 || masks[2] == 0)
        return {};

    const qint64 stride = ((width * 16 + 31) / 32) * 4;
    // Pixel data may not overlap the header and masks, and must be complete.
    if (offset < 66 || offset + stride * rows > size)
        return {};

    const BitfieldChannel red(masks[0]);
    const BitfieldChannel green(masks[1]);
    const BitfieldChannel blue(masks[2]);
    QImage image(int(width), int(rows), QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    for (qint64 y = 0; y < rows; ++y) {
        const qint64 stored = height > 0 ? rows - 1 - y : y;
        const qint64 rowStart = offset + stored * stride;
        if (rowStart < 0 || rowStart + width * 2 > size)
            return {};
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x) {
            const quint32 v = u16(rowStart + x * 2);
            const int r = red.value(v);
            const int g = green.value(v);
            const int b = blue.value(v);
            // Pure black is RS3's transparent colour.
            line[x] = qRgba(r, g, b, (r | g | b) ? 255 : 0);
        }
    }
    return image;
}

// A picture's bytes: a plain file only, never a symbolic link (whatever it
// points at, a pipe would hold the window forever) nor a device, within
// the art bound. What is refused is named once per path: the canvas keeps
// failed loads, so the same path is not tried again until its caches go.
bool readPicture(const QString& path, qint64 bound, QByteArray* bytes)
{
    if (FolderCopy::readRegularFile(path, bound, bytes))
        return true;
    static QSet<QString> named;
    const QFileInfo info(path);
    if ((info.exists() || info.isSymLink()) && !named.contains(path)) {
        named.insert(path);
        const char* why = "it cannot be read";
        if (info.isSymLink())
            why = "it is a symbolic link";
        else if (!FolderCopy::isRegularFile(path))
            why = "it is not a regular file";
        else if (info.size() > bound)
            why = "it is too large to be a picture";
        qWarning().noquote() << "[DashCanvas] not loaded:" << path << "-" << why;
    }
    return false;
}

QImage pictureFrom(const QString& path)
{
    QByteArray bytes;
    if (!readPicture(path, kArtFileReadBound, &bytes))
        return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // The name's suffix guides the decoder as it would for the file itself.
    QImageReader reader(&buffer, QFileInfo(path).suffix().toLower().toLatin1());
    return reader.read();
}

} // namespace

QImage DashCanvas::decodedImage(const QString& path)
{
    struct Decoded {
        FileStamp stamp;
        QImage image;
    };
    // Edits empty the canvas's own caches; the pictures on disk mostly stay
    // as they are, so decoding them again is what this saves.
    static QHash<QString, Decoded> cache;
    static qint64 cachedBytes = 0;
    constexpr qint64 kMaxCachedBytes = qint64(256) * 1024 * 1024;
    const FileStamp stamp = FileStamp::of(path);
    if (!stamp.isValid())
        return pictureFrom(path);
    const auto hit = cache.constFind(path);
    if (hit != cache.constEnd() && hit->stamp == stamp)
        return hit->image;
    QImage image = pictureFrom(path);
    if (hit != cache.constEnd())
        cachedBytes -= hit->image.sizeInBytes();
    if (cachedBytes + image.sizeInBytes() > kMaxCachedBytes) {
        cache.clear();
        cachedBytes = 0;
    }
    cache.insert(path, {stamp, image});
    cachedBytes += image.sizeInBytes();
    return image;
}

QImage DashCanvas::loadImage(const QString& path)
{
    QImage image = decodedImage(path);
    if (!image.isNull())
        return image;
    // The largest bitmap the decoder accepts (8192 x 8192 at 2 bytes) plus
    // headroom; anything bigger is not read into memory at all.
    constexpr qint64 kMaxBmpBytes = qint64(160) * 1024 * 1024;
    QByteArray bytes;
    if (!readPicture(path, kMaxBmpBytes, &bytes))
        return {};
    return decodeBitfieldBmp(bytes);
}

bool DashCanvas::parseColor(const char* text, QColor& colour)
{
    if (!text || !*text)
        return false;
    const QString t = QString::fromUtf8(text).trimmed();
    bool ok = false;
    quint32 v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toUInt(&ok, 16);
    else
        v = t.toUInt(&ok, 10);
    if (!ok)
        return false;
    colour = QColor::fromRgba(v);
    return true;
}

bool DashCanvas::isBargraph(pugi::xml_node node)
{
    return node && (hasClass(node, "Bargraph") || hasClass(node, "BargraphTrapezio"));
}

pugi::xml_node DashCanvas::findChosenElement(pugi::xml_node parent, const char* className)
{
    const QByteArray chosen = paramValue(parent, "SCELTA_UTENTE").toUtf8();
    pugi::xml_node first;
    for (pugi::xml_node e = parent.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, className))
            continue;
        if (!first)
            first = e;
        if (!chosen.isEmpty() && chosen == e.attribute("i").value())
            return e;
    }
    return first;
}

QString DashCanvas::channelKey(const QString& name)
{
    QString key;
    key.reserve(name.size());
    for (const char32_t c : name.toUcs4()) {
        if (QChar::isLetterOrNumber(c))
            key += QString::fromUcs4(&c, 1).toLower();
    }
    return key;
}

QString DashCanvas::paramValue(pugi::xml_node node, const char* name)
{
    for (pugi::xml_node p = node.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0) {
            const QString text = QString::fromUtf8(p.text().get());
            return text.isNull() ? QString(QLatin1String("")) : text;
        }
    }
    return QString();
}
