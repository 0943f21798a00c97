// Fifty undos and fifty redos of a stock bar's resizes, and the close of the
// file after them, against the fifty resizes themselves, each drawing a fit
// of a size no earlier one had, in the demo's two RaceStudio 3 installs. An
// undo only points the bar back at the art it had and a redo at its fit,
// which stays in the installs, so taking the steps back and forth should
// cost well below drawing them, and the close nothing. Each round opens a
// copy of the demo of its own. The times are printed too, to set beside a
// build of an older commit running this same file. HOME, the settings and
// both installs live in a temporary folder.

#include "DemoBar.h"
#include "editing/MoveCommand.h"
#include "support/Rs3Fixture.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kSteps = 50;
constexpr int kRounds = 9;
constexpr int kWarmups = 2;

double timed(const std::function<void()>& run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    prepareDemoBench();
    QGuiApplication app(argc, argv);
    Rs3Fixture rs3;
    if (!rs3.addDemoStock(Rs3Fixture::Stable) || !rs3.addDemoStock(Rs3Fixture::Beta)) {
        std::fprintf(stderr, "undo_redo_resize_bench: could not set up the demo\n");
        return 1;
    }
    std::vector<double> drawn, stepped, closed;
    for (int round = 0; round < kWarmups + kRounds; ++round) {
        DemoBar bar;
        if (!bar.open()) {
            std::fprintf(stderr, "undo_redo_resize_bench: could not open the demo\n");
            return 1;
        }
        const int width = bar.bar().w;
        const int height = bar.bar().h;
        // Each round's resizes draw fits of a height of its own: none is
        // found drawn already.
        const double draw = timed([&] {
            for (int i = 1; i <= kSteps; ++i) {
                const MaskElement& m = bar.bar();
                bar.stack.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, width - i, height + round + 1,
                                               bar.config.get(), 0, bar.mask, false, true));
            }
        });
        const double step = timed([&] {
            for (int i = 0; i < kSteps; ++i)
                bar.stack.undo();
            for (int i = 0; i < kSteps; ++i)
                bar.stack.redo();
        });
        const double close = timed([&] {
            bar.stack.clear();
            bar.config.reset();
        });
        if (round < kWarmups)
            continue;
        drawn.push_back(draw);
        stepped.push_back(step);
        closed.push_back(close);
    }
    const double d = median(drawn);
    const double s = median(stepped);
    const double c = median(closed);
    std::printf("undo_redo_resize_bench: %d resizes of a stock bar, in both installs (median of %d rounds)\n", kSteps,
                kRounds);
    std::printf("the %d resizes drawn %8.1f ms\n%d undos + %d redos %8.1f ms   ratio %6.3f   goal <= 0.5\n"
                "close after them %8.1f ms\n",
                kSteps, d, kSteps, kSteps, s, s / d, c);
    return 0;
}
