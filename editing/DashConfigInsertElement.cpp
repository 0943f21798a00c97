// New masks that carry RS3 artwork: a stock library element copied onto the
// page, and an empty full-screen mask built from scratch. RS3 rejects a file
// whose mask borrows another layout's artwork, so both prefer an item of the
// page's own layout (PATH_REL_AiM_PAGE) for the mask's PATH_REL_AiM_MASK.
#include "model/DashConfig.h"

#include "editing/UniqueMaskName.h"
#include "model/ChannelKind.h"
#include "model/ElementIds.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DashConfig", text);
}

QString withSlash(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

void setIntParam(pugi::xml_node node, const char* name, int value)
{
    setParam(node, name, QByteArray::number(value));
}

// The class whose artwork the mask needs most; bars and gauges first, since
// they cannot be drawn on another element's art.
const char* primaryClass(pugi::xml_node mask)
{
    static const char* const order[] = {"BargraphTrapezio", "Bargraph", "Analog", "Ring", "AiM_Icona", "Digit", "Label"};
    for (const char* cls : order) {
        if (mask.find_child_by_attribute("e", "c", cls))
            return cls;
    }
    return nullptr;
}

bool needsOwnArtwork(const char* cls)
{
    return cls
        && (std::strcmp(cls, "BargraphTrapezio") == 0 || std::strcmp(cls, "Bargraph") == 0
            || std::strcmp(cls, "Analog") == 0 || std::strcmp(cls, "Ring") == 0);
}

// A value over a plain background loses the stock firmware background, which
// belongs to the bar or gauge art the donor was cut from.
void dropDigitBackground(pugi::xml_node mask)
{
    bool digit = false, barOrRing = false;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        digit = digit || hasClass(e, "Digit");
        barOrRing = barOrRing || hasClass(e, "Bargraph") || hasClass(e, "BargraphTrapezio") || hasClass(e, "Ring");
    }
    if (digit && !barOrRing)
        removeParams(mask, "PATH_IMAGE_SFONDO_FW");
}

int scaledValue(int value, double factor)
{
    const double scaled = std::round(double(value) * factor); // half away from zero
    return int(std::clamp(scaled, double(INT_MIN), double(INT_MAX)));
}

// The children's boxes follow the mask from the donor's size to the new one.
void rescaleChildren(pugi::xml_node mask, double sx, double sy)
{
    static const char* const horizontal[] = {"XPOS", "WIDTH", "XStart1", "XStart2", "XEnd1", "XEnd2", "XIMG"};
    static const char* const vertical[] = {"YPOS", "HEIGHT", "YStart1", "YStart2", "YEnd1", "YEnd2", "YIMG"};
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (!isKnownElementType(QString::fromUtf8(e.attribute("c").value())))
            continue;
        for (const char* name : horizontal) {
            if (e.find_child_by_attribute("p", "n", name))
                setParamInt(e, name, scaledValue(paramInt(e, name), sx));
        }
        for (const char* name : vertical) {
            if (e.find_child_by_attribute("p", "n", name))
                setParamInt(e, name, scaledValue(paramInt(e, name), sy));
        }
    }
}

// The firmware reads its own copy of a child's position: it must match.
void syncFirmwarePositions(pugi::xml_node mask)
{
    static const char* const pairs[][2] = {{"XPOS", "XPOS_FW"}, {"YPOS", "YPOS_FW"}};
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        for (const auto& pair : pairs) {
            const pugi::xml_node pos = e.find_child_by_attribute("p", "n", pair[0]);
            if (!pos)
                continue;
            const QByteArray text(pos.text().get());
            if (e.find_child_by_attribute("p", "n", pair[1])) {
                setParam(e, pair[1], text);
            } else if (hasClass(e, "Digit") || hasClass(e, "Label")) {
                pugi::xml_node fw = e.insert_child_after("p", pos);
                fw.append_attribute("n").set_value(pair[1]);
                if (!text.isEmpty())
                    fw.append_child(pugi::node_pcdata).set_value(text.constData());
            }
        }
    }
}

