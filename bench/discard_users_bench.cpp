// A paste's undo and Discard ask whether a configuration saved in
// RaceStudio 3's configurations folder uses the art they would take back.
// This drives the real window, with its own users callback: 30 bars pasted
// into new elements of the demo, then Undo pressed until nothing is left to
// undo (the first undo reads the configurations for every folder at once),
// and in a second window Discard on close after the same pastes. Timed with
// 200 configurations of about 600 KB each installed, against the same with
// none, their rounds taken in turn in the same run. Printed as ratios; the
// aim is at most 1.5.
//
// Usage: discard_users_bench [rounds, default 5]

#include "support/DemoStockSteps.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kConfigs = 200;
constexpr int kPastes = 30;
constexpr qint64 kDeviceBytes = 600 * 1024;

// A mask as RaceStudio 3 writes it; every tenth points at a homebrew
// folder the pastes never make.
QByteArray maskXml(int k)
{
    const QByteArray set = k % 10 == 0 ? "s04_homebrew/zmine_" + QByteArray::number(k % 7) + "/" : "s02/p01/";
    return "  <e c=\"GMaskParam\">\n    <p n=\"PATH_REL_AiM_MASK\">aim/resources/overlay/mxs_12/masks/set/standard/"
        + set + "Items/md_" + QByteArray::number(k % 40) + "/</p>\n    <p n=\"XPOS\">" + QByteArray::number(k % 800)
        + "</p>\n    <p n=\"YPOS\">" + QByteArray::number(k % 480)
        + "</p>\n    <p n=\"WIDTH\">120</p>\n    <p n=\"HEIGHT\">60</p>\n  </e>\n";
}

QByteArray deviceXml()
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<overlay_cli>\n";
    for (int k = 0; xml.size() < kDeviceBytes; ++k)
        xml += maskXml(k);
    return xml + "</overlay_cli>\n";
}

