// Paints a synthetic 800 x 480 page of 40 masks and 100 widgets (RS3 mask
// artwork, styled box images, artwork and vector bars, digits and labels with
// live sample values) and prints the time per frame as a share of the 33 ms
// sample clock: warm (every picture cached, as during playback) and right
// after the render caches were emptied (as after every edit).

#include "artwork/BoxStyleRenderer.h"
#include "canvas/DashCanvas.h"
#include "canvas/SampleDataSource.h"
#include "model/DashConfig.h"
#include "model/InstallRoots.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kColumns = 8;
constexpr int kRows = 5;
constexpr int kMasks = kColumns * kRows; // 40
constexpr int kMaskW = 100;
constexpr int kMaskH = 96;
constexpr double kBudgetMs = 33.0;
const char* const kSet = "aim/resources/overlay/mxg_12/masks/set/standard/s99_bench/";

bool writePng(const QString& path, const QSize& size, const QColor& from, const QColor& to)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, size.width(), size.height());
        gradient.setColorAt(0, from);
        gradient.setColorAt(1, to);
        painter.setBrush(gradient);
        painter.setPen(QPen(Qt::white, 2));
        painter.drawRoundedRect(QRectF(1, 1, size.width() - 2, size.height() - 2), 8, 8);
    }
    return QDir().mkpath(QFileInfo(path).absolutePath()) && image.save(path, "PNG");
}

QByteArray param(const char* name, const QByteArray& value)
{
    return QByteArray("<p n=\"") + name + "\">" + value + "</p>";
}

QByteArray num(int v)
{
    return QByteArray::number(v);
}

// Masks alternate between RS3 artwork (even) and a styled box image (odd).
// Every mask holds a Label and a Digit; every second one a bar as well, half
// of them artwork bars, the others vector or trapezoid bars.
QByteArray pageXml()
{
    static const char* const channels[] = { "RPM", "Speed", "Water Temp", "Oil Press", "Lap Time",
                                            "Gear", "Fuel Level", "Throttle", "Brake Press", "Lambda" };
    QByteArray xml = "<e c=\"GPageParam\" i=\"p00\">";
    for (int m = 0; m < kMasks; ++m) {
        const QByteArray folder = QByteArray(kSet) + "m" + num(m) + "/";
        const QByteArray channel = channels[m % 10];
        xml += "<e c=\"GMaskParam\" i=\"md." + num(m) + "\">";
        xml += param("XPOS", num((m % kColumns) * kMaskW)) + param("YPOS", num((m / kColumns) * kMaskH));
        xml += param("WIDTH", num(kMaskW)) + param("HEIGHT", num(kMaskH)) + param("ORDINE", num(m + 1));
        if (m % 2 == 0)
            xml += param("PATH_REL_AiM_MASK", folder);
        xml += "<e c=\"Axis\" i=\"00\">" + param("lnm", channel) + param("shn", channel) + param("NDEC_SCELTO", "1")
            + "</e>";
        xml += "<e c=\"Label\" i=\"" + num(m) + "_l\">" + param("XPOS", "50") + param("YPOS", "4") + param("WIDTH", "0")
            + param("HEIGHT", "0") + param("POS_ALIGN", "tc") + param("CHARSET_DIM", "14")
            + param("COLORE", "0xffc8c8c8") + param("TEXT", channel) + "</e>";
        xml += "<e c=\"Digit\" i=\"" + num(m) + "_d\">" + param("XPOS", "5") + param("YPOS", "60")
            + param("WIDTH", "90") + param("HEIGHT", "40") + param("POS_ALIGN", "bc") + param("AXIS_REF", "00")
            + param("CHAR_SET_ID_2", "Digit_H36") + param("CHARSET_DIM", "36") + param("NUM_CHARS", "5")
            + param("COLORE", "0xffffffff") + "</e>";
        if (m % 4 == 0) {
            xml += "<e c=\"Bargraph\" i=\"" + num(m) + "_bar\">" + param("XPOS", "5") + param("YPOS", "66")
                + param("WIDTH", "90") + param("HEIGHT", "20") + param("AXIS_REF", "00") + param("XStart1", "0")
                + param("YStart1", "0") + param("XStart2", "0") + param("YStart2", "20") + param("XEnd1", "90")
                + param("YEnd1", "0") + param("XEnd2", "90") + param("YEnd2", "20")
                + "<e c=\"ScaleFSV\" i=\"00\">" + param("PATH_IMG_OFF", "off.png")
                + "<e c=\"StepScale\" i=\"0\">" + param("PATH_IMG_ON", "on.png") + param("POS_VAL_SCALA", "0")
                + param("VAL_SCALA", "0") + "</e><e c=\"StepScale\" i=\"1\">" + param("POS_VAL_SCALA", "100")
                + param("VAL_SCALA", "8000") + "</e></e></e>";
        } else if (m % 4 == 2) {
            xml += QByteArray("<e c=\"") + (m % 8 == 2 ? "BargraphTrapezio" : "Bargraph") + "\" i=\"" + num(m)
                + "_bar\">" + param("XPOS", "5") + param("YPOS", "66") + param("WIDTH", "90") + param("HEIGHT", "20")
                + param("AXIS_REF", "00") + param("COL", "0xff00c800") + param("ScaleFSV", "8000") + "</e>";
        }
        xml += "</e>";
    }
    return xml + "</e>";
}

