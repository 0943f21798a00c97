// Record keys of the four sidecar stores. Mask ids are unique only within a
// page: the demo, every page template and RaceStudio 3's own configurations
// name each page's masks md.00, md.01, ..., so a key names the page too (its
// device file's folder inside the archive and its id). Both stay the same
// through a save, a Save As and a bundle, which carry the stores whole.
//
// Files written before keys named the page hold a mask's own part alone. Such
// a record goes on serving the one mask it can only mean and moves to that
// mask's key at the next save; a record that could mean several masks is left
// in its file as it is and applies to none.
#include "model/DashConfig.h"

#include "artwork/BoxStyleRenderer.h"
#include "artwork/HomebrewItems.h"
#include "model/SidecarKeys.h"
#include "model/XmlParams.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

const char* prefixOf(SidecarStore store)
{
    switch (store) {
    case SidecarStore::BarColors:
        return "bar";
    case SidecarStore::BoxStyles:
        return "box";
    case SidecarStore::MultiBoxes:
        return "mbox";
    case SidecarStore::IconPreviews:
        return "icon";
    }
    return "";
}

// What a mask was called in files written before keys named the page.
QStringList legacyNames(const MaskElement& mask, int index, SidecarStore store)
{
    if (!mask.id.isEmpty())
        return {mask.id};
    QStringList names{sidecarKey(QString::fromLatin1(prefixOf(store)), QString(), index)};
    // A multi-value box without an id kept its style under its grid's key.
    if (store == SidecarStore::BoxStyles)
        names << sidecarKey(QStringLiteral("mbox"), QString(), index);
    return names;
}

// "base" or "base_" and eight hex digits: the names generated art had.
bool isItemNamed(const QString& item, const QString& base)
{
    if (item == base)
        return true;
    if (item.size() != base.size() + 9 || !item.startsWith(base + QLatin1Char('_')))
        return false;
    for (const QChar c : item.right(8)) {
        if (!c.isDigit() && (c < QLatin1Char('a') || c > QLatin1Char('f')))
            return false;
    }
    return true;
}

// True when the mask shows the art that the record stored under `name`
// made: the item (or, for a bar, the set) was named after it.
bool showsArtMadeFor(const MaskElement& mask, const QString& name, SidecarStore store)
{
    if (!mask.node)
        return false;
    const QString path = QString::fromUtf8(paramValue(mask.node, "PATH_REL_AiM_MASK")).trimmed();
    const QString stem = sanitizeFileStem(name);
    if (store == SidecarStore::BarColors) {
        static const QString marker = QStringLiteral("/s04_homebrew/");
        const int at = path.indexOf(marker);
        const int items = path.indexOf(QLatin1String("/Items/"), at + 1);
        if (at < 0 || items < 0)
            return false;
        const QString set = path.mid(at + marker.size(), items - at - marker.size());
        return set.startsWith(QLatin1String("zbar_")) && set.endsWith(QLatin1Char('_') + stem);
    }
    QString device, setStem, item;
    if (store == SidecarStore::IconPreviews || !parseHomebrewBoxPath(path, device, setStem, item))
        return false;
    if (isItemNamed(item, QStringLiteral("mbox_") + stem))
        return true;
    return store == SidecarStore::BoxStyles && isItemNamed(item, QStringLiteral("box_") + stem);
}

struct Candidate {
    int page;
    int mask;
    QString key;
};

} // namespace

QString DashConfig::deviceRecordFolder(int deviceIndex) const
{
    if (extractDir.isEmpty() || deviceIndex < 0 || deviceIndex >= int(devices.size()))
        return {};
    const QString folder =
        QDir(extractDir).relativeFilePath(QFileInfo(devices[size_t(deviceIndex)]->filePath).absolutePath());
    return folder == QLatin1String(".") ? QString() : folder;
}

QString DashConfig::pageRecordName(int pageIndex) const
{
    const PageModel& page = pages[size_t(pageIndex)];
    const QString folder = deviceRecordFolder(page.deviceFileIndex);
    QString id = QString::fromUtf8(pageParamNode(pageIndex).attribute("i").value());
    if (id.isEmpty()) {
        int ordinal = 0;
        for (int i = 0; i < pageIndex; ++i)
            ordinal += pages[size_t(i)].deviceFileIndex == page.deviceFileIndex ? 1 : 0;
        id = QStringLiteral("page%1").arg(ordinal);
    }
    return folder.isEmpty() ? id : folder + QLatin1Char('/') + id;
}

