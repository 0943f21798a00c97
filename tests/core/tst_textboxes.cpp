#include "editing/ChannelCategory.h"
#include "editing/ElementParams.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

namespace {

bool openWith(DashConfig& config, const QList<FixtureElement>& masks)
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    for (const FixtureElement& m : masks)
        page.mask(m);
    return config.load(cfg.writeTempZip());
}

QStringList paramNames(pugi::xml_node e)
{
    QStringList names;
    for (pugi::xml_node p : e.children("p"))
        names << QString::fromUtf8(p.attribute("n").value());
    return names;
}

FixtureElement valueBox(int w, int h)
{
    return Fx::mask(QStringLiteral("box"), 10, 10, w, h)
        .add(Fx::axis(QStringLiteral("04"), QStringLiteral("RPM")))
        .add(Fx::digit(QStringLiteral("01"), 0, 0, w, h, QStringLiteral("04")));
}

QByteArray stepValue(pugi::xml_node scale, const char* id)
{
    for (pugi::xml_node e : scale.children("e")) {
        if (QByteArray(e.attribute("c").value()) == "StepScale" && QByteArray(e.attribute("i").value()) == id)
            return paramValue(e, "VAL_SCALA");
    }
    return "missing";
}

FixtureElement labelInFont(const QString& id, const QString& font)
{
    return Fx::label(id, QStringLiteral("x"), 0, 0, 10, 10).p("CHAR_SET_ID_2", font);
}

} // namespace

class TextBoxesTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void textBoxIds_data()
    {
        QTest::addColumn<QStringList>("children");
        QTest::addColumn<QString>("id");
        QTest::newRow("after 00, 01_L, 02") << QStringList{"00", "01_L", "02"} << "03_L";
        QTest::newRow("after 00_L") << QStringList{"00_L"} << "01_L";
        QTest::newRow("empty mask") << QStringList{} << "00_L";
        QTest::newRow("words do not count") << QStringList{"lbl", "00_L"} << "01_L";
    }
    void textBoxIds()
    {
        QFETCH(QStringList, children);
        FixtureElement mask = Fx::mask(QStringLiteral("m"), 5, 6, 200, 100);
        for (const QString& id : children)
            mask.add(Fx::label(id, QStringLiteral("x"), 0, 0, 10, 10));
        DashConfig config;
        QVERIFY(openWith(config, {mask}));
        const int index = config.addTextBox(0, 0, 7, 10, QStringLiteral("Ölß <T>"));
        const MaskElement& record = config.pages[0].masks[0];
        QCOMPARE(index, int(record.widgets.size()) - 1);
        const pugi::xml_node label = record.widgets.back().node;
        QTEST(QString::fromUtf8(label.attribute("i").value()), "id");
        QCOMPARE(label, record.node.last_child());
        QCOMPARE(paramNames(label),
                 (QStringList{"AXIS_REF", "CHARSET_DIM", "CHAR_SET_ID_2", "COLORE", "CONTROLLO_NO_AUTOAGGIORNABILE",
                              "FORMAT", "FW_DEBUG", "HEIGHT", "NUM_CHARS", "POS_ALIGN", "TEXT", "UPDATE_TIME",
                              "USA_CONTROLLI_RIPOSIZIONABILI", "WIDTH", "XPOS", "XPOS_FW", "YPOS", "YPOS_FW"}));
        QCOMPARE(paramValue(label, "XPOS_FW"), QByteArray("7"));
        QCOMPARE(paramValue(label, "YPOS"), QByteArray("34"));
        QCOMPARE(paramValue(label, "YPOS_FW"), QByteArray("34"));
        QCOMPARE(findParamText(label, "TEXT"), QStringLiteral("Ölß <T>"));
        QCOMPARE(record.widgets.back().text, QStringLiteral("Ölß <T>"));
        QCOMPARE(QRect(record.x, record.y, record.w, record.h), QRect(5, 6, 200, 100));
        QVERIFY(config.devices[0]->dirty);
    }

    void textBoxMask()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask("new.1", 0, 0, 10, 10).add(labelInFont("01", "Text_H24"))}));
        MaskElement out;
        QCOMPARE(config.addTextBoxMask(0, -5, 12, QStringLiteral("Hello"), out), 1);
        QCOMPARE(out.id, QStringLiteral("new.2"));
        QCOMPARE(QRect(out.x, out.y, out.w, out.h), QRect(0, 12, 130, 30));
        const pugi::xml_node mask = config.pages[0].masks[1].node;
        QCOMPARE(paramValue(mask, "XPOS"), QByteArray("0"));
        QCOMPARE(paramValue(mask, "ORDINE"), QByteArray("2"));
        QCOMPARE(paramValue(mask, "PATH_MASK_FW"), QByteArray("auto2/"));
        QCOMPARE(paramNames(mask).size(), 20);
        const pugi::xml_node label = mask.child("e");
        QCOMPARE(QString::fromUtf8(label.attribute("i").value()), QStringLiteral("00_L"));
        QVERIFY(!label.next_sibling("e")); // no channel element, no art
        QCOMPARE(paramValue(label, "XPOS"), QByteArray("0"));
        QCOMPARE(paramValue(label, "YPOS"), QByteArray("24"));
        QCOMPARE(paramValue(label, "CHAR_SET_ID_2"), QByteArray("Text_H24"));
        QVERIFY(ConfigSnapshot::pairingError(config).isEmpty());
    }

    void valueBarGeometry_data()
    {
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QByteArray>("width");
        QTest::addColumn<QByteArray>("ypos");
        QTest::newRow("200 x 80") << QSize(200, 80) << QByteArray("180") << QByteArray("60");
        QTest::newRow("15 x 10") << QSize(15, 10) << QByteArray("15") << QByteArray("0");
    }
    void valueBarGeometry()
    {
        QFETCH(QSize, box);
        QFETCH(QByteArray, width);
        DashConfig config;
        QVERIFY(openWith(config, {valueBox(box.width(), box.height())}));
        const int index = config.addValueBar(0, 0, QColor(), 0, 8000);
        const MaskElement& record = config.pages[0].masks[0];
        QCOMPARE(index, int(record.widgets.size()) - 1);
        const pugi::xml_node bar = record.widgets.back().node;
        QCOMPARE(QString::fromUtf8(bar.attribute("i").value()), QStringLiteral("04_000barg"));
        QCOMPARE(paramValue(bar, "WIDTH"), width);
        QCOMPARE(paramValue(bar, "XEnd2"), width);
        QTEST(paramValue(bar, "YPOS"), "ypos");
        QCOMPARE(paramValue(bar, "COL"), QByteArray("0xFF20ff00"));
        QCOMPARE(paramValue(bar, "AXIS_REF"), QByteArray("04"));
        QCOMPARE(paramValue(bar, "SCELTA_UTENTE"), QByteArray("00"));
        const pugi::xml_node scale = bar.find_child_by_attribute("e", "c", "ScaleFSV");
        QCOMPARE(paramValue(scale, "NOME_SCALA"), QByteArray("100"));
        QCOMPARE(stepValue(scale, "0"), QByteArray("0"));
        QCOMPARE(stepValue(scale, "1"), QByteArray("8000"));
        QCOMPARE(QRect(record.x, record.y, record.w, record.h), QRect(10, 10, box.width(), box.height()));
    }

    void valueBarScaleTexts_data()
    {
        QTest::addColumn<double>("maximum");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("whole") << 8000.0 << QByteArray("8000");
        QTest::newRow("fraction") << 1.5 << QByteArray("1.5");
        QTest::newRow("rounding noise") << 2 + 1e-10 << QByteArray("2");
        QTest::newRow("negative noise") << -3 - 1e-10 << QByteArray("-3");
        QTest::newRow("ten digits") << 1.0 / 3 << QByteArray("0.3333333333");
    }
    void valueBarScaleTexts()
    {
        QFETCH(double, maximum);
        DashConfig config;
        QVERIFY(openWith(config, {valueBox(100, 50)}));
        QVERIFY(config.addValueBar(0, 0, QColor(1, 2, 3), 0, maximum) >= 0);
        const pugi::xml_node bar = config.pages[0].masks[0].widgets.back().node;
        QCOMPARE(paramValue(bar, "COL"), QByteArray("0xFF010203"));
        const pugi::xml_node scale = bar.find_child_by_attribute("e", "c", "ScaleFSV");
        QTEST(stepValue(scale, "1"), "text");
    }

    void valueBarOnlyOnSingleValues_data()
    {
        QTest::addColumn<bool>("axis");
        QTest::addColumn<bool>("digit");
        QTest::addColumn<QString>("bar");
        QTest::newRow("no channel element") << false << true << "";
        QTest::newRow("no value") << true << false << "";
        QTest::newRow("has a bar") << true << true << "Bargraph";
        QTest::newRow("has a trapezoid bar") << true << true << "BargraphTrapezio";
    }
    void valueBarOnlyOnSingleValues()
    {
        QFETCH(bool, axis);
        QFETCH(bool, digit);
        QFETCH(QString, bar);
        FixtureElement mask = Fx::mask(QStringLiteral("m"), 0, 0, 100, 50).add(Fx::label("09", "x", 0, 0, 10, 10));
        if (axis)
            mask.add(Fx::axis("00", "RPM"));
        if (digit)
            mask.add(Fx::digit("01", 0, 0, 10, 10, "00"));
        if (!bar.isEmpty())
            mask.add(Fx::bargraph("02", 0, 0, 10, 10, "00", bar == QLatin1String("BargraphTrapezio")));
        DashConfig config;
        QVERIFY(openWith(config, {mask, Fx::mask(QStringLiteral("empty"), 0, 0, 10, 10)}));
        const QByteArray before = ConfigSnapshot::of(config);
        QCOMPARE(config.addValueBar(0, 0, QColor(), 0, 1), -1);
        QCOMPARE(config.addValueBar(0, 1, QColor(), 0, 1), -1); // no children at all
        QCOMPARE(config.addValueBar(0, 2, QColor(), 0, 1), -1);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }

    void labelFont_data()
    {
        QTest::addColumn<QStringList>("fonts");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringList{} << "MicrogrammaDBolExt";
        QTest::newRow("tie goes to the first name") << QStringList{"B", "B", "A", "A"} << "A";
        QTest::newRow("most used") << QStringList{"B", "A", "B"} << "B";
        QTest::newRow("empty values do not count") << QStringList{"", "", "C"} << "C";
    }
    void labelFont()
    {
        QFETCH(QStringList, fonts);
        FixtureElement one = Fx::mask(QStringLiteral("one"), 0, 0, 10, 10);
        FixtureElement two = Fx::mask(QStringLiteral("two"), 0, 0, 10, 10);
        // A digit in another font must not count for labels.
        one.add(Fx::digit("d", 0, 0, 10, 10).p("CHAR_SET_ID_2", "Z"));
        for (int i = 0; i < fonts.size(); ++i)
            (i % 2 ? two : one).add(labelInFont(QString::number(i), fonts[i]));
        DashConfig config;
        QVERIFY(openWith(config, {one, two}));
        QTEST(config.labelFontFor(config.pages[0], QStringLiteral("Label")), "expected");
    }

    void categories_data()
    {
        QTest::addColumn<QString>("longName");
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("fontPx");
        QTest::addColumn<int>("digits");
        QTest::newRow("Gear Temp") << "Gear Temp" << "" << "C" << "Gear" << 120 << 1;
        QTest::newRow("Oil Press in bar") << "Oil Press" << "" << "bar" << "Pressure" << 42 << 4;
        QTest::newRow("Fuel Temp") << "Fuel Temp" << "" << "" << "Temperature" << 48 << 4;
        QTest::newRow("Best Lap") << "Best Lap" << "" << "" << "Lap/predictive time" << 42 << 5;
        QTest::newRow("Lap") << "Lap" << "" << "" << "Lap number" << 60 << 3;
        QTest::newRow("Battery") << "Battery" << "" << "" << "Voltage" << 48 << 4;
        QTest::newRow("ECT in C") << "ECT" << "" << " C " << "Temperature" << 48 << 4;
        QTest::newRow("Throttle") << "Throttle" << "" << "%" << "" << 0 << 0;
        QTest::newRow("engine by unit") << "Engine" << "" << "rpm" << "RPM" << 54 << 5;
        QTest::newRow("short PT+-") << "Delta" << "pt+-" << "" << "Lap/predictive time" << 42 << 5;
        QTest::newRow("km/h") << "GPS" << "" << "km/h" << "Speed" << 60 << 3;
        QTest::newRow("Fuel Level") << "Fuel Level" << "" << "l" << "Fuel" << 47 << 4;
    }
    void categories()
    {
        QFETCH(QString, longName);
        QFETCH(QString, shortName);
        QFETCH(QString, unit);
        QFETCH(QString, label);
        const ChannelCategoryInfo info = channelCategoryInfo(longName, shortName, unit);
        QCOMPARE(info.label, label);
        QTEST(info.fontPx, "fontPx");
        QTEST(info.digits, "digits");
        QCOMPARE(channelCategoryFor(longName, shortName, unit) == nullptr, label.isEmpty());
    }

    void digitParams_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QByteArray>("px");
        QTest::addColumn<QByteArray>("digits");
        QTest::newRow("no category") << "Throttle" << QByteArray("24") << QByteArray("5");
        QTest::newRow("RPM") << "RPM" << QByteArray("54") << QByteArray("5");
        QTest::newRow("Gear") << "Gear" << QByteArray("120") << QByteArray("1");
    }
    void digitParams()
    {
        QFETCH(QString, channel);
        pugi::xml_document doc;
        pugi::xml_node digit = doc.append_child("e");
        appendDigitParams(digit, -3, 4, 100, 50, QStringLiteral("02"), QRect(1, 2, 30, 40), QStringLiteral("F"),
                          channelCategoryInfo(channel, QString(), QString()));
        QCOMPARE(paramNames(digit),
                 (QStringList{"AXIS_REF", "CHARSET_DIM", "CHAR_SET_ID_2", "COLORE", "CONTROLLO_NO_AUTOAGGIORNABILE",
                              "FORMAT", "FW_DEBUG", "HEIGHT", "NUM_CHARS", "POS_ALIGN", "UPDATE_TIME",
                              "USA_CONTROLLI_RIPOSIZIONABILI", "WIDTH", "XPOS", "XPOS_FW", "YPOS", "YPOS_FW",
                              "LINES_X_HOT_MOUSE", "LINES_X_HOT_MOUSE_COLOR"}));
        QTEST(paramValue(digit, "CHARSET_DIM"), "px");
        QTEST(paramValue(digit, "NUM_CHARS"), "digits");
        QCOMPARE(paramValue(digit, "XPOS_FW"), QByteArray("-3"));
        QCOMPARE(paramValue(digit, "AXIS_REF"), QByteArray("02"));
        QCOMPARE(paramValue(digit, "LINES_X_HOT_MOUSE"), QByteArray("1,2,31,2,31,42,1,42,1,2"));
    }
};

KORV_GUI_TEST_MAIN(TextBoxesTest)
#include "tst_textboxes.moc"
