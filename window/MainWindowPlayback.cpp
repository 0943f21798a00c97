// Telemetry playback: the CSV timeline, the Play button and the synthetic
// sample clock. One clock drives the canvas at a time: starting either the
// sample clock or CSV playback stops the other.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "model/InstallRoots.h"
#include "panels/Asker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>

#include <climits>
#include <cmath>

namespace {

// Where RS3 keeps its session data on a standard Windows install.
const char* const kRs3DataFolder = "C:/AIM_SPORT/RaceStudio3/user/data";

// Whole units of `scale` in `seconds`, truncated, kept within an int: the
// timeline is an int slider.
int truncatedUnits(double seconds, double scale)
{
    const double units = seconds * scale;
    if (!std::isfinite(units) || units <= 0.0)
        return 0;
    return units >= double(INT_MAX) ? INT_MAX : int(units);
}

// The dialog's start folder: RS3's session data where it exists, else the
// nearest existing folder of the configured install, else home. A folder
// that does not exist would be shown as a file name to open.
QString csvStartFolder()
{
    // The Windows folder counts only where it is a real path, never one read
    // against the folder the program was started from; without an install
    // nothing is looked for under "/".
    QStringList candidates{QString::fromLatin1(kRs3DataFolder)};
    const QString root = raceStudio3Root();
    if (!root.isEmpty())
        candidates << root + QStringLiteral("/user/data") << root + QStringLiteral("/user") << root;
    for (const QString& folder : candidates) {
        if (QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir())
            return folder;
    }
    return QDir::homePath();
}

QString twoDigits(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

void MainWindow::loadCsvData()
{
    const QString path = Asker::instance().openFileName(this, tr("Load RS3 CSV Telemetry"), csvStartFolder(),
                                                        tr("RS3 CSV Export (*.csv)"));
    if (path.isEmpty())
        return;
    if (!csvSource.load(path)) {
        // The failed load emptied the source: nothing is left to play.
        resetCsvPlayback();
        // The "Loaded CSV" report of the previous session no longer holds.
        statusBar()->clearMessage();
        QString err = csvSource.errorText();
        if (err.isEmpty())
            err = tr("Could not find channel-name row. Expected a row starting with 'Time' followed by channel names "
                     "(e.g. GPS Speed, RPM). In RaceStudio 3 use File > Export > CSV on a completed session.");
        Asker::instance().critical(this, tr("Error"), tr("Failed to load CSV file:\n%1\n\n%2").arg(path, err));
        return;
    }
    switchSampleDataOffSilently();
    canvas->setDataSource(&csvSource);
    timelineSlider->setRange(0, truncatedUnits(csvSource.duration(), 10.0));
    timelineSlider->setValue(0);
    timelineSlider->setEnabled(true);
    playButton->setEnabled(true);
    playbackSpeedCombo->setEnabled(true);
    const int seconds = truncatedUnits(csvSource.duration(), 1.0);
    // One arg() call: a "%2" in the file name must not take a number.
    statusBar()->showMessage(tr("Loaded CSV: %1 | %2 channels | Duration: %3:%4")
                                 .arg(QFileInfo(path).fileName(), QString::number(csvSource.channelNames().size()),
                                      twoDigits(seconds / 60), twoDigits(seconds % 60)));
    onTimelineChanged(0);
}

void MainWindow::resetCsvPlayback()
{
    playbackTimer->stop();
    playing = false;
    playButton->setText(tr("Play"));
    playButton->setEnabled(false);
    playbackSpeedCombo->setEnabled(false);
    {
        const QSignalBlocker blocker(timelineSlider);
        timelineSlider->setRange(0, 0);
        timelineSlider->setEnabled(false);
    }
    timeLabel->setText(QStringLiteral("00:00.0"));
    if (!sampleDataCheck->isChecked())
        canvas->setDataSource(nullptr);
}

void MainWindow::switchSampleDataOffSilently()
{
    if (!sampleDataCheck->isChecked())
        return;
    // Without the toggle's handler: the caller puts the canvas on its own
    // source, and no status message of the toggle's is wanted.
    {
        const QSignalBlocker blocker(sampleDataCheck);
        sampleDataCheck->setChecked(false);
    }
    sampleClock->stop();
    sampleSpeedSlider->setEnabled(false);
}

void MainWindow::toggleSampleData(bool checked)
{
    if (!checked) {
        sampleClock->stop();
        sampleSpeedSlider->setEnabled(false);
        if (!canvas)
            return;
        canvas->setDataSource(csvSource.isValid() ? &csvSource : nullptr);
        // Back on the export, at the place the timeline shows.
        if (csvSource.isValid())
            onTimelineChanged(timelineSlider->value());
        return;
    }
    if (playing) {
        playbackTimer->stop();
        playButton->setText(tr("Play"));
        playing = false;
    }
    if (config.pageCount() > 0) {
        QHash<QString, QString> units;
        for (const ChannelInfo& channel : config.channels) {
            if (!channel.longName.isEmpty())
                units.insert(channel.longName, channel.unit);
        }
        sampleSource.setChannelUnits(units);
    }
    sampleTime = 0.0;
    canvas->setDataSource(&sampleSource);
    canvas->setTime(0.0);
    sampleClock->start();
    sampleSpeedSlider->setEnabled(true);
    statusBar()->showMessage(tr("Sample data ON -- widgets show synthetic animated values."), 5000);
}

void MainWindow::onTimelineChanged(int value)
{
    // The export's own clock may start anywhere; the timeline counts from
    // its first sample. The sample clock, when running, owns the canvas time.
    if (!sampleDataCheck->isChecked())
        canvas->setTime(csvSource.firstTime() + value / 10.0);
    const int minutes = value / 600;
    const int seconds = value / 10 - minutes * 60;
    const int tenths = value - (value / 10) * 10;
    timeLabel->setText(QStringLiteral("%1:%2.%3").arg(twoDigits(minutes), twoDigits(seconds)).arg(tenths));
}

void MainWindow::togglePlayback()
{
    if (playing) {
        playbackTimer->stop();
        playButton->setText(tr("Play"));
        playing = false;
        return;
    }
    if (sampleDataCheck->isChecked()) {
        switchSampleDataOffSilently();
        canvas->setDataSource(&csvSource);
        onTimelineChanged(timelineSlider->value());
    }
    if (timelineSlider->value() >= timelineSlider->maximum())
        timelineSlider->setValue(0);
    playbackTimer->start();
    playButton->setText(tr("Stop"));
    playing = true;
}

void MainWindow::onPlaybackTick()
{
    static const int steps[] = {1, 2, 4};
    const int index = playbackSpeedCombo->currentIndex();
    const int step = index >= 0 && index < 3 ? steps[index] : 1;
    const int maximum = timelineSlider->maximum();
    // In 64 bits: a timeline clamped to the int's limit must not overflow.
    qint64 next = qint64(timelineSlider->value()) + step;
    if (next >= maximum) {
        next = maximum;
        playbackTimer->stop();
        playButton->setText(tr("Play"));
        playing = false;
    }
    timelineSlider->setValue(int(next));
}

void MainWindow::onSampleClockTick()
{
    sampleTime += speedMultiplier * 0.033;
    canvas->setTime(sampleTime);
}
