// The device's own predictive-time delta bar ("+- Ref Time"): two opposite
// bars over a symmetric scale, drawn by the firmware from AiM's stock "md3"
// item. The item is copied from the RS3 install, pointed at its stock art,
// and only its colours, scale texts, name, order and position are changed.
#include "model/DashConfig.h"

#include "editing/UniqueMaskName.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlFile.h"
#include "model/XmlParams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

struct StockItem {
    QString file;   // md3.M2.xml on disk
    QString folder; // RS3-relative item folder, ending in '/'
};

pugi::xml_node childElement(pugi::xml_node parent, const char* cls, const char* id)
{
    for (pugi::xml_node e = parent.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, cls) && std::strcmp(e.attribute("i").value(), id) == 0)
            return e;
    }
    return {};
}

bool loadItem(const QString& path, pugi::xml_document& doc)
{
    return loadXmlDocument(doc, path) && xmlNestingWithin(doc);
}

// The item's mask holds exactly the two delta bars (and, strictly, both
// with a colour to rewrite).
bool isDeltaBarItem(const QString& path, bool requireColour)
{
    pugi::xml_document doc;
    if (!loadItem(path, doc))
        return false;
    const pugi::xml_node mask = doc.child("aimDataBase_Mask2").child("e");
    if (!mask || !mask.child("e"))
        return false;
    int bars = 0, coloured = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        const char* id = e.attribute("i").value();
        if (!hasClass(e, "BargraphTrapezio") || (std::strcmp(id, "00_008barg") != 0 && std::strcmp(id, "00_009barg") != 0))
            continue;
        ++bars;
        if (e.find_child_by_attribute("p", "n", "COL"))
            ++coloured;
    }
    return bars == 2 && (!requireColour || coloured == 2);
}

