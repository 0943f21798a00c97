#include "DemoStock.h"
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
#include <QLabel>
#include <QBuffer>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QUndoStack>
#include <QtTest>

#include <memory>
#include <tuple>
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

// The generator with one failure put in its way from outside: the output's
// rename refused, or a full disk under the artwork or under the output.
// Arguments: the tools folder, the fault, then the script's own.
const char* const kFaultyRun = R"(
import errno, os, sys, zipfile
tools, fault, args = sys.argv[1], sys.argv[2], sys.argv[3:]
sys.path.insert(0, tools)
import chrome_install, make_invisible_chrome as tool
output = os.path.abspath(args[args.index("--output") + 1])
def refuse(error, *_):
    raise OSError(error, os.strerror(error))
if fault == "rename":
    replace = os.replace
    os.replace = lambda src, dst: refuse(errno.EACCES) if os.path.abspath(dst) == output else replace(src, dst)
elif fault == "art":
    chrome_install.write_file = lambda path, data: refuse(errno.ENOSPC)
elif fault == "output":
    class Full(zipfile.ZipFile):
        def __init__(self, file, mode="r", *rest, **named):
            if mode == "w":
                refuse(errno.ENOSPC)
            super().__init__(file, mode, *rest, **named)
    tool.zipfile.ZipFile = Full
sys.exit(tool.main(args))
)";

// A configuration of one small page whose only mask is a box of the colour.
bool writeBoxConfig(const QString& path, const QString& argb)
{
    ConfigFixture cfg;
    FixturePage& page = cfg.device().page(QStringLiteral("Race"));
    page.width = 240;
    page.height = 120;
    page.mask(Fx::mask(QStringLiteral("md.00"), 20, 20, 120, 60).p(QStringLiteral("M_BCOL"), argb));
    return QDir().mkpath(QFileInfo(path).absolutePath()) && cfg.writeZip(path);
}

