#include "support/Rs3Fixture.h"

#include "support/TestEnvironment.h"

#include "DemoStock.h"
#include "Rs3Tree.h"
#include "artwork/SavedConfigLedger.h"
#include "model/InstallRoots.h"

#include <QDir>
#include <QDirIterator>
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
    // An editor that has saved no configuration yet: the files an earlier
    // test saved are not this one's users.
    QFile::remove(SavedConfigLedger::path());
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
    return Rs3Tree(root(which)).writeFile(relPath, content);
}

bool Rs3Fixture::addArtItem(Root which, const QString& relFolder, const QSize& size, const QColor& colour) const
{
    return Rs3Tree(root(which)).addArtItem(relFolder, size, colour);
}

bool Rs3Fixture::addNativeElement(Root which, const QString& relFolder, const QStringList& classes,
                                  const QSize& size, const QStringList& extraArt, const QColor& colour) const
{
    return Rs3Tree(root(which)).addNativeElement(relFolder, classes, size, extraArt, colour);
}

bool Rs3Fixture::addMaskItem(Root which, const QString& relFolder, const QByteArray& maskXml) const
{
    return Rs3Tree(root(which)).addMaskItem(relFolder, maskXml);
}

QString Rs3Fixture::addTemplate(Root which, const QString& family, const QString& set, const QString& name,
                                const QSize& size) const
{
    return Rs3Tree(root(which)).addTemplate(family, set, name, size);
}

bool Rs3Fixture::addFolderMeta(Root which, const QString& relFolder, const QString& label, int sort) const
{
    return Rs3Tree(root(which)).addFolderMeta(relFolder, label, sort);
}

bool Rs3Fixture::addDemoStock(Root which) const
{
    return DemoStock::write(Rs3Tree(root(which)));
}

QString Rs3Fixture::addUserConfig(Root which, const QString& folder, const QString& configName,
                                  const QList<QByteArray>& deviceTexts) const
{
    const QString rel = QStringLiteral("user/cfgs/") + folder;
    QDir().mkpath(absolutePath(which, rel));
    if (!configName.isEmpty()
        && !writeFile(which, rel + QLatin1Char('/') + configName + QStringLiteral(".aimcfg"), "<aimcfg/>"))
        return {};
    for (int i = 0; i < deviceTexts.size(); ++i) {
        const QString device = rel + QStringLiteral("/dash%1/dev/overlay.ov3.xml").arg(i + 1);
        if (!writeFile(which, device, deviceTexts[i]))
            return {};
    }
    return absolutePath(which, rel);
}

QMap<QString, QByteArray> Rs3Fixture::snapshot() const
{
    return treeSnapshot(m_base);
}

QMap<QString, QByteArray> Rs3Fixture::treeSnapshot(const QString& folder)
{
    QMap<QString, QByteArray> tree;
    const QDir base(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir()) {
            tree.insert(base.relativeFilePath(path), QByteArrayLiteral("<dir>"));
            continue;
        }
        QFile f(path);
        tree.insert(base.relativeFilePath(path), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>"));
    }
    return tree;
}

bool Rs3Fixture::addDeltaBarItem(Root which, const QString& relFolder, bool coloured, int bars,
                                 const QColor& colour) const
{
    return Rs3Tree(root(which)).addDeltaBarItem(relFolder, coloured, bars, colour);
}
