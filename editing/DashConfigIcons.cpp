// A new icon slot: a 44 x 44 mask with the lap-time channel element and one
// AiM_Icona. Its graphic and trigger are assigned in RS3's Triggered Icons
// Manager; here it only needs an item folder and an icon bitmap of the
// device family, taken from an icon already in the configuration when there
// is one, else from RS3's stock artwork.
#include "model/DashConfig.h"

#include "editing/HotMouseLines.h"
#include "editing/UniqueMaskName.h"
#include "model/DeviceTables.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

struct IconArt {
    QString maskFolder;
    QString overlay;
    QString firmwareFolder;
    bool complete() const { return !maskFolder.isEmpty() && !overlay.isEmpty(); }
};

// The parameter in the first child of the class that has it.
QString childElementParamText(pugi::xml_node mask, const char* cls, const char* name)
{
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, cls) && e.find_child_by_attribute("p", "n", name))
            return findParamText(e, name);
    }
    return {};
}

// Another display's art does not fit the page: two families differ only
// when both are known.
bool sameDisplay(const QString& a, const QString& b)
{
    return a.isEmpty() || b.isEmpty() || a.compare(b, Qt::CaseInsensitive) == 0;
}

QString ofFamily(const QString& path, const QString& family)
{
    return sameDisplay(deviceFolderFromPath(path), family) ? path : QString();
}

// The references of the first icon, on a page of the family, whose item is
// not another family's; reading the model only, so a reuse touches no file.
IconArt existingIconArt(const DashConfig& config, const QString& family)
{
    IconArt art;
    for (int page = 0; page < config.pageCount(); ++page) {
        if (!sameDisplay(config.pageFamily(page), family))
            continue;
        const std::vector<MaskElement>& masks = config.pages[size_t(page)].masks;
        const auto icon = std::find_if(masks.begin(), masks.end(), [&family](const MaskElement& m) {
            const QString folder = m.node ? findParamText(m.node, "PATH_REL_AiM_MASK") : QString();
            return m.node.find_child_by_attribute("e", "c", "AiM_Icona") && !ofFamily(folder, family).isEmpty();
        });
        if (icon == masks.end())
            continue;
        art.maskFolder = findParamText(icon->node, "PATH_REL_AiM_MASK");
        art.firmwareFolder = findParamText(icon->node, "PATH_MASK_FW");
        art.overlay = ofFamily(childElementParamText(icon->node, "AiM_Icona", "OVERLAY2_ICONA_NERA"), family);
        break;
    }
    return art;
}

