#include "canvas/DashCanvas.h"
#include "canvas/SampleDataSource.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/PixelProbe.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace PixelProbe;

// The demo configuration drawn the way the editor shows it (no telemetry)
// and the way the live look shows it (synthetic telemetry), probed where its
// masks and widgets must land. The grabs are kept under the build folder
// ("canvas-grabs") for a person to look at.
class CanvasDemoTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    DashConfig m_config;
    SampleDataSource m_samples;
    QString m_grabDir;
    static constexpr double kTime = 12.3;

    // An 820 x 500 canvas shows the 800 x 480 pages at scale 1 from (10, 10).
    QImage grab(int page, bool preview)
    {
        DashCanvas canvas;
        canvas.config = &m_config;
        canvas.resize(820, 500);
        canvas.setConfig(&m_config);
        canvas.setPage(m_config.page(page));
        canvas.previewMode = preview;
        if (preview) {
            canvas.setDataSource(&m_samples);
            canvas.setTime(kTime);
        }
        const QImage image = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QString name = QStringLiteral("demo-page%1-%2.png").arg(page).arg(preview ? "preview" : "editor");
        image.save(m_grabDir + QLatin1Char('/') + name);
        return image;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        QString error;
        QVERIFY2(m_config.load(path, &error), qPrintable(error));
        QCOMPARE(m_config.pageCount(), 3);
        QHash<QString, QString> units;
        for (const ChannelInfo& c : m_config.channels)
            units.insert(c.longName, c.unit);
        m_samples.setChannelUnits(units);

        const QString binary = qEnvironmentVariable("KORV_BINARY_DIR");
        m_grabDir = binary.isEmpty() ? TestEnvironment::makeTempDir(QStringLiteral("grabs"))
                                     : binary + QStringLiteral("/canvas-grabs");
        QVERIFY(QDir().mkpath(m_grabDir));
        qInfo("canvas grabs in %s", qPrintable(m_grabDir));
    }

    void raceEditor()
    {
        const QImage img = grab(0, false);
        // Needle without telemetry: at -120 degrees, pointing to the lower
        // left of its pivot (widget 210, 210); 100 pixels out it is ~4 wide.
        const double a = -120.0 * M_PI / 180.0;
        const QPoint onNeedle(int(std::lround(210 + 100 * std::sin(a))), int(std::lround(210 - 100 * std::cos(a))));
        QVERIFY2(near(img.pixelColor(onNeedle), QColor(255, 48, 48), 10), qPrintable(describe(img.pixelColor(onNeedle))));
        QVERIFY(near(img.pixelColor(210, 110), Qt::black, 0)); // straight up: no needle

        // SPEED label (grey) and the speed Digit showing 0 (white) in their
        // boxes; nothing bright in the mask beside the Digit's box.
        QVERIFY(countNear(img, QRect(450, 65, 300, 30), QColor(200, 200, 200), 8) > 20);
        QVERIFY(countBright(img, QRect(450, 100, 300, 90), 250) > 50);
        QCOMPARE(countBright(img, QRect(432, 100, 16, 100), 200), 0);

        // Trapezoid RPM bar without a value: half full, trapezoid shape.
        const QColor green = blend(Qt::black, QColor(0, 220, 0), 200);
        QVERIFY2(near(img.pixelColor(500, 270), green, 4), qPrintable(describe(img.pixelColor(500, 270))));
        QVERIFY(near(img.pixelColor(700, 270), Qt::black, 0));
        QVERIFY(near(img.pixelColor(433, 244), Qt::black, 0)); // the slanted top-left corner

        // Masks with widgets let the page show through; the footer label is
        // amber.
        QVERIFY(near(img.pixelColor(35, 440), Qt::black, 0));
        QVERIFY(countNear(img, QRect(30, 410, 760, 50), QColor(255, 191, 0), 10) > 50);
    }

    void racePreview()
    {
        const QImage img = grab(0, true);
        const double rpm = m_samples.value(QStringLiteral("RPM"), kTime);
        QVERIFY(rpm > 1000 && rpm < 8000);

        // The needle follows the RPM over 0..8000.
        const double a = (-120.0 + 240.0 * rpm / 8000.0) * M_PI / 180.0;
        const QPoint onNeedle(int(std::lround(210 + 100 * std::sin(a))), int(std::lround(210 - 100 * std::cos(a))));
        QVERIFY2(near(img.pixelColor(onNeedle), QColor(255, 48, 48), 10), qPrintable(describe(img.pixelColor(onNeedle))));

        // The live look draws the bar as a plain rectangle filled to the RPM
        // fraction of its 0..8000 scale.
        // The bar's mask shows its tint under it.
        const double f = rpm / 8000.0;
        const int edge = int(430 + 340 * f);
        const QColor tint = blend(Qt::black, QColor(200, 80, 40), 60);
        const QColor green = blend(tint, QColor(0, 220, 0), 200);
        QVERIFY2(near(img.pixelColor(edge - 5, 245), green, 4), qPrintable(describe(img.pixelColor(edge - 5, 245))));
        QVERIFY2(near(img.pixelColor(edge + 5, 245), tint, 4), qPrintable(describe(img.pixelColor(edge + 5, 245))));

        // Every mask without artwork shows its kind's tint; no editor outline.
        QVERIFY(near(img.pixelColor(40, 420), blend(Qt::black, QColor(150, 100, 200), 60), 3));
        QVERIFY(countBright(img, QRect(450, 100, 300, 90), 250) > 50);
    }

    void engineEditor()
    {
        const QImage img = grab(1, false);
        // A ring gauge draws only its arc: at 0 nothing, not its Digit either.
        QCOMPARE(countBright(img, QRect(50, 50, 320, 320), 120), 0);
        QCOMPARE(countNear(img, QRect(50, 50, 320, 320), QColor(0, 160, 255), 40), 0);
        // The icon mask without a graphic: its tint, the channel and the name.
        QVERIFY(near(img.pixelColor(573, 362), blend(Qt::black, QColor(200, 180, 40), 60), 3));
        QVERIFY(countBright(img, QRect(572, 271, 92, 12), 200) > 5);
        QVERIFY(countBright(img, QRect(610, 350, 55, 15), 200) > 5);
    }

    void enginePreview()
    {
        const QImage img = grab(1, true);
        // The ring gauge shows the water temperature over 0..8000: a short
        // arc starting at the lower left (210 degrees).
        const double a = 210.0 * M_PI / 180.0;
        const double f = m_samples.value(QStringLiteral("Water Temp"), kTime) / 8000.0;
        QVERIFY(f > 0.0 && f < 0.05);
        const double sweep = a - f * 240.0 * M_PI / 180.0 / 2.0;
        const QPoint onArc(int(std::lround(210 + 135 * std::cos(sweep))), int(std::lround(210 - 135 * std::sin(sweep))));
        QVERIFY2(near(img.pixelColor(onArc), QColor(0, 160, 255), 10), qPrintable(describe(img.pixelColor(onArc))));
        // The icon mask shows its live value, without the editor's name.
        QVERIFY(countBright(img, QRect(572, 290, 92, 60), 200) > 20);
        QVERIFY(near(img.pixelColor(573, 362), blend(Qt::black, QColor(200, 180, 40), 60), 3));
    }

    void lapsBothModes()
    {
        const QImage editor = grab(2, false);
        const QImage preview = grab(2, true);
        // Lap time (0:00.00 in the editor) in its box.
        QVERIFY(countBright(editor, QRect(60, 80, 700, 110), 250) > 100);
        QVERIFY(countBright(preview, QRect(60, 80, 700, 110), 250) > 100);
        // The gear Digit is red in both.
        QVERIFY(countNear(editor, QRect(440, 360, 300, 80), QColor(255, 80, 80), 10) > 30);
        QVERIFY(countNear(preview, QRect(440, 360, 300, 80), QColor(255, 80, 80), 10) > 30);
    }
};

KORV_TEST_MAIN(CanvasDemoTest)
#include "tst_canvasdemo.moc"
