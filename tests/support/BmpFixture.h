#pragma once

#include <QByteArray>
#include <QVector>

// Builds 16-bit bit-field Windows bitmaps the way RS3 writes its artwork:
// a 56-byte info header (the variant with masks inside the header, which
// the image library does not read), masks at byte 54, rows padded to four
// bytes. Tests corrupt the result with the patch helpers.
namespace BmpFixture {

struct Masks {
    quint32 red = 0xF800;
    quint32 green = 0x07E0;
    quint32 blue = 0x001F;
};

// pixels: width * |height| values, top row first; a positive height stores
// the rows bottom-up as usual, a negative one top-down.
QByteArray bitfield16(int width, int height, const QVector<quint16>& pixels, const Masks& masks = Masks());

// Little-endian overwrite of a header field.
void patch16(QByteArray& bmp, int offset, quint16 value);
void patch32(QByteArray& bmp, int offset, quint32 value);

} // namespace BmpFixture
