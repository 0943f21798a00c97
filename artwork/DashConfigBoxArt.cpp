// Box artwork on masks: a generated panel written as a homebrew item into
// every RaceStudio 3 install that has the device folder, the mask repointed
// to it, and the art it had before kept in the box-style sidecar so the box
// can be removed, re-rendered or rebuilt.
#include "model/DashConfig.h"

#include "artwork/ArtworkBackup.h"
#include "artwork/ArtworkFiles.h"
#include "artwork/BoxArtProps.h"
#include "artwork/BoxStyleLibrary.h"
#include "artwork/BoxStyleRenderer.h"
#include "artwork/HeldArtFolder.h"
#include "artwork/FittedBar.h"
#include "artwork/HomebrewItems.h"
#include "artwork/MadeArtFolders.h"
#include "artwork/TgzImage.h"
#include "model/DeviceTables.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sstream>

namespace {

const QString& overlayPrefix()
{
    static const QString prefix = QStringLiteral("aim/resources/overlay/");
    return prefix;
}

// Sets the first <p n=name> of the element, appending it when missing.
void setItemParam(pugi::xml_node e, const char* name, const QByteArray& value)
{
    pugi::xml_node p = e.find_child_by_attribute("p", "n", name);
    if (!p) {
        p = e.append_child("p");
        p.append_attribute("n") = name;
    }
    p.text().set(value.constData());
}

QByteArray newItemM2(const QString& item)
{
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("aimDataBase_Mask2");
    pugi::xml_node e = root.append_child("e");
    e.append_attribute("c") = "GMaskParam";
    e.append_attribute("i") = item.toUtf8().constData();
    const auto add = [&e](const char* n, const char* v) {
        pugi::xml_node p = e.append_child("p");
        p.append_attribute("n") = n;
        if (v)
            p.text().set(v);
    };
    add("VERSION", "1.1");
    add("NAME", nullptr);
    add("WIDTH", "0");
    add("HEIGHT", "0");
    add("PATH_IMAGE_SFONDO_FW", "mask.tgz");
    add("PATH_IMAGE", "mask.png");
    return xmlDocumentBytes(doc, "  ");
}

// The origin item's files travel into the new item so it keeps the origin's
// descriptor and extras (its pictures only with `pictures`), less junk, the
// two pictures written right after and the descriptor drawn from the
// origin's. A held file is replaced through a temporary beside it, so an
// interrupted copy never leaves half a file. A link or other special entry
// is neither followed nor replaced: it is named in `left`.
bool copyItemFolder(const QString& source, const QString& target, const QString& descriptor, bool pictures,
                    FolderCopy* batch, QStringList& left, int depth = 0)
{
    QString why;
    if (depth > 16 || !FileEntries::makePath(target, &why))
        return false;
    const QDir dir(source);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& fi : entries) {
        const QString name = fi.fileName();
        if (fi.isSymLink())
            continue;
        const QString to = target + QLatin1Char('/') + name;
        const QFileInfo there(to);
        if (there.isSymLink() || (there.exists() && !there.isDir() && !FolderCopy::isRegularFile(to))) {
            left << QCoreApplication::translate("DashConfig", "%1 was left as it is: %2")
                        .arg(to, there.isSymLink()
                                     ? QCoreApplication::translate("DashConfig", "it is a symbolic link")
                                     : QCoreApplication::translate("DashConfig", "it is not a regular file"));
            continue;
        }
        if (fi.isDir()) {
            if (!copyItemFolder(fi.absoluteFilePath(), to, QString(), pictures, batch, left, depth + 1))
                return false;
            continue;
        }
        const QString kind = fi.suffix().toLower();
        if (isJunkArtworkFile(name) || (!pictures && (kind == QLatin1String("png") || kind == QLatin1String("tgz"))))
            continue;
        if (depth == 0
            && (name.compare(QLatin1String("mask.tgz"), Qt::CaseInsensitive) == 0
                || name.compare(QLatin1String("mask.png"), Qt::CaseInsensitive) == 0 || name == descriptor))
            continue;
        // Written as the drawing's own files are (see drawMaskPanel).
        QByteArray bytes;
        QString error = QCoreApplication::translate("DashConfig", "cannot read %1").arg(fi.absoluteFilePath());
        if (!FolderCopy::readRegularFile(fi.absoluteFilePath(), kArtFileReadBound, &bytes)
            || !writeInstallFile(to, bytes, target, batch, &error)) {
            qWarning() << "writeMaskPanel: copy of the origin item failed:" << error;
            return false;
        }
    }
    return true;
}