bool writeArtwork(const QString& overlayRoot)
{
    const QString set = overlayRoot + QLatin1Char('/') + QString::fromLatin1(kSet).mid(int(qstrlen("aim/resources/overlay/")));
    for (int m = 0; m < kMasks; m += 2) {
        const QString folder = set + QStringLiteral("m%1/").arg(m);
        if (!writePng(folder + "mask.png", QSize(kMaskW, kMaskH), QColor(30, 30, 60), QColor(60, 20, 20))
            || !writePng(folder + "on.png", QSize(90, 20), QColor(0, 220, 0), QColor(220, 0, 0))
            || !writePng(folder + "off.png", QSize(90, 20), QColor(40, 40, 40), QColor(70, 70, 70)))
            return false;
    }
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Runs `tick` from a timer on the sample clock for `ticks` ticks and returns
// the CPU the whole process spent meanwhile (every thread, Qt's pool
// included) as a share of one core.
double cpuShareOnClock(const std::function<void()>& tick, int ticks)
{
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    int left = ticks;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&]() {
        tick();
        if (--left == 0)
            loop.quit();
    });
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = processCpuMs();
    timer.start(int(kBudgetMs));
    loop.exec();
    timer.stop();
    return (processCpuMs() - cpu0) / (double(wall.nsecsElapsed()) / 1e6);
}

// The least a shown widget costs on the sample clock: the grey and the page
// repainted with one full-page picture at every tick.
class BaselinePage : public QWidget {
public:
    BaselinePage()
        : m_background(800, 480)
    {
        m_background.fill(QColor(20, 20, 40));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(50, 50, 50));
        painter.drawPixmap(QRect(10, 10, 800, 480), m_background);
    }