// True when some overlay root holds the item's mask.png.
bool overlayMaskPng(const QStringList& roots, QString path)
{
    if (path.isEmpty() || roots.isEmpty())
        return false;
    overlayRelativeFolder(path);
    for (const QString& root : roots) {
        const QString folder = PathGuard::join(root, path);
        if (!folder.isEmpty() && QFileInfo::exists(folder + QStringLiteral("/mask.png")))
            return true;
    }
    return false;
}

// True when the art folder is one of the editor's own (fitted, coloured,
// pasted, a box) for the page's device family: made for that family, never
// a layout of RaceStudio 3's to be moved from, and the same-named stock item
// draws something else (the bar uncoloured, another size).
bool isFamilyHomebrew(const QString& artFolder, const QString& pageFolder)
{
    const QString standard = QStringLiteral("/masks/set/standard/");
    const int at = pageFolder.indexOf(standard);
    return at > 0 && artFolder.startsWith(pageFolder.left(at + standard.size()) + QStringLiteral("s04_homebrew/"));
}

// An art folder from another layout, moved to the same-named item of the
// page's layout where that can be done.
QString rehomedArtFolder(const QString& artFolder, const QString& pageFolder)
{
    if (pageFolder.isEmpty() || artFolder.startsWith(pageFolder) || isFamilyHomebrew(artFolder, pageFolder))
        return artFolder;
    QString trimmed = artFolder;
    if (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const int slash = trimmed.lastIndexOf(QLatin1Char('/'));
    const QString item = slash < 0 ? QString() : trimmed.mid(slash + 1);
    const QString candidate = item.isEmpty() ? QString() : withSlash(pageFolder) + QStringLiteral("Items/") + item + QLatin1Char('/');
    if (!candidate.isEmpty() && overlayMaskPng(rs3OverlayRoots(), candidate))
        return candidate;
    const QString located = locateItemMaskPng(pageFolder);
    if (!located.isEmpty() && located.startsWith(pageFolder))
        return located;
    return candidate.isEmpty() ? artFolder : candidate;
}

QString newMaskFolder(const QString& artFolder, const QString& pageFolder, const QString& name)
{
    if (!artFolder.isEmpty())
        return rehomedArtFolder(artFolder, pageFolder);
    const QString located = locateItemMaskPng(pageFolder);
    if (!located.isEmpty())
        return located;
    QString item = name;
    item.replace(QLatin1Char('.'), QLatin1Char('_')).replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString items = QStringLiteral("Items/") + item + QLatin1Char('/');
    return pageFolder.isEmpty() ? items : withSlash(pageFolder) + items;
}

// Channel-less types hand over a channel with no FID and no name.
bool isChosenChannel(const ChannelInfo& channel)
{
    return channel.fid >= 0 || !channel.longName.isEmpty();
}

// The element that will show the chosen channel must name a channel
// element, or the save drops the binding as unreferenced. RS3's stock icons
// come without one, or with a channel element their icon does not name:
// the mask gets the channel element it lacks, and each icon names it.
void giveIconsTheirChannel(pugi::xml_node mask, const ChannelInfo& channel)
{
    if (!isChosenChannel(channel))
        return;
    pugi::xml_node axis = mask.find_child_by_attribute("e", "c", "Axis");
    bool hasIcon = false;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e"))
        hasIcon = hasIcon || hasClass(e, "AiM_Icona");
    if (!hasIcon)
        return;
    if (!axis)
        axis = DashConfig::buildAxisElement(mask, newElementId(mask, QStringLiteral("00")));
    const QByteArray id(axis.attribute("i").value());
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "AiM_Icona") && paramValue(e, "AXIS_REF").trimmed().isEmpty())
            setParam(e, "AXIS_REF", id);
    }
}

// The channel elements the binding just wrote hold the chosen channel: they
// are saved as bound, as RS3 writes a bound element, so that nothing (RS3, a
// paste merge) takes them for free slots.
void markChannelsBound(pugi::xml_node mask, const ChannelInfo& channel)
{
    if (!isChosenChannel(channel))
        return;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Axis"))
            setParamStd(e, "CHANNEL_NOT_SET", "0");
    }
}

