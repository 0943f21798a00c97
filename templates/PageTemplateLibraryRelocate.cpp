// A page added from a template refers to the template folder relative to
// the RS3 install, and RS3 resolves it only inside the configuration's own
// family tree: a template listed under another family is copied there first.
#include "templates/PageTemplateLibrary.h"

#include "model/InstallRoots.h"
#include "model/PathGuard.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

QString PageTemplateLibrary::relocateTemplateIntoSaveOverlay(const QString& templateFolder,
                                                             const QString& sourceFamily, const QString& saveFamily)
{
    if (saveFamily.isEmpty() || saveFamily.compare(sourceFamily, Qt::CaseInsensitive) == 0
        || templateFolder.isEmpty())
        return templateFolder;
    QString p = templateFolder;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    static const QString overlay = QStringLiteral("/aim/resources/overlay/");
    const int at = int(p.indexOf(overlay + sourceFamily + QLatin1Char('/'), 0, Qt::CaseInsensitive));
    if (at < 0)
        return templateFolder;
    const QString head = p.left(at);
    const QString tail = p.mid(at + overlay.size() + sourceFamily.size() + 1);
    const QString target = head + overlay + saveFamily + QLatin1Char('/') + tail;
    const QString overlayRoot = head + overlay.chopped(1);
    if (!PathGuard::isInside(overlayRoot, target) || QDir::cleanPath(target) == QDir::cleanPath(overlayRoot)) {
        qWarning().noquote() << "relocateTemplateIntoSaveOverlay: refusing target" << target << "outside"
                             << overlayRoot;
        return templateFolder;
    }
    if (QFileInfo::exists(target + QStringLiteral("/pMain.P2.xml")))
        return target;
    if (!QFileInfo::exists(p + QStringLiteral("/pMain.P2.xml"))) {
        qWarning().noquote() << "relocateTemplateIntoSaveOverlay: source missing pMain.P2.xml at" << p;
        return templateFolder;
    }
    // What lies there under the template's name and is no template is not
    // the template's to write into.
    const QString refusal = mirrorTargetRefusal(target, QFileInfo(target).fileName());
    if (!refusal.isEmpty()) {
        qWarning().noquote() << "relocateTemplateIntoSaveOverlay: refusing" << target << "-" << refusal;
        return templateFolder;
    }
    if (!copyDirRecursive(p, target)) {
        qWarning().noquote() << "relocateTemplateIntoSaveOverlay: copy failed" << p << "->" << target
                             << "(falling back to source path; RS3 may not resolve it)";
        return templateFolder;
    }
    qDebug().noquote() << "relocateTemplateIntoSaveOverlay: mirrored" << p << "->" << target;
    return target;
}

QString PageTemplateLibrary::relativeToRs3Root(const QString& folder)
{
    const QString root = raceStudio3Root();
    if (root.isEmpty())
        return {};
    QString p = folder;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString prefix = root + QLatin1Char('/');
    if (!p.startsWith(prefix))
        return {};
    QString rel = p.mid(prefix.size());
    if (!rel.endsWith(QLatin1Char('/')))
        rel += QLatin1Char('/');
    return rel;
}
