#include "artwork/BoxStyleLibrary.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/TgzImage.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

namespace {

bool alphaIsOneBit(const QImage& img)
{
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const int a = qAlpha(img.pixel(x, y));
            if (a != 0 && a != 255)
                return false;
        }
    }
    return true;
}

bool opaque(const QImage& img, int x, int y)
{
    return qAlpha(img.pixel(x, y)) == 255;
}

int firstOpaqueRow(const QImage& img, int x)
{
    for (int y = 0; y < img.height(); ++y) {
        if (opaque(img, x, y))
            return y;
    }
    return -1;
}

int opaqueRunFromLeft(const QImage& img, int y)
{
    int x = 0;
    while (x < img.width() && opaque(img, x, y))
        ++x;
    return x;
}

int countOpaque(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += opaque(img, x, y) ? 1 : 0;
    return n;
}

// Colours of the opaque pixels inside a rectangle.
QSet<QRgb> coloursIn(const QImage& img, const QRect& r)
{
    QSet<QRgb> set;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (opaque(img, x, y))
                set.insert(img.pixel(x, y) & 0xffffff);
    return set;
}

} // namespace

class BoxStyleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void catalogue()
    {
        const QList<BoxStyle>& list = BoxStyleLibrary::catalogue();
        QCOMPARE(list.size(), 15);
        QCOMPARE(&list, &BoxStyleLibrary::catalogue());
        const QStringList ids{"clean", "panel_dark", "panel_outline", "solid_blue", "gradient_steel",
                              "accent_bottom", "accent_top", "accent_left", "stripe_only", "cut_corner",
                              "double_frame", "warn_red", "warn_amber", "team_stripe", "color_border"};
        for (int i = 0; i < ids.size(); ++i)
            QCOMPARE(list.at(i).id, ids.at(i));
        QCOMPARE(list.first().displayName, QString("Clean (no box)"));
        QCOMPARE(cleanBoxStyleId(), QString("clean"));
        for (const BoxStyle& s : list) {
            for (const QColor& c : {s.fillTop, s.fillBottom, s.borderColor, s.innerFrameColor, s.accentColor})
                QVERIFY(!c.isValid() || c.alpha() == 255);
        }
        const BoxStyle* steel = BoxStyleLibrary::findById("gradient_steel");
        QVERIFY(steel && steel->verticalGradient);
        QCOMPARE(steel->fillBottom, QColor(11, 14, 18));
        const BoxStyle* cut = BoxStyleLibrary::findById("cut_corner");
        QVERIFY(cut && cut->cutCorner && !cut->rounded);
    }

    void findById_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("index");
        QTest::newRow("clean") << "clean" << 0;
        QTest::newRow("color_border") << "color_border" << 14;
        QTest::newRow("capitals") << "Panel_Dark" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("custom") << "custom" << -1;
    }

    void findById()
    {
        QFETCH(QString, id);
        QFETCH(int, index);
        const BoxStyle* s = BoxStyleLibrary::findById(id);
        QCOMPARE(s ? int(s - BoxStyleLibrary::catalogue().constData()) : -1, index);
    }

    void usesAccent()
    {
        QStringList accented;
        for (const BoxStyle& s : BoxStyleLibrary::catalogue())
            if (BoxStyleLibrary::usesAccentColor(s.id))
                accented << s.id;
        QCOMPARE(accented, QStringList({"accent_bottom", "accent_top", "accent_left", "stripe_only",
                                        "double_frame", "team_stripe", "color_border"}));
        QVERIFY(!BoxStyleLibrary::usesAccentColor("nope"));
    }

    void metrics_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("200x100") << QSize(200, 100) << QList<int>{11, 3, 6, 6, 16};
        QTest::newRow("800x480") << QSize(800, 480) << QList<int>{22, 3, 9, 8, 30};
        QTest::newRow("120x40") << QSize(120, 40) << QList<int>{4, 1, 3, 2, 8};
        // Taller than wide: the stripe follows the height (7), never min(w, h) (3).
        QTest::newRow("40x120") << QSize(40, 120) << QList<int>{4, 1, 7, 2, 8};
    }

    void metrics()
    {
        QFETCH(QSize, size);
        QFETCH(QList<int>, expected);
        const BoxMetrics m = BoxStyleRenderer::metricsFor(size.width(), size.height());
        QCOMPARE((QList<int>{m.radius, m.borderWidth, m.stripe, m.inset, m.cut}), expected);
    }

    void everyStyleHasOneBitAlpha_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("caption");
        for (const BoxStyle& s : BoxStyleLibrary::catalogue()) {
            QTest::newRow(qPrintable(s.id)) << s.id << QSize(200, 100) << QString();
            QTest::newRow(qPrintable(s.id + " caption")) << s.id << QSize(160, 70) << QString("OIL T");
            QTest::newRow(qPrintable(s.id + " tiny")) << s.id << QSize(7, 5) << QString("X");
        }
    }

    void everyStyleHasOneBitAlpha()
    {
        QFETCH(QString, style);
        QFETCH(QSize, size);
        QFETCH(QString, caption);
        const QImage img = BoxStyleRenderer::render(size, style, QColor(200, 30, 90), 0, caption, QColor());
        QCOMPARE(img.size(), size);
        QCOMPARE(img.format(), QImage::Format_ARGB32);
        QVERIFY(alphaIsOneBit(img));
        if (style != "clean")
            QVERIFY(countOpaque(img) > 0);
        // What is drawn survives the device format unchanged.
        QCOMPARE(TgzImage::decode(TgzImage::encode(img)).size(), size);
        const QImage multi = BoxStyleRenderer::renderMultiBox(size, style, QColor(), 3, 2, true, 0, caption, QColor());
        QVERIFY(alphaIsOneBit(multi));
    }

    void emptyAndUnknown()
    {
        QVERIFY(BoxStyleRenderer::render(QSize(0, 10), "panel_dark", {}, 0, {}, {}).isNull());
        QVERIFY(BoxStyleRenderer::render(QSize(10, -1), "panel_dark", {}, 0, {}, {}).isNull());
        for (const QString id : {"clean", "custom"}) {
            const QImage img = BoxStyleRenderer::render(QSize(40, 30), id, {}, 0, "CAP", {});
            QCOMPARE(img.size(), QSize(40, 30));
            QCOMPARE(countOpaque(img), 0);
        }
    }

    void hugeSizesRefused_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("wide") << QSize(100000, 10);
        QTest::newRow("tall") << QSize(10, 70000);
        QTest::newRow("too many pixels") << QSize(60000, 60000);
        QTest::newRow("int max") << QSize(INT_MAX, INT_MAX);
    }

    void hugeSizesRefused()
    {
        QFETCH(QSize, size);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^BoxStyleRenderer::render: refusing"));
        QVERIFY(BoxStyleRenderer::render(size, "panel_dark", {}, 0, {}, {}).isNull());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^BoxStyleRenderer::render: refusing"));
        QVERIFY(BoxStyleRenderer::renderMultiBox(size, "panel_dark", {}, 2, 2, true, 0, {}, {}).isNull());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^BoxStyleRenderer::paintColorRamp: refusing"));
        QVERIFY(BoxStyleRenderer::paintColorRamp(QImage(4, 4, QImage::Format_ARGB32), 0, 3, size).isNull());
        QVERIFY(!BoxStyleRenderer::isRenderableSize(size.width(), size.height()));
    }

    void captionBandOffsetsOutline()
    {
        const QImage plain = BoxStyleRenderer::render(QSize(200, 100), "panel_dark", {}, 0, {}, {});
        QCOMPARE(firstOpaqueRow(plain, 30), 0);
        const QImage withCaption = BoxStyleRenderer::render(QSize(200, 100), "panel_dark", {}, 0, "RPM", {});
        QCOMPARE(firstOpaqueRow(withCaption, 30), 12);
        // The 24-pixel tab straddles the top edge, in the default accent.
        QCOMPARE(withCaption.pixel(100, 1), qRgba(90, 170, 255, 255));
        QCOMPARE(firstOpaqueRow(withCaption, 100), 0);
        QCOMPARE(withCaption.pixel(100, 23) & 0xffffff, QRgb(0x5aaaff));
        QCOMPARE(withCaption.pixel(100, 24), qRgba(20, 25, 31, 255));
    }

    void strokeWidth_data()
    {
        QTest::addColumn<int>("borderPx");
        QTest::addColumn<int>("expected");
        QTest::newRow("override capped at a third") << 12 << 6;
        QTest::newRow("override 2") << 2 << 2;
        QTest::newRow("automatic") << 0 << 1;
    }

    void strokeWidth()
    {
        QFETCH(int, borderPx);
        QFETCH(int, expected);
        const QImage img = BoxStyleRenderer::render(QSize(30, 20), "panel_outline", {}, borderPx, {}, {});
        QCOMPARE(opaqueRunFromLeft(img, 10), expected);
        QCOMPARE(img.pixel(0, 10), qRgba(58, 69, 84, 255));
        QVERIFY(!opaque(img, 15, 10));
    }

    void stripeOnly()
    {
        const QImage img = BoxStyleRenderer::render(QSize(100, 50), "stripe_only", QColor(), 0, {}, {});
        for (int y = 0; y < 50; ++y) {
            for (int x = 0; x < 100; ++x) {
                const bool inStripe = y >= 47;
                QCOMPARE(opaque(img, x, y), inStripe);
                if (inStripe)
                    QCOMPARE(img.pixel(x, y), qRgba(90, 170, 255, 255));
            }
        }
        const QImage red = BoxStyleRenderer::render(QSize(100, 50), "stripe_only", QColor(255, 0, 0), 0, {}, {});
        QCOMPARE(red.pixel(50, 48), qRgba(255, 0, 0, 255));
        // A fixed stripe colour ignores the caller's accent.
        const QImage amber = BoxStyleRenderer::render(QSize(100, 50), "warn_amber", QColor(255, 0, 0), 0, {}, {});
        QCOMPARE(amber.pixel(50, 48), qRgba(255, 176, 0, 255));
    }

    void accentSides()
    {
        const QImage top = BoxStyleRenderer::render(QSize(100, 50), "accent_top", QColor(0, 255, 0), 0, {}, {});
        QCOMPARE(top.pixel(50, 0), qRgba(0, 255, 0, 255));
        QCOMPARE(top.pixel(50, 2), qRgba(0, 255, 0, 255));
        QCOMPARE(top.pixel(50, 3), qRgba(20, 25, 31, 255));
        const QImage left = BoxStyleRenderer::render(QSize(100, 50), "accent_left", QColor(0, 255, 0), 0, {}, {});
        QCOMPARE(left.pixel(2, 25), qRgba(0, 255, 0, 255));
        QCOMPARE(left.pixel(3, 25), qRgba(20, 25, 31, 255));
    }

    void cutCornerIsCut()
    {
        const QImage img = BoxStyleRenderer::render(QSize(200, 100), "cut_corner", {}, 0, {}, {});
        // cut 16: top-left and bottom-right corners are empty, the others square.
        QVERIFY(!opaque(img, 2, 2));
        QVERIFY(!opaque(img, 196, 96));
        QVERIFY(opaque(img, 1, 97));
        QVERIFY(opaque(img, 197, 1));
        QVERIFY(opaque(img, 20, 2));
    }

    void captionTextColour_data()
    {
        QTest::addColumn<QColor>("accent");
        QTest::addColumn<QColor>("captionColor");
        QTest::addColumn<QRgb>("forbidden");
        QTest::newRow("light tab: black letters") << QColor() << QColor() << QRgb(0xffffff);
        QTest::newRow("dark tab: white letters") << QColor(14, 42, 74) << QColor() << QRgb(0x000000);
        QTest::newRow("given colour") << QColor(14, 42, 74) << QColor(255, 0, 0) << QRgb(0xffffff);
    }

    void captionTextColour()
    {
        QFETCH(QColor, accent);
        QFETCH(QColor, captionColor);
        QFETCH(QRgb, forbidden);
        const QImage img = BoxStyleRenderer::render(QSize(200, 100), "stripe_only", accent, 0, "WATER TEMP", captionColor);
        QVERIFY(alphaIsOneBit(img));
        // Fonts may be missing: only the tab's geometry and the colours allowed in it are checked.
        const QSet<QRgb> colours = coloursIn(img, QRect(0, 0, 200, 24));
        QVERIFY(!colours.contains(forbidden));
        QVERIFY(colours.contains((accent.isValid() ? accent : QColor(90, 170, 255)).rgb() & 0xffffff));
        QVERIFY(!opaque(img, 0, 5));
        QVERIFY(!opaque(img, 199, 5));
    }

    void multiBoxMatchesRenderWithoutGrid_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<bool>("dividers");
        QTest::newRow("1x1") << 1 << 1 << true;
        QTest::newRow("dividers off") << 3 << 3 << false;
        QTest::newRow("0 rows") << 0 << 3 << true;
        QTest::newRow("0 cols") << 2 << 0 << true;
        QTest::newRow("negative") << -4 << 2 << true;
        QTest::newRow("65 cols") << 1 << 65 << true;
        QTest::newRow("absurd") << 100000 << 100000 << true;
    }

    void multiBoxMatchesRenderWithoutGrid()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(bool, dividers);
        const QImage single = BoxStyleRenderer::render(QSize(200, 100), "double_frame", QColor(1, 2, 3), 0, "CAP", {});
        const QImage multi = BoxStyleRenderer::renderMultiBox(QSize(200, 100), "double_frame", QColor(1, 2, 3), rows, cols,
                                                              dividers, 0, "CAP", {});
        QCOMPARE(multi, single);
    }

    void multiBoxGeometry()
    {
        const BoxGrid grid = BoxStyleRenderer::gridCells(200, 100, 2, 2, 3, 3);
        QCOMPARE(grid.cells, (QList<QRect>{QRect(3, 3, 95, 45), QRect(101, 3, 95, 45), QRect(3, 51, 95, 45),
                                           QRect(101, 51, 95, 45)}));
        QCOMPARE(grid.verticalDividers, QList<QRect>{QRect(98, 3, 3, 94)});
        QCOMPARE(grid.horizontalDividers, QList<QRect>{QRect(3, 48, 194, 3)});

        const QImage img = BoxStyleRenderer::renderMultiBox(QSize(200, 100), "clean", QColor(255, 0, 0), 2, 2, true, 0, {}, {});
        for (int x = 96; x <= 102; ++x)
            QCOMPARE(opaque(img, x, 20), x >= 98 && x <= 100);
        for (int y = 46; y <= 52; ++y)
            QCOMPARE(opaque(img, 20, y), y >= 48 && y <= 50);
        QCOMPARE(img.pixel(99, 20), qRgba(255, 0, 0, 255));
        QCOMPARE(countOpaque(img), 3 * 94 + 194 * 3 - 9);

        const QImage slate = BoxStyleRenderer::renderMultiBox(QSize(200, 100), "clean", QColor(), 1, 3, true, 0, {}, {});
        QCOMPARE(slate.pixel(66, 50), qRgba(58, 69, 84, 255));
    }

    void gridGuards_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("cells");
        QTest::newRow("0 rows") << 0 << 2 << 0;
        QTest::newRow("0 cols") << 2 << 0 << 0;
        QTest::newRow("65 rows") << 65 << 1 << 0;
        QTest::newRow("int min") << INT_MIN << 2 << 0;
        QTest::newRow("64x64 on a small box") << 64 << 64 << 64 * 64;
    }

    void gridGuards()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(int, cells);
        const BoxGrid grid = BoxStyleRenderer::gridCells(50, 40, rows, cols, 1, 2);
        QCOMPARE(int(grid.cells.size()), cells);
        for (const QRect& r : grid.cells)
            QVERIFY(r.width() >= 1 && r.height() >= 1);
        QCOMPARE(BoxStyleRenderer::isUsableGrid(rows, cols), cells > 0);
        QVERIFY(alphaIsOneBit(BoxStyleRenderer::renderMultiBox(QSize(50, 40), "panel_dark", {}, rows, cols, true, 0, {}, {})));
    }

    void ramp_data()
    {
        QTest::addColumn<double>("t");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("0") << 0.0 << QColor(0, 220, 0);
        QTest::newRow("0.25") << 0.25 << QColor(128, 206, 0);
        QTest::newRow("0.5") << 0.5 << QColor(255, 191, 0);
        QTest::newRow("1") << 1.0 << QColor(255, 0, 0);
        QTest::newRow("below") << -3.0 << QColor(0, 220, 0);
        QTest::newRow("above") << 7.0 << QColor(255, 0, 0);
        QTest::newRow("nan") << qQNaN() << QColor(0, 220, 0);
    }

    void ramp()
    {
        QFETCH(double, t);
        QFETCH(QColor, expected);
        QCOMPARE(BoxStyleRenderer::rampColorAt(t, barColorRamp()), expected);
        QCOMPARE(BoxStyleRenderer::rampColorAt(t, {}), QColor(0, 0, 0));
        QCOMPARE(BoxStyleRenderer::rampColorAt(t, {QColor(1, 2, 3)}), QColor(1, 2, 3));
    }

    void paintRamp()
    {
        QImage src(11, 6, QImage::Format_ARGB32);
        src.fill(qRgba(9, 9, 9, 255));
        src.setPixel(5, 2, qRgba(9, 9, 9, 0));
        const QImage out = BoxStyleRenderer::paintColorRamp(src, 2, 3, QSize(11, 6));
        QCOMPARE(out.format(), QImage::Format_ARGB32);
        QCOMPARE(out.pixel(0, 2), qRgba(0, 220, 0, 255));
        QCOMPARE(out.pixel(10, 3), qRgba(255, 0, 0, 255));
        QCOMPARE(out.pixel(5, 3), qRgba(255, 191, 0, 255));
        QCOMPARE(out.pixel(5, 2), qRgba(255, 191, 0, 0)); // alpha kept
        QCOMPARE(out.pixel(5, 1), qRgba(9, 9, 9, 255));  // outside the rows: untouched
        QCOMPARE(out.pixel(5, 4), qRgba(9, 9, 9, 255));
        // Rows are clamped into the picture; one column is all green.
        const QImage one = BoxStyleRenderer::paintColorRamp(src, -5, 99, QSize(1, 4));
        QCOMPARE(one.size(), QSize(1, 4));
        QCOMPARE(one.pixel(0, 0) & 0xffffff, QRgb(0x00dc00));
        QCOMPARE(one.pixel(0, 3) & 0xffffff, QRgb(0x00dc00));
    }
};

KORV_GUI_TEST_MAIN(BoxStyleTest)
#include "tst_boxstyle.moc"
