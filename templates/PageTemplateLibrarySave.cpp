// Saving a page as a homebrew template: the store first, then a copy in the
// s04_homebrew set of every RS3 install that has the device family.
#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/FolderCopy.h"
#include "model/FileEntries.h"
#include "model/PathGuard.h"
#include "templates/MirrorReport.h"
#include "templates/TemplateContent.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>

namespace {

QByteArray transparentBackground()
{
    QImage image(800, 480, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return pngBytes(image);
}

// The canvas the device paints the background at: the registry's row, else
// the page file's own size, else the background picture's.
QSize deviceCanvasSize(const QString& canon, const TemplateContent& content, const QByteArray& background)
{
    QSize size = PageTemplateLibrary::declaredCanvasSize(canon);
    if (!size.isEmpty())
        return size;
    size = PageTemplateLibrary::readPageSize(content.pMainXml);
    if (!size.isEmpty())
        return size;
    const QImage picture = QImage::fromData(background, "PNG");
    if (picture.size().isEmpty())
        return {};
    qWarning().noquote() << "saveHomebrewTemplate: no declared size and no device row for family" << canon
                         << "— sizing bkg.tgz from the background" << picture.size();
    return picture.size();
}

// Writes bkg.tgz at the device's size; the declaration to make for it
// ("bkg.tgz"), or empty when there is none.
QString writeDeviceBackground(const QString& folder, const QString& canon, const TemplateContent& content,
                              const QByteArray& background)
{
    const QSize size = deviceCanvasSize(canon, content, background);
    if (size.isEmpty()) {
        qWarning().noquote() << "saveHomebrewTemplate: cannot size a firmware background for" << folder
                             << "— the dash will paint nothing on this page";
        return {};
    }
    const QByteArray tgz = encodeBkgTgzFromPng(background, size.width(), size.height());
    if (tgz.isEmpty()) {
        qWarning().noquote() << "saveHomebrewTemplate: bkg.tgz encode failed for" << folder;
        return {};
    }
    return PageTemplateLibrary::writeFile(folder + QStringLiteral("/bkg.tgz"), tgz) ? QStringLiteral("bkg.tgz")
                                                                                   : QString();
}

// Items arrive from our own builder, but their paths are still joined
// through the guard: nothing lands outside the template's Items folder.
void writeItems(const QString& folder, const QList<TemplateFile>& items)
{
    const QString itemsFolder = folder + QStringLiteral("/Items");
    for (const TemplateFile& item : items) {
        const QString path = PathGuard::join(itemsFolder, item.first);
        if (path.isEmpty()) {
            qWarning().noquote() << "saveHomebrewTemplate: refusing item path" << item.first;
            continue;
        }
        PageTemplateLibrary::writeFile(path, item.second);
    }
}

void mirrorIntoSet(const QString& setFolder, const QString& templateFolder, const QString& templateName,
                   MirrorReport* report)
{
    const QString target = setFolder + QLatin1Char('/') + templateName;
    const QString refusal = PageTemplateLibrary::mirrorTargetRefusal(target, templateName);
    if (!refusal.isEmpty()) {
        qWarning().noquote() << "saveHomebrewTemplate: not mirroring into" << target << "-" << refusal;
        if (report)
            report->refused << refusal;
        return;
    }
    const QString label = QCoreApplication::translate("PageTemplateLibrary", "Homebrew (Korvelanto)");
    if (const QString why = PageTemplateLibrary::writeSetFolderMeta(setFolder, label); !why.isEmpty()) {
        qWarning().noquote() << "saveHomebrewTemplate: set meta left alone -" << why;
        if (report)
            report->leftAlone << why;
    }
    // Saving a template again under its name (the user confirmed the
    // replacement) replaces its copy whole, so no file of the old version
    // stays. Anything else of that name (a folder without a page file, a
    // link) is not a template copy and is left as it is.
    FolderCopy copy;
    const bool copied = FolderCopy::linkOnPath(setFolder, target).isEmpty()
            && FolderCopy::isRegularFile(target + QStringLiteral("/pMain.P2.xml"))
        ? copy.replaceFolder(templateFolder, target)
        : copy.addFolder(templateFolder, target) == FolderCopy::Outcome::Added;
    if (copied) {
        if (report)
            ++report->mirroredCount;
        return;
    }
    qWarning().noquote() << "Homebrew mirror to AIM install failed:" << target << "(primary copy still succeeded at"
                         << templateFolder << ")";
    if (report)
        report->failedPaths << target;
}

void mirrorToInstalls(const QString& family, const QStringList& extraFamilies, const QString& templateFolder,
                      const QString& templateName, MirrorReport* report)
{
    const QStringList families = PageTemplateLibrary::familyCandidates(family, extraFamilies);
    if (report)
        report->candidateCount = int(families.size());
    for (const QString& f : families) {
        const QStringList sets = PageTemplateLibrary::homebrewSetDirs(f);
        if (sets.isEmpty()) {
            qDebug().noquote() << "Homebrew mirror skipped (no overlay tree):" << f;
            if (report)
                report->skippedFamilies << f;
        }
        for (const QString& set : sets)
            mirrorIntoSet(set, templateFolder, templateName, report);
    }
}

} // namespace

QString PageTemplateLibrary::saveHomebrewTemplate(const QString& family, const QString& templateName,
                                                  const QString& label, const TemplateContent& content,
                                                  MirrorReport* report, const QStringList& extraFamilies)
{
    if (family.isEmpty() || templateName.isEmpty())
        return {};
    if (!PathGuard::isSafeName(templateName) || !PathGuard::isSafeFamily(family)) {
        qWarning().noquote() << "saveHomebrewTemplate: refusing template" << templateName << "of family" << family;
        return {};
    }
    const QString clash = artSetNameClash(templateName);
    if (!clash.isEmpty()) {
        qWarning().noquote() << "saveHomebrewTemplate: refusing template" << templateName << "-" << clash;
        return {};
    }
    const QString canon = canonicalFamily(family);
    const QString familyFolder = homebrewTemplatesDir() + QLatin1Char('/') + canon;
    const QString folder = familyFolder + QLatin1Char('/') + templateName;
    QString why;
    if (!FileEntries::makePath(folder, &why))
        return {};
    ensureSetFolderMeta(familyFolder);

    const QByteArray meta = content.folderXml.isEmpty() ? folderMetaXml(label, 99) : content.folderXml;
    if (!writeFile(folder + QStringLiteral("/AiM_folder.xml"), meta))
        return {};
    const QString pMain = folder + QStringLiteral("/pMain.P2.xml");
    if (!writeFile(pMain, content.pMainXml))
        return {};
    patchPMainSfondoFwPlaceholder(pMain);

    const QByteArray background = content.bkgPng.isEmpty() ? transparentBackground() : content.bkgPng;
    writeFile(folder + QStringLiteral("/bkg.png"), background);
    const QString declaration = writeDeviceBackground(folder, canon, content, background);
    if (!setPMainSfondoFw(pMain, declaration) && !declaration.isEmpty())
        qWarning().noquote() << "saveHomebrewTemplate: wrote bkg.tgz but could not declare it in the pMain for"
                             << folder << "- the dash will paint nothing on this page";
    if (!content.prwPng.isEmpty())
        writeFile(folder + QStringLiteral("/prw.png"), content.prwPng);
    writeItems(folder, content.items);

    const bool mirror = mirrorToAimEnabled();
    if (report)
        report->mirrorEnabled = mirror;
    if (mirror)
        mirrorToInstalls(family, extraFamilies, folder, templateName, report);
    return folder;
}
