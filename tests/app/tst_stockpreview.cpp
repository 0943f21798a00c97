#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/BmpFixture.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QtTest>

// An icon and a "+- Ref Time" bar inserted into the demo from stock art of
// a temporary RS3 install, saved, reopened, and drawn by the real
// executable's headless preview where they were put.
class StockPreviewTest : public QObject {
    Q_OBJECT

private:
    static bool near(const QColor& a, const QColor& b)
    {
        return qAbs(a.red() - b.red()) <= 8 && qAbs(a.green() - b.green()) <= 8 && qAbs(a.blue() - b.blue()) <= 8;
    }

private Q_SLOTS:
    void insertSaveReopenAndDraw()
    {
        const QString binary = qEnvironmentVariable("KORV_BINARY_DIR");
        const QString exe = binary + QStringLiteral("/app/korvelanto");
        if (binary.isEmpty() || !QFile::exists(exe))
            QSKIP("the executable is not built beside this test");
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("stock"));
        const QString path = ConfigFixture::demoArchiveCopy(work);
        QVERIFY(!path.isEmpty());

        Rs3Fixture rs3; // its settings reach the child process through the isolated config folder
        const QString standard = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/");
        const QVector<quint16> green(40 * 40, 0x07E0);
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, standard + "Icon/Icon_Black.bmp", BmpFixture::rgb565(40, 40, green)));
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, standard + "p01/Items/md_ico/", QSize(44, 44), Qt::blue));
        QVERIFY(rs3.addDeltaBarItem(Rs3Fixture::Stable, standard + "p25iextv2/items/md3/", true, 2, Qt::magenta));

        const QPoint icon(700, 300);
        const QPoint bar(130, 300);
        {
            DashConfig config;
            QVERIFY(config.load(path));
            QVERIFY(config.insertIcon(0, QRect(icon, QSize(10, 10))) >= 0);
            QVERIFY(config.insertRefTimeBar(0, QRect(bar, QSize(1, 1)), QColor(), QColor(), 2.0) >= 0);
            QVERIFY(config.save(path));
        }

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QMap<QString, QRect> boxes;
        for (const MaskElement& m : reopened.pages[0].masks)
            boxes.insert(m.id, QRect(m.x, m.y, m.w, m.h));
        QCOMPARE(boxes.value(QStringLiteral("ico.1")), QRect(icon, QSize(44, 44)));
        QCOMPARE(boxes.value(QStringLiteral("reftime.1")), QRect(bar, QSize(540, 90)));
        const pugi::xml_node refTime = reopened.pages[0].masks.back().node;
        QCOMPARE(paramValue(refTime.find_child_by_attribute("e", "i", "00_007ch_scale1"), "TEXT"), QByteArray("2.00"));

        const QString png = work + QStringLiteral("/page0.png");
        QProcess run;
        run.start(exe, {"--dump-preview", png, "--input", path, "--page", "0", "--sample-data"});
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitCode(), 0);
        const QImage image(png);
        QCOMPARE(image.size(), QSize(800, 480));
        QDir().mkpath(binary + QStringLiteral("/canvas-grabs"));
        image.save(binary + QStringLiteral("/canvas-grabs/demo-page0-stock-elements.png")); // for a person to look at
        const QColor onIcon = image.pixelColor(icon + QPoint(22, 22));
        QVERIFY2(near(onIcon, QColor(0, 255, 0)), qPrintable(onIcon.name()));
        // Inside the bar's stock art, clear of its bars and captions.
        const QColor onBar = image.pixelColor(bar + QPoint(270, 35));
        QVERIFY2(near(onBar, QColor(255, 0, 255)), qPrintable(onBar.name()));
        const QColor beside = image.pixelColor(bar + QPoint(270, 95));
        QVERIFY2(!near(beside, QColor(255, 0, 255)), qPrintable(beside.name()));
    }
};

KORV_TEST_MAIN(StockPreviewTest)
#include "tst_stockpreview.moc"
