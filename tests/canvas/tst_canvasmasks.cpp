#include "canvas/DashCanvas.h"
#include "canvas/IDataSource.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/ParsedPage.h"
#include "support/PixelProbe.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QtTest>

#include <cmath>

using namespace PixelProbe;

namespace {

// A telemetry source with fixed values per channel.
class FixedSource : public IDataSource {
public:
    struct Channel {
        double value = 0.0;
        QString column;
        QString unit;
    };
    QHash<QString, Channel> channels;
    mutable int reads = 0;

    bool isValid() const override { return true; }
    double value(const QString& channel, double) const override
    {
        ++reads;
        return channels.value(channel).value;
    }
    QString matchedColumn(const QString& channel) const override { return channels.value(channel).column; }
    QString unitOf(const QString& column) const override
    {
        for (const Channel& c : channels) {
            if (c.column == column)
                return c.unit;
        }
        return QString();
    }
};

// 820 x 500 shows an 800 x 480 page at scale 1 from (10, 10); 420 x 260 at
// scale 0.5 from (10, 10).
QImage paint(DashCanvas& canvas)
{
    return canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

const QColor kYellow(255, 255, 0);

} // namespace

class CanvasMasksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void boxOutlineStyle_data()
    {
        QTest::addColumn<QStringList>("params"); // name=value
        QTest::addColumn<bool>("fillPresent");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<int>("thickness");
        QTest::addColumn<QColor>("border");
        QTest::newRow("nothing") << QStringList() << false << QColor() << 0 << QColor();
        QTest::newRow("opaque fill") << QStringList{ "M_BCOL=0xff102030" } << true << QColor(16, 32, 48) << 0 << QColor();
        QTest::newRow("six digits: alpha 0, no fill") << QStringList{ "M_BCOL=0x102030" } << false << QColor() << 0 << QColor();
        QTest::newRow("decimal fill") << QStringList{ "M_BCOL= 4294901760 " } << true << QColor(255, 0, 0) << 0 << QColor();
        QTest::newRow("border") << QStringList{ "M_THICK=4", "M_TCOL=0xffff0000" } << false << QColor() << 4 << QColor(255, 0, 0);
        QTest::newRow("border without colour") << QStringList{ "M_THICK=4" } << false << QColor() << 0 << QColor();
        QTest::newRow("colour without thickness") << QStringList{ "M_TCOL=0xffff0000" } << false << QColor() << 0 << QColor();
        QTest::newRow("negative thickness") << QStringList{ "M_THICK=-3", "M_TCOL=0xffff0000" } << false << QColor() << 0 << QColor(255, 0, 0);
        QTest::newRow("unreadable thickness") << QStringList{ "M_THICK=4px", "M_TCOL=0xffff0000" } << false << QColor() << 0 << QColor(255, 0, 0);
        QTest::newRow("the last of a name counts") << QStringList{ "M_BCOL=0xff0000ff", "M_BCOL=0xff00ff00" } << true << QColor(0, 255, 0) << 0 << QColor();
        QTest::newRow("bad colour text") << QStringList{ "M_BCOL=red", "M_THICK=2", "M_TCOL=blue" } << false << QColor() << 0 << QColor();
    }

    void boxOutlineStyle()
    {
        QFETCH(QStringList, params);
        QFETCH(bool, fillPresent);
        QFETCH(QColor, fill);
        QFETCH(int, thickness);
        QFETCH(QColor, border);
        FixtureElement m = Fx::mask("m", 0, 0, 10, 10);
        for (const QString& p : params)
            m.p(p.section(QLatin1Char('='), 0, 0), p.section(QLatin1Char('='), 1));
        ParsedPage page({ m });
        const DashCanvas::BoxOutlineStyle style = DashCanvas::boxOutlineStyle(page.mask(0));
        QCOMPARE(style.fillPresent, fillPresent);
        if (fillPresent)
            QCOMPARE(style.fill.rgb(), fill.rgb());
        QCOMPARE(style.thickness, thickness);
        if (border.isValid())
            QCOMPARE(style.border.rgb(), border.rgb());
    }