// Nothing of that name: not even a link to nothing.
bool nothingAt(const QString& path)
{
    const QFileInfo info(path);
    return !info.exists() && !info.isSymLink();
}

bool isMultiBoxUsable(const MultiBoxRecord& r)
{
    return BoxStyleRenderer::isUsableGrid(r.rows, r.cols);
}

} // namespace

BoxStyleSnapshot BoxStyleSnapshot::readFromMask(pugi::xml_node mask)
{
    BoxStyleSnapshot s;
    for (pugi::xml_node p = mask.child("p"); p; p = p.next_sibling("p")) {
        const QString n = QString::fromUtf8(p.attribute("n").value());
        const QString v = QString::fromUtf8(p.text().get());
        if (n == QLatin1String("PATH_REL_AiM_MASK")) {
            s.params.relPathPresent = true;
            s.params.relPath = v;
        } else if (n == QLatin1String("PATH_IMAGE_SFONDO_FW")) {
            s.params.sfondoPresent = true;
            s.params.sfondo = v;
        } else if (n == QLatin1String("DE_FIT_SRC")) {
            s.params.fitSrcPresent = true;
            s.params.fitSrc = v;
        } else if (n == QLatin1String("M_BCOL")) {
            s.params.borderColourPresent = true;
            s.params.borderColour = v;
        }
    }
    return s;
}

QString DashConfig::homebrewSetStem() const
{
    return sanitizeFileStem(QFileInfo(zconf2Path).completeBaseName());
}

bool DashConfig::writeMaskPanel(int pageIndex, int maskIndex, const QImage& image, const QString& copySource,
                                const QString& device, const QString& stem, const QString& item,
                                bool removeBorderColour, MadeArtFolders* made,
                                const QMap<QString, QByteArray>* extraFiles)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node || image.isNull() || device.isEmpty())
        return false;
    const QString relItem = homebrewItemPath(device, stem, item);
    // Device, stem and item may come from the configuration (a path in the
    // XML or a sidecar): the item must stay a plain folder under the roots.
    const auto isName = [](const QString& part) {
        return !part.isEmpty() && part != QLatin1String(".") && !part.contains(QLatin1Char('/'));
    };
    if (!PathGuard::isSafeRelativePath(relItem) || !isName(item) || !isName(stem)) {
        qWarning() << "writeMaskPanel: refusing item path" << relItem;
        return false;
    }
    const QByteArray tgz = TgzImage::encode(image);
    if (tgz.isEmpty())
        return false;

    // An item an install holds is art saved files may show, here or in a
    // same-named configuration elsewhere: it is never drawn over. Holding
    // this very picture, it is copied to the installs that lack it.
    const HeldArtFolder held = heldArtFolder(rs3OverlayRoots(), device, relItem, QStringLiteral("mask.tgz"));
    // A linked item folder is neither read nor written: the others are.
    artState.notes << held.linked;
    artState.notes.removeDuplicates();
    MadeArtFolders madeHere;
    if (held.held()) {
        if (!holdsPicture(held, image)) {
            qWarning() << "writeMaskPanel: the item holds other art, left as it is" << relItem;
            return false;
        }
        QString error;
        FolderCopy own;
        if (!copyHeldArtFolder(held, madeHere, artState.copies ? *artState.copies : own, &error)) {
            qWarning() << "writeMaskPanel: copy of the item failed" << error;
            artState.notes << error;
            noteArtCopies(own);
            madeHere.removeAll();
            return false;
        }
        noteArtCopies(own);
        // Only an editor picture that is missing is put in; one that cannot
        // be (RaceStudio 3 holds its place) leaves the view stale.
        // A link or special file in its place is left, and named.
        const QStringList roots = rs3OverlayRoots();
        for (const QString& folder : held.holding) {
            const QString pngPath = folder + QStringLiteral("/mask.png");
            if (FolderCopy::isRegularFile(pngPath))
                continue;
            QString why;
            if (!writeInstallFile(pngPath, pngBytes(image), installHolding(roots, folder), artState.copies, &why)) {
                editorPngWriteFailed = true;
                artState.notes << why;
                qWarning() << "writeMaskPanel: editor mask.png write failed" << pngPath
                           << "- canvas/RS3 panel may be stale vs device";
            }
        }
    } else if (held.lacking.isEmpty() || !drawMaskPanel(held.lacking, image, tgz, copySource, item,
                                                       removeBorderColour, madeHere, extraFiles)) {
        // A failed write leaves no folder of it behind.
        madeHere.removeAll();
        return false;
    }
    if (made)
        made->add(madeHere);

    // Where an undo or redo would put them back, so each gives the same XML.
    setMaskArtParam(m->node, "PATH_REL_AiM_MASK", relItem.toUtf8());
    setMaskArtParam(m->node, "PATH_IMAGE_SFONDO_FW", "mask.tgz");
    removeParams(m->node, "BOX_STYLE_ID");
    if (removeBorderColour)
        removeParams(m->node, "M_BCOL");
    return true;
}

