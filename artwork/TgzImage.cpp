#include "artwork/TgzImage.h"
#include "artwork/ArtworkFiles.h"
#include "model/FolderCopy.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSize>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>
#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Uncompressed true-colour, 16 bits per pixel, one alpha bit, top row first.
// Bytes 12..15 take the size.
constexpr uchar kHeaderTemplate[TgzImage::kHeaderBytes] = {
    0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0x21};

// Output window of one inflate pass.
constexpr qint64 kInflateChunk = 256 * 1024;

// zlib counts in uInt; feed and drain it in pieces that always fit.
constexpr qint64 kMaxZlibSpan = qint64(1) << 30;

enum class AlphaRule { Threshold, Opaque };

bool sideFits(qint64 side)
{
    return side >= 1 && side <= TgzImage::kMaxSide;
}

QImage asArgb32(const QImage& image)
{
    return image.format() == QImage::Format_ARGB32 ? image
                                                   : image.convertToFormat(QImage::Format_ARGB32);
}

// Header plus ARGB1555 words for an ARGB32 picture whose size already passed
// sideFits. Empty when the raw stream cannot be handed to zlib in one piece.
QByteArray packTga(const QImage& argb, AlphaRule rule)
{
    const qint64 w = argb.width();
    const qint64 h = argb.height();
    const qint64 rawSize = TgzImage::kHeaderBytes + w * h * 2;
    if (quint64(rawSize) > quint64(std::numeric_limits<uLong>::max())
        || rawSize > qint64(std::numeric_limits<qsizetype>::max()))
        return {};

    QByteArray raw(qsizetype(rawSize), Qt::Uninitialized);
    uchar* out = reinterpret_cast<uchar*>(raw.data());
    std::memcpy(out, kHeaderTemplate, sizeof kHeaderTemplate);
    out[12] = uchar(w & 0xff);
    out[13] = uchar(w >> 8);
    out[14] = uchar(h & 0xff);
    out[15] = uchar(h >> 8);

    uchar* px = out + TgzImage::kHeaderBytes;
    const bool opaque = rule == AlphaRule::Opaque;
    for (qint64 y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(int(y)));
        for (qint64 x = 0; x < w; ++x) {
            const QRgb p = line[x];
            const bool on = opaque || qAlpha(p) >= 128;
            const quint16 word = quint16((on ? 0x8000 : 0) | ((qRed(p) >> 3) << 10)
                                         | ((qGreen(p) >> 3) << 5) | (qBlue(p) >> 3));
            *px++ = uchar(word & 0xff);
            *px++ = uchar(word >> 8);
        }
    }
    return raw;
}

// compress2 at zlib's default level into a buffer sized once by compressBound.
QByteArray deflateRaw(const QByteArray& raw, int* rcOut)
{
    *rcOut = Z_OK;
    const uLong rawLen = uLong(raw.size());
    const uLong bound = compressBound(rawLen);
    if (bound < rawLen || quint64(bound) > quint64(std::numeric_limits<qsizetype>::max())) {
        *rcOut = Z_BUF_ERROR;
        return {};
    }
    QByteArray out(qsizetype(bound), Qt::Uninitialized);
    uLongf outLen = bound;
    const int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &outLen,
                             reinterpret_cast<const Bytef*>(raw.constData()), rawLen,
                             Z_DEFAULT_COMPRESSION);
    *rcOut = rc;
    if (rc != Z_OK)
        return {};
    out.resize(qsizetype(outLen));
    return out;
}

// One zlib-wrapped stream (gzip and raw DEFLATE are refused by inflateInit's
// header check), read as a sequence of exact-length pieces.
class ZlibReader {
public:
    explicit ZlibReader(const QByteArray& input)
        : m_next(reinterpret_cast<const uchar*>(input.constData())), m_left(input.size())
    {
        std::memset(&m_zs, 0, sizeof m_zs);
        m_initialised = inflateInit(&m_zs) == Z_OK;
        m_rc = m_initialised ? Z_OK : Z_STREAM_ERROR;
    }
    ~ZlibReader()
    {
        if (m_initialised)
            inflateEnd(&m_zs);
    }
    ZlibReader(const ZlibReader&) = delete;
    ZlibReader& operator=(const ZlibReader&) = delete;

    bool initialised() const { return m_initialised; }

    // Fills out[0..n) as far as the stream goes; stops early at the end of
    // the stream, on any zlib error, Z_NEED_DICT, or when the input runs out.
    qint64 read(uchar* out, qint64 n)
    {
        qint64 done = 0;
        while (done < n && m_rc == Z_OK) {
            if (m_zs.avail_in == 0 && m_left > 0) {
                const qint64 span = std::min(m_left, kMaxZlibSpan);
                m_zs.next_in = const_cast<Bytef*>(m_next);
                m_zs.avail_in = uInt(span);
                m_next += span;
                m_left -= span;
            }
            const qint64 window = std::min(n - done, kMaxZlibSpan);
            m_zs.next_out = out + done;
            m_zs.avail_out = uInt(window);
            m_rc = inflate(&m_zs, Z_NO_FLUSH);
            done += window - qint64(m_zs.avail_out);
        }
        return done;
    }

