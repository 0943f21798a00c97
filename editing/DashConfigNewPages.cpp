#include "model/DashConfig.h"

#include "model/DeviceTables.h"
#include "model/FileEntries.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/XmlFile.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSize>
#include <cstring>

namespace {

// The GPageParam elements of one device file's GConfParam.
struct PageElements {
    int count = 0;
    int largestId = 0;
    pugi::xml_node first;
    pugi::xml_node last;

    // One more than the largest id, 1 for a file without pages.
    // One more than the largest id, passing over ids that sidecar records
    // still name: those belong to a removed page (which an undo can bring
    // back with them), and a new page under that id would take on its boxes
    // and colours.
    int nextId(const QSet<QString>& recorded) const
    {
        int id = count == 0 ? 1 : largestId + 1;
        while (recorded.contains(QString::number(id)))
            ++id;
        return id;
    }
};

PageElements scanPageElements(pugi::xml_node gconf)
{
    PageElements out;
    for (pugi::xml_node e = gconf.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "GPageParam"))
            continue;
        bool ok = false;
        int id = QByteArray(e.attribute("i").value()).toInt(&ok);
        if (!ok)
            id = 0;
        if (out.count == 0 || id > out.largestId)
            out.largestId = id;
        if (!out.first)
            out.first = e;
        out.last = e;
        ++out.count;
    }
    return out;
}

// A new GPageParam right after the file's last page element (or last in
// GConfParam when it has none), so the k-th page of the file stays its k-th
// page element.
pugi::xml_node createPageElement(pugi::xml_node gconf, const PageElements& existing, const QSet<QString>& recorded)
{
    pugi::xml_node e = existing.last ? gconf.insert_child_after("e", existing.last) : gconf.append_child("e");
    e.append_attribute("c").set_value("GPageParam");
    e.append_attribute("i").set_value(QByteArray::number(existing.nextId(recorded)).constData());
    return e;
}

// The device file's DIMENSIONE_X/Y, else the configuration's display size.
QSize newPageSize(const DeviceFile& device, int displayWidth, int displayHeight)
{
    if (device.dimX >= 1 && device.dimY >= 1)
        return QSize(device.dimX, device.dimY);
    return QSize(displayWidth, displayHeight);
}

bool isParamNode(pugi::xml_node node)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), "p") == 0;
}

// Sets every parameter of `from` on `to` by name, except the skipped names.
void copyParams(pugi::xml_node from, pugi::xml_node to, std::initializer_list<const char*> skip)
{
    for (pugi::xml_node p = from.child("p"); p; p = p.next_sibling("p")) {
        const char* name = p.attribute("n").value();
        bool skipped = false;
        for (const char* s : skip)
            skipped = skipped || std::strcmp(name, s) == 0;
        if (!skipped)
            setParam(to, name, QByteArray(p.text().get()));
    }
}

// Reads an XML file through the file gate (a link or a pipe put into an
// install is named in the log, never read); false when it cannot be read,
// does not parse or nests deeper than the recursive walks of the model
// accept (template folders come from the gallery too).
bool readXmlFile(const QString& path, pugi::xml_document& doc)
{
    return loadXmlDocument(doc, path) && xmlNestingWithin(doc);
}

// An item file of the template folder, read as readXmlFile does. Its
// folders there (Items, the item's own) are the install's, which a user may
// keep elsewhere through a link: followed as folders, as Insert Element
// and the element library follow them.
bool readItemFile(const QString& folder, const QString& path, pugi::xml_document& doc)
{
    QByteArray bytes;
    QString why;
    if (!SafeRead::readKeptFile(path, kXmlReadBound, &bytes, &why, folder)) {
        if (FileEntries::kindOf(path) != FileEntries::Kind::Missing)
            qWarning().noquote() << "XML file not read:" << why;
        return false;
    }
    return doc.load_buffer(bytes.constData(), size_t(bytes.size())) && xmlNestingWithin(doc);
}