QStringList subFolders(const QString& folder, const QString& pattern = QString())
{
    const QStringList filters = pattern.isEmpty() ? QStringList() : QStringList{pattern};
    return QDir(folder).entryList(filters, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// A stock icon bitmap of the set: a black one first, as RS3 draws icons on
// dark pages.
QString stockIconOverlay(const QString& setFolder)
{
    const QStringList files = QDir(setFolder + QStringLiteral("/Icon"))
                                  .entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        if (file.contains(QLatin1String("black"), Qt::CaseInsensitive))
            return file;
    }
    return files.isEmpty() ? QString() : files.first();
}

// "page/items/mdX" of the first md item of the set that holds a mask.png.
QString stockIconItem(const QString& setFolder)
{
    for (const QString& page : subFolders(setFolder)) {
        for (const QString& items : {QStringLiteral("items"), QStringLiteral("Items")}) {
            const QString itemsFolder = setFolder + QLatin1Char('/') + page + QLatin1Char('/') + items;
            for (const QString& item : subFolders(itemsFolder, QStringLiteral("md*"))) {
                if (QFileInfo::exists(itemsFolder + QLatin1Char('/') + item + QStringLiteral("/mask.png")))
                    return page + QLatin1Char('/') + items + QLatin1Char('/') + item;
            }
        }
    }
    return {};
}

// Fills the empty references from the stock sets of the family.
void searchStockIconArt(const QString& family, IconArt& art)
{
    const QString relStandard = family + QStringLiteral("/masks/set/standard");
    const QString prefix = QStringLiteral("aim/resources/overlay/") + relStandard + QLatin1Char('/');
    for (const QString& root : allOverlayRoots()) {
        const QString standard = PathGuard::join(root, relStandard);
        if (standard.isEmpty() || !QFileInfo(standard).isDir())
            continue;
        for (const QString& set : subFolders(standard, QStringLiteral("s*"))) {
            const QString setFolder = standard + QLatin1Char('/') + set;
            if (art.overlay.isEmpty()) {
                const QString file = stockIconOverlay(setFolder);
                if (!file.isEmpty())
                    art.overlay = prefix + set + QStringLiteral("/Icon/") + file;
            }
            if (art.maskFolder.isEmpty()) {
                const QString item = stockIconItem(setFolder);
                if (!item.isEmpty())
                    art.maskFolder = prefix + set + QLatin1Char('/') + item + QLatin1Char('/');
            }
            if (art.complete())
                return;
        }
    }
}

void appendIconMaskParams(pugi::xml_node mask, int order, const IconArt& art, const QRect& position)
{
    appendParam(mask, "BLENDING_TIME", "3000");
    appendParam(mask, "FATTORE_REDIM", "1000");
    appendParam(mask, "HEIGHT", "44");
    appendParam(mask, "HOLD_PROPORZIONI", "0");
    appendParam(mask, "IsUDMdaMostrare", "0");
    appendParam(mask, "ORDINE", QByteArray::number(order));
    appendParam(mask, "PATH_IMAGE", "mask.png");
    appendParam(mask, "PATH_MASK_FW", art.firmwareFolder.toUtf8());
    appendParam(mask, "PATH_REL_AiM_MASK", art.maskFolder.toUtf8());
    appendParam(mask, "RESIZABLE", "0");
    appendParam(mask, "SET_IMAGE_xDISABLE", "0");
    appendParam(mask, "USA_CONTROLLI_RIPOSIZIONABILI", "2");
    appendParam(mask, "USA_MASK_COL_E_THICKNESS", "0");
    appendParam(mask, "USA_PREPATHXMASK", "1");
    appendParam(mask, "VERSION", "1.1");
    appendParam(mask, "WIDTH", "44");
    appendParam(mask, "XPOS", QByteArray::number(position.x()));
    appendParam(mask, "YPOS", QByteArray::number(position.y()));
}

pugi::xml_node appendElement(pugi::xml_node parent, const char* cls, const char* id)
{
    pugi::xml_node e = parent.append_child("e");
    e.append_attribute("c").set_value(cls);
    e.append_attribute("i").set_value(id);
    return e;
}

// The lap-time channel element an icon slot watches.
void appendIconAxis(pugi::xml_node mask)
{
    static const char* const params[][2] = {
        {"ASSE", "0"}, {"ASSIGN_X_ALL_MASKS", "0"}, {"AxisXDgtProp", "1"}, {"CHANNEL_NOT_SET", "1"},
        {"ChFmt", "0"}, {"FID_KO", ""}, {"FID_OK", "LAPTIME_GPS"}, {"FID_PREF", "0"},
        {"FIELD_LABEL_CON_NOMI_LUNGHI", "1"}, {"NDEC_SCELTO", "0"}, {"TipoDevConten", "-1"},
        {"TipoExpBTConten", "0"}, {"TipoExpConten", "-1"}, {"TipoFeatConten", "-1"}, {"UDM", ""},
        {"USA_CONTROLLI_RIPOSIZIONABILI", "2"}, {"dev_serial", "0"}, {"fid", "0"}, {"idf", "-1"},
        {"idv", "-1"}, {"invalid", "0"}, {"isEncodedValue", "0"}, {"lnm", ""}, {"shn", ""},
        {"swtyp", "0"}, {"swuidexp", "0"}, {"typ", "4294967295"},
    };
    pugi::xml_node axis = appendElement(mask, "Axis", "00");
    for (const auto& param : params)
        appendParam(axis, param[0], param[1]);
}

void appendIconElement(pugi::xml_node mask, const QString& overlay)
{
    pugi::xml_node icon = appendElement(mask, "AiM_Icona", "00_zi");
    appendParam(icon, "AXIS_REF", "00");
    appendParam(icon, "COLORE", "0x00000000");
    appendParam(icon, "CONTROLLO_NO_AUTOAGGIORNABILE", "0");
    appendParam(icon, "FORMAT", "generico");
    appendParam(icon, "FW_DEBUG", "0");
    appendParam(icon, "HEIGHT", "40");
    appendParam(icon, "LINES_X_HOT_MOUSE", QByteArray::fromStdString(hotMouseLines(0, 0, 40, 40)));
    appendParam(icon, "LINES_X_HOT_MOUSE_COLOR", "0xffff0000");
    appendParam(icon, "MOSTRAICONADEFAULTIMPOSTATAMASKXML", "0");
    appendParam(icon, "OVERLAY2_ICONA_NERA", overlay.toUtf8());
    appendParam(icon, "POS_ALIGN", "vc");
    appendParam(icon, "UPDATE_TIME", "0");
    appendParam(icon, "USA_CONTROLLI_RIPOSIZIONABILI", "2");
    appendParam(icon, "WIDTH", "40");
    appendParam(icon, "XPOS", "0");
    appendParam(icon, "XPOS_FW", "0");
    appendParam(icon, "YPOS", "0");
    appendParam(icon, "YPOS_FW", "0");
}

} // namespace

int DashConfig::insertIcon(int pageIndex, const QRect& position)
{
    PageModel* p = page(pageIndex);
    pugi::xml_node pageNode = pageParamNode(pageIndex);
    if (!p || !pageNode)
        return -1;

    // The display the page is shown on: a PDM page of the plain layout
    // names only the device, and another display's art does not fit.
    if (!refusedPageFamily(pageIndex).isEmpty())
        return -1;
    const QString family = pageFamily(pageIndex);
    IconArt art = existingIconArt(*this, family);
    if (!art.complete()) {
        if (family.isEmpty())
            return -1;
        searchStockIconArt(family, art);
    }
    if (art.firmwareFolder.isEmpty())
        art.firmwareFolder = QStringLiteral("m001/");
    if (!art.complete())
        return -1;

    const QString name = uniqueMaskName(p->masks, QStringLiteral("ico"));
    // Icons are drawn over everything else of the page.
    const int order = std::max(89, maxOrdine(pageIndex)) + 1;
    pugi::xml_node mask = pageNode.append_child("e");
    if (!mask)
        return -1;
    mask.append_attribute("c").set_value("GMaskParam");
    mask.append_attribute("i").set_value(name.toUtf8().constData());
    appendIconMaskParams(mask, order, art, position);
    appendIconAxis(mask);
    appendIconElement(mask, art.overlay);

    MaskElement record = parseMask(mask);
    record.id = name;
    record.x = position.x();
    record.y = position.y();
    record.w = 44;
    record.h = 44;
    p->masks.push_back(std::move(record));
    markPageDirty(pageIndex);
    return static_cast<int>(p->masks.size()) - 1;
}
