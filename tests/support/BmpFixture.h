#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// Windows bitmaps built in memory, in the 16-bit bit-field form RS3 ships
// (RGB565), with knobs to produce the hostile variants a reader must refuse.
namespace BmpFixture {

struct Options {
    quint16 bitsPerPixel = 16;
    quint32 compression = 3; // BI_BITFIELDS
    quint32 masks[3] = {0xF800, 0x07E0, 0x001F};
    bool topDown = false; // negative height in the header
    qint32 headerWidth = 0; // 0: the real width
    qint32 headerHeight = 0; // 0: the real (signed) height
    qint64 pixelOffset = -1; // header field only; pixels always follow the masks
    int dropTrailingBytes = 0; // cut the file short
    // 40: the plain info header with the masks after it, which the image
    // library reads itself. 56: the variant with the masks inside the header
    // (pixels after the alpha mask), which only our own decoders read.
    quint32 infoHeaderSize = 40;
};

// Rows are given top row first; pixels.size() must be width * height.
QByteArray rgb565(int width, int height, const QVector<quint16>& pixels, const Options& options = Options());

} // namespace BmpFixture