    // True when the stream ends exactly at the current position: neither
    // truncated nor followed by further inflated bytes.
    bool endsHere()
    {
        if (m_rc == Z_OK) {
            uchar extra = 0;
            if (read(&extra, 1) != 0)
                return false;
        }
        return m_rc == Z_STREAM_END;
    }

private:
    z_stream m_zs;
    const uchar* m_next;
    qint64 m_left;
    bool m_initialised = false;
    int m_rc = Z_OK;
};

// Every ARGB1555 word as a non-premultiplied ARGB32 pixel: alpha 0 or 255,
// each 5-bit channel widened with its top bits repeated (0 -> 0, 31 -> 255).
// Plain arithmetic, so eight words at a time can share the instructions
// where a table look-up per pixel could not.
inline QRgb argbForWord(uint word)
{
    const uint r = (word >> 10) & 0x1f;
    const uint g = (word >> 5) & 0x1f;
    const uint b = word & 0x1f;
    const uint alpha = 0u - (word >> 15); // all ones when the bit is set
    return (alpha << 24) | (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
}

#if defined(__SSE2__)
// Eight words into eight pixels, the same values as argbForWord: a 5-bit
// channel c widened is c * 33 / 4 rounded down, which one multiplication
// gives while the channel still sits at its place in the word.
inline void widenEight(const uchar* src, QRgb* dst)
{
    const __m128i word = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    // (r << 10) * 528 >> 16 = r * 33 / 4
    const __m128i r = _mm_mulhi_epu16(_mm_and_si128(word, _mm_set1_epi16(0x7c00)), _mm_set1_epi16(528));
    // (g << 5) * 66 = (g * 33 / 4) << 8 plus bits below the byte
    const __m128i g = _mm_and_si128(_mm_mullo_epi16(_mm_and_si128(word, _mm_set1_epi16(0x03e0)), _mm_set1_epi16(66)),
                                    _mm_set1_epi16(short(0xff00)));
    const __m128i b = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(word, _mm_set1_epi16(0x1f)), _mm_set1_epi16(33)), 2);
    const __m128i alpha = _mm_and_si128(_mm_srai_epi16(word, 15), _mm_set1_epi16(short(0xff00)));
    const __m128i low = _mm_or_si128(g, b);      // g:b
    const __m128i high = _mm_or_si128(alpha, r); // a:r
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi16(low, high));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4), _mm_unpackhi_epi16(low, high));
}
#endif

// Widens n little-endian words at src into pixels at dst. dst may start at or
// before src in the same buffer when the words fill its back half (2n bytes
// from dst + n): eight pixels then end where the ninth word begins, and each
// eight words are loaded before their pixels are stored.
void widenWords(const uchar* src, QRgb* dst, qint64 n)
{
    qint64 i = 0;
#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    for (; i + 8 <= n; i += 8)
        widenEight(src + 2 * i, dst + i);
#endif
    for (; i < n; ++i)
        dst[i] = argbForWord(uint(src[2 * i]) | (uint(src[2 * i + 1]) << 8));
}

// The inflated pixel words. Memory follows the data actually inflated: a
// small first block, doubled as the stream delivers more, never beyond what
// the header promised (which is already within the budget). A few bytes of
// hostile input therefore cannot make the decoder allocate the promise.
class PixelBuffer {
public:
    explicit PixelBuffer(qint64 promised) : m_promised(promised) {}

    // Room for want bytes at offset have; null when it cannot be had.
    uchar* reserveFor(qint64 have, qint64 want)
    {
        const qint64 need = have + want;
        if (need > m_capacity) {
            const qint64 grown = std::min(m_promised, std::max(need, std::max(kFirstBlock, m_capacity * 2)));
            std::unique_ptr<uchar[]> bigger(new (std::nothrow) uchar[size_t(grown)]);
            if (!bigger)
                return nullptr;
            if (have > 0)
                std::memcpy(bigger.get(), m_data.get(), size_t(have));
            m_data = std::move(bigger);
            m_capacity = grown;
        }
        return m_data.get() + have;
    }
    const uchar* data() const { return m_data.get(); }

private:
    static constexpr qint64 kFirstBlock = 4 * 1024 * 1024;
    qint64 m_promised;
    qint64 m_capacity = 0;
    std::unique_ptr<uchar[]> m_data;
};

// Words of a picture of at most this many bytes are inflated into its image.
constexpr qint64 kDirectBytes = 2 * 1024 * 1024;

QImage decodeInPlace(ZlibReader& reader, int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const qint64 count = qint64(w) * h;
    // ARGB32 lines hold exactly 4 * w bytes, so the pixels are one run.
    uchar* bits = image.bits();
    uchar* words = bits + 2 * count;
    if (reader.read(words, 2 * count) != 2 * count || !reader.endsHere())
        return {};
    widenWords(words, reinterpret_cast<QRgb*>(bits), count);
    return image;
}

} // namespace

