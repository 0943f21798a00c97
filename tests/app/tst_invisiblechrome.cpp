#include "DemoStock.h"
#include "window/MainWindow.h"
#include "artwork/TgzImage.h"
#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ChromeScript.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QAction>
#include <QLabel>
#include <QBuffer>
#include <QMenuBar>
#include <QProcess>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QSettings>
#include <QUndoStack>
#include <QtTest>

#include <memory>
#include <tuple>
#include <sstream>

namespace {

const QString kSet = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/");
const QString kHomebrew = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew");

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Gradients rather than flat colours: a misplaced or wrongly stretched copy
// shows.
QImage gradient(const QSize& size, int blue)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), blue));
    return image;
}

// A frame 8 pixels wide with a transparent middle, so the background must
// show through the baked art.
QImage frame(const QSize& size, QRgb colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (x < 8 || y < 8 || x >= size.width() - 8 || y >= size.height() - 8)
                image.setPixel(x, y, colour);
    return image;
}

pugi::xml_node maskOf(pugi::xml_node page, const char* id)
{
    return page.find_child_by_attribute("e", "i", id);
}

// The demo with chrome on its first page: a background picture, a frame on
// the speed box (PNG copy beside the device picture), a box fill with a
// border on the bar, and a title strip drawn at half size and stretched.
// The second page's background exists only as a device picture when
// tgzOnly is set, as does the title's art.
QString demoWithChrome(const QString& work, const Rs3Fixture& rs3, bool tgzOnly = false)
{
    const QString demo = ConfigFixture::demoArchiveCopy(work);
    QMap<QString, QByteArray> files = ZipFixture::readZip(demo);
    const QString device = QStringLiteral("Demo/dash/overlay.ov3.xml");
    pugi::xml_document doc;
    if (demo.isEmpty() || !doc.load_string(files.value(device).constData()))
        return {};
    const pugi::xml_node conf = doc.child("overlay_cli").child("e").child("e");
    const pugi::xml_node race = conf.find_child_by_attribute("e", "i", "p00");
    const pugi::xml_node engine = conf.find_child_by_attribute("e", "i", "p01");

    rs3.writeFile(Rs3Fixture::Stable, kSet + "bkg.png", pngBytes(gradient(QSize(800, 480), 90)));
    setParam(race, "PATH_IMAGE", (kSet + "bkg.png").toUtf8());
    const QImage speed = frame(QSize(340, 160), qRgb(20, 40, 200));
    rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/speed/mask.png", pngBytes(speed));
    rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/speed/mask.tgz", TgzImage::encode(speed));
    setParam(maskOf(race, "md.01"), "PATH_REL_AiM_MASK", (kSet + "Items/speed/").toUtf8());
    setParam(maskOf(race, "md.01"), "PATH_IMAGE_SFONDO_FW", "mask.tgz");
    setParam(maskOf(race, "md.02"), "M_BCOL", "0xff203040");
    setParam(maskOf(race, "md.02"), "M_TCOL", "0xffffffff");
    setParam(maskOf(race, "md.02"), "M_THICK", "3");
    // The bar's unlit picture is chrome; its lit one is the live value.
    const pugi::xml_node bar = maskOf(maskOf(race, "md.02"), "04");
    const QImage unlit = gradient(QSize(300, 40), 60);
    QImage lit(300, 40, QImage::Format_ARGB32);
    lit.fill(qRgb(0, 230, 0));
    rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/bar/m4off0.png", pngBytes(unlit));
    rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/bar/m4off0.tgz", TgzImage::encode(unlit));
    rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/bar/m4on0.png", pngBytes(lit));
    rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/bar/m4on0.tgz", TgzImage::encode(lit));
    setParam(maskOf(race, "md.02"), "PATH_REL_AiM_MASK", (kSet + "Items/bar/").toUtf8());
    for (const auto& [name, value] : {std::pair{"XStart1", 20}, {"YStart1", 10}, {"XStart2", 20}, {"YStart2", 50},
                                      {"XEnd1", 320}, {"YEnd1", 10}, {"XEnd2", 320}, {"YEnd2", 50},
                                      {"XIMG", 20}, {"YIMG", 10}})
        setParam(bar, name, QByteArray::number(value));
    const pugi::xml_node scale = bar.child("e");
    setParam(scale, "PATH_IMG_OFF", "m4off0.tgz");
    setParam(scale.child("e"), "PATH_IMG_ON", "m4on0.tgz");
    const QImage title = gradient(QSize(380, 30), 200);
    if (!tgzOnly)
        rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/title/mask.png", pngBytes(title));
    rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/title/mask.tgz", TgzImage::encode(title));
    setParam(maskOf(race, "md.03"), "PATH_REL_AiM_MASK", (kSet + "Items/title/").toUtf8());
    setParam(maskOf(race, "md.03"), "PATH_IMAGE_SFONDO_FW", "mask.tgz");
    if (tgzOnly) {
        rs3.writeFile(Rs3Fixture::Stable, kSet + "bkg1.tgz", TgzImage::encode(gradient(QSize(400, 240), 30)));
        setParam(engine, "PATH_IMAGE_SFONDO_FW", (kSet + "bkg1.tgz").toUtf8());
    }

    std::ostringstream xml;
    doc.save(xml, "  ");
    files.insert(device, QByteArray::fromStdString(xml.str()));
    const QString path = work + QStringLiteral("/Chrome.zconf2");
    return ZipFixture::writeZip(path, files) ? path : QString();
}

