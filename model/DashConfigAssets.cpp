// Install-root look-ups that need the open configuration: page backgrounds,
// triggered-icon graphics and overlay folders named by the XML.
#include "model/DashConfig.h"

#include "model/InstallRoots.h"
#include "model/PathGuard.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString& overlayPrefix()
{
    static const QString prefix = QStringLiteral("aim/resources/overlay/");
    return prefix;
}

QString withoutLeadingSlashes(QString p)
{
    int n = 0;
    while (n < p.size() && p[n] == QLatin1Char('/'))
        ++n;
    return p.mid(n);
}

QString withoutTrailingSlashes(QString p)
{
    while (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

QString existingUnder(const QString& root, const QString& rel)
{
    const QString candidate = PathGuard::join(root, withoutTrailingSlashes(rel));
    if (!candidate.isEmpty() && QFileInfo::exists(candidate))
        return candidate;
    return {};
}

} // namespace

QString DashConfig::resolveRs3Path(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    path = withoutLeadingSlashes(path);
    if (path.isEmpty())
        return {};
    for (const QString& root : {raceStudio3Root(), raceStudio3BetaRoot()}) {
        const QString hit = existingUnder(root, path);
        if (!hit.isEmpty())
            return hit;
    }
    const QString local = localOverlayRoot();
    if (!local.isEmpty() && path.startsWith(overlayPrefix(), Qt::CaseInsensitive))
        return existingUnder(local, path.mid(overlayPrefix().size()));
    return {};
}

QString DashConfig::resolveResourcePath(const QString& featureKey) const
{
    if (featureKey.isEmpty())
        return {};
    const auto it = triggeredIconImages.constFind(featureKey);
    if (it == triggeredIconImages.constEnd() || it->isEmpty())
        return {};
    QString p = QDir::fromNativeSeparators(*it);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    p = withoutLeadingSlashes(p);
    const int at = p.indexOf(overlayPrefix(), 0, Qt::CaseInsensitive);
    const QString rest = at < 0 ? QString() : p.mid(at + overlayPrefix().size());
    if (!rest.isEmpty()) {
        for (const QString& root : allOverlayRoots()) {
            const QString hit = existingUnder(root, rest);
            if (!hit.isEmpty())
                return hit;
        }
    }
    return resolveAssetPath(p);
}

QString DashConfig::iconFileForMask(int pageIndex, int maskIndex)
{
    const QString key = iconFeatureKey(pageIndex, maskIndex);
    if (key.isEmpty())
        return {};
    return resolveResourcePath(key);
}

QString DashConfig::resolveOverlayDir(const QString& rel)
{
    QString p = rel.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!p.startsWith(overlayPrefix(), Qt::CaseInsensitive))
        return {};
    const QString rest = p.mid(overlayPrefix().size());
    for (const QString& root : allOverlayRoots()) {
        const QString candidate = PathGuard::join(root, withoutTrailingSlashes(rest));
        if (!candidate.isEmpty() && QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

QStringList DashConfig::deviceOverlayFolders() const
{
    QStringList folders;
    for (const PageModel& pg : pages) {
        const QString& path = pg.relPagePath;
        const int a = path.indexOf(QLatin1String("overlay/"));
        const int b = path.indexOf(QLatin1String("/masks/"));
        if (a < 0 || b <= a)
            continue;
        QString folder = path.mid(a + 8, b - (a + 8));
        while (folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        // Templates are listed, saved and mirrored under these folders.
        if (PathGuard::isSafeFamily(folder) && !folders.contains(folder, Qt::CaseInsensitive))
            folders.append(folder);
    }
    return folders;
}
