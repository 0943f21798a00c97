#include "window/MainWindow.h"
#include "artwork/TgzImage.h"
#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QAction>
#include <QBuffer>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <sstream>

namespace {

const QString kSet = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/");

struct Finished {
    int code = -1;
    QString output; // standard output and error, merged
};

Finished runProgram(const QString& program, const QStringList& arguments,
                    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000) || !process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

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

QString lastLine(const QString& output)
{
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

} // namespace

// The generator script that ships in tools/ beside the program, run for real
// on the demo with chrome in a temporary RS3 install: what it writes opens in
// the editor and looks as the original did, with the chrome moved from the
// masks into the page backgrounds.
class InvisibleChromeTest : public QObject {
    Q_OBJECT

private:
    QString m_python;
    QString m_script;
    QString m_exe;

    QProcessEnvironment scriptEnvironment(const Rs3Fixture& rs3) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KORVELANTO_RS3_ROOT"), rs3.root(Rs3Fixture::Stable));
        environment.insert(QStringLiteral("KORVELANTO_RS3_BETA_ROOT"), rs3.root(Rs3Fixture::Beta));
        environment.insert(QStringLiteral("KORVELANTO_LOCAL_OVERLAY_ROOT"), rs3.overlayRoot(Rs3Fixture::Local));
        return environment;
    }

