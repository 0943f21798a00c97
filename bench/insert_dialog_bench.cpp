// Opens the "Insert Element" dialog over a fake RS3 install of 2,000 stock
// elements (laid out as tests/support builds them) and prints the time
// relative to opening a QDialog with the same empty columns. Both are shown
// offscreen and measured in this run, interleaved. HOME, the settings and
// the install live in a temporary folder.

#include "bench/InterleavedMedians.h"
#include "model/DashConfig.h"
#include "panels/AddElementDialog.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace {

constexpr int kElements = 2000;
constexpr double kGoal = 2.0;

// Item k of the install: 20 sets of 10 pages of 10 items, digits, bars and
// labels in turn.
bool buildInstall(const Rs3Fixture& rs3, const QString& family)
{
    for (int k = 0; k < kElements; ++k) {
        const QString rel = QStringLiteral("aim/resources/overlay/%1/masks/set/standard/s%2/p%3/Items/item%4")
                                .arg(family)
                                .arg(k / 100, 2, 10, QLatin1Char('0'))
                                .arg((k / 10) % 10)
                                .arg(k % 10);
        FixtureElement mask = Fx::mask(QStringLiteral("m%1").arg(k), 0, 0, 120, 60);
        switch (k % 3) {
        case 0:
            mask.add(Fx::axis(QStringLiteral("00"), QStringLiteral("RPM"))).add(Fx::digit("01", 0, 0, 120, 60, "00"));
            break;
        case 1:
            mask.add(Fx::bargraph(QStringLiteral("01"), 0, 0, 120, 60, QString(), true));
            break;
        default:
            mask.add(Fx::label(QStringLiteral("01"), QStringLiteral("Hi"), 0, 0, 120, 60));
            break;
        }
        if (!rs3.addMaskItem(Rs3Fixture::Stable, rel, mask.toXml(2)))
            return false;
    }
    return true;
}

// The dialog's frame without its content.
void openEmptyDialog()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Insert Element"));
    dialog.resize(820, 520);
    auto* layout = new QVBoxLayout(&dialog);
    auto* columns = new QHBoxLayout;
    columns->addWidget(new QListWidget(&dialog), 1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(new QLineEdit(&dialog));
    middle->addWidget(new QListWidget(&dialog));
    columns->addLayout(middle, 2);
    auto* view = new QGraphicsView(new QGraphicsScene(&dialog), &dialog);
    view->setFixedSize(200, 200);
    columns->addWidget(view, 0);
    layout->addLayout(columns);
    layout->addWidget(new QLabel(QStringLiteral("Pick a type and a channel."), &dialog));
    layout->addWidget(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog));
    dialog.show();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    Rs3Fixture rs3;
    const QString family = QStringLiteral("mxg_12");
    if (!buildInstall(rs3, family)) {
        std::fprintf(stderr, "insert_dialog_bench: could not build the install\n");
        return 1;
    }
    DashConfig config;
    config.deviceName = QStringLiteral("MXG 1.2");
    config.pages.emplace_back();
    config.pages.back().relPagePath = QStringLiteral("aim/resources/overlay/%1/masks/page1/").arg(family);

    int types = 0;
    const auto openDialog = [&] {
        AddElementDialog dialog(&config, 0);
        dialog.show();
        QApplication::processEvents();
        types = int(dialog.typeEntries().size());
    };
    const Medians m = interleavedMedians(openDialog, openEmptyDialog, 5, 3, 2);
    std::printf("insert_dialog_bench: %d stock elements, %d types offered\n", kElements, types);
    std::printf("Insert Element open %8.1f ms   empty QDialog %8.1f ms   ratio %.2f   goal <= %.1f\n",
                m.ours / 1e6, m.base / 1e6, m.ours / m.base, kGoal);
    return 0;
}