// Share of pixels where some channel differs by more than the tolerance.
double differingShare(const QImage& a, const QImage& b, int tolerance)
{
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (qAbs(qRed(p) - qRed(q)) > tolerance || qAbs(qGreen(p) - qGreen(q)) > tolerance
                || qAbs(qBlue(p) - qBlue(q)) > tolerance)
                ++differing;
        }
    return double(differing) / (qint64(a.width()) * a.height());
}

bool fullyTransparent(const QImage& image)
{
    if (image.isNull())
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) != 0)
                return false;
    return true;
}

// The demo over its own stock install (whose pictures only the editor
// draws), with device pictures on its two gauges and a box fill and border
// on the needle gauge, which a gauge does not draw.
QString demoWithGauges(const QString& work, const Rs3Fixture& rs3)
{
    const QString demo = ConfigFixture::demoArchiveCopy(work);
    QMap<QString, QByteArray> files = ZipFixture::readZip(demo);
    const QString device = QStringLiteral("Demo/dash/overlay.ov3.xml");
    pugi::xml_document doc;
    if (demo.isEmpty() || !rs3.addDemoStock(Rs3Fixture::Stable) || !doc.load_string(files.value(device).constData()))
        return {};
    const pugi::xml_node conf = doc.child("overlay_cli").child("e").child("e");
    const pugi::xml_node analog = maskOf(conf.find_child_by_attribute("e", "i", "p00"), "md.00");
    const pugi::xml_node ring = maskOf(conf.find_child_by_attribute("e", "i", "p01"), "md.00");
    const QImage dial = frame(QSize(360, 360), qRgb(220, 220, 220));
    const QImage track = frame(QSize(320, 320), qRgb(90, 200, 250));
    rs3.writeFile(Rs3Fixture::Stable, DemoStock::analogGaugeItem() + "mask.png", pngBytes(dial));
    rs3.writeFile(Rs3Fixture::Stable, DemoStock::analogGaugeItem() + "mask.tgz", TgzImage::encode(dial));
    rs3.writeFile(Rs3Fixture::Stable, DemoStock::ringGaugeItem() + "mask.png", pngBytes(track));
    rs3.writeFile(Rs3Fixture::Stable, DemoStock::ringGaugeItem() + "mask.tgz", TgzImage::encode(track));
    for (const pugi::xml_node& gauge : {analog, ring}) {
        setParam(gauge, "PATH_IMAGE_SFONDO_FW", "mask.tgz");
        setParam(gauge, "M_BCOL", "0xff00c000");
    }
    setParam(analog, "M_TCOL", "0xffffffff");
    setParam(analog, "M_THICK", "6");
    std::ostringstream xml;
    doc.save(xml, "  ");
    files.insert(device, QByteArray::fromStdString(xml.str()));
    const QString path = work + QStringLiteral("/Gauges.zconf2");
    return ZipFixture::writeZip(path, files) ? path : QString();
}

} // namespace

// The generator script that ships in tools/ beside the program, run for real
// on the demo with chrome in a temporary RS3 install: what it writes opens in
// the editor and looks as the original did, with the chrome moved from the
// masks into the page backgrounds.
class InvisibleChromeTest : public QObject {
    Q_OBJECT

private:
    ChromeScript m_chrome;