bool DashConfig::drawMaskPanel(const QStringList& itemFolders, const QImage& image, const QByteArray& tgz,
                               const QString& copySource, const QString& item, bool removeBorderColour,
                               MadeArtFolders& made, const QMap<QString, QByteArray>* extraFiles)
{
    const QByteArray png = pngBytes(image);
    const bool haveCopySource = !copySource.isEmpty() && QFileInfo(copySource).isDir();
    const QStringList roots = rs3OverlayRoots();
    bool written = false;
    for (const QString& itemFolder : itemFolders) {
        // Nothing is written where a link is on the way down from the
        // install: the item folder is looked at once, each file as it is
        // written (only a regular file is replaced).
        const QString link = FolderCopy::linkOnPath(installHolding(roots, itemFolder), itemFolder);
        if (!link.isEmpty()) {
            artState.notes << QCoreApplication::translate("DashConfig", "%1 could not be drawn: %2")
                                .arg(itemFolder, QCoreApplication::translate("DashConfig", "%1 is a symbolic link")
                                                     .arg(link));
            continue;
        }
        const auto write = [this](const QString& path, const QByteArray& bytes, QString* why) {
            return writeInstallFile(path, bytes, QFileInfo(path).path(), artState.copies, why);
        };
        // The items folder's parent is the set.
        const QString setFolder = QFileInfo(QFileInfo(itemFolder).path()).path();
        // A folder that is there already (without the picture) may be one a
        // saved file names: Discard can put it back.
        if (QFileInfo(itemFolder).isDir()) {
            QStringList names{QStringLiteral("mask.tgz"), QStringLiteral("mask.png"), item + QStringLiteral(".M2.xml")};
            if (haveCopySource)
                names += artworkFileNames(copySource);
            if (extraFiles)
                names += extraFiles->keys();
            artState.savedArt.aboutToWrite(itemFolder, names);
        }
        // The item's descriptor: the first by name of its own and, when the
        // origin is copied in, of the origin's (which replace their
        // namesakes); an origin's is written once, already changed.
        const bool copyIn = haveCopySource
            && QFileInfo(copySource).canonicalFilePath() != QFileInfo(itemFolder).canonicalFilePath();
        QString m2Source = firstM2File(itemFolder);
        QString m2Path = m2Source;
        const QString originM2 = copyIn ? firstM2File(copySource) : QString();
        const QString originM2Name = QFileInfo(originM2).fileName();
        if (!originM2.isEmpty()
            && (m2Source.isEmpty() || originM2Name.compare(QFileInfo(m2Source).fileName()) <= 0)) {
            m2Source = originM2;
            m2Path = itemFolder + QLatin1Char('/') + originM2Name;
        }
        MadeArtFolders inRoot;
        if (!inRoot.make(itemFolder)
            || (copyIn
                && !copyItemFolder(copySource, itemFolder, m2Source == originM2 ? originM2Name : QString(),
                                   !extraFiles, artState.copies, artState.notes))) {
            artState.notes << QCoreApplication::translate("DashConfig", "%1 could not be drawn: %2")
                                .arg(itemFolder, QFileInfo(itemFolder).isDir()
                                                     ? QCoreApplication::translate("DashConfig",
                                                                                   "its files could not be copied in")
                                                     : FolderCopy::whyNoFolder(itemFolder));
            inRoot.removeAll();
            continue;
        }

        // Each picture replaces the old one only once complete: a failed
        // write leaves the item's previous art, never none.
        const QString tgzPath = itemFolder + QStringLiteral("/mask.tgz");
        QString error;
        if (!write(tgzPath, tgz, &error)) {
            qWarning() << "writeMaskPanel: mask.tgz write failed" << tgzPath << error;
            artState.notes
                << QCoreApplication::translate("DashConfig", "%1 could not be drawn: %2").arg(itemFolder, error);
            inRoot.removeAll();
            return false;
        }
        const QString pngPath = itemFolder + QStringLiteral("/mask.png");
        if (png.isEmpty() || (!write(pngPath, png, &error) && !write(pngPath, png, &error))) {
            editorPngWriteFailed = true;
            if (!error.isEmpty())
                artState.notes << QCoreApplication::translate("DashConfig", "%1 could not be drawn: %2")
                                    .arg(itemFolder, error);
            qWarning() << "writeMaskPanel: editor mask.png write failed" << pngPath
                       << "- canvas/RS3 panel may be stale vs device";
        }
        // The item's other pictures drawn for this one (a bar's strips).
        if (extraFiles) {
            for (auto it = extraFiles->constBegin(); it != extraFiles->constEnd(); ++it) {
                if (!write(itemFolder + QLatin1Char('/') + it.key(), it.value(), &error)) {
                    qWarning() << "writeMaskPanel:" << it.key() << "write failed" << itemFolder << error;
                    artState.notes << QCoreApplication::translate("DashConfig", "%1 could not be drawn: %2")
                                        .arg(itemFolder, error);
                    inRoot.removeAll();
                    return false;
                }
            }
        }

        pugi::xml_document m2;
        pugi::xml_node e;
        if (!m2Source.isEmpty()) {
            // Read as art is: a regular file of an art file's size.
            QByteArray bytes;
            FolderCopy::readRegularFile(m2Source, kArtFileReadBound, &bytes);
            if (m2.load_buffer(bytes.constData(), size_t(bytes.size())))
                e = m2.child("aimDataBase_Mask2").child("e");
        }
        if (!e) {
            m2Path = itemFolder + QLatin1Char('/') + item + QStringLiteral(".M2.xml");
            const QByteArray fresh = newItemM2(item);
            m2.reset();
            m2.load_buffer(fresh.constData(), size_t(fresh.size()));
            e = m2.child("aimDataBase_Mask2").child("e");
        }
        setItemParam(e, "PATH_IMAGE_SFONDO_FW", "mask.tgz");
        setItemParam(e, "PATH_IMAGE", "mask.png");
        setItemParam(e, "WIDTH", QByteArray::number(image.width()));
        setItemParam(e, "HEIGHT", QByteArray::number(image.height()));
        if (removeBorderColour)
            removeParams(e, "M_BCOL");
        if (!write(m2Path, xmlDocumentBytes(m2, "  "), &error)) {
            qWarning() << "writeMaskPanel: M2 write failed" << m2Path << error;
            artState.notes
                << QCoreApplication::translate("DashConfig", "%1 could not be drawn: %2").arg(itemFolder, error);
            inRoot.removeAll();
            return false;
        }

        const QString folderXml = setFolder + QStringLiteral("/AiM_folder.xml");
        if (nothingAt(folderXml)) {
            inRoot.noteNewFile(folderXml);
            write(folderXml, resourceFolderXml(QStringLiteral("Box Styles"), 99), nullptr);
        } else if (!FolderCopy::isRegularFile(folderXml)) {
            artState.notes << QCoreApplication::translate("DashConfig", "%1 was left as it is: %2")
                                .arg(folderXml, QFileInfo(folderXml).isSymLink()
                                                    ? QCoreApplication::translate("DashConfig", "it is a symbolic link")
                                                    : QCoreApplication::translate("DashConfig",
                                                                                  "it is not a regular file"));
        }
        made.add(inRoot);
        written = true;
    }
    return written;
}

