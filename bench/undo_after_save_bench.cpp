// An undo of Color... made after a save, in the real window, with 1,000
// configurations listed as saved by the editor (copies of the demo, each in
// a folder of its own) against the same with 10, their rounds taken in turn
// in the same run. The undo points the bar back and reads nothing of the
// files saved, so the two should cost the same: printed as a ratio, the aim
// is at most 1.2 (noise).
//
// Usage: undo_after_save_bench [rounds, default 7]

#include "DemoStock.h"
#include "artwork/SavedConfigLedger.h"
#include "support/DemoStockSteps.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The list of the editor's saved configurations holding `count` copies of
// the demo, as the saves left it.
QByteArray listOf(int count)
{
    QFile::remove(SavedConfigLedger::path());
    const QString folder = TestEnvironment::makeTempDir(QStringLiteral("saved-%1").arg(count));
    const QString demo = ConfigFixture::demoArchiveCopy(folder);
    const QByteArray bytes = TestFiles::readBytes(demo);
    for (int i = 0; i < count; ++i) {
        const QString file = folder + QStringLiteral("/cfg_%1/Race %1.zconf2").arg(i, 4, 10, QLatin1Char('0'));
        if (!QDir().mkpath(QFileInfo(file).path()) || !TestFiles::writeBytes(file, bytes)
            || !SavedConfigLedger::note(file, true))
            return {};
    }
    const QByteArray list = TestFiles::readBytes(SavedConfigLedger::path());
    QFile::remove(SavedConfigLedger::path());
    return list;
}

} // namespace

class UndoAfterSaveBench : public QObject, DemoStockSteps {
    Q_OBJECT

    struct Subject {
        int listed = 0;
        QByteArray list;
        std::vector<double> undo;
    };

    void round(Subject& s)
    {
        QVERIFY(TestFiles::writeBytes(SavedConfigLedger::path(), s.list));
        openDemo();
        int bar = -1;
        for (size_t k = 0; k < config->pages[kRace].masks.size(); ++k) {
            if (maskPath(*config, kRace, int(k)) == DemoStock::barItem())
                bar = int(k);
        }
        QVERIFY(bar >= 0);
        window->onPageSelected(kRace);
        QVERIFY(window->save());
        window->applyColorBar(bar);
        QCOMPARE(stack->count(), 1);
        QElapsedTimer timer;
        timer.start();
        window->stepHistory(true);
        s.undo.push_back(double(timer.nsecsElapsed()) / 1e6);
        QCOMPARE(maskPath(*config, kRace, bar), DemoStock::barItem());
        closeAndDiscard();
        closeDemo();
    }

private Q_SLOTS:
    void undoAfterSave()
    {
        const int rounds = std::max(3, qEnvironmentVariableIntValue("KORV_BENCH_ROUNDS"));
        Subject few{10, listOf(10), {}};
        Subject many{1000, listOf(1000), {}};
        QVERIFY(!few.list.isEmpty() && !many.list.isEmpty());
        // One round each to warm the caches, not counted.
        round(few);
        round(many);
        few.undo.clear();
        many.undo.clear();
        for (int k = 0; k < rounds; ++k) {
            round(k % 2 ? many : few);
            round(k % 2 ? few : many);
        }
        std::printf("undo_after_save_bench: a save, Color..., then its undo, in the window\n");
        std::printf("%4d configurations listed: undo %8.2f ms\n%4d configurations listed: undo %8.2f ms\n", few.listed,
                    median(few.undo), many.listed, median(many.undo));
        std::printf("ratio %d/%d %.2f (aim: at most 1.2)\n", many.listed, few.listed,
                    median(many.undo) / median(few.undo));
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
    else
        qputenv("KORV_BENCH_ROUNDS", "7");
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    UndoAfterSaveBench bench;
    const char* args[] = {argv[0], "-silent"};
    return QTest::qExec(&bench, 2, const_cast<char**>(args));
}

#include "undo_after_save_bench.moc"