    ChromeScript::Finished generate(const Rs3Fixture& rs3, const QString& input, const QString& output,
                                    const QString& device = QStringLiteral("mxg_12"), const QString& labels = {}) const
    {
        return m_chrome.generate(rs3, input, output, device, labels);
    }

    QImage render(const QString& config, int page, const QString& png) const
    {
        return m_chrome.render(config, page, png);
    }

    // The generator's output of the demo over its stock install with gauges
    // of device pictures, and the pages before and after, drawn once.
    struct GaugeRun {
        QString output;
        QImage before[2];
        QImage after[2];
    } m_gauges;
    std::unique_ptr<Rs3Fixture> m_gaugeInstall;

    bool runGauges()
    {
        if (!m_gauges.output.isEmpty())
            return true;
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("gauges"));
        m_gaugeInstall = std::make_unique<Rs3Fixture>();
        const QString input = demoWithGauges(work, *m_gaugeInstall);
        DashConfig original;
        QString error;
        if (input.isEmpty() || !original.load(input)
            || !DashCanvas::writeLabelLayers(&original, work + QStringLiteral("/labels"), &error))
            return false;
        const QString output = ChromeScript::outputOf(input);
        if (generate(*m_gaugeInstall, input, output, QStringLiteral("mxg_12"), work + QStringLiteral("/labels")).code != 0)
            return false;
        for (int p = 0; p < 2; ++p) {
            m_gauges.before[p] = render(input, p, work + QStringLiteral("/before%1.png").arg(p));
            m_gauges.after[p] = render(output, p, work + QStringLiteral("/after%1.png").arg(p));
        }
        m_gauges.output = output;
        return true;
    }

    // How many masks of the configuration draw label texts of their own.
    static int masksWithLabelTexts(DashConfig& config)
    {
        int count = 0;
        for (int p = 0; p < config.pageCount(); ++p)
            for (const QImage& layer : DashCanvas::renderLabelLayers(&config, p))
                count += layer.isNull() ? 0 : 1;
        return count;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString missing = m_chrome.locate();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY2(m_chrome.isBuilt(), qPrintable(m_chrome.script + QStringLiteral(" or ") + m_chrome.exe));
    }

    void bakedPagesLookAsTheOriginal()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("chrome"));
        Rs3Fixture rs3;
        const QString input = demoWithChrome(work, rs3);
        QVERIFY(!input.isEmpty());
        const QString output = work + QStringLiteral("/Chrome_invisible_chrome.zconf2");
        // The label texts, drawn by the program as the window hands them over.
        DashConfig original;
        QVERIFY(original.load(input));
        const QString labels = work + QStringLiteral("/labels");
        QString error;
        QVERIFY2(DashCanvas::writeLabelLayers(&original, labels, &error), qPrintable(error));
        const ChromeScript::Finished run = generate(rs3, input, output, QStringLiteral("mxg_12"), labels);
        QVERIFY2(run.code == 0, qPrintable(run.output));
        QVERIFY2(ChromeScript::lastLine(run.output).startsWith(QStringLiteral("Invisible chrome written to")), qPrintable(run.output));

        DashConfig baked;
        QVERIFY(baked.load(output));
        // The texts over baked art (the speed box, the title) are in the
        // background now; those over the editor's tint still draw themselves.
        QCOMPARE(masksWithLabelTexts(original), 6);
        QCOMPARE(masksWithLabelTexts(baked), 4);
        QCOMPARE(baked.pages.size(), original.pages.size());
        for (int p = 0; p < int(baked.pages.size()); ++p) {
            const PageModel& was = original.pages[p];
            const PageModel& now = baked.pages[p];
            QCOMPARE(now.masks.size(), was.masks.size());
            for (int m = 0; m < int(now.masks.size()); ++m) {
                const MaskElement& mask = now.masks[m];
                QCOMPARE(QRect(mask.x, mask.y, mask.w, mask.h), QRect(was.masks[m].x, was.masks[m].y,
                                                                        was.masks[m].w, was.masks[m].h));
                QCOMPARE(mask.widgets.size(), was.masks[m].widgets.size());
                QCOMPARE(mask.channel, was.masks[m].channel);
                // No art of its own: no fill, no border, and a picture (if
                // any) that is clear on the editor's and the device's side.
                const QByteArray fill = paramValue(mask.node, "M_BCOL");
                QVERIFY(fill.isEmpty() || fill == "0x00000000");
                QVERIFY(paramInt(mask.node, "M_THICK") == 0);
                const QByteArray folder = paramValue(mask.node, "PATH_REL_AiM_MASK");
                if (folder.isEmpty())
                    continue;
                // A stock item without a device picture (the demo's own
                // masks) shows nothing on the dash: nothing to bake, and the
                // mask is left as it was.
                const pugi::xml_node before = was.masks[m].node;
                if (paramValue(before, "PATH_IMAGE_SFONDO_FW").isEmpty()
                    && folder == paramValue(before, "PATH_REL_AiM_MASK")) {
                    QVERIFY(paramValue(mask.node, "PATH_IMAGE_SFONDO_FW").isEmpty());
                    continue;
                }
                QVERIFY2(fullyTransparent(QImage(DashConfig::resolveRs3Path(QString::fromUtf8(folder) + "mask.png"))),
                         folder.constData());
                QVERIFY(fullyTransparent(TgzImage::decodeFile(DashConfig::resolveRs3Path(
                    QString::fromUtf8(folder) + QString::fromUtf8(paramValue(mask.node, "PATH_IMAGE_SFONDO_FW"))))));
            }
            const QImage before = render(input, p, work + QStringLiteral("/before%1.png").arg(p));
            const QImage after = render(output, p, work + QStringLiteral("/after%1.png").arg(p));
            QVERIFY(!before.isNull() && !after.isNull());
            // Smoothing of the stretched title differs a little between the
            // script and the toolkit; nothing else may.
            const double share = differingShare(before, after, 24);
            if (share >= 0.005) { // kept for a person to look at
                const QString grabs = qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/canvas-grabs/");
                QDir().mkpath(grabs);
                before.save(grabs + QStringLiteral("chrome-before%1.png").arg(p));
                after.save(grabs + QStringLiteral("chrome-after%1.png").arg(p));
            }
            QVERIFY2(share < 0.005, qPrintable(QStringLiteral("page %1: %2 of the pixels differ").arg(p).arg(share)));
        }

        // The chrome is in the new background (the frame's edge in blue, the
        // old background through its middle, the box fill), and the device
        // picture holds the same at 5 bits a channel.
        const QImage background = baked.pages[0].background.toImage();
        QCOMPARE(background.pixelColor(423, 43), QColor(20, 40, 200));
        QCOMPARE(background.pixelColor(590, 120), gradient(QSize(800, 480), 90).pixelColor(590, 120));
        QCOMPARE(background.pixelColor(430, 236), QColor(0x20, 0x30, 0x40));
        QCOMPARE(background.pixelColor(421, 250), QColor(Qt::white));
        QCOMPARE(background.pixelColor(590, 260), gradient(QSize(300, 40), 60).pixelColor(150, 20));
        // The bar keeps its lit picture; its unlit one is clear now.
        const QString barFolder = QString::fromUtf8(paramValue(baked.pages[0].masks[2].node, "PATH_REL_AiM_MASK"));
        QVERIFY(fullyTransparent(QImage(DashConfig::resolveRs3Path(barFolder + "m4off0.png"))));
        QVERIFY(fullyTransparent(TgzImage::decodeFile(DashConfig::resolveRs3Path(barFolder + "m4off0.tgz"))));
        QCOMPARE(QImage(DashConfig::resolveRs3Path(barFolder + "m4on0.png")).pixelColor(5, 5), QColor(0, 230, 0));
        const QImage device = TgzImage::decodeFile(DashConfig::resolveRs3Path(baked.pageImagePaths(0).value(2)));
        QCOMPARE(device.size(), QSize(800, 480));
        QVERIFY(differingShare(device, background, 8) == 0.0);
        // A later run that fails half-way leaves this output and its art alone.
        const QString set = QFileInfo(DashConfig::resolveRs3Path(baked.pageImagePaths(0).value(0))).absolutePath()
            + QStringLiteral("/..");
        const QMap<QString, QByteArray> art = Rs3Fixture::treeSnapshot(set);
        QVERIFY(art.contains(QStringLiteral("bkg_p0/bkg.tgz")));
        const QByteArray written = ZipFixture::readZip(output).value(QStringLiteral("Demo/dash/overlay.ov3.xml"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kSet + "Items/title/mask.png", "no picture"));
        const ChromeScript::Finished again = generate(rs3, input, output);
        QCOMPARE(again.code, 2);
        QVERIFY2(ChromeScript::lastLine(again.output).startsWith(QStringLiteral("Error: Cannot read artwork")), qPrintable(again.output));
        QCOMPARE(Rs3Fixture::treeSnapshot(set), art);
        QCOMPARE(ZipFixture::readZip(output).value(QStringLiteral("Demo/dash/overlay.ov3.xml")), written);
        QVERIFY(!QFileInfo::exists(output + QStringLiteral(".partial")));

        // The original's render really showed the chrome: without it the page differs.
        const QImage plain = render(ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir()), 0,
                                    work + QStringLiteral("/plain.png"));
        QVERIFY(differingShare(plain, QImage(work + QStringLiteral("/before0.png")), 24) > 0.2);
    }

    // Device pictures without a PNG copy are read through the script's own
    // .tgz decoder, which must agree with the program's.
    void devicePicturesWithoutPngCopies()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("chrome"));
        Rs3Fixture rs3;
        const QString input = demoWithChrome(work, rs3, true);
        QVERIFY(!input.isEmpty());
        const QString output = work + QStringLiteral("/Chrome_invisible_chrome.zconf2");
        const ChromeScript::Finished run = generate(rs3, input, output);
        QVERIFY2(run.code == 0, qPrintable(run.output));

        DashConfig baked;
        QVERIFY(baked.load(output));
        const QImage engine = baked.pages[1].background.toImage();
        const QImage expected = TgzImage::decode(TgzImage::encode(gradient(QSize(400, 240), 30)));
        // Stretched from 400 x 240 to the page: every page pixel sits on
        // source pixel (x / 2, y / 2) give or take the smoothing.
        QCOMPARE(engine.size(), QSize(800, 480));
        QVERIFY(differingShare(engine, expected.scaled(800, 480), 10) < 0.01);
        const QImage race = baked.pages[0].background.toImage();
        const QImage title = TgzImage::decode(TgzImage::encode(gradient(QSize(380, 30), 200)));
        QVERIFY(differingShare(race.copy(20, 400, 760, 60), title.scaled(760, 60), 10) < 0.01);
    }

    // What a mask draws that is not baked, or is baked where nothing drawn
    // stays under it, looks exactly as before: a ring draws only its arc, a
    // needle gauge its picture and needle without box fill or border, and a
    // label over a picture only the editor draws is not baked under it.
    void masksDrawAsBefore_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QRect>("mask");
        QTest::addColumn<QPoint>("probe");   // a point of the new background
        QTest::addColumn<QColor>("expected"); // what lies there
        QTest::newRow("SPEED over the editor's picture") << 0 << QRect(420, 40, 340, 160) << QPoint(425, 45)
                                                         << QColor(Qt::black);
        QTest::newRow("needle gauge with a box fill") << 0 << QRect(20, 20, 360, 360) << QPoint(22, 22)
                                                      << QColor(220, 220, 220);
        QTest::newRow("ring gauge") << 1 << QRect(40, 40, 320, 320) << QPoint(42, 42) << QColor(Qt::black);
    }

    void masksDrawAsBefore()
    {
        QFETCH(int, page);
        QFETCH(QRect, mask);
        QFETCH(QPoint, probe);
        QFETCH(QColor, expected);
        QVERIFY(runGauges());
        QVERIFY(!m_gauges.before[page].isNull() && !m_gauges.after[page].isNull());
        QCOMPARE(m_gauges.after[page].copy(mask), m_gauges.before[page].copy(mask));
        DashConfig baked;
        QVERIFY(baked.load(m_gauges.output));
        QCOMPARE(baked.pages[size_t(page)].background.toImage().pixelColor(probe), expected);
    }

    // Two displays whose device files sort by name the other way round: the
    // pages go in the editor's order, so each display's label pictures land
    // on that display, and each display's art goes into its own folder.
    void labelsStayOnTheirDisplay()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("displays"));
        Rs3Fixture rs3;
        ConfigFixture cfg;
        cfg.deviceType = QStringLiteral("PDM32");
        for (const auto& [folder, dash, text] : {std::tuple{"a", 2, "DASH TWO"}, {"b", 1, "DASH ONE"}}) {
            FixtureDevice& device = cfg.device(dash == 2 ? 0 : 1);
            device.folder = QString::fromLatin1(folder);
            device.family = QStringLiteral("pdm");
            device.dimX = dash == 2 ? 800 : 1280;
            device.dashNumber = dash;
            FixturePage& page = device.page(QString::fromLatin1(text));
            page.width = 320;
            page.height = 120;
            page.mask(Fx::mask(QStringLiteral("md.00"), 10, 10, 300, 100)
                          .p(QStringLiteral("M_BCOL"), QStringLiteral("0xff203040"))
                          .add(Fx::label(QStringLiteral("01"), QString::fromLatin1(text), 10, dash * 25, 280, 30)));
        }
        const QString input = work + QStringLiteral("/Twin.zconf2");
        QVERIFY(cfg.writeZip(input));
        DashConfig original;
        QVERIFY(original.load(input));
        QString error;
        QVERIFY2(DashCanvas::writeLabelLayers(&original, work + QStringLiteral("/labels"), &error), qPrintable(error));
        const ChromeScript::Finished run = generate(rs3, input, ChromeScript::outputOf(input), QStringLiteral("pdm/dash1"),
                                      work + QStringLiteral("/labels"));
        QVERIFY2(run.code == 0, qPrintable(run.output));

        DashConfig baked;
        QVERIFY(baked.load(ChromeScript::outputOf(input)));
        QCOMPARE(masksWithLabelTexts(baked), 0);
        for (int p = 0; p < 2; ++p) {
            QVERIFY(baked.pageImagePaths(p).value(0).contains(QStringLiteral("/pdm/dash%1/").arg(p + 1)));
            const QImage before = render(input, p, work + QStringLiteral("/before%1.png").arg(p));
            const QImage after = render(ChromeScript::outputOf(input), p, work + QStringLiteral("/after%1.png").arg(p));
            QVERIFY(!before.isNull());
            QVERIFY2(differingShare(before, after, 16) == 0.0, qPrintable(QString::number(p)));
        }
    }

    // Tools > Generate Invisible Chrome with the program's own tools folder:
    // the window finds python3 and the real script, hands it the RS3 roots of
    // the preferences, and ends on the success box.
    void windowRunsTheRealScript()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("window"));
        Rs3Fixture rs3;
        const QString input = demoWithChrome(work, rs3);
        QVERIFY(!input.isEmpty());
        ScriptedAsker asker;
        MainWindow window;
        asker.fileNames = {input};
        for (QAction* menu : window.menuBar()->actions())
            if (menu->text() == QLatin1String("&File"))
                for (QAction* action : menu->menu()->actions())
                    if (action->text() == QLatin1String("&Open..."))
                        action->trigger();
        QCOMPARE(window.currentFile(), input);
        // With an edit not saved, the confirmation says the output leaves it out.
        auto* history = window.findChild<QUndoStack*>();
        history->push(new QUndoCommand(QStringLiteral("an edit")));
        QString confirmation;
        asker.onExec = [&confirmation](QDialog* dialog) {
            confirmation = dialog->findChild<QLabel*>()->text();
            return int(QDialog::Rejected);
        };
        window.generateInvisibleChrome(QFileInfo(m_chrome.exe).absolutePath());
        QVERIFY2(confirmation.contains(QStringLiteral("not saved are left out")), qPrintable(confirmation));
        history->undo();
        asker.onExec = [&confirmation](QDialog* dialog) {
            confirmation = dialog->findChild<QLabel*>()->text();
            return int(QDialog::Accepted);
        };

        window.generateInvisibleChrome(QFileInfo(m_chrome.exe).absolutePath());
        QVERIFY(!confirmation.contains(QStringLiteral("not saved")));

        const QString output = work + QStringLiteral("/Chrome_invisible_chrome.zconf2");
        QVERIFY(!asker.asked.isEmpty());
        QCOMPARE(asker.asked.last().title, QStringLiteral("Generate Invisible Chrome"));
        QVERIFY2(asker.asked.last().text.startsWith(QStringLiteral("Invisible chrome config saved to:\n") + output),
                 qPrintable(asker.asked.last().text));
        DashConfig baked;
        QVERIFY(baked.load(output));
        QVERIFY(baked.pageImagePaths(0).value(0).contains(QStringLiteral("/s04_homebrew/zchrome_Chrome_")));
        QCOMPARE(baked.pages[0].background.toImage().pixelColor(423, 43), QColor(20, 40, 200));
        // The window handed the label texts over: those over baked art are baked.
        QCOMPARE(masksWithLabelTexts(baked), 4);

        // Again: the art of the first run stays for copies of its output, and the window says so.
        window.generateInvisibleChrome(QFileInfo(m_chrome.exe).absolutePath());
        QVERIFY2(asker.asked.last().text.contains(QStringLiteral("\n\nKept the art of 1 earlier run of this output")),
                 qPrintable(asker.asked.last().text));
        // While another run writes the output, the window shows why this one did not.
        QProcess holder;
        QVERIFY(m_chrome.holdOutput(&holder, output));
        const QMap<QString, QByteArray> before = ZipFixture::readZip(output);
        window.generateInvisibleChrome(QFileInfo(m_chrome.exe).absolutePath());
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY2(asker.asked.last().text.contains(QStringLiteral("Error: Another invisible-chrome run is writing ")
                                                  + output),
                 qPrintable(asker.asked.last().text));
        QCOMPARE(ZipFixture::readZip(output), before);

        // A homebrew folder the script cannot clear: the advice to close RS3.
        const QString homebrew = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew");
        QVERIFY(QDir(rs3.absolutePath(Rs3Fixture::Stable, homebrew)).removeRecursively());
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, homebrew, "a file"));
        window.generateInvisibleChrome(QFileInfo(m_chrome.exe).absolutePath());
        QVERIFY2(asker.asked.last().text.startsWith(
                     QStringLiteral("The invisible-chrome output folder could not be cleaned before writing.")),
                 qPrintable(asker.asked.last().text));
    }

    // A run killed just after its output is in place has done its work: the
    // window says the output was saved, not that the generator failed.
    void windowCountsAPlacedRunAsDone()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("placed"));
        Rs3Fixture rs3;
        const QString input = demoWithChrome(work, rs3);
        QVERIFY(!input.isEmpty());
        // The real script, ended by a kill as soon as it has replaced the output.
        const QByteArray wrapper = R"(
