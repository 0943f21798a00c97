#include "canvas/DashCanvas.h"
#include "canvas/IDataSource.h"
#include "editing/BarColorCommand.h"
#include "editing/MoveCommand.h"
#include "artwork/HomebrewItems.h"
#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "DemoStock.h"
#include "support/ConfigFixture.h"
#include "support/PixelProbe.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QUndoStack>
#include <QtTest>

#include <memory>

using namespace PixelProbe;

// Coloured bars resized by a drag or the panel keep their ramp from where
// they start to fill, here and, saved, on another computer.
namespace {

constexpr int kRace = 0;

// Every channel at one value.
class OneValue : public IDataSource {
public:
    double v = 0.0;
    bool isValid() const override { return true; }
    double value(const QString&, double) const override { return v; }
    QString matchedColumn(const QString& channel) const override { return channel; }
    QString unitOf(const QString&) const override { return {}; }
};

// The demo bars' scale runs to 10000.
const double kFull = 10000.0;

} // namespace

class ColouredBarResizeTest : public QObject {
    Q_OBJECT

    // The Race page at scale 1 from (10, 10), the bars at a value.
    static QImage render(DashConfig& c, double value)
    {
        OneValue source;
        source.v = value;
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setConfig(&c);
        canvas.setPage(c.page(kRace));
        canvas.previewMode = true;
        canvas.setDataSource(&source);
        canvas.setTime(1.0);
        return canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // The Race page with only its lying bar (md.02, 340 x 60 at 420, 230)
    // and a standing bar inserted from the stock at 40, 100 (60 x 200).
    static int keepBarsOnly(DashConfig& c, const Rs3Fixture& fx)
    {
        for (int k = int(c.pages[kRace].masks.size()) - 1; k >= 0; --k) {
            if (c.pages[kRace].masks[size_t(k)].id != QStringLiteral("md.02"))
                c.removeMask(kRace, k);
        }
        const QString item = DemoStock::itemPath("s02/p01/Items/b_vbar/");
        pugi::xml_document doc;
        if (!doc.load_file(QFile::encodeName(fx.absolutePath(Rs3Fixture::Stable, item) + "b_vbar.M2.xml").constData()))
            return -1;
        ChannelInfo rpm;
        for (const ChannelInfo& ch : c.channels) {
            if (ch.longName == QStringLiteral("RPM"))
                rpm = ch;
        }
        MaskElement out;
        return c.insertElement(kRace, doc.child("aimDataBase_Mask2").child("e"), rpm, 40, 100, 60, 200, out, item);
    }

    // How far the lit band of the lying bar reaches along its middle row,
    // in page pixels from the bar's start; 0 when nothing is lit.
    static int litLength(const QImage& drawn, int x0, int width, int y)
    {
        int last = -1;
        for (int x = 0; x < width + 80; ++x) {
            const QColor c = drawn.pixelColor(x0 + x + 10, y + 10);
            if (std::max(c.red(), c.green()) > 150 && c.blue() < 100)
                last = x;
        }
        return last + 1;
    }

private Q_SLOTS:
    // The right edge of a coloured lying bar dragged on the canvas from 340
    // to 200: its edges follow the pictures drawn at 200, so at half scale
    // half of the bar is lit (Undo and Remove color after a drag:
    // tst_barcolorgeometry).
    void dragResizeKeepsTheLitLengthOnTheValue()
    {
        Rs3Fixture fx;
        QVERIFY(fx.addDemoStock(Rs3Fixture::Stable));
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("drag")));
        QVERIFY(!path.isEmpty());
        DashConfig c;
        QVERIFY(c.load(path));
        QVERIFY(keepBarsOnly(c, fx) >= 0);
        QUndoStack stack;
        bool applied = false;
        stack.push(new BarColorCommand(&c, kRace, 0, &applied));
        QVERIFY(applied);

