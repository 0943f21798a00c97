// Fifty undos and fifty redos of a stock bar's resizes against the fifty
// resizes themselves, each drawing a fit of a size no earlier one had, in
// the demo's two RaceStudio 3 installs, measured in this run. An undo only
// points the bar back and a redo finds its fit again, so taking the steps
// back and forth should cost well below drawing them. HOME, the settings
// and both installs live in a temporary folder.

#include "DemoBar.h"
#include "InterleavedMedians.h"
#include "editing/MoveCommand.h"
#include "support/Rs3Fixture.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

constexpr int kSteps = 50;
constexpr int kRounds = 9;
constexpr int kWarmups = 2;

// The demo's stock bar, and the size it was opened with.
struct Bar : DemoBar {
    int width = 0;
    int height = 0;

    bool open()
    {
        if (!DemoBar::open())
            return false;
        width = bar().w;
        height = bar().h;
        return true;
    }

    // Fifty resizes, one pixel narrower each, at a height of this run's own.
    void resizes(int tallerBy)
    {
        for (int i = 1; i <= kSteps; ++i) {
            const MaskElement& m = bar();
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

} // namespace

int main(int argc, char** argv)
{
    prepareDemoBench();
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
    // Each run of resizes draws fits of a height of its own: none is found
    // drawn already.
    int taller = 0;
    const Medians m = interleavedMedians([&] { stepped.undosAndRedos(); }, [&] { drawn.resizes(++taller); }, kRounds,
                                         1, kWarmups);
    const double o = m.ours;
    const double b = m.base;
    std::printf("undo_redo_resize_bench: %d resizes of a stock bar, in both installs\n", kSteps);
    std::printf("%d undos + %d redos %8.1f ms   the %d resizes drawn %8.1f ms   ratio %6.3f   goal <= 0.5\n", kSteps,
                kSteps, o / 1e6, kSteps, b / 1e6, o / b);
    return 0;
}
