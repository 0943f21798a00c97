// Device family folders: from a configuration's device name to the overlay
// folders RS3 keeps its pages under, and between a family's aliases.
#include "templates/PageTemplateLibrary.h"

#include "model/DeviceRegistry.h"
#include "model/InstallRoots.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>

namespace {

struct DeviceNameRow {
    const char* deviceName;
    std::array<const char*, 3> folders;
};

// Device names as configurations spell them; the first equal row wins.
const std::array<DeviceNameRow, 20>& deviceNameTable()
{
    static const std::array<DeviceNameRow, 20> rows = {{
        {"MXG 1.2", {"mxg_12", nullptr, nullptr}},
        {"MXG1.2", {"mxg_12", nullptr, nullptr}},
        {"MXG Strada", {"mxg_12 strada", nullptr, nullptr}},
        {"MXG 1.2 Strada", {"mxg_12 strada", nullptr, nullptr}},
        {"MXG", {"mxg_12", nullptr, nullptr}},
        {"MXS 1.2", {"mxs_12", nullptr, nullptr}},
        {"MXS1.2", {"mxs_12", nullptr, nullptr}},
        {"MXS Strada", {"mxs_12 strada", nullptr, nullptr}},
        {"MXS 1.2 Strada", {"mxs_12 strada", nullptr, nullptr}},
        {"MXS", {"mxs_12", nullptr, nullptr}},
        {"MXS Strada Light", {"mxsl", nullptr, nullptr}},
        {"MXm", {"mxm", nullptr, nullptr}},
        {"MXM", {"mxm", nullptr, nullptr}},
        {"MXP", {"mxp", nullptr, nullptr}},
        {"MXSL", {"mxsl", nullptr, nullptr}},
        {"MXT", {"mxt", nullptr, nullptr}},
        {"PDM32", {"pdm/dash1", "pdm/dash2", nullptr}},
        {"PDM08", {"pdm08/dash1", "pdm08/dash2", nullptr}},
        {"Solo 2 DL", {"solo2dl", nullptr, nullptr}},
        {"SW4", {"fsw", nullptr, nullptr}},
    }};
    return rows;
}

struct FamilyAlias {
    const char* alias;
    const char* canonical;
};

const std::array<FamilyAlias, 7>& aliasTable()
{
    static const std::array<FamilyAlias, 7> rows = {{
        {"mxg_12 strada", "mxg_12"},
        {"mxg", "mxg_12"},
        {"mxs_12 strada", "mxs_12"},
        {"mxs strada", "mxs_12"},
        {"mxs", "mxs_12"},
        {"mxp strada", "mxp"},
        {"mxt strada", "mxt"},
    }};
    return rows;
}

const QRegularExpression& dashSuffix()
{
    static const QRegularExpression re(QStringLiteral("/dash\\d+$"), QRegularExpression::CaseInsensitiveOption);
    return re;
}

bool equalNoCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool containsNoCase(const QStringList& list, const QString& value)
{
    return list.contains(value, Qt::CaseInsensitive);
}

QString trimmedFolder(const QString& folder)
{
    QString f = folder.trimmed();
    while (f.endsWith(QLatin1Char('/')))
        f.chop(1);
    return f;
}

QString collapseUnderscores(QString s)
{
    while (s.contains(QLatin1String("__")))
        s.replace(QLatin1String("__"), QLatin1String("_"));
    return s;
}

// Key A keeps the blanks of the name, key B turns them into '_'.
void folderKeys(const QString& deviceName, QString* keyA, QString* keyB)
{
    static const QString light = QStringLiteral(" Strada Light");
    QString name = deviceName.trimmed();
    if (name.endsWith(light, Qt::CaseInsensitive)) {
        name.chop(light.size());
        name += QLatin1String("SL");
    }
    name = name.toLower();
    name.replace(QLatin1Char('.'), QLatin1Char('_'));
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    name = collapseUnderscores(name);
    while (name.endsWith(QLatin1Char('_')))
        name.chop(1);
    *keyA = name;
    QString b = name;
    b.replace(QLatin1Char(' '), QLatin1Char('_'));
    *keyB = collapseUnderscores(b);
}

// One root, both passes: an exact folder name first, then a longer name
// that continues the key with '_' (key B) or a blank (key A).
QString matchInRoot(const QString& root, const QString& keyA, const QString& keyB)
{
    const QStringList folders = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString& folder : folders) {
        const QString lower = folder.toLower();
        if (lower == keyA || lower == keyB)
            return folder;
    }
    for (const QString& folder : folders) {
        const QString lower = folder.toLower();
        if (lower.startsWith(keyB + QLatin1Char('_')) || lower.startsWith(keyA + QLatin1Char(' ')))
            return folder;
    }
    return {};
}

} // namespace

