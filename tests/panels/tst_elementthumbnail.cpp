#include "panels/ElementCatalog.h"
#include "panels/ElementThumbnail.h"
#include "panels/ElementThumbnailCache.h"
#include "support/FifoGuard.h"
#include "support/PixelProbe.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using namespace PixelProbe;

namespace {

const QColor kOutline(120, 140, 165);
const QColor kText(150, 170, 195);

bool writeImage(const QString& path, const QSize& size, const QColor& colour, const QPoint& bright = QPoint(-1, -1))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    if (bright.x() >= 0)
        image.setPixelColor(bright, Qt::white);
    return image.save(path, "PNG");
}

// An entry for a fresh folder holding the named images (the art list is
// the sorted names, the scale frames parsed from them).
ElementCatalogEntry entryFor(const QString& kind, const QStringList& art)
{
    ElementCatalogEntry e;
    e.kind = kind;
    e.absFolder = TestEnvironment::makeTempDir(QStringLiteral("item"));
    e.art = art;
    e.art.sort();
    for (const QString& name : e.art) {
        CatalogScaleFrame frame;
        if (ElementCatalog::parseScaleFrame(name, frame))
            e.scales << frame;
    }
    return e;
}

} // namespace

class ElementThumbnailTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void blackDigitGetsTheOutlineAndSampleValue_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("text");
        QTest::newRow("digit") << "digit" << true;
        QTest::newRow("bar") << "bar" << true;
        QTest::newRow("icon") << "icon" << false;
    }

    void blackDigitGetsTheOutlineAndSampleValue()
    {
        QFETCH(QString, kind);
        QFETCH(bool, text);
        const ElementCatalogEntry e = entryFor(kind, {"mask.png"});
        QVERIFY(writeImage(e.absFolder + "/mask.png", QSize(200, 100), Qt::black));

        const QImage full = renderElementThumbnail(e, 200).toImage();
        QCOMPARE(full.size(), QSize(200, 100));
        // Pen 3 wide centred on the inset rectangle (3, 3, 194, 94): x 2..4.
        for (int x : {2, 3, 4})
            QVERIFY2(near(full.pixelColor(x, 50), kOutline), qPrintable(describe(full.pixelColor(x, 50))));
        QVERIFY(near(full.pixelColor(1, 50), Qt::black));
        QVERIFY(near(full.pixelColor(5, 50), Qt::black));
        QVERIFY(near(full.pixelColor(100, 3), kOutline));
        QVERIFY(near(full.pixelColor(196, 50), kOutline));
        // Radius 10: the corner of the square is left out.
        QVERIFY(near(full.pixelColor(3, 3), Qt::black));
        QVERIFY(near(full.pixelColor(3, 13), kOutline));
        // "0.00" about 42 pixels high in the middle; nothing near the outline.
        const int textPixels = countNear(full, QRect(40, 25, 120, 50), kText, 12);
        QCOMPARE(textPixels > 100, text);
        if (text) {
            // Pixel size 42: the digits stand 25 to 42 pixels tall, whatever the face.
            int top = 100, bottom = -1;
            for (int y = 0; y < 100; ++y) {
                if (countNear(full, QRect(40, y, 120, 1), kText, 12) > 0) {
                    top = std::min(top, y);
                    bottom = y;
                }
            }
            QVERIFY2(bottom - top + 1 >= 25 && bottom - top + 1 <= 42, qPrintable(QString::number(bottom - top + 1)));
            QVERIFY(std::abs((top + bottom) / 2 - 50) <= 4);
        }
        QCOMPARE(countNear(full, QRect(20, 8, 160, 10), kText, 12), 0);

        QCOMPARE(renderElementThumbnail(e, 116).size(), QSize(116, 58));
    }

    void middleScaleFrameIsTheOverlay()
    {
        const ElementCatalogEntry e =
            entryFor("gauge-analog", {"mask.png", "scala_rpm_ON_6.png", "scala_rpm_ON_8.png", "scala_rpm_ON_9.png"});
        QCOMPARE(e.scales.size(), 3);
        QVERIFY(writeImage(e.absFolder + "/mask.png", QSize(90, 60), Qt::black));
        QVERIFY(writeImage(e.absFolder + "/scala_rpm_ON_6.png", QSize(30, 20), Qt::red));
        QVERIFY(writeImage(e.absFolder + "/scala_rpm_ON_8.png", QSize(30, 20), Qt::green));
        QVERIFY(writeImage(e.absFolder + "/scala_rpm_ON_9.png", QSize(30, 20), Qt::blue));
        const QImage image = renderElementThumbnail(e, 90).toImage();
        QCOMPARE(image.size(), QSize(90, 60));
        // Stretched over the whole mask, with no placeholder over it.
        for (const QPoint& p : {QPoint(1, 1), QPoint(45, 30), QPoint(88, 58)})
            QVERIFY2(near(image.pixelColor(p), Qt::green), qPrintable(describe(image.pixelColor(p))));
    }

    void overlayChoice_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QSize>("size"); // invalid: null pixmap
        QTest::newRow("no png art") << QStringList{"mask.tgz", "x.tga"} << QSize();
        QTest::newRow("capital PNG ending never used") << QStringList{"glow.PNG"} << QSize();
        QTest::newRow("Mask.png is an overlay") << QStringList{"Mask.png"} << QSize(40, 20);
        QTest::newRow("first loadable png") << QStringList{"a.png", "b.png"} << QSize(40, 20);
    }

    void overlayChoice()
    {
        QFETCH(QStringList, files);
        QFETCH(QSize, size);
        const ElementCatalogEntry e = entryFor("digit", files);
        for (const QString& name : files) {
            if (name == QLatin1String("a.png")) {
                QFile f(e.absFolder + "/a.png"); // not an image
                QVERIFY(f.open(QIODevice::WriteOnly) && f.write("junk") == 4);
            } else {
                QVERIFY(writeImage(e.absFolder + '/' + name, QSize(40, 20), Qt::yellow));
            }
        }
        const QPixmap thumb = renderElementThumbnail(e, 64);
        QCOMPARE(thumb.isNull(), !size.isValid());
        if (size.isValid())
            QVERIFY(near(thumb.toImage().pixelColor(20, 10), Qt::yellow));
    }

    void brightPixelOffTheGridIsBlank_data()
    {
        QTest::addColumn<QPoint>("bright");
        QTest::addColumn<bool>("placeholder");
        QTest::newRow("off the grid") << QPoint(1, 4) << true;
        QTest::newRow("on the grid") << QPoint(3, 6) << false;
    }

    void brightPixelOffTheGridIsBlank()
    {
        QFETCH(QPoint, bright);
        QFETCH(bool, placeholder);
        const ElementCatalogEntry e = entryFor("icon", {"mask.png"});
        QVERIFY(writeImage(e.absFolder + "/mask.png", QSize(30, 30), Qt::black, bright));
        const QImage image = renderElementThumbnail(e, 30).toImage();
        // Pen max(2, 30 / 26) = 2 on the rectangle inset by 2.
        QCOMPARE(near(image.pixelColor(2, 15), kOutline), placeholder);
    }

    void artNamesStayInsideTheFolder()
    {
        ElementCatalogEntry e = entryFor("digit", {"../outside.png"});
        QVERIFY(writeImage(QFileInfo(e.absFolder).absolutePath() + "/outside.png", QSize(10, 10), Qt::white));
        e.scales << CatalogScaleFrame{"rpm", 1000, "../outside.png"};
        QVERIFY(renderElementThumbnail(e, 32).isNull());
    }

    // Art that is a link (to a pipe, to a picture elsewhere) or a pipe is
    // neither waited on nor read, and is named.
    void artInTheWayIsNotRead()
    {
        ElementCatalogEntry e = entryFor("digit", {"a.png", "b.png", "scala_rpm_ON_8.png"});
        FifoGuard pipe(e.absFolder + "/b.png");
        QVERIFY(pipe.made());
        const QString elsewhere = TestEnvironment::makeTempDir("users") + "/photo.png";
        QVERIFY(writeImage(elsewhere, QSize(10, 10), Qt::white));
        QVERIFY(QFile::link(e.absFolder + "/b.png", e.absFolder + "/a.png"));
        QVERIFY(QFile::link(elsewhere, e.absFolder + "/scala_rpm_ON_8.png"));
        for (const QString& name : {"scala_rpm_ON_8.png", "a.png", "b.png"})
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[DashCanvas\\] not loaded: .*/" + QRegularExpression::escape(name)));
        QVERIFY(renderElementThumbnail(e, 32).isNull());
        QVERIFY(!pipe.released());
    }

    // A kept thumbnail that a link or a pipe stands in for is neither read,
    // written through nor waited on: the thumbnail is drawn again and what
    // was in the way is named.
    void keptThumbnailInTheWay_data()
    {
        QTest::addColumn<bool>("pipe");
        QTest::newRow("link to a user's picture") << false;
        QTest::newRow("pipe") << true;
    }

    void keptThumbnailInTheWay()
    {
        QFETCH(bool, pipe);
        ElementCatalogEntry e = entryFor("digit", {});
        QVERIFY(writeImage(e.absFolder + "/mask.png", QSize(40, 20), Qt::white));
        const QDir kept(ElementThumbnailCache::folder());
        const QStringList before = kept.entryList(QDir::Files);
        ElementThumbnailCache::clearMemory();
        const QPixmap drawn = ElementThumbnailCache::thumbnail(e, 32);
        QVERIFY(!drawn.isNull());
        QStringList made = kept.entryList(QDir::Files);
        for (const QString& name : before)
            made.removeAll(name);
        QCOMPARE(made.size(), 1);
        const QString path = kept.filePath(made.constFirst());
        QVERIFY(QFile::remove(path));
        const QString users = TestEnvironment::makeTempDir("users") + "/photo.png";
        QVERIFY(writeImage(users, QSize(10, 10), Qt::red));
        const QByteArray photo = TestFiles::readBytes(users);
        std::unique_ptr<FifoGuard> guard;
        if (pipe) {
            guard = std::make_unique<FifoGuard>(path);
            QVERIFY(guard->made());
        } else {
            QVERIFY(QFile::link(users, path));
        }
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^ElementThumbnailCache: .*" + QRegularExpression::escape(path)
                                                + (pipe ? " is not a regular file" : " is a symbolic link")));
        ElementThumbnailCache::clearMemory();
        QCOMPARE(ElementThumbnailCache::thumbnail(e, 32).size(), drawn.size());
        QCOMPARE(ElementThumbnailCache::expectedSize(e, 32), drawn.size());
        QCOMPARE(TestFiles::readBytes(users), photo);
        QCOMPARE(QFileInfo(path).isSymLink(), !pipe);
        if (guard)
            QVERIFY(!guard->released());
        QVERIFY(QFile::remove(path));
    }
};

KORV_GUI_TEST_MAIN(ElementThumbnailTest)
#include "tst_elementthumbnail.moc"