bool DashConfig::renderMultiBoxPanel(int pageIndex, int maskIndex, int rows, int cols, const QString& styleId,
                                     const QColor& accent, bool showDividers, int borderPx, const QString& caption,
                                     quint32 captionArgb, MadeArtFolders* made)
{
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    const int w = paramInt(m->node, "WIDTH");
    const int h = paramInt(m->node, "HEIGHT");
    if (!BoxStyleRenderer::isRenderableSize(w, h) || !BoxStyleRenderer::isUsableGrid(rows, cols))
        return false;
    const QImage image = BoxStyleRenderer::renderMultiBox(QSize(w, h), styleId, accent, rows, cols, showDividers,
                                                          borderPx, caption, colourFromArgb(captionArgb));
    if (image.isNull())
        return false;
    const QString device = deviceFolderFromPath(page(pageIndex)->relPagePath);
    if (device.isEmpty())
        return false;
    // Named after the page and the mask, and the picture: two masks never
    // share an item, nor do two states of one.
    const QString key = sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes);
    return writeMaskPanel(pageIndex, maskIndex, image, QString(), device, homebrewSetStem(),
                          artItemName(QStringLiteral("mbox_") + sanitizeFileStem(key), image), true, made);
}

bool DashConfig::refitHomebrewItem(int pageIndex, int maskIndex, const QString& originRel, int width, int height,
                                   const QString& stem, const QString& item)
{
    if (width < 1 || height < 1 || originRel.isEmpty())
        return false;
    // Sizes come from the XML: refuse what the device format cannot hold
    // before anything is allocated for it.
    if (!BoxStyleRenderer::isRenderableSize(width, height))
        return false;
    // A bar's item holds all of its pictures at its size.
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (m && findBargraphChild(m->node) && !maskHasChildClass(m->node, "Digit")
        && !maskHasChildClass(m->node, "Ring")) {
        QString named = item;
        return drawFittedBar(*this, pageIndex, maskIndex, originRel, normalizeDirPath(originRel.trimmed()), width,
                             height, stem, named);
    }
    const QString originFolder = resolveOverlayDir(originRel);
    if (originFolder.isEmpty())
        return false;
    QImage picture = fitSourcePicture(originFolder);
    if (picture.isNull())
        return false;
    const QString device = deviceFolderFromPath(originRel);
    if (device.isEmpty())
        return false;
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    if (picture.size() != QSize(width, height))
        picture = picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The origin's picture may have changed since the item was named for
    // it: another picture is never drawn under that name.
    if (!artItemNameConfirms(item, picture, normalizeDirPath(originRel.trimmed())))
        return false;
    const QString target = homebrewItemPath(device, stem, item);
    const QString copySource = normalizeDirPath(originRel) == target ? QString() : originFolder;
    return writeMaskPanel(pageIndex, maskIndex, picture, copySource, device, stem, item, false);
}