import importlib.util, os, signal, sys
real = sys.argv[0] + ".real"
real = open(real, encoding="utf-8").read().strip()
sys.path.insert(0, real)
found = importlib.util.spec_from_file_location("real_chrome", os.path.join(real, "make_invisible_chrome.py"))
tool = importlib.util.module_from_spec(found)
found.loader.exec_module(tool)
args = sys.argv[1:]
output = os.path.abspath(args[args.index("--output") + 1])
replace = os.replace
def placed(src, dst):
    replace(src, dst)
    if os.path.abspath(dst) == output:
        os.kill(os.getpid(), signal.SIGKILL)
os.replace = placed
sys.exit(tool.main(args))
)";
        const QString app = work + QStringLiteral("/app");
        QVERIFY(ZipFixture::writeTree(app, {{"tools/make_invisible_chrome.py", wrapper},
                                            {"tools/make_invisible_chrome.py.real",
                                             QFileInfo(m_chrome.script).absolutePath().toUtf8()}}));
        ScriptedAsker asker;
        asker.onExec = [](QDialog*) { return int(QDialog::Accepted); };
        MainWindow window;
        window.loadConfig(input);
        window.generateInvisibleChrome(app);
        const QString output = ChromeScript::outputOf(input);
        QVERIFY(!asker.asked.isEmpty());
        QVERIFY2(asker.asked.last().text.startsWith(QStringLiteral("Invisible chrome config saved to:\n") + output),
                 qPrintable(asker.asked.last().text));
        DashConfig baked;
        QVERIFY(baked.load(output));
        QVERIFY(QFileInfo::exists(DashConfig::resolveRs3Path(baked.pageImagePaths(0).value(0))));
    }

    // Cancel while the script writes: it stops as asked and takes back what
    // it began, and the window says "Cancelled", not that the generator
    // failed.
    void windowCancelEndsCancelled()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("cancel"));
        Rs3Fixture rs3;
        const QString input = demoWithChrome(work, rs3);
        QVERIFY(!input.isEmpty());
        // The real script, waiting once it writes its output until stopped.
        const QByteArray wrapper = R"(
