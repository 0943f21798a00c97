#include "model/DashConfig.h"
#include "model/MaskParsing.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

Q_DECLARE_METATYPE(FixtureElement)

namespace {

QString colourText(const QColor& c)
{
    return c.isValid() ? c.name(QColor::HexArgb) : QStringLiteral("-");
}

QString describe(const WidgetModel& w)
{
    static const char* kinds[] = {"L", "D", "B"};
    return QStringLiteral("%1:%2@%3,%4/%5x%6 ch=%7/%8/%9/%10 px=%11 col=%12 text=%13 scale=%14..%15%16")
        .arg(QLatin1String(kinds[w.kind]))
        .arg(w.id)
        .arg(w.x)
        .arg(w.y)
        .arg(w.w)
        .arg(w.h)
        .arg(w.channel, w.channelShort, w.unit)
        .arg(w.decimals)
        .arg(w.charsetPx)
        .arg(colourText(w.colour), w.text)
        .arg(w.scaleMin)
        .arg(w.scaleMax)
        .arg(w.isTrapezio ? QStringLiteral(" trap") : QString());
}

} // namespace

class ParseTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mask_data()
    {
        QTest::addColumn<FixtureElement>("mask");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QStringList>("widgets");
        QTest::addColumn<QString>("styles");

        const QString noStyle = "/0/-|/0/-/0";
        QTest::newRow("digit and label") << Fx::mask("m", 1, 2, 3, 4)
                                                .add(Fx::label("l", "Speed", 0, 0, 10, 10))
                                                .add(Fx::digit("d", 0, 10, 10, 10))
                                         << 2 << ""
                                         << QStringList{"L:l@0,0/10x10 ch=///-1 px=0 col=- text=Speed scale=0..100",
                                                        "D:d@0,10/10x10 ch=///-1 px=0 col=- text= scale=0..100"}
                                         << "/0/-|/0/-/1";
        QTest::newRow("label and icon") << Fx::mask("m", 0, 0, 1, 1)
                                               .add(Fx::label("l", "x", 0, 0, 1, 1))
                                               .add(Fx::icon("i", 0, 0, 1, 1))
                                        << 4 << "" << QStringList{"L:l@0,0/1x1 ch=///-1 px=0 col=- text=x scale=0..100"}
                                        << "/0/-|/0/-/1";
        QTest::newRow("only axis") << Fx::mask("m", 0, 0, 1, 1).add(Fx::axis("a", "RPM", "R")) << 6 << "RPM"
                                   << QStringList{} << noStyle;
        QTest::newRow("lower-case class counts for nothing")
            << Fx::mask("m", 0, 0, 1, 1).add(FixtureElement("digit", "d").p("XPOS", 3)) << 6 << "" << QStringList{}
            << noStyle;
        QTest::newRow("analog wins") << Fx::mask("m", 0, 0, 1, 1)
                                            .add(Fx::digit("d", 0, 0, 1, 1))
                                            .add(FixtureElement("Analog", "an"))
                                     << 0 << "" << QStringList{"D:d@0,0/1x1 ch=///-1 px=0 col=- text= scale=0..100"}
                                     << "/0/-|/0/-/0";
        QTest::newRow("ring over digit") << Fx::mask("m", 0, 0, 1, 1)
                                                .add(FixtureElement("Ring", "r"))
                                                .add(Fx::digit("d", 0, 0, 1, 1))
                                         << 1 << "" << QStringList{"D:d@0,0/1x1 ch=///-1 px=0 col=- text= scale=0..100"}
                                         << "/0/-|/0/-/0";
        QTest::newRow("bar over label") << Fx::mask("m", 0, 0, 1, 1)
                                               .add(Fx::label("l", " ", 0, 0, 1, 1))
                                               .add(Fx::bargraph("b", 0, 0, 1, 1).p("ScaleMSV", "-5").p("ScaleFSV", "2.5"))
                                        << 3 << ""
                                        << QStringList{"L:l@0,0/1x1 ch=///-1 px=0 col=- text= scale=0..100",
                                                       "B:b@0,0/1x1 ch=///-1 px=0 col=- text= scale=-5..2.5"}
                                        << "/0/-|/0/-/1";
        QTest::newRow("first named axis gives the channel")
            << Fx::mask("m", 0, 0, 1, 1)
                   .add(Fx::axis("a0", ""))
                   .add(Fx::axis("a1", "RPM", "R", "rpm").p("NDEC_SCELTO", 2))
                   .add(Fx::digit("d", 0, 0, 1, 1, "a1"))
            << 2 << "RPM" << QStringList{"D:d@0,0/1x1 ch=RPM/R/rpm/2 px=0 col=- text= scale=0..100"}
            << "/0/-|/0/-/0";
        QTest::newRow("placeholder resource uses the long name")
            << Fx::mask("m", 0, 0, 1, 1).add(Fx::axis("a", "Lap Time", "LT", "s", "LAPTIME_GPS")) << 6 << "Lap Time"
            << QStringList{} << noStyle;
        QTest::newRow("numeric resource uses the long name")
            << Fx::mask("m", 0, 0, 1, 1).add(Fx::axis("a", "Gear", "G", "", " 42 ")) << 6 << "Gear" << QStringList{}
            << noStyle;
        QTest::newRow("ordinary resource names the channel")
            << Fx::mask("m", 0, 0, 1, 1).add(Fx::axis("a", "Engine", "E", "", "ENGINE_RPM")) << 6 << "ENGINE_RPM"
            << QStringList{} << noStyle;
        QTest::newRow("unnamed axes: the first one") << Fx::mask("m", 0, 0, 1, 1)
                                                           .add(Fx::axis("a", "", "", "", "OIL_P"))
                                                           .add(Fx::axis("b", "", "", "", "WATER_T"))
                                                    << 6 << "OIL_P" << QStringList{} << noStyle;
        QTest::newRow("position forms") << Fx::mask("m", 0, 0, 1, 1)
                                               .add(FixtureElement("Label", "a").p("XPOS", "12,40").p("YPOS", ",3"))
                                               .add(FixtureElement("Label", "b").p("XPOS", "12.5").p("YPOS", " -7"))
                                        << 5 << ""
                                        << QStringList{"L:a@12,0/0x0 ch=///-1 px=0 col=- text= scale=0..100",
                                                       "L:b@0,-7/0x0 ch=///-1 px=0 col=- text= scale=0..100"}
                                        << "/0/-|/0/-/1";
        QTest::newRow("step scale sorted by position")
            << Fx::mask("m", 0, 0, 1, 1)
                   .add(Fx::bargraph("b", 0, 0, 1, 1, "", true)
                            .add(Fx::stepScale({{"0", "-20"}, {"100", "80"}, {"50", "200"}, {"x", "oops"}})))
            << 3 << "" << QStringList{"B:b@0,0/1x1 ch=///-1 px=0 col=- text= scale=-20..80 trap"} << noStyle;
        QTest::newRow("single step keeps the parameters")
            << Fx::mask("m", 0, 0, 1, 1)
                   .add(Fx::bargraph("b", 0, 0, 1, 1).p("MIN_VALUE", "10").p("MAX_VALUE", "20").add(Fx::stepScale({{"0", "5"}})))
            << 3 << "" << QStringList{"B:b@0,0/1x1 ch=///-1 px=0 col=- text= scale=10..20"} << noStyle;
        QTest::newRow("two scale elements are ignored")
            << Fx::mask("m", 0, 0, 1, 1)
                   .add(Fx::bargraph("b", 0, 0, 1, 1)
                            .add(Fx::stepScale({{"0", "1"}, {"100", "9"}}))
                            .add(Fx::stepScale({{"0", "2"}, {"100", "8"}})))
            << 3 << "" << QStringList{"B:b@0,0/1x1 ch=///-1 px=0 col=- text= scale=0..100"} << noStyle;
        QTest::newRow("scale below a UDM element")
            << Fx::mask("m", 0, 0, 1, 1)
                   .add(Fx::bargraph("b", 0, 0, 1, 1).add(FixtureElement("UDM", "u").add(Fx::stepScale({{"0", "3"}, {"100", "7"}}))))
            << 3 << "" << QStringList{"B:b@0,0/1x1 ch=///-1 px=0 col=- text= scale=3..7"} << noStyle;
        QTest::newRow("digit style from the first styled digit")
            << Fx::mask("m", 0, 0, 1, 1)
                   .add(Fx::digit("d1", 0, 0, 1, 1))
                   .add(Fx::digit("d2", 0, 0, 1, 1).p("CHAR_SET_ID_2", "Font_H24").p("COLORE", "0xFF00FF00"))
                   .add(Fx::digit("d3", 0, 0, 1, 1).p("CHARSET_DIM", 40))
            << 2 << ""
            << QStringList{"D:d1@0,0/1x1 ch=///-1 px=0 col=- text= scale=0..100",
                           "D:d2@0,0/1x1 ch=///-1 px=24 col=#ff00ff00 text= scale=0..100",
                           "D:d3@0,0/1x1 ch=///-1 px=40 col=- text= scale=0..100"}
            << "Font_H24/24/#ff00ff00|/0/-/0";
        QTest::newRow("label style from the first label")
            << Fx::mask("m", 0, 0, 1, 1)
                   .add(Fx::label("l1", "A", 0, 0, 1, 1).p("CHAR_SET_ID_2", "F_12x16").p("COLORE", "0x80112233"))
                   .add(Fx::label("l2", "B", 0, 0, 1, 1).p("CHARSET_DIM", 9).p("COLORE", "FF00FF00"))
            << 5 << ""
            << QStringList{"L:l1@0,0/1x1 ch=///-1 px=16 col=#80112233 text=A scale=0..100",
                           "L:l2@0,0/1x1 ch=///-1 px=9 col=- text=B scale=0..100"}
            << "/0/-|F_12x16/16/#80112233/1";
        QTest::newRow("axis without id matches an empty reference")
            << Fx::mask("m", 0, 0, 1, 1)
                   .add(FixtureElement("Axis").p("lnm", "Speed").p("UDM", "km/h"))
                   .add(Fx::digit("d", 0, 0, 1, 1))
            << 2 << "Speed" << QStringList{"D:d@0,0/1x1 ch=Speed//km/h/-1 px=0 col=- text= scale=0..100"}
            << "/0/-|/0/-/0";
    }

    void mask()
    {
        QFETCH(FixtureElement, mask);
        QFETCH(int, kind);
        QFETCH(QString, channel);
        QFETCH(QStringList, widgets);
        QFETCH(QString, styles);

        ConfigFixture cfg;
        cfg.device().page("P").mask(mask);
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(config.pageCount(), 1);
        QCOMPARE(config.pages[0].masks.size(), size_t(1));
        const MaskElement& m = config.pages[0].masks[0];
        QCOMPARE(m.id, mask.id);
        QCOMPARE(m.kind, kind);
        QCOMPARE(m.channel, channel);
        QCOMPARE(config.maskChannelText(0, 0), channel);
        QStringList got;
        for (const WidgetModel& w : m.widgets)
            got << describe(w);
        QCOMPARE(got, widgets);
        QCOMPARE(QStringLiteral("%1/%2/%3|%4/%5/%6/%7")
                     .arg(m.digitCharset)
                     .arg(m.digitPx)
                     .arg(colourText(m.digitColour), m.labelCharset)
                     .arg(m.labelPx)
                     .arg(colourText(m.labelColour))
                     .arg(m.labelStyleSet ? 1 : 0),
                 styles);
        QCOMPARE(m.node.attribute("c").value(), "GMaskParam");
        for (const WidgetModel& w : m.widgets)
            QCOMPARE(QString::fromUtf8(w.node.attribute("i").value()), w.id);

        // Re-parsing the node in place gives the same record.
        const MaskElement again = config.parseMask(m.node);
        QStringList gotAgain;
        for (const WidgetModel& w : again.widgets)
            gotAgain << describe(w);
        QCOMPARE(gotAgain, widgets);
        QCOMPARE(again.kind, kind);
    }

    void maskGeometryAndReparse()
    {
        ConfigFixture cfg;
        cfg.device().page("P")
            .mask(Fx::mask("a", 10, 20, 30, 40))
            .mask(Fx::mask("b", 1, 2, 3, 4).add(Fx::axis("x", "", "", "", "OIL")).add(Fx::digit("d", 0, 0, 1, 1)));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        MaskElement& a = config.pages[0].masks[0];
        QCOMPARE(QRect(a.x, a.y, a.w, a.h), QRect(10, 20, 30, 40));
        setParamInt(a.node, "WIDTH", 99);
        a = config.parseMask(a.node);
        QCOMPARE(a.w, 99);
        // A mask without a named channel falls back to a widget's channel.
        QCOMPARE(config.maskChannelText(0, 1), QStringLiteral("OIL"));
        QCOMPARE(config.maskChannelText(0, 2), QString());
        QCOMPARE(config.maskChannelText(1, 0), QString());
        QCOMPARE(config.maskChannelText(-1, 0), QString());
    }

    void charsetPixelHeight_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("px");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("H24") << "Arial_H24" << 24;
        QTest::newRow("12x16") << "Mono_12x16" << 16;
        QTest::newRow("_7") << "Small_7" << 7;
        QTest::newRow("_x") << "Small_x" << 0;
        QTest::newRow("H24 with suffix") << "Arial_H24,3" << 24;
        QTest::newRow("leading comma kept") << ",H12" << 12;
        QTest::newRow("no digits") << "Plain" << 0;
    }

    void charsetPixelHeight()
    {
        QFETCH(QString, name);
        QFETCH(int, px);
        QCOMPARE(::charsetPixelHeight(name), px);
    }

    void parseArgbColour_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colour");
        QTest::newRow("opaque green") << "0xFF00FF00" << "#ff00ff00";
        QTest::newRow("upper X, translucent") << "0X80a1B2c3" << "#80a1b2c3";
        QTest::newRow("short") << "0x1" << "#00000001";
        QTest::newRow("no prefix") << "FF00FF00" << "-";
        QTest::newRow("prefix only") << "0x" << "-";
        QTest::newRow("not hex") << "0xFFGG0000" << "-";
        QTest::newRow("too wide") << "0x1FF00FF00" << "-";
        QTest::newRow("leading zeros") << "0x00FF00FF00" << "#ff00ff00";
    }

    void parseArgbColour()
    {
        QFETCH(QString, text);
        QFETCH(QString, colour);
        QCOMPARE(colourText(::parseArgbColour(text)), colour);
    }

    void nestingCheck()
    {
        pugi::xml_document doc;
        pugi::xml_node n = doc.append_child("root");
        for (int i = 0; i < 300; ++i)
            n = n.append_child("e");
        QVERIFY(xmlNestingWithin(doc, 301));
        QVERIFY(!xmlNestingWithin(doc, 300));
        QVERIFY(xmlNestingWithin(pugi::xml_node()));
        pugi::xml_document wide;
        pugi::xml_node r = wide.append_child("root");
        for (int i = 0; i < 1000; ++i)
            r.append_child("e").append_child("p").text().set("x");
        QVERIFY(xmlNestingWithin(wide, 4));
        QVERIFY(!xmlNestingWithin(wide, 3));
    }
};

KORV_GUI_TEST_MAIN(ParseTest)
#include "tst_parse.moc"