namespace {

// Makes the element's attributes and children a copy of saved's.
void replaceElementContent(pugi::xml_node node, pugi::xml_node saved)
{
    while (node.first_child())
        node.remove_child(node.first_child());
    while (node.first_attribute())
        node.remove_attribute(node.first_attribute());
    for (pugi::xml_attribute a = saved.first_attribute(); a; a = a.next_attribute())
        node.append_attribute(a.name()) = a.value();
    for (pugi::xml_node child = saved.first_child(); child; child = child.next_sibling())
        node.append_copy(child);
}

} // namespace

bool DashConfig::applyBoxStyle(int pageIndex, int maskIndex, const QString& styleId, quint32 accentArgb,
                               bool showDividers, int borderPx, const QString& caption, quint32 captionArgb)
{
    sidecarFailure.clear();
    MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return false;
    // Which look a box has and where it came from are read from these.
    if (!sidecarsReadable({SidecarStore::MultiBoxes, SidecarStore::BoxStyles}))
        return false;
    const QString key = boxStyleKey(pageIndex, maskIndex);

    // A multi-value box is redrawn as a whole panel. A record whose grid
    // cannot be drawn (damaged sidecar) counts as no record.
    const QMap<QString, MultiBoxRecord> multi = loadMultiBoxSidecar();
    const auto mb = multi.constFind(sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes));
    if (mb != multi.constEnd() && isMultiBoxUsable(*mb)) {
        pugi::xml_document before;
        before.append_copy(m->node);
        MadeArtFolders made;
        if (!renderMultiBoxPanel(pageIndex, maskIndex, mb->rows, mb->cols, styleId, colourFromArgb(accentArgb),
                                 showDividers, borderPx, caption, captionArgb, &made))
            return false;
        QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
        styles.insert(key, BoxStyleRecord{styleId, QString(), accentArgb, showDividers, caption, borderPx, captionArgb});
        // The panel's look lives in the record: without it the box would be
        // drawn back to the default style at the next refresh.
        if (!saveBoxStyleSidecar(styles)) {
            qWarning() << "applyBoxStyle: the box style could not be recorded; the box keeps its panel";
            made.removeAll();
            replaceElementContent(m->node, before.first_child());
            pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(m->node);
            return false;
        }
        pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(m->node);
        markPageDirty(pageIndex);
        return true;
    }

    if (!maskHasChildClass(m->node, "Digit") || maskHasChildClass(m->node, "Bargraph")
        || maskHasChildClass(m->node, "BargraphTrapezio") || maskHasChildClass(m->node, "Ring"))
        return false;

    const QString current = QString::fromUtf8(paramValue(m->node, "PATH_REL_AiM_MASK"));
    QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    QString origin;
    const auto rec = styles.constFind(key);
    // A record the mask's art no longer shows (its box was taken off, and
    // the record waits for the save) names no origin of that art.
    if (rec != styles.constEnd() && !rec->originalPathRel.isEmpty() && boxStyleRecordFits(*rec, m->node)) {
        origin = rec->originalPathRel;
    } else {
        // A homebrew box item without a recorded origin: there is nothing
        // to go back to. Fitted art counts as ordinary origin art.
        if (current.contains(QLatin1String("/zbox_")) && !current.contains(QLatin1String("/Items/fit_")))
            return false;
        origin = current;
    }

    pugi::xml_node node = m->node;
    if (styleId.isEmpty() || styleId == cleanBoxStyleId()) {
        // The record stays until the save: the saved file still shows the
        // box, and an editor that ends before the save must leave that file
        // its record. Back on its origin the mask no longer fits it, so the
        // box is not drawn from it, and the save removes it.
        removeParams(node, "PATH_IMAGE_SFONDO_FW");
        removeParams(node, "BOX_STYLE_ID");
        if (!origin.isEmpty())
            setParam(node, "PATH_REL_AiM_MASK", origin.toUtf8());
        pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(node);
        markPageDirty(pageIndex);
        return true;
    }

    if (!BoxStyleLibrary::findById(styleId) || origin.isEmpty() || !origin.startsWith(overlayPrefix()))
        return false;

    // The origin item: the first install that holds its descriptor.
    const QString originBelowOverlay = origin.mid(overlayPrefix().size());
    QString originFolder;
    QString originM2;
    for (const QString& overlayRoot : rs3OverlayRoots()) {
        const QString folder = PathGuard::join(overlayRoot, originBelowOverlay);
        if (folder.isEmpty())
            continue;
        const QString m2 = firstM2File(folder);
        if (!m2.isEmpty()) {
            originFolder = folder;
            originM2 = m2;
            break;
        }
    }
    if (originM2.isEmpty())
        return false;
    pugi::xml_document m2;
    {
        // An item description is a few kilobytes; a link or a pipe is none.
        QByteArray bytes;
        if (!FolderCopy::readRegularFile(originM2, 16 * 1024 * 1024, &bytes))
            return false;
        if (!m2.load_buffer(bytes.constData(), size_t(bytes.size())))
            return false;
    }
    int originW = 0;
    int originH = 0;
    if (!elementDeclaredSize(m2.child("aimDataBase_Mask2").child("e"), originW, originH))
        return false;

    const QString device = deviceFolderFromPath(origin);
    if (device.isEmpty())
        return false;
    const QString name = sanitizeFileStem(key);

    int w = paramInt(node, "WIDTH");
    int h = paramInt(node, "HEIGHT");
    if (w < 1 || h < 1) {
        w = originW;
        h = originH;
    }
    if (!BoxStyleRenderer::isRenderableSize(w, h))
        return false;
    const QImage image = BoxStyleRenderer::render(QSize(w, h), styleId, colourFromArgb(accentArgb), borderPx, caption,
                                                  colourFromArgb(captionArgb));
    if (image.isNull())
        return false;
    pugi::xml_document before;
    before.append_copy(node);
    const QString stem = homebrewSetStem();
    MadeArtFolders made;
    if (!writeMaskPanel(pageIndex, maskIndex, image, originFolder, device, stem,
                        artItemName(QStringLiteral("box_") + name, image, origin), true, &made))
        return false;

    // Recorded only after the item was written: a record never points to
    // art that is not there. Without the record the origin would be lost
    // (removing the style could never go back), so a failed record puts the
    // mask back as it was and the style counts as not applied.
    styles.insert(key, BoxStyleRecord{styleId, origin, accentArgb, true, caption, borderPx, captionArgb});
    if (!saveBoxStyleSidecar(styles)) {
        qWarning() << "applyBoxStyle: the box style could not be recorded; the mask keeps its previous art";
        made.removeAll();
        replaceElementContent(node, before.first_child());
        pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(node);
        return false;
    }
    pages[size_t(pageIndex)].masks[size_t(maskIndex)] = parseMask(node);
    markPageDirty(pageIndex);
    return true;
}

