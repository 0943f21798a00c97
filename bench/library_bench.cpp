// Opens the AIM Element Library over 1,750 catalogued elements of a fake RS3
// install (laid out as tests/support builds them) and prints the first open,
// the best of five later ones and what a later open costs per 1,000
// elements: the slope between later opens of the full catalog and of one cut
// to its first 250 elements, opened in turn. An empty QDialog opened the same
// way is printed beside. HOME, the settings, the catalog and the install live
// in a temporary folder.

#include "bench/InterleavedMedians.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementLibraryDialog.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kElements = 1750;
constexpr int kFewer = 250;

bool buildInstall(const Rs3Fixture& rs3)
{
    static const QStringList kinds[] = {{"Digit"}, {"BargraphTrapezio"}, {"Ring", "Digit"}, {"AiM_Icona"}};
    for (int k = 0; k < kElements; ++k) {
        const QString rel = QStringLiteral("aim/resources/overlay/mxs_12/masks/set/standard/s%1/p%2/Items/item%3/")
                                .arg(k / 100)
                                .arg((k / 10) % 10)
                                .arg(k);
        const QSize size = k % 2 ? QSize(200, 200) : QSize(300, 60);
        const QStringList extra = k % 4 == 2 ? QStringList{"scala_rpm_ON_8.png"} : QStringList{};
        if (!rs3.addNativeElement(Rs3Fixture::Stable, rel, kinds[k % 4], size, extra, QColor::fromHsv(k % 360, 200, 220)))
            return false;
    }
    return true;
}

double openMs()
{
    QElapsedTimer timer;
    timer.start();
    ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
    dialog.show();
    QApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

double emptyMs()
{
    QElapsedTimer timer;
    timer.start();
    QDialog dialog;
    dialog.resize(980, 640);
    dialog.show();
    QApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The catalog file cut to its first `count` elements.
QByteArray cutCatalog(const QByteArray& json, int count)
{
    QJsonObject top = QJsonDocument::fromJson(json).object();
    QJsonArray items = top.value(QLatin1String("items")).toArray();
    while (items.size() > count)
        items.removeLast();
    top.insert(QStringLiteral("items"), items);
    return QJsonDocument(top).toJson(QJsonDocument::Compact);
}

bool useCatalog(const QByteArray& json)
{
    QFile file(ElementCatalog::catalogPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size())
        return false;
    file.close();
    ElementCatalog::resetForTesting();
    return ElementCatalog::load();
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    Rs3Fixture rs3;
    const bool built = buildInstall(rs3);
    const int indexed = built ? ElementCatalog::rebuild() : -1;
    if (indexed != kElements) {
        std::fprintf(stderr, "library_bench: %d of %d elements catalogued\n", indexed, kElements);
        return 1;
    }
    QFile saved(ElementCatalog::catalogPath());
    const QByteArray all = saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
    const QByteArray fewer = cutCatalog(all, kFewer);
    const double first = openMs();
    double later = 1e9;
    double fewerLater = 1e9;
    double empty = 1e9;
    for (int round = 0; round < 5; ++round) {
        if (!useCatalog(all))
            return 1;
        later = std::min(later, openMs());
        if (!useCatalog(fewer) || ElementCatalog::entries().size() != kFewer)
            return 1;
        fewerLater = std::min(fewerLater, openMs());
        empty = std::min(empty, emptyMs());
    }
    const double perThousand = (later - fewerLater) * 1000.0 / (kElements - kFewer);
    std::printf("library_bench: %d catalogued elements\n", kElements);
    std::printf("Element Library first open %8.1f ms   later open (best of 5) %8.1f ms   goal <= 100 ms\n", first,
                later);
    std::printf("later open per 1,000 elements %8.1f ms   goal <= 5 ms   (%d elements %.1f ms, empty QDialog %.1f ms)\n",
                perThousand, kFewer, fewerLater, empty);
    return 0;
}