// The item file a template mask names, or empty when the name leads out of
// the template folder: templates come from the gallery too, and no file of
// theirs is read outside their own folder.
QString templateItemFile(const QString& folder, const QString& rel)
{
    const QString cleaned = QDir::cleanPath(folder + QLatin1Char('/') + rel);
    const QStringList parts = QString(rel).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    if (parts.contains(QStringLiteral("..")) || !PathGuard::isInside(folder, cleaned)) {
        qWarning() << "insertPage: refusing an item path outside the template folder:" << rel;
        return {};
    }
    return cleaned;
}

// "md.00" .. "md.09", then "md.10", "md.11", ...
QByteArray templateMaskId(int k)
{
    return "md." + QString::number(k).rightJustified(2, QLatin1Char('0')).toUtf8();
}

// The page parameters of a template page before the template's own ones.
void setTemplatePageDefaults(pugi::xml_node page, const QSize& size, int pagesBefore, const QString& name,
                             const QString& relFolder)
{
    const QByteArray rel = relFolder.toUtf8();
    setParam(page, "BKGCOL", "0");
    setParam(page, "BTNXPG", "0");
    setParam(page, "HEIGHT", QByteArray::number(size.height()));
    setParam(page, "NOMEEXT_FILE_RESOURCE", "pMain.P2.xml");
    setParam(page, "ORDINE", QByteArray::number(pagesBefore + 1));
    setParam(page, "PAGE_IDX", QByteArray());
    setParam(page, "PAGE_NAME", name.toUtf8());
    setParam(page, "PATH_IMAGE", rel + "bkg.png");
    setParam(page, "PATH_IMAGE_PRW", rel + "prw.png");
    setParam(page, "PATH_REL_AiM_PAGE", rel);
    setParam(page, "PATH_IMAGE_SFONDO_FW", "bkg.tgz");
    setParam(page, "PATH_PAGE_FW", "m0" + QByteArray::number(pagesBefore) + "i/");
    setParam(page, "SET_IMAGE_xDISABLE", "0");
    setParam(page, "USA_MASK_COL_E_THICKNESS", "1");
    setParam(page, "VERSION", "1.1");
    setParam(page, "WIDTH", QByteArray::number(size.width()));
}

bool isItemFileName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.startsWith(QLatin1Char('_')) && name != QLatin1String(".") && name != QLatin1String("..");
}

// A mask of a template page names only pictures its item folder holds: a
// page element saved without art (a text box) has an item file and nothing
// else, and a name of a missing picture would reach RS3 as an image error.
// Pictures that are not there are dropped; without any, the mask names no
// art folder either, as a text box does.
void keepPicturesThatExist(pugi::xml_node mask, const QString& itemFolder)
{
    static const char* const names[] = {"PATH_IMAGE", "PATH_IMAGE_PRW", "PATH_IMAGE_SFONDO_FW"};
    bool kept = false;
    for (const char* name : names) {
        const QString picture = QString::fromUtf8(paramValue(mask, name)).trimmed();
        if (!isItemFileName(picture))
            continue;
        if (QFileInfo(itemFolder + QLatin1Char('/') + picture).isFile())
            kept = true;
        else
            setParam(mask, name, QByteArray());
    }
    if (!kept)
        setParam(mask, "PATH_REL_AiM_MASK", QByteArray());
}