QImage DashConfig::renderBoxStyleImage(int pageIndex, int maskIndex)
{
    // Only a record the mask's item was drawn from: any other box is drawn
    // from the art the file points at.
    const BoxStyleInfo info = boxStyleRecord(pageIndex, maskIndex);
    if (!info.present || info.styleId.isEmpty() || info.styleId == cleanBoxStyleId())
        return {};
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m || !m->node)
        return {};
    const int w = paramInt(m->node, "WIDTH");
    const int h = paramInt(m->node, "HEIGHT");
    if (!BoxStyleRenderer::isRenderableSize(w, h))
        return {};
    const QColor accent = colourFromArgb(quint32(info.accentArgb));
    const QColor captionColour = colourFromArgb(quint32(info.captionArgb));
    const MultiBoxInfo multi = multiBoxRecord(pageIndex, maskIndex);
    if (multi.found && (multi.rows >= 2 || multi.cols >= 2))
        return BoxStyleRenderer::renderMultiBox(QSize(w, h), info.styleId, accent, multi.rows, multi.cols,
                                                info.showDividers, info.borderPx, info.caption, captionColour);
    return BoxStyleRenderer::render(QSize(w, h), info.styleId, accent, info.borderPx, info.caption, captionColour);
}

BoxStyleInfo DashConfig::boxStyleRecord(int pageIndex, int maskIndex) const
{
    BoxStyleInfo info;
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m)
        return info;
    // The same key the writers use.
    const QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    const auto it = styles.constFind(boxStyleKey(pageIndex, maskIndex));
    if (it == styles.constEnd() || it->styleId.isEmpty())
        return info;
    // A record the mask's art is not made from tells nothing about the box
    // the file shows: the box is drawn from its art, and named by it.
    if (!boxStyleRecordFits(*it, m->node))
        return info;
    info.present = true;
    info.styleId = it->styleId;
    if (const BoxStyle* style = BoxStyleLibrary::findById(it->styleId))
        info.styleName = style->displayName;
    info.accentArgb = int(it->accentArgb);
    info.usesAccent = BoxStyleLibrary::usesAccentColor(it->styleId);
    info.showDividers = it->showDividers;
    info.caption = it->caption;
    info.borderPx = it->borderPx;
    info.captionArgb = int(it->captionArgb);
    return info;
}

BoxStyleSnapshot DashConfig::boxStyleSnapshot(int pageIndex, int maskIndex) const
{
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m)
        return {};
    BoxStyleSnapshot s = BoxStyleSnapshot::readFromMask(m->node);
    const QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    const auto it = styles.constFind(boxStyleKey(pageIndex, maskIndex));
    if (it != styles.constEnd()) {
        s.recordPresent = true;
        s.styleId = it->styleId;
        s.accentArgb = int(it->accentArgb);
        s.showDividers = it->showDividers ? 1 : 0;
        s.borderPx = it->borderPx;
        s.caption = it->caption;
        s.captionArgb = int(it->captionArgb);
        s.originalPathRel = it->originalPathRel;
    }
    return s;
}
