#include "gallery/RaceStudio3Check.h"

#include <QProcess>
#include <QString>

namespace {

std::function<bool()>& probeOverride()
{
    static std::function<bool()> probe;
    return probe;
}

} // namespace

bool raceStudio3InTaskList()
{
    QProcess tasklist;
    tasklist.start(QStringLiteral("tasklist"),
                   {QStringLiteral("/FI"), QStringLiteral("IMAGENAME eq RaceStudio3.exe"), QStringLiteral("/NH")});
    if (!tasklist.waitForFinished(4000)) {
        // A hung tasklist must not outlive the question.
        if (tasklist.state() != QProcess::NotRunning) {
            tasklist.kill();
            tasklist.waitForFinished(1000);
        }
        return false;
    }
    const QString output = QString::fromLocal8Bit(tasklist.readAllStandardOutput());
    return output.contains(QStringLiteral("RaceStudio3.exe"), Qt::CaseInsensitive);
}

bool isRaceStudio3Running()
{
    if (probeOverride())
        return probeOverride()();
    return raceStudio3InTaskList();
}

void setRaceStudio3RunningProbe(std::function<bool()> probe)
{
    probeOverride() = std::move(probe);
}
