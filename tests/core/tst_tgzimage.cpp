#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

#include <zlib.h>

namespace {

QByteArray zlibCompress(const QByteArray& raw)
{
    uLongf len = compressBound(uLong(raw.size()));
    QByteArray out(int(len), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &len,
                  reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        return {};
    out.resize(int(len));
    return out;
}

// Inflates a stream we expect to be well formed (up to a generous limit).
QByteArray zlibInflate(const QByteArray& compressed)
{
    QByteArray out(16 * 1024 * 1024, Qt::Uninitialized);
    uLongf len = uLongf(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &len,
                   reinterpret_cast<const Bytef*>(compressed.constData()), uLong(compressed.size())) != Z_OK)
        return {};
    out.resize(int(len));
    return out;
}

// A DEFLATE stream with the given window bits (negative: raw, 31: gzip).
QByteArray deflateWith(const QByteArray& raw, int windowBits, const QByteArray& dictionary = {})
{
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    if (!dictionary.isEmpty())
        deflateSetDictionary(&zs, reinterpret_cast<const Bytef*>(dictionary.constData()), uInt(dictionary.size()));
    QByteArray out(int(deflateBound(&zs, uLong(raw.size()))) + 64, Qt::Uninitialized);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.constData()));
    zs.avail_in = uInt(raw.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(int(zs.total_out));
    deflateEnd(&zs);
    return rc == Z_STREAM_END ? out : QByteArray();
}

QByteArray header(int w, int h)
{
    QByteArray hdr(18, '\0');
    hdr[2] = 2;
    hdr[12] = char(w & 0xff);
    hdr[13] = char((w >> 8) & 0xff);
    hdr[14] = char(h & 0xff);
    hdr[15] = char((h >> 8) & 0xff);
    hdr[16] = 0x10;
    hdr[17] = 0x21;
    return hdr;
}

// Header plus w*h words of a fixed value, as the device stores them.
QByteArray rawTga(int w, int h, quint16 word = 0x8000)
{
    QByteArray raw = header(w, h);
    for (qint64 i = 0; i < qint64(w) * h; ++i) {
        raw.append(char(word & 0xff));
        raw.append(char(word >> 8));
    }
    return raw;
}

QImage solid(int w, int h, QRgb argb)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(argb);
    return img;
}

quint16 wordAt(const QByteArray& raw, int index)
{
    return quint16(uchar(raw[18 + 2 * index]) | (uchar(raw[18 + 2 * index + 1]) << 8));
}

} // namespace

class TgzImageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void goldenOnePixel()
    {
        const QByteArray tgz = TgzImage::encode(solid(1, 1, 0xffffffff));
        const QByteArray expectedRaw = QByteArray::fromHex("000002000000000000000000010001001021ffff");
        QCOMPARE(zlibInflate(tgz), expectedRaw);
        // The whole file is exactly one default-level zlib stream, nothing around it.
        QCOMPARE(tgz, zlibCompress(expectedRaw));
    }

    void goldenWords()
    {
        QImage img(4, 1, QImage::Format_ARGB32);
        img.setPixel(0, 0, qRgba(255, 0, 0, 255));
        img.setPixel(1, 0, qRgba(0, 255, 0, 127));
        img.setPixel(2, 0, qRgba(0, 0, 255, 128));
        img.setPixel(3, 0, qRgba(15, 23, 31, 0));
        const QByteArray raw = zlibInflate(TgzImage::encode(img));
        QCOMPARE(raw, header(4, 1) + QByteArray::fromHex("00fce0031f804304"));
    }

    // Every word decodes to its widened pixel, whether it lands in an
    // eight-word group or in the tail of a picture (widths 256 and 255),
    // and whether the picture is decoded in place or through the growing
    // buffer (over 2 MB of words).
    void everyWord_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("groups") << 256 << 256;
        QTest::newRow("tails") << 255 << 257;
        QTest::newRow("large") << 1100 << 1000;
    }

    void everyWord()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QByteArray raw = header(width, height);
        for (qint64 i = 0; i < qint64(width) * height; ++i) {
            raw.append(char(i & 0xff));
            raw.append(char((i >> 8) & 0xff));
        }
        const QImage image = TgzImage::decode(zlibCompress(raw));
        QCOMPARE(image.size(), QSize(width, height));
        QCOMPARE(image.format(), QImage::Format_ARGB32);
        const auto widen = [](uint c) { return int((c << 3) | (c >> 2)); };
        for (int y = 0; y < height; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                const uint word = uint((qint64(y) * width + x) & 0xffff);
                const QRgb expected = qRgba(widen((word >> 10) & 0x1f), widen((word >> 5) & 0x1f), widen(word & 0x1f),
                                            (word & 0x8000) ? 255 : 0);
                if (line[x] != expected)
                    QFAIL(qPrintable(QStringLiteral("word %1 at %2,%3: %4").arg(word).arg(x).arg(y).arg(line[x], 8, 16)));
            }
        }
    }

    void headerIsLittleEndian()
    {
        const QByteArray raw = zlibInflate(TgzImage::encode(solid(300, 2, 0xff000000)));
        QCOMPARE(raw.left(18), QByteArray::fromHex("0000020000000000000000002c0102001021"));
        QCOMPARE(raw.size(), 18 + 300 * 2 * 2);
    }

    void rowsTopFirst()
    {
        QImage img = solid(2, 2, 0xff000000);
        img.setPixel(1, 0, qRgb(255, 255, 255));
        const QByteArray raw = zlibInflate(TgzImage::encode(img));
        QCOMPARE(wordAt(raw, 0), quint16(0x8000));
        QCOMPARE(wordAt(raw, 1), quint16(0xffff));
        QCOMPARE(wordAt(raw, 2), quint16(0x8000));
        const QImage back = TgzImage::decode(TgzImage::encode(img));
        QCOMPARE(back.pixel(1, 0), qRgb(255, 255, 255));
        QCOMPARE(back.pixel(1, 1), qRgb(0, 0, 0));
    }

    void alphaBoundary_data()
    {
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("decodedAlpha");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("127") << 127 << 0;
        QTest::newRow("128") << 128 << 255;
        QTest::newRow("255") << 255 << 255;
    }

    void alphaBoundary()
    {
        QFETCH(int, alpha);
        QFETCH(int, decodedAlpha);
        const QImage src = solid(3, 2, qRgba(200, 100, 50, alpha));
        const QByteArray tgz = TgzImage::encode(src);
        QCOMPARE(bool(wordAt(zlibInflate(tgz), 0) & 0x8000), decodedAlpha == 255);
        const QImage back = TgzImage::decode(tgz);
        QCOMPARE(back.format(), QImage::Format_ARGB32);
        QCOMPARE(back.size(), src.size());
        // Colour survives under a transparent pixel (non-premultiplied).
        QCOMPARE(back.pixel(2, 1), qRgba(206, 99, 49, decodedAlpha));

        // Backgrounds are always opaque.
        const QByteArray bkg = encodeBkgTgzFromPng(pngBytes(src), 3, 2);
        QVERIFY(wordAt(zlibInflate(bkg), 0) & 0x8000);
        QCOMPARE(qAlpha(TgzImage::decode(bkg).pixel(0, 0)), 255);
    }

    void channelRoundTrip()
    {
        QImage img(256, 1, QImage::Format_ARGB32);
        for (int v = 0; v < 256; ++v)
            img.setPixel(v, 0, qRgba(v, 255 - v, v, 255));
        const QImage back = TgzImage::decode(TgzImage::encode(img));
        QVERIFY(!back.isNull());
        for (int v = 0; v < 256; ++v) {
            const int expect = ((v >> 3) << 3) | (v >> 5);
            const int inv = 255 - v;
            QCOMPARE(back.pixel(v, 0), qRgba(expect, ((inv >> 3) << 3) | (inv >> 5), expect, 255));
        }
    }

    void nonArgbInputIsOpaque()
    {
        QImage rgb(2, 2, QImage::Format_RGB32);
        rgb.fill(qRgb(10, 20, 30));
        const QImage back = TgzImage::decode(TgzImage::encode(rgb));
        QCOMPARE(qAlpha(back.pixel(1, 1)), 255);
    }

    void encodeRefuses_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::newRow("null") << QImage();
        QTest::newRow("width 65536") << solid(65536, 1, 0xffffffff);
        QTest::newRow("height 65536") << solid(1, 65536, 0xffffffff);
    }

    void encodeRefuses()
    {
        QFETCH(QImage, image);
        QVERIFY(TgzImage::encode(image).isEmpty());
    }

    void encodeLargestSide()
    {
        const QByteArray tgz = TgzImage::encode(solid(65535, 1, 0xffffffff));
        QVERIFY(!tgz.isEmpty());
        QCOMPARE(TgzImage::decode(tgz).size(), QSize(65535, 1));
    }

    void decodeRefuses_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = rawTga(3, 2);
        const QByteArray stream = zlibCompress(good);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("under 8 bytes") << stream.left(7);
        QTest::newRow("garbage") << QByteArray(64, 'x');
        QTest::newRow("gzip") << deflateWith(good, 31);
        QTest::newRow("raw deflate") << deflateWith(good, -15);
        QTest::newRow("needs dictionary") << deflateWith(good, 15, QByteArray("dictionary"));
        QTest::newRow("cut short") << stream.left(stream.size() - 5);
        QTest::newRow("checksum damaged") << stream.left(stream.size() - 1) + char(stream.back() ^ 1);
        QTest::newRow("one byte short") << zlibCompress(good.left(good.size() - 1));
        QTest::newRow("one byte over") << zlibCompress(good + 'x');
        QTest::newRow("whole extra row") << zlibCompress(rawTga(3, 3).replace(12, 4, header(3, 2).mid(12, 4)));
        QTest::newRow("header only") << zlibCompress(header(3, 2));
        QTest::newRow("under 18 bytes") << zlibCompress(header(1, 1).left(17));
        QTest::newRow("zero width") << zlibCompress(rawTga(0, 2));
        QTest::newRow("zero height") << zlibCompress(rawTga(3, 0));
        // Promises 8 GiB of pixels in a few bytes: refused before any allocation.
        QTest::newRow("beyond budget") << zlibCompress(header(65535, 65535) + QByteArray(1024, '\0'));
        // 64 MiB + 2 bytes of header and pixels: one row over the budget.
        QTest::newRow("just over budget") << zlibCompress(header(4096, 8192) + QByteArray(2, '\0'));
    }

    void decodeRefuses()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(TgzImage::decode(bytes).isNull());
    }

    void decodeAtBudget()
    {
        // The largest picture whose stream fits 64 MiB exactly decodes.
        const int w = 4096;
        const int h = 8191;
        QByteArray raw = header(w, h);
        raw.append(QByteArray(qsizetype(w) * h * 2, '\xff'));
        const QImage img = TgzImage::decode(zlibCompress(raw));
        QCOMPARE(img.size(), QSize(w, h));
        QCOMPARE(img.pixel(w - 1, h - 1), qRgba(255, 255, 255, 255));
    }

    void bytesAfterStreamIgnored()
    {
        const QByteArray stream = TgzImage::encode(solid(2, 2, 0xff102030));
        QCOMPARE(TgzImage::decode(stream + QByteArray("junk")).size(), QSize(2, 2));
    }

    void decodeFile()
    {
        const QString dir = TestEnvironment::makeTempDir();
        QVERIFY(TgzImage::decodeFile(dir + "/missing.tgz").isNull());
        QFile f(dir + "/mask.tgz");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(TgzImage::encode(solid(5, 4, 0xff00ff00)));
        f.close();
        QCOMPARE(TgzImage::decodeFile(f.fileName()).pixel(4, 3), qRgba(0, 255, 0, 255));

        // No stream within the budget is this long: the file is not read whole.
        QVERIFY(f.resize(80LL * 1024 * 1024));
        QVERIFY(TgzImage::decodeFile(f.fileName()).isNull());
    }

    void bkgResizes()
    {
        const QByteArray png = pngBytes(solid(1024, 600, qRgba(255, 0, 0, 10)));
        QTest::ignoreMessage(QtWarningMsg,
                             "encodeBkgTgzFromPng: resizing PNG from QSize(1024, 600) to QSize(800, 480)");
        const QImage img = TgzImage::decode(encodeBkgTgzFromPng(png, 800, 480));
        QCOMPARE(img.size(), QSize(800, 480));
        QCOMPARE(img.pixel(400, 240), qRgba(255, 0, 0, 255));
    }

    void bkgExactSizeIsQuiet()
    {
        QTest::failOnWarning(QRegularExpression(".*"));
        const QImage img = TgzImage::decode(encodeBkgTgzFromPng(pngBytes(solid(800, 480, 0xff0000ff)), 800, 480));
        QCOMPARE(img.size(), QSize(800, 480));
    }

    void bkgRefuses_data()
    {
        QTest::addColumn<QByteArray>("png");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<QString>("warning");
        const QByteArray png = pngBytes(solid(4, 4, 0xffffffff));
        const QString bad = "encodeBkgTgzFromPng: bad input (pngBytes empty or bad dims)";
        QTest::newRow("empty") << QByteArray() << 800 << 480 << bad;
        QTest::newRow("zero width") << png << 0 << 480 << bad;
        QTest::newRow("negative height") << png << 800 << -1 << bad;
        QTest::newRow("width 65536") << png << 65536 << 1 << bad;
        QTest::newRow("beyond budget") << png << 60000 << 60000 << bad;
        QTest::newRow("not a png") << QByteArray("not a png") << 800 << 480
                                   << "encodeBkgTgzFromPng: QImage::loadFromData PNG decode failed";
    }

    void bkgRefuses()
    {
        QFETCH(QByteArray, png);
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(QString, warning);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        QVERIFY(encodeBkgTgzFromPng(png, w, h).isEmpty());
    }

    void generateBkg()
    {
        const QString dir = TestEnvironment::makeTempDir();
        const QString png = dir + "/bkg.png";
        QVERIFY(solid(8, 6, 0x80123456).save(png, "PNG"));
        const QString tgz = dir + "/deep/er/bkg.tgz";
        QVERIFY(generateBkgTgz(png, tgz, 8, 6));
        const auto five = [](int v) { return ((v >> 3) << 3) | (v >> 5); };
        // Half-transparent in the PNG, opaque on the device.
        QCOMPARE(TgzImage::decodeFile(tgz).pixel(0, 0), qRgba(five(0x12), five(0x34), five(0x56), 255));
    }

    void generateBkgFailures()
    {
        const QString dir = TestEnvironment::makeTempDir();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^generateBkgTgz: couldn't open \".*missing.png\" - "));
        QVERIFY(!generateBkgTgz(dir + "/missing.png", dir + "/out.tgz", 8, 6));
        QVERIFY(!QFile::exists(dir + "/out.tgz"));

        // A folder where the file should go: the write fails and nothing is reported written.
        const QString png = dir + "/bkg.png";
        QVERIFY(solid(8, 6, 0xffffffff).save(png, "PNG"));
        QVERIFY(QDir(dir).mkdir("taken.tgz"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^generateBkgTgz: cannot write"));
        QVERIFY(!generateBkgTgz(png, dir + "/taken.tgz", 8, 6));
        QVERIFY(QFileInfo(dir + "/taken.tgz").isDir());
    }
};

KORV_GUI_TEST_MAIN(TgzImageTest)
#include "tst_tgzimage.moc"
