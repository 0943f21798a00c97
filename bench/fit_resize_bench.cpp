// A resize of a stock bar whose item holds 200 pictures more against the
// same resize of a bar whose item holds only the demo bar's own, both in
// the demo's two RaceStudio 3 installs, measured in this run. A resize
// fits what the element shows, so the pictures the item holds besides
// should cost next to nothing. Each call is a resize to a width no call had
// before (a fit stays in the installs, and one of a width drawn already is
// only found again) and its undo. HOME, the settings and both installs live
// in a temporary folder.

#include "DemoBar.h"
#include "InterleavedMedians.h"
#include "editing/MoveCommand.h"
#include "support/Rs3Fixture.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

namespace {

constexpr int kPictures = 200;

int pictureCount(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.png"), QStringLiteral("*.tgz")}, QDir::Files).size();
}

// The demo's stock bar item copied beside it, with pictures of its size
// added up to `pictures`; its install-relative folder.
QString barItemHolding(const Rs3Fixture& rs3, const QString& name, int pictures)
{
    const QString rel = DemoStock::itemPath(QStringLiteral("s02/p01/Items/") + name + QLatin1Char('/'));
    for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
        const QString from = rs3.absolutePath(root, DemoStock::barItem());
        for (const QString& file : QDir(from).entryList(QDir::Files)) {
            if (!rs3.writeFile(root, rel + file, TestFiles::readBytes(from + file)))
                return {};
        }
        const QByteArray picture = TestFiles::readBytes(from + QStringLiteral("mask.png"));
        for (int i = 0; pictureCount(rs3.absolutePath(root, rel)) < pictures; ++i) {
            if (!rs3.writeFile(root, rel + QStringLiteral("extra_%1.png").arg(i, 3, 10, QLatin1Char('0')), picture))
                return {};
        }
    }
    return rel;
}

// A window's worth of the demo, its lying bar pointing at `item`.
struct Bar : DemoBar {
    bool open(const QString& item)
    {
        if (!DemoBar::open())
            return false;
        setParam(bar().node, "PATH_REL_AiM_MASK", item.toUtf8());
        return true;
    }

    int narrower = 20;

    void resizeAndUndo()
    {
        const MaskElement& m = bar();
        stack.push(new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, m.w - ++narrower, m.h, config.get(), 0, mask,
                                   false, true));
        stack.undo();
        stack.clear();
    }
};

} // namespace

int main(int argc, char** argv)
{
    prepareDemoBench();
    QGuiApplication app(argc, argv);
    Rs3Fixture rs3;
    if (!rs3.addDemoStock(Rs3Fixture::Stable) || !rs3.addDemoStock(Rs3Fixture::Beta)) {
        std::fprintf(stderr, "fit_resize_bench: could not write the demo's installs\n");
        return 1;
    }
    const QString small = barItemHolding(rs3, QStringLiteral("b_hbar_2"), 0);
    const QString large = barItemHolding(rs3, QStringLiteral("b_hbar_200"), kPictures);
    Bar few;
    Bar many;
    if (small.isEmpty() || large.isEmpty() || !few.open(small) || !many.open(large)) {
        std::fprintf(stderr, "fit_resize_bench: could not set up the two bars\n");
        return 1;
    }
    const int fewPictures = pictureCount(rs3.absolutePath(Rs3Fixture::Stable, small));
    const int manyPictures = pictureCount(rs3.absolutePath(Rs3Fixture::Stable, large));
    const Medians m = interleavedMedians([&] { many.resizeAndUndo(); }, [&] { few.resizeAndUndo(); }, 9, 3, 2);
    std::printf("fit_resize_bench: a stock bar resized and undone, in both installs\n");
    std::printf("item of %d pictures %8.2f ms   item of %d pictures %8.2f ms   ratio %5.2f   goal <= 2\n",
                manyPictures, m.ours / 1e6, fewPictures, m.base / 1e6, m.ours / m.base);
    return 0;
}
