#include "canvas/DashCanvas.h"
#include "support/BmpFixture.h"
#include "support/FifoGuard.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <climits>
#include <functional>

namespace {

QString writeFile(const QByteArray& bytes, const QString& name)
{
    const QString path = TestEnvironment::makeTempDir(QStringLiteral("img")) + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace

class CanvasImagesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bitfieldBmp_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<quint32>("red");
        QTest::addColumn<quint32>("green");
        QTest::addColumn<quint32>("blue");
        QTest::addColumn<QVector<quint16>>("pixels"); // 2 x 2, top row first
        QTest::addColumn<QVector<QRgb>>("expected");
        const QVector<quint16> px565 = { 0xFFFF, 0x0000, 0xF800, 0x07E0 };
        const QVector<QRgb> rgb565 = { qRgba(255, 255, 255, 255), qRgba(0, 0, 0, 0), qRgba(255, 0, 0, 255), qRgba(0, 255, 0, 255) };
        QTest::newRow("565 bottom-up") << 2 << 0xF800u << 0x07E0u << 0x001Fu << px565 << rgb565;
        QTest::newRow("565 top-down") << -2 << 0xF800u << 0x07E0u << 0x001Fu << px565 << rgb565;
        // 5-5-5: a mid value rounds (15 * 255 + 15) / 31 = 123.
        QTest::newRow("555 rounding") << 2 << 0x7C00u << 0x03E0u << 0x001Fu
                                      << QVector<quint16>{ 0x7FFF, quint16(15 << 10), quint16(15 << 5), 15 }
                                      << QVector<QRgb>{ qRgba(255, 255, 255, 255), qRgba(123, 0, 0, 255), qRgba(0, 123, 0, 255), qRgba(0, 0, 123, 255) };
        // A mask reaching above the 16 stored bits must not overflow.
        QTest::newRow("32-bit wide mask") << 2 << 0xFFFFFFFFu << 0x07E0u << 0x001Fu
                                          << QVector<quint16>{ 0, 0x001F, 0x07E0, 0xFFFF }
                                          << QVector<QRgb>{ qRgba(0, 0, 0, 0), qRgba(0, 0, 255, 255), qRgba(0, 255, 0, 255), qRgba(0, 255, 255, 255) };
    }

    void bitfieldBmp()
    {
        QFETCH(int, height);
        QFETCH(quint32, red);
        QFETCH(quint32, green);
        QFETCH(quint32, blue);
        QFETCH(QVector<quint16>, pixels);
        QFETCH(QVector<QRgb>, expected);
        BmpFixture::Options o;
        o.infoHeaderSize = 56;
        o.topDown = height < 0;
        o.masks[0] = red;
        o.masks[1] = green;
        o.masks[2] = blue;
        const QString path = writeFile(BmpFixture::rgb565(2, 2, pixels, o), "a.bmp");
        QVERIFY(QImage(path).isNull()); // the library itself does not read these
        const QImage image = DashCanvas::loadImage(path);
        QCOMPARE(image.size(), QSize(2, 2));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(QString::number(image.pixel(i % 2, i / 2), 16), QString::number(expected[i], 16));
    }