QSet<QString> DashConfig::recordedPageIds(int deviceIndex) const
{
    const QString folder = deviceRecordFolder(deviceIndex);
    const QString prefix = folder.isEmpty() ? QString() : folder + QLatin1Char('/');
    QSet<QString> ids;
    for (const SidecarStore store : {SidecarStore::BoxStyles, SidecarStore::MultiBoxes, SidecarStore::BarColors,
                                     SidecarStore::IconPreviews}) {
        // A record of an older file names its page only through the mask
        // it was adopted for.
        QStringList keys = storedSidecarKeys(store);
        keys += legacyRecordKeys[size_t(store)].values();
        for (const QString& key : keys) {
            const qsizetype end = key.startsWith(prefix) ? key.indexOf(QLatin1Char('/'), prefix.size()) : -1;
            if (end > prefix.size())
                ids.insert(key.mid(prefix.size(), end - prefix.size()));
        }
    }
    return ids;
}

QString DashConfig::sidecarKey(int pageIndex, int maskIndex, SidecarStore store) const
{
    const MaskElement* m = maskAt(pageIndex, maskIndex);
    if (!m)
        return {};
    const QString page = pageRecordName(pageIndex) + QLatin1Char('/');
    if (!m->id.isEmpty())
        return page + m->id;
    if (store == SidecarStore::BoxStyles) {
        // A multi-value box keeps its own style under its grid's key, so
        // the writers and readers of both records meet there.
        const QString multiKey = sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes);
        const QMap<QString, MultiBoxRecord> multi = loadMultiBoxSidecar();
        const auto mb = multi.constFind(multiKey);
        if (mb != multi.constEnd() && BoxStyleRenderer::isUsableGrid(mb->rows, mb->cols))
            return multiKey;
    }
    return page + ::sidecarKey(QString::fromLatin1(prefixOf(store)), QString(), maskIndex);
}

QString DashConfig::boxStyleKey(int pageIndex, int maskIndex) const
{
    return sidecarKey(pageIndex, maskIndex, SidecarStore::BoxStyles);
}

void DashConfig::adoptLegacySidecarRecords()
{
    for (QHash<QString, QString>& adopted : legacyRecordKeys)
        adopted.clear();
    // The grids first: the box-style key of a multi-value box without an id
    // depends on its grid record.
    for (const SidecarStore store : {SidecarStore::MultiBoxes, SidecarStore::BoxStyles, SidecarStore::BarColors,
                                     SidecarStore::IconPreviews}) {
        const QStringList stored = storedSidecarKeys(store);
        if (stored.isEmpty())
            continue;
        const QSet<QString> inFile(stored.begin(), stored.end());
        QHash<QString, QList<Candidate>> byName;
        QSet<QString> current;
        for (int p = 0; p < pageCount(); ++p) {
            for (int k = 0; k < int(pages[size_t(p)].masks.size()); ++k) {
                const QString key = sidecarKey(p, k, store);
                current.insert(key);
                for (const QString& name : legacyNames(pages[size_t(p)].masks[size_t(k)], k, store))
                    byName[name].append(Candidate{p, k, key});
            }
        }
        QHash<QString, QString>& adopted = legacyRecordKeys[size_t(store)];
        QSet<QString> taken;
        for (const QString& name : stored) {
            if (current.contains(name))
                continue;
            QList<Candidate> candidates = byName.value(name);
            if (candidates.size() > 1) {
                QList<Candidate> showing;
                for (const Candidate& c : candidates) {
                    if (showsArtMadeFor(pages[size_t(c.page)].masks[size_t(c.mask)], name, store))
                        showing.append(c);
                }
                candidates = showing;
            }
            // A mask that has a record of its own keeps it; a mask is taken
            // over by one old record at most.
            if (candidates.size() != 1 || inFile.contains(candidates.first().key)
                || taken.contains(candidates.first().key))
                continue;
            adopted.insert(name, candidates.first().key);
            taken.insert(candidates.first().key);
        }
    }
}
