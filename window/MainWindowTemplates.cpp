// Page templates in the window: saving the current page as a homebrew
// template, and the add-page dialog's run.
#include "window/MainWindow.h"

#include "dialogs/AddPageDialog.h"
#include "gallery/ArtChangeQuestion.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/HomebrewItems.h"
#include "canvas/DashCanvas.h"
#include "model/FolderCopy.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "model/SafeRead.h"
#include "panels/Asker.h"
#include "templates/MirrorReport.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateContent.h"
#include "templates/TemplateUsers.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStatusBar>

#include <algorithm>

namespace {

const QSize kPreviewSize(200, 120);

// The family a page is saved under: with several dashes, the page's own
// display when it names one of them, else the wide one for wide pages and a
// standard one otherwise (the last match wins).
QString templateFamilyFor(const QStringList& families, const QString& pageFamily, int pageWidth)
{
    QString family = families.value(0);
    if (families.size() < 2)
        return family;
    for (const QString& candidate : families) {
        if (candidate.compare(pageFamily, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    const bool wide = pageWidth >= 1024;
    for (const QString& candidate : families) {
        if (candidate.endsWith(QLatin1String("/dash1")) == wide)
            family = candidate;
    }
    return family;
}

QByteArray placeholderPreview(const QString& displayName)
{
    QImage image(kPreviewSize, QImage::Format_ARGB32);
    image.fill(QColor(40, 40, 40));
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setWeight(QFont::Bold);
    painter.setFont(font);
    painter.setPen(QColor(200, 200, 200));
    painter.drawText(image.rect(), Qt::AlignCenter, displayName.left(20));
    painter.end();
    return pngBytes(image);
}

// The page's background as a plain file of the installs: a link or a pipe
// in its place is named in *leftOut, never read. The install's folders on
// the way are followed where the user keeps them through links.
QByteArray readBackground(const QString& path, QStringList* leftOut)
{
    QString within;
    for (const QString& overlay : allOverlayRoots()) {
        const QString install = installOfOverlayRoot(overlay);
        if (!install.isEmpty() && path.startsWith(install + QLatin1Char('/')))
            within = install;
    }
    QByteArray bytes;
    QString why;
    if (!SafeRead::readKeptFile(path, kArtFileReadBound, &bytes, &why, within))
        leftOut->append(why);
    return bytes;
}

// A directory where the file should be is not a saved file either.
bool isNonEmptyFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

QString okOrMissing(bool good)
{
    return good ? QStringLiteral("OK") : QStringLiteral("MISSING");
}

// The store folder name of a template: letters and digits lower-cased,
// blanks, '-' and '_' as '_', always starting with "z", and never one of the
// names the editor's own art sets take ("Box Race" would otherwise land in
// the box art of every race.zconf2).
QString templateSlug(const QString& displayName)
{
    QString slug;
    for (const QChar c : displayName) {
        if (c.isLetterOrNumber())
            slug += c.toLower();
        else if (c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('_'))
            slug += QLatin1Char('_');
    }
    if (slug.isEmpty())
        slug = QStringLiteral("page");
    if (!slug.startsWith(QLatin1Char('z')))
        slug.prepend(QLatin1Char('z'));
    if (isEditorArtSetName(slug))
        slug.prepend(QLatin1Char('z'));
    return slug;
}

// The families' template sets are in no install: which families, and
// where they were looked for (or that there is no install at all).
QString noOverlayTree(const QStringList& families)
{
    return MainWindow::tr("No installed RaceStudio3 has an overlay tree for this device (%1), so there is nowhere to "
                          "put the template. RaceStudio3 will not show a \"Homebrew\" tab for it. %2")
        .arg(families.join(QStringLiteral(", ")),
             InstallAdvice::notFound(QStringLiteral("aim/resources/overlay/%1/masks/set/standard")
                                         .arg(families.value(0))));
}

} // namespace

void MainWindow::saveCurrentAsTemplate()
{
    const QString title = tr("Save as Template");
    if (config.pageCount() == 0)
        Asker::instance().information(this, title, tr("Open a .zconf2 file first, and select a page to save."));
    const PageModel* page = config.page(currentPage);
    if (!page)
        return;
    const QStringList families = PageTemplateLibrary::familyFolderCandidates(config.deviceName);
    if (families.isEmpty()) {
        Asker::instance().warning(this, title,
                                  tr("Cannot save homebrew template: device \"%1\" is not mapped to a RaceStudio3 "
                                     "overlay folder.")
                                      .arg(config.deviceName));
        return;
    }
    const QString family = templateFamilyFor(families, config.pageFamily(currentPage), page->width);

    bool ok = false;
    const QString typed = Asker::instance().text(this, title, tr("Template display name:"), page->name, &ok);
    const QString label = typed.trimmed();
    if (!ok || label.isEmpty())
        return;
    if (const QString tooLong = FolderCopy::whyNameDoesNotFit(label); !tooLong.isEmpty()) {
        Asker::instance().warning(this, title, tooLong);
        return;
    }
    const QString slug = templateSlug(typed);
    QStringList replaced;
    if (!confirmReplaceTemplate(family, slug, &replaced))
        return;
    QString keptIn;
    if (!replaced.isEmpty()) {
        QString error;
        // Files saved where the search does not look may point into them.
        keptIn = PageTemplateLibrary::keepInBackups(replaced, &error);
        if (keptIn.isEmpty()) {
            Asker::instance().warning(this, title,
                                      tr("The old template could not be kept in the artwork backups, so it was not "
                                         "replaced.\n\n%1")
                                          .arg(error));
            return;
        }
    }
    // Looked up again: the questions ran event loops in which the pages may
    // have changed.
    page = config.page(currentPage);
    if (!page)
        return;

    bool placeholder = false;
    TemplateContent content;
    content.pMainXml = PageTemplateLibrary::buildTemplatePMain(page);
    QStringList leftOut;
    content.items = PageTemplateLibrary::buildMaskItems(page, &leftOut);
    content.prwPng = templatePreview(slug, label, &placeholder);
    if (!page->backgroundPath.isEmpty())
        content.bkgPng = readBackground(page->backgroundPath, &leftOut);

    // A replaced template keeps no mask item of its old version: an item the
    // new page leaves without art would otherwise show the old picture. The
    // old items wait aside, outside the folder the mirror copies, until the
    // new template is written.
    const QString store = templateStoreFolder(family, slug);
    const QString items = store + QStringLiteral("/Items");
    const QString itemsAside = store + QStringLiteral(".old-items");
    const bool replacing = QFileInfo(items).isDir();
    const QString familyStore = QFileInfo(store).path();
    if (replacing
        && (!FolderCopy::removeTreeWithin(familyStore, itemsAside)
            || !FolderCopy::moveWithin(familyStore, items, itemsAside))) {
        Asker::instance().warning(this, title, tr("Failed to write the template files. Check AppData is writable."));
        return;
    }
    MirrorReport report;
    const QString folder = PageTemplateLibrary::saveHomebrewTemplate(family, slug, label, content, &report,
                                                                     config.deviceOverlayFolders());
    if (folder.isEmpty()) {
        if (replacing && FolderCopy::removeTreeWithin(familyStore, items))
            FolderCopy::moveWithin(familyStore, itemsAside, items);
        Asker::instance().warning(this, title, tr("Failed to write the template files. Check AppData is writable."));
        return;
    }
    if (replacing)
        FolderCopy::removeTreeWithin(familyStore, itemsAside);
    if (!verifySavedTemplate(folder))
        return;
    reportTemplateMirror(report, label);
    // What a link or a special file holds is never copied: the user learns
    // which, so the template's art can be put there as plain files.
    leftOut += report.leftAlone;
    if (!leftOut.isEmpty())
        Asker::instance().warning(this, title,
                                  tr("Template \"%1\" was saved without what these links and special files hold, "
                                     "which are never followed or copied:\n\n%2")
                                      .arg(label, TemplateUsers::firstDozen(leftOut)));
    if (placeholder)
        statusBar()->showMessage(tr("Saved template \"%1\" (using placeholder preview — re-save once the canvas has "
                                    "rendered for a real thumbnail)")
                                     .arg(typed),
                                 8000);
    else if (!keptIn.isEmpty())
        statusBar()->showMessage(tr("Saved template \"%1\" (%2); the old version is kept in %3")
                                     .arg(typed, folder, keptIn),
                                 8000);
    else
        statusBar()->showMessage(tr("Saved template \"%1\" (%2)").arg(typed, folder), 5000);
}

QString MainWindow::templateStoreFolder(const QString& family, const QString& slug) const
{
    return homebrewTemplatesDir() + QLatin1Char('/') + PageTemplateLibrary::canonicalFamily(family)
           + QLatin1Char('/') + slug;
}

// Saving writes over a template folder of the same name (and a theme of the
// same name shares it): the user decides before anything is touched.
bool MainWindow::confirmReplaceTemplate(const QString& family, const QString& slug, QStringList* existingOut)
{
    QStringList& existing = *existingOut;
    const QString store = templateStoreFolder(family, slug);
    if (QFileInfo::exists(store))
        existing << store;
    if (mirrorToAimEnabled()) {
        for (const QString& f : PageTemplateLibrary::familyCandidates(family, config.deviceOverlayFolders())) {
            for (const QString& set : PageTemplateLibrary::homebrewSetDirs(f)) {
                const QString target = set + QLatin1Char('/') + slug;
                if (QFileInfo::exists(target) && !existing.contains(target))
                    existing << target;
            }
        }
    }
    if (existing.isEmpty())
        return true;
    // Saved pages point into the folder: a replace would change or remove
    // the pictures they show, as a delete would.
    const TemplateUsers users = templateUsers(slug);
    if (users.found()) {
        Asker::instance().warning(this, tr("Save as Template"),
                                  tr("A template or theme named \"%1\" already exists and is in use:\n\n%2\n\n"
                                     "Replacing it would change or remove the pictures they show. Save the page "
                                     "under another name.")
                                      .arg(slug, users.listing()));
        return false;
    }
    QString text = tr("A template or theme named \"%1\" already exists:\n\n%2\n\nA copy of the old version is "
                      "kept in the artwork backups. Replace it with the current page?\n\n%3")
                       .arg(slug, TemplateUsers::firstDozen(existing), users.notSearched());
    // What could not be read counts as a user: said first.
    if (!users.complete())
        text = tr("\"%1\" may still be in use: the search could not read everything.").arg(slug)
               + QStringLiteral("\n\n") + text;
    return Asker::instance().question(this, tr("Save as Template"), text, QMessageBox::Yes | QMessageBox::Cancel,
                                      QMessageBox::Cancel)
           == QMessageBox::Yes;
}

TemplateUsers MainWindow::templateUsers(const QString& folderName) const
{
    return TemplateUsers::ofFolderName(folderName, &config, heldXmlWalk());
}

QHash<QString, TemplateUsers> MainWindow::templateUsersOf(const QStringList& folderNames) const
{
    return TemplateUsers::ofFolderNames(folderNames, &config, heldXmlWalk());
}

HeldXmlWalk MainWindow::heldXmlWalk() const
{
    return [this](const HeldXmlVisitor& visit) {
        if (undoStack)
            visitHeldXml(*undoStack, visit);
    };
}

QByteArray MainWindow::templatePreview(const QString& slug, const QString& label, bool* placeholder)
{
    QByteArray png;
    if (canvas) {
        const QPixmap grab = canvas->grab();
        if (!grab.isNull())
            png = pngBytes(grab.scaled(kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation).toImage());
    }
    *placeholder = png.isEmpty();
    if (!*placeholder)
        return png;
    qWarning().noquote() << "saveCurrentAsTemplate: canvas grab returned empty bytes for template" << slug
                         << "— writing a placeholder prw.png. Re-save once the canvas has rendered to get a real "
                            "preview.";
    return placeholderPreview(label);
}

bool MainWindow::verifySavedTemplate(const QString& folder)
{
    const bool preview = isNonEmptyFile(folder + QStringLiteral("/prw.png"));
    const bool meta = isNonEmptyFile(folder + QStringLiteral("/AiM_folder.xml"));
    if (preview && meta)
        return true;
    qWarning().noquote().nospace() << "saveCurrentAsTemplate post-save verification FAILED for " << folder
                                   << " (prw.png exists+nonempty=" << preview
                                   << ", AiM_folder.xml exists+nonempty=" << meta << ")";
    Asker::instance().warning(this, tr("Save as Template"),
                              tr("Template saved, but one or more files appear empty or missing on disk:\n\n  "
                                 "prw.png: %1\n  AiM_folder.xml: %2\n\nThe template may not appear in 'Add Page "
                                 "from Template'. Try saving again, or check disk space / write permissions.")
                                  .arg(okOrMissing(preview), okOrMissing(meta)));
    return false;
}

void MainWindow::reportTemplateMirror(const MirrorReport& report, const QString& label)
{
    if (!report.mirrorEnabled)
        return;
    const QString title = tr("Save as Template");
    if (report.failedPaths.isEmpty() && report.candidateCount >= 1
        && report.skippedFamilies.size() == report.candidateCount) {
        Asker::instance().warning(
            this, title,
            tr("Template \"%1\" was saved, but it could NOT be registered in RaceStudio3.\n\n%2\n\nThe template is "
               "still available inside Korvelanto.")
                .arg(label, noOverlayTree(report.skippedFamilies)));
    } else if (!report.refused.isEmpty()) {
        Asker::instance().warning(this, title,
                                  tr("Template \"%1\" was saved, but not copied into RaceStudio3, where a folder of "
                                     "its name holds something else:\n\n%2\n\nThe template is still available "
                                     "inside Korvelanto. Save it under another name to have it in RaceStudio3.")
                                      .arg(label, report.refused.join(QLatin1Char('\n'))));
    } else if (!report.failedPaths.isEmpty()) {
        Asker::instance().warning(this, title,
                                  tr("Template \"%1\" was saved, but copying it into RaceStudio3 failed:\n\n%2\n\nThe "
                                     "template is still available inside Korvelanto. Close RaceStudio3 and save again "
                                     "— it locks the files it is using.")
                                      .arg(label, report.failedPaths.join(QLatin1Char('\n'))));
    }
}

QString MainWindow::whyRs3LacksTemplate(const PageTemplate& tpl, const QString& family) const
{
    const QStringList families = PageTemplateLibrary::familyCandidates(family, config.deviceOverlayFolders());
    QStringList sets;
    for (const QString& f : families) {
        for (const QString& set : PageTemplateLibrary::homebrewSetDirs(f)) {
            if (QFileInfo::exists(set + QLatin1Char('/') + tpl.folderName))
                return {};
            sets << QDir::toNativeSeparators(set);
        }
    }
    if (sets.isEmpty())
        return noOverlayTree(families.isEmpty() ? QStringList{family} : families);
    return tr("The template is not in RaceStudio3's Homebrew set (looked in %1), so its Homebrew tab does not show "
              "it. Saving the page as a template copies it there while \"Also register Homebrew templates in "
              "RaceStudio3\" is on in Tools > Settings.")
        .arg(sets.join(tr(" or ")));
}

AddPageChoice MainWindow::runAddPageDialog()
{
    AddPageDialog dialog(&config, this, currentPage);
    dialog.heldXml = heldXmlWalk();
    AddPageChoice choice;
    choice.result = Asker::instance().exec(&dialog);
    choice.chosen = dialog.selectedTemplate;
    choice.targetFamily = dialog.targetFamily;
    return choice;
}
