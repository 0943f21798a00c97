#include "canvas/DashCanvas.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

namespace {

// A page with masks as the model would read them: every record keeps its
// GMaskParam node in a document of the fixture.
struct PageFixture {
    pugi::xml_document doc;
    PageModel page;

    // References returned by addMask stay valid for a few masks.
    PageFixture()
    {
        doc.append_child("e").append_attribute("c").set_value("GPageParam");
        page.masks.reserve(8);
    }

    MaskElement& addMask(int kind, QRect r, const char* ordine = nullptr)
    {
        pugi::xml_node node = doc.first_child().append_child("e");
        node.append_attribute("c").set_value("GMaskParam");
        const auto param = [&](const char* name, const QByteArray& value) {
            pugi::xml_node p = node.append_child("p");
            p.append_attribute("n").set_value(name);
            p.text().set(value.constData());
        };
        param("XPOS", QByteArray::number(r.x()));
        param("YPOS", QByteArray::number(r.y()));
        param("WIDTH", QByteArray::number(r.width()));
        param("HEIGHT", QByteArray::number(r.height()));
        if (ordine)
            param("ORDINE", ordine);
        MaskElement mask;
        mask.id = QStringLiteral("m%1").arg(page.masks.size());
        mask.x = r.x();
        mask.y = r.y();
        mask.w = r.width();
        mask.h = r.height();
        mask.kind = kind;
        mask.node = node;
        page.masks.push_back(mask);
        return page.masks.back();
    }
};

// What a fill of colour c with alpha a leaves over dst.
QColor blend(QColor dst, QColor c, int a)
{
    const auto mix = [a](int d, int s) { return int(std::lround((s * a + d * (255 - a)) / 255.0)); };
    return QColor(mix(dst.red(), c.red()), mix(dst.green(), c.green()), mix(dst.blue(), c.blue()));
}

bool near(QColor a, QColor b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

QString text(QColor c)
{
    return QStringLiteral("(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// A line of one pixel or two may land on either side of its coordinate.
bool lineNear(const QImage& img, int x, int y, bool vertical, QColor expected)
{
    for (int d = -1; d <= 1; ++d) {
        const QColor c = vertical ? img.pixelColor(x + d, y) : img.pixelColor(x, y + d);
        if (near(c, expected))
            return true;
    }
    return false;
}

QImage paint(DashCanvas& canvas)
{
    return canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

const QColor kGrey(50, 50, 50);
const QColor kDigit(40, 180, 60);
const QColor kBar(200, 80, 40);
const QColor kLabel(150, 100, 200);
const QColor kIcon(200, 180, 40);

} // namespace

class CanvasPaintTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noPage()
    {
        DashCanvas canvas;
        canvas.resize(1000, 500);
        QCOMPARE(canvas.viewScale(), 1.0);
        QCOMPARE(canvas.pageOrigin(), QPointF(10, 10));
        const QImage img = paint(canvas);
        for (const QPoint p : { QPoint(0, 0), QPoint(500, 250), QPoint(999, 499) })
            QCOMPARE(img.pixelColor(p), kGrey);
    }

    void geometry_data()
    {
        QTest::addColumn<QSize>("widget");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QPointF>("origin");
        QTest::newRow("800x480 on 1000x500") << QSize(1000, 500) << QSize(800, 480) << 1.0 << QPointF(100, 10);
        QTest::newRow("small page enlarged") << QSize(1000, 500) << QSize(400, 240) << 2.0 << QPointF(100, 10);
        QTest::newRow("narrow widget") << QSize(420, 500) << QSize(800, 480) << 0.5 << QPointF(10, 130);
    }

    void geometry()
    {
        QFETCH(QSize, widget);
        QFETCH(QSize, page);
        QFETCH(double, scale);
        QFETCH(QPointF, origin);
        PageFixture f;
        f.page.width = page.width();
        f.page.height = page.height();
        const MaskElement& mask = f.addMask(MaskDigit, QRect(10, 20, 30, 40));
        DashCanvas canvas;
        canvas.resize(widget);
        canvas.setPage(&f.page);
        QCOMPARE(canvas.viewScale(), scale);
        QCOMPARE(canvas.pageOrigin(), origin);
        QCOMPARE(canvas.maskRect(mask), QRectF(origin.x() + 10 * scale, origin.y() + 20 * scale, 30 * scale, 40 * scale));
    }

    void backgroundAndGrid()
    {
        PageFixture f;
        DashCanvas canvas;
        canvas.resize(1000, 500);
        canvas.setPage(&f.page);

        QImage img = paint(canvas);
        QCOMPARE(img.pixelColor(50, 250), kGrey);   // around the page
        QCOMPARE(img.pixelColor(110, 35), QColor(Qt::black)); // no grid without snapping

        QPixmap background(80, 48);
        background.fill(QColor(0, 0, 200));
        f.page.background = background;
        canvas.setGrid(true, 10);
        img = paint(canvas);
        const QColor blue(0, 0, 200);
        QVERIFY2(near(img.pixelColor(115, 35), blue), qPrintable(text(img.pixelColor(115, 35))));
        QVERIFY2(near(img.pixelColor(895, 485), blue), qPrintable(text(img.pixelColor(895, 485))));
        QCOMPARE(img.pixelColor(95, 250), kGrey);

        // Page x 10 is minor, 50 major, 400 the centre (over a major line,
        // while the centre at page y 240 lies over a minor one);
        // widget x = 100 + page x at scale 1.
        const QColor minor = blend(blue, QColor(80, 80, 80), 100);
        const QColor major = blend(blue, QColor(110, 110, 110), 150);
        const QColor centre = blend(major, QColor(160, 160, 160), 200);
        QVERIFY(lineNear(img, 110, 35, true, minor));
        QVERIFY(lineNear(img, 150, 35, true, major));
        QVERIFY(lineNear(img, 500, 35, true, centre));
        QVERIFY(lineNear(img, 115, 30, false, minor));   // page y 20
        QVERIFY(lineNear(img, 115, 60, false, major));   // page y 50
        QVERIFY(lineNear(img, 115, 250, false, blend(minor, QColor(160, 160, 160), 200))); // page y 240
        QVERIFY(lineNear(img, 900, 35, true, major));    // page x 800: the last line
        QVERIFY(!lineNear(img, 910, 35, true, minor));   // nothing past the page

        canvas.setGrid(true, 1);
        img = paint(canvas);
        QVERIFY(near(img.pixelColor(110, 35), blue));
        QVERIFY(near(img.pixelColor(500, 35), blue));
    }

    void placeholders_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("analog without gauge") << int(MaskAnalog) << QColor(40, 80, 200);
        QTest::newRow("ring without gauge") << int(MaskRing) << QColor(80, 200, 120);
        QTest::newRow("digit") << int(MaskDigit) << kDigit;
        QTest::newRow("bar") << int(MaskBargraph) << kBar;
        QTest::newRow("icon") << int(MaskIcon) << kIcon;
        QTest::newRow("label") << int(MaskLabel) << kLabel;
        QTest::newRow("other") << int(MaskOther) << QColor(128, 128, 128);
    }

    void placeholders()
    {
        QFETCH(int, kind);
        QFETCH(QColor, colour);
        PageFixture f;
        f.addMask(kind, QRect(200, 200, 100, 50));
        DashCanvas canvas;
        canvas.resize(1000, 500);
        canvas.setPage(&f.page);
        const QImage img = paint(canvas);
        const QColor expected = blend(Qt::black, colour, 60);
        const QColor got = img.pixelColor(350, 235);
        QVERIFY2(near(got, expected), qPrintable(text(got) + " vs " + text(expected)));
        QCOMPARE(img.pixelColor(450, 235), QColor(Qt::black));
    }

    void paintOrder_data()
    {
        QTest::addColumn<QStringList>("ordine"); // "-" for a mask without ORDINE
        QTest::addColumn<QVector<int>>("order");
        QTest::newRow("5 2 2") << QStringList{ "5", "2", "2" } << QVector<int>{ 1, 2, 0 };
        QTest::newRow("ascending") << QStringList{ "0", "1", "2" } << QVector<int>{ 0, 1, 2 };
        QTest::newRow("descending, blanks") << QStringList{ " 9 ", "4", "1" } << QVector<int>{ 2, 1, 0 };
        QTest::newRow("one missing") << QStringList{ "5", "-", "1" } << QVector<int>{ 0, 1, 2 };
        QTest::newRow("one negative") << QStringList{ "5", "-1", "1" } << QVector<int>{ 0, 1, 2 };
        QTest::newRow("one not a number") << QStringList{ "5", "x", "1" } << QVector<int>{ 0, 1, 2 };
        QTest::newRow("64-bit values") << QStringList{ "9000000000", "8000000000", "1" } << QVector<int>{ 2, 1, 0 };
    }

    void paintOrder()
    {
        QFETCH(QStringList, ordine);
        QFETCH(QVector<int>, order);
        PageFixture f;
        // Three overlapping masks; the last one painted shows most.
        const QColor colours[3] = { kDigit, kBar, kLabel };
        const int kinds[3] = { MaskDigit, MaskBargraph, MaskLabel };
        for (int i = 0; i < 3; ++i) {
            const QByteArray o = ordine[i].toUtf8();
            f.addMask(kinds[i], QRect(100 + 20 * i, 100, 200, 100), o == "-" ? nullptr : o.constData());
        }
        DashCanvas canvas;
        canvas.resize(1000, 500);
        canvas.setPage(&f.page);
        QCOMPARE(canvas.paintOrder(), order);

        QColor expected = Qt::black;
        for (int i : order)
            expected = blend(expected, colours[i], 60);
        const QImage img = paint(canvas);
        const QColor got = img.pixelColor(100 + 200, 10 + 150); // inside all three
        QVERIFY2(near(got, expected), qPrintable(text(got) + " vs " + text(expected)));
    }

    void widgetRect_data()
    {
        QTest::addColumn<QRect>("widget");   // x, y, WIDTH, HEIGHT
        QTest::addColumn<int>("charsetPx");
        QTest::addColumn<int>("numChars");
        QTest::addColumn<QString>("posAlign");
        QTest::addColumn<int>("maskHeight");
        QTest::addColumn<QRect>("expected"); // page pixels, mask at (100, 50)
        QTest::newRow("sized") << QRect(5, 6, 40, 20) << 0 << 0 << "" << 30 << QRect(105, 56, 40, 20);
        QTest::newRow("derived from mask height") << QRect(0, 0, 0, 0) << 0 << 3 << "" << 30 << QRect(100, 50, 16, 12);
        QTest::newRow("derived at least 8") << QRect(0, 0, 0, 0) << 0 << 10 << "" << 30 << QRect(100, 50, 16, 9);
        QTest::newRow("derived from charset") << QRect(0, 0, 0, 0) << 20 << 0 << "" << 30 << QRect(100, 50, 30, 24);
        QTest::newRow("tall mask keeps 12") << QRect(0, 0, 0, 0) << 0 << 1 << "" << 100 << QRect(100, 50, 18, 14);
        QTest::newRow("mc sized: up only") << QRect(50, 40, 40, 20) << 0 << 0 << "mc" << 30 << QRect(150, 80, 40, 20);
        QTest::newRow("mc unsized: up and left") << QRect(50, 40, 0, 20) << 0 << 3 << "MC" << 30 << QRect(141, 80, 18, 20);
        QTest::newRow("br unsized") << QRect(50, 40, 0, 0) << 10 << 0 << "br" << 30 << QRect(134, 78, 16, 12);
        QTest::newRow("short align text") << QRect(50, 40, 0, 0) << 10 << 0 << "b" << 30 << QRect(150, 78, 16, 12);
    }

    void widgetRect()
    {
        QFETCH(QRect, widget);
        QFETCH(int, charsetPx);
        QFETCH(int, numChars);
        QFETCH(QString, posAlign);
        QFETCH(int, maskHeight);
        QFETCH(QRect, expected);
        PageFixture f;
        MaskElement& mask = f.addMask(MaskDigit, QRect(100, 50, 200, maskHeight));
        WidgetModel w;
        w.x = widget.x();
        w.y = widget.y();
        w.w = widget.width();
        w.h = widget.height();
        w.charsetPx = charsetPx;
        w.numChars = numChars;
        w.posAlign = posAlign;
        mask.widgets.push_back(w);
        DashCanvas canvas;
        canvas.resize(1000, 500);
        canvas.setPage(&f.page);
        QCOMPARE(canvas.widgetRect(mask, mask.widgets[0]), QRectF(expected.translated(100, 10)));
    }

    void outlinesAndHandles()
    {
        PageFixture f;
        MaskElement& mask = f.addMask(MaskDigit, QRect(100, 100, 300, 200));
        for (int i = 0; i < 2; ++i) {
            WidgetModel w;
            w.x = 20 + 120 * i;
            w.y = 20;
            w.w = 100;
            w.h = 60;
            mask.widgets.push_back(w);
        }
        DashCanvas canvas;
        canvas.resize(1000, 500);
        canvas.setPage(&f.page);
        QSignalSpy spy(&canvas, &DashCanvas::widgetSelected);

        canvas.setSelectedMask(0);
        canvas.setSelectedWidget(1);
        QImage img = paint(canvas);
        // Widget 0 left edge at widget x 220 (white, faint); widget 1 at 340 (yellow).
        const QColor yellow(255, 255, 0);
        // A mask with widgets lets the page show through in the editor.
        const QColor maskFill = Qt::black;
        QVERIFY(lineNear(img, 220, 150, true, blend(maskFill, Qt::white, 110)));
        QVERIFY(lineNear(img, 340, 150, true, yellow));
        // Handle centred on the top-left corner of widget 1 (340, 130).
        QCOMPARE(img.pixelColor(338, 128), yellow);

        canvas.previewMode = true;
        img = paint(canvas);
        QVERIFY(!lineNear(img, 220, 150, true, blend(maskFill, Qt::white, 110)));
        QCOMPARE(img.pixelColor(338, 128), yellow); // handles stay in preview
        canvas.previewMode = false;

        canvas.setSelectedWidget(2); // out of range
        img = paint(canvas);
        QCOMPARE(img.pixelColor(198, 108), yellow); // mask handles instead
        QVERIFY(lineNear(img, 200, 200, true, yellow));

        QCOMPARE(spy.count(), 0);
        canvas.selectAllWidgets();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), (QList<QVariant>{ 0, 0 }));
        img = paint(canvas);
        QVERIFY(lineNear(img, 220, 150, true, yellow));
        QVERIFY(lineNear(img, 340, 150, true, yellow));

        canvas.clearSelectionAndRepaint();
        QCOMPARE(canvas.selectedMask(), -1);
        canvas.selectAllWidgets(); // nothing selected: no signal
        QCOMPARE(spy.count(), 1);
    }
};

KORV_TEST_MAIN(CanvasPaintTest)
#include "tst_canvaspaint.moc"
