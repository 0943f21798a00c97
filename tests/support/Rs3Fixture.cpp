#include "support/Rs3Fixture.h"

#include "support/TestEnvironment.h"

#include "model/InstallRoots.h"

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
    QDir().mkpath(overlayRoot(Local));
    setLocalOverlayRootOverride(overlayRoot(Local));
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
    setLocalOverlayRootOverride(QString());
    QDir(m_base).removeRecursively();
}

QString Rs3Fixture::root(Root which) const
{
    switch (which) {
    case Stable:
        return m_base + QStringLiteral("/RaceStudio3");
    case Beta:
        return m_base + QStringLiteral("/RaceStudio3_beta");
    case Local:
        break;
    }
    return m_base + QStringLiteral("/program");
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
