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

// A detached element built from fixture data (the clipboard's shape).
pugi::xml_node detached(pugi::xml_document& doc, const FixtureElement& e)
{
    const QByteArray xml = e.toXml();
    doc.load_buffer(xml.constData(), size_t(xml.size()));
    return doc.first_child();
}

QStringList childIds(pugi::xml_node mask)
{
    QStringList ids;
    for (pugi::xml_node e : mask.children("e"))
        ids << QString::fromUtf8(e.attribute("c").value()) + ':' + QString::fromUtf8(e.attribute("i").value());
    return ids;
}

} // namespace

class WidgetsTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void insertRenumbers_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected");
        QTest::newRow("5 taken") << QStringList{"1", "2", "3", "4", "5"} << "5" << "6";
        QTest::newRow("counts from 1") << QStringList{"5"} << "5" << "1";
        QTest::newRow("03 with 01..04") << QStringList{"01", "02", "03", "04"} << "03" << "05";
        QTest::newRow("word") << QStringList{"Digit"} << "Digit" << "Digit_1";
        QTest::newRow("07_bar") << QStringList{"07_bar"} << "07_bar" << "01_bar";
        QTest::newRow("free") << QStringList{"1"} << "2" << "2";
        QTest::newRow("axis id counts") << QStringList{"ax"} << "ax" << "ax_1";
        // A copy never joins the group (the id before "_") of another element.
        QTest::newRow("bar copy past the values' groups")
            << QStringList{"ax00", "00_000barg", "01", "02", "03"} << "00_000barg" << "04_000barg";
        QTest::newRow("free id in another's group") << QStringList{"ax00", "03"} << "03_L" << "01_L";
        QTest::newRow("put back into its group") << QStringList{"ax00", "!"} << "00_000barg" << "00_000barg";
        QTest::newRow("put back, taken") << QStringList{"ax00", "01", "00_000barg", "!"} << "00_000barg"
                                         << "02_000barg";
    }
    void insertRenumbers()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, id);
        FixtureElement mask = Fx::mask(QStringLiteral("m"), 0, 0, 100, 100);
        for (const QString& e : existing) {
            if (e.startsWith(QLatin1String("ax")))
                mask.add(Fx::axis(e.mid(2).isEmpty() ? e : e.mid(2), "RPM"));
            else if (e != QLatin1String("!"))
                mask.add(Fx::label(e, "x", 0, 0, 10, 10));
        }
        const auto use = existing.contains(QStringLiteral("!")) ? DashConfig::WidgetIdUse::Restore
                                                                 : DashConfig::WidgetIdUse::Copy;
        DashConfig config;
        QVERIFY(openWith(config, {mask}));
        pugi::xml_document clip;
        const int index =
            config.insertWidget(0, 0, detached(clip, Fx::label(id, "new", 1, 2, 30, 10)), 0, 0, -1, use);
        const MaskElement& m = config.pages[0].masks[0];
        QCOMPARE(index, int(m.widgets.size()) - 1);
        QTEST(m.widgets.back().id, "expected");
        QCOMPARE(QString::fromUtf8(clip.first_child().attribute("i").value()), id); // the source stays as it was
        QVERIFY(config.devices[0]->dirty);
    }

    void insertShiftsPositions_data()
    {
        QTest::addColumn<QString>("xpos");
        QTest::addColumn<int>("dx");
        QTest::addColumn<QString>("expected");
        QTest::newRow("with tail") << "120,3" << 10 << "130,3";
        QTest::newRow("comma first") << ",7" << 10 << "10";
        QTest::newRow("unshifted") << "120,3" << 0 << "120,3";
        QTest::newRow("negative") << "5" << -20 << "-15";
    }
    void insertShiftsPositions()
    {
        QFETCH(QString, xpos);
        QFETCH(int, dx);
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("m"), 50, 60, 100, 100)}));
        FixtureElement digit(QStringLiteral("Digit"), QStringLiteral("d"));
        digit.p("XPOS", xpos).p("YPOS", "4").p("WIDTH", 20).p("HEIGHT", 10);
        pugi::xml_document clip;
        QCOMPARE(config.insertWidget(0, 0, detached(clip, digit), dx, 0, -1), 0);
        const pugi::xml_node copy = config.pages[0].masks[0].widgets[0].node;
        QTEST(QString::fromUtf8(paramValue(copy, "XPOS")), "expected");
        QTEST(QString::fromUtf8(paramValue(copy, "XPOS_FW")), "expected");
        QCOMPARE(paramValue(copy, "YPOS_FW"), QByteArray("4"));
        // The mask keeps its record geometry.
        QCOMPARE(config.pages[0].masks[0].x, 50);
    }

    void insertAtIndex_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("order");
        QTest::newRow("front") << 0 << 0 << "new a b";
        QTest::newRow("middle") << 1 << 1 << "a new b";
        QTest::newRow("past end") << 5 << 2 << "a b new";
        QTest::newRow("append") << -1 << 2 << "a b new";
    }
    void insertAtIndex()
    {
        // Non-widget elements (the Axis in front) do not count as positions.
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("m"), 0, 0, 100, 100)
                                      .add(Fx::axis("x", "RPM"))
                                      .add(Fx::label("a", "A", 0, 0, 10, 10))
                                      .add(Fx::digit("b", 0, 0, 10, 10))}));
        QFETCH(int, index);
        pugi::xml_document clip;
        QTEST(config.insertWidget(0, 0, detached(clip, Fx::label("new", "N", 0, 0, 10, 10)), 0, 0, index), "result");
        QStringList ids;
        for (const WidgetModel& w : config.pages[0].masks[0].widgets)
            ids << w.id;
        QTEST(ids.join(' '), "order");
    }

    void deleteAndReinsertRestoresDocument()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("m"), 0, 0, 100, 100)
                                      .add(Fx::label("a", "A", 0, 0, 10, 10))
                                      .add(Fx::digit("b", 0, 0, 10, 10).p("XPOS_FW", "0").p("YPOS_FW", "0"))
                                      .add(Fx::label("c", "C", 0, 0, 10, 10))}));
        const QByteArray before = ConfigSnapshot::documents(config);
        pugi::xml_document saved;
        QVERIFY(config.copyWidgetXml(0, 0, 1, saved));
        pugi::xml_node node = config.pages[0].masks[0].widgets[1].node;
        node.parent().remove_child(node);
        config.pages[0].masks[0] = config.parseMask(config.pages[0].masks[0].node);
        QCOMPARE(config.insertWidget(0, 0, saved.first_child(), 0, 0, 1), 1);
        QCOMPARE(ConfigSnapshot::documents(config), before);
    }

    void invalidInputs()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("m"), 0, 0, 100, 100).add(Fx::label("a", "A", 0, 0, 10, 10))}));
        const QByteArray before = ConfigSnapshot::of(config);
        pugi::xml_document clip;
        const pugi::xml_node widget = detached(clip, Fx::label("n", "N", 0, 0, 10, 10));
        QCOMPARE(config.insertWidget(1, 0, widget, 0, 0, -1), -1);
        QCOMPARE(config.insertWidget(0, 1, widget, 0, 0, -1), -1);
        QCOMPARE(config.insertWidget(0, 0, pugi::xml_node(), 0, 0, -1), -1);
        pugi::xml_document out;
        out.append_child("keep");
        QVERIFY(!config.copyWidgetXml(0, 0, 1, out));
        QCOMPARE(QByteArray(out.first_child().name()), QByteArray("keep"));
        QCOMPARE(config.mergeAxisElements(0, 3, {widget}), 0);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }

    void mergeOutcomes_data()
    {
        QTest::addColumn<FixtureElement>("target");
        QTest::addColumn<int>("added");
        QTest::addColumn<QString>("mapped");
        QTest::addColumn<QString>("children");
        QTest::addColumn<QString>("lnmOfMapped");
        QTest::newRow("free id appended") << FixtureElement() << 1 << "3" << "Axis:3" << "Water";
        QTest::newRow("same channel kept") << Fx::axis("3", "Water", "WT", "C") << 0 << "3" << "Axis:3" << "Water";
        QTest::newRow("unbound replaced") << Fx::axis("3", "") << 1 << "3" << "Axis:3" << "Water";
        QTest::newRow("other channel renumbered") << Fx::axis("3", "RPM") << 1 << "1" << "Axis:3 Axis:1" << "Water";
        // A bar of the mask shows the channel element's value: a pasted
        // widget takes one of its own, outside the groups in use.
        QTest::newRow("same channel shown by a bar")
            << Fx::axis("3", "Water", "WT", "C") << 1 << "2" << "Axis:3 Bargraph:1_bar Axis:2" << "Water";
        QTest::newRow("unbound shown by a bar")
            << Fx::axis("3", "") << 1 << "2" << "Axis:3 Bargraph:1_bar Axis:2" << "Water";
        // Nor does a pasted widget share or replace one that a value of the
        // mask shows: a pasted bar would follow that value.
        QTest::newRow("same channel shown by a value")
            << Fx::axis("3", "Water", "WT", "C") << 1 << "2" << "Axis:3 Digit:1_val Axis:2" << "Water";
        QTest::newRow("unbound shown by a value")
            << Fx::axis("3", "") << 1 << "2" << "Axis:3 Digit:1_val Axis:2" << "Water";
        QTest::newRow("free id in a bar's group") << Fx::bargraph("3_bar", 0, 0, 10, 10, "9") << 1 << "1"
                                                  << "Bargraph:3_bar Axis:1" << "Water";
    }
    void mergeOutcomes()
    {
        QFETCH(FixtureElement, target);
        FixtureElement mask = Fx::mask(QStringLiteral("m"), 0, 0, 100, 100);
        if (!target.cls.isEmpty())
            mask.add(target);
        if (QByteArray(QTest::currentDataTag()).contains("by a bar"))
            mask.add(Fx::bargraph("1_bar", 0, 0, 10, 10, "3"));
        if (QByteArray(QTest::currentDataTag()).contains("by a value"))
            mask.add(Fx::digit("1_val", 0, 0, 10, 10, "3"));
        DashConfig config;
        QVERIFY(openWith(config, {mask}));

        pugi::xml_document clip;
        const pugi::xml_node source = detached(clip, Fx::axis("3", "Water", "WT", "C"));
        const QByteArray clipBefore = ConfigSnapshot::xml(source);
        QHash<QString, QString> map;
        map.insert(QStringLiteral("stale"), QStringLiteral("x"));
        QTEST(config.mergeAxisElements(0, 0, {source, pugi::xml_node()}, &map), "added");
        QFETCH(QString, mapped);
        QCOMPARE(map, (QHash<QString, QString>{{QStringLiteral("3"), mapped}}));
        QTEST(childIds(config.pages[0].masks[0].node).join(' '), "children");
        const pugi::xml_node axis = config.pages[0].masks[0].node.find_child_by_attribute("e", "i", mapped.toUtf8().constData());
        QTEST(QString::fromUtf8(paramValue(axis, "lnm")), "lnmOfMapped");
        QCOMPARE(ConfigSnapshot::xml(source), clipBefore);
        QFETCH(int, added);
        QCOMPARE(config.devices[0]->dirty, added > 0);
    }

    void mergeGivesIdToAxisWithoutOne()
    {
        // A colliding channel element without an id gets one written.
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("m"), 0, 0, 100, 100).add(Fx::axis(QString(), "RPM"))}));
        pugi::xml_document clip;
        QHash<QString, QString> map;
        QCOMPARE(config.mergeAxisElements(0, 0, {detached(clip, Fx::axis(QString(), "Water"))}, &map), 1);
        QCOMPARE(map.value(QString()), QStringLiteral("_1"));
        QCOMPARE(childIds(config.pages[0].masks[0].node).join(' '), QStringLiteral("Axis: Axis:_1"));
        QVERIFY(config.pages[0].masks[0].node.find_child_by_attribute("e", "i", "_1"));
    }

    void axisElement()
    {
        pugi::xml_document doc;
        pugi::xml_node parent = doc.append_child("e");
        const pugi::xml_node axis = DashConfig::buildAxisElement(parent, QStringLiteral("07"));
        QCOMPARE(QByteArray(axis.attribute("c").value()), QByteArray("Axis"));
        QCOMPARE(QByteArray(axis.attribute("i").value()), QByteArray("07"));
        QStringList names;
        for (pugi::xml_node p : axis.children("p"))
            names << QString::fromUtf8(p.attribute("n").value());
        QCOMPARE(names.size(), 26);
        QCOMPARE(names.first(), QStringLiteral("ASSIGN_X_ALL_MASKS"));
        QCOMPARE(names.last(), QStringLiteral("valMis"));
        QCOMPARE(paramValue(axis, "CHANNEL_NOT_SET"), QByteArray("1"));
        QCOMPARE(paramValue(axis, "swtyp"), QByteArray("4294967295"));
        QVERIFY(!axis.find_child_by_attribute("p", "n", "FID_KO").first_child()); // self-closing
    }

    void profileRows_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("deviceSwtyp");
        QTest::addColumn<QString>("expected");
        // swtyp typ ChFmt FORMAT isEncodedValue TipoFeatConten TipoDevConten NDEC valMis idv ASSE FidPref
        QTest::newRow("rpm on a 7 device") << 0 << "7" << "7 9 6 generico 0 14 14 0 9999 -1 - 15";
        QTest::newRow("rpm on a 38 device") << 0 << "38" << "38 9 6 generico 0 14 14 0 9999 -1 - 15";
        QTest::newRow("speed ignores device") << 1 << "7" << "23 5 20 generico 0 1 14 1 999.9 -1 - -";
        QTest::newRow("analog input") << 7 << "7" << "62 1 20 generico 0 1 25 0 999.9 -1 - -";
        QTest::newRow("lap time") << 8 << "" << "21 6 12 laptime 0 1 14 0 99:99:99 2 - -";
        QTest::newRow("lap number") << 9 << "" << "21 6 12 generico 0 1 13 0 999 0 0 0,2443,4875,5899,8459,166283,168715,854411,856843";
        QTest::newRow("gear by name") << 10 << "" << "25 4 15 generico 0 5 13 0 N -1 - -";
        QTest::newRow("gear by unit") << 11 << "" << "62 1 20 gear 1 1 14 0 ON -1 - -";
        QTest::newRow("distance") << 12 << "" << "47 4 27 generico 0 1 13 1 9999.9 -1 - -";
        QTest::newRow("other") << 13 << "" << "38 9 6 generico 0 14 14 0 99999 -1 - -";
    }
    void profileRows()
    {
        QFETCH(int, kind);
        QFETCH(QString, deviceSwtyp);
        pugi::xml_document doc;
        pugi::xml_node axis = doc.append_child("e");
        const QByteArray dev = deviceSwtyp.toLatin1();
        DashConfig::writeChannelBindingParams(axis, kind, nullptr, dev.isEmpty() ? nullptr : dev.constData());
        QStringList values;
        for (const char* name : {"swtyp", "typ", "ChFmt", "FORMAT", "isEncodedValue", "TipoFeatConten", "TipoDevConten",
                                 "NDEC_SCELTO", "valMis", "idv", "ASSE", "FidPrefDaRisorsa"}) {
            values << (axis.find_child_by_attribute("p", "n", name) ? QString::fromUtf8(paramValue(axis, name))
                                                                    : QStringLiteral("-"));
        }
        QTEST(values.join(' '), "expected");
        for (const char* name : {"ASSIGN_X_ALL_MASKS", "CHANNEL_NOT_SET", "invalid", "swuidexp", "dev_serial"})
            QCOMPARE(paramValue(axis, name), QByteArray("0"));
    }

    void profileArguments()
    {
        pugi::xml_document doc;
        pugi::xml_node axis = doc.append_child("e");
        setParamStd(axis, "CHANNEL_NOT_SET", "1");
        DashConfig::writeChannelBindingParams(axis, 9, "", "7", "5", "3");
        QCOMPARE(paramValue(axis, "CHANNEL_NOT_SET"), QByteArray("1")); // defaults never overwrite
        QCOMPARE(paramValue(axis, "swtyp"), QByteArray("5"));
        QCOMPARE(paramValue(axis, "TipoFeatConten"), QByteArray("3"));
        // A given FidPrefDaRisorsa is written even when empty.
        QVERIFY(axis.find_child_by_attribute("p", "n", "FidPrefDaRisorsa"));
        QCOMPARE(paramValue(axis, "FidPrefDaRisorsa"), QByteArray());

        const QByteArray before = ConfigSnapshot::xml(axis);
        DashConfig::writeChannelBindingParams(axis, 14, nullptr);
        DashConfig::writeChannelBindingParams(axis, -1, nullptr);
        QCOMPARE(ConfigSnapshot::xml(axis), before);
    }
};

KORV_GUI_TEST_MAIN(WidgetsTest)
#include "tst_widgets.moc"