    Finished generate(const Rs3Fixture& rs3, const QString& input, const QString& output,
                      const QString& device = QStringLiteral("mxg_12"), const QString& labels = {}) const
    {
        QStringList arguments{m_script, "--input", input, "--output", output, "--device", device};
        if (!labels.isEmpty())
            arguments << "--labels" << labels;
        return runProgram(m_python, arguments, scriptEnvironment(rs3));
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

    QImage render(const QString& config, int page, const QString& png) const
    {
        const Finished run = runProgram(m_exe, {"--dump-preview", png, "--input", config, "--page",
                                                QString::number(page), "--sample-data"});
        return run.code == 0 ? QImage(png) : QImage();
    }

private Q_SLOTS:
    void initTestCase()
    {
        const Finished probe = runProgram(QStringLiteral("python3"), {QStringLiteral("--version")});
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Python (\\d+)\\.(\\d+)")).match(probe.output);
        if (probe.code != 0 || !m.hasMatch() || m.captured(1).toInt() * 100 + m.captured(2).toInt() < 310)
            QSKIP("python3 3.10 or later is not on the PATH, so the generator script cannot run here");
        m_python = QStringLiteral("python3");
        const QString binary = qEnvironmentVariable("KORV_BINARY_DIR");
        if (binary.isEmpty())
            QSKIP("run through ctest: the built program's folder is not known");
        // The build copies the script beside the program, where the window looks.
        m_script = binary + QStringLiteral("/app/tools/make_invisible_chrome.py");
        m_exe = binary + QStringLiteral("/app/korvelanto");
        QVERIFY2(QFileInfo::exists(m_script), qPrintable(m_script));
        QVERIFY(QFileInfo::exists(m_exe));
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
        const Finished run = generate(rs3, input, output, QStringLiteral("mxg_12"), labels);
        QVERIFY2(run.code == 0, qPrintable(run.output));
        QVERIFY2(lastLine(run.output).startsWith(QStringLiteral("Invisible chrome written to")), qPrintable(run.output));

        DashConfig baked;
        QVERIFY(baked.load(output));
        // The texts are in the backgrounds now; the labels draw nothing.
        QVERIFY(masksWithLabelTexts(original) >= 4);
        QCOMPARE(masksWithLabelTexts(baked), 0);
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
            QImage before = render(input, p, work + QStringLiteral("/before%1.png").arg(p));
            QImage after = render(output, p, work + QStringLiteral("/after%1.png").arg(p));
            QVERIFY(!before.isNull() && !after.isNull());
            // The editor tints a mask without art of its own (the device does
            // not), and that tint now lies over the baked texts: left out.
            for (QImage* image : {&before, &after}) {
                QPainter painter(image);
                for (const MaskElement& mask : was.masks)
                    if (paramValue(mask.node, "PATH_REL_AiM_MASK").isEmpty() && paramValue(mask.node, "M_BCOL").isEmpty())
                        painter.fillRect(QRect(mask.x, mask.y, mask.w, mask.h), Qt::black);
            }
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
        const Finished again = generate(rs3, input, output);
        QCOMPARE(again.code, 2);
        QVERIFY2(lastLine(again.output).startsWith(QStringLiteral("Error: Cannot read artwork")), qPrintable(again.output));
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
        const Finished run = generate(rs3, input, output);
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

    void badInputFailsWithOneLine_data()
    {
        QTest::addColumn<QString>("input"); // "demo", or a file name of hostile content
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("output"); // relative to the work folder
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a zip") << QStringLiteral("text.zconf2") << QStringLiteral("mxg_12")
                                   << QStringLiteral("out.zconf2") << QStringLiteral("Error: Not a zip archive");
        QTest::newRow("unknown device") << QStringLiteral("demo") << QStringLiteral("mxq_99")
                                        << QStringLiteral("out.zconf2") << QStringLiteral("Error: Unknown device");
        QTest::newRow("no page of the device") << QStringLiteral("demo") << QStringLiteral("solo2dl")
                                               << QStringLiteral("out.zconf2")
                                               << QStringLiteral("Error: No page of the solo2dl family");
        QTest::newRow("output folder is a file") << QStringLiteral("demo") << QStringLiteral("mxg_12")
                                                 << QStringLiteral("blocked/out.zconf2")
                                                 << QStringLiteral("Error: Cannot write");
        QTest::newRow("already an output") << QStringLiteral("Demo_INVISIBLE_CHROME.zconf2")
                                           << QStringLiteral("mxg_12") << QStringLiteral("out.zconf2")
                                           << QStringLiteral("Error: The input is already an invisible-chrome");
        QTest::newRow("set folder blocked") << QStringLiteral("demo") << QStringLiteral("mxg_12")
                                            << QStringLiteral("out.zconf2")
                                            << QStringLiteral("Error: Cannot clean output folder");
    }

    void badInputFailsWithOneLine()
    {
        QFETCH(QString, input);
        QFETCH(QString, device);
        QFETCH(QString, output);
        QFETCH(QString, reason);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("bad"));
        Rs3Fixture rs3;
        QString path = ConfigFixture::demoArchiveCopy(work);
        if (input == QLatin1String("text.zconf2"))
            QVERIFY(ZipFixture::writeTree(work, {{input, "just some text, not an archive\n"}}));
        if (input != QLatin1String("demo")) {
            const QString renamed = work + QLatin1Char('/') + input;
            QVERIFY(QFile::exists(renamed) || QFile::rename(path, renamed));
            path = renamed;
        }
        // A file where a folder should be: CI runs as root, so modes would not stop a write.
        QVERIFY(ZipFixture::writeTree(work, {{"blocked", "a file"}}));
        if (QByteArray(QTest::currentDataTag()) == "set folder blocked")
            QVERIFY(rs3.writeFile(Rs3Fixture::Stable, "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew",
                                  "a file"));
        const QMap<QString, QByteArray> before = ZipFixture::readTree(work);

        const Finished run = generate(rs3, path, work + QLatin1Char('/') + output, device);
        QVERIFY2(run.code > 0, qPrintable(run.output));
        QVERIFY2(lastLine(run.output).startsWith(reason), qPrintable(run.output));
        QCOMPARE(run.output.count(QStringLiteral("Error:")), 1);
        QCOMPARE(ZipFixture::readTree(work), before); // no output, no partial file
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
        asker.onExec = [](QDialog*) { return int(QDialog::Accepted); };

        window.generateInvisibleChrome(QFileInfo(m_exe).absolutePath());

        const QString output = work + QStringLiteral("/Chrome_invisible_chrome.zconf2");
        QVERIFY(!asker.asked.isEmpty());
        QCOMPARE(asker.asked.last().title, QStringLiteral("Generate Invisible Chrome"));
        QVERIFY2(asker.asked.last().text.startsWith(QStringLiteral("Invisible chrome config saved to:\n") + output),
                 qPrintable(asker.asked.last().text));
        DashConfig baked;
        QVERIFY(baked.load(output));
        QVERIFY(baked.pageImagePaths(0).value(0).contains(QStringLiteral("zchrome_Chrome_invisible_chrome")));
        QCOMPARE(baked.pages[0].background.toImage().pixelColor(423, 43), QColor(20, 40, 200));
        QCOMPARE(masksWithLabelTexts(baked), 0); // the window handed the label texts over

        // A homebrew folder the script cannot clear: the advice to close RS3.
        const QString homebrew = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew");
        QVERIFY(QDir(rs3.absolutePath(Rs3Fixture::Stable, homebrew)).removeRecursively());
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, homebrew, "a file"));
        window.generateInvisibleChrome(QFileInfo(m_exe).absolutePath());
        QVERIFY2(asker.asked.last().text.startsWith(
                     QStringLiteral("The invisible-chrome output folder could not be cleaned before writing.")),
                 qPrintable(asker.asked.last().text));
    }
};

KORV_TEST_MAIN(InvisibleChromeTest)
#include "tst_invisiblechrome.moc"