// The configurations, made once; each round's install keeps its
// configurations folder there through a link, as a synced one would be.
QString makeConfigurations()
{
    const QString cfgs = TestEnvironment::makeTempDir(QStringLiteral("cfgs")) + QStringLiteral("/cfgs");
    const QByteArray device = deviceXml();
    for (int i = 0; i < kConfigs; ++i) {
        const QString folder = cfgs + QStringLiteral("/cfg_%1").arg(i, 4, 10, QLatin1Char('0'));
        QDir().mkpath(folder + QStringLiteral("/dash1/dev"));
        QFile aimcfg(folder + QStringLiteral("/Config %1.aimcfg").arg(i));
        QFile file(folder + QStringLiteral("/dash1/dev/overlay.ov3.xml"));
        if (!aimcfg.open(QIODevice::WriteOnly) || !file.open(QIODevice::WriteOnly) || file.write(device) != device.size())
            return {};
    }
    return cfgs;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

class DiscardUsersBench : public QObject, DemoStockSteps {
    Q_OBJECT

    struct Subject {
        QString cfgs; // empty: no configurations
        std::vector<double> firstUndo, undos, discard;
        int asks = 0;    // questions asked of the window's users callback
        int folders = 0; // folders asked about
        int pasteFolders = 0;
    };

    // A window on the demo with 30 pastes, each into a new standing bar of
    // its own size, so each makes a folder of its own.
    void pasted(Subject& s)
    {
        openDemo();
        if (!s.cfgs.isEmpty()) {
            const QString user = rs3->root(Rs3Fixture::Stable) + QStringLiteral("/user");
            QVERIFY(QDir().mkpath(user));
            QVERIFY(QFile::link(s.cfgs, user + QStringLiteral("/cfgs")));
        }
        const auto asked = config->artState.savedFileUses;
        config->artState.savedFileUses = [&s, asked](const QStringList& folders) {
            ++s.asks;
            s.folders += int(folders.size());
            return asked(folders);
        };
        for (int i = 0; i < kPastes; ++i) {
            const int standing = insertStock(QStringLiteral("Vertical bar"));
            QVERIFY(standing >= 0);
            resize(kRace, standing, 30 + i);
            QVERIFY(copyBarInto(kRace, 2, standing) >= 0);
        }
        QStringList made;
        for (const QString& key : rs3->snapshot().keys()) {
            const QString name = key.section(QStringLiteral("/s04_homebrew/"), 1).section(QLatin1Char('/'), 0, 0);
            if (name.startsWith(QStringLiteral("zpaste_")) && !made.contains(name))
                made << name;
        }
        s.pasteFolders = int(made.size());
    }

    // Undo pressed over and over back to before the pastes (the first
    // undo, and all of them), then, in a window of its own, Discard on
    // close after the same pastes.
    void round(Subject& s)
    {
        pasted(s);
        QElapsedTimer timer;
        timer.start();
        // Each paste is an insert, a resize and the paste itself.
        stack->undo();
        s.firstUndo.push_back(timer.nsecsElapsed() / 1e6);
        while (stack->canUndo())
            stack->undo();
        s.undos.push_back(timer.nsecsElapsed() / 1e6);
        closeAndDiscard();
        closeDemo();

        pasted(s);
        timer.restart();
        closeAndDiscard();
        s.discard.push_back(timer.nsecsElapsed() / 1e6);
        closeDemo();
    }

private Q_SLOTS:
    void undoAndDiscard()
    {
        const int rounds = std::max(3, qEnvironmentVariableIntValue("KORV_BENCH_ROUNDS"));
        Subject none;
        Subject installed;
        installed.cfgs = makeConfigurations();
        QVERIFY(!installed.cfgs.isEmpty());
        // One round each to warm the caches, not counted: the first question
        // of a session reads every configuration, later ones only those
        // written since.
        round(none);
        round(installed);
        std::printf("first question of the session with %d configurations: the first undo took %.1f ms\n", kConfigs,
                    installed.firstUndo.front());
        for (Subject* s : {&none, &installed}) {
            s->firstUndo.clear();
            s->undos.clear();
            s->discard.clear();
            s->asks = s->folders = 0;
        }
        for (int k = 0; k < rounds; ++k) {
            round(k % 2 ? installed : none);
            round(k % 2 ? none : installed);
        }
        std::printf("%d pastes, each making a folder of its own (%d made in the last round)\n", kPastes,
                    installed.pasteFolders);
        std::printf("the window's users callback was asked %.1f times per round, about %.1f folders each time\n",
                    double(installed.asks) / rounds, installed.asks ? double(installed.folders) / installed.asks : 0.0);
        std::printf("median ms                first undo  all undos  discard\n");
        std::printf("no configurations        %10.1f %10.1f %8.1f\n", median(none.firstUndo), median(none.undos),
                    median(none.discard));
        std::printf("%d configurations       %10.1f %10.1f %8.1f\n", kConfigs, median(installed.firstUndo),
                    median(installed.undos), median(installed.discard));
        std::printf("ratio %d/none: first undo %.2f, all %d undos %.2f, discard %.2f (aim: at most 1.5)\n", kConfigs,
                    median(installed.firstUndo) / median(none.firstUndo), kPastes * 3,
                    median(installed.undos) / median(none.undos), median(installed.discard) / median(none.discard));
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KORV_SOURCE_DIR"))
        qputenv("KORV_SOURCE_DIR", KORV_SOURCE_DIR);
    if (qEnvironmentVariableIsEmpty("KORV_BINARY_DIR"))
        qputenv("KORV_BINARY_DIR", KORV_BINARY_DIR);
    if (argc > 1)
        qputenv("KORV_BENCH_ROUNDS", argv[1]);
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    DiscardUsersBench bench;
    const char* args[] = {argv[0], "-silent"};
    return QTest::qExec(&bench, 2, const_cast<char**>(args));
}

#include "discard_users_bench.moc"
