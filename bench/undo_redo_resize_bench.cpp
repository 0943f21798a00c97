// Fifty undos and fifty redos of a stock bar's resizes against the fifty
// resizes themselves, each drawing a fit of a size no earlier one had, in
// the demo's two RaceStudio 3 installs, measured in this run. An undo only
// points the bar back and a redo finds its fit again, so taking the steps
// back and forth should cost well below drawing them. HOME, the settings
// and both installs live in a temporary folder.

#include "DemoStock.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QUndoStack>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kSteps = 50;
constexpr int kRounds = 9;
constexpr int kWarmups = 2;

void quiet(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

// A window's worth of the demo with its stock bar.
struct Bar {
    std::unique_ptr<DashConfig> config = std::make_unique<DashConfig>();
    QUndoStack stack;
    int mask = -1;
    int width = 0;
    int height = 0;

    bool open()
    {
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("bench")));
        if (path.isEmpty() || !config->load(path))
            return false;
        for (size_t k = 0; k < config->pages[0].masks.size(); ++k) {
            if (paramValue(config->pages[0].masks[k].node, "PATH_REL_AiM_MASK") == DemoStock::barItem())
                mask = int(k);
        }
        if (mask < 0)
            return false;
        width = config->pages[0].masks[size_t(mask)].w;
        height = config->pages[0].masks[size_t(mask)].h;
        return true;
    }

    // Fifty resizes, one pixel narrower each, at a height of this run's own.
    void resizes(int tallerBy)
    {
        for (int i = 1; i <= kSteps; ++i) {
            const MaskElement& m = config->pages[0].masks[size_t(mask)];
            stack.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, width - i, height + tallerBy, config.get(), 0,
                                       mask, false, true));
        }
    }

    void undosAndRedos()
    {
        for (int i = 0; i < kSteps; ++i)
            stack.undo();
        for (int i = 0; i < kSteps; ++i)
            stack.redo();
    }
};

double nanos(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed());
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("KORV_SOURCE_DIR"))
        qputenv("KORV_SOURCE_DIR", KORV_SOURCE_DIR);
    if (qEnvironmentVariableIsEmpty("KORV_BINARY_DIR"))
        qputenv("KORV_BINARY_DIR", KORV_BINARY_DIR);
    TestEnvironment::isolate();
    qInstallMessageHandler(quiet);
    QGuiApplication app(argc, argv);
    Rs3Fixture rs3;
    Bar stepped;
    Bar drawn;
    if (!rs3.addDemoStock(Rs3Fixture::Stable) || !rs3.addDemoStock(Rs3Fixture::Beta) || !stepped.open()
        || !drawn.open()) {
        std::fprintf(stderr, "undo_redo_resize_bench: could not set up the demo\n");
        return 1;
    }
    stepped.resizes(0);
    // Each run of resizes draws fits of its own height: none is found
    // drawn already. The rounds alternate which side goes first.
    int taller = 1;
    for (int i = 0; i < kWarmups; ++i) {
        stepped.undosAndRedos();
        drawn.resizes(taller++);
    }
    std::vector<double> ours;
    std::vector<double> base;
    for (int r = 0; r < kRounds; ++r) {
        const auto timeOurs = [&] { ours.push_back(nanos([&] { stepped.undosAndRedos(); })); };
        const auto timeBase = [&] { base.push_back(nanos([&] { drawn.resizes(taller); })); };
        if (r % 2 == 0) {
            timeOurs();
            timeBase();
        } else {
            timeBase();
            timeOurs();
        }
        ++taller;
    }
    const double o = median(ours);
    const double b = median(base);
    std::printf("undo_redo_resize_bench: %d resizes of a stock bar, in both installs\n", kSteps);
    std::printf("%d undos + %d redos %8.1f ms   the %d resizes drawn %8.1f ms   ratio %6.3f   goal <= 0.5\n", kSteps,
                kSteps, o / 1e6, kSteps, b / 1e6, o / b);
    return 0;
}
