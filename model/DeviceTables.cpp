#include "model/DeviceTables.h"

#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QRegularExpression>
#include <cstring>

namespace {

struct FolderRow {
    const char* key;
    const char* folder;
};

const FolderRow kDeviceTypeFolders[] = {
    {"MXG 1.2", "mxg_12"},
    {"MXG1.2", "mxg_12"},
    {"MXG 1.2 Strada", "mxg_12"},
    {"MXG Strada", "mxg_12"},
    {"MXG", "mxg_12"},
    {"MXS 1.2", "mxs_12"},
    {"MXS1.2", "mxs_12"},
    {"MXS 1.2 Strada", "mxs_12"},
    {"MXS Strada", "mxs_12"},
    {"MXS", "mxs_12"},
    {"MXSL", "mxsl"},
    {"MXS Strada Light", "mxsl"},
    {"MXP", "mxp"},
    {"MXP Strada", "mxp"},
    {"MXT", "mxt"},
    {"PDM32", "pdm/dash1"},
    {"PDM08", "pdm08/dash1"},
    {"Solo 2 DL", "solo2dl"},
    {"SW4", "fsw"},
};

const FolderRow kFolderAliases[] = {
    {"mxg_12", "mxg_12"},
    {"mxg_12 strada", "mxg_12"},
    {"mxg", "mxg_12"},
    {"mxs_12", "mxs_12"},
    {"mxs_12 strada", "mxs_12"},
    {"mxs strada", "mxs_12"},
    {"mxs", "mxs_12"},
    {"mxp", "mxp"},
    {"mxp strada", "mxp"},
    {"mxsl", "mxsl"},
    {"mxt", "mxt"},
    {"mxt strada", "mxt"},
    {"pdm/dash1", "pdm/dash1"},
    {"pdm/dash2", "pdm/dash2"},
    {"pdm08/dash1", "pdm08/dash1"},
    {"pdm08/dash2", "pdm08/dash2"},
    {"pdm", "pdm/dash1"},
    {"pdm08", "pdm08/dash1"},
    {"solo2dl", "solo2dl"},
    {"fsw", "fsw"},
};

const FolderRow kTypeCodes[] = {
    {"MXG 1.2", "13"},
    {"MXG 1.2 Strada", "25"},
    {"MXG Strada", "25"},
    {"MXG Strada Light", "91"},
    {"MXS 1.2", "14"},
    {"MXS1.2", "14"},
    {"MXS v2", "72"},
    {"MXP", "11"},
    {"MXT", "60"},
    {"MXTN", "96"},
    {"PDM32", "27"},
    {"Solo 2 DL", "16"},
};

template <size_t N>
QString lookUp(const FolderRow (&table)[N], const QString& key)
{
    if (key.isEmpty())
        return {};
    for (const FolderRow& row : table) {
        if (key.compare(QLatin1String(row.key), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(row.folder);
    }
    return {};
}

// PATH_REL_AiM_PAGE of the first page that carries one.
QString firstPagePath(pugi::xml_node gconf)
{
    for (pugi::xml_node e = gconf.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "GPageParam"))
            continue;
        for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
            if (std::strcmp(p.attribute("n").value(), "PATH_REL_AiM_PAGE") == 0)
                return QString::fromUtf8(p.text().get());
        }
    }
    return {};
}

} // namespace

QString overlayFolderForDeviceName(const QString& type)
{
    return lookUp(kDeviceTypeFolders, type);
}

namespace {

QString familyTextOfPath(const QString& path)
{
    const int start = path.indexOf(QLatin1String("overlay/"));
    if (start < 0)
        return {};
    const int end = path.indexOf(QLatin1String("/masks/"));
    if (end <= start)
        return {};
    const int from = start + 8;
    if (end <= from)
        return {};
    return path.mid(from, end - from);
}

} // namespace

QString deviceFolderFromPath(const QString& path)
{
    // The path comes from the configuration: a family is joined to install
    // roots, so one that would name a folder outside them names none.
    const QString family = familyTextOfPath(path);
    return PathGuard::isSafeFamily(family) ? family : QString();
}

QString refusedFamilyFromPath(const QString& path)
{
    const QString family = familyTextOfPath(path);
    return family.isEmpty() || PathGuard::isSafeFamily(family) ? QString() : family;
}

QString canonicalDeviceFolderFromPath(const QString& path)
{
    return lookUp(kFolderAliases, deviceFolderFromPath(path));
}

QString pdmDashFolderFromPath(const QString& path)
{
    static const QRegularExpression dashFolder(QStringLiteral("overlay/(pdm(?:08)?)/(dash\\d+)/"));
    if (path.isEmpty())
        return {};
    const QRegularExpressionMatch m = dashFolder.match(path);
    if (!m.hasMatch())
        return {};
    return m.captured(1) + QLatin1Char('/') + m.captured(2);
}

QString deviceFolderFromPagePaths(pugi::xml_node gconf)
{
    return pdmDashFolderFromPath(firstPagePath(gconf));
}

QString pdmFolderFromPagePaths(pugi::xml_node gconf)
{
    static const QRegularExpression pdmMasks(QStringLiteral("overlay/(pdm(?:08)?)/masks/"));
    const QString path = firstPagePath(gconf);
    if (path.isEmpty())
        return {};
    const QRegularExpressionMatch m = pdmMasks.match(path);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString deviceTypeCodeForName(const QString& displayName)
{
    return lookUp(kTypeCodes, displayName);
}
