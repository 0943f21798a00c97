#include "support/Rs3Fixture.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
const char* const kStableKey = "paths/raceStudio3Root";
const char* const kBetaKey = "paths/raceStudio3BetaRoot";
}

Rs3Fixture::Rs3Fixture()
    : m_base(TestEnvironment::makeTempDir(QStringLiteral("rs3")))
{
    QDir().mkpath(overlayRoot(Stable));
    QDir().mkpath(overlayRoot(Beta));
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    settings.setValue(QLatin1String(kStableKey), root(Stable));
    settings.setValue(QLatin1String(kBetaKey), root(Beta));
    settings.sync();
}

Rs3Fixture::~Rs3Fixture()
{
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    settings.remove(QLatin1String(kStableKey));
    settings.remove(QLatin1String(kBetaKey));
    settings.sync();
    QDir(m_base).removeRecursively();
}

QString Rs3Fixture::root(Root which) const
{
    return m_base + (which == Stable ? QStringLiteral("/RaceStudio3") : QStringLiteral("/RaceStudio3_beta"));
}

QString Rs3Fixture::overlayRoot(Root which) const
{
    return root(which) + QStringLiteral("/aim/resources/overlay");
}

QString Rs3Fixture::addDeviceFolder(Root which, const QString& family) const
{
    const QString path = overlayRoot(which) + QLatin1Char('/') + family;
    QDir().mkpath(path);
    return path;
}

QString Rs3Fixture::absolutePath(Root which, const QString& relPath) const
{
    return root(which) + QLatin1Char('/') + relPath;
}

bool Rs3Fixture::writeFile(Root which, const QString& relPath, const QByteArray& content) const
{
    const QString path = absolutePath(which, relPath);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}