        QWidget window;
        auto* canvas = new DashCanvas(&window);
        canvas->config = &c;
        canvas->setConfig(&c);
        canvas->setUndoStack(&stack);
        canvas->setPage(c.page(kRace));
        canvas->resize(820, 500);
        window.resize(820, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(canvas->pageOrigin(), QPointF(10, 10));
        const QPoint middle(420 + 100 + 10, 230 + 30 + 10);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, middle);
        QCOMPARE(canvas->selectedMask(), 0);
        const QPoint rightEdge(420 + 340 + 10, 230 + 30 + 10);
        QCOMPARE(canvas->handleAt(rightEdge), 6);
        QTest::mousePress(canvas, Qt::LeftButton, {}, rightEdge);
        QTest::mouseMove(canvas, rightEdge - QPoint(70, 0));
        QTest::mouseMove(canvas, rightEdge - QPoint(140, 0));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, rightEdge - QPoint(140, 0));
        QCOMPARE(c.pages[kRace].masks[0].w, 200);
        QVERIFY(c.save(path));

        DashConfig reread;
        QVERIFY(reread.load(path));
        const pugi::xml_node bar = findBargraphChild(reread.pages[kRace].masks[0].node);
        QCOMPARE((QList<int>{paramInt(bar, "WIDTH"), paramInt(bar, "XEnd1"), paramInt(bar, "XEnd2"), paramInt(bar, "HEIGHT")}),
                 (QList<int>{200, 200, 200, 60}));
        const int row = 230 + 30;
        QCOMPARE(litLength(render(reread, 0.0), 420, 200, row), 0);
        // md.02's steps run to 8000.
        const int half = litLength(render(reread, 4000.0), 420, 200, row);
        QVERIFY2(qAbs(half - 100) <= 4, qPrintable(QString::number(half)));
        QCOMPARE(litLength(render(reread, 8000.0), 420, 200, row), 200);
    }

    // Both bars coloured, resized and saved; opened with only the stock
    // install and the file alone, both are drawn again at their new size.
    void rebuiltElsewhereWithTheRamp()
    {
        auto here = std::make_unique<Rs3Fixture>();
        QVERIFY(here->addDemoStock(Rs3Fixture::Stable));
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        DashConfig c;
        QVERIFY(c.load(path));
        const int standing = keepBarsOnly(c, *here);
        QVERIFY(standing >= 0);
        const int lying = 0;
        QUndoStack stack;
        for (int mask : {lying, standing}) {
            bool applied = false;
            stack.push(new BarColorCommand(&c, kRace, mask, &applied));
            QVERIFY(applied);
        }
        // Narrower and lower; thinner and shorter (the panel rescales).
        for (const auto& [mask, r] :
             {std::pair(lying, QRect(420, 230, 240, 45)), std::pair(standing, QRect(40, 100, 45, 150))}) {
            const MaskElement& m = c.pages[kRace].masks[size_t(mask)];
            stack.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, r.x(), r.y(), r.width(), r.height(), &c, kRace, mask,
                                       false, true));
        }
        const QList<double> values{0.0, kFull / 2, kFull};
        QList<QImage> made;
        for (double v : values)
            made << render(c, v);
        QVERIFY(c.save(path));

        // Another computer: the stock install alone, the file alone.
        here.reset();
        Rs3Fixture elsewhere;
        QVERIFY(elsewhere.addDemoStock(Rs3Fixture::Stable));
        const QString copy = TestEnvironment::makeTempDir(QStringLiteral("elsewhere")) + "/Demo.zconf2";
        QVERIFY(QFile::copy(path, copy));
        DashConfig opened;
        QVERIFY(opened.load(copy));
        QCOMPARE(opened.barRepairCount, 2);

        // Page pixels (10, 10 off the canvas): a point inside each bar's
        // lit band near its start and near its end, along the way it fills.
        const QPoint lyingStart(420 + 4 + 10, 230 + 8 + 10);
        const QPoint lyingEnd(420 + 240 - 4 + 10, 230 + 8 + 10);
        const QPoint standingStart(40 + 22 + 10, 100 + 150 - 4 + 10);
        const QPoint standingEnd(40 + 22 + 10, 100 + 4 + 10);
        const QColor green(0, 220, 0);
        const QColor red(255, 0, 0);
        for (int i = 0; i < values.size(); ++i) {
            const QImage drawn = render(opened, values[i]);
            QCOMPARE(drawn, made[i]);
            const bool lit = values[i] > 0;
            const bool full = values[i] >= kFull;
            for (const QPoint& start : {lyingStart, standingStart})
                QVERIFY2(near(drawn.pixelColor(start), green, 40) == lit, qPrintable(describe(drawn.pixelColor(start))));
            for (const QPoint& end : {lyingEnd, standingEnd})
                QVERIFY2(near(drawn.pixelColor(end), red, 40) == full, qPrintable(describe(drawn.pixelColor(end))));
            // Nothing of either bar (lit or unlit strip) past its element.
            QCOMPARE(countBright(drawn, QRect(420 + 240 + 10, 230 + 10, 100, 60), 20), 0);
            QCOMPARE(countBright(drawn, QRect(40 + 10, 100 + 150 + 10, 60, 50), 20), 0);
        }
    }

    // The demo's stock lying bar resized from 340 to 200 and saved: every
    // picture the element points at is fitted to it, the bar lights to its
    // value and nothing of it is drawn past the element, here and, the file
    // alone, on another computer.
    void stockBarPicturesFitTheResize()
    {
        auto here = std::make_unique<Rs3Fixture>();
        QVERIFY(here->addDemoStock(Rs3Fixture::Stable));
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("stock")));
        QVERIFY(!path.isEmpty());
        {
            DashConfig c;
            QVERIFY(c.load(path));
            QVERIFY(keepBarsOnly(c, *here) >= 0);
            QUndoStack stack;
            const MaskElement& m = c.pages[kRace].masks[0];
            stack.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, 200, m.h, &c, kRace, 0, false, true));
            QVERIFY(c.save(path));
        }
        const auto check = [](DashConfig& opened) {
            const pugi::xml_node node = opened.pages[kRace].masks[0].node;
            QCOMPARE(paramInt(node, "WIDTH"), 200);
            const QString folder = DashConfig::resolveOverlayDir(QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK")));
            QVERIFY(!folder.isEmpty());
            QStringList names = DashConfig::collectWidgetAssetReferences(findBargraphChild(node));
            names << QStringLiteral("mask.png");
            QVERIFY(names.size() >= 3);
            for (const QString& name : names) {
                const QString file = folder + QLatin1Char('/') + name;
                const QImage image = name.endsWith(QLatin1String(".tgz")) ? TgzImage::decodeFile(file) : QImage(file);
                QVERIFY2(!image.isNull(), qPrintable(file));
                QVERIFY2(image.width() <= 200, qPrintable(name + QStringLiteral(" is %1 wide").arg(image.width())));
            }
            const int row = 230 + 30;
            QCOMPARE(litLength(render(opened, 0.0), 420, 200, row), 0);
            const int half = litLength(render(opened, 4000.0), 420, 200, row);
            QVERIFY2(qAbs(half - 100) <= 4, qPrintable(QString::number(half)));
            QCOMPARE(litLength(render(opened, 8000.0), 420, 200, row), 200);
            for (double v : {0.0, 4000.0, 8000.0})
                QCOMPARE(countBright(render(opened, v), QRect(420 + 200 + 10, 230 + 10, 140, 60), 20), 0);
        };
        DashConfig reread;
        QVERIFY(reread.load(path));
        check(reread);

        // Another computer: the stock install alone, the file alone.
        here.reset();
        Rs3Fixture elsewhere;
        QVERIFY(elsewhere.addDemoStock(Rs3Fixture::Stable));
        const QString copy = TestEnvironment::makeTempDir(QStringLiteral("elsewhere")) + "/Demo.zconf2";
        QVERIFY(QFile::copy(path, copy));
        DashConfig opened;
        QVERIFY(opened.load(copy));
        QVERIFY(opened.homebrewRepairCount >= 1);
        check(opened);
    }
};

KORV_TEST_MAIN(ColouredBarResizeTest)

#include "tst_colouredbarresize.moc"
