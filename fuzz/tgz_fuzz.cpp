// Feeds arbitrary bytes to the ".tgz" decoder. Any picture it returns must be
// a well-formed ARGB32 image with one-bit alpha whose size matches the input's
// header; anything else must come back as a null image without a crash, a
// leak or an allocation beyond the decoder's budget.

#include "artwork/TgzImage.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <zlib.h>

namespace {

// Random bytes almost never pass zlib's checksums, so half of the inputs are
// taken as the inflated TGA itself and wrapped in a valid stream first: that
// way the header, size and length checks behind the inflate get explored too.
QByteArray streamFor(const uint8_t* data, size_t size)
{
    if (size == 0 || (data[0] & 1) == 0)
        return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    uLongf len = compressBound(uLong(size - 1));
    QByteArray out(qsizetype(len), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &len, data + 1, uLong(size - 1), Z_DEFAULT_COMPRESSION) != Z_OK)
        return {};
    out.resize(qsizetype(len));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QImage image = TgzImage::decode(streamFor(data, size));
    if (image.isNull())
        return 0;
    if (image.format() != QImage::Format_ARGB32 || image.width() < 1 || image.height() < 1
        || image.width() > TgzImage::kMaxSide || image.height() > TgzImage::kMaxSide)
        std::abort();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(line[x]);
            if (a != 0 && a != 255)
                std::abort();
        }
    }
    // What decodes must encode again to the same picture.
    if (TgzImage::decode(TgzImage::encode(image)) != image)
        std::abort();
    return 0;
}
