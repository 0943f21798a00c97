// The RS3 side of the template store: install roots, the s04_homebrew set
// folders of a family, their meta file, copies of store templates and the
// stock base templates.
#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/HomebrewItems.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/SafeWrite.h"
#include "model/FileEntries.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString& standardSet()
{
    static const QString path = QStringLiteral("/masks/set/standard");
    return path;
}

const QString& homebrewSet()
{
    static const QString name = QStringLiteral("/s04_homebrew");
    return name;
}

bool safeFamily(const QString& family)
{
    return PathGuard::isSafeFamily(family);
}

} // namespace

bool mirrorToAimEnabled()
{
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    return settings.value(QStringLiteral("homebrew/mirrorToAim"), true).toBool();
}

bool PageTemplateLibrary::copyDirRecursive(const QString& sourceFolder, const QString& targetFolder)
{
    return ::copyDirRecursive(sourceFolder, targetFolder);
}

QString PageTemplateLibrary::ensureSetFolderMeta(const QString& setFolder)
{
    const QString why = writeSetFolderMeta(setFolder, QStringLiteral("Homebrew"));
    if (!why.isEmpty())
        qWarning().noquote() << "ensureSetFolderMeta: leaving" << setFolder << "-" << why;
    return why;
}

QString PageTemplateLibrary::setFolderMetaRefusal(const QString& setFolder)
{
    // Nothing is written through a link on the way: it may lead to anyone's
    // files, and no copy goes there either.
    if (const QString link = linkFromInstall(setFolder); !link.isEmpty())
        return SafeRead::linkText(link);
    const QString meta = setFolder + QStringLiteral("/AiM_folder.xml");
    const FileEntries::Kind kind = FileEntries::kindOf(meta);
    if (kind == FileEntries::Kind::Link)
        return SafeRead::linkText(meta);
    if (kind != FileEntries::Kind::Missing && kind != FileEntries::Kind::Regular)
        return SafeRead::notRegularText(meta);
    return {};
}

QString PageTemplateLibrary::writeSetFolderMeta(const QString& setFolder, const QString& label)
{
    QString why = setFolderMetaRefusal(setFolder);
    if (!why.isEmpty())
        return why;
    if (!FileEntries::makePath(setFolder, &why))
        return why;
    const QString meta = setFolder + QStringLiteral("/AiM_folder.xml");
    if (FileEntries::kindOf(meta) == FileEntries::Kind::Regular && QFileInfo(meta).size() > 0)
        return {};
    return writeFileNoLink(meta, folderMetaXml(label, 99), setFolder, &why) ? QString() : why;
}

QString PageTemplateLibrary::artSetNameClash(const QString& name)
{
    if (!isEditorArtSetName(name))
        return {};
    return QCoreApplication::translate("PageTemplateLibrary",
                                       "\"%1\" is a folder name of the editor's own art (zbox_... box pictures, "
                                       "zbar_... bar colours, zchrome_... chrome, zpaste_... pasted pictures, "
                                       "whatever the letter case), which saved configurations point at: no "
                                       "template or theme may take it.")
        .arg(name);
}

