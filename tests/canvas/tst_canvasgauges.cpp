#include "canvas/DashCanvas.h"
#include "canvas/IDataSource.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One page holding one gauge mask whose gauge element carries the given
// parameters (name, value pairs); an empty gauge class leaves it out.
struct GaugeFixture {
    pugi::xml_document doc;
    PageModel page;

    // References returned by addMask stay valid for a few masks.
    GaugeFixture() { page.masks.reserve(8); }

    MaskElement& addMask(int kind, QRect r, const char* gaugeClass, const QList<QPair<const char*, const char*>>& params)
    {
        pugi::xml_node node = doc.append_child("e");
        node.append_attribute("c").set_value("GMaskParam");
        if (gaugeClass) {
            pugi::xml_node decoy = node.append_child("e");
            decoy.append_attribute("c").set_value("Axis");
            pugi::xml_node gauge = node.append_child("e");
            gauge.append_attribute("c").set_value(gaugeClass);
            for (const auto& p : params) {
                pugi::xml_node child = gauge.append_child("p");
                child.append_attribute("n").set_value(p.first);
                child.text().set(p.second);
            }
        }
        MaskElement mask;
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

QImage blackImage(const QSize& size)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
}

bool near(QColor a, QColor b, int tolerance = 40)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// The widget pixel at distance r from p in the direction of a painter
// angle (degrees counter-clockwise from 3 o'clock).
QPoint polar(QPointF p, double r, double degrees)
{
    const double a = degrees * M_PI / 180.0;
    return QPointF(p.x() + r * std::cos(a), p.y() - r * std::sin(a)).toPoint();
}

const QList<QPair<const char*, const char*>> kNeedle = {
    { "XPOS", "100" }, { "YPOS", "100" }, { "RAGG", "80" }, { "RAGBK", "10" }, { "BASE", "12" }, { "COL", "0x00FF00" },
};
const QList<QPair<const char*, const char*>> kRing = {
    { "XPOS", "100" }, { "YPOS", "100" }, { "RAGG", "100" }, { "RAGBK", "80" }, { "COL", "0x0000FF" },
};

// A telemetry source with one channel at a fixed value.
class FixedSource : public IDataSource {
public:
    FixedSource(QString channel, double v)
        : m_channel(std::move(channel))
        , m_value(v)
    {
    }
    bool isValid() const override { return valid; }
    double value(const QString& channel, double) const override { return channel == m_channel ? m_value : 0.0; }
    QString matchedColumn(const QString& channel) const override { return channel == m_channel ? channel : QString(); }
    QString unitOf(const QString&) const override { return QString(); }
    bool valid = true;

private:
    QString m_channel;
    double m_value;
};

} // namespace

class CanvasGaugesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayFontFamily_data()
    {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("family");
        QTest::newRow("microgramma") << "MicrogrammaDBolExt" << "Bahnschrift Condensed";
        QTest::newRow("dinot bold, any case") << "DINOTBOLD" << "Bahnschrift Condensed";
        QTest::newRow("dinot") << "DINot-Regular" << "Bahnschrift Condensed";
        QTest::newRow("verdana bold") << "Verdana Bold" << "Verdana";
        QTest::newRow("unknown") << "Basic Sans SF" << "";
        QTest::newRow("empty") << "" << "";
    }

    void displayFontFamily()
    {
        QFETCH(QString, face);
        QFETCH(QString, family);
        QCOMPARE(DashCanvas::displayFontFamily(face), family);
    }

    void valueFraction_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("fraction");
        QTest::newRow("above") << 150.0 << 0.0 << 100.0 << 1.0;
        QTest::newRow("below") << -5.0 << 0.0 << 100.0 << 0.0;
        QTest::newRow("inside") << 25.0 << 0.0 << 100.0 << 0.25;
        QTest::newRow("empty range") << 50.0 << 100.0 << 100.0 << 0.0;
        QTest::newRow("nan") << kNaN << 0.0 << 100.0 << 0.5;
        QTest::newRow("reversed range") << 5.0 << 10.0 << 0.0 << 0.5;
        QTest::newRow("+inf") << kInf << 0.0 << 100.0 << 1.0;
        QTest::newRow("-inf") << -kInf << 0.0 << 100.0 << 0.0;
    }

    void valueFraction()
    {
        QFETCH(double, value);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, fraction);
        QCOMPARE(DashCanvas::valueFraction(value, minimum, maximum), fraction);
    }

    void needleAndRingAngles_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("angle");
        QTest::addColumn<double>("ring");
        QTest::newRow("middle of 0..8000") << 4000.0 << 0.0 << 8000.0 << 0.0 << 0.5;
        QTest::newRow("minimum") << 0.0 << 0.0 << 8000.0 << -120.0 << 0.0;
        QTest::newRow("over the scale") << 150.0 << 0.0 << 100.0 << 120.0 << 1.0;
        QTest::newRow("empty scale") << 5.0 << 7.0 << 7.0 << -120.0 << 0.0;
        QTest::newRow("nan") << kNaN << 0.0 << 100.0 << -120.0 << 0.0;
        QTest::newRow("+inf") << kInf << 0.0 << 100.0 << -120.0 << 1.0;
        QTest::newRow("-inf") << -kInf << 0.0 << 100.0 << -120.0 << 0.0;
        QTest::newRow("nan with offset scale") << kNaN << 20.0 << 100.0 << -120.0 << 0.0;
        QTest::newRow("infinite scale end") << 50.0 << 0.0 << kInf << -120.0 << 0.0;
    }

    void needleAndRingAngles()
    {
        QFETCH(double, value);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, angle);
        QFETCH(double, ring);
        QCOMPARE(needleAngle(value, minimum, maximum), angle);
        QCOMPARE(ringFraction(value, minimum, maximum), ring);
    }

    void geometry_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QList<double>>("numbers"); // xpos ypos ragg ragbk base
        QTest::addColumn<QColor>("colour");
        const QColor def(255, 48, 48);
        QTest::newRow("no gauge element") << QByteArray("<e><e c='Digit'><p n='XPOS'>5</p></e></e>") << false
                                          << QList<double>{ 0, 0, 0, 0, 0 } << def;
        QTest::newRow("ring, hex colour") << QByteArray("<e><e c='Axis'/><e c='Ring'><p n='XPOS'>12.5</p><p n='YPOS'>7</p>"
                                                        "<p n='RAGG'>100</p><p n='RAGBK'>80</p><p n='BASE'>4</p>"
                                                        "<p n='COL'> 0x00FF00 </p><p n='XPOS'>99</p></e></e>")
                                          << true << QList<double>{ 12.5, 7, 100, 80, 4 } << QColor(0, 255, 0);
        QTest::newRow("analog, empty colour") << QByteArray("<e><e c='Analog'><p n='COL'> </p></e></e>") << true
                                              << QList<double>{ 0, 0, 0, 0, 0 } << def;
        QTest::newRow("name with alpha drawn opaque") << QByteArray("<e><e c='Analog'><p n='COL'>#80102030</p></e></e>") << true
                                                      << QList<double>{ 0, 0, 0, 0, 0 } << QColor(0x10, 0x20, 0x30);
        QTest::newRow("unreadable colour keeps default") << QByteArray("<e><e c='Analog'><p n='COL'>0xZZ</p></e></e>") << true
                                                         << QList<double>{ 0, 0, 0, 0, 0 } << def;
        QTest::newRow("non-finite numbers read as 0") << QByteArray("<e><e c='Analog'><p n='XPOS'>nan</p><p n='RAGG'>inf</p>"
                                                                    "<p n='BASE'>junk</p><p n='YPOS'>3</p></e></e>")
                                                      << true << QList<double>{ 0, 3, 0, 0, 0 } << def;
    }

    void geometry()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, valid);
        QFETCH(QList<double>, numbers);
        QFETCH(QColor, colour);
        pugi::xml_document doc;
        QVERIFY(doc.load_string(xml.constData()));
        const GaugeGeometry g = readRingGaugeGeometry(doc.first_child());
        QCOMPARE(g.valid, valid);
        QCOMPARE((QList<double>{ g.xpos, g.ypos, g.ragg, g.ragbk, g.base }), numbers);
        QCOMPARE(g.colour, colour);
    }

    void valueRange()
    {
        MaskElement mask;
        double lo = -1, hi = -1;
        gaugeValueRange(mask, lo, hi);
        QCOMPARE(lo, 0.0);
        QCOMPARE(hi, 8000.0);
        WidgetModel label;
        WidgetModel bar;
        bar.kind = WidgetBargraph;
        bar.scaleMin = 10;
        bar.scaleMax = 90;
        WidgetModel bar2 = bar;
        bar2.scaleMax = 500;
        mask.widgets = { label, bar, bar2 };
        gaugeValueRange(mask, lo, hi);
        QCOMPARE(lo, 10.0);
        QCOMPARE(hi, 90.0);
    }

    void needleDrawing_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("angle"); // clockwise from straight up
        QTest::newRow("4000 straight up") << 4000.0 << 0.0;
        QTest::newRow("no value at -120") << 0.0 << -120.0;
        QTest::newRow("8000 at +120") << 8000.0 << 120.0;
        QTest::newRow("nan at the minimum") << kNaN << -120.0;
        QTest::newRow("inf at the minimum") << kInf << -120.0;
    }

    void needleDrawing()
    {
        QFETCH(double, value);
        QFETCH(double, angle);
        GaugeFixture f;
        MaskElement& mask = f.addMask(MaskAnalog, QRect(300, 200, 200, 200), "Analog", kNeedle);
        DashCanvas canvas;
        canvas.resize(1000, 500);
        canvas.setPage(&f.page);
        QImage img = blackImage(canvas.size());
        {
            QPainter p(&img);
            canvas.drawGaugeNeedle(p, mask, readRingGaugeGeometry(mask.node), value, 0);
        }
        const QPointF pivot(100 + 400, 10 + 300);
        const double painterAngle = 90.0 - angle;
        const QColor green(0, 255, 0);
        QVERIFY(near(img.pixelColor(polar(pivot, 50, painterAngle)), green));
        QVERIFY(near(img.pixelColor(polar(pivot, 58, painterAngle)), green, 80)); // about 3.5 pixels wide there
        QVERIFY(!near(img.pixelColor(polar(pivot, 85, painterAngle)), green)); // beyond the tip
        QVERIFY(near(img.pixelColor(polar(pivot, 5, painterAngle + 180)), green)); // base behind the pivot
        QVERIFY(!near(img.pixelColor(polar(pivot, 50, painterAngle + 90)), green));
        QVERIFY(!near(img.pixelColor(polar(pivot, 50, painterAngle - 90)), green));
    }

    void ringDrawing()
    {
        GaugeFixture f;
        MaskElement& mask = f.addMask(MaskRing, QRect(200, 200, 200, 200), "Ring", kRing);
        DashCanvas canvas;
        canvas.resize(420, 260); // view scale 0.5, origin (10, 10)
        canvas.setPage(&f.page);
        QCOMPARE(canvas.viewScale(), 0.5);
        const QPointF pivot(10 + 0.5 * 300, 10 + 0.5 * 300);
        const QColor blue(0, 0, 255);
        const GaugeGeometry g = readRingGaugeGeometry(mask.node);

        QImage img = blackImage(canvas.size());
        {
            QPainter p(&img);
            canvas.drawGaugeRing(p, mask, g, 4000.0); // 120 degrees: lower left to the top
        }
        // Radius 45, pen 10: the band runs from 40 to 50 widget pixels.
        for (double a : { 200.0, 180.0, 120.0, 100.0 })
            QVERIFY2(near(img.pixelColor(polar(pivot, 45, a)), blue), qPrintable(QString::number(a)));
        for (double a : { 225.0, 80.0, 0.0, 300.0 })
            QVERIFY2(!near(img.pixelColor(polar(pivot, 45, a)), blue), qPrintable(QString::number(a)));
        QVERIFY(!near(img.pixelColor(polar(pivot, 36, 180)), blue));
        QVERIFY(!near(img.pixelColor(polar(pivot, 54, 180)), blue));

        img = blackImage(canvas.size());
        {
            QPainter p(&img);
            canvas.drawGaugeRing(p, mask, g, kNaN);
        }
        QVERIFY(!near(img.pixelColor(polar(pivot, 45, 200)), blue));

        img = blackImage(canvas.size());
        {
            QPainter p(&img);
            canvas.drawGaugeRing(p, mask, g, 1e9); // full sweep to the lower right
        }
        QVERIFY(near(img.pixelColor(polar(pivot, 45, 0)), blue));
        QVERIFY(near(img.pixelColor(polar(pivot, 45, -20)), blue));
        QVERIFY(!near(img.pixelColor(polar(pivot, 45, 270)), blue));
    }

    // Without data the arc is empty: the editor still shows the ring's
    // whole track faintly, so the gauge can be seen and picked; the dash's
    // own look (preview) stays empty.
    void ringTrackWithoutData()
    {
        GaugeFixture f;
        MaskElement& mask = f.addMask(MaskRing, QRect(200, 200, 200, 200), "Ring", kRing);
        DashCanvas canvas;
        canvas.resize(420, 260);
        canvas.setPage(&f.page);
        const QPointF pivot(10 + 0.5 * 300, 10 + 0.5 * 300);
        const GaugeGeometry g = readRingGaugeGeometry(mask.node);
        for (const bool preview : {false, true}) {
            canvas.previewMode = preview;
            QImage img = blackImage(canvas.size());
            {
                QPainter p(&img);
                canvas.drawGaugeRing(p, mask, g, 0.0);
            }
            for (double a : {200.0, 90.0, -20.0}) {
                const QColor c = img.pixelColor(polar(pivot, 45, a));
                QVERIFY2((c.blue() > 30) == !preview, qPrintable(QStringLiteral("%1 at %2").arg(c.name()).arg(a)));
            }
        }
    }

    void gaugeMasksDrawOnlyTheirGauge()
    {
        GaugeFixture f;
        f.addMask(MaskAnalog, QRect(300, 200, 200, 200), "Analog", kNeedle);
        f.addMask(MaskAnalog, QRect(600, 50, 100, 100), nullptr, {}); // no gauge element
        DashCanvas canvas;
        canvas.resize(1000, 500);
        canvas.setPage(&f.page);
        const QImage img = canvas.grab().toImage();
        // Without a data source the needle stands at -120 degrees.
        const QPointF pivot(500, 310);
        QVERIFY(near(img.pixelColor(polar(pivot, 50, 210)), QColor(0, 255, 0)));
        QCOMPARE(img.pixelColor(320, 230), QColor(Qt::black)); // no placeholder, no outline
        QCOMPARE(img.pixelColor(400, 211), QColor(Qt::black));
        // The mask without gauge element is an ordinary (placeholder) mask.
        QVERIFY(near(img.pixelColor(750, 110), QColor(9, 19, 47), 3));
    }

    void fontBadge_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("19 x 40: none") << QRectF(100, 100, 19, 40) << false;
        QTest::newRow("40 x 19: none") << QRectF(100, 100, 40, 19) << false;
        QTest::newRow("20 x 20") << QRectF(100, 100, 20, 20) << true;
        QTest::newRow("wide mask") << QRectF(10, 30, 200, 60) << true;
    }

    void fontBadge()
    {
        QFETCH(QRectF, rect);
        QFETCH(bool, drawn);
        QImage img = blackImage(QSize(300, 200));
        {
            QPainter p(&img);
            DashCanvas::drawFontWarningBadge(p, rect);
        }
        const double x = rect.right() - 2;
        const double y = rect.top() + 2;
        const QColor yellow(255, 210, 0);
        // Inside the triangle, beside the exclamation mark.
        QCOMPARE(near(img.pixelColor(QPointF(x - 3, y + 10).toPoint()), yellow, 10), drawn);
        if (drawn) {
            QVERIFY(img.pixelColor(QPointF(x - 6, y + 5).toPoint()).red() < 180); // the bar darkens the yellow
            QCOMPARE(img.pixelColor(QPointF(x - 14, y + 10).toPoint()), QColor(Qt::black)); // left of the triangle
        }
    }

    void liveValuesFromTheSource_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("scale"); // "" for the default 0..8000, else "min max" of a bar widget
        QTest::addColumn<double>("angle");
        QTest::newRow("4000 of 0..8000: straight up") << "RPM" << 4000.0 << true << "" << 0.0;
        QTest::newRow("150 of 0..100: +120") << "RPM" << 150.0 << true << "0 100" << 120.0;
        QTest::newRow("unbound mask: minimum") << "" << 4000.0 << true << "" << -120.0;
        QTest::newRow("invalid source: minimum") << "RPM" << 4000.0 << false << "" << -120.0;
        QTest::newRow("nan cell: minimum") << "RPM" << kNaN << true << "0 100" << -120.0;
        QTest::newRow("equal scale ends: minimum") << "RPM" << 50.0 << true << "50 50" << -120.0;
    }

    void liveValuesFromTheSource()
    {
        QFETCH(QString, channel);
        QFETCH(double, value);
        QFETCH(bool, valid);
        QFETCH(QString, scale);
        QFETCH(double, angle);
        GaugeFixture f;
        MaskElement& needle = f.addMask(MaskAnalog, QRect(300, 200, 200, 200), "Analog", kNeedle);
        needle.channel = channel;
        MaskElement& ring = f.addMask(MaskRing, QRect(600, 200, 200, 200), "Ring", kRing);
        ring.channel = channel;
        if (!scale.isEmpty()) {
            WidgetModel bar;
            bar.kind = WidgetBargraph;
            bar.scaleMin = scale.section(' ', 0, 0).toDouble();
            bar.scaleMax = scale.section(' ', 1, 1).toDouble();
            needle.widgets.push_back(bar);
            ring.widgets.push_back(bar);
        }
        FixedSource source(QStringLiteral("RPM"), value);
        source.valid = valid;
        DashCanvas canvas;
        canvas.resize(1000, 500);
        canvas.setPage(&f.page);
        canvas.setDataSource(&source);
        const QImage img = canvas.grab().toImage();

        const QPointF pivot(500, 310);
        QVERIFY(near(img.pixelColor(polar(pivot, 45, 90.0 - angle)), QColor(0, 255, 0)));
        QVERIFY(!near(img.pixelColor(polar(pivot, 45, 90.0 - angle + 60)), QColor(0, 255, 0)));
        // The ring (radius 90, pen 20, pivot at (800, 310)) ends where the needle points.
        const QPointF ringPivot(800, 310);
        const double end = 90.0 - angle;
        if (angle > -120.0)
            QVERIFY(near(img.pixelColor(polar(ringPivot, 90, end + 5)), QColor(0, 0, 255)));
        QVERIFY(!near(img.pixelColor(polar(ringPivot, 90, end - 5)), QColor(0, 0, 255)));
    }
};

KORV_TEST_MAIN(CanvasGaugesTest)
#include "tst_canvasgauges.moc"
