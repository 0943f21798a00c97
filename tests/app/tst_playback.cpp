#include "window/MainWindow.h"
#include "canvas/CsvDataSource.h"
#include "canvas/DashCanvas.h"
#include "canvas/SampleDataSource.h"
#include "support/CsvExportFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <climits>
#include <memory>

// Loading an RS3 CSV export into the window and playing it on the canvas,
// and the synthetic sample clock that shares the canvas with it.
class PlaybackTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashCanvas* canvas = nullptr;
    QSlider* timeline = nullptr;
    QPushButton* play = nullptr;
    QComboBox* speed = nullptr;
    QTimer* playbackTimer = nullptr;
    QTimer* sampleClock = nullptr;
    QCheckBox* sampleData = nullptr;

    template <typename T> T* child(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }

    static QString exportFile(double first, double last)
    {
        CsvExportFixture csv;
        csv.channels = {QStringLiteral("RPM")};
        csv.units = {QStringLiteral("rpm")};
        csv.rows = {{first, 1000.0}, {(first + last) / 2, 5000.0}, {last, 9000.0}};
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("csv")) + QStringLiteral("/session.csv");
        return csv.write(path) ? path : QString();
    }

    void load(const QString& path)
    {
        asker->fileNames = {path};
        window->loadCsvData();
    }

    bool onCsv() const { return dynamic_cast<CsvDataSource*>(canvas->dataSource()) != nullptr; }

private Q_SLOTS:
    void init()
    {
        asker = std::make_unique<ScriptedAsker>();
        window = std::make_unique<MainWindow>();
        canvas = window->findChild<DashCanvas*>();
        timeline = child<QSlider>("timeline");
        play = child<QPushButton>("playButton");
        speed = child<QComboBox>("playbackSpeedCombo");
        playbackTimer = child<QTimer>("playbackTimer");
        sampleClock = child<QTimer>("sampleClock");
        sampleData = child<QCheckBox>("sampleDataCheck");
        QVERIFY(timeline && play && speed && playbackTimer && sampleClock && sampleData);
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
    }

    void loadSetsTheTimeline_data()
    {
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("duration");
        QTest::newRow("export starting at 100 s") << 100.0 << 183.46 << 834 << QStringLiteral("01:23");
        QTest::newRow("export starting at 0") << 0.0 << 83.46 << 834 << QStringLiteral("01:23");
        QTest::newRow("too long for the slider") << 0.0 << 1e9 << INT_MAX << QStringLiteral("16666666:40");
    }

    // The timeline plays the whole export: its end is the export's last sample.
    void loadSetsTheTimeline()
    {
        QFETCH(double, first);
        QFETCH(double, last);
        QFETCH(int, maximum);
        QFETCH(QString, duration);
        load(exportFile(first, last));
        // No RS3 install here: the dialog starts at home, not in a folder
        // that does not exist.
        QCOMPARE(asker->startDirs, QStringList{QDir::homePath()});
        QCOMPARE(timeline->maximum(), maximum);
        QCOMPARE(timeline->value(), 0);
        QVERIFY(timeline->isEnabled() && play->isEnabled() && speed->isEnabled());
        QCOMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("Loaded CSV: session.csv | 1 channels | Duration: %1").arg(duration));
        QVERIFY(onCsv());
        QCOMPARE(canvas->timeSeconds(), first);
        timeline->setValue(754);
        QCOMPARE(child<QLabel>("timeLabel")->text(), QStringLiteral("01:15.4"));

        // At the end the canvas reads the last tenth of the export, and 4x
        // two tenths before it stops there.
        timeline->setValue(maximum);
        QCOMPARE(canvas->timeSeconds(), first + maximum / 10.0);
        timeline->setValue(maximum - 2);
        speed->setCurrentIndex(2);
        play->click();
        QVERIFY(playbackTimer->isActive());
        QCOMPARE(play->text(), QStringLiteral("Stop"));
        window->onPlaybackTick();
        QCOMPARE(timeline->value(), maximum);
        QVERIFY(!playbackTimer->isActive());
        QCOMPARE(play->text(), QStringLiteral("Play"));
        // Play at the end starts again from the beginning.
        play->click();
        QCOMPARE(timeline->value(), 0);
        QVERIFY(playbackTimer->isActive());
    }

    // One clock drives the canvas at a time.
    void sampleDataAndPlaybackShareTheCanvas()
    {
        sampleData->setChecked(true);
        QVERIFY(sampleClock->isActive());
        QVERIFY(dynamic_cast<SampleDataSource*>(canvas->dataSource()));
        QCOMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("Sample data ON -- widgets show synthetic animated values."));

        // A CSV load turns it off without the toggle's handler.
        QSignalSpy toggled(sampleData, &QCheckBox::toggled);
        load(exportFile(100.0, 183.46));
        QCOMPARE(toggled.count(), 0);
        QVERIFY(!sampleData->isChecked());
        QVERIFY(!sampleClock->isActive());
        QVERIFY(!child<QSlider>("sampleSpeedSlider")->isEnabled());
        QVERIFY(onCsv());

        // Sample data on stops playback; Play switches sample data off.
        play->click();
        sampleData->setChecked(true);
        QVERIFY(!playbackTimer->isActive());
        QCOMPARE(play->text(), QStringLiteral("Play"));
        timeline->setValue(300);
        play->click();
        QVERIFY(playbackTimer->isActive());
        QVERIFY(!sampleData->isChecked());
        QVERIFY(!sampleClock->isActive());
        QVERIFY(onCsv());
        QCOMPARE(canvas->timeSeconds(), 130.0);
    }

    // A failed load has emptied the source: nothing is left to play.
    void failedLoad()
    {
        load(exportFile(100.0, 183.46));
        play->click();
        const QString bad = TestEnvironment::makeTempDir(QStringLiteral("bad")) + QStringLiteral("/bad.csv");
        QVERIFY(CsvExportFixture::writeText(bad, "no telemetry here\n"));
        load(bad);
        QCOMPARE(asker->asked.last().title, QStringLiteral("Error"));
        QVERIFY(asker->asked.last().text.startsWith(QStringLiteral("Failed to load CSV file:\n") + bad + "\n\n"));
        QVERIFY(!playbackTimer->isActive());
        QVERIFY(!timeline->isEnabled() && !play->isEnabled());
        QVERIFY(!canvas->dataSource());
        // The report of the loaded session is gone with it.
        QCOMPARE(window->statusBar()->currentMessage(), QString());
    }

    // The dialog opens in the install's session data when it exists.
    void startsInTheSessionData()
    {
        Rs3Fixture rs3;
        const QString data = rs3.root(Rs3Fixture::Stable) + QStringLiteral("/user/data");
        QVERIFY(QDir().mkpath(data));
        asker->fileNames = {QString()};
        window->loadCsvData();
        QCOMPARE(asker->startDirs, QStringList{data});
    }
};

KORV_TEST_MAIN(PlaybackTest)
#include "tst_playback.moc"