QStringList PageTemplateLibrary::familyFolderCandidates(const QString& deviceName)
{
    for (const DeviceNameRow& row : deviceNameTable()) {
        if (!equalNoCase(deviceName, QLatin1String(row.deviceName)))
            continue;
        QStringList folders;
        for (const char* folder : row.folders) {
            if (!folder)
                break;
            folders << QString::fromLatin1(folder);
        }
        return folders;
    }
    QString keyA;
    QString keyB;
    folderKeys(deviceName, &keyA, &keyB);
    if (keyA.isEmpty())
        return {};
    for (const QString& root : allOverlayRoots()) {
        if (!QFileInfo(root).isDir())
            continue;
        const QString folder = matchInRoot(root, keyA, keyB);
        if (!folder.isEmpty())
            return {folder};
    }
    return {};
}

QString PageTemplateLibrary::familyFolderFor(const QString& deviceName)
{
    return familyFolderCandidates(deviceName).value(0);
}

QString PageTemplateLibrary::modelFolderCandidates(const QString& modelName)
{
    if (equalNoCase(modelName, QLatin1String("MXS")))
        return QStringLiteral("mxs");
    if (equalNoCase(modelName, QLatin1String("MXG")))
        return QStringLiteral("mxg");
    return familyFolderFor(modelName);
}

QString PageTemplateLibrary::saveFamilyForDash(const QString& deviceName, const QString& dash)
{
    const QStringList displays = familyFolderCandidates(deviceName);
    if (displays.size() >= 2) {
        for (const QString& display : displays) {
            if (equalNoCase(display, dash))
                return display;
        }
    }
    return modelFolderCandidates(deviceName);
}

QString PageTemplateLibrary::canonicalFamily(const QString& family)
{
    for (const FamilyAlias& row : aliasTable()) {
        if (equalNoCase(family, QLatin1String(row.alias)))
            return QString::fromLatin1(row.canonical);
    }
    return family;
}

QStringList PageTemplateLibrary::familyAliases(const QString& canonical)
{
    QStringList list{canonical};
    for (const FamilyAlias& row : aliasTable()) {
        const QString alias = QString::fromLatin1(row.alias);
        if (equalNoCase(canonical, QLatin1String(row.canonical)) && !containsNoCase(list, alias))
            list << alias;
    }
    return list;
}

QString PageTemplateLibrary::stripDashSuffix(const QString& family)
{
    QString s = family;
    s.remove(dashSuffix());
    return s;
}

QStringList PageTemplateLibrary::familyCandidates(const QString& family, const QStringList& extraFamilies)
{
    const QString trimmedFamily = family.trimmed();
    const QString base = stripDashSuffix(trimmedFamily);
    QStringList list;
    for (const QString& extra : extraFamilies) {
        const QString e = trimmedFolder(extra);
        if (e.isEmpty())
            continue;
        const QString s = stripDashSuffix(e);
        if (!equalNoCase(s, base))
            continue;
        // Another display of the same device ("pdm/dash2" for "pdm/dash1")
        // is not this family.
        if (equalNoCase(s, e) || equalNoCase(e, trimmedFamily))
            appendUnique(&list, e);
    }
    for (const QString& alias : familyAliases(canonicalFamily(family))) {
        const QString a = trimmedFolder(alias);
        if (!a.isEmpty() && !containsNoCase(list, a))
            list << a;
    }
    return list;
}

QStringList PageTemplateLibrary::expandFamilies(const QStringList& families)
{
    QStringList result;
    for (const QString& family : families) {
        for (const QString& form : {family, stripDashSuffix(family)}) {
            if (!form.isEmpty() && !containsNoCase(result, form))
                result << form;
        }
    }
    return result;
}

void PageTemplateLibrary::appendUnique(QStringList* list, const QString& folder)
{
    const QString f = trimmedFolder(folder);
    if (!list || f.isEmpty() || containsNoCase(*list, f))
        return;
    list->append(f);
}

QString PageTemplateLibrary::subFamilyLabel(const QString& family)
{
    if (family == QLatin1String("pdm/dash1") || family == QLatin1String("pdm08/dash1"))
        return QCoreApplication::translate("PageTemplateLibrary", "Dash 1 (1280x480 wide)");
    if (family == QLatin1String("pdm/dash2") || family == QLatin1String("pdm08/dash2"))
        return QCoreApplication::translate("PageTemplateLibrary", "Dash 2 (800x480 standard)");
    if (family == QLatin1String("fsw"))
        return QCoreApplication::translate("PageTemplateLibrary", "SW4 (Steering Wheel)");
    return family;
}

QSize PageTemplateLibrary::declaredCanvasSize(const QString& family)
{
    const auto lookUp = [](const QString& f) -> QSize {
        for (const DeviceRow& row : DeviceRegistry::devices()) {
            if (equalNoCase(row.family, f))
                return QSize(row.width, row.height);
        }
        return {};
    };
    QSize size = lookUp(family);
    if (size.isValid())
        return size;
    const QString canonical = canonicalFamily(family);
    if (canonical != family)
        size = lookUp(canonical);
    return size;
}
