#include "artwork/ArtworkFiles.h"
#include "canvas/DashCanvas.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QFile>
#include <QtTest>

namespace {

MaskElement maskFrom(pugi::xml_document& doc, const QByteArray& xml)
{
    MaskElement mask;
    if (doc.load_string(xml.constData()))
        mask.node = doc.first_child();
    return mask;
}

QByteArray png(QColor colour, QSize size = QSize(8, 8))
{
    return TestFiles::pngBytes(size, colour);
}

QColor colourOf(const QPixmap& pixmap)
{
    return pixmap.isNull() ? QColor() : pixmap.toImage().pixelColor(pixmap.width() / 2, pixmap.height() / 2);
}

// A mask whose art folder is PATH_REL_AiM_MASK (left out when empty), with
// further child elements given as XML.
MaskElement maskWithFolder(pugi::xml_document& doc, const QByteArray& folder, const QByteArray& children = QByteArray())
{
    QByteArray xml = "<e c='GMaskParam'>";
    if (!folder.isEmpty())
        xml += "<p n='PATH_REL_AiM_MASK'>" + folder + "</p>";
    xml += children + "</e>";
    return maskFrom(doc, xml);
}

} // namespace

class CanvasArtworkTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scaleFrame_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("frame");
        const auto gauge = [](const char* choice, const char* inner) {
            return QByteArray("<e c='GMaskParam'><e c='Digit'><p n='NOME_SCALA'>999</p></e><e c='Analog'>")
                + (choice ? QByteArray("<p n='SCELTA_UTENTE'>") + choice + "</p>" : QByteArray()) + inner + "</e></e>";
        };
        QTest::newRow("rpm 8000, choice with a blank") << gauge("RPM ", "<p n='NOME_SCALA'>8000</p>") << "scala_rpm_ON_08.png";
        QTest::newRow("rpm 12000") << gauge("rpm", "<p n='NOME_SCALA'>12000</p>") << "scala_rpm_ON_12.png";
        QTest::newRow("rpm 500") << gauge("rpm", "<p n='NOME_SCALA'>500</p>") << "scala_rpm_ON_00.png";
        QTest::newRow("km/h 300") << gauge("km/h", "<p n='NOME_SCALA'>300</p>") << "scala_vel_kmh_ON_300.png";
        QTest::newRow("mph 180") << gauge("MPH", "<p n='NOME_SCALA'> 180 </p>") << "scala_vel_mph_ON_180.png";
        QTest::newRow("other choice") << gauge("temp", "<p n='NOME_SCALA'>300</p>") << "";
        QTest::newRow("no choice") << gauge(nullptr, "<p n='NOME_SCALA'>300</p>") << "";
        QTest::newRow("no scale") << gauge("rpm", "") << "";
        // Own parameters first, then children depth-first in document order.
        QTest::newRow("nested: first positive wins")
            << gauge("rpm", "<p n='NOME_SCALA'>0</p><p n='NOME_SCALA'>x</p>"
                            "<e c='ScaleFSV'><e c='StepScale'><p n='NOME_SCALA'>7000</p></e><p n='NOME_SCALA'>-4</p></e>"
                            "<e c='Other'><p n='NOME_SCALA'>9000</p></e><p n='NOME_SCALA'>0</p>")
            << "scala_rpm_ON_07.png";
        QTest::newRow("ring gauge") << QByteArray("<e><e c='Ring'><p n='SCELTA_UTENTE'>km/h</p><p n='NOME_SCALA'>240</p></e></e>")
                                    << "scala_vel_kmh_ON_240.png";
        QTest::newRow("no gauge element") << QByteArray("<e><e c='Digit'><p n='SCELTA_UTENTE'>rpm</p><p n='NOME_SCALA'>8000</p></e></e>") << "";
    }

    void scaleFrame()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, frame);
        pugi::xml_document doc;
        const MaskElement mask = maskFrom(doc, xml);
        QVERIFY(mask.node);
        QCOMPARE(DashCanvas::gaugeScaleFrame(mask), frame);
    }

    void deepNestingDoesNotRecurse()
    {
        QByteArray xml = "<e><e c='Analog'><p n='SCELTA_UTENTE'>rpm</p>";
        const int depth = 20000;
        for (int i = 0; i < depth; ++i)
            xml += "<e>";
        xml += "<p n='NOME_SCALA'>6000</p>";
        for (int i = 0; i < depth; ++i)
            xml += "</e>";
        xml += "</e></e>";
        pugi::xml_document doc;
        const MaskElement mask = maskFrom(doc, xml);
        QVERIFY(mask.node);
        QCOMPARE(DashCanvas::gaugeScaleFrame(mask), QString("scala_rpm_ON_06.png"));
    }

    void artFolder_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("folder");
        QTest::newRow("backslashes") << QByteArray("<e><p n='PATH_REL_AiM_MASK'>aim\\resources\\overlay\\x</p></e>") << "aim/resources/overlay/x/";
        QTest::newRow("trailing slash kept") << QByteArray("<e><p n='PATH_REL_AiM_MASK'>a/b/</p></e>") << "a/b/";
        QTest::newRow("empty") << QByteArray("<e><p n='PATH_REL_AiM_MASK'/></e>") << "";
        QTest::newRow("missing") << QByteArray("<e/>") << "";
    }

    void artFolder()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, folder);
        pugi::xml_document doc;
        QCOMPARE(DashCanvas::maskArtFolder(maskFrom(doc, xml)), folder);
    }

    void providerImagesAreCached()
    {
        PageModel page;
        page.masks.resize(4);
        DashCanvas canvas;
        canvas.setPage(&page);
        QList<int> asked;
        canvas.setMaskImageProvider([&asked](int index) {
            asked << index;
            if (index == 3)
                return QImage();
            QImage image(4, 4, QImage::Format_ARGB32);
            image.fill(Qt::red);
            return image;
        });
        QVERIFY(canvas.maskPixmap(page.masks[3], 3).isNull());
        QVERIFY(canvas.maskPixmap(page.masks[3], 3).isNull());
        QCOMPARE(canvas.maskPixmap(page.masks[1], 1).size(), QSize(4, 4));
        QCOMPARE(canvas.maskPixmap(page.masks[1], 1).size(), QSize(4, 4));
        QVERIFY(canvas.maskPixmap(page.masks[0], -1).isNull()); // no index, no provider
        QCOMPARE(asked, (QList<int>{ 3, 1 }));

        canvas.invalidateMaskImageCache();
        canvas.maskPixmap(page.masks[3], 3);
        canvas.invalidateRenderCaches();
        canvas.maskPixmap(page.masks[3], 3);
        canvas.setPage(&page);
        canvas.maskPixmap(page.masks[3], 3);
        QCOMPARE(asked, (QList<int>{ 3, 1, 3, 3, 3 }));
    }

    // --- resolution in the RS3 installs -----------------------------------

    void maskArtStableFirstAndCached()
    {
        Rs3Fixture rs3;
        const QString folder = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/box1/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, folder + "mask.png", png(Qt::blue)));
        pugi::xml_document doc;
        MaskElement mask = maskWithFolder(doc, "aim\\resources\\overlay\\mxg_12\\masks\\set\\standard\\s01\\box1");
        DashCanvas canvas;

        // Only under the beta root: found there.
        QCOMPARE(colourOf(canvas.maskPixmap(mask, -1)), QColor(Qt::blue));
        // Now also under the stable root, but the cache answers.
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "mask.png", png(Qt::red)));
        QCOMPARE(colourOf(canvas.maskPixmap(mask, -1)), QColor(Qt::blue));
        // After clearing, the stable root wins.
        canvas.invalidateRenderCaches();
        QCOMPARE(colourOf(canvas.maskPixmap(mask, -1)), QColor(Qt::red));
    }

    void missingMaskArtIsLookedForOnce()
    {
        Rs3Fixture rs3;
        const QString folder = QStringLiteral("aim/resources/overlay/mxs/masks/gone/");
        pugi::xml_document doc;
        MaskElement mask = maskWithFolder(doc, folder.toUtf8());
        DashCanvas canvas;
        const QString expected = QStringLiteral("[DashCanvas] mask.png missing or failed to load: \"%1\"")
                                     .arg(rs3.absolutePath(Rs3Fixture::Stable, folder + "mask.png"));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(expected));
        QVERIFY(canvas.maskPixmap(mask, -1).isNull());
        // The miss is cached: the file appearing later is not seen until the
        // caches are cleared.
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, folder + "mask.png", png(Qt::green)));
        QVERIFY(canvas.maskPixmap(mask, -1).isNull());
        canvas.setPage(nullptr);
        QCOMPARE(colourOf(canvas.maskPixmap(mask, -1)), QColor(Qt::green));
    }

    void providerNullFallsBackToMaskArt()
    {
        Rs3Fixture rs3;
        const QString folder = QStringLiteral("aim/resources/overlay/mxg_12/masks/a/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "mask.png", png(Qt::cyan)));
        pugi::xml_document doc;
        MaskElement mask = maskWithFolder(doc, folder.toUtf8());
        DashCanvas canvas;
        int asked = 0;
        canvas.setMaskImageProvider([&asked](int) { ++asked; return QImage(); });
        QCOMPARE(colourOf(canvas.maskPixmap(mask, 3)), QColor(Qt::cyan));
        QCOMPARE(colourOf(canvas.maskPixmap(mask, 3)), QColor(Qt::cyan));
        QCOMPARE(asked, 1);
    }

    void scaleFramePaintedOver()
    {
        Rs3Fixture rs3;
        const QString folder = QStringLiteral("aim/resources/overlay/mxg_12/masks/rpm/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "mask.png", png(Qt::red, QSize(20, 20))));
        QImage frame(10, 10, QImage::Format_ARGB32);
        frame.fill(Qt::transparent);
        frame.setPixelColor(0, 0, Qt::white); // stretched: the top-left 2 x 2 of the mask
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, folder + "scala_rpm_ON_08.png", pngBytes(frame)));

        pugi::xml_document doc8;
        pugi::xml_document doc12;
        pugi::xml_document docNone;
        const MaskElement rpm8 = maskWithFolder(doc8, folder.toUtf8(), "<e c='Analog'><p n='SCELTA_UTENTE'>rpm</p><p n='NOME_SCALA'>8000</p></e>");
        const MaskElement rpm12 = maskWithFolder(doc12, folder.toUtf8(), "<e c='Analog'><p n='SCELTA_UTENTE'>rpm</p><p n='NOME_SCALA'>12000</p></e>");
        const MaskElement plain = maskWithFolder(docNone, folder.toUtf8());
        DashCanvas canvas;
        const QImage with = canvas.maskPixmap(rpm8, -1).toImage();
        QCOMPARE(with.pixelColor(1, 1), QColor(Qt::white));
        QCOMPARE(with.pixelColor(10, 10), QColor(Qt::red));
        // Same folder, different frames: separate entries.
        QCOMPARE(canvas.maskPixmap(rpm12, -1).toImage().pixelColor(1, 1), QColor(Qt::red)); // frame 12 missing
        QCOMPARE(canvas.maskPixmap(plain, -1).toImage().pixelColor(1, 1), QColor(Qt::red));
        QCOMPARE(canvas.maskPixmap(rpm8, -1).toImage().pixelColor(1, 1), QColor(Qt::white));
    }

    void barFrames()
    {
        Rs3Fixture rs3;
        const QString folder = QStringLiteral("aim/resources/overlay/mxg_12/masks/bar/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, folder + "frame_on.png", png(Qt::yellow)));
        pugi::xml_document doc;
        const MaskElement mask = maskWithFolder(doc, folder.toUtf8());
        DashCanvas canvas;
        QCOMPARE(colourOf(canvas.loadBarFramePixmap(mask, QStringLiteral("frame_on.TGZ"))), QColor(Qt::yellow));
        QVERIFY(canvas.loadBarFramePixmap(mask, QString()).isNull());
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("[DashCanvas] bar frame .png not in any RS3 root: \"%1frame_off.png\"").arg(folder)));
        QVERIFY(canvas.loadBarFramePixmap(mask, QStringLiteral("frame_off.tgz")).isNull());
        QVERIFY(canvas.loadBarFramePixmap(mask, QStringLiteral("frame_off.tgz")).isNull()); // cached: no second message
    }

    void homebrewBar()
    {
        Rs3Fixture rs3;
        const QString folder = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbar_rpm/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "m2on1.png", png(Qt::red)));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "m2on12.png", png(Qt::green)));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "m2on3.png", png(Qt::blue)));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "m2onX.png", png(Qt::white)));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "m2on99.txt", "x"));
        // A bar stamped with the stock item it was coloured from.
        const QByteArray bar = "<p n='DE_BARCOLOR_SRC'>aim/resources/overlay/mxg_12/masks/set/standard/s01/bar/</p>"
                               "<e c='Bargraph'/>";
        pugi::xml_document doc;
        DashCanvas canvas;
        QCOMPARE(colourOf(canvas.loadHomebrewBarPixmap(maskWithFolder(doc, folder.toUtf8(), bar))), QColor(Qt::green));
        // Neither stamped nor recorded: no colouring, whatever its folder is called.
        pugi::xml_document other;
        DashCanvas fresh;
        QVERIFY(fresh.loadHomebrewBarPixmap(maskWithFolder(other, folder.toUtf8(), "<e c='Bargraph'/>")).isNull());
    }

    void iconFallThrough()
    {
        Rs3Fixture rs3;
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, "aim/resources/overlay/Icon/oil.png", png(Qt::magenta)));
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("icons"));
        QFile preview(dir + "/preview.png");
        QVERIFY(preview.open(QIODevice::WriteOnly) && preview.write(png(Qt::darkGreen)) > 0);
        preview.close();

        pugi::xml_document doc;
        const MaskElement mask = maskWithFolder(doc, QByteArray(), "<e c='AiM_Icona'><p n='OVERLAY2_ICONA_NERA'>aim\\resources\\overlay\\Icon\\oil.png</p></e>");
        DashCanvas canvas;
        canvas.setIconGraphicProvider([dir](int) { return dir + "/missing.png"; });
        canvas.setIconPreviewProvider([dir](int) { return dir + "/preview.png"; });
        QCOMPARE(colourOf(canvas.iconPixmap(mask, 0)), QColor(Qt::darkGreen));
        // Without an index the providers are not asked: the mask's own graphic.
        QCOMPARE(colourOf(canvas.iconPixmap(mask, -1)), QColor(Qt::magenta));
        canvas.setIconPreviewProvider([](int) { return QString(); });
        QCOMPARE(colourOf(canvas.iconPixmap(mask, 0)), QColor(Qt::magenta));
        pugi::xml_document none;
        QVERIFY(canvas.iconPixmap(maskWithFolder(none, QByteArray()), -1).isNull());
    }
};

KORV_TEST_MAIN(CanvasArtworkTest)
#include "tst_canvasartwork.moc"
