#include "model/DashConfig.h"

#include "model/DeviceTables.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <cstring>

namespace {

int pagesOfDevice(const std::vector<PageModel>& pages, int deviceIndex)
{
    int n = 0;
    for (const PageModel& p : pages) {
        if (p.deviceFileIndex == deviceIndex)
            ++n;
    }
    return n;
}

} // namespace

pugi::xml_node DashConfig::pageParamNode(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return {};
    const int device = pages[static_cast<size_t>(pageIndex)].deviceFileIndex;
    const pugi::xml_node gconf = gconfNode(device);
    if (!gconf)
        return {};
    // A page's masks are children of its element: the first one names it
    // without a walk over the pages before it (a key asked for every mask
    // of the file stays linear in the file).
    for (const MaskElement& mask : pages[static_cast<size_t>(pageIndex)].masks) {
        const pugi::xml_node parent = mask.node.parent();
        if (parent && parent.parent() == gconf && hasClass(parent, "GPageParam"))
            return parent;
        if (mask.node)
            break;
    }
    // The k-th page of a file is its k-th GPageParam: every edit keeps the
    // two lists in the same relative order.
    int k = 0;
    for (int i = 0; i < pageIndex; ++i) {
        if (pages[static_cast<size_t>(i)].deviceFileIndex == device)
            ++k;
    }
    for (pugi::xml_node e = gconf.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "GPageParam"))
            continue;
        if (k == 0)
            return e;
        --k;
    }
    return {};
}

QStringList DashConfig::pageImagePaths(int pageIndex)
{
    QStringList paths{QString(), QString(), QString()};
    const pugi::xml_node node = pageParamNode(pageIndex);
    for (pugi::xml_node p = node.child("p"); p; p = p.next_sibling("p")) {
        const char* n = p.attribute("n").value();
        const QString text = QString::fromUtf8(p.text().get());
        if (std::strcmp(n, "PATH_IMAGE") == 0)
            paths[0] = text;
        else if (std::strcmp(n, "PATH_IMAGE_PRW") == 0)
            paths[1] = text;
        else if (std::strcmp(n, "PATH_IMAGE_SFONDO_FW") == 0)
            paths[2] = text;
    }
    return paths;
}

int DashConfig::fileIndexForDashTarget(const QString& target)
{
    const int count = static_cast<int>(devices.size());
    if (count == 0)
        return -1;
    if (count == 1)
        return 0;

    unsigned int dash = 0;
    int expectedWidth = 0;
    if (target.endsWith(QLatin1String("/dash1"), Qt::CaseInsensitive)) {
        dash = 1;
        expectedWidth = 1280;
    } else if (target.endsWith(QLatin1String("/dash2"), Qt::CaseInsensitive)) {
        dash = 2;
        expectedWidth = 800;
    } else {
        for (int i = 0; i < count; ++i) {
            if (pagesOfDevice(pages, i) > 0)
                return i;
        }
        return 0;
    }

    for (int i = 0; i < count; ++i) {
        DeviceFile* device = devices[static_cast<size_t>(i)];
        if (!device->hasDashNumber || device->dashNumber != dash)
            continue;
        // An empty dash file takes the screen width of the page going in.
        if (pagesOfDevice(pages, i) == 0 && device->dimX != expectedWidth) {
            const pugi::xml_node gconf = gconfNode(i);
            const QByteArray width = QByteArray::number(expectedWidth);
            for (pugi::xml_node p = gconf.child("p"); p; p = p.next_sibling("p")) {
                if (std::strcmp(p.attribute("n").value(), "DIMENSIONE_X") != 0)
                    continue;
                while (p.first_child())
                    p.remove_child(p.first_child());
                p.append_child(pugi::node_pcdata).set_value(width.constData());
            }
            device->dimX = expectedWidth;
        }
        device->overlayFolder = target;
        device->dirty = true;
        return i;
    }
    for (int i = 0; i < count; ++i) {
        DeviceFile* device = devices[static_cast<size_t>(i)];
        if (device->dimX != expectedWidth)
            continue;
        device->overlayFolder = target;
        device->dirty = true;
        return i;
    }
    return -1;
}

QString DashConfig::pageFamily(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return {};
    const PageModel& p = pages[static_cast<size_t>(pageIndex)];
    const QString path = p.relPagePath.trimmed();
    if (!refusedFamilyFromPath(path).isEmpty())
        return {};
    const QString resolved = PathGuard::isSafeFamily(p.deviceFolder) ? p.deviceFolder : QString();
    const QString named = deviceFolderFromPath(path);
    // A PDM page under the plain "overlay/pdm/masks/" layout names only the
    // device; the loader told its display by the file's IndexFeatForType.
    if (named.isEmpty() || resolved.startsWith(named + QLatin1Char('/'), Qt::CaseInsensitive))
        return resolved;
    return named;
}

QString DashConfig::refusedPageFamily(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return {};
    return refusedFamilyFromPath(pages[static_cast<size_t>(pageIndex)].relPagePath.trimmed());
}

// On a device with two displays the configuration's display size is the
// first display's; a page belongs to its own.
QSize DashConfig::pageDisplaySize(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return {};
    const PageModel& p = pages[static_cast<size_t>(pageIndex)];
    QSize size(p.width, p.height);
    if (p.deviceFileIndex >= 0 && p.deviceFileIndex < static_cast<int>(devices.size())) {
        const DeviceFile* file = devices[static_cast<size_t>(p.deviceFileIndex)];
        if (file->dimX >= 1)
            size.setWidth(file->dimX);
        if (file->dimY >= 1)
            size.setHeight(file->dimY);
    }
    return size;
}
