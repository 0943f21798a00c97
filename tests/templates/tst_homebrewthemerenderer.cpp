#include "templates/HomebrewThemeRenderer.h"

#include "support/PixelProbe.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QtTest>

namespace {

const QString kTitleFont = QStringLiteral("AgencyFB_Bold_Wide.ttf");
const QString kDejaVu = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
const QColor kPrimary(200, 100, 60);
const QColor kAccent(217, 30, 25);

ThemeParams params(int style)
{
    ThemeParams p;
    p.primary = kPrimary;
    p.accent = kAccent;
    p.style = style;
    return p;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Expected colour within the tolerance, with a readable failure.
void expectNear(const QImage& image, int x, int y, const QColor& expected, int tolerance = 2)
{
    const QColor got = image.pixelColor(x, y);
    QVERIFY2(PixelProbe::near(got, expected, tolerance),
             qPrintable(QStringLiteral("(%1,%2): %3, expected %4")
                            .arg(x)
                            .arg(y)
                            .arg(PixelProbe::describe(got), PixelProbe::describe(expected))));
}

} // namespace

class HomebrewThemeRendererTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { HomebrewThemeRenderer::resetFontCachesForTests(); }

    // Probes at x = 2, left of the title and of the watermark.
    void bodyAndBands_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("y");
        QTest::addColumn<QColor>("expected");
        const QColor top(int(0.35 * 200), int(0.35 * 100), int(0.35 * 60));
        QTest::newRow("header") << 0 << 0 << kPrimary;
        QTest::newRow("header end") << 0 << 39 << kPrimary;
        for (int y : {40, 42, 437, 439})
            QTest::addRow("accent %d", y) << 0 << y << kAccent;
        QTest::newRow("first body row") << 0 << 43 << top;
        QTest::newRow("last body row") << 0 << 436 << QColor(8, 8, 10);
        QTest::newRow("footer") << 0 << 440 << QColor(12, 12, 14);
        QTest::newRow("footer end") << 0 << 479 << QColor(12, 12, 14);
        QTest::newRow("carbon dark square") << 1 << 48 << QColor(18, 18, 18);
        QTest::newRow("carbon empty quarter") << 1 << 53 << QColor(0, 0, 0);
        QTest::newRow("diagonal top") << 2 << 43 << QColor(40, 45, 50);
        QTest::newRow("diagonal bottom") << 2 << 436 << QColor(21, 24, 27);
        QTest::newRow("style 5 top") << 5 << 43 << QColor(0, 0, 0);
        QTest::newRow("style 5 bottom") << 5 << 436 << QColor(0, 0, 0);
        QTest::newRow("style 5 accent") << 5 << 437 << kAccent;
    }
    void bodyAndBands()
    {
        QFETCH(int, style);
        QFETCH(int, y);
        QFETCH(QColor, expected);
        const QImage image = HomebrewThemeRenderer::renderBackground(800, 480, params(style));
        QCOMPARE(image.size(), QSize(800, 480));
        QCOMPARE(image.format(), QImage::Format_ARGB32);
        expectNear(image, 2, y, expected);
    }

    void secondaryStripes()
    {
        ThemeParams p = params(0);
        p.secondary = QColor(255, 255, 255);
        p.useSecondary = true;
        const QImage image = HomebrewThemeRenderer::renderBackground(800, 480, p);
        for (int y : {43, 44, 435, 436})
            expectNear(image, 2, y, Qt::white, 0);
        expectNear(image, 2, 45, QColor(69, 34, 21));
    }

    // 238 x 99: header 0..39, body 40..58 under the accent stripes, footer.
    void smallScreenBody()
    {
        const QImage image = HomebrewThemeRenderer::renderBackground(238, 99, params(0));
        QCOMPARE(image.size(), QSize(238, 99));
        expectNear(image, 2, 39, kPrimary, 0);
        expectNear(image, 2, 43, QColor(60, 31, 19));
        expectNear(image, 2, 55, QColor(21, 13, 12));
        expectNear(image, 2, 56, kAccent, 0);
        expectNear(image, 2, 59, QColor(12, 12, 14), 0);
        // A screen of 80 rows or less has no body: black between the bands.
        const QImage flat = HomebrewThemeRenderer::renderBackground(238, 120, params(5));
        const QImage none = HomebrewThemeRenderer::renderBackground(238, 80, params(0));
        expectNear(none, 2, 36, kPrimary, 0);
        expectNear(none, 2, 37, kAccent, 0);
        expectNear(flat, 2, 60, Qt::black, 0);
    }

    // 400 x 200 with green 40-column edges: scaled to 960 x 480 and cut by
    // 80 on each side, 16 green columns stay on either side.
    void importedPictureCoversAndCutsEqually()
    {
        QImage picture(400, 200, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        QPainter painter(&picture);
        painter.fillRect(0, 0, 40, 200, Qt::green);
        painter.fillRect(360, 0, 40, 200, Qt::green);
        painter.end();
        ThemeParams p = params(0);
        p.importedBackground = picture;
        const QImage image = HomebrewThemeRenderer::renderBackground(800, 480, p);
        QCOMPARE(image.size(), QSize(800, 480));
        const int left = PixelProbe::countNear(image, QRect(0, 240, 400, 1), Qt::green, 40);
        const int right = PixelProbe::countNear(image, QRect(400, 240, 400, 1), Qt::green, 40);
        QVERIFY2(left >= 14 && left <= 17, qPrintable(QString::number(left)));
        QCOMPARE(right, left);
        // No bands over it: red from the first row to the last.
        expectNear(image, 400, 0, Qt::red, 0);
        expectNear(image, 400, 479, Qt::red, 0);
        expectNear(image, 2, 20, Qt::green, 0);
        expectNear(image, 797, 470, Qt::green, 0);
    }

    // A thin strip is scaled only where it shows, not to 4.8 million columns.
    void importedStripStaysSmall()
    {
        QImage strip(10000, 1, QImage::Format_ARGB32);
        strip.fill(Qt::blue);
        ThemeParams p;
        p.importedBackground = strip;
        const QImage image = HomebrewThemeRenderer::renderBackground(800, 480, p);
        expectNear(image, 0, 0, Qt::blue, 0);
        expectNear(image, 799, 479, Qt::blue, 0);
    }

    // A 100 x 100 logo: a yellow 50 x 50 square on white. Cleared and cropped
    // it is the square alone, fitted to 300 x 300 in the middle.
    void logoWatermark_data()
    {
        QTest::addColumn<double>("alpha");
        QTest::addColumn<bool>("recolor");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("opaque") << 1.0 << false << QColor(Qt::yellow);
        QTest::newRow("half") << 0.5 << false << QColor(128, 128, 0);
        QTest::newRow("recoloured") << 1.0 << true << QColor(Qt::blue);
        QTest::newRow("beyond 1 clamps") << 7.0 << false << QColor(Qt::yellow);
        QTest::newRow("invisible") << 0.0 << false << QColor();
    }
    void logoWatermark()
    {
        QFETCH(double, alpha);
        QFETCH(bool, recolor);
        QFETCH(QColor, expected);
        QImage logo(100, 100, QImage::Format_RGB32);
        logo.fill(Qt::white);
        QPainter painter(&logo);
        painter.fillRect(25, 25, 50, 50, Qt::yellow);
        painter.end();
        ThemeParams p = params(5);
        p.logo = logo;
        p.watermarkAlpha = alpha;
        p.recolorLogo = recolor;
        p.recolorColor = Qt::blue;
        const QImage image = HomebrewThemeRenderer::renderBackground(800, 480, p);
        const QColor body = Qt::black;
        for (const QPoint& inside : {QPoint(400, 240), QPoint(252, 92), QPoint(547, 387)})
            expectNear(image, inside.x(), inside.y(), expected.isValid() ? expected : body);
        // No white square around it, nothing beyond the fitted box.
        QCOMPARE(PixelProbe::countBright(image, QRect(240, 80, 320, 320), 200), 0);
        expectNear(image, 245, 240, body, 0);
        expectNear(image, 400, 85, body, 0);
    }

    void clearLightBackground_data()
    {
        QTest::addColumn<int>("lightCorners");
        QTest::addColumn<bool>("transparentPixel");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("four light corners") << 4 << false << true;
        QTest::newRow("three light corners") << 3 << false << true;
        QTest::newRow("two light corners") << 2 << false << false;
        QTest::newRow("one transparent pixel") << 4 << true << false;
    }
    void clearLightBackground()
    {
        QFETCH(int, lightCorners);
        QFETCH(bool, transparentPixel);
        QFETCH(bool, cleared);
        QImage logo(20, 10, QImage::Format_ARGB32);
        logo.fill(QColor(250, 248, 240));
        logo.setPixelColor(10, 5, QColor(30, 30, 200));
        const QList<QPoint> corners{{19, 9}, {0, 9}, {19, 0}};
        for (int i = 0; i < 4 - lightCorners; ++i)
            logo.setPixelColor(corners[i], Qt::darkGray);
        if (transparentPixel)
            logo.setPixelColor(5, 5, QColor(0, 0, 0, 0));
        const QImage before = logo;
        HomebrewThemeRenderer::clearLightBackground(logo);
        if (!cleared) {
            QCOMPARE(logo, before);
            return;
        }
        QCOMPARE(qAlpha(logo.pixel(0, 0)), 0);
        QCOMPARE(logo.pixelColor(0, 0).rgb(), QColor(250, 248, 240).rgb());  // colour kept
        QCOMPARE(logo.pixelColor(10, 5), QColor(30, 30, 200));
    }

    void opaqueBounds()
    {
        QImage image(50, 40, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QCOMPARE(HomebrewThemeRenderer::opaqueBounds(image).size(), QSize(50, 40));
        image.setPixelColor(10, 5, QColor(255, 0, 0, 1));
        image.setPixelColor(29, 12, Qt::green);
        const QImage cropped = HomebrewThemeRenderer::opaqueBounds(image);
        QCOMPARE(cropped.size(), QSize(20, 8));
        QCOMPARE(cropped.format(), QImage::Format_ARGB32);
        QCOMPARE(cropped.pixelColor(0, 0), QColor(255, 0, 0, 1));
        QCOMPARE(cropped.pixelColor(19, 7), QColor(Qt::green));
        QVERIFY(HomebrewThemeRenderer::opaqueBounds(QImage()).isNull());
    }

    void fallbackFonts_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("family");
        QTest::newRow("title") << kTitleFont << "Arial Black";
        QTest::newRow("subtitle") << "DINOT-Bold.ttf" << "Segoe UI";
        QTest::newRow("other") << "Other.ttf" << QFont().family();
    }
    void fallbackFonts()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, family);
        Rs3Fixture fx;
        const QFont font = HomebrewThemeRenderer::themeFont("mxg_12", fileName, 28);
        QCOMPARE(font.family(), family);
        QCOMPARE(font.weight(), QFont::Bold);
        QCOMPARE(font.pixelSize(), 28);
    }

    void fixtureFontLoadedOnce()
    {
        const QByteArray font = fileBytes(kDejaVu);
        if (font.isEmpty())
            QSKIP("fonts-dejavu-core is not installed");
        Rs3Fixture fx;
        const QString rel = "aim/resources/overlay/mxg_12/fonts/" + kTitleFont;
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, rel, font));
        QCOMPARE(HomebrewThemeRenderer::findFontFile("mxg_12", kTitleFont), fx.absolutePath(Rs3Fixture::Stable, rel));
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, rel, font));
        QCOMPARE(HomebrewThemeRenderer::findFontFile("mxg_12", kTitleFont), fx.absolutePath(Rs3Fixture::Beta, rel));
        QCOMPARE(HomebrewThemeRenderer::findFontFile("mxg_12/extra", kTitleFont), fx.absolutePath(Rs3Fixture::Beta, rel));

        const int id = HomebrewThemeRenderer::loadFontFamily("mxg_12", kTitleFont);
        QVERIFY(id >= 0);
        const QFont title = HomebrewThemeRenderer::themeFont("mxg_12", kTitleFont, 28);
        QCOMPARE(title.family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(title.weight(), QFont::Bold);
        // Cached: the files are not looked at again.
        QVERIFY(QFile::remove(fx.absolutePath(Rs3Fixture::Beta, rel)));
        QVERIFY(QFile::remove(fx.absolutePath(Rs3Fixture::Stable, rel)));
        QCOMPARE(HomebrewThemeRenderer::loadFontFamily("mxg_12", kTitleFont), id);
        QCOMPARE(HomebrewThemeRenderer::themeFont("mxg_12", kTitleFont, 28).family(), QStringLiteral("DejaVu Sans"));
        // "Normal" faces are set at weight 400.
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, "aim/resources/overlay/mxg_12/fonts/Plain.ttf", font));
        QCOMPARE(HomebrewThemeRenderer::themeFont("mxg_12", "Plain.ttf", 14).weight(), QFont::Normal);
    }

    // A font looked for once and missing stays missing until the reset.
    void missingFontRemembered()
    {
        const QByteArray font = fileBytes(kDejaVu);
        if (font.isEmpty())
            QSKIP("fonts-dejavu-core is not installed");
        Rs3Fixture fx;
        QCOMPARE(HomebrewThemeRenderer::loadFontFamily("pdm/dash1", kTitleFont), -1);
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, "aim/resources/overlay/pdm/fonts/" + kTitleFont, font));
        QCOMPARE(HomebrewThemeRenderer::loadFontFamily("pdm/dash1", kTitleFont), -1);
        QCOMPARE(HomebrewThemeRenderer::themeFont("pdm/dash1", kTitleFont, 20).family(), QStringLiteral("Arial Black"));
        HomebrewThemeRenderer::resetFontCachesForTests();
        QVERIFY(HomebrewThemeRenderer::loadFontFamily("pdm/dash1", kTitleFont) >= 0);
    }
};

KORV_GUI_TEST_MAIN(HomebrewThemeRendererTest)
#include "tst_homebrewthemerenderer.moc"
