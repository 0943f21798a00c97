// Encodes and decodes an 800x480 dash page in the ".tgz" format and prints
// how long that takes relative to plain zlib on the same bytes: decode
// against uncompress() of the same stream, encode against compress2() of the
// same uncompressed TGA. Both sides are measured in this run, so the ratios
// compare like with like on any machine.

#include "artwork/BoxStyleLibrary.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/TgzImage.h"
#include "bench/InterleavedMedians.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <zlib.h>

namespace {

constexpr int kRounds = 9;
constexpr int kIterations = 20;

// A page like the ones the editor writes: a gradient background with styled
// value boxes, captions and a multi-value panel.
QImage makePage()
{
    QImage page(800, 480, QImage::Format_ARGB32);
    QPainter p(&page);
    QLinearGradient bg(0, 0, 0, 480);
    bg.setColorAt(0, QColor(10, 14, 20));
    bg.setColorAt(1, QColor(40, 48, 60));
    p.fillRect(page.rect(), bg);
    const QList<BoxStyle>& styles = BoxStyleLibrary::catalogue();
    for (int i = 0; i < 12; ++i) {
        const BoxStyle& s = styles.at(1 + i % (styles.size() - 1));
        const QImage box = BoxStyleRenderer::render(QSize(180, 90), s.id, QColor(255, 120, 0), 0,
                                                    i % 2 ? QStringLiteral("OIL T") : QString(), QColor());
        p.drawImage(20 + (i % 4) * 195, 20 + (i / 4) * 105, box);
    }
    p.drawImage(20, 340, BoxStyleRenderer::renderMultiBox(QSize(760, 120), QStringLiteral("panel_outline"),
                                                          QColor(), 2, 4, true, 0, QStringLiteral("LAP"), QColor()));
    return page;
}

// Warmed up with a round's worth of calls of each.
Medians medians(const std::function<void()>& ours, const std::function<void()>& zlib)
{
    return interleavedMedians(ours, zlib, kRounds, kIterations, kIterations);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QImage page = makePage();
    const QByteArray tgz = TgzImage::encode(page);
    if (tgz.isEmpty()) {
        std::fprintf(stderr, "tgz_bench: encoding the page failed\n");
        return 1;
    }
    QByteArray raw(TgzImage::kHeaderBytes + 800 * 480 * 2, Qt::Uninitialized);
    uLongf rawLen = uLongf(raw.size());
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawLen, reinterpret_cast<const Bytef*>(tgz.constData()),
                   uLong(tgz.size())) != Z_OK
        || rawLen != uLongf(raw.size())) {
        std::fprintf(stderr, "tgz_bench: the page does not inflate to its TGA size\n");
        return 1;
    }
    if (TgzImage::decode(tgz).size() != page.size()) {
        std::fprintf(stderr, "tgz_bench: the page does not decode\n");
        return 1;
    }

    quint64 sink = 0;
    QByteArray inflated(raw.size(), Qt::Uninitialized);
    const Medians decode = medians([&] { sink += TgzImage::decode(tgz).pixel(799, 479); },
                                              [&] {
                                                  uLongf len = uLongf(inflated.size());
                                                  uncompress(reinterpret_cast<Bytef*>(inflated.data()), &len,
                                                             reinterpret_cast<const Bytef*>(tgz.constData()),
                                                             uLong(tgz.size()));
                                                  sink += uchar(inflated[qsizetype(len) - 1]);
                                              });
    QByteArray deflated(qsizetype(compressBound(uLong(raw.size()))), Qt::Uninitialized);
    const Medians encode = medians([&] { sink += uint(TgzImage::encode(page).size()); },
                                              [&] {
                                                  uLongf len = uLongf(deflated.size());
                                                  compress2(reinterpret_cast<Bytef*>(deflated.data()), &len,
                                                            reinterpret_cast<const Bytef*>(raw.constData()),
                                                            uLong(raw.size()), Z_DEFAULT_COMPRESSION);
                                                  sink += len;
                                              });
    const double decodeNs = decode.ours;
    const double uncompressNs = decode.base;
    const double encodeNs = encode.ours;
    const double compressNs = encode.base;

    std::printf("tgz_bench: 800x480 page, %lld bytes of TGA, %lld bytes of .tgz\n",
                static_cast<long long>(raw.size()), static_cast<long long>(tgz.size()));
    std::printf("decode   %9.1f us   zlib uncompress %9.1f us   ratio %.2f   goal <= 1.25\n", decodeNs / 1000.0,
                uncompressNs / 1000.0, decodeNs / uncompressNs);
    std::printf("encode   %9.1f us   zlib compress2  %9.1f us   ratio %.2f\n", encodeNs / 1000.0,
                compressNs / 1000.0, encodeNs / compressNs);
    std::printf("(checksum %llu)\n", static_cast<unsigned long long>(sink));
    return 0;
}
