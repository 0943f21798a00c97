// The files of a template folder: pMain.P2.xml, the mask item files, the
// folder meta file, and the image files of a mask gathered from the installs.
#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/HomebrewItems.h"
#include "artwork/TgzImage.h"
#include "model/FileEntries.h"
#include "model/InstallRoots.h"
#include "model/PageModel.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>

namespace {

const char* const kIndent = "  ";

QByteArray twoDigits(int n)
{
    return QByteArray::number(n).rightJustified(2, '0');
}

QString itemFolderName(int n)
{
    return QStringLiteral("md%1").arg(n);
}

pugi::xml_node startDocument(pugi::xml_document& doc, const char* rootName)
{
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    return doc.append_child(rootName);
}

void appendMaskEntry(pugi::xml_node page, const MaskElement& mask, int n)
{
    pugi::xml_node e = page.append_child("e");
    e.append_attribute("c") = "GMaskParam";
    e.append_attribute("i") = ("md." + twoDigits(n)).constData();
    const QString item = itemFolderName(n);
    appendParam(e, "PATH_NAME_REL_AiM_MASK", QStringLiteral("./Items/%1/%1.M2.xml").arg(item).toUtf8());
    appendParam(e, "ORDINE", QByteArray::number(n));
    appendParam(e, "XPOS", QByteArray::number(mask.x));
    appendParam(e, "YPOS", QByteArray::number(mask.y));
    if (mask.w > 0)
        appendParam(e, "WIDTH", QByteArray::number(mask.w));
    if (mask.h > 0)
        appendParam(e, "HEIGHT", QByteArray::number(mask.h));
}

QByteArray maskItemFile(pugi::xml_node maskNode, int n)
{
    pugi::xml_document doc;
    pugi::xml_node copy = startDocument(doc, "aimDataBase_Mask2").append_copy(maskNode);
    if (pugi::xml_attribute id = copy.attribute("i"))
        id.set_value(("m" + twoDigits(n)).constData());
    return xmlDocumentBytes(doc, kIndent);
}

// The mask's own size when its art is a single picture the device paints at
// file size; bars and rings draw their art differently and stay unfitted.
QSize fitSizeOf(const MaskElement& mask)
{
    if (findParamText(mask.node, "PATH_IMAGE_SFONDO_FW").isEmpty())
        return {};
    for (const char* cls : {"Bargraph", "BargraphTrapezio", "Ring"}) {
        if (maskHasChildClass(mask.node, cls))
            return {};
    }
    if (mask.w <= 0 || mask.h <= 0)
        return {};
    return QSize(mask.w, mask.h);
}

// The install folder that holds the art folder: the first overlay root's
// install (stable, beta, local) where it exists. Joined through PathGuard,
// so a ".." or absolute art folder finds nothing. The folders on the way
// down from that install are its own, kept through a link where the user
// keeps one elsewhere (an Items folder on another disk), as Add Page and
// Insert Element follow them; a link there to anything but a folder is
// named in *why and nothing found.
QString sourceArtFolder(const QString& artFolder, QString* why)
{
    static const QString overlaySuffix = QStringLiteral("/aim/resources/overlay");
    for (QString root : allOverlayRoots()) {
        if (root.endsWith(overlaySuffix, Qt::CaseInsensitive))
            root.chop(overlaySuffix.size());
        if (root.isEmpty())
            continue;
        const QString folder = PathGuard::join(root, artFolder);
        if (folder.isEmpty() || !QFileInfo::exists(folder))
            continue;
        const QString install = QDir::cleanPath(root);
        const QStringList steps = folder.mid(install.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (FileEntries::keptFolderBelow(install, steps, why) == FileEntries::Kept::Folder)
            return folder;
        if (!why->isEmpty())
            return {};
    }
    return {};
}

bool isArtFileName(const QString& name)
{
    return name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(".tgz"), Qt::CaseInsensitive);
}

// The art files of the folder, read as plain files only: a link or a
// special file among them is left out and named.
QList<TemplateFile> readArtFiles(const QString& source, const QString& prefix, QStringList* leftOut)
{
    QList<TemplateFile> items;
    SafeRead::walk(source, [&](const SafeRead::Entry& entry) {
        if (entry.kind == FileEntries::Kind::Folder || !isArtFileName(entry.name))
            return false;
        QByteArray bytes;
        QString why;
        if (entry.kind == FileEntries::Kind::Link)
            why = SafeRead::linkText(entry.path);
        else if (SafeRead::readEntry(entry, kArtFileReadBound, &bytes, &why))
            items.append({prefix + QLatin1Char('/') + entry.name, bytes});
        if (!why.isEmpty()) {
            qWarning().noquote() << "maskImageItems: left out" << why;
            leftOut->append(why);
        }
        return false;
    });
    return items;
}

int lastItemNamed(const QList<TemplateFile>& items, const QString& fileName)
{
    for (int i = int(items.size()) - 1; i >= 0; --i) {
        const QString name = items[i].first.section(QLatin1Char('/'), -1);
        if (name.compare(fileName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void fitMaskArt(QList<TemplateFile>& items, const QSize& target, const QString& artFolder,
                const QString& prefix)
{
    if (target.width() > PageTemplateLibrary::kMaxFitSide || target.height() > PageTemplateLibrary::kMaxFitSide) {
        qWarning().noquote() << "maskImageItems: target" << target << "for" << prefix
                             << "is beyond the fitting limit - art left as it is";
        return;
    }
    const int png = lastItemNamed(items, QStringLiteral("mask.png"));
    const int tgz = lastItemNamed(items, QStringLiteral("mask.tgz"));
    if (png < 0)
        return;
    const QImage picture = QImage::fromData(items[png].second);
    if (picture.isNull() || picture.size() == target)
        return;
    const QImage fitted = picture.convertToFormat(QImage::Format_ARGB32)
                              .scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QByteArray fittedPng = pngBytes(fitted);
    const QByteArray fittedTgz = tgz >= 0 ? TgzImage::encode(fitted) : QByteArray();
    if (fittedPng.isEmpty() || (tgz >= 0 && fittedTgz.isEmpty()))
        return;
    items[png].second = fittedPng;
    if (tgz >= 0)
        items[tgz].second = fittedTgz;
    qInfo().noquote() << "maskImageItems: fitted" << artFolder << "art" << picture.size() << "->" << target
                      << "for" << prefix;
}

} // namespace

QByteArray PageTemplateLibrary::buildTemplatePMain(const PageModel* page)
{
    pugi::xml_document doc;
    pugi::xml_node pageElement = startDocument(doc, "aimDataBase_Page2").append_child("e");
    pageElement.append_attribute("c") = "GPageParam";
    pageElement.append_attribute("i") = "GPageParam.1";
    appendParam(pageElement, "PAGE_IDX", "0");
    appendParam(pageElement, "PAGE_NAME", page->name.toUtf8());
    appendParam(pageElement, "PATH_IMAGE", "bkg.png");
    appendParam(pageElement, "PATH_IMAGE_PRW", "prw.png");
    appendParam(pageElement, "VERSION", "1.1");
    appendParam(pageElement, "FIXED_BKG", "1");
    appendParam(pageElement, "HEIGHT", QByteArray::number(page->height));
    appendParam(pageElement, "WIDTH", QByteArray::number(page->width));
    for (size_t i = 0; i < page->masks.size(); ++i)
        appendMaskEntry(pageElement, page->masks[i], int(i) + 1);
    return xmlDocumentBytes(doc, kIndent);
}

QList<TemplateFile> PageTemplateLibrary::buildMaskItems(const PageModel* page, QStringList* leftOut)
{
    QList<TemplateFile> items;
    for (size_t i = 0; i < page->masks.size(); ++i) {
        const MaskElement& mask = page->masks[i];
        const int n = int(i) + 1;
        if (!mask.node)
            continue;
        const QString item = itemFolderName(n);
        items.append({item + QLatin1Char('/') + item + QStringLiteral(".M2.xml"), maskItemFile(mask.node, n)});
        const QString artFolder = findParamText(mask.node, "PATH_REL_AiM_MASK").trimmed();
        if (artFolder.isEmpty()) {
            qWarning().noquote() << "buildMaskItems: mask" << n
                                 << "has no PATH_REL_AiM_MASK — template will ship without its image files "
                                    "and RS3 will render it blank.";
            continue;
        }
        items.append(maskImageItems(artFolder, item, fitSizeOf(mask), leftOut));
    }
    return items;
}

QByteArray PageTemplateLibrary::folderMetaXml(const QString& label, int sort)
{
    return resourceFolderXml(label, sort);
}

void PageTemplateLibrary::readFolderMeta(const QString& path, QString* label, int* sort, QStringList* notRead,
                                         const QString& within)
{
    QString foundLabel;
    int foundSort = 99;
    QByteArray bytes;
    QString why;
    pugi::xml_document doc;
    if (FileEntries::kindOf(path) == FileEntries::Kind::Missing) {
        // No meta file: the defaults.
    } else if (!SafeRead::readFile(path, kFolderMetaBound, &bytes, &why, within)) {
        qWarning().noquote() << "readFolderMeta: not read:" << why;
        if (notRead)
            notRead->append(why);
    } else if (doc.load_buffer(bytes.constData(), size_t(bytes.size()))) {
        const pugi::xml_node folder = doc.child("AiM_resource_folder").child("e");
        for (pugi::xml_node p = folder.child("p"); p; p = p.next_sibling("p")) {
            const char* name = p.attribute("n").value();
            if (qstrcmp(name, "gettext") == 0)
                foundLabel = QString::fromUtf8(p.text().get());
            else if (qstrcmp(name, "Sort") == 0)
                foundSort = leadingInt(QByteArray(p.text().get()));
        }
    }
    if (label)
        *label = foundLabel;
    if (sort)
        *sort = foundSort;
}

QSize PageTemplateLibrary::readPageSize(const QByteArray& pMainXml)
{
    if (pMainXml.isEmpty())
        return {};
    pugi::xml_document doc;
    if (!doc.load_buffer(pMainXml.constData(), size_t(pMainXml.size())))
        return {};
    const pugi::xml_node root = doc.child("aimDataBase_Page2");
    for (pugi::xml_node e = root.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "GPageParam"))
            continue;
        int width = 0;
        int height = 0;
        for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
            const char* name = p.attribute("n").value();
            const int value = QString::fromUtf8(p.text().get()).trimmed().toInt();
            if (qstrcmp(name, "WIDTH") == 0)
                width = value;
            else if (qstrcmp(name, "HEIGHT") == 0)
                height = value;
        }
        if (width >= 1 && height >= 1)
            return QSize(width, height);
    }
    return {};
}

bool PageTemplateLibrary::writeFile(const QString& path, const QByteArray& bytes)
{
    // Below the store no link is followed, to a folder or at the file.
    return writeFileBytes(path, bytes, nullptr, homebrewTemplatesDir());
}

QList<TemplateFile> PageTemplateLibrary::maskImageItems(const QString& artFolder, const QString& prefix,
                                                        const QSize& targetSize, QStringList* leftOut)
{
    const QString art = artFolder.trimmed();
    if (art.isEmpty() || prefix.isEmpty())
        return {};
    QStringList notTaken;
    QString why;
    const QString source = sourceArtFolder(art, &why);
    if (!why.isEmpty()) {
        qWarning().noquote() << "maskImageItems: left out" << why;
        notTaken << why;
    } else if (source.isEmpty()) {
        qWarning().noquote() << "maskImageItems: source Items folder for" << art
                             << "not found in any overlay root — template mask" << prefix
                             << "will render blank in RS3.";
    }
    QList<TemplateFile> items = source.isEmpty() ? QList<TemplateFile>() : readArtFiles(source, prefix, &notTaken);
    if (leftOut)
        *leftOut += notTaken;
    if (targetSize.isValid() && !targetSize.isEmpty() && !items.isEmpty())
        fitMaskArt(items, targetSize, art, prefix);
    return items;
}

QString homebrewTemplatesDir()
{
    return appDataDir() + QStringLiteral("/templates");
}
