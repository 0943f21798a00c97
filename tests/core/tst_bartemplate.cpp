#include "artwork/BarTemplateLibrary.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

#include <sstream>

namespace {

QByteArray serialize(pugi::xml_node node)
{
    std::ostringstream out;
    node.print(out, "", pugi::format_raw);
    return QByteArray::fromStdString(out.str());
}

const QByteArray kTemplateScale =
    "<e c=\"ScaleFSV\" i=\"00\"><p n=\"FORMAT\">step</p><p n=\"NOME_SCALA\">100</p>"
    "<p n=\"PATH_IMAGE\">m4on0.png</p><p n=\"PATH_IMG_OFF\">m4off.tgz</p>"
    "<e c=\"StepScale\" i=\"0\"><p n=\"MODO_USO\">EDITABLE</p><p n=\"PATH_IMG_ON\">m4on0.tgz</p>"
    "<p n=\"POS_VAL_SCALA\">0</p><p n=\"VAL_SCALA\">0</p></e>"
    "<e c=\"StepScale\" i=\"1\"><p n=\"MODO_USO\">EDITABLE</p><p n=\"PATH_IMG_ON\">m4on0.tgz</p>"
    "<p n=\"POS_VAL_SCALA\">100</p><p n=\"VAL_SCALA\">100</p></e></e>";

// A mask as RS3 stores it: the bar with a position, a user choice, units and
// two scales of its own, plus an unrelated Digit.
const char* const kMask =
    "<e c=\"GMaskParam\" i=\"rpm\">"
    "<p n=\"XPOS\">0</p>"
    "<e c=\"BargraphTrapezio\" i=\"b1\">"
    "<p n=\"XPOS\">12</p><p n=\"YPOS\">30</p><p n=\"XPOS\">14</p>"
    "<p n=\"SCELTA_UTENTE\">km/h</p><p n=\"CTRL_SCALA_SCELTA\">01</p><p n=\"FW_DEBUG\">1</p>"
    "<e c=\"UDM\" i=\"u\"><p n=\"T\">x</p></e>"
    "<e c=\"ScaleFSV\" i=\"00\"><p n=\"FORMAT\">old</p></e>"
    "<e c=\"ScaleFSV\" i=\"01\"><p n=\"FORMAT\">old2</p></e>"
    "<e c=\"Axis\" i=\"a\"/>"
    "</e>"
    "<e c=\"Digit\" i=\"d\"><p n=\"XPOS\">5</p></e>"
    "</e>";

} // namespace

class BarTemplateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void catalogue()
    {
        const QList<BarTemplate>& list = BarTemplateLibrary::catalogue();
        QCOMPARE(&list, &BarTemplateLibrary::catalogue());
        QStringList ids;
        for (const BarTemplate& t : list) {
            ids << t.id;
            QCOMPARE(t.scaleXml.toUtf8(), kTemplateScale);
            QVERIFY(t.width > 0 && t.height > 0);
        }
        QCOMPARE(ids, QStringList({"rpm_full", "rpm_compact", "speed_kmh", "speed_mph", "pressure", "temperature",
                                   "trim", "analog_percent", "generic", "vertical_small", "horizontal_small",
                                   "vertical_trim_small"}));
        const BarTemplate* temp = BarTemplateLibrary::findById("temperature");
        QVERIFY(temp);
        QCOMPARE(temp->rangeText, QString::fromUtf8("0\u2013250 \u00b0C"));
        QCOMPARE(temp->unit, QString("C"));
        const BarTemplate* rpm = BarTemplateLibrary::findById("rpm_full");
        QCOMPARE(rpm->description,
                 QString::fromUtf8("800x236 RPM strip. Canonical structure \u2014 hardware-verified on MXG Strada 2026-05-11."));
        QCOMPARE(QSize(rpm->width, rpm->height), QSize(800, 236));
        QVERIFY(!BarTemplateLibrary::findById("RPM_FULL"));
        QVERIFY(!BarTemplateLibrary::findById(""));
    }

    void kinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("id");
        const QStringList ids{"rpm_full", "speed_kmh", "speed_mph", "pressure", "temperature", "trim",
                              "analog_percent", "generic"};
        for (int k = 0; k < ids.size(); ++k)
            QTest::newRow(qPrintable(ids[k])) << k << ids[k];
        QTest::newRow("-1") << -1 << QString();
        QTest::newRow("8") << 8 << QString();
    }

    void kinds()
    {
        QFETCH(int, kind);
        QFETCH(QString, id);
        QCOMPARE(BarTemplateLibrary::templateIdForKind(kind), id);
        QCOMPARE(BarTemplateLibrary::templateIdForKind(kind).isNull(), id.isNull());
        const BarTemplate* t = BarTemplateLibrary::templateForKind(kind);
        QCOMPARE(t ? t->id : QString(), id);
        if (t)
            QCOMPARE(t->kind, kind);
    }

    void classify_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("kind");
        QTest::newRow("engine rpm") << "Engine RPM" << "" << 0;
        QTest::newRow("rpm unit") << "Motor" << " RPM " << 0;
        QTest::newRow("rpm time") << "RPM Time" << "" << 7;
        QTest::newRow("km/h") << "Speed" << "KM/H" << 1;
        QTest::newRow("knots") << "Boat" << "  knots " << 1;
        QTest::newRow("m/s") << "Wind" << "m/s" << 1;
        QTest::newRow("mph") << "Speed" << "mph" << 2;
        QTest::newRow("kPa") << "MAP" << "kPa" << 3;
        QTest::newRow("psi") << "Oil P" << "psi" << 3;
        QTest::newRow("degC") << "Water" << QString::fromUtf8("\u00b0C") << 4;
        QTest::newRow("Cdeg") << "Water" << QString::fromUtf8("C\u00b0") << 4;
        QTest::newRow("degF") << "Oil" << QString::fromUtf8("\u00b0F") << 4;
        QTest::newRow("mangled degree") << "Oil" << QString::fromUtf8("\ufffdC") << 4;
        QTest::newRow("celsius sign") << "Oil" << QString::fromUtf8("\u2103") << 7;
        QTest::newRow("trim deg") << "Port Trim" << "deg" << 5;
        QTest::newRow("heel") << "Heel" << "" << 5;
        QTest::newRow("percent") << "TPS" << "%" << 6;
        QTest::newRow("gear") << "Gear" << "" << 7;
    }

    void classify()
    {
        QFETCH(QString, name);
        QFETCH(QString, unit);
        QFETCH(int, kind);
        QCOMPARE(BarTemplateLibrary::classifyChannel(name, unit), kind);
    }

    void applyTemplateToBar()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string(kMask));
        pugi::xml_node mask = doc.first_child();
        QVERIFY(BarTemplateLibrary::hasTrapezioChild(mask));
        QVERIFY(BarTemplateLibrary::matchesUserChoice(mask, 1));
        QVERIFY(!BarTemplateLibrary::matchesUserChoice(mask, 2));

        QCOMPARE(BarTemplateLibrary::applyTemplate(mask, BarTemplateLibrary::findById("pressure")), 1);
        const QByteArray expected =
            "<e c=\"GMaskParam\" i=\"rpm\"><p n=\"XPOS\">0</p>"
            "<e c=\"BargraphTrapezio\" i=\"b1\">"
            "<p n=\"XPOS\">12</p><p n=\"YPOS\">30</p><p n=\"XPOS\">14</p>"
            "<p n=\"SCELTA_UTENTE\">00</p><p n=\"CTRL_SCALA_SCELTA\">00</p><p n=\"FW_DEBUG\">0</p>"
            "<e c=\"Axis\" i=\"a\"/>"
            + kTemplateScale
            + "<p n=\"POS_ALIGN\"/><p n=\"USA_CONTROLLI_RIPOSIZIONABILI\">0</p>"
              "<p n=\"XPOS_FW\">14</p><p n=\"YPOS_FW\">30</p>"
              "</e>"
              "<e c=\"Digit\" i=\"d\"><p n=\"XPOS\">5</p></e></e>";
        QCOMPARE(serialize(mask), expected);
        // "00" is no template's unit, so the bar no longer counts as chosen.
        for (int k = 0; k < 8; ++k)
            QVERIFY(!BarTemplateLibrary::matchesUserChoice(mask, k));

        // Applying again keeps one scale (now the last child) and no duplicated firmware params.
        QCOMPARE(BarTemplateLibrary::applyTemplateForKind(mask, 3), 1);
        QByteArray again = expected;
        again.replace(kTemplateScale, QByteArray());
        again.replace("</e><e c=\"Digit\"", kTemplateScale + "</e><e c=\"Digit\"");
        QCOMPARE(serialize(mask), again);
    }

    void replaceScalesOnBargraph()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string(kMask));
        pugi::xml_node bar = doc.first_child().find_child_by_attribute("e", "c", "BargraphTrapezio");
        QVERIFY(!BarTemplateLibrary::replaceScales(doc.first_child(), BarTemplateLibrary::findById("trim")));
        QVERIFY(!BarTemplateLibrary::replaceScales(bar, nullptr));
        QVERIFY(BarTemplateLibrary::replaceScales(bar, BarTemplateLibrary::findById("trim")));
        int scales = 0;
        int units = 0;
        for (pugi::xml_node e = bar.child("e"); e; e = e.next_sibling("e")) {
            scales += QByteArray(e.attribute("c").value()) == "ScaleFSV";
            units += QByteArray(e.attribute("c").value()) == "UDM";
        }
        QCOMPARE(scales, 1);
        QCOMPARE(units, 0);
        QCOMPARE(QByteArray(bar.last_child().previous_sibling().name()), QByteArray("p"));
        QCOMPARE(serialize(bar.find_child_by_attribute("e", "c", "ScaleFSV")), kTemplateScale);
    }

    void nothingToApply_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("kind");
        QTest::newRow("no bargraph") << QByteArray("<e c=\"GMaskParam\"><e c=\"Bargraph\"><p n=\"XPOS\">1</p></e></e>") << 0;
        QTest::newRow("no children") << QByteArray("<e c=\"GMaskParam\"><p n=\"XPOS\">1</p></e>") << 0;
        QTest::newRow("unknown kind") << QByteArray(kMask) << 8;
    }

    void nothingToApply()
    {
        QFETCH(QByteArray, xml);
        QFETCH(int, kind);
        pugi::xml_document doc;
        QVERIFY(doc.load_string(xml.constData()));
        const QByteArray before = serialize(doc.first_child());
        QCOMPARE(BarTemplateLibrary::applyTemplateForKind(doc.first_child(), kind), 0);
        if (kind == 0)
            QCOMPARE(BarTemplateLibrary::applyTemplate(doc.first_child(), BarTemplateLibrary::findById("generic")), 0);
        QCOMPARE(serialize(doc.first_child()), before);
        QCOMPARE(BarTemplateLibrary::applyTemplate(pugi::xml_node(), BarTemplateLibrary::findById("generic")), 0);
        QVERIFY(!BarTemplateLibrary::matchesUserChoice(pugi::xml_node(), 1));
    }

    void choiceNeedsControlParam()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string("<e><e c=\"BargraphTrapezio\"><p n=\"SCELTA_UTENTE\">km/h</p></e></e>"));
        QVERIFY(!BarTemplateLibrary::matchesUserChoice(doc.first_child(), 1));
        pugi::xml_document last;
        QVERIFY(last.load_string("<e><e c=\"BargraphTrapezio\"><p n=\"SCELTA_UTENTE\">rpm</p>"
                                 "<p n=\"CTRL_SCALA_SCELTA\"/><p n=\"SCELTA_UTENTE\">km/h</p></e></e>"));
        QVERIFY(BarTemplateLibrary::matchesUserChoice(last.first_child(), 1));
        QVERIFY(!BarTemplateLibrary::matchesUserChoice(last.first_child(), 0));
    }

    void firmwareParamsWithoutPosition()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string("<e c=\"BargraphTrapezio\"><p n=\"POS_ALIGN\">3</p></e>"));
        BarTemplateLibrary::writeFirmwareParams(doc.first_child());
        QCOMPARE(serialize(doc.first_child()),
                 QByteArray("<e c=\"BargraphTrapezio\"><p n=\"POS_ALIGN\"/><p n=\"CTRL_SCALA_SCELTA\">00</p>"
                            "<p n=\"FW_DEBUG\">0</p><p n=\"SCELTA_UTENTE\">00</p>"
                            "<p n=\"USA_CONTROLLI_RIPOSIZIONABILI\">0</p></e>"));
    }
};

KORV_GUI_TEST_MAIN(BarTemplateTest)
#include "tst_bartemplate.moc"
