#include "editing/HotMouseLines.h"
#include "model/DashConfig.h"
#include "model/FirmwareFonts.h"
#include "model/XmlParams.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QGuiApplication>
#include <QtTest>

#include <sstream>

namespace {

QByteArray serialize(const pugi::xml_document& doc)
{
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent);
    return QByteArray::fromStdString(out.str());
}

// The fields the fix-ups read, taken from the XML the way the page parser
// fills them, so these tests stand on their own.
void buildRecords(DashConfig& config, int deviceIndex)
{
    const pugi::xml_node gconf = config.gconfNode(deviceIndex);
    for (pugi::xml_node pageNode : gconf.children("e")) {
        if (!hasClass(pageNode, "GPageParam"))
            continue;
        PageModel pg;
        pg.index = config.pageCount();
        pg.deviceFileIndex = deviceIndex;
        for (pugi::xml_node maskNode : pageNode.children("e")) {
            if (!hasClass(maskNode, "GMaskParam"))
                continue;
            MaskElement mask;
            mask.node = maskNode;
            mask.w = paramInt(maskNode, "WIDTH");
            mask.h = paramInt(maskNode, "HEIGHT");
            for (pugi::xml_node child : maskNode.children("e")) {
                if (!hasClass(child, "Label") && !hasClass(child, "Digit"))
                    continue;
                WidgetModel w;
                w.kind = hasClass(child, "Label") ? WidgetLabel : WidgetDigit;
                w.node = child;
                w.posAlign = findParamText(child, "POS_ALIGN");
                w.y = paramInt(child, "YPOS");
                w.h = paramInt(child, "HEIGHT");
                mask.widgets.push_back(w);
            }
            pg.masks.push_back(std::move(mask));
        }
        config.pages.push_back(std::move(pg));
    }
}

void loadDevice(DashConfig& config, const QByteArray& xml)
{
    auto* device = new DeviceFile;
    device->doc.load_buffer(xml.constData(), size_t(xml.size()));
    config.devices.push_back(device);
    buildRecords(config, int(config.devices.size()) - 1);
}

QByteArray deviceXml(const QByteArray& masks)
{
    return "<overlay_cli><e c=\"Root\"><e c=\"GConfParam\"><e c=\"GPageParam\">" + masks + "</e></e></e></overlay_cli>";
}

QByteArray label(const char* align, const char* ypos, const char* height, const char* extra = "")
{
    return QByteArray("<e c=\"Label\"><p n=\"POS_ALIGN\">") + align + "</p><p n=\"YPOS\">" + ypos + "</p><p n=\"HEIGHT\">"
        + height + "</p>" + extra + "</e>";
}

QByteArray digitMask(const char* outline, const char* extra = "", const char* sibling = "")
{
    return QByteArray("<e c=\"GMaskParam\"><p n=\"WIDTH\">100</p><p n=\"HEIGHT\">40</p><e c=\"Digit\"><p n=\"XPOS\">5,1</p>"
                      "<p n=\"YPOS\">30</p><p n=\"WIDTH\">90</p>")
        + extra + "<p n=\"LINES_X_HOT_MOUSE\">" + outline + "</p></e>" + sibling + "</e>";
}

pugi::xml_node firstChildOfClass(pugi::xml_node node, const char* cls)
{
    return node.find_child_by_attribute("e", "c", cls);
}

} // namespace

class FixupsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hotMouse()
    {
        QCOMPARE(hotMouseLines(10, 20, 30, 40), std::string("10,20,40,20,40,60,10,60,10,20"));
        QCOMPARE(hotMouseLines(-5, 0, 3, 2), std::string("-5,0,-2,0,-2,2,-5,2,-5,0"));
    }

    void labelAlignment_data()
    {
        QTest::addColumn<QByteArray>("widget");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("align");
        QTest::addColumn<QByteArray>("ypos");
        QTest::addColumn<QByteArray>("yposFw");
        QTest::newRow("tc") << label("tc", "40", "20") << 1 << QByteArray("bc") << QByteArray("60") << QByteArray();
        QTest::newRow("tl with suffix and YPOS_FW") << label("tl", "40,7", "20", "<p n=\"YPOS_FW\">40</p>") << 1 << QByteArray("bl") << QByteArray("60,7") << QByteArray("60");
        QTest::newRow("zero height keeps Y") << label("tr", "40", "0") << 1 << QByteArray("br") << QByteArray("40") << QByteArray();
        QTest::newRow("bc untouched") << label("bc", "40", "20") << 0 << QByteArray("bc") << QByteArray("40") << QByteArray();
        QTest::newRow("capital T untouched") << label("Tc", "40", "20") << 0 << QByteArray("Tc") << QByteArray("40") << QByteArray();
    }

    void labelAlignment()
    {
        QFETCH(QByteArray, widget);
        QFETCH(int, count);
        QFETCH(QByteArray, align);
        QFETCH(QByteArray, ypos);
        QFETCH(QByteArray, yposFw);
        DashConfig config;
        loadDevice(config, deviceXml("<e c=\"GMaskParam\">" + widget + "</e>"));
        QCOMPARE(config.normalizeAlignParams(), count);
        const pugi::xml_node node = config.pages[0].masks[0].widgets[0].node;
        QCOMPARE(paramValue(node, "POS_ALIGN"), align);
        QCOMPARE(paramValue(node, "YPOS"), ypos);
        QCOMPARE(paramValue(node, "YPOS_FW"), yposFw);
        QCOMPARE(config.pages[0].masks[0].widgets[0].posAlign, QString::fromUtf8(align));
        QCOMPARE(config.pages[0].masks[0].widgets[0].y, leadingInt(ypos));
        QCOMPARE(config.devices[0]->dirty, count > 0);
    }

    void digitOutline_data()
    {
        QTest::addColumn<QByteArray>("mask");
        QTest::addColumn<int>("count");
        QTest::newRow("smaller outline") << digitMask("0,0,90,0,90,30,0,30,0,0") << 1;
        QTest::newRow("outline with blanks") << digitMask(" 0, 0,90,0,90,30,0,30,0,0 ") << 1;
        QTest::newRow("already matching") << digitMask("0,0,100,0,100,40,0,40,0,0") << 0;
        QTest::newRow("has XPOS_FW") << digitMask("0,0,90,0,90,30,0,30,0,0", "<p n=\"XPOS_FW\">5</p>") << 0;
        QTest::newRow("two outline holders") << digitMask("0,0,90,0,90,30,0,30,0,0", "", "<e c=\"Label\"><p n=\"LINES_X_HOT_MOUSE\">0</p></e>") << 0;
        QTest::newRow("eight numbers") << digitMask("0,0,90,0,90,30,0,30") << 0;
        QTest::newRow("not a rectangle") << digitMask("0,0,90,0,90,30,0,31,0,0") << 0;
        QTest::newRow("not numbers") << digitMask("0,0,9x,0,9x,30,0,30,0,0") << 0;
        QTest::newRow("label holds it") << QByteArray("<e c=\"GMaskParam\"><p n=\"WIDTH\">100</p><p n=\"HEIGHT\">40</p><e c=\"Label\"><p n=\"XPOS\">0</p><p n=\"YPOS\">0</p>"
                                                      "<p n=\"LINES_X_HOT_MOUSE\">0,0,90,0,90,30,0,30,0,0</p></e></e>") << 0;
    }

    void digitOutline()
    {
        QFETCH(QByteArray, mask);
        QFETCH(int, count);
        DashConfig config;
        loadDevice(config, deviceXml(mask));
        const QByteArray before = serialize(config.devices[0]->doc);
        QCOMPARE(config.insertFwPositionParams(), count);
        QCOMPARE(config.devices[0]->dirty, count > 0);
        if (count == 0) {
            QCOMPARE(serialize(config.devices[0]->doc), before);
            return;
        }
        const pugi::xml_node digit = firstChildOfClass(config.pages[0].masks[0].node, "Digit");
        QCOMPARE(paramValue(digit, "LINES_X_HOT_MOUSE"), QByteArray("0,0,100,0,100,40,0,40,0,0"));
        // The firmware copies sit right after their originals.
        QCOMPARE(QByteArray(digit.find_child_by_attribute("p", "n", "XPOS").next_sibling().attribute("n").value()), QByteArray("XPOS_FW"));
        QCOMPARE(QByteArray(digit.find_child_by_attribute("p", "n", "YPOS").next_sibling().attribute("n").value()), QByteArray("YPOS_FW"));
        QCOMPARE(paramValue(digit, "XPOS_FW"), QByteArray("5,1"));
        QCOMPARE(paramValue(digit, "YPOS_FW"), QByteArray("30"));
    }

    void fixupsAreIdempotentAcrossSaveAndReload()
    {
        const QByteArray xml = deviceXml("<e c=\"GMaskParam\">" + label("tc", "40", "20") + label("bc", "10", "5") + "</e>"
                                         + digitMask("0,0,90,0,90,30,0,30,0,0") + digitMask("0,0,80,0,80,30,0,30,0,0"))
            ;
        DashConfig first;
        loadDevice(first, xml);
        QCOMPARE(first.normalizeAlignParams(), 1);
        QCOMPARE(first.insertFwPositionParams(), 2);
        const QByteArray saved = serialize(first.devices[0]->doc);

        // What the next open of the saved file sees.
        DashConfig second;
        loadDevice(second, saved);
        QCOMPARE(second.normalizeAlignParams(), 0);
        QCOMPARE(second.insertFwPositionParams(), 0);
        QVERIFY(!second.devices[0]->dirty);
        QCOMPARE(serialize(second.devices[0]->doc), saved);
    }

    void fontSizes()
    {
        const QString a = TestEnvironment::makeTempDir(QStringLiteral("dev"));
        const QString b = TestEnvironment::makeTempDir(QStringLiteral("dev"));
        QVERIFY(ZipFixture::writeTree(a, {{QStringLiteral("allfnt/1_16.fnt"), "x"},
                                          {QStringLiteral("allfnt/2_24.fnt"), "x"},
                                          {QStringLiteral("allfnt/3_24.fnt"), "x"},
                                          {QStringLiteral("allfnt/readme.txt"), "x"},
                                          {QStringLiteral("allfnt/0_0.fnt"), "x"},
                                          {QStringLiteral("allfnt/4_99999999999.fnt"), "x"},
                                          {QStringLiteral("allfnt/5_12.FNT"), "x"},
                                          {QStringLiteral("allfnt/6_30.fnt/x"), "x"}}));
        DashConfig config;
        config.resetFontFolders();
        config.setFontFolders({a, b});
        QCOMPARE(config.firmwareFontSizes(0), QSet<int>({16, 24}));
        QCOMPARE(config.firmwareFontSizes(1), QSet<int>());
        QCOMPARE(config.firmwareFontSizes(2), QSet<int>());
        QCOMPARE(config.firmwareFontSizes(-1), QSet<int>());
        // Cached until the next load: a later font is not seen.
        QVERIFY(ZipFixture::writeTree(b, {{QStringLiteral("allfnt/1_40.fnt"), "x"}}));
        QCOMPARE(config.firmwareFontSizes(1), QSet<int>());
        config.resetFontFolders();
        QVERIFY(config.fontFolders.isEmpty());
        QCOMPARE(config.firmwareFontSizes(0), QSet<int>());
        config.setFontFolders({b});
        QCOMPARE(config.firmwareFontSizes(0), QSet<int>({40}));
    }

    void fontArithmetic()
    {
        MaskElement mask;
        mask.kind = MaskDigit;
        mask.h = 50;
        QCOMPARE(effectiveFontPx(mask), 20);
        mask.h = 2;
        QCOMPARE(effectiveFontPx(mask), 0);
        QVERIFY(isFontPxAvailable(mask, {16, 24}, 1)); // size 0 is never warned about
        mask.digitPx = 23;
        QVERIFY(isFontPxAvailable(mask, {16, 24}, 1));
        mask.digitPx = 22;
        QVERIFY(!isFontPxAvailable(mask, {16, 24}, 1));
        QVERIFY(isFontPxAvailable(mask, {}, 1));
        mask.kind = MaskLabel;
        QVERIFY(isFontPxAvailable(mask, {16, 24}, 1));

        using Pair = std::pair<int, int>;
        QCOMPARE(nearestFirmwareSizes(22, {16, 24}), Pair(16, 24));
        QCOMPARE(nearestFirmwareSizes(30, {16, 24}), Pair(24, -1));
        QCOMPARE(nearestFirmwareSizes(10, {16, 24}), Pair(-1, 16));
        QCOMPARE(nearestFirmwareSizes(16, {16, 24}), Pair(16, 16));
        QCOMPARE(nearestFirmwareSizes(16, {}), Pair(-1, -1));

        QCOMPARE(lerpClamped(500, 0, 100, -120, 120), 120.0);
        QCOMPARE(lerpClamped(-5, 0, 100, -120, 120), -120.0);
        QCOMPARE(lerpClamped(50, 0, 100, -120, 120), 0.0);
        QCOMPARE(lerpClamped(7, 3, 3, -120, 120), -120.0);

        QVERIFY(!isNonPdmPath(QStringLiteral("PDM08/dash1")));
        QVERIFY(isNonPdmPath(QStringLiteral("mxg_12")));
    }
};

KORV_GUI_TEST_MAIN(FixupsTest)
#include "tst_fixups.moc"