QStringList subFolders(const QString& folder, const QString& pattern)
{
    return QDir(folder).entryList({pattern}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

class StockSearch {
public:
    StockSearch(const QString& root, const QString& family)
        : m_family(family)
        , m_standard(PathGuard::join(root, family + QStringLiteral("/masks/set/standard")))
    {
    }

    bool usable() const { return !m_standard.isEmpty() && QFileInfo(m_standard).isDir(); }
    QStringList sets() const { return subFolders(m_standard, QStringLiteral("s*")); }
    QStringList pagesOf(const QString& set) const { return subFolders(m_standard + QLatin1Char('/') + set, QStringLiteral("p*")); }

    // The md3 item under (set, page), "items" tried before "Items".
    bool tryPage(const QString& set, const QString& page, bool strict, StockItem& found) const
    {
        for (const QString& items : {QStringLiteral("items"), QStringLiteral("Items")}) {
            const QString rel = set + QLatin1Char('/') + page + QLatin1Char('/') + items + QStringLiteral("/md3/");
            const QString file = PathGuard::join(m_standard, rel + QStringLiteral("md3.M2.xml"));
            if (file.isEmpty() || !QFileInfo::exists(file) || !isDeltaBarItem(file, strict))
                continue;
            found.file = file;
            found.folder = QStringLiteral("aim/resources/overlay/") + m_family + QStringLiteral("/masks/set/standard/") + rel;
            return true;
        }
        return false;
    }

private:
    QString m_family;
    QString m_standard;
};

// Preferred pages first (strictly), then any page, strict before lenient;
// the first root that has an item wins.
bool findStockItem(const QString& family, const QString& pageFolder, StockItem& found)
{
    QStringList preferred{QStringLiteral("p25iextv2")};
    QString own = pageFolder;
    while (own.endsWith(QLatin1Char('/')))
        own.chop(1);
    own = own.mid(own.lastIndexOf(QLatin1Char('/')) + 1);
    if (!own.isEmpty() && !preferred.contains(own))
        preferred << own;

    for (const QString& root : allOverlayRoots()) {
        const StockSearch search(root, family);
        if (!search.usable())
            continue;
        const QStringList sets = search.sets();
        for (const QString& page : preferred) {
            for (const QString& set : sets) {
                if (search.tryPage(set, page, true, found))
                    return true;
            }
        }
        for (const bool strict : {true, false}) {
            for (const QString& set : sets) {
                for (const QString& page : search.pagesOf(set)) {
                    if (search.tryPage(set, page, strict, found))
                        return true;
                }
            }
        }
    }
    return false;
}

void replaceExistingParam(pugi::xml_node node, const char* name, const QByteArray& value)
{
    if (node.find_child_by_attribute("p", "n", name))
        setParamStd(node, name, value);
}

void writeScaleParams(pugi::xml_node mask, const char* barId, const QByteArray& colour, const QByteArray& scale)
{
    const pugi::xml_node bar = childElement(mask, "BargraphTrapezio", barId);
    if (!bar)
        return;
    replaceExistingParam(bar, "COL", colour);
    const pugi::xml_node fsv = childElement(bar, "ScaleFSV", "00");
    if (!fsv)
        return;
    replaceExistingParam(fsv, "NOME_SCALA", scale);
    replaceExistingParam(childElement(fsv, "StepScale", "1"), "VAL_SCALA", scale);
}

// The first "autoN/" from the page's mask count + 1 that no mask uses.
QByteArray freeFirmwareFolder(const PageModel& page)
{
    for (qint64 n = static_cast<qint64>(page.masks.size()) + 1;; ++n) {
        const QByteArray candidate = "auto" + QByteArray::number(n) + '/';
        const bool used = std::any_of(page.masks.begin(), page.masks.end(), [&](const MaskElement& m) {
            return m.node && paramValue(m.node, "PATH_MASK_FW") == candidate;
        });
        if (!used)
            return candidate;
    }
}

} // namespace

int DashConfig::insertRefTimeBar(int pageIndex, const QRect& position, const QColor& slower, const QColor& faster,
                                 double rangeSeconds)
{
    PageModel* p = page(pageIndex);
    pugi::xml_node pageNode = pageParamNode(pageIndex);
    if (!p || !pageNode)
        return -1;
    // The page's own display, also for a PDM page of the plain layout.
    const QString family = pageFamily(pageIndex);
    StockItem item;
    if (family.isEmpty() || !findStockItem(family, p->relPagePath, item))
        return -1;
    pugi::xml_document doc;
    if (!loadItem(item.file, doc))
        return -1;
    const pugi::xml_node stock = doc.child("aimDataBase_Mask2").child("e");
    if (!stock || !hasClass(stock, "GMaskParam"))
        return -1;

    const QString name = uniqueMaskName(p->masks, QStringLiteral("reftime"));
    const int order = std::max(0, maxOrdine(pageIndex)) + 1;
    const QByteArray firmwareFolder = freeFirmwareFolder(*p);
    pugi::xml_node mask = pageNode.append_copy(stock);
    if (!mask)
        return -1;
    setElementId(mask, name);
    const std::pair<const char*, QByteArray> params[] = {
        {"HOLD_PROPORZIONI", "0"},
        {"IsUDMdaMostrare", "0"},
        {"ORDINE", QByteArray::number(order)},
        {"PATH_IMAGE", "mask.png"},
        {"PATH_MASK_FW", firmwareFolder},
        {"PATH_REL_AiM_MASK", item.folder.toUtf8()},
        {"RESIZABLE", "0"},
        {"SET_IMAGE_xDISABLE", "0"},
        {"USA_CONTROLLI_RIPOSIZIONABILI", "0"},
        {"USA_MASK_COL_E_THICKNESS", "1"},
        {"USA_PREPATHXMASK", "1"},
        {"VERSION", "1.1"},
        {"XPOS", QByteArray::number(position.x())},
        {"YPOS", QByteArray::number(position.y())},
    };
    for (const auto& param : params)
        setParam(mask, param.first, param.second);

    const QByteArray slowerText = formatArgbColour(slower, QColor(255, 0, 0)).toUtf8();
    const QByteArray fasterText = formatArgbColour(faster, QColor(7, 255, 0)).toUtf8();
    const QByteArray plus = QByteArray::number(rangeSeconds, 'f', 2);
    const QByteArray minus = QByteArray::number(-rangeSeconds, 'f', 2);
    writeScaleParams(mask, "00_008barg", slowerText, plus);
    writeScaleParams(mask, "00_009barg", fasterText, minus);
    replaceExistingParam(childElement(mask, "Label", "00_006ch_scale0"), "TEXT", minus);
    replaceExistingParam(childElement(mask, "Label", "00_007ch_scale1"), "TEXT", plus);

    MaskElement record = parseMask(mask);
    record.id = name;
    record.x = position.x();
    record.y = position.y();
    record.w = mask.find_child_by_attribute("p", "n", "WIDTH") ? paramInt(mask, "WIDTH") : 540;
    record.h = mask.find_child_by_attribute("p", "n", "HEIGHT") ? paramInt(mask, "HEIGHT") : 90;
    p->masks.push_back(std::move(record));
    markPageDirty(pageIndex);
    return static_cast<int>(p->masks.size()) - 1;
}
