#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QImage>
#include <QtTest>

namespace {

using Steps = QList<QPair<QString, QString>>;

// One page "Main" holding the given masks.
bool openWith(DashConfig& config, const QList<FixtureElement>& masks)
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Main"));
    for (const FixtureElement& m : masks)
        page.mask(m);
    return config.load(cfg.writeTempZip());
}

FixtureElement barMask(const Steps& steps, bool trapezio = true)
{
    FixtureElement scale = Fx::stepScale(steps);
    scale.p(QStringLiteral("NOME_SCALA"), steps.isEmpty() ? QString() : steps.last().second);
    return Fx::mask(QStringLiteral("bar"), 0, 0, 200, 40)
        .add(Fx::bargraph(QStringLiteral("01_bar"), 0, 0, 200, 40, QString(), trapezio).add(scale));
}

FixtureElement textMask()
{
    return Fx::mask(QStringLiteral("txt"), 10, 10, 200, 80)
        .add(Fx::label(QStringLiteral("l1"), QStringLiteral("Old"), 0, 0, 100, 20))
        .add(Fx::digit(QStringLiteral("d1"), 0, 20, 0, 40))
        .add(Fx::bargraph(QStringLiteral("b1"), 0, 60, 100, 10));
}

pugi::xml_node scaleOf(const DashConfig& config)
{
    return config.pages[0].masks[0].node.child("e").child("e");
}

// "position=value" of every step of the first bar, in document order, with
// the id of steps that have one.
QString stepsOf(const DashConfig& config)
{
    QStringList out;
    for (pugi::xml_node step : scaleOf(config).children("e")) {
        QString s = QString::fromUtf8(paramValue(step, "POS_VAL_SCALA")) + '=' + QString::fromUtf8(paramValue(step, "VAL_SCALA"));
        if (QByteArray(step.attribute("i").value()) == "z0")
            s += QStringLiteral("(z0)");
        out << s;
    }
    return out.join(' ');
}

} // namespace

class PropertiesTest : public QObject {
    Q_OBJECT

    Rs3Fixture rs3;

private Q_SLOTS:
    void barScaleRange_data()
    {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("name");
        // A step-scale bar: its "0" step holds a value inside 1..99.
        QTest::newRow("-20..80 marks zero at 20") << -20.0 << 80.0 << "0=-20 20=0(z0) 100=80" << "80";
        QTest::newRow("0.5..1e9") << 0.5 << 1e9 << "0=0.5 100=1e+09" << "1e+09";
        QTest::newRow("0..80 no mark") << 0.0 << 80.0 << "0=0 100=80" << "80";
        QTest::newRow("-1..1000 clamps to 1") << -1.0 << 1000.0 << "0=-1 1=0(z0) 100=1000" << "1000";
    }
    void barScaleRange()
    {
        QFETCH(double, min);
        QFETCH(double, max);
        DashConfig config;
        QVERIFY(openWith(config, {barMask({{"0", "10"}, {"100", "90"}})}));
        QVERIFY(config.setBarScaleRange(config.pages[0].masks[0].node, min, max));
        QTEST(stepsOf(config), "steps");
        QTEST(QString::fromUtf8(paramValue(scaleOf(config), "NOME_SCALA")), "name");
        double readMin = 0, readMax = 0;
        QVERIFY(DashConfig::barScaleRange(config.pages[0].masks[0].node, readMin, readMax));
        QCOMPARE(readMin, min);
        QCOMPARE(readMax, max);
    }

    void barScaleRangeRefusesNonFinite()
    {
        DashConfig config;
        QVERIFY(openWith(config, {barMask({{"0", "10"}, {"100", "90"}})}));
        const QByteArray before = ConfigSnapshot::documents(config);
        QVERIFY(!config.setBarScaleRange(config.pages[0].masks[0].node, qQNaN(), 10));
        QVERIFY(!config.setBarScaleRange(config.pages[0].masks[0].node, 0, qInf()));
        QCOMPARE(ConfigSnapshot::documents(config), before);
    }

    void plainBarGetsNoZeroMark()
    {
        // The stock 0/100 scale is not a step scale: no mark is added.
        DashConfig config;
        QVERIFY(openWith(config, {barMask({{"0", "0"}, {"100", "100"}})}));
        QVERIFY(config.setBarScaleRange(config.pages[0].masks[0].node, -20, 80));
        QCOMPARE(stepsOf(config), QStringLiteral("0=-20 100=80"));
    }

