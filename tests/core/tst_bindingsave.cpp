#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

namespace {

pugi::xml_node child(pugi::xml_node mask, const char* id)
{
    return mask.find_child_by_attribute("e", "i", id);
}

} // namespace

// Binding a channel and saving: what RS3 finds in the written file.
class BindingSaveTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void bindSaveReopen()
    {
        ConfigFixture cfg; // an MXG 1.2, TypeCode 13
        cfg.channel(21, QStringLiteral("RPM"), QStringLiteral("RPM"), QStringLiteral("rpm"));
        cfg.channel(34, QStringLiteral("Water Temp"), QStringLiteral("WT"), QStringLiteral("C"));
        FixturePage& page = cfg.device().page(QStringLiteral("Main"));
        // A Digit with its own (unbound) channel element.
        page.mask(Fx::mask(QStringLiteral("rpm"), 0, 0, 200, 80)
                      .add(Fx::axis(QStringLiteral("1"), QString()))
                      .add(Fx::digit(QStringLiteral("d"), 0, 0, 200, 60, QStringLiteral("1"))));
        // A Digit without a reference, beside a bar of its group: bound
        // through the mask, its reference comes from the bar at save.
        page.mask(Fx::mask(QStringLiteral("temp"), 0, 100, 200, 80)
                      .add(Fx::axis(QStringLiteral("1"), QString()))
                      .add(Fx::bargraph(QStringLiteral("01_bar"), 0, 0, 200, 20, QStringLiteral("1")))
                      .add(Fx::digit(QStringLiteral("01_val"), 0, 20, 200, 40)));

        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(config.channels.size(), size_t(2));
        config.bindChannel(0, 0, 0, config.channels[0]);
        config.bindChannel(0, 1, 1, config.channels[1]);
        const QString saved = TestEnvironment::makeTempDir(QStringLiteral("saved")) + QStringLiteral("/bound.zconf2");
        QVERIFY(config.save(saved));

        DashConfig reopened;
        QVERIFY(reopened.load(saved));
        const MaskElement& rpm = reopened.pages[0].masks[0];
        QCOMPARE(rpm.channel, QStringLiteral("RPM"));
        QCOMPARE(rpm.widgets[0].channel, QStringLiteral("RPM"));
        const pugi::xml_node rpmAxis = child(rpm.node, "1");
        QCOMPARE(paramValue(rpmAxis, "fid"), QByteArray("21"));
        QCOMPARE(paramValue(rpmAxis, "FID_PREF"), QByteArray("21,0"));
        QCOMPARE(paramValue(rpmAxis, "CHANNEL_NOT_SET"), QByteArray("0"));
        QCOMPARE(paramValue(rpmAxis, "TipoDevConten"), QByteArray("13"));
        QCOMPARE(paramValue(rpmAxis, "swtyp"), QByteArray("7")); // engine speed on an MXG 1.2
        QCOMPARE(paramValue(rpmAxis, "UDM"), QByteArray("rpm"));

        const MaskElement& temp = reopened.pages[0].masks[1];
        const pugi::xml_node tempAxis = child(temp.node, "1");
        QCOMPARE(paramValue(tempAxis, "lnm"), QByteArray("Water Temp"));
        QCOMPARE(paramValue(tempAxis, "fid"), QByteArray("34"));
        QCOMPARE(paramValue(tempAxis, "swtyp"), QByteArray("38"));
        // The profile's 14 is the legacy code the save turns into the device's.
        QCOMPARE(paramValue(tempAxis, "TipoDevConten"), QByteArray("13"));
        QCOMPARE(paramValue(child(temp.node, "01_val"), "AXIS_REF"), QByteArray("1"));
        QCOMPARE(temp.widgets[1].channel, QStringLiteral("Water Temp"));
    }

    void bindDigitInDemo()
    {
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        DashConfig config;
        QVERIFY(config.load(path));
        int mask = -1, widget = -1;
        for (int m = 0; m < int(config.pages[0].masks.size()) && widget < 0; ++m) {
            const auto& widgets = config.pages[0].masks[size_t(m)].widgets;
            for (int w = 0; w < int(widgets.size()); ++w) {
                if (widgets[size_t(w)].kind == WidgetDigit && widgets[size_t(w)].channel == QLatin1String("Speed")) {
                    mask = m;
                    widget = w;
                    break;
                }
            }
        }
        QVERIFY(widget >= 0);
        const auto water = std::find_if(config.channels.begin(), config.channels.end(),
                                         [](const ChannelInfo& c) { return c.longName == QLatin1String("Water Temp"); });
        QVERIFY(water != config.channels.end());
        const int lap = config.laptimeGpsResourceFid();
        QVERIFY(lap > 0);
        config.bindChannel(0, mask, widget, *water);
        QVERIFY(config.save(path));

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        const WidgetModel& digit = reopened.pages[0].masks[size_t(mask)].widgets[size_t(widget)];
        QCOMPARE(digit.channel, QStringLiteral("Water Temp"));
        QCOMPARE(digit.decimals, 1);
        const pugi::xml_node axis = child(reopened.pages[0].masks[size_t(mask)].node, digit.axisRef.toUtf8().constData());
        QCOMPARE(paramValue(axis, "fid"), QByteArray::number(water->fid));
        QCOMPARE(paramValue(axis, "FID_PREF"), QByteArray::number(water->fid) + ',' + QByteArray::number(lap));
        QCOMPARE(paramValue(axis, "FidPrefDaRisorsa"), QByteArray::number(lap));
        QCOMPARE(paramValue(axis, "TipoDevConten"), QByteArray("13"));
        // The channel's own type code wins over the profile's.
        QCOMPARE(paramValue(axis, "swtyp"), water->swTipoCanale >= 0 ? QByteArray::number(water->swTipoCanale) : QByteArray("38"));
        QCOMPARE(paramValue(axis, "CHANNEL_NOT_SET"), QByteArray("0"));
        QCOMPARE(paramValue(axis, "UDM"), water->unit.toUtf8());
    }

    void otherDeviceCodeIsRebound_data()
    {
        QTest::addColumn<QString>("tipoDev");
        QTest::addColumn<QByteArray>("swtyp");
        QTest::addColumn<QByteArray>("decimals");
        QTest::addColumn<QByteArray>("savedCode");
        // An element written for another device gets this device's format
        // (the user's decimals included); one written for this device is
        // left as it is.
        QTest::newRow("other device") << "7" << QByteArray("38") << QByteArray("1") << QByteArray("13");
        QTest::newRow("no code") << "" << QByteArray("38") << QByteArray("1") << QByteArray("13");
        QTest::newRow("this device") << "13" << QByteArray("99") << QByteArray("3") << QByteArray("13");
    }
    void otherDeviceCodeIsRebound()
    {
        QFETCH(QString, tipoDev);
        FixtureElement axis = Fx::axis(QStringLiteral("1"), QStringLiteral("Oil Temp"), QStringLiteral("OT"),
                                       QStringLiteral("C"), QStringLiteral("LAPTIME_GPS"));
        axis.p("swtyp", "99").p("NDEC_SCELTO", "3");
        if (!tipoDev.isEmpty())
            axis.p("TipoDevConten", tipoDev);
        ConfigFixture cfg;
        cfg.device().page(QStringLiteral("Main"))
            .mask(Fx::mask(QStringLiteral("m"), 0, 0, 200, 80).add(axis).add(Fx::digit("d", 0, 0, 200, 60, "1")));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        const QString saved = TestEnvironment::makeTempDir(QStringLiteral("saved")) + QStringLiteral("/x.zconf2");
        QVERIFY(config.save(saved));
        DashConfig reopened;
        QVERIFY(reopened.load(saved));
        const pugi::xml_node savedAxis = child(reopened.pages[0].masks[0].node, "1");
        QTEST(paramValue(savedAxis, "swtyp"), "swtyp");
        QTEST(paramValue(savedAxis, "NDEC_SCELTO"), "decimals");
        QTEST(paramValue(savedAxis, "TipoDevConten"), "savedCode");
    }
};

KORV_GUI_TEST_MAIN(BindingSaveTest)
#include "tst_bindingsave.moc"
