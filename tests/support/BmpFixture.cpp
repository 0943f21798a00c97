#include "support/BmpFixture.h"

#include <QtEndian>
#include <cstdlib>

namespace BmpFixture {

namespace {

void append16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void append32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

QByteArray bitfield16(int width, int height, const QVector<quint16>& pixels, const Masks& masks)
{
    const int rows = std::abs(height);
    const int stride = ((width * 16 + 31) / 32) * 4;
    const int headerSize = 56;
    const int offset = 14 + headerSize;

    QByteArray data;
    for (int i = 0; i < rows; ++i) {
        const int row = height > 0 ? rows - 1 - i : i;
        QByteArray line;
        for (int x = 0; x < width; ++x)
            append16(line, pixels.value(row * width + x));
        line.append(QByteArray(stride - line.size(), '\0'));
        data += line;
    }

    QByteArray out("BM");
    append32(out, quint32(offset + data.size()));
    append32(out, 0);
    append32(out, quint32(offset));
    append32(out, quint32(headerSize));
    append32(out, quint32(width));
    append32(out, quint32(height));
    append16(out, 1);
    append16(out, 16);
    append32(out, 3); // bit fields
    append32(out, quint32(data.size()));
    append32(out, 2835);
    append32(out, 2835);
    append32(out, 0);
    append32(out, 0);
    append32(out, masks.red);
    append32(out, masks.green);
    append32(out, masks.blue);
    append32(out, 0); // alpha mask
    return out + data;
}

void patch16(QByteArray& bmp, int offset, quint16 value)
{
    qToLittleEndian(value, bmp.data() + offset);
}

void patch32(QByteArray& bmp, int offset, quint32 value)
{
    qToLittleEndian(value, bmp.data() + offset);
}

} // namespace BmpFixture
