#include "artwork/BarTemplateLibrary.h"
#include "editing/WidgetAddCommand.h"
#include "model/DashConfig.h"
#include "model/ElementIds.h"
#include "model/InstallRoots.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QGuiApplication>
#include <QUndoStack>
#include <QtTest>

namespace {

ChannelInfo channel(int fid, const QString& longName, const QString& unit = QString(), int idFis = -1)
{
    ChannelInfo ch;
    ch.fid = fid;
    ch.idFis = idFis;
    ch.longName = longName;
    ch.shortName = longName.left(3);
    ch.unit = unit;
    return ch;
}

pugi::xml_node element(pugi::xml_document& doc, const QByteArray& xml)
{
    doc.load_buffer(xml.constData(), size_t(xml.size()));
    return doc.first_child();
}

QByteArray param(pugi::xml_node e, const char* name)
{
    return e.find_child_by_attribute("p", "n", name) ? paramValue(e, name) : QByteArray("<none>");
}

// The device file as a save wrote it.
QByteArray savedDeviceXml(DashConfig& config, const QString& path)
{
    if (!config.save(path))
        return "<save failed>";
    return ZipFixture::readZip(path).value(QStringLiteral("dash/overlay.ov3.xml"), "<missing>");
}

} // namespace

class BindingTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void fidPref_data()
    {
        QTest::addColumn<int>("lap");
        QTest::addColumn<QByteArray>("pref");
        QTest::addColumn<QByteArray>("fromResource");
        QTest::newRow("no lap-time channel") << -1 << QByteArray("12,0") << QByteArray("<none>");
        QTest::newRow("lap-time FID 7") << 7 << QByteArray("12,7") << QByteArray("7");
    }
    void fidPref()
    {
        QFETCH(int, lap);
        pugi::xml_document doc;
        const pugi::xml_node mask = element(doc, "<e c=\"GMaskParam\"><e c=\"Axis\" i=\"1\">"
                                                 "<p n=\"FidPrefDaRisorsa\">99</p><p n=\"CHANNEL_NOT_SET\">1</p></e></e>");
        DashConfig::bindElementChannel(mask, channel(12, "Water Temp", "C", 4), QStringLiteral("MXG 1.2"), lap);
        const pugi::xml_node axis = mask.child("e");
        QCOMPARE(paramValue(axis, "fid"), QByteArray("12"));
        QTEST(paramValue(axis, "FID_PREF"), "pref");
        QTEST(param(axis, "FidPrefDaRisorsa"), "fromResource");
        QCOMPARE(paramValue(axis, "idf"), QByteArray("4"));
        QCOMPARE(paramValue(axis, "FID_OK"), QByteArray("LAPTIME_GPS"));
        QCOMPARE(paramValue(axis, "lnm"), QByteArray("Water Temp"));
        QCOMPARE(paramValue(axis, "UDM"), QByteArray("C"));
        QCOMPARE(paramValue(axis, "NDEC_SCELTO"), QByteArray("1")); // temperature row
        // The element binding leaves the bound/unbound flag as it finds it.
        QCOMPARE(paramValue(axis, "CHANNEL_NOT_SET"), QByteArray("1"));
    }

    void deviceSwtyp_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("code");
        QTest::newRow("mxg strada") << "mxg strada" << "7";
        QTest::newRow("MXS1.2") << "MXS1.2" << "7";
        QTest::newRow("MXP") << "mxp" << "7";
        QTest::newRow("MXG 1.3") << "MXG 1.3" << "38";
        QTest::newRow("padded") << " MXP" << "38";
        QTest::newRow("empty") << "" << "38";
    }
    void deviceSwtyp()
    {
        QFETCH(QString, device);
        QTEST(deviceSwtypCode(device), "code");
    }

    void channelSwtyp_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("ownSwtyp");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("swtyp");
        QTest::addColumn<QByteArray>("udm");
        QTest::newRow("rpm on strada") << "RPM" << "rpm" << -1 << "MXG Strada" << QByteArray("7") << QByteArray("rpm");
        QTest::newRow("rpm elsewhere") << "RPM" << "rpm" << -1 << "MXL2" << QByteArray("38") << QByteArray("rpm");
        QTest::newRow("own swtyp wins") << "RPM" << "rpm" << 5 << "MXG Strada" << QByteArray("5") << QByteArray("rpm");
        QTest::newRow("analog input in mV") << "ch3" << "bar" << -1 << "MXP" << QByteArray("62") << QByteArray("mV");
    }
    void channelSwtyp()
    {
        QFETCH(QString, name);
        QFETCH(QString, unit);
        QFETCH(int, ownSwtyp);
        QFETCH(QString, device);
        ChannelInfo ch = channel(20, name, unit);
        ch.swTipoCanale = ownSwtyp;
        pugi::xml_document doc;
        const pugi::xml_node mask = element(doc, "<e c=\"GMaskParam\"><e c=\"Axis\" i=\"1\"/></e>");
        DashConfig::bindElementChannel(mask, ch, device, -1);
        QTEST(paramValue(mask.child("e"), "swtyp"), "swtyp");
        QTEST(paramValue(mask.child("e"), "UDM"), "udm");
    }

    void lapNumberRebind()
    {
        pugi::xml_document doc;
        const pugi::xml_node mask = element(doc, "<e c=\"GMaskParam\"><e c=\"Axis\" i=\"1\"/></e>");
        DashConfig::bindElementChannel(mask, channel(30, "Lap Number"), QString(), -1);
        const pugi::xml_node axis = mask.child("e");
        QCOMPARE(paramValue(axis, "ASSE"), QByteArray("0"));
        QCOMPARE(paramValue(axis, "FidPrefDaRisorsa"), QByteArray("0,2443,4875,5899,8459,166283,168715,854411,856843"));
        DashConfig::bindElementChannel(mask, channel(30, "Lap Number"), QString(), 9);
        QCOMPARE(paramValue(axis, "FidPrefDaRisorsa"), QByteArray("9"));
        int count = 0;
        for (pugi::xml_node p : axis.children("p"))
            count += QByteArray(p.attribute("n").value()) == "FidPrefDaRisorsa";
        QCOMPARE(count, 1);
    }

    void gaugeUnitChoice()
    {
        pugi::xml_document doc;
        const pugi::xml_node mask = element(doc, "<e c=\"GMaskParam\"><e c=\"Ring\" i=\"r\"/><e c=\"Analog\" i=\"a\"/></e>");
        DashConfig::bindElementChannel(mask, channel(5, "Speed", " KM/H "), QString(), -1);
        QCOMPARE(paramValue(mask.child("e"), "SCELTA_UTENTE"), QByteArray("km/h"));
        QVERIFY(!mask.find_child_by_attribute("e", "i", "a").child("p"));
    }

    void trapezioGetsTheChannelsTemplate()
    {
        // Binding a mask with a trapezoid bar gives the bar the scale of the
        // channel's kind, exactly as the template library writes it.
        const QByteArray xml = "<e c=\"GMaskParam\"><e c=\"Axis\" i=\"1\"/><e c=\"BargraphTrapezio\" i=\"b\">"
                               "<e c=\"ScaleFSV\" i=\"00\"><p n=\"NOME_SCALA\">100</p></e></e></e>";
        pugi::xml_document bound, expected;
        const pugi::xml_node mask = element(bound, xml);
        const pugi::xml_node reference = element(expected, xml);
        const ChannelInfo rpm = channel(3, "Engine RPM", "rpm");
        DashConfig::bindElementChannel(mask, rpm, QStringLiteral("MXG 1.2"), -1);
        QVERIFY(BarTemplateLibrary::applyTemplateForKind(reference, BarTemplateLibrary::classifyChannel(rpm.longName, rpm.unit)) > 0);
        QCOMPARE(ConfigSnapshot::xml(mask.find_child_by_attribute("e", "i", "b")),
                 ConfigSnapshot::xml(reference.find_child_by_attribute("e", "i", "b")));
    }

    void axisBinding_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("tipoDev");
        QTest::newRow("given code") << "13" << "MXG 1.2" << QByteArray("13");
        QTest::newRow("code from the name") << "" << "MXG 1.2" << QByteArray("13");
        QTest::newRow("no code: profile value") << "" << "Unknown" << QByteArray("14");
    }
    void axisBinding()
    {
        QFETCH(QString, code);
        QFETCH(QString, device);
        pugi::xml_document doc;
        pugi::xml_node parent = doc.append_child("e");
        const pugi::xml_node axis = DashConfig::buildAxisElement(parent, QStringLiteral("1"));
        DashConfig::bindAxisChannel(axis, channel(12, "Water Temp", "C"), device, -1, code);
        QCOMPARE(paramValue(axis, "CHANNEL_NOT_SET"), QByteArray("0"));
        QCOMPARE(paramValue(axis, "ASSE"), QByteArray("0"));
        QCOMPARE(paramValue(axis, "AxisXDgtProp"), QByteArray("1"));
        QCOMPARE(paramValue(axis, "lnm"), QByteArray("Water Temp"));
        QCOMPARE(paramValue(axis, "idf"), QByteArray("-1")); // no IDFis: the fresh value stays
        QTEST(paramValue(axis, "TipoDevConten"), "tipoDev");
        DashConfig::bindAxisChannel(pugi::xml_node(), channel(1, "x"), device, -1, code); // harmless
    }

    void propagate()
    {
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m", 0, 0, 200, 50)
                                           .add(Fx::axis("3", "RPM"))
                                           .add(Fx::bargraph("01_bar", 0, 0, 200, 20, "3", true))
                                           .add(Fx::bargraph("01_bar2", 0, 20, 200, 20))
                                           .add(Fx::digit("01_val", 0, 40, 50, 10))
                                           .add(Fx::digit("02_val", 50, 40, 50, 10, "9"))
                                           .add(Fx::label("01_lbl", "x", 100, 40, 50, 10).p("AXIS_REF", "3")));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(config.propagateBarAxisRefs(0, 0), 1);
        const pugi::xml_node mask = config.pages[0].masks[0].node;
        QCOMPARE(paramValue(mask.find_child_by_attribute("e", "i", "01_val"), "AXIS_REF"), QByteArray("3"));
        QCOMPARE(param(mask.find_child_by_attribute("e", "i", "01_bar2"), "AXIS_REF"), QByteArray("<none>"));
        QCOMPARE(paramValue(mask.find_child_by_attribute("e", "i", "02_val"), "AXIS_REF"), QByteArray("9"));
        QVERIFY(config.devices[0]->dirty);
        QCOMPARE(config.propagateBarAxisRefs(0, 0), 0);
        QCOMPARE(config.propagateBarAxisRefs(0, 1), 0);
        QCOMPARE(config.propagateBarAxisRefs(-1, 0), 0);
    }

    void bindWidget_data()
    {
        QTest::addColumn<QString>("axisRef");
        QTest::addColumn<QByteArray>("notSet");
        QTest::addColumn<QByteArray>("axisDgt");
        // Through its own channel element the Axis becomes bound; through the
        // mask as a whole the element binding leaves the flag alone.
        QTest::newRow("own axis") << "1" << QByteArray("0") << QByteArray("1");
        QTest::newRow("missing axis") << "7" << QByteArray("1") << QByteArray("<none>");
        QTest::newRow("no reference") << "" << QByteArray("1") << QByteArray("<none>");
    }
    void bindWidget()
    {
        QFETCH(QString, axisRef);
        ConfigFixture cfg;
        cfg.channel(12, "Water Temp", "WT", "C");
        cfg.device().page("Main").mask(Fx::mask("m", 0, 0, 200, 50)
                                           .add(Fx::axis("1", ""))
                                           .add(Fx::digit("d", 0, 0, 100, 40, axisRef)));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(config.channels.size(), size_t(1));
        config.bindChannel(0, 0, 0, config.channels[0]);
        const pugi::xml_node axis = config.pages[0].masks[0].node.child("e");
        QTEST(paramValue(axis, "CHANNEL_NOT_SET"), "notSet");
        QTEST(param(axis, "AxisXDgtProp"), "axisDgt");
        QCOMPARE(config.pages[0].masks[0].channel, QStringLiteral("Water Temp"));
        QVERIFY(config.devices[0]->dirty);
    }

    // A duplicated widget names its original's channel element: binding the
    // copy gives it one of its own, so the original keeps its channel in the
    // saved file, undoing the duplicate saves the file as it was, and redoing
    // it brings the copy back on its own channel. The value of a bar's group
    // shares the bar's element and is bound with it.
    void duplicateBoundAlone_data()
    {
        QTest::addColumn<int>("duplicated");
        QTest::addColumn<int>("bound"); // -1: the copy
        QTest::newRow("digit 04") << 0 << -1;
        QTest::newRow("bar 05 with its value") << 1 << -1;
        QTest::newRow("value of bar 05") << 0 << 2;
    }
    void duplicateBoundAlone()
    {
        QFETCH(int, duplicated);
        QFETCH(int, bound);
        ConfigFixture cfg;
        cfg.channel(4, "Lap Number", "Lap");
        cfg.channel(7, "Gear", "Gear");
        cfg.device().page("Laps").mask(Fx::mask("md.02", 0, 0, 300, 100)
                                           .add(Fx::axis("04", "Lap Number", "Lap"))
                                           .add(Fx::digit("04", 0, 0, 100, 40, "04"))
                                           .add(Fx::axis("05", "Lap Number", "Lap"))
                                           .add(Fx::bargraph("05", 0, 50, 200, 20, "05"))
                                           .add(Fx::digit("05_z", 200, 50, 100, 40, "05")));
        const QString path = cfg.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        const ChannelInfo gear = config.channels[1];
        const QByteArray original = savedDeviceXml(config, path);

        QUndoStack stack;
        pugi::xml_document copy;
        QVERIFY(config.copyWidgetXml(0, 0, duplicated, copy));
        int created = -1;
        stack.push(new WidgetAddCommand(&config, 0, 0, 10, 10, copy.first_child(), QString(), &created));
        QCOMPARE(created, 3);
        const bool copyBound = bound < 0;
        if (copyBound)
            bound = created;
        config.bindChannel(0, 0, bound, gear);

        const QStringList refs = {QStringLiteral("04"), QStringLiteral("05"), QStringLiteral("05")};
        const auto check = [&](const MaskElement& mask) {
            QCOMPARE(mask.widgets[size_t(bound)].channel, QStringLiteral("Gear"));
            for (int w = 0; w < 3; ++w) {
                const bool follows = !copyBound && w != 0; // the bar and its value
                QCOMPARE(mask.widgets[size_t(w)].channel, follows ? QStringLiteral("Gear") : QStringLiteral("Lap Number"));
                QCOMPARE(mask.widgets[size_t(w)].axisRef, refs[w]);
            }
            if (copyBound)
                QVERIFY(mask.widgets[size_t(created)].axisRef != refs[duplicated]);
        };
        check(config.pages[0].masks[0]);
        if (QTest::currentTestFailed())
            return;
        const QByteArray rebound = savedDeviceXml(config, path);
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        check(reopened.pages[0].masks[0]);
        if (QTest::currentTestFailed())
            return;
        if (!copyBound)
            return;
        stack.undo();
        QCOMPARE(savedDeviceXml(config, path), original);
        // Redo brings the copy back as it was undone: on its own channel,
        // under its own id, written as before.
        stack.redo();
        check(config.pages[0].masks[0]);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(savedDeviceXml(config, path), rebound);
        DashConfig redone;
        QVERIFY(redone.load(path));
        check(redone.pages[0].masks[0]);
        stack.undo();
        QCOMPARE(savedDeviceXml(config, path), original);
        stack.redo();
        QCOMPARE(savedDeviceXml(config, path), rebound);
    }

    // The bars that name a value's channel element show that value: they
    // are rebound with the first value that names it, the one they were made
    // for. A later value naming it (a duplicate) and a bar rebound on its own
    // are parted from the rest. Mask: Digit 03 and its value bar 00_000barg
    // on Axis 00, the arc 02 of a gauge on it too, and a copy 04 of the Digit
    // made after them.
    void valueTakesItsBars_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<int>("bound");
        QTest::addColumn<QString>("gear"); // the elements that show Gear afterwards
        QTest::addColumn<int>("axes");
        QTest::newRow("value and its bars") << false << 0 << "03 00_000barg 02" << 1;
        QTest::newRow("a bar alone") << false << 1 << "00_000barg" << 2;
        QTest::newRow("original beside a copy") << true << 0 << "03 00_000barg 02" << 2;
        QTest::newRow("the copy") << true << 3 << "04" << 2;
    }
    void valueTakesItsBars()
    {
        QFETCH(bool, copy);
        QFETCH(int, bound);
        QFETCH(QString, gear);
        ConfigFixture cfg;
        cfg.channel(2, "Speed", "SPD", "km/h");
        cfg.channel(7, "Gear", "Gear");
        auto mask = Fx::mask("md.01", 0, 0, 340, 160)
                        .add(Fx::digit("03", 20, 140, 300, 90, "00"))
                        .add(Fx::axis("00", "Speed", "SPD", "km/h"))
                        .add(Fx::bargraph("00_000barg", 10, 140, 320, 16, "00", true))
                        .add(Fx::bargraph("02", 0, 0, 0, 0, "00"));
        if (copy)
            mask.add(Fx::digit("04", 30, 150, 300, 90, "00"));
        cfg.device().page("Race").mask(mask);
        const QString path = cfg.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        config.bindChannel(0, 0, bound, config.channels[1]);
        savedDeviceXml(config, path);

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        const MaskElement& saved = reopened.pages[0].masks[0];
        for (const WidgetModel& w : saved.widgets)
            QCOMPARE(w.channel, gear.split(' ').contains(w.id) ? QStringLiteral("Gear") : QStringLiteral("Speed"));
        QTEST(int(axisIdsOf(saved.node).size()), "axes");
    }

    // A value bar scaled over its value's channel follows the value to
    // another channel with that channel's range (and a zero mark where the
    // range straddles 0); a scale the user chose stays. Read from the saved
    // file.
    void barFollowsItsValuesRange_data()
    {
        QTest::addColumn<QString>("scale"); // the bar's Max on Speed (0..300)
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("steps"); // position=value, in order
        QTest::newRow("the channel's range") << "300" << "RPM" << "0=0 100=10000";
        QTest::newRow("a range below zero") << "300" << "Water Temp" << "0=-20 13=0 100=140";
        QTest::newRow("a chosen scale") << "250" << "RPM" << "0=0 100=250";
    }
    void barFollowsItsValuesRange()
    {
        QFETCH(QString, scale);
        QFETCH(QString, channel);
        ConfigFixture cfg;
        for (const QStringList& c : {QStringList{"2", "Speed", "SPD", "km/h", "0", "300"},
                                     QStringList{"1", "RPM", "RPM", "rpm", "0", "10000"},
                                     QStringList{"3", "Water Temp", "WT", "C", "-20", "140"}}) {
            cfg.channel(c[0].toInt(), c[1], c[2], c[3]);
            cfg.channels.last().chMin = c[4];
            cfg.channels.last().chMax = c[5];
        }
        cfg.device().page("Race").mask(Fx::mask("md.01", 0, 0, 340, 160)
                                           .add(Fx::digit("03", 20, 140, 300, 90, "00"))
                                           .add(Fx::axis("00", "Speed", "SPD", "km/h").p("fid", 2))
                                           .add(Fx::bargraph("00_000barg", 10, 140, 320, 16, "00", true)
                                                    .add(Fx::stepScale({{"0", "0"}, {"100", scale}}))));
        const QString path = cfg.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        const auto chosen = std::find_if(config.channels.begin(), config.channels.end(),
                                         [&](const ChannelInfo& c) { return c.longName == channel; });
        config.bindChannel(0, 0, 0, *chosen);
        savedDeviceXml(config, path);

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        const MaskElement& saved = reopened.pages[0].masks[0];
        QCOMPARE(saved.widgets[1].channel, channel);
        QStringList steps;
        const pugi::xml_node fsv = findScaleFsvNode(saved.widgets[1].node);
        for (pugi::xml_node step = fsv.child("e"); step; step = step.next_sibling("e")) {
            if (hasClass(step, "StepScale"))
                steps << QString::fromUtf8(paramValue(step, "POS_VAL_SCALA") + '=' + paramValue(step, "VAL_SCALA"));
        }
        QTEST(steps.join(' '), "steps");
    }

    void bindBadIndices()
    {
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("m", 0, 0, 200, 50).add(Fx::axis("1", "")).add(Fx::digit("d", 0, 0, 10, 10, "1")));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        const QByteArray before = ConfigSnapshot::of(config);
        config.bindChannel(0, 0, 1, channel(1, "RPM"));
        config.bindChannel(0, 1, 0, channel(1, "RPM"));
        config.bindChannel(1, 0, 0, channel(1, "RPM"));
        QCOMPARE(ConfigSnapshot::of(config), before);
    }
};

KORV_GUI_TEST_MAIN(BindingTest)
#include "tst_binding.moc"
