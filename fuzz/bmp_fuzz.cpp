// Feeds arbitrary bytes to the canvas image loader as a ".bmp" file, which
// falls back to its own decoder for the 16-bit bitfield bitmaps that Qt does
// not read. Whatever comes back must be a null image or one whose pixels can
// all be read.

#include "FuzzEnvironment.h"

#include "canvas/DashCanvas.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = FuzzEnvironment::filePath(QStringLiteral("image.bmp"));
    if (!FuzzEnvironment::writeFile(path, reinterpret_cast<const char*>(data), size))
        return 0;
    const QImage image = DashCanvas::loadImage(path);
    if (image.isNull())
        return 0;
    if (image.width() < 1 || image.height() < 1)
        std::abort();
    // Touch the first and last pixel of every row, so that a picture whose
    // buffer is shorter than its size claims shows up under ASan.
    static volatile quint64 sink = 0;
    for (int y = 0; y < image.height(); ++y)
        sink = sink + (image.pixel(image.width() - 1, y) ^ image.pixel(0, y));
    return 0;
}