private:
    QPixmap m_background;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Settings of our own, so no real RS3 install takes part.
    QCoreApplication::setOrganizationName(QStringLiteral("Korvelanto bench"));
    QCoreApplication::setApplicationName(QStringLiteral("paint_bench"));

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "paint_bench: no temporary folder\n");
        return 1;
    }
    const QString overlay = dir.path() + QStringLiteral("/aim/resources/overlay");
    setLocalOverlayRootOverride(overlay);
    if (!writeArtwork(overlay)) {
        std::fprintf(stderr, "paint_bench: could not write the artwork\n");
        return 1;
    }

    pugi::xml_document doc;
    const QByteArray xml = pageXml();
    if (!doc.load_buffer(xml.constData(), size_t(xml.size()))) {
        std::fprintf(stderr, "paint_bench: page XML does not parse\n");
        return 1;
    }
    DashConfig parser;
    PageModel page;
    int widgets = 0;
    for (pugi::xml_node m = doc.first_child().child("e"); m; m = m.next_sibling("e")) {
        page.masks.push_back(parser.parseMask(m));
        widgets += int(page.masks.back().widgets.size());
    }

    SampleDataSource samples;
    DashCanvas canvas;
    canvas.resize(820, 500); // the page at scale 1
    canvas.setPage(&page);
    canvas.setDataSource(&samples);
    canvas.setMaskImageProvider([&page](int index) {
        if (index % 2 == 0 || index >= int(page.masks.size()))
            return QImage();
        const MaskElement& mask = page.masks[size_t(index)];
        return BoxStyleRenderer::render(QSize(mask.w, mask.h), QStringLiteral("gradient_steel"),
                                        QColor(0, 160, 255), 0, QStringLiteral("VAL"), QColor());
    });

    QImage frame(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    double t = 0.0;
    // One playback frame: the time advances by one sample-clock tick and the
    // page is painted as the canvas paints it on screen.
    const auto paintOne = [&]() {
        t += 0.033;
        canvas.setTime(t); // the canvas is not shown, so this only stores the time
        QElapsedTimer timer;
        timer.start();
        QPainter painter(&frame);
        canvas.paintPage(painter);
        painter.end();
        return double(timer.nsecsElapsed()) / 1e6;
    };

    // KORV_BENCH_FRAMES shortens the run, for a profiler.
    const int frames = qEnvironmentVariableIsSet("KORV_BENCH_FRAMES") ? qEnvironmentVariableIntValue("KORV_BENCH_FRAMES") : 300;
    paintOne(); // fills the caches
    std::vector<double> warm;
    for (int i = 0; i < frames; ++i)
        warm.push_back(paintOne());
    std::vector<double> cold;
    for (int i = 0; i < std::max(frames / 10, 1); ++i) {
        canvas.invalidateRenderCaches();
        cold.push_back(paintOne());
    }
    const double warmMs = median(warm);
    const double coldMs = median(cold);

    // The live look: no editor outlines.
    canvas.previewMode = true;
    paintOne();
    std::vector<double> live;
    for (int i = 0; i < frames; ++i)
        live.push_back(paintOne());
    const double liveMs = median(live);
    canvas.previewMode = false;

    // Baseline in the same process: the least any frame costs, the canvas's
    // grey and the page filled and one full-page picture drawn over them.
    // Qt spreads large fills over its thread pool, so on a busy machine both
    // numbers grow together; the ratio stays comparable between runs.
    QPixmap background(800, 480);
    background.fill(QColor(20, 20, 40));
    std::vector<double> base;
    for (int i = 0; i < frames; ++i) {
        QElapsedTimer timer;
        timer.start();
        QPainter painter(&frame);
        painter.fillRect(frame.rect(), QColor(50, 50, 50));
        painter.fillRect(QRect(10, 10, 800, 480), Qt::black);
        painter.drawPixmap(QRect(10, 10, 800, 480), background);
        painter.end();
        base.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double baseMs = median(base);

    // Playback as the user sees it: the canvas shown, the time advanced by
    // a timer on the sample clock; the CPU of the whole process counts.
    canvas.previewMode = true;
    canvas.show();
    BaselinePage baselinePage;
    baselinePage.resize(canvas.size());
    baselinePage.show();
    QCoreApplication::processEvents();
    const int ticks = 45;
    std::vector<double> playback;
    std::vector<double> playbackBase;
    for (int r = 0; r < (frames < 300 ? 1 : 5); ++r) {
        const auto ours = [&]() { playback.push_back(cpuShareOnClock([&]() { canvas.setTime(t += 0.033); }, ticks)); };
        const auto theirs = [&]() { playbackBase.push_back(cpuShareOnClock([&]() { baselinePage.repaint(); }, ticks)); };
        if (r % 2 == 0) {
            ours();
            theirs();
        } else {
            theirs();
            ours();
        }
    }
    const double playbackShare = *std::min_element(playback.begin(), playback.end());
    const double playbackBaseShare = *std::min_element(playbackBase.begin(), playbackBase.end());
    canvas.hide();
    canvas.previewMode = false;

    std::printf("paint_bench: %d masks, %d widgets on an 800 x 480 page\n", int(page.masks.size()), widgets);
    std::printf("  warm frame:                    %7.3f ms = %5.1f%% of the %.0f ms sample clock\n", warmMs,
                100.0 * warmMs / kBudgetMs, kBudgetMs);
    std::printf("  after a cache invalidation:    %7.3f ms = %5.1f%% of the %.0f ms sample clock\n", coldMs,
                100.0 * coldMs / kBudgetMs, kBudgetMs);
    std::printf("  warm frame, live look:         %7.3f ms = %5.1f%% of the %.0f ms sample clock\n", liveMs,
                100.0 * liveMs / kBudgetMs, kBudgetMs);
    std::printf("  baseline (background only):    %7.3f ms = %5.1f%% of the %.0f ms sample clock\n", baseMs,
                100.0 * baseMs / kBudgetMs, kBudgetMs);
    std::printf("  warm / baseline:               %7.2f\n", warmMs / baseMs);
    std::printf("  invalidated / warm:            %7.2f\n", coldMs / warmMs);
    std::printf("  playback, baseline widget:     %5.1f%% of one core (best of 5)\n", 100.0 * playbackBaseShare);
    std::printf("row: warm editor frame                       %5.1f%% of 33 ms  (x%.2f baseline)  goal <= 3%%\n",
                100.0 * warmMs / kBudgetMs, warmMs / baseMs);
    std::printf("row: sample-data playback, 40 masks, 33 ms   %5.1f%% of one core  (x%.2f baseline)  goal <= 5%%\n",
                100.0 * playbackShare, playbackShare / playbackBaseShare);
    return 0;
}