    void convertSpeed_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("display");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("shown");
        QTest::newRow("m/s to km/h") << "m/s" << 0 << 10.0 << 36.0;
        QTest::newRow("m/s to mph") << "m/s" << 1 << 10.0 << 22.3694;
        QTest::newRow("m/s to knots") << "m/s" << 2 << 10.0 << 19.4384;
        QTest::newRow("km/h stays km/h") << "km/h" << 0 << 100.0 << 100.0;
        QTest::newRow("kph to mph") << "kph" << 1 << 36.0 << 22.3694;
        QTest::newRow("mph to km/h") << "mph" << 0 << 22.3694 << 36.0;
        QTest::newRow("kts to km/h") << "kts" << 0 << 19.4384 << 36.0;
        QTest::newRow("unknown unit counts as m/s") << "furlong/s" << 0 << 10.0 << 36.0;
        QTest::newRow("empty unit counts as m/s") << "" << 0 << 10.0 << 36.0;
        QTest::newRow("other display unit: m/s") << "km/h" << 7 << 36.0 << 10.0;
    }

    void convertSpeed()
    {
        QFETCH(QString, unit);
        QFETCH(int, display);
        QFETCH(double, value);
        QFETCH(double, shown);
        QVERIFY(std::fabs(DashCanvas::convertSpeed(value, unit, display) - shown) < 1e-4);
    }

    void maskValueText_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("thousands: no decimals") << "RPM" << 1234.6 << "1235";
        QTest::newRow("below 1000: one decimal") << "Speed" << 999.94 << "999.9";
        QTest::newRow("below 1: two decimals") << "Lambda" << -0.5 << "-0.50";
        QTest::newRow("zero") << "Lambda" << 0.0 << "0.00";
        QTest::newRow("one") << "Lambda" << 1.0 << "1.0";
        QTest::newRow("large negative") << "Delta" << -1500.2 << "-1500";
        QTest::newRow("lap time") << "Best Lap" << 65.3 << "1:05.30";
    }

    void maskValueText()
    {
        QFETCH(QString, channel);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(DashCanvas::maskValueText(channel, QString(), value), text);
    }

    void fillReplacesArtwork()
    {
        Rs3Fixture rs3;
        const QString folder = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/box/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, folder + "mask.png",
                              TestFiles::pngBytes(QSize(40, 20), QColor(0, 0, 255))));
        ParsedPage p({ Fx::mask("art", 100, 100, 200, 100).p("PATH_REL_AiM_MASK", folder),
                       Fx::mask("filled", 400, 100, 200, 100).p("PATH_REL_AiM_MASK", folder).p("M_BCOL", "0xffff0000"),
                       Fx::mask("clear", 100, 300, 200, 100).p("PATH_REL_AiM_MASK", folder).p("M_BCOL", "0x00ff0000") });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        const QImage img = paint(canvas);
        QVERIFY2(near(img.pixelColor(210, 160), QColor(0, 0, 255)), qPrintable(describe(img.pixelColor(210, 160))));
        QVERIFY(near(img.pixelColor(510, 160), QColor(255, 0, 0)));
        QVERIFY(near(img.pixelColor(210, 360), QColor(0, 0, 255))); // alpha 0 lets the art show
    }

    void borders_data()
    {
        QTest::addColumn<QSize>("canvasSize");
        QTest::addColumn<QRect>("mask");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QRect>("red");   // widget pixels expected red
        QTest::addColumn<QRect>("clear"); // widget pixels expected without red
        // Scale 0.5: a 4-pixel border is 2 widget pixels.
        QTest::newRow("thin at half scale") << QSize(420, 260) << QRect(100, 100, 200, 100)
                                            << QStringList{ "M_THICK=4", "M_TCOL=0xffff0000" }
                                            << QRect(61, 61, 98, 1) << QRect(63, 63, 94, 44);
        // 100 pixels on a 40 x 20 mask: 10-pixel strips that meet.
        QTest::newRow("thicker than the mask") << QSize(820, 500) << QRect(100, 100, 40, 20)
                                               << QStringList{ "M_THICK=100", "M_TCOL=0xffff0000" }
                                               << QRect(111, 111, 38, 18) << QRect();
        QTest::newRow("no colour, no border") << QSize(820, 500) << QRect(100, 100, 40, 20)
                                              << QStringList{ "M_THICK=4" } << QRect() << QRect(110, 110, 40, 20);
    }

    void borders()
    {
        QFETCH(QSize, canvasSize);
        QFETCH(QRect, mask);
        QFETCH(QStringList, params);
        QFETCH(QRect, red);
        QFETCH(QRect, clear);
        FixtureElement m = Fx::mask("m", mask.x(), mask.y(), mask.width(), mask.height());
        for (const QString& p : params)
            m.p(p.section(QLatin1Char('='), 0, 0), p.section(QLatin1Char('='), 1));
        ParsedPage p({ m });
        DashCanvas canvas;
        canvas.resize(canvasSize);
        canvas.setPage(&p.page);
        canvas.previewMode = true; // no editor outline over the strips
        const QImage img = paint(canvas);
        const QColor strip(255, 0, 0);
        if (!red.isNull())
            QCOMPARE(countNear(img, red, strip, 4), red.width() * red.height());
        if (!clear.isNull())
            QCOMPARE(countNear(img, clear, strip, 60), 0);
    }

    void editorOutlines()
    {
        ParsedPage p({ Fx::mask("plain", 100, 100, 100, 50),
                       Fx::mask("bound", 300, 100, 100, 50).add(Fx::axis("00", "RPM", "RPM", "rpm")),
                       Fx::mask("selected", 500, 100, 100, 50).add(Fx::label("1_l", "X", 0, 0, 10, 10)) });
        QCOMPARE(p.mask(1).channel, QString("RPM"));
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        canvas.setSelectedMask(2);
        QImage img = paint(canvas);
        // The top edges at widget y 110.
        const QColor plainTint = blend(Qt::black, QColor(128, 128, 128), 60);
        QVERIFY(countNear(img, QRect(115, 109, 80, 3), QColor(150, 150, 150), 2) > 10);   // grey dashes
        QVERIFY(countNear(img, QRect(115, 109, 80, 3), plainTint, 2) > 10);              // and gaps
        QVERIFY(countNear(img, QRect(315, 109, 80, 3), QColor(200, 200, 200), 2) >= 80); // solid
        QVERIFY(countNear(img, QRect(515, 109, 80, 3), kYellow, 0) >= 80);
        // A selected mask with widgets shows the page through in the editor.
        QVERIFY(near(img.pixelColor(590, 150), Qt::black, 0));

        canvas.previewMode = true;
        img = paint(canvas);
        QCOMPARE(countNear(img, QRect(115, 109, 80, 3), QColor(150, 150, 150), 2), 0);
        QVERIFY(near(img.pixelColor(590, 150), blend(Qt::black, QColor(150, 100, 200), 60)));
    }

    void previewBoxOutline_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("colour name") << "orange" << QColor(255, 165, 0);
        QTest::newRow("0x and six digits") << "0x00ff80" << QColor(0, 255, 128);
        QTest::newRow("hash form") << "#2040ff" << QColor(32, 64, 255);
        QTest::newRow("not a colour") << "0xzz" << QColor();
        QTest::newRow("empty") << "" << QColor();
    }

    void previewBoxOutline()
    {
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        ParsedPage p({ Fx::mask("m", 100, 100, 200, 100).p("DE_BOX_OUTLINE", text).p("M_BCOL", "0xff000000") });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        canvas.previewMode = true;
        QImage img = paint(canvas);
        const QRect top(130, 108, 140, 5);
        if (colour.isValid())
            QVERIFY2(countNear(img, top, colour, 40) >= 140, qPrintable(describe(img.pixelColor(150, 110))));
        else
            QCOMPARE(countNear(img, top, Qt::black, 0), 140 * 5);
        canvas.previewMode = false;
        img = paint(canvas);
        if (colour.isValid())
            QCOMPARE(countNear(img, top, colour, 40), 0);
    }

    void iconGraphic()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("icons"));
        const QString graphic = dir + QStringLiteral("/icon.png");
        const QString preview = dir + QStringLiteral("/preview.png");
        QFile file(graphic);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(TestFiles::pngBytes(QSize(50, 50), QColor(255, 0, 0)));
        file.close();
        QFile previewFile(preview);
        QVERIFY(previewFile.open(QIODevice::WriteOnly));
        previewFile.write(TestFiles::pngBytes(QSize(50, 50), QColor(0, 0, 255)));
        previewFile.close();

        ParsedPage p({ Fx::mask("icon", 100, 100, 200, 100).add(Fx::icon("05", 0, 0, 200, 100)) });
        QCOMPARE(p.mask(0).kind, int(MaskIcon));
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        QImage img = paint(canvas);
        // Without a graphic: the icon placeholder.
        QVERIFY(near(img.pixelColor(120, 160), blend(Qt::black, QColor(200, 180, 40), 60)));

        // A missing graphic file falls through to the preview; an existing
        // one wins. Scaled to 100 x 100, centred: widget x 160..260.
        QString graphicPath = dir + QStringLiteral("/missing.png");
        canvas.setIconGraphicProvider([&graphicPath](int) { return graphicPath; });
        canvas.setIconPreviewProvider([&preview](int) { return preview; });
        img = paint(canvas);
        QVERIFY(near(img.pixelColor(210, 160), QColor(0, 0, 255), 4));
        graphicPath = graphic;
        canvas.invalidateRenderCaches();
        img = paint(canvas);
        QVERIFY(near(img.pixelColor(210, 160), QColor(255, 0, 0), 4));
        QVERIFY(near(img.pixelColor(162, 112), QColor(255, 0, 0), 4));
        // No placeholder beside the graphic.
        QVERIFY(near(img.pixelColor(130, 160), Qt::black, 0));
        QVERIFY(near(img.pixelColor(280, 160), Qt::black, 0));
    }

    void maskLevelValueAndMatchLog()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("log"));
        const QString log = dir + QStringLiteral("/channel_debug.txt");
        DashCanvas::setChannelMatchLogPath(log);
        DashCanvas::resetChannelMatchLog();

        ParsedPage p({ Fx::mask("value", 100, 100, 300, 120).add(Fx::axis("00", "RPM", "RPM", "rpm")),
                       Fx::mask("nomatch", 450, 100, 300, 120).add(Fx::axis("00", "Oil Temp", "OT", "C")) });
        FixedSource source;
        source.channels.insert(QStringLiteral("RPM"), { 1234.6, QStringLiteral("Engine RPM"), QStringLiteral("rpm") });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);

        // Without a source the editor shows the channel and the mask's name.
        QImage img = paint(canvas);
        QVERIFY(countBright(img, QRect(112, 111, 100, 20), 200) > 5);   // "RPM" top left
        QVERIFY(countBright(img, QRect(340, 212, 70, 18), 200) > 5);    // "value" bottom right
        QVERIFY(!QFile::exists(log));

        canvas.setDataSource(&source);
        img = paint(canvas);
        paint(canvas);
        // Large centred value, grey caption.
        QVERIFY(countBright(img, QRect(160, 140, 200, 60), 200) > 100);
        QVERIFY(countNear(img, QRect(112, 112, 30, 9), QColor(140, 140, 140), 45) > 3);
        QCOMPARE(countBright(img, QRect(112, 112, 30, 9), 200), 0);

        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QCOMPARE(text, QByteArray("OVERLAY: \"RPM\"  ->  CSV: \"Engine RPM\"\n"
                                  "OVERLAY: \"Oil Temp\"  ->  CSV: \"NO MATCH\"\n"));

        // The live look shows nothing for a mask without value.
        canvas.setDataSource(nullptr);
        canvas.previewMode = true;
        img = paint(canvas);
        QCOMPARE(countBright(img, QRect(110, 110, 300, 120), 200), 0);
    }

    void matchLogWithoutFolderIsSkipped()
    {
        DashCanvas::setChannelMatchLogPath(TestEnvironment::makeTempDir() + QStringLiteral("/absent/channel_debug.txt"));
        DashCanvas::resetChannelMatchLog();
        ParsedPage p({ Fx::mask("value", 100, 100, 300, 120).add(Fx::axis("00", "RPM", "RPM", "rpm")) });
        FixedSource source;
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        canvas.setDataSource(&source);
        paint(canvas);
        QVERIFY(!QFileInfo::exists(QFileInfo(DashCanvas::channelMatchLogPath()).absolutePath()));
    }

    void gpsSpeedInDisplayUnit()
    {
        // The Digit's text must be the converted speed: 10 m/s shows 36 in
        // km/h. Compare with the same widget drawn at a fixed value.
        ParsedPage p({ Fx::mask("m", 100, 100, 300, 120)
                           .add(Fx::axis("00", "GPS Speed", "GPS", "m/s").p("NDEC_SCELTO", 0))
                           .add(Fx::digit("1_d", 10, 10, 200, 60, "00").p("CHARSET_DIM", 40).p("COLORE", "0xffffffff")) });
        FixedSource source;
        source.channels.insert(QStringLiteral("GPS Speed"), { 10.0, QStringLiteral("GPS Speed"), QStringLiteral(" M/S ") });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        canvas.setDataSource(&source);
        canvas.setSpeedUnit(1);
        const QImage live = paint(canvas).copy(110, 110, 300, 120);

        const auto drawn = [&](double value) {
            QImage img(820, 500, QImage::Format_RGB32);
            img.fill(Qt::black);
            QPainter painter(&img);
            canvas.drawWidgetLive(painter, p.mask(0), p.widget(0, 0), value);
            painter.end();
            return img.copy(110, 110, 300, 120);
        };
        const QImage mph = drawn(22.0);
        const QImage raw = drawn(10.0);
        const auto bright = [](const QImage& img) { return countBright(img, img.rect(), 200); };
        const auto sameInk = [&](const QImage& a, const QImage& b) {
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x)
                    if ((qGray(a.pixel(x, y)) > 128) != (qGray(b.pixel(x, y)) > 128))
                        return false;
            return true;
        };
        QVERIFY(bright(live) > 0);
        QVERIFY(sameInk(live, mph));
        QVERIFY(!sameInk(live, raw));
    }

    void hiddenLabelsAndStyledBars()
    {
        ParsedPage p({ Fx::mask("m", 100, 100, 300, 120)
                           .add(Fx::label("1_l", "HIDDEN", 10, 10, 200, 40).p("HIDDEN", 1).p("CHARSET_DIM", 30).p("COLORE", "0xffffffff"))
                           .add(Fx::bargraph("2_bar", 0, 80, 300, 40).p("HIDDEN", 1).p("COL", "0xffff0000")) });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        QImage img = paint(canvas);
        QCOMPARE(countBright(img, QRect(115, 115, 200, 40), 200), 0);
        // The hidden flag does not hide a bar; without a value it is half full.
        const QColor barFill = blend(Qt::black, Qt::red, 200);
        QVERIFY2(near(img.pixelColor(150, 210), barFill), qPrintable(describe(img.pixelColor(150, 210))));

        // A styled box image is the box alone: the live look draws the bar
        // over it as the editor look does.
        canvas.setMaskImageProvider([](int) {
            QImage image(30, 12, QImage::Format_ARGB32);
            image.fill(QColor(0, 0, 255));
            return image;
        });
        canvas.previewMode = true;
        img = paint(canvas);
        QVERIFY(near(img.pixelColor(150, 210), blend(QColor(0, 0, 255), Qt::red, 200)));
        canvas.previewMode = false;
        img = paint(canvas);
        QVERIFY(near(img.pixelColor(150, 210), blend(QColor(0, 0, 255), Qt::red, 200)));
    }

    void ringDrawsOnlyItsArc()
    {
        ParsedPage p({ Fx::mask("ring", 100, 100, 200, 200)
                           .p("M_BCOL", "0xffff0000")
                           .add(Fx::axis("00", "RPM", "RPM", "rpm"))
                           .add(FixtureElement("Ring", "01").p("XPOS", 100).p("YPOS", 100).p("RAGG", 90).p("RAGBK", 70).p("COL", "0x00ff00"))
                           .add(Fx::digit("1_d", 100, 100, 100, 40, "00").p("COLORE", "0xffffffff")) });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        canvas.setSelectedMask(-1);
        const QImage img = paint(canvas);
        QCOMPARE(countNear(img, QRect(110, 110, 200, 200), QColor(255, 0, 0), 60), 0);
        QCOMPARE(countBright(img, QRect(110, 110, 200, 200), 200), 0);
    }

    // The ring's hidden, unsized companion bar gets no outline of its own.
    void hiddenCompanionHasNoOutline()
    {
        ParsedPage p({ Fx::mask("ring", 100, 100, 200, 200)
                           .add(Fx::axis("00", "RPM", "RPM", "rpm"))
                           .add(FixtureElement("Ring", "01").p("XPOS", 100).p("YPOS", 100).p("RAGG", 90).p("RAGBK", 70).p("COL", "0x00ff00"))
                           .add(Fx::bargraph("02", 0, 0, 0, 0, "00", false).p("HIDDEN", 1)) });
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        canvas.setSelectedMask(-1);
        const QImage img = paint(canvas);
        QCOMPARE(countBright(img, QRect(105, 105, 40, 30), 60), 0);
    }

    void fontBadge_data()
    {
        QTest::addColumn<int>("digitPx");
        QTest::addColumn<QString>("deviceFolder");
        QTest::addColumn<bool>("preview");
        QTest::addColumn<bool>("badge");
        QTest::newRow("27 px, firmware 26 and 40") << 27 << "dash" << false << false;
        QTest::newRow("30 px") << 30 << "dash" << false << true;
        QTest::newRow("30 px on a PDM page") << 30 << "PDM32/dash1" << false << false;
        QTest::newRow("30 px in the live look") << 30 << "dash" << true << false;
    }

    void fontBadge()
    {
        QFETCH(int, digitPx);
        QFETCH(QString, deviceFolder);
        QFETCH(bool, preview);
        QFETCH(bool, badge);
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("fonts"));
        QVERIFY(QDir(dir).mkpath(QStringLiteral("allfnt")));
        for (const char* name : { "1_26.fnt", "2_40.fnt" }) {
            QFile f(dir + QStringLiteral("/allfnt/") + QLatin1String(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        DashConfig config;
        config.setFontFolders({ dir });
        QCOMPARE(config.firmwareFontSizes(0), (QSet<int>{ 26, 40 }));

        ParsedPage p({ Fx::mask("digit", 100, 100, 200, 100)
                           .add(Fx::axis("00", "RPM", "RPM", "rpm"))
                           .add(Fx::digit("1_d", 0, 0, 200, 100, "00").p("CHARSET_DIM", digitPx)) });
        QCOMPARE(p.mask(0).kind, int(MaskDigit));
        p.mask(0).digitPx = digitPx;
        p.page.deviceFolder = deviceFolder;
        p.page.deviceFileIndex = 0;
        DashCanvas canvas;
        canvas.resize(820, 500);
        canvas.setPage(&p.page);
        canvas.setConfig(&config);
        canvas.previewMode = preview;
        const QImage img = paint(canvas);
        // Triangle fill near the top-right corner: x = 308, y = 112.
        const int yellow = countNear(img, QRect(296, 112, 12, 12), QColor(255, 210, 0), 10);
        QCOMPARE(yellow > 10, badge);
    }
};

KORV_TEST_MAIN(CanvasMasksTest)
#include "tst_canvasmasks.moc"