    void hostileHeaders_data()
    {
        QTest::addColumn<QByteArray>("bmp");
        const auto with = [](const std::function<void(BmpFixture::Options&)>& change) {
            BmpFixture::Options o;
            o.infoHeaderSize = 56;
            change(o);
            return BmpFixture::rgb565(4, 4, QVector<quint16>(16, 0xFFFF), o);
        };
        QTest::newRow("width 8193") << with([](BmpFixture::Options& o) { o.headerWidth = 8193; });
        QTest::newRow("width INT_MAX") << with([](BmpFixture::Options& o) { o.headerWidth = INT_MAX; });
        QTest::newRow("width negative") << with([](BmpFixture::Options& o) { o.headerWidth = -4; });
        QTest::newRow("height INT_MIN") << with([](BmpFixture::Options& o) { o.headerHeight = INT_MIN; });
        QTest::newRow("height 8193") << with([](BmpFixture::Options& o) { o.headerHeight = 8193; });
        QTest::newRow("height claims more") << with([](BmpFixture::Options& o) { o.headerHeight = 5; });
        QTest::newRow("pixel data one byte short") << with([](BmpFixture::Options& o) { o.dropTrailingBytes = 1; });
        QTest::newRow("offset wraps 32 bits") << with([](BmpFixture::Options& o) { o.pixelOffset = 0xFFFFFFF0; });
        QTest::newRow("offset inside header") << with([](BmpFixture::Options& o) { o.pixelOffset = 20; });
        QTest::newRow("offset past end") << with([](BmpFixture::Options& o) { o.pixelOffset = 70 + 32 - 7; });
        QTest::newRow("24 bpp with bit fields") << with([](BmpFixture::Options& o) { o.bitsPerPixel = 24; });
        QTest::newRow("not bit fields") << with([](BmpFixture::Options& o) { o.compression = 0; });
        QTest::newRow("empty mask") << with([](BmpFixture::Options& o) { o.masks[1] = 0; });
        QTest::newRow("truncated header") << with([](BmpFixture::Options&) {}).left(69);
        QByteArray magic = with([](BmpFixture::Options&) {});
        magic[0] = 'X';
        QTest::newRow("no BM") << magic;
    }

    void hostileHeaders()
    {
        QFETCH(QByteArray, bmp);
        BmpFixture::Options o;
        o.infoHeaderSize = 56;
        QVERIFY(!DashCanvas::loadImage(writeFile(BmpFixture::rgb565(4, 4, QVector<quint16>(16, 0xFFFF), o), "ok.bmp")).isNull());
        QVERIFY(DashCanvas::loadImage(writeFile(bmp, "bad.bmp")).isNull());
    }