QString chromeOutputOf(const QString& input)
{
    const QFileInfo info(input);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("_invisible_chrome.zconf2");
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

    Finished generateWithFault(const Rs3Fixture& rs3, const QString& fault, const QString& input,
                               const QString& output) const
    {
        return runProgram(m_python, {"-c", kFaultyRun, QFileInfo(m_script).absolutePath(), fault, "--input", input,
                                     "--output", output, "--device", "mxg_12"},
                          scriptEnvironment(rs3));
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
        const QString output = chromeOutputOf(input);
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

    // Outputs whose names differ only where a folder name cannot tell them
    // apart, or that lie in different folders, each keep their own art.
    void outputsOfOneNameKeepTheirArt_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("two folders") << QStringLiteral("carA/Race.zconf2") << QStringLiteral("carB/Race.zconf2");
        QTest::newRow("letters beyond ASCII") << QStringLiteral("Rennen Ä.zconf2") << QStringLiteral("Rennen Ö.zconf2");
        QTest::newRow("space and underscore") << QStringLiteral("Race 1.zconf2") << QStringLiteral("Race_1.zconf2");
    }

    void outputsOfOneNameKeepTheirArt()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("names"));
        Rs3Fixture rs3;
        const QStringList inputs{work + QLatin1Char('/') + first, work + QLatin1Char('/') + second};
        QVERIFY(writeBoxConfig(inputs[0], QStringLiteral("0xffc82828")));
        QVERIFY(writeBoxConfig(inputs[1], QStringLiteral("0xff28c828")));
        for (const QString& input : inputs) {
            const Finished run = generate(rs3, input, chromeOutputOf(input));
            QVERIFY2(run.code == 0, qPrintable(run.output));
        }
        QStringList folders;
        for (int i = 0; i < 2; ++i) {
            const QString png = work + QStringLiteral("/%1-%2.png").arg(i);
            const QImage before = render(inputs[i], 0, png.arg(QStringLiteral("before")));
            QVERIFY(!before.isNull());
            QCOMPARE(render(chromeOutputOf(inputs[i]), 0, png.arg(QStringLiteral("after"))), before);
            DashConfig baked;
            QVERIFY(baked.load(chromeOutputOf(inputs[i])));
            folders << QFileInfo(baked.pageImagePaths(0).value(0)).path();
        }
        QVERIFY(folders[0] != folders[1]);
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
        const Finished run = generate(rs3, input, chromeOutputOf(input), QStringLiteral("pdm/dash1"),
                                      work + QStringLiteral("/labels"));
        QVERIFY2(run.code == 0, qPrintable(run.output));

        DashConfig baked;
        QVERIFY(baked.load(chromeOutputOf(input)));
        QCOMPARE(masksWithLabelTexts(baked), 0);
        for (int p = 0; p < 2; ++p) {
            QVERIFY(baked.pageImagePaths(p).value(0).contains(QStringLiteral("/pdm/dash%1/").arg(p + 1)));
            const QImage before = render(input, p, work + QStringLiteral("/before%1.png").arg(p));
            const QImage after = render(chromeOutputOf(input), p, work + QStringLiteral("/after%1.png").arg(p));
            QVERIFY(!before.isNull());
            QVERIFY2(differingShare(before, after, 16) == 0.0, qPrintable(QString::number(p)));
        }
    }

    // A run that fails leaves the earlier output and its art as they were,
    // says a full disk in so many words (the window's advice to close
    // RaceStudio3 does not fit it), and removes what an interrupted run of
    // another output left.
    void failedRunKeepsTheEarlierOutput_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("output rename refused") << QStringLiteral("rename") << QStringLiteral("Error: Cannot write ");
        QTest::newRow("disk full under the art") << QStringLiteral("art")
                                                 << QStringLiteral("Error: Not enough disk space to write ");
        QTest::newRow("disk full under the output") << QStringLiteral("output")
                                                    << QStringLiteral("Error: Not enough disk space to write ");
    }

    void failedRunKeepsTheEarlierOutput()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("failed"));
        Rs3Fixture rs3;
        const QString homebrew = QStringLiteral("aim/resources/overlay/mxs_12/masks/set/standard/s04_homebrew/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, homebrew + "zbar_other/AiM_folder.xml", "another set"));
        const QString input = work + QStringLiteral("/Race.zconf2");
        QVERIFY(writeBoxConfig(input, QStringLiteral("0xffc82828")));
        const QString output = chromeOutputOf(input);
        const Finished first = generate(rs3, input, output);
        QVERIFY2(first.code == 0, qPrintable(first.output));
        const QMap<QString, QByteArray> art = rs3.snapshot();
        const QByteArray written = ZipFixture::readZip(output).value(QStringLiteral("dash/overlay.ov3.xml"));
        QVERIFY(!written.isEmpty());

        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, homebrew + "zchrome_Other_0123456789_4.partial/AiM_folder.xml", "x"));
        QVERIFY(writeBoxConfig(input, QStringLiteral("0xff28c828")));
        const Finished again = generateWithFault(rs3, fault, input, output);
        QCOMPARE(again.code, 1);
        QVERIFY2(lastLine(again.output).startsWith(reason), qPrintable(again.output));
        QVERIFY(!again.output.contains(QStringLiteral("close RaceStudio3"), Qt::CaseInsensitive));
        QCOMPARE(rs3.snapshot(), art);
        QCOMPARE(ZipFixture::readZip(output).value(QStringLiteral("dash/overlay.ov3.xml")), written);
        QVERIFY(!QFileInfo::exists(output + QStringLiteral(".partial")));
    }

    // Without the roots from the window the script looks where the editor
    // does by default: off Windows, inside the Wine prefix.
    void findsTheInstallInTheWinePrefix()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("wine"));
        Rs3Fixture rs3;
        const QString input = work + QStringLiteral("/Race.zconf2");
        QVERIFY(writeBoxConfig(input, QStringLiteral("0xffc82828")));
        const QString prefix = work + QStringLiteral("/prefix");
        QVERIFY(QDir().mkpath(prefix + QStringLiteral("/drive_c/AIM_SPORT")));
        QVERIFY(QFile::link(rs3.root(Rs3Fixture::Stable), prefix + QStringLiteral("/drive_c/AIM_SPORT/RaceStudio3")));
        QProcessEnvironment environment = scriptEnvironment(rs3);
        for (const char* name : {"KORVELANTO_RS3_ROOT", "KORVELANTO_RS3_BETA_ROOT", "KORVELANTO_LOCAL_OVERLAY_ROOT"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("WINEPREFIX"), prefix);
        const Finished run = runProgram(m_python, {m_script, "--input", input, "--output", chromeOutputOf(input),
                                                   "--device", "mxg_12"},
                                        environment);
        QVERIFY2(run.code == 0, qPrintable(run.output));
        DashConfig baked;
        QVERIFY(baked.load(chromeOutputOf(input)));
        QVERIFY(DashConfig::resolveRs3Path(baked.pageImagePaths(0).value(0))
                    .startsWith(rs3.root(Rs3Fixture::Stable) + QLatin1Char('/')));
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
        // With an edit not saved, the confirmation says the output leaves it out.
        auto* history = window.findChild<QUndoStack*>();
        history->push(new QUndoCommand(QStringLiteral("an edit")));
        QString confirmation;
        asker.onExec = [&confirmation](QDialog* dialog) {
            confirmation = dialog->findChild<QLabel*>()->text();
            return int(QDialog::Rejected);
        };
        window.generateInvisibleChrome(QFileInfo(m_exe).absolutePath());
        QVERIFY2(confirmation.contains(QStringLiteral("not saved are left out")), qPrintable(confirmation));
        history->undo();
        asker.onExec = [&confirmation](QDialog* dialog) {
            confirmation = dialog->findChild<QLabel*>()->text();
            return int(QDialog::Accepted);
        };

        window.generateInvisibleChrome(QFileInfo(m_exe).absolutePath());
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