    void zeroMark_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<bool>("on");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("after");
        QTest::newRow("-50..50") << Steps{{"0", "-50"}, {"100", "50"}} << true << true << "0=-50 50=0(z0) 100=50";
        QTest::newRow("-1..1000") << Steps{{"0", "-1"}, {"100", "1000"}} << true << true << "0=-1 1=0(z0) 100=1000";
        QTest::newRow("0..80 removes") << Steps{{"0", "0"}, {"30", "0"}, {"100", "80"}} << true << false << "0=0 100=80";
        QTest::newRow("two marks keep the first") << Steps{{"0", "-20"}, {"40", "0"}, {"70", "0"}, {"100", "80"}}
                                                  << true << true << "0=-20 20=0 100=80";
        QTest::newRow("off") << Steps{{"0", "-20"}, {"20", "0"}, {"100", "80"}} << false << true << "0=-20 100=80";
        QTest::newRow("no 100 step") << Steps{{"0", "-20"}} << true << false << "0=-20";
    }
    void zeroMark()
    {
        QFETCH(Steps, steps);
        QFETCH(bool, on);
        DashConfig config;
        QVERIFY(openWith(config, {barMask(steps)}));
        QTEST(config.setBarZeroMark(config.pages[0].masks[0].node, on), "result");
        QTEST(stepsOf(config), "after");
    }

    void channelRangeMarksZero_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<QString>("steps");
        QTest::newRow("-20..80") << -20.0 << 80.0 << "0=-20 20=0(z0) 100=80";
        QTest::newRow("0..80") << 0.0 << 80.0 << "0=0 100=80";
    }
    void channelRangeMarksZero()
    {
        // Binding a bar to a channel writes the channel's range and, when it
        // straddles zero, the zero mark.
        QFETCH(double, lower);
        QFETCH(double, upper);
        DashConfig config;
        QVERIFY(openWith(config, {barMask({{"0", "0"}, {"100", "100"}})}));
        config.fidRanges.insert(12, FidRange{lower, upper});
        config.applyChannelRangeToBarScales(config.pages[0].masks[0].node, 12);
        QTEST(stepsOf(config), "steps");
    }

    void labelText()
    {
        DashConfig config;
        QVERIFY(openWith(config, {textMask()}));
        const QByteArray before = ConfigSnapshot::documents(config);
        QVERIFY(!config.setLabelText(0, 0, 1, QStringLiteral("Digit"))); // a Digit is not a Label
        QVERIFY(!config.setLabelText(0, 0, 0, QString()));
        QVERIFY(!config.setLabelText(0, 0, 7, QStringLiteral("x")));
        QCOMPARE(ConfigSnapshot::documents(config), before);
        QVERIFY(!config.devices[0]->dirty);

        QVERIFY(config.setLabelText(0, 0, 0, QStringLiteral("Öl & <Wasser>")));
        const pugi::xml_node node = config.pages[0].masks[0].widgets[0].node;
        QCOMPARE(QString::fromUtf8(paramValue(node, "TEXT")), QStringLiteral("Öl & <Wasser>"));
        QCOMPARE(paramValue(node, "CONTROLLO_NO_AUTOAGGIORNABILE"), QByteArray("1"));
        QCOMPARE(config.pages[0].masks[0].widgets[0].text, QStringLiteral("Öl & <Wasser>"));
        QVERIFY(config.devices[0]->dirty);
    }

    void valueAlignment()
    {
        DashConfig config;
        QVERIFY(openWith(config, {textMask()}));
        QVERIFY(!config.setValueAlignment(0, 0, 1, QStringLiteral("rc"))); // width 0
        QVERIFY(!config.devices[0]->dirty);
        QVERIFY(config.setValueAlignment(0, 0, 0, QStringLiteral("rc")));
        const pugi::xml_node node = config.pages[0].masks[0].widgets[0].node;
        QCOMPARE(paramValue(node, "POS_ALIGN"), QByteArray("rc"));
        QCOMPARE(config.pages[0].masks[0].widgets[0].posAlign, QStringLiteral("rc"));
        QVERIFY(config.setValueAlignment(0, 0, 0, QStringLiteral("lc")));
        int count = 0;
        for (pugi::xml_node p : node.children("p"))
            count += QByteArray(p.attribute("n").value()) == "POS_ALIGN";
        QCOMPARE(count, 1);
        QCOMPARE(paramValue(node, "POS_ALIGN"), QByteArray("lc"));
    }

    void textColour()
    {
        DashConfig config;
        QVERIFY(openWith(config, {textMask()}));
        QCOMPARE(config.textColour(0, 0, 1), QString());
        QVERIFY(!config.setTextColour(0, 0, 2, QStringLiteral("0xffff0000"))); // a bar
        QVERIFY(config.setTextColour(0, 0, 1, QStringLiteral("0xff00ff00")));
        QCOMPARE(config.textColour(0, 0, 1), QStringLiteral("0xff00ff00"));
        QCOMPARE(config.pages[0].masks[0].widgets[1].colour, QColor(0, 255, 0));
        QCOMPARE(config.textColour(3, 0, 0), QString());
    }

    void pageImagePaths()
    {
        const QString image = QStringLiteral("aim/resources/overlay/mxg_12/korvelanto_backgrounds/bg.png");
        QImage picture(8, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        rs3.addDeviceFolder(Rs3Fixture::Stable, QStringLiteral("mxg_12"));
        QDir().mkpath(QFileInfo(rs3.absolutePath(Rs3Fixture::Stable, image)).path());
        QVERIFY(picture.save(rs3.absolutePath(Rs3Fixture::Stable, image)));

        DashConfig config;
        QVERIFY(openWith(config, {textMask()}));
        QVERIFY(config.setPageImagePaths(0, {image, QStringLiteral("prw.png"), QString()}));
        const pugi::xml_node page = config.pageParamNode(0);
        QCOMPARE(config.pageImagePaths(0), (QStringList{image, QStringLiteral("prw.png"), QString()}));
        // New parameters go first; an empty one is not created.
        QCOMPARE(QByteArray(page.first_child().attribute("n").value()), QByteArray("PATH_IMAGE_PRW"));
        QVERIFY(!page.find_child_by_attribute("p", "n", "PATH_IMAGE_SFONDO_FW"));
        QCOMPARE(config.pages[0].background.size(), QSize(8, 4));
        QVERIFY(config.devices[0]->dirty);

        // A path that climbs out of the install is never opened.
        QVERIFY(config.setPageImagePaths(0, {QStringLiteral("aim/../../../etc/passwd"), QString(), QString()}));
        QVERIFY(config.pages[0].background.isNull());
        QVERIFY(config.pages[0].backgroundPath.isEmpty());

        QVERIFY(config.setPageImagePaths(0, {QString(), QString(), QString()}));
        QCOMPARE(config.pageImagePaths(0), (QStringList{QString(), QString(), QString()}));
        QVERIFY(config.pages[0].background.isNull());
        QVERIFY(!config.setPageImagePaths(5, {}));
    }

    void iconPreview()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QString(), 0, 0, 40, 40).add(Fx::icon("i", 0, 0, 40, 40)), textMask()}));
        QVERIFY(config.setIconPreview(0, 0, QStringLiteral("aim/x/icon.png")));
        QVERIFY(config.setIconPreview(0, 1, QStringLiteral("aim/y/icon.png")));
        // Keyed by page and mask: "icon0" for the mask without an id.
        QCOMPARE(config.loadIconPreviewSidecar().value(QStringLiteral("dash/p1/icon0")).graphic,
                 QStringLiteral("aim/x/icon.png"));
        QCOMPARE(config.loadIconPreviewSidecar().value(QStringLiteral("dash/p1/txt")).graphic,
                 QStringLiteral("aim/y/icon.png"));
        QVERIFY(config.clearIconPreview(0, 0));
        QVERIFY(!config.loadIconPreviewSidecar().contains(QStringLiteral("dash/p1/icon0")));
        QVERIFY(config.loadIconPreviewSidecar().contains(QStringLiteral("dash/p1/txt")));
        QVERIFY(!config.devices[0]->dirty);

        // The record waits for the save: a store that cannot be written is
        // reported by the save's write, with its reason.
        QVERIFY(config.writeStagedRecords());
        const QString store = config.iconPreviewSidecarPath();
        QVERIFY(QFile::remove(store) && QDir().mkpath(store + "/in-the-way"));
        QVERIFY(config.setIconPreview(0, 0, QStringLiteral("aim/z/icon.png")));
        QVERIFY(!config.writeStagedRecords());
        QVERIFY(!config.sidecarFailure.isEmpty());
    }

    // Present pairs keep their place, or come back after the last
    // parameter (never after the element's children); absent ones are
    // removed, every copy of them.
    void restoreArtworkProps()
    {
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("art"), 0, 0, 100, 50)
                                      .p(QStringLiteral("PATH_REL_AiM_MASK"), "aim/x/Items/new/")
                                      .p(QStringLiteral("M_BCOL"), "0xffff0000")
                                      .p(QStringLiteral("M_BCOL"), "0xff00ff00")
                                      .p(QStringLiteral("PATH_IMAGE"), "new.png")
                                      .p(QStringLiteral("ORDINE"), 3)
                                      .add(Fx::digit(QStringLiteral("d1"), 0, 0, 100, 50))}));
        ArtworkParams before;
        before.relPathPresent = true;
        before.relPath = QStringLiteral("aim/x/Items/old/");
        before.sfondoPresent = true; // present with an empty text
        before.imagePresent = true;
        before.image = QStringLiteral("mask.png");
        before.fitSrcPresent = true;
        before.fitSrc = QStringLiteral("aim/x/Items/stock/");
        config.devices[0]->dirty = false;
        QVERIFY(config.restoreArtworkProps(0, 0, before));
        QStringList params;
        for (pugi::xml_node p : config.pages[0].masks[0].node.children("p"))
            params << QString::fromUtf8(p.attribute("n").value()) + '=' + QString::fromUtf8(p.text().get());
        QCOMPARE(params.mid(params.indexOf(QStringLiteral("PATH_REL_AiM_MASK=aim/x/Items/old/"))),
                 QStringList({"PATH_REL_AiM_MASK=aim/x/Items/old/", "PATH_IMAGE=mask.png", "ORDINE=3",
                              "PATH_IMAGE_SFONDO_FW=", "DE_FIT_SRC=aim/x/Items/stock/"}));
        QCOMPARE(QString::fromUtf8(config.pages[0].masks[0].node.last_child().name()), QStringLiteral("e"));
        QCOMPARE(config.pages[0].masks[0].widgets.size(), size_t(1));
        QVERIFY(config.devices[0]->dirty);
        QCOMPARE(ConfigSnapshot::pairingError(config), QString());
        QVERIFY(!config.restoreArtworkProps(0, 1, before));
    }

    void swapArtworkItem_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("written"); // PATH_REL_AiM_MASK afterwards
        QTest::addColumn<bool>("dirty");
        const QString set = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/");
        QTest::newRow("sibling item") << set + "Items/b" << true << set + "Items/b/" << true;
        QTest::newRow("backslashes") << "aim\\resources\\overlay\\mxg_12\\masks\\set\\standard\\s01\\digit\\Items\\c\\"
                                     << true << set + "Items/c/" << true;
        QTest::newRow("set compared ignoring case")
            << QStringLiteral("aim/resources/overlay/MXG_12/masks/set/standard/S01/digit/Items/d/") << true
            << QStringLiteral("aim/resources/overlay/MXG_12/masks/set/standard/S01/digit/Items/d/") << true;
        QTest::newRow("same item") << set + "Items/a/" << true << set + "Items/a/" << false;
        QTest::newRow("other set") << QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/digit/Items/a/")
                                   << false << set + "Items/a/" << false;
        QTest::newRow("climbing back into the set") << set + "Items/../../../../../../../../../../etc" << false
                                                    << set + "Items/a/" << false;
    }

    void swapArtworkItem()
    {
        QFETCH(QString, folder);
        QFETCH(bool, result);
        QFETCH(QString, written);
        QFETCH(bool, dirty);
        DashConfig config;
        QVERIFY(openWith(config, {Fx::mask(QStringLiteral("art"), 0, 0, 100, 50)
                                      .p(QStringLiteral("PATH_REL_AiM_MASK"),
                                         " aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/Items/a/ ")
                                      .add(Fx::digit(QStringLiteral("d1"), 0, 0, 100, 50)),
                                  Fx::mask(QStringLiteral("none"), 0, 0, 10, 10)}));
        config.devices[0]->dirty = false;
        QCOMPARE(config.swapArtworkItem(0, 0, folder), result);
        if (!dirty) // nothing written: the text stays as it was, blanks included
            written = ' ' + written + ' ';
        QCOMPARE(QString::fromUtf8(paramValue(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK")), written);
        QCOMPARE(config.devices[0]->dirty, dirty);
        QVERIFY(!config.swapArtworkItem(0, 1, folder)); // no PATH_REL_AiM_MASK
        QVERIFY(!config.swapArtworkItem(0, 2, folder));
    }
};

KORV_GUI_TEST_MAIN(PropertiesTest)
#include "tst_properties.moc"