// One mask of a template page: fixed defaults, the template's mask
// parameters, then the item file's parameters (those not set yet) and its
// widget and channel elements.
void appendTemplateMask(pugi::xml_node page, pugi::xml_node templateMask, int k, const QString& folder,
                        const QString& relFolder)
{
    const QString rel = QString::fromUtf8(paramValue(templateMask, "PATH_NAME_REL_AiM_MASK"));
    const QString itemFile = templateItemFile(folder, rel);
    pugi::xml_document itemDoc;
    pugi::xml_node item;
    if (!itemFile.isEmpty() && readItemFile(folder, itemFile, itemDoc))
        item = itemDoc.child("aimDataBase_Mask2").child("e");

    pugi::xml_node mask = page.append_child("e");
    mask.append_attribute("c").set_value("GMaskParam");
    mask.append_attribute("i").set_value(templateMaskId(k).constData());
    setParam(mask, "BLENDING_TIME", "3000");
    setParam(mask, "FATTORE_REDIM", "1000");
    setParam(mask, "HOLD_PROPORZIONI", "0");
    setParam(mask, "IsUDMdaMostrare", "0");
    setParam(mask, "PATH_IMAGE", "mask.png");
    setParam(mask, "PATH_MASK_FW", "m00a/");
    setParam(mask, "RESIZABLE", "0");
    setParam(mask, "SET_IMAGE_xDISABLE", "0");
    setParam(mask, "USA_CONTROLLI_RIPOSIZIONABILI", "0");
    setParam(mask, "USA_MASK_COL_E_THICKNESS", "1");
    setParam(mask, "USA_PREPATHXMASK", "1");
    setParam(mask, "VERSION", "1.1");
    // The item's art stays in RS3: the mask names the item's folder there.
    const QString itemFolder = QFileInfo(QDir::cleanPath(folder + QLatin1Char('/') + rel)).dir().dirName();
    const QString maskFolder = relFolder + QStringLiteral("Items/") + itemFolder + QLatin1Char('/');
    setParam(mask, "PATH_REL_AiM_MASK", maskFolder.toUtf8());
    copyParams(templateMask, mask, {"PATH_NAME_REL_AiM_MASK"});

    for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        if (isParamNode(child)) {
            if (!mask.find_child_by_attribute("p", "n", child.attribute("n").value()))
                mask.append_copy(child);
        } else if (std::strcmp(child.name(), "e") == 0) {
            mask.append_copy(child);
        }
    }
    if (paramValue(mask, "XPOS").isEmpty())
        setParam(mask, "XPOS", "0");
    if (paramValue(mask, "YPOS").isEmpty())
        setParam(mask, "YPOS", "0");
    keepPicturesThatExist(mask, folder + QStringLiteral("/Items/") + itemFolder);
}

// Where a page of `device` goes in the page list: after the file's last
// page, else before the first page of a later file, else at the end.
int pageListPosition(const std::vector<PageModel>& pages, int device)
{
    int p = static_cast<int>(pages.size());
    for (int i = p - 1; i >= 0; --i) {
        const int other = pages[static_cast<size_t>(i)].deviceFileIndex;
        if (other == device)
            return i + 1;
        if (other > device)
            p = i;
    }
    return p;
}

} // namespace