bool isDefaultAxis(pugi::xml_node e)
{
    return e && hasClass(e, "Axis") && std::strcmp(e.attribute("i").value(), "00") == 0;
}

} // namespace

int DashConfig::insertElement(int pageIndex, pugi::xml_node donor, const ChannelInfo& channel, int x, int y,
                              int width, int height, MaskElement& out, const QString& sourceFolder, QString* error)
{
    if (error)
        error->clear();
    PageModel* p = page(pageIndex);
    pugi::xml_node pageNode = pageParamNode(pageIndex);
    if (!p || !pageNode || !donor)
        return -1;
    QString maskFolder = sourceFolder.trimmed();
    // The folder ends up in the file and is read by every art look-up: one
    // that leaves the install is refused before anything changes.
    if (!maskFolder.isEmpty() && !PathGuard::isSafeRelativePath(maskFolder)) {
        if (error)
            *error = tr("The element's artwork folder \"%1\" is not a folder inside a RaceStudio 3 installation.")
                         .arg(maskFolder);
        return -1;
    }
    const int countBefore = static_cast<int>(p->masks.size());
    pugi::xml_node mask = pageNode.append_copy(donor);
    if (!mask)
        return -1;

    dropDigitBackground(mask);
    const int donorW = paramInt(mask, "WIDTH");
    const int donorH = paramInt(mask, "HEIGHT");
    setIntParam(mask, "XPOS", x);
    setIntParam(mask, "YPOS", y);
    setIntParam(mask, "WIDTH", width);
    setIntParam(mask, "HEIGHT", height);

    // A page without its layout folder borrows the one of its device file's
    // first page that has one.
    if (p->relPagePath.isEmpty()) {
        for (const PageModel& other : pages) {
            if (other.deviceFileIndex == p->deviceFileIndex && !other.relPagePath.isEmpty()) {
                p->relPagePath = other.relPagePath;
                setParam(pageNode, "PATH_REL_AiM_PAGE", p->relPagePath.toUtf8());
                break;
            }
        }
    }

    if (maskFolder.isEmpty()) {
        const char* primary = primaryClass(mask);
        if (primary)
            maskFolder = findItemForClass(p->relPagePath, QString::fromLatin1(primary));
        if (maskFolder.isEmpty() && needsOwnArtwork(primary)) {
            pageNode.remove_child(mask);
            if (error)
                *error = tr("This page's layout has no %1 to build on, so Korvelanto cannot place one here without "
                            "pointing it at another element's artwork — which is what makes RaceStudio 3 reject the "
                            "file.\n\nPut the %1 on a page whose layout already contains one, or pick a different "
                            "element.")
                             .arg(elementKindLabel(primary));
            return -1;
        }
        if (maskFolder.isEmpty())
            maskFolder = locateItemMaskPng(p->relPagePath);
        if (maskFolder.isEmpty() && !p->relPagePath.isEmpty())
            maskFolder = withSlash(p->relPagePath) + QStringLiteral("Items/mdNew/");
    }
    if (!maskFolder.isEmpty())
        setParam(mask, "PATH_REL_AiM_MASK", maskFolder.toUtf8());
    setParam(mask, "PATH_MASK_FW", QByteArrayLiteral("auto") + QByteArray::number(countBefore + 1) + '/');
    setParam(mask, "PATH_IMAGE", QByteArrayLiteral("mask.png"));

    if (donorW >= 1 && donorH >= 1 && (donorW != width || donorH != height)) {
        rescaleChildren(mask, double(width) / donorW, double(height) / donorH);
        scaleHotMouseLines(mask, donorW, donorH, width, height, true);
    }
    syncFirmwarePositions(mask);

    const QString name = uniqueMaskName(p->masks, QStringLiteral("new"));
    setElementId(mask, name);
    giveIconsTheirChannel(mask, channel);
    bindElementChannel(mask, channel, deviceName, laptimeGpsResourceFid());
    // The binding gives a bar its kind's 0..100 scale: the bar follows the
    // channel's own range, as one bound in the panel does.
    applyChannelRangeToBarScales(mask, channel.fid);
    markChannelsBound(mask, channel);

    MaskElement record = parseMask(mask);
    record.id = name;
    record.x = x;
    record.y = y;
    record.w = width;
    record.h = height;
    record.channel = channel.longName;
    record.channelShort = channel.shortName;
    out = record;
    p->masks.push_back(std::move(record));
    const int index = static_cast<int>(p->masks.size()) - 1;
    fitMaskArtToGeometry(pageIndex, index);
    markPageDirty(pageIndex);
    return index;
}