    // A decoded picture is reused while its file stays as it was, and read
    // again once the file is replaced.
    void decodedPicturesFollowTheirFile()
    {
        const QString path = TestEnvironment::makeTempDir() + "/mask.png";
        QImage red(4, 2, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(path));
        QCOMPARE(DashCanvas::decodedImage(path).pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(DashCanvas::decodedImage(path).size(), QSize(4, 2));
        QImage blue(6, 3, QImage::Format_ARGB32);
        blue.fill(Qt::blue);
        QVERIFY(blue.save(path + ".new", "PNG"));
        QVERIFY(QFile::remove(path) && QFile::rename(path + ".new", path));
        QCOMPARE(DashCanvas::decodedImage(path).size(), QSize(6, 3));
        QCOMPARE(DashCanvas::decodedImage(path).pixelColor(0, 0), QColor(Qt::blue));
        QVERIFY(QFile::remove(path));
        QVERIFY(DashCanvas::decodedImage(path).isNull());
    }

    // A picture name that is a link (to a pipe, a device, a picture
    // elsewhere) or a pipe itself is not read: the window would wait on the
    // pipe forever. It is named once and draws nothing.
    void onlyPlainPicturesLoad_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a pipe") << "link to pipe";
        QTest::newRow("pipe") << "pipe";
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("link to a picture") << "link";
    }
    void onlyPlainPicturesLoad()
    {
        QFETCH(QString, kind);
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("stock ü & <x>"));
        QImage red(4, 2, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir + "/elsewhere.png"));
        FifoGuard pipe(dir + "/pipe");
        QVERIFY(pipe.made());
        const QString path = dir + (kind == "pipe" ? "/pipe" : "/mask.png");
        if (kind != "pipe") {
            const QString target = kind == "zero" ? "/dev/zero" : kind == "link" ? dir + "/elsewhere.png" : dir + "/pipe";
            QVERIFY(QFile::link(target, path));
        }
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^\\[DashCanvas\\] not loaded: " + QRegularExpression::escape(path)));
        QVERIFY(DashCanvas::decodedImage(path).isNull());
        QVERIFY(DashCanvas::loadImage(path).isNull());
        QVERIFY(!pipe.released());
    }

    void libraryImageUnchanged()
    {
        QImage source(3, 2, QImage::Format_RGB888);
        source.fill(Qt::black);
        source.setPixelColor(2, 1, QColor(10, 20, 30));
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("img")) + QStringLiteral("/rgb.bmp");
        QVERIFY(source.save(path, "BMP"));
        const QImage image = DashCanvas::loadImage(path);
        QCOMPARE(image.size(), QSize(3, 2));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 255); // black stays opaque
        QCOMPARE(image.pixelColor(2, 1), QColor(10, 20, 30));
        QVERIFY(DashCanvas::loadImage(path + QStringLiteral(".missing")).isNull());
    }

    void parseColor_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("hex green") << QByteArray("0xFF00FF00") << true << QColor(0, 255, 0, 255);
        QTest::newRow("upper 0X") << QByteArray("0X80FF0000") << true << QColor(255, 0, 0, 128);
        QTest::newRow("decimal blue, spaces") << QByteArray("  4278190335 ") << true << QColor(0, 0, 255, 255);
        QTest::newRow("six digits: alpha 0") << QByteArray("0x00FF00") << true << QColor(0, 255, 0, 0);
        QTest::newRow("name fails") << QByteArray("red") << false << QColor(1, 2, 3);
        QTest::newRow("empty fails") << QByteArray("") << false << QColor(1, 2, 3);
        QTest::newRow("bare 0x fails") << QByteArray("0x") << false << QColor(1, 2, 3);
        QTest::newRow("too large fails") << QByteArray("4294967296") << false << QColor(1, 2, 3);
    }

    void parseColor()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(QColor, colour);
        QColor out(1, 2, 3);
        QCOMPARE(DashCanvas::parseColor(text.constData(), out), ok);
        QCOMPARE(out, colour);
        QVERIFY(!DashCanvas::parseColor(nullptr, out));
    }

    void xmlUtilities()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string(
            "<e c='GMaskParam'><p n='SCELTA_UTENTE'>d2</p><p n='EMPTY'/>"
            "<e c='Digit' i='d1'/><e c='Label' i='d2'/><e c='Digit' i='d3'/>"
            "<e c='Bargraph' i='b1'/><e c='BargraphTrapezio' i='b2'/><e c='bargraph' i='b3'/></e>"));
        const pugi::xml_node mask = doc.first_child();
        // The chosen id names a Label, so the first Digit wins.
        QCOMPARE(QString(DashCanvas::findChosenElement(mask, "Digit").attribute("i").value()), QString("d1"));
        QCOMPARE(QString(DashCanvas::findChosenElement(mask, "Label").attribute("i").value()), QString("d2"));
        QVERIFY(!DashCanvas::findChosenElement(mask, "Ring"));
        mask.find_child_by_attribute("p", "n", "SCELTA_UTENTE").text().set("d3");
        QCOMPARE(QString(DashCanvas::findChosenElement(mask, "Digit").attribute("i").value()), QString("d3"));

        QVERIFY(DashCanvas::isBargraph(mask.find_child_by_attribute("e", "i", "b1")));
        QVERIFY(DashCanvas::isBargraph(mask.find_child_by_attribute("e", "i", "b2")));
        QVERIFY(!DashCanvas::isBargraph(mask.find_child_by_attribute("e", "i", "b3")));
        QVERIFY(!DashCanvas::isBargraph(pugi::xml_node()));

        QVERIFY(DashCanvas::paramValue(mask, "MISSING").isNull());
        QVERIFY(!DashCanvas::paramValue(mask, "EMPTY").isNull());
        QVERIFY(DashCanvas::paramValue(mask, "EMPTY").isEmpty());
        QCOMPARE(DashCanvas::paramValue(mask, "SCELTA_UTENTE"), QString("d3"));
    }

    void channelKey_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("lap time") << "Lap_Time 2" << "laptime2";
        QTest::newRow("punctuation") << "GPS Speed (km/h)" << "gpsspeedkmh";
        QTest::newRow("unicode letters") << QString::fromUtf8("Öl-Temp°") << QString::fromUtf8("öltemp");
        QTest::newRow("empty") << "" << "";
    }

    void channelKey()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QCOMPARE(DashCanvas::channelKey(name), key);
    }
};

KORV_TEST_MAIN(CanvasImagesTest)
#include "tst_canvasimages.moc"
