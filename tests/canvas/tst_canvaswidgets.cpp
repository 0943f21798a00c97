#include "canvas/DashCanvas.h"
#include "support/ConfigFixture.h"
#include "support/ParsedPage.h"
#include "support/PixelProbe.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace PixelProbe;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using Steps = QVector<DashCanvas::BarStep>;

Steps steps(std::initializer_list<std::pair<double, double>> posVal)
{
    Steps out;
    for (const auto& pv : posVal)
        out.append(DashCanvas::BarStep{ pv.first, pv.second });
    return out;
}

WidgetModel digitWidget(const QString& channel, int decimals, const QString& unit = QString())
{
    WidgetModel w;
    w.kind = WidgetDigit;
    w.channel = channel;
    w.decimals = decimals;
    w.unit = unit;
    return w;
}

const QPoint kOrigin(10, 10);

} // namespace

class CanvasWidgetsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // --- texts ----------------------------------------------------------

    void formatLapTime_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("one minute five") << 65.3 << "1:05.30";
        QTest::newRow("over an hour") << 3723.04 << "1:02:03.04";
        QTest::newRow("negative rounding to zero keeps the sign") << -0.004 << "-0:00.00";
        QTest::newRow("rounds up into the next minute") << 59.996 << "1:00.00";
        QTest::newRow("zero") << 0.0 << "0:00.00";
        QTest::newRow("negative") << -83.25 << "-1:23.25";
        QTest::newRow("exactly one hour") << 3600.0 << "1:00:00.00";
        QTest::newRow("ten hours") << 36000.5 << "10:00:00.50";
        QTest::newRow("not a number shows zero") << kNaN << "0:00.00";
        QTest::newRow("infinite shows zero") << kInf << "0:00.00";
    }

    void formatLapTime()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(DashCanvas::formatLapTime(seconds), text);
    }

    void hugeLapTimeStaysReadable()
    {
        // Far beyond any session; must not overflow the hundredths count.
        const QString text = DashCanvas::formatLapTime(1e300);
        QVERIFY(!text.isEmpty());
        QVERIFY(!text.startsWith(QLatin1Char('-')));
    }

    void isTimeChannel_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("time");
        QTest::newRow("Lap Time") << "Lap Time" << true;
        QTest::newRow("lap_time") << "lap_time" << true;
        QTest::newRow("LapTimeGPS2R") << "LapTimeGPS2R" << true;
        QTest::newRow("Best Lap Time") << "Best Lap Time" << true;
        QTest::newRow("Session Time") << "Session Time" << true;
        QTest::newRow("Best Lap Delta") << "Best Lap Delta" << false;
        QTest::newRow("RefLapTime") << "RefLapTime" << false;
        QTest::newRow("PredTime") << "PredTime" << false;
        QTest::newRow("Predictive lap") << "Predictive lap" << false;
        QTest::newRow("RPM") << "RPM" << false;
        QTest::newRow("lap time 2 is another key") << "Lap Time 2" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("punctuation only") << "-_-" << false;
    }

    void isTimeChannel()
    {
        QFETCH(QString, name);
        QFETCH(bool, time);
        QCOMPARE(DashCanvas::isTimeChannel(name), time);
    }

    void digitText_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("preview");
        QTest::addColumn<QString>("text");
        QTest::newRow("no decimals") << "RPM" << 0 << "rpm" << 6543.4 << false << "6543";
        QTest::newRow("two decimals") << "Oil Press" << 2 << "bar" << 3.456 << false << "3.46";
        QTest::newRow("three decimals") << "Lambda" << 3 << "" << 0.98765 << false << "0.988";
        QTest::newRow("absent decimals show one") << "Oil Press" << -1 << "bar" << 3.44 << false << "3.4";
        QTest::newRow("out-of-range decimals show one") << "Oil Press" << 5 << "bar" << 3.44 << false << "3.4";
        QTest::newRow("bound without value: zero") << "Oil Press" << 1 << "bar" << kNaN << false << "0.0";
        QTest::newRow("bound without value, no decimals") << "RPM" << 0 << "" << kNaN << false << "0";
        QTest::newRow("unbound without value: nothing") << "" << 1 << "" << kNaN << false << "";
        QTest::newRow("unbound with a value") << "" << 2 << "" << 1.5 << false << "1.50";
        QTest::newRow("lap time") << "Lap Time" << 2 << "s" << 65.3 << false << "1:05.30";
        QTest::newRow("lap time without value") << "Lap Time" << 2 << "s" << kNaN << false << "0:00.00";
        QTest::newRow("negative") << "Temp" << 1 << "C" << -12.26 << false << "-12.3";
        QTest::newRow("gear 0 in preview") << "Gear" << 0 << "gear" << 0.0 << true << "N";
        QTest::newRow("gear 9 in preview") << "Gear" << 0 << "GEAR" << 9.0 << true << "N";
        QTest::newRow("gear without value in preview") << "Gear" << 0 << "Gear" << kNaN << true << "N";
        QTest::newRow("gear 8.4 rounds into range") << "Gear" << 0 << "gear" << 8.4 << true << "8";
        QTest::newRow("gear 3.4 keeps its decimals") << "Gear" << 0 << "gear" << 3.4 << true << "3";
        QTest::newRow("gear 3.4 with one decimal") << "Gear" << 1 << "gear" << 3.4 << true << "3.4";
        QTest::newRow("gear 0 in the editor") << "Gear" << 0 << "gear" << 0.0 << false << "0";
        QTest::newRow("gear infinite in preview") << "Gear" << 0 << "gear" << kInf << true << "N";
        QTest::newRow("other unit 0 in preview") << "Gear" << 0 << "#" << 0.0 << true << "0";
    }

    void digitText()
    {
        QFETCH(QString, channel);
        QFETCH(int, decimals);
        QFETCH(QString, unit);
        QFETCH(double, value);
        QFETCH(bool, preview);
        QFETCH(QString, text);
        QCOMPARE(DashCanvas::digitText(digitWidget(channel, decimals, unit), value, preview), text);
    }

    void digitTextShortNameCounts()
    {
        WidgetModel w = digitWidget(QString(), 0);
        w.channelShort = QStringLiteral("LAPTIME");
        QCOMPARE(DashCanvas::digitText(w, kNaN, false), QString("0:00.00"));
    }

    void labelText_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        // The mask also holds a bar "3_bar" with scale 0..8000 and a bar
        // "7_BAR" with scale -12.5..40.34; the label is bound to Water Temp
        // (short WT, unit C).
        QTest::newRow("own text wins") << "3_ch_name" << "OIL" << "OIL";
        QTest::newRow("channel name") << "3_ch_name" << "" << "Water Temp";
        QTest::newRow("unit") << "12_udm" << "" << "C";
        QTest::newRow("scale maximum") << "3_ch_scale1" << "" << "8000";
        QTest::newRow("scale minimum") << "3_ch_scale0" << "" << "0";
        QTest::newRow("fractional ends, prefix case ignored") << "7_ch_scale0" << "" << "-12.5";
        QTest::newRow("upper ends round to one decimal") << "7_ch_scale1" << "" << "40.3";
        QTest::newRow("key in capitals") << "3_CH_SCALE1" << "" << "8000";
        QTest::newRow("digits after the separator skipped") << "3_45_udm" << "" << "C";
        QTest::newRow("leading separator dropped") << "3__udm" << "" << "C";
        QTest::newRow("no matching bar") << "9_ch_scale1" << "" << "";
        QTest::newRow("unknown key: channel") << "3_caption" << "" << "Water Temp";
        QTest::newRow("bare number: channel") << "05" << "" << "Water Temp";
    }

    void labelText()
    {
        QFETCH(QString, id);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        MaskElement mask;
        WidgetModel bar;
        bar.kind = WidgetBargraph;
        bar.id = QStringLiteral("3_bar");
        bar.scaleMin = 0;
        bar.scaleMax = 8000;
        mask.widgets.push_back(bar);
        bar.id = QStringLiteral("7_BAR");
        bar.scaleMin = -12.5;
        bar.scaleMax = 40.34;
        mask.widgets.push_back(bar);
        WidgetModel label;
        label.kind = WidgetLabel;
        label.id = id;
        label.text = text;
        label.channel = QStringLiteral("Water Temp");
        label.channelShort = QStringLiteral("WT");
        label.unit = QStringLiteral("C");
        mask.widgets.push_back(label);
        QCOMPARE(DashCanvas::labelText(mask, mask.widgets.back()), shown);
    }

    void labelFallsBackToShortName()
    {
        MaskElement mask;
        WidgetModel label;
        label.id = QStringLiteral("4");
        label.channelShort = QStringLiteral("WT");
        QCOMPARE(DashCanvas::labelText(mask, label), QString("WT"));
    }

    void formatScaled_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<double>("barMin");
        QTest::addColumn<double>("barMax");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole maximum") << "3_x" << 0.0 << 8000.0 << 1 << "8000";
        QTest::newRow("nearly whole") << "3_x" << 0.0 << 99.9999999 << 1 << "100";
        QTest::newRow("one decimal") << "3_x" << 12.5 << 50.0 << 0 << "12.5";
        QTest::newRow("negative") << "3_x" << -20.0 << 50.0 << 0 << "-20";
        QTest::newRow("id without separator") << "3" << 0.0 << 100.0 << 1 << "";
        QTest::newRow("separator first") << "_3" << 0.0 << 100.0 << 1 << "";
        QTest::newRow("other prefix") << "4_x" << 0.0 << 100.0 << 1 << "";
    }

    void formatScaled()
    {
        QFETCH(QString, id);
        QFETCH(double, barMin);
        QFETCH(double, barMax);
        QFETCH(int, end);
        QFETCH(QString, text);
        MaskElement mask;
        WidgetModel digit;
        digit.kind = WidgetDigit; // a Digit with the prefix is no scale source
        digit.id = QStringLiteral("3_digit");
        mask.widgets.push_back(digit);
        WidgetModel bar;
        bar.kind = WidgetBargraph;
        bar.id = QStringLiteral("3_bar");
        bar.scaleMin = barMin;
        bar.scaleMax = barMax;
        mask.widgets.push_back(bar);
        WidgetModel label;
        label.id = id;
        QCOMPARE(DashCanvas::formatScaled(mask, label, end), text);
    }

    // --- bar fill map -----------------------------------------------------

    void barFillFraction_data()
    {
        QTest::addColumn<Steps>("scale");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("fraction");
        const Steps rising = steps({ { 0, 0 }, { 50, 1000 }, { 100, 8000 } });
        const Steps falling = steps({ { 0, 200 }, { 100, 0 } });
        QTest::newRow("rising, inside first segment") << rising << 500.0 << 0.25;
        QTest::newRow("rising, second segment") << rising << 4500.0 << 0.75;
        QTest::newRow("rising, on a point") << rising << 1000.0 << 0.5;
        QTest::newRow("rising, below the first") << rising << -50.0 << 0.0;
        QTest::newRow("rising, beyond the last") << rising << 9000.0 << 1.0;
        QTest::newRow("rising, out of document order")
            << steps({ { 100, 8000 }, { 0, 0 }, { 50, 1000 } }) << 4500.0 << 0.75;
        QTest::newRow("falling") << falling << 50.0 << 0.75;
        QTest::newRow("falling, above the first") << falling << 300.0 << 0.0;
        QTest::newRow("falling, below the last") << falling << -10.0 << 1.0;
        QTest::newRow("steps not spanning the bar") << steps({ { 10, 0 }, { 60, 100 } }) << 100.0 << 0.6;
        QTest::newRow("equal values jump to the segment end") << steps({ { 0, 0 }, { 40, 5 }, { 80, 5 }, { 100, 10 } })
                                                              << 5.0 << 0.4;
        QTest::newRow("positions beyond 100 clamp") << steps({ { 0, 0 }, { 200, 100 } }) << 100.0 << 1.0;
        QTest::newRow("one point: scale range") << steps({ { 0, 0 } }) << 25.0 << 0.25;
        QTest::newRow("no points: scale range") << Steps() << 75.0 << 0.75;
        QTest::newRow("no points, below the range") << Steps() << -5.0 << 0.0;
        QTest::newRow("NaN: full bar") << rising << kNaN << 1.0;
        QTest::newRow("NaN without points: full bar") << Steps() << kNaN << 1.0;
        QTest::newRow("infinite value") << rising << kInf << 1.0;
        QTest::newRow("minus infinite value") << rising << -kInf << 0.0;
    }

    void barFillFraction()
    {
        QFETCH(Steps, scale);
        QFETCH(double, value);
        QFETCH(double, fraction);
        // The widget's scale is 0..100 for the rows with fewer than two points.
        const double f = DashCanvas::barFillFraction(scale, value, 0.0, 100.0);
        QVERIFY2(std::fabs(f - fraction) < 1e-9, qPrintable(QString::number(f)));
    }

    // --- drawing ----------------------------------------------------------

    void plainVectorBar_data()
    {
        QTest::addColumn<QRect>("bar");     // mask-relative, the mask at (100, 100)
        QTest::addColumn<double>("value");  // scale 0..100
        QTest::addColumn<QRect>("filled");  // widget pixels expected filled
        QTest::addColumn<QRect>("empty");   // widget pixels expected black
        QTest::newRow("horizontal quarter") << QRect(0, 0, 200, 40) << 25.0 << QRect(112, 112, 46, 36)
                                            << QRect(162, 112, 140, 36);
        QTest::newRow("vertical three quarters") << QRect(0, 0, 40, 200) << 75.0 << QRect(112, 162, 36, 146)
                                                 << QRect(112, 112, 36, 46);
        QTest::newRow("no value: half") << QRect(0, 0, 200, 40) << kNaN << QRect(112, 112, 96, 36)
                                        << QRect(212, 112, 96, 36);
    }

    void plainVectorBar()
    {
        QFETCH(QRect, bar);
        QFETCH(double, value);
        QFETCH(QRect, filled);
        QFETCH(QRect, empty);
        ParsedPage p({ Fx::mask("m", 100, 100, 300, 300)
                           .add(Fx::bargraph("1_bar", bar.x(), bar.y(), bar.width(), bar.height()).p("COL", "0xffff0000")) });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        QImage img(820, 500, QImage::Format_RGB32);
        img.fill(Qt::black);
        {
            QPainter painter(&img);
            canvas.drawWidgetLive(painter, p.mask(0), p.widget(0, 0), value);
        }
        const QColor fill = blend(Qt::black, Qt::red, 200);
        QCOMPARE(countNear(img, filled, fill), filled.width() * filled.height());
        QCOMPARE(countNear(img, empty, Qt::black, 0), empty.width() * empty.height());
        // The outline: the bar colour lightened, over the whole rectangle.
        const QColor outline = blend(Qt::black, QColor(Qt::red).lighter(130), 230);
        const QRect right(110 + bar.width() - 1, 130, 3, 1);
        QVERIFY2(countNear(img, right, outline, 4) >= 1, qPrintable(describe(img.pixelColor(right.topLeft()))));
    }

    void trapezoidBar()
    {
        // Vertical trapezoid at value 0: only its outline; t = 40 * 0.25.
        ParsedPage p({ Fx::mask("m", 100, 100, 300, 300)
                           .add(Fx::bargraph("1_bar", 0, 0, 40, 200, QString(), true).p("COL", "0xff00ff00")) });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        const auto draw = [&](double value) {
            QImage img(820, 500, QImage::Format_RGB32);
            img.fill(Qt::black);
            QPainter painter(&img);
            canvas.drawWidgetLive(painter, p.mask(0), p.widget(0, 0), value);
            return img;
        };
        const QColor fill = blend(Qt::black, Qt::green, 200);
        QImage img = draw(0.0);
        QCOMPARE(countNear(img, QRect(115, 115, 30, 190), fill, 30), 0);
        // The left side runs from (120, 110) down to (110, 310): at mid
        // height it passes x = 115, not the rectangle's edge at 110.
        QCOMPARE(countNear(img, QRect(109, 205, 3, 1), Qt::black, 0), 3);
        QVERIFY(countNear(img, QRect(113, 209, 5, 3), QColor(0, 150, 0), 110) >= 1);

        // Full: the fill covers the trapezoid.
        img = draw(100.0);
        QVERIFY(near(img.pixelColor(130, 200), fill, 4));
        QVERIFY(near(img.pixelColor(111, 305), fill, 30)); // the wide bottom
        QCOMPARE(countNear(img, QRect(110, 110, 4, 4), Qt::black, 0), 16); // the narrow top

        // The live look draws every bar as a plain rectangle.
        canvas.previewMode = true;
        img = draw(100.0);
        QVERIFY(near(img.pixelColor(111, 112), fill, 4));
    }

    void artworkBar_data()
    {
        QTest::addColumn<QString>("scale"); // pos:val pairs
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("onWidth");   // widget pixels drawn from the ON image
        QTest::newRow("rising quarter") << "0:0 100:200" << 50.0 << 25;
        QTest::newRow("falling") << "0:200 100:0" << 50.0 << 75;
        QTest::newRow("no value: full") << "0:0 100:200" << kNaN << 100;
        QTest::newRow("below the scale: off only") << "0:0 100:200" << -1.0 << 0;
        QTest::newRow("one point: widget scale 0..100") << "0:0" << 40.0 << 40;
    }

    void artworkBar()
    {
        QFETCH(QString, scale);
        QFETCH(double, value);
        QFETCH(int, onWidth);
        Rs3Fixture rs3;
        const QString folder = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/bar1/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "on.png",
                              TestFiles::pngBytes(QSize(100, 20), QColor(0, 255, 0))));
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, folder + "off.png",
                              TestFiles::pngBytes(QSize(100, 20), QColor(0, 0, 255))));

        FixtureElement scaleElement(QStringLiteral("ScaleFSV"), QStringLiteral("00"));
        scaleElement.p("PATH_IMG_OFF", "off.TGZ"); // the .png twin is read
        int n = 0;
        for (const QString& pair : scale.split(QLatin1Char(' '))) {
            FixtureElement step(QStringLiteral("StepScale"), QString::number(n++));
            if (n == 1)
                step.p("PATH_IMG_ON", "on.png");
            step.p("POS_VAL_SCALA", pair.section(QLatin1Char(':'), 0, 0)).p("VAL_SCALA", pair.section(QLatin1Char(':'), 1, 1));
            scaleElement.add(step);
        }
        FixtureElement bar = Fx::bargraph("1_bar", 10, 20, 100, 20);
        bar.p("XStart1", 0).p("YStart1", 0).p("XStart2", 0).p("YStart2", 20);
        bar.p("XEnd1", 100).p("YEnd1", 0).p("XEnd2", 100).p("YEnd2", 20);
        bar.p("XIMG", 0).p("YIMG", 0).p("ScaleMSV", 0).p("ScaleFSV", 100).add(scaleElement);
        ParsedPage p({ Fx::mask("m", 100, 100, 300, 100).p("PATH_REL_AiM_MASK", folder).add(bar) });
        QCOMPARE(p.widget(0, 0).kind, int(WidgetBargraph));

        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        QImage img(820, 500, QImage::Format_RGB32);
        img.fill(Qt::black);
        bool drawn = false;
        {
            QPainter painter(&img);
            drawn = canvas.drawBargraph(painter, p.mask(0), p.widget(0, 0), value);
        }
        QVERIFY(drawn);
        // The image sits at page (110, 120), widget (120, 130), 100 x 20.
        const QRect row(120, 140, 100, 1);
        const int green = countNear(img, row, QColor(0, 255, 0), 40);
        const int blue = countNear(img, row, QColor(0, 0, 255), 40);
        QVERIFY2(std::abs(green - onWidth) <= 1, qPrintable(QString::number(green)));
        QVERIFY2(std::abs(blue - (100 - onWidth)) <= 1, qPrintable(QString::number(blue)));
    }

    void artworkBarFallsBackToVector()
    {
        // No start and end points: no fill direction, so the vector bar.
        FixtureElement scaleElement = Fx::stepScale({ { "0", "0" }, { "100", "100" } });
        ParsedPage p({ Fx::mask("m", 100, 100, 300, 100)
                           .p("PATH_REL_AiM_MASK", "aim/resources/overlay/x/")
                           .add(Fx::bargraph("1_bar", 0, 0, 200, 40).p("COL", "0xffff0000").add(scaleElement)) });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        QImage img(820, 500, QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter painter(&img);
        QVERIFY(!canvas.drawBargraph(painter, p.mask(0), p.widget(0, 0), 50.0));
        canvas.drawWidgetLive(painter, p.mask(0), p.widget(0, 0), 50.0);
        painter.end();
        QVERIFY(near(img.pixelColor(150, 130), blend(Qt::black, Qt::red, 200)));
        QVERIFY(near(img.pixelColor(250, 130), Qt::black, 0));
    }

    void textStaysInsideItsWidth()
    {
        // A long value in a narrow sized Digit, centred: clipped at the sides.
        ParsedPage p({ Fx::mask("m", 100, 100, 300, 100)
                           .add(Fx::axis("00", "Odometer", "ODO", "km"))
                           .add(Fx::digit("1_d", 150, 10, 60, 40, "00").p("POS_ALIGN", "tc").p("CHARSET_DIM", 40).p("COLORE", "0xffffffff")) });
        QCOMPARE(p.widget(0, 0).channel, QString("Odometer"));
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        QImage img(820, 500, QImage::Format_RGB32);
        img.fill(Qt::black);
        {
            QPainter painter(&img);
            canvas.drawWidgetLive(painter, p.mask(0), p.widget(0, 0), 123456789.0);
        }
        // Box: widget x 260..320, y 120..160; one pixel of slack each side.
        QVERIFY(countBright(img, QRect(260, 110, 60, 60)) > 20);
        QCOMPARE(countBright(img, QRect(100, 100, 158, 100), 60), 0);
        QCOMPARE(countBright(img, QRect(322, 100, 200, 100), 60), 0);
    }

    void numCharsShrinksTheFont()
    {
        // Three digit cells in 60 pixels: the 40-pixel font is shrunk, so
        // "888" fits the box instead of being cut at its sides.
        const auto inkWidth = [](int numChars) {
            FixtureElement digit = Fx::digit("1_d", 20, 10, 60, 40, "00").p("CHARSET_DIM", 40).p("COLORE", "0xffffffff");
            if (numChars > 0)
                digit.p("NUM_CHARS", numChars);
            ParsedPage p({ Fx::mask("m", 100, 100, 300, 100).add(Fx::axis("00", "RPM", "RPM", "rpm").p("NDEC_SCELTO", 0)).add(digit) });
            DashCanvas canvas;
            canvas.resize(820, 500);
            canvas.setPage(&p.page);
            QImage img(820, 500, QImage::Format_RGB32);
            img.fill(Qt::black);
            {
                QPainter painter(&img);
                canvas.drawWidgetLive(painter, p.mask(0), p.widget(0, 0), 888.0);
            }
            int left = 820;
            int right = -1;
            for (int x = 0; x < 820; ++x) {
                if (countBright(img, QRect(x, 100, 1, 120), 120) > 0) {
                    left = std::min(left, x);
                    right = x;
                }
            }
            return std::make_pair(left, right);
        };
        // Unfitted, the text is cut at the box's right edge (x 190).
        const auto unfitted = inkWidth(0);
        QVERIFY2(unfitted.second >= 188, qPrintable(QString::number(unfitted.second)));
        const auto fitted = inkWidth(3);
        QVERIFY(fitted.second >= fitted.first);
        QVERIFY(fitted.second < 188);
        QVERIFY2(fitted.second - fitted.first + 1 < 60, qPrintable(QString::number(fitted.second - fitted.first)));
        QVERIFY(fitted.first >= 129);
    }

    void numCharsFitMatchesStepwiseShrinking_data()
    {
        QTest::addColumn<int>("charsetDim");
        QTest::addColumn<int>("numChars");
        QTest::newRow("40 px, 3 cells") << 40 << 3;
        QTest::newRow("300 px, 5 cells") << 300 << 5;
        QTest::newRow("4096 px, 2 cells") << 4096 << 2;
        QTest::newRow("absurd size, absurd cells") << 2000000000 << 2147483647;
    }

    void numCharsFitMatchesStepwiseShrinking()
    {
        QFETCH(int, charsetDim);
        QFETCH(int, numChars);
        // The size found by shrinking one pixel at a time from the measured
        // start, which an absurd size begins at 4096 px and 64 cells.
        const int width = 60;
        QFont font;
        font.setWeight(QFont::Bold);
        const QString cells(std::min(numChars, 64), QLatin1Char('9'));
        int p = std::min(charsetDim, 4096);
        font.setPixelSize(p);
        const int advance = QFontMetrics(font).horizontalAdvance(cells);
        if (advance > width) {
            p = std::max(int(qint64(p) * width / advance), 7);
            font.setPixelSize(p);
            while (p > 7 && QFontMetrics(font).horizontalAdvance(cells) > width)
                font.setPixelSize(--p);
        }
        const auto draw = [width](int dim, int n) {
            FixtureElement digit = Fx::digit("1_d", 20, 10, width, 40, "00").p("CHARSET_DIM", dim).p("COLORE", "0xffffffff");
            if (n > 0)
                digit.p("NUM_CHARS", n);
            ParsedPage page({ Fx::mask("m", 100, 100, 300, 100).add(Fx::axis("00", "RPM", "RPM", "rpm").p("NDEC_SCELTO", 0)).add(digit) });
            DashCanvas canvas;
            canvas.resize(820, 500);
            canvas.setPage(&page.page);
            QImage img(820, 500, QImage::Format_RGB32);
            img.fill(Qt::black);
            QPainter painter(&img);
            canvas.drawWidgetLive(painter, page.mask(0), page.widget(0, 0), 88.0);
            return img;
        };
        QCOMPARE(draw(charsetDim, numChars), draw(p, 0));
    }

    void labelTextColours()
    {
        // Without COLORE a Label is grey and a Digit white.
        ParsedPage p({ Fx::mask("m", 100, 100, 300, 100)
                           .add(Fx::label("1_l", "HELLO", 10, 10, 200, 40).p("CHARSET_DIM", 30)) });
        WidgetModel& label = p.widget(0, 0);
        QVERIFY(!label.colour.isValid());
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        QImage img(820, 500, QImage::Format_RGB32);
        img.fill(Qt::black);
        {
            QPainter painter(&img);
            canvas.drawWidgetLive(painter, p.mask(0), label, kNaN);
        }
        const QRect box(120, 120, 200, 40);
        QVERIFY(countNear(img, box, QColor(180, 180, 180), 2) > 20);
        QCOMPARE(countBright(img, box, 200), 0);
    }
};

KORV_TEST_MAIN(CanvasWidgetsTest)
#include "tst_canvaswidgets.moc"