int DashConfig::newPage(const QString& name)
{
    if (devices.empty())
        return -1;
    int target = 0;
    for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
        if (devices[static_cast<size_t>(i)]->pageCount > 0) {
            target = i;
            break;
        }
    }
    const pugi::xml_node gconf = gconfNode(target);
    if (!gconf)
        return -1;
    DeviceFile* device = devices[static_cast<size_t>(target)];
    const PageElements existing = scanPageElements(gconf);
    const QSize size = newPageSize(*device, displayWidth, displayHeight);

    // A blank page shows the same art as the file's first page.
    QString relPage;
    for (const PageModel& p : pages) {
        if (p.deviceFileIndex == target && !p.relPagePath.isEmpty()) {
            relPage = p.relPagePath;
            break;
        }
    }
    pugi::xml_node e = createPageElement(gconf, existing, recordedPageIds(target));
    setParam(e, "BKGCOL", "0");
    setParam(e, "BTNXPG", "0");
    setParam(e, "HEIGHT", QByteArray::number(size.height()));
    setParam(e, "NOMEEXT_FILE_RESOURCE", paramValue(existing.first, "NOMEEXT_FILE_RESOURCE"));
    setParam(e, "ORDINE", QByteArray::number(existing.count + 1));
    setParam(e, "PAGE_IDX", QByteArray());
    setParam(e, "PAGE_NAME", name.toUtf8());
    for (const char* art : {"PATH_IMAGE", "PATH_IMAGE_PRW", "PATH_IMAGE_SFONDO_FW", "PATH_PAGE_FW"}) {
        const QByteArray value = paramValue(existing.first, art);
        if (!value.isEmpty())
            setParam(e, art, value);
    }
    setParam(e, "SET_IMAGE_xDISABLE", "0");
    setParam(e, "USA_MASK_COL_E_THICKNESS", "1");
    setParam(e, "VERSION", "1.1");
    setParam(e, "WIDTH", QByteArray::number(size.width()));
    if (!relPage.isEmpty())
        setParam(e, "PATH_REL_AiM_PAGE", relPage.toUtf8());

    PageModel record;
    record.name = name;
    record.index = pageCount();
    record.width = size.width();
    record.height = size.height();
    record.deviceFileIndex = target;
    record.deviceFolder = device->overlayFolder;
    record.relPagePath = relPage;
    pages.push_back(std::move(record));
    device->dirty = true;
    ++device->pageCount;
    return pageCount() - 1;
}

int DashConfig::insertPage(const QString& folder, const QString& name, const QString& relFolder)
{
    if (folder.isEmpty())
        return -1;
    pugi::xml_document pmain;
    if (!readXmlFile(folder + QStringLiteral("/pMain.P2.xml"), pmain))
        return -1;
    const pugi::xml_node templatePage = pmain.child("aimDataBase_Page2").child("e");
    if (!hasClass(templatePage, "GPageParam"))
        return -1;

    const QString targetFolder = pdmDashFolderFromPath(relFolder);
    const int target = fileIndexForDashTarget(targetFolder);
    const pugi::xml_node gconf = gconfNode(target);
    if (!gconf)
        return -1;
    DeviceFile* device = devices[static_cast<size_t>(target)];
    const PageElements existing = scanPageElements(gconf);
    const QSize size = newPageSize(*device, displayWidth, displayHeight);

    pugi::xml_node e = createPageElement(gconf, existing, recordedPageIds(target));
    setTemplatePageDefaults(e, size, existing.count, name, relFolder);
    // The template's own values win over the defaults, except for the
    // page's identity and the paths that tie it to its RS3 folder.
    copyParams(templatePage, e,
               {"PAGE_NAME", "PAGE_IDX", "ORDINE", "PATH_IMAGE", "PATH_IMAGE_PRW", "PATH_REL_AiM_PAGE",
                "NOMEEXT_FILE_RESOURCE"});
    int k = 0;
    for (pugi::xml_node m = templatePage.child("e"); m; m = m.next_sibling("e")) {
        if (hasClass(m, "GMaskParam"))
            appendTemplateMask(e, m, k++, folder, relFolder);
    }

    PageModel record;
    record.name = name;
    record.index = pageCount();
    record.width = size.width();
    record.height = size.height();
    record.deviceFileIndex = target;
    record.deviceFolder = targetFolder.isEmpty() ? device->overlayFolder : targetFolder;
    record.relPagePath = relFolder;
    const QString background = folder + QStringLiteral("/bkg.png");
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && QFileInfo::exists(background))
        loadPagePicture(record, background);
    for (pugi::xml_node m = e.child("e"); m; m = m.next_sibling("e")) {
        if (hasClass(m, "GMaskParam"))
            record.masks.push_back(parseMask(m));
    }

    const int position = pageListPosition(pages, target);
    pages.insert(pages.begin() + position, std::move(record));
    // A page's index is its place in the list, as a reopen numbers it.
    for (size_t i = 0; i < pages.size(); ++i)
        pages[i].index = int(i);
    device->dirty = true;
    ++device->pageCount;
    return position;
}
