// Telemetry playback: the CSV timeline, the Play button and the synthetic
// sample clock.
#include "app/MainWindow.h"

void MainWindow::loadCsvData()
{
}

void MainWindow::toggleSampleData(bool)
{
}

void MainWindow::onTimelineChanged(int)
{
}

void MainWindow::togglePlayback()
{
}

void MainWindow::onPlaybackTick()
{
}

void MainWindow::onSampleClockTick()
{
}