int DashConfig::addMaskFromLibraryItem(int pageIndex, const QString& name, const QString& artFolder,
                                       const QString& image, const QString& previewImage,
                                       const QString& firmwarePath, const std::vector<pugi::xml_node>& elements,
                                       MaskElement& out)
{
    PageModel* p = page(pageIndex);
    pugi::xml_node pageNode = pageParamNode(pageIndex);
    if (!p || !pageNode)
        return -1;

    int width = displayWidth;
    int height = displayHeight;
    if (p->deviceFileIndex >= 0 && p->deviceFileIndex < static_cast<int>(devices.size())) {
        const DeviceFile* file = devices[static_cast<size_t>(p->deviceFileIndex)];
        if (file->dimX >= 1)
            width = file->dimX;
        if (file->dimY >= 1)
            height = file->dimY;
    }
    const QString maskFolder = newMaskFolder(artFolder, p->relPagePath, name);

    pugi::xml_node mask = pageNode.append_child("e");
    if (!mask)
        return -1;
    mask.append_attribute("c").set_value("GMaskParam");
    mask.append_attribute("i").set_value(name.toUtf8().constData());

    const QByteArray n = QByteArray::number(static_cast<qint64>(p->masks.size()) + 1);
    appendParam(mask, "BLENDING_TIME", "3000");
    appendParam(mask, "FATTORE_REDIM", "1000");
    appendParam(mask, "HEIGHT", QByteArray::number(height));
    appendParam(mask, "HOLD_PROPORZIONI", "0");
    appendParam(mask, "IsUDMdaMostrare", "0");
    appendParam(mask, "ORDINE", n);
    appendParam(mask, "PATH_IMAGE", image.isEmpty() ? QByteArrayLiteral("mask.png") : image.toUtf8());
    appendParam(mask, "PATH_IMAGE_PRW", previewImage.toUtf8());
    appendParam(mask, "PATH_MASK_FW", firmwarePath.isEmpty() ? "auto" + n + '/' : firmwarePath.toUtf8());
    appendParam(mask, "PATH_REL_AiM_MASK", maskFolder.toUtf8());
    appendParam(mask, "RESIZABLE", "0");
    appendParam(mask, "SET_IMAGE_xDISABLE", "0");
    appendParam(mask, "USA_CONTROLLI_RIPOSIZIONABILI", "0");
    appendParam(mask, "USA_MASK_COL_E_THICKNESS", "1");
    appendParam(mask, "USA_PREPATHXMASK", "1");
    appendParam(mask, "VERSION", "1.1");
    appendParam(mask, "WIDTH", QByteArray::number(width));
    appendParam(mask, "XPOS", "0");
    appendParam(mask, "YPOS", "0");
    appendParam(mask, "NAME", QByteArray());

    // An unbound channel slot, unless the caller brings its own "00".
    if (std::none_of(elements.begin(), elements.end(), isDefaultAxis))
        buildAxisElement(mask, QStringLiteral("00"));
    for (const pugi::xml_node e : elements) {
        if (e && hasClass(e, "Axis"))
            mask.append_copy(e);
    }

    MaskElement record = parseMask(mask);
    record.id = name;
    record.x = 0;
    record.y = 0;
    record.w = width;
    record.h = height;
    out = record;
    p->masks.push_back(std::move(record));
    markPageDirty(pageIndex);
    return static_cast<int>(p->masks.size()) - 1;
}

int DashConfig::addMaskSimple(int pageIndex, const QString& name, MaskElement& out)
{
    return addMaskFromLibraryItem(pageIndex, name, QString(), QString(), QString(), QString(), {}, out);
}