import importlib.util, os, sys, time
real = open(sys.argv[0] + ".real", encoding="utf-8").read().strip()
sys.path.insert(0, real)
found = importlib.util.spec_from_file_location("real_chrome", os.path.join(real, "make_invisible_chrome.py"))
tool = importlib.util.module_from_spec(found)
found.loader.exec_module(tool)
fsync = os.fsync
def waiting(fd):
    fsync(fd)
    print("waiting", flush=True)
    while True:
        time.sleep(1)
os.fsync = waiting
sys.exit(tool.main(sys.argv[1:]))
)";
        const QString app = work + QStringLiteral("/app");
        QVERIFY(ZipFixture::writeTree(app, {{"tools/make_invisible_chrome.py", wrapper},
                                            {"tools/make_invisible_chrome.py.real",
                                             QFileInfo(m_chrome.script).absolutePath().toUtf8()}}));
        ScriptedAsker asker;
        asker.onExec = [](QDialog*) { return int(QDialog::Accepted); };
        MainWindow window;
        window.loadConfig(input);
        // The user clicks Cancel once the script says it is writing.
        QTimer watch;
        connect(&watch, &QTimer::timeout, &window, [&] {
            auto* progress = window.findChild<QProgressDialog*>();
            if (!progress || progress->labelText() != QLatin1String("waiting"))
                return;
            watch.stop();
            progress->findChild<QPushButton*>()->click();
        });
        watch.start(10);
        const qsizetype asked = asker.asked.size();
        window.generateInvisibleChrome(app);
        QVERIFY(!watch.isActive());
        QCOMPARE(asker.asked.size(), asked + 1); // the confirmation only
        QVERIFY2(window.statusBar()->currentMessage().startsWith(QStringLiteral("Cancelled")),
                 qPrintable(window.statusBar()->currentMessage()));
        QVERIFY(!QFileInfo::exists(ChromeScript::outputOf(input)));
        QVERIFY(!QFileInfo::exists(ChromeScript::outputOf(input) + QStringLiteral(".lock")));
        // Nothing of the run stays in the install: no lock, and no homebrew
        // folder it made on its way to a set it never placed.
        QVERIFY(!QFileInfo::exists(rs3.root(Rs3Fixture::Stable) + QStringLiteral("/korvelanto-chrome.lock")));
        QVERIFY(!QFileInfo::exists(rs3.absolutePath(Rs3Fixture::Stable, kHomebrew)));
    }

    // A homebrew folder linked to a user's own folder: the run writes
    // nothing there, and the window names the link.
    void windowNamesALinkedHomebrewFolder()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("linked"));
        Rs3Fixture rs3;
        const QString input = demoWithChrome(work, rs3);
        QVERIFY(!input.isEmpty());
        const QString user = TestEnvironment::makeTempDir(QStringLiteral("user"));
        QVERIFY(ZipFixture::writeTree(user, {{"photo.jpg", "the user's photo"}}));
        const QString homebrew = rs3.absolutePath(Rs3Fixture::Stable, kHomebrew);
        QVERIFY(QFile::link(user, homebrew));
        ScriptedAsker asker;
        asker.onExec = [](QDialog*) { return int(QDialog::Accepted); };
        MainWindow window;
        window.loadConfig(input);
        window.generateInvisibleChrome(QFileInfo(m_chrome.exe).absolutePath());
        QVERIFY(!asker.asked.isEmpty());
        QVERIFY2(asker.asked.last().text.contains(homebrew + QStringLiteral(" is a symbolic link")),
                 qPrintable(asker.asked.last().text));
        QCOMPARE(ZipFixture::readTree(user), (QMap<QString, QByteArray>{{"photo.jpg", "the user's photo"}}));
        QVERIFY(!QFileInfo::exists(ChromeScript::outputOf(input)));
    }

    // Without the install the preferences name, the failure names the
    // folder the script looked for it in.
    void windowNamesTheMissingInstall()
    {
        const QString input = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("noinstall")));
        QVERIFY(!input.isEmpty());
        const QString nowhere = TestEnvironment::makeTempDir(QStringLiteral("nowhere")) + QStringLiteral("/RaceStudio3");
        QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
        settings.setValue(QStringLiteral("paths/raceStudio3Root"), nowhere);
        settings.setValue(QStringLiteral("paths/raceStudio3BetaRoot"), nowhere + QStringLiteral("_beta"));
        ScriptedAsker asker;
        asker.onExec = [](QDialog*) { return int(QDialog::Accepted); };
        MainWindow window;
        window.loadConfig(input);
        window.generateInvisibleChrome(QFileInfo(m_chrome.exe).absolutePath());
        settings.remove(QStringLiteral("paths"));
        QVERIFY(!asker.asked.isEmpty());
        const QString text = asker.asked.last().text;
        QVERIFY2(text.contains(QStringLiteral("RaceStudio3 folder not found: ") + nowhere + QLatin1Char('\n')),
                 qPrintable(text));
    }
};

KORV_TEST_MAIN(InvisibleChromeTest)
#include "tst_invisiblechrome.moc"
