#include "model/ChannelKind.h"
#include "model/DashConfig.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

namespace {

pugi::xml_node loadMask(pugi::xml_document& doc, const QByteArray& xml)
{
    doc.load_buffer(xml.constData(), size_t(xml.size()));
    return doc.first_child();
}

QByteArray maskOf(std::initializer_list<const char*> classes)
{
    QByteArray xml = "<e c=\"GMaskParam\"><p n=\"XPOS\">0</p>";
    for (const char* c : classes)
        xml += QByteArray("<e c=\"") + c + "\"/>";
    return xml + "</e>";
}

QByteArray stepBar(const char* zeroValue)
{
    return QByteArray("<e c=\"GMaskParam\"><e c=\"Label\"/><e c=\"BargraphTrapezio\"><e c=\"UDM\"><e c=\"ScaleFSV\">"
                      "<e c=\"StepScale\"><p n=\"POS_VAL_SCALA\"> 0 </p><p n=\"VAL_SCALA\">")
        + zeroValue + "</p></e></e></e></e></e>";
}

// A bar mask whose scale steps are (position, value) pairs; `first` names
// a bar placed before it.
QByteArray zeroMarkBar(std::initializer_list<std::pair<const char*, const char*>> steps, const char* first = nullptr)
{
    QByteArray xml = "<e c=\"GMaskParam\">";
    if (first)
        xml += QByteArray("<e c=\"") + first + "\"/>";
    xml += "<e c=\"Bargraph\"><e c=\"ScaleFSV\">";
    for (const auto& step : steps)
        xml += QByteArray("<e c=\"StepScale\"><p n=\"POS_VAL_SCALA\">") + step.first + "</p><p n=\"VAL_SCALA\">"
            + step.second + "</p></e>";
    return xml + "</e></e></e>";
}

} // namespace

class ChannelKindTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classify_data()
    {
        QTest::addColumn<QString>("longName");
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("kind");
        QTest::newRow("Engine_RPM") << "Engine_RPM" << "" << "" << 0;
        QTest::newRow("rpm and time") << "RPM TIME" << "" << "" << 13;
        QTest::newRow("unit rpm") << "Motor" << "" << " RPM " << 0;
        QTest::newRow("GPS_Speed km/h") << "GPS_Speed" << "" << "km/h" << 1;
        QTest::newRow("Wheel km/h") << "Wheel" << "" << "km/h" << 13;
        QTest::newRow("speed in knots") << "Boat speed" << "" << "Knots" << 1;
        QTest::newRow("CH12") << "CH12" << "" << "bar" << 7;
        QTest::newRow("ch alone") << "ch" << "" << "" << 13;
        QTest::newRow("ch12x") << "ch12x" << "" << "" << 13;
        QTest::newRow("degrees C") << "Water" << "" << "°C" << 2;
        QTest::newRow("F") << "Oil" << "" << "F" << 2;
        QTest::newRow("kPa") << "Manifold" << "" << "kPa" << 3;
        QTest::newRow("V") << "Lambda" << "" << "V" << 4;
        QTest::newRow("mV") << "Sensor" << "" << "mV" << 7;
        QTest::newRow("Gear with rpm unit") << "Gear" << "" << "rpm" << 10;
        QTest::newRow("calculated gear") << " Calculated Gear " << "" << "" << 10;
        QTest::newRow("gear unit") << "Box" << "" << "gear" << 11;
        QTest::newRow("Ext battery") << "Ext Battery" << "" << "V" << 5;
        QTest::newRow("ebat short") << "Supply" << "EBAT" << "V" << 5;
        QTest::newRow("NLAP") << "" << "NLAP" << "" << 9;
        QTest::newRow("lap number") << "Lap_Number" << "" << "#" << 9;
        QTest::newRow("lap time") << "Lap_Time" << "" << "s" << 8;
        QTest::newRow("+- ref") << "+- Ref Time" << "" << "" << 8;
        QTest::newRow("rolling sess") << "Rolling Sess" << "" << "" << 8;
        QTest::newRow("odometer km") << "Odometer" << "" << "km" << 12;
        QTest::newRow("distance without word") << "Length" << "" << "m" << 13;
        QTest::newRow("percent") << "Throttle" << "" << "%" << 6;
        QTest::newRow("other") << "Yaw" << "" << "deg/s" << 13;
    }

    void classify()
    {
        QFETCH(QString, longName);
        QFETCH(QString, shortName);
        QFETCH(QString, unit);
        QFETCH(int, kind);
        ChannelInfo info;
        info.fid = 99; // ignored
        info.longName = longName;
        info.shortName = shortName;
        info.unit = unit;
        QCOMPARE(classifyChannelName(info), kind);

        // The element variant reads the same three texts from lnm/shn/UDM.
        pugi::xml_document doc;
        const QByteArray xml = "<e c=\"Axis\"><p n=\"lnm\">ignored</p><p n=\"lnm\">" + longName.toUtf8() + "</p><p n=\"shn\">"
            + shortName.toUtf8() + "</p><p n=\"UDM\">" + unit.toUtf8() + "</p></e>";
        QCOMPARE(DashConfig::channelKindOfElement(loadMask(doc, xml)), kind);
    }

    void predicates_data()
    {
        QTest::addColumn<QByteArray>("mask");
        QTest::addColumn<bool>("barWithoutDigit");
        QTest::addColumn<bool>("plainDigit");
        QTest::addColumn<bool>("digitValue");
        QTest::newRow("bar only") << maskOf({"Axis", "Bargraph"}) << true << false << false;
        QTest::newRow("trapezio and digit") << maskOf({"BargraphTrapezio", "Digit", "Axis"}) << false << false << false;
        QTest::newRow("digit with axis") << maskOf({"Axis", "Digit"}) << false << true << true;
        QTest::newRow("digit without axis") << maskOf({"Digit", "Label"}) << false << true << false;
        QTest::newRow("digit with ring") << maskOf({"Axis", "Ring", "Digit"}) << false << false << true;
        QTest::newRow("no children") << maskOf({}) << false << false << false;
        QTest::newRow("lower-case class") << maskOf({"digit", "bargraph"}) << false << false << false;
    }

    void predicates()
    {
        QFETCH(QByteArray, mask);
        QFETCH(bool, barWithoutDigit);
        QFETCH(bool, plainDigit);
        QFETCH(bool, digitValue);
        pugi::xml_document doc;
        const pugi::xml_node node = loadMask(doc, mask);
        QCOMPARE(isBarWithoutDigitMask(node), barWithoutDigit);
        QCOMPARE(isPlainDigitMask(node), plainDigit);
        QCOMPARE(isDigitValueMask(node), digitValue);
    }

    void nullNodes()
    {
        QVERIFY(!isBarWithoutDigitMask(pugi::xml_node()));
        QVERIFY(!isPlainDigitMask(pugi::xml_node()));
        QVERIFY(!isDigitValueMask(pugi::xml_node()));
        QVERIFY(!isStepScaleBargraph(pugi::xml_node()));
    }

    void knownTypes()
    {
        for (const char* c : {"Digit", "Label", "Bargraph", "BargraphTrapezio", "AiM_Icona"})
            QVERIFY(isKnownElementType(QString::fromLatin1(c)));
        for (const char* c : {"Ring", "Analog", "Axis", "digit", ""})
            QVERIFY(!isKnownElementType(QString::fromLatin1(c)));
    }

    void fixedResource_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fixed");
        QTest::newRow("LAPTIME_GPS") << "LAPTIME_GPS" << true;
        QTest::newRow("GEAR padded") << " GEAR " << true;
        QTest::newRow("gear lower") << "gear" << false;
        QTest::newRow("number with blanks") << " 1234 " << true;
        QTest::newRow("digits then letter") << "12a" << false;
        QTest::newRow("empty") << "  " << false;
        QTest::newRow("real channel") << "RPM" << false;
    }

    void fixedResource()
    {
        QFETCH(QString, name);
        QFETCH(bool, fixed);
        QCOMPARE(isFixedResourceName(name), fixed);
    }

    void stepScale_data()
    {
        QTest::addColumn<QByteArray>("mask");
        QTest::addColumn<bool>("expected");
        QTest::newRow("zero step at 50") << stepBar("50") << true;
        QTest::newRow("zero step at 0") << stepBar("0") << false;
        QTest::newRow("zero step at 100") << stepBar("100") << false;
        QTest::newRow("not a number") << stepBar("5x") << false;
        QTest::newRow("bar without scale") << maskOf({"Bargraph"}) << false;
    }

    void stepScale()
    {
        QFETCH(QByteArray, mask);
        QFETCH(bool, expected);
        pugi::xml_document doc;
        QCOMPARE(isStepScaleBargraph(loadMask(doc, mask)), expected);
    }

    void zeroMark_data()
    {
        QTest::addColumn<QByteArray>("mask");
        QTest::addColumn<bool>("expected");
        QTest::newRow("zero inside") << zeroMarkBar({{"0", "-20"}, {"17", "0"}, {"100", "100"}}) << true;
        QTest::newRow("zero at 1") << zeroMarkBar({{"1", " 0 "}}) << true;
        QTest::newRow("zero at 99") << zeroMarkBar({{"99", "0"}}) << true;
        QTest::newRow("zero at the start") << zeroMarkBar({{"0", "0"}, {"100", "100"}}) << false;
        QTest::newRow("zero at the end") << zeroMarkBar({{"100", "0"}}) << false;
        QTest::newRow("position not a number") << zeroMarkBar({{"1x", "0"}}) << false;
        QTest::newRow("value 0.0") << zeroMarkBar({{"50", "0.0"}}) << false;
        QTest::newRow("only the first bar counts") << zeroMarkBar({{"50", "0"}}, "BargraphTrapezio") << false;
        QTest::newRow("no bar") << maskOf({"Digit"}) << false;
    }

    void zeroMark()
    {
        QFETCH(QByteArray, mask);
        QFETCH(bool, expected);
        pugi::xml_document doc;
        QCOMPARE(hasBarZeroMark(loadMask(doc, mask)), expected);
        QVERIFY(!hasBarZeroMark(pugi::xml_node()));
    }
};

KORV_GUI_TEST_MAIN(ChannelKindTest)
#include "tst_channelkind.moc"
