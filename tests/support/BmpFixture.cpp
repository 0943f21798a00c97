#include "support/BmpFixture.h"

#include <QtEndian>

namespace BmpFixture {
namespace {

void put16(QByteArray& d, int off, quint16 v)
{
    qToLittleEndian(v, d.data() + off);
}

void put32(QByteArray& d, int off, quint32 v)
{
    qToLittleEndian(v, d.data() + off);
}

} // namespace

QByteArray rgb565(int width, int height, const QVector<quint16>& pixels, const Options& o)
{
    const int headerBytes = o.infoHeaderSize > 52 ? 14 + int(o.infoHeaderSize) : 14 + 40 + 12;
    const int stride = ((width * 16 + 31) / 32) * 4;
    const qint64 offset = o.pixelOffset >= 0 ? o.pixelOffset : headerBytes;
    QByteArray d(headerBytes + stride * height, '\0');
    d[0] = 'B';
    d[1] = 'M';
    put32(d, 2, quint32(d.size()));
    put32(d, 10, quint32(offset));
    put32(d, 14, o.infoHeaderSize);
    put32(d, 18, quint32(o.headerWidth ? o.headerWidth : width));
    const qint32 h = o.headerHeight ? o.headerHeight : (o.topDown ? -height : height);
    put32(d, 22, quint32(h));
    put16(d, 26, 1);
    put16(d, 28, o.bitsPerPixel);
    put32(d, 30, o.compression);
    put32(d, 34, quint32(stride * height));
    put32(d, 54, o.masks[0]);
    put32(d, 58, o.masks[1]);
    put32(d, 62, o.masks[2]);
    const int dataStart = headerBytes;
    for (int row = 0; row < height; ++row) {
        // Bottom-up files store the bottom row first.
        const int fileRow = o.topDown ? row : height - 1 - row;
        for (int x = 0; x < width; ++x)
            put16(d, dataStart + fileRow * stride + 2 * x, pixels.value(row * width + x));
    }
    if (o.dropTrailingBytes > 0)
        d.chop(qMin(o.dropTrailingBytes, int(d.size())));
    return d;
}

} // namespace BmpFixture