QString PageTemplateLibrary::mirrorTargetRefusal(const QString& target, const QString& templateName)
{
    const QString clash = artSetNameClash(templateName);
    if (!clash.isEmpty())
        return clash;
    const QFileInfo info(target);
    const QString shown = QDir::toNativeSeparators(target);
    if (info.isSymLink())
        return QCoreApplication::translate("PageTemplateLibrary", "%1 is a link, not a template folder.").arg(shown);
    // Behind a link on the way lies a folder of someone else's.
    if (const QString link = linkFromInstall(target); !link.isEmpty())
        return QCoreApplication::translate("PageTemplateLibrary", "%1 lies behind %2, which is a link.")
            .arg(shown, QDir::toNativeSeparators(link));
    if (!info.exists())
        return {};
    if (!info.isDir())
        return QCoreApplication::translate("PageTemplateLibrary", "%1 is a file, not a template folder.").arg(shown);
    // An empty folder holds nothing to lose; anything else without the page
    // file is not a template's.
    if (!QFileInfo::exists(target + QStringLiteral("/pMain.P2.xml"))
        && !QDir(target).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        return QCoreApplication::translate("PageTemplateLibrary",
                                           "%1 holds no pMain.P2.xml: it is not a template folder, and what it "
                                           "holds may be art that saved configurations use.")
            .arg(shown);
    return {};
}

QString PageTemplateLibrary::mirrorTemplateToRs3(const QString& sourceFolder, const QString& rs3Root,
                                                 const QString& family, const QString& templateName)
{
    QString root = rs3Root;
    while (root.endsWith(QLatin1Char('/')) || root.endsWith(QLatin1Char('\\')))
        root.chop(1);
    if (root.isEmpty() || !safeFamily(family) || !PathGuard::isSafeName(templateName)) {
        qWarning().noquote() << "mirrorTemplateToRs3: refusing" << family << templateName << "under" << rs3Root;
        return {};
    }
    const QString setFolder = root + QStringLiteral("/aim/resources/overlay/") + family + standardSet() + homebrewSet();
    const QString target = setFolder + QLatin1Char('/') + templateName;
    const QString refusal = mirrorTargetRefusal(target, templateName);
    if (!refusal.isEmpty()) {
        qWarning().noquote() << "mirrorTemplateToRs3: refusing to copy" << sourceFolder << "-" << refusal;
        return {};
    }
    ensureSetFolderMeta(setFolder);
    if (QFileInfo::exists(target + QStringLiteral("/pMain.P2.xml")))
        return target;
    // A folder of that name without its page file is someone's: it is left
    // as it is, and the copy goes nowhere else.
    FolderCopy copy;
    if (copy.addFolder(sourceFolder, target, root) != FolderCopy::Outcome::Added) {
        qWarning().noquote() << "mirrorTemplateToRs3:"
                             << (copy.error().isEmpty() ? copy.notes().join(QLatin1Char('\n')) : copy.error());
        return {};
    }
    return target;
}

QString PageTemplateLibrary::findBaseTemplate(const QString& family, const QString& templatePath)
{
    if (!safeFamily(family) || !PathGuard::isSafeRelativePath(templatePath))
        return {};
    for (const QString& root : rs3Roots()) {
        const QString folder =
            root + QStringLiteral("/aim/resources/overlay/") + family + standardSet() + QLatin1Char('/') + templatePath;
        if (QFileInfo::exists(folder + QStringLiteral("/bkg.png"))
            && QFileInfo::exists(folder + QStringLiteral("/pMain.P2.xml")))
            return folder;
    }
    return {};
}

QStringList PageTemplateLibrary::rs3Roots()
{
    QStringList roots;
    for (const QString& root : {raceStudio3Root(), raceStudio3BetaRoot()}) {
        if (!root.isEmpty())
            roots << root;
    }
    return roots;
}

QStringList PageTemplateLibrary::homebrewSetDirs(const QString& family)
{
    QStringList dirs;
    if (family.isEmpty() || !safeFamily(family))
        return dirs;
    for (const QString& overlay : rs3OverlayRoots()) {
        const QString standard = overlay + QLatin1Char('/') + family + standardSet();
        const QString set = standard + homebrewSet();
        if (QFileInfo::exists(standard) && !dirs.contains(set))
            dirs << set;
    }
    return dirs;
}

QStringList PageTemplateLibrary::rs3HomebrewSetDirs(const QString& family)
{
    QStringList dirs;
    if (family.isEmpty() || !safeFamily(family))
        return dirs;
    for (const QString& root : rs3Roots()) {
        const QString standard = root + QStringLiteral("/aim/resources/overlay/") + family + standardSet();
        if (QFileInfo(standard).isDir())
            dirs << standard + homebrewSet();
    }
    return dirs;
}
