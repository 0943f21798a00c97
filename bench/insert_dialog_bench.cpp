// Opens the "Insert Element" dialog over a fake RS3 install of 2,000 stock
// elements (laid out as tests/support builds them) and prints the time
// relative to opening a comparable QDialog: the same widgets, empty. Both are shown
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
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>
#include <cstdio>
#include <thread>

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

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::RichText);
    return label;
}

// A comparable dialog: the same widgets, layouts, texts and style sheets as
// "Insert Element", with empty lists and an empty preview scene, so the
// ratio is what the stock scan and the filled lists cost.
void openEmptyDialog()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Insert Element"));
    dialog.resize(820, 520);
    auto* layout = new QVBoxLayout(&dialog);
    auto* columns = new QHBoxLayout;

    auto* typeColumn = new QWidget(&dialog);
    auto* typeLayout = new QVBoxLayout(typeColumn);
    typeLayout->setContentsMargins(0, 0, 0, 0);
    typeLayout->addWidget(heading(QStringLiteral("<b>Type</b>"), typeColumn));
    auto* types = new QListWidget(typeColumn);
    types->setMinimumWidth(200);
    typeLayout->addWidget(types);
    columns->addWidget(typeColumn, 1);

    auto* channelColumn = new QWidget(&dialog);
    auto* channelLayout = new QVBoxLayout(channelColumn);
    channelLayout->setContentsMargins(0, 0, 0, 0);
    channelLayout->addWidget(heading(QStringLiteral("<b>Channel</b>"), channelColumn));
    auto* filter = new QLineEdit(channelColumn);
    filter->setPlaceholderText(QStringLiteral("Filter channels..."));
    channelLayout->addWidget(filter);
    channelLayout->addWidget(new QListWidget(channelColumn));
    columns->addWidget(channelColumn, 2);

    auto* previewColumn = new QWidget(&dialog);
    auto* previewLayout = new QVBoxLayout(previewColumn);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(heading(QStringLiteral("<b>Preview</b>"), previewColumn));
    auto* view = new QGraphicsView(new QGraphicsScene(&dialog), previewColumn);
    view->setFixedSize(200, 200);
    view->setRenderHint(QPainter::Antialiasing);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setFrameShape(QFrame::StyledPanel);
    view->setStyleSheet(QStringLiteral("QGraphicsView { background: #1e1e1e; border: 1px solid #444; }"));
    previewLayout->addWidget(view, 0, Qt::AlignHCenter);
    auto* native = new QLabel(QStringLiteral("Native: -- x -- px"), previewColumn);
    native->setStyleSheet(QStringLiteral("QLabel { color: #bbb; padding: 2px; }"));
    previewLayout->addWidget(native, 0, Qt::AlignHCenter);
    previewLayout->addStretch();
    columns->addWidget(previewColumn, 0);
    layout->addLayout(columns);

    auto* hint = new QLabel(QStringLiteral("Pick a type and a channel."), &dialog);
    hint->setTextFormat(Qt::RichText);
    hint->setWordWrap(true);
    hint->setMinimumHeight(40);
    hint->setStyleSheet(QStringLiteral("QLabel { background: #2a2a2a; color: #ddd; padding: 6px; }"));
    layout->addWidget(hint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Insert"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    layout->addWidget(buttons);
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
    // The session keeps a walk only of folders older than a coarse file
    // system's time resolution; a real install is older still.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
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
