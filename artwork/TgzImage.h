#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// RS3's ".tgz" artwork format (mask.tgz, bkg.tgz): not a tar nor gzip, but
// one zlib stream whose inflated bytes are an uncompressed 16-bit TGA. The
// 18-byte header is fixed apart from the size; pixels are ARGB1555 words,
// little-endian, top row first, with no padding, no ID, no colour map and no
// footer. The device knows only a one-bit alpha.
class TgzImage {
public:
    // Largest width or height the 16-bit header fields can carry.
    static constexpr int kMaxSide = 65535;
    // Largest inflated stream the decoder accepts (header plus pixels).
    static constexpr qint64 kMaxInflatedBytes = 64LL * 1024 * 1024;
    static constexpr int kHeaderBytes = 18;

    // The picture as ".tgz" bytes; alpha 128 or more is kept as opaque.
    // Empty for a null picture, a side below 1 or above kMaxSide, or a
    // compression failure.
    static QByteArray encode(const QImage& image);

    // The picture in Format_ARGB32 (alpha 0 or 255, colour kept under
    // transparent pixels); a null image for anything that is not exactly one
    // well-formed stream of header plus pixels within the size budget.
    static QImage decode(const QByteArray& bytes);

    // As decode, from a file; a null image when it cannot be read.
    static QImage decodeFile(const QString& path);
};

// PNG bytes as an always-opaque ".tgz" of width x height (stretched when the
// PNG has another size): the page background the device paints.
QByteArray encodeBkgTgzFromPng(const QByteArray& pngBytes, int width, int height);

// encodeBkgTgzFromPng from a PNG file into a ".tgz" file; true when every
// byte was written.
bool generateBkgTgz(const QString& pngPath, const QString& tgzPath, int width, int height);
