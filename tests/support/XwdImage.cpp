#include "support/XwdImage.h"

#include <QtEndian>

namespace XwdImage {
namespace {

// The header is 25 big-endian 32-bit fields, then the window name.
enum Field {
    HeaderSize, FileVersion, PixmapFormat, PixmapDepth, PixmapWidth, PixmapHeight, XOffset, ByteOrder,
    BitmapUnit, BitmapBitOrder, BitmapPad, BitsPerPixel, BytesPerLine, VisualClass, RedMask, GreenMask,
    BlueMask, BitsPerRgb, ColormapEntries, NColors, FieldCount = 25
};
constexpr quint32 kZPixmap = 2;
constexpr quint32 kTrueColor = 4;
constexpr quint32 kDirectColor = 5;
constexpr qint64 kColorEntrySize = 12;
// Far beyond any screen a test starts; bounds what a damaged header may ask for.
constexpr quint32 kMaxSide = 16384;

QImage fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return {};
}

// One colour channel of a pixel: where its bits sit and how many there are.
struct Channel {
    explicit Channel(quint32 m)
        : mask(m)
    {
        while (m && !(m & 1u)) {
            m >>= 1;
            ++shift;
        }
        while (m & 1u) {
            m >>= 1;
            ++bits;
        }
    }
    int of(quint32 pixel) const
    {
        if (bits == 0 || bits > 16)
            return 0;
        const quint32 top = (1u << bits) - 1u;
        return int(((pixel & mask) >> shift) * 255u / top);
    }
    quint32 mask;
    int shift = 0;
    int bits = 0;
};

quint32 pixelAt(const uchar* p, int bytes, bool msbFirst)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= quint32(p[msbFirst ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
    return v;
}

} // namespace

QImage read(const QByteArray& data, QString* error)
{
    if (data.size() < FieldCount * 4)
        return fail(error, QStringLiteral("shorter than an XWD header"));
    quint32 h[FieldCount];
    for (int i = 0; i < FieldCount; ++i)
        h[i] = qFromBigEndian<quint32>(data.constData() + 4 * i);
    if (h[FileVersion] != 7)
        return fail(error, QStringLiteral("XWD version %1, not 7").arg(h[FileVersion]));
    if (h[PixmapFormat] != kZPixmap || (h[VisualClass] != kTrueColor && h[VisualClass] != kDirectColor))
        return fail(error, QStringLiteral("not a true-colour ZPixmap dump"));
    const quint32 width = h[PixmapWidth];
    const quint32 height = h[PixmapHeight];
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return fail(error, QStringLiteral("image of %1 x %2").arg(width).arg(height));
    // xwd of a 24-bit screen packs three bytes a pixel but keeps the row
    // length of the server's four-byte image: rows end in padding.
    if (h[BitsPerPixel] != 24 && h[BitsPerPixel] != 32)
        return fail(error, QStringLiteral("%1 bits per pixel").arg(h[BitsPerPixel]));
    const qint64 bytesPerPixel = h[BitsPerPixel] / 8;
    const qint64 stride = h[BytesPerLine];
    if (stride < bytesPerPixel * qint64(width))
        return fail(error, QStringLiteral("rows of %1 bytes for %2 pixels").arg(stride).arg(width));
    const qint64 pixels = qint64(h[HeaderSize]) + qint64(h[NColors]) * kColorEntrySize;
    if (h[HeaderSize] < FieldCount * 4 || pixels + stride * qint64(height) > data.size())
        return fail(error, QStringLiteral("truncated: %1 bytes").arg(data.size()));

    const bool msbFirst = h[ByteOrder] != 0;
    const Channel red(h[RedMask]), green(h[GreenMask]), blue(h[BlueMask]);
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (quint32 y = 0; y < height; ++y) {
        const uchar* row = reinterpret_cast<const uchar*>(data.constData()) + pixels + stride * qint64(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (quint32 x = 0; x < width; ++x) {
            const quint32 v = pixelAt(row + bytesPerPixel * x, int(bytesPerPixel), msbFirst);
            out[x] = qRgb(red.of(v), green.of(v), blue.of(v));
        }
    }
    return image;
}

} // namespace XwdImage