QByteArray TgzImage::encode(const QImage& image)
{
    if (image.isNull() || !sideFits(image.width()) || !sideFits(image.height()))
        return {};
    const QByteArray raw = packTga(asArgb32(image), AlphaRule::Threshold);
    if (raw.isEmpty())
        return {};
    int rc = Z_OK;
    return deflateRaw(raw, &rc);
}

QImage TgzImage::decode(const QByteArray& bytes)
{
    if (bytes.size() < 8)
        return {};
    ZlibReader reader(bytes);
    if (!reader.initialised())
        return {};

    uchar header[kHeaderBytes];
    if (reader.read(header, kHeaderBytes) != kHeaderBytes)
        return {};
    const int w = header[12] | (header[13] << 8);
    const int h = header[14] | (header[15] << 8);
    if (w == 0 || h == 0)
        return {};
    // The header's promise is checked against the budget before anything of
    // that size is allocated; the buffer then grows only as data arrives.
    const qint64 pixelBytes = qint64(w) * qint64(h) * 2;
    if (kHeaderBytes + pixelBytes > kMaxInflatedBytes)
        return {};

    // A picture up to the first block of the growing buffer is inflated
    // straight into the back half of its own image and widened in place:
    // no second buffer, no copy. Larger ones keep to memory that follows the
    // data actually inflated.
    if (pixelBytes <= kDirectBytes)
        return decodeInPlace(reader, w, h);

    PixelBuffer pixels(pixelBytes);
    qint64 have = 0;
    while (have < pixelBytes) {
        const qint64 want = std::min(kInflateChunk, pixelBytes - have);
        uchar* dest = pixels.reserveFor(have, want);
        if (!dest)
            return {};
        const qint64 got = reader.read(dest, want);
        have += got;
        if (got < want)
            return {};
    }
    if (!reader.endsHere())
        return {};

    QImage image(w, h, QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const uchar* src = pixels.data();
    for (int y = 0; y < h; ++y, src += 2 * qint64(w))
        widenWords(src, reinterpret_cast<QRgb*>(image.scanLine(y)), w);
    return image;
}

QImage TgzImage::decodeFile(const QString& path)
{
    // No valid stream within the inflate budget is longer than this, so a
    // larger file is never read whole into memory; a link or a pipe is no
    // picture of an install.
    const qint64 maxStream = qint64(compressBound(uLong(kMaxInflatedBytes))) + 64 * 1024;
    QByteArray bytes;
    if (!FolderCopy::readRegularFile(path, maxStream, &bytes))
        return {};
    return decode(bytes);
}

QByteArray encodeBkgTgzFromPng(const QByteArray& pngBytes, int width, int height)
{
    // A background the decoder could not read back is refused before any
    // picture of that size is allocated.
    const bool dimsOk = sideFits(width) && sideFits(height)
        && TgzImage::kHeaderBytes + qint64(width) * qint64(height) * 2 <= TgzImage::kMaxInflatedBytes;
    if (pngBytes.isEmpty() || !dimsOk) {
        qWarning() << "encodeBkgTgzFromPng: bad input (pngBytes empty or bad dims)";
        return {};
    }
    QImage image;
    if (!image.loadFromData(pngBytes, "PNG")) {
        qWarning() << "encodeBkgTgzFromPng: QImage::loadFromData PNG decode failed";
        return {};
    }
    const QSize target(width, height);
    if (image.size() != target) {
        qWarning() << "encodeBkgTgzFromPng: resizing PNG from" << image.size() << "to" << target;
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (image.size() != target) {
            qWarning() << "encodeBkgTgzFromPng: resizing failed";
            return {};
        }
    }
    const QByteArray raw = packTga(asArgb32(image), AlphaRule::Opaque);
    int rc = Z_OK;
    const QByteArray tgz = raw.isEmpty() ? QByteArray() : deflateRaw(raw, &rc);
    if (tgz.isEmpty()) {
        qWarning().nospace() << "encodeBkgTgzFromPng: zlib compress2 failed rc=" << rc;
        return {};
    }
    return tgz;
}

bool generateBkgTgz(const QString& pngPath, const QString& tgzPath, int width, int height)
{
    QByteArray pngBytes;
    QString why;
    if (!FolderCopy::readRegularFile(pngPath, qint64(256) * 1024 * 1024, &pngBytes, &why)) {
        qWarning() << "generateBkgTgz: couldn't open" << pngPath << "-" << why;
        return false;
    }

    const QByteArray tgz = encodeBkgTgzFromPng(pngBytes, width, height);
    if (tgz.isEmpty())
        return false;

    QString error;
    // Written beside the target and renamed over it, so a failed write never
    // leaves a cut-short background where a good one was; a link or a pipe
    // in its place is left as it is.
    if (!writeFileBytes(tgzPath, tgz, &error)) {
        qWarning().noquote() << "generateBkgTgz:" << error;
        return false;
    }
    return true;
}
