// Records that contradict the file: box-style and bar-colour records are
// written when the edit is made, the file only when it is saved, so an
// editor that ends in between leaves records beside a file that never got
// their art. Such a record is not drawn, the check names it, and its repair
// and the next save remove it.
#include "model/DashConfig.h"

#include "artwork/BoxStyleLibrary.h"
#include "artwork/HomebrewItems.h"
#include "artwork/StaleArtRecord.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

namespace {

// RaceStudio 3 takes either slash in an item path; the rules read '/'.
QString slashed(QString path)
{
    return path.trimmed().replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString maskItemOf(pugi::xml_node mask)
{
    return slashed(QString::fromUtf8(paramValue(mask, "PATH_REL_AiM_MASK")));
}

// The item a paste copied into a set of its own
// (".../s04_homebrew/zpaste_<stem>_<hash>/Items/<item>/"): the copy keeps
// the item's name. Empty for any other path.
QString pastedItemName(const QString& path)
{
    static const QString setMarker = QStringLiteral("/s04_homebrew/zpaste_");
    static const QString itemsMarker = QStringLiteral("/Items/");
    const int set = path.indexOf(setMarker);
    if (!path.startsWith(QLatin1String("aim/resources/overlay/")) || set < 0)
        return {};
    const int items = path.indexOf(itemsMarker, set + setMarker.size());
    if (items < 0)
        return {};
    QString item = path.mid(items + itemsMarker.size());
    while (item.endsWith(QLatin1Char('/')))
        item.chop(1);
    return item.contains(QLatin1Char('/')) ? QString() : item;
}

// The name of the box item the path points at: in a "zbox_" set, or in the
// set of its own a paste copied it to. Empty for any other path.
QString boxItemName(const QString& path)
{
    const QString rel = slashed(path);
    QString device, stem, item;
    // Pictures pasted into a styled box move it to a copy of its item, named
    // as the item was.
    if (!parseHomebrewBoxPath(rel, device, stem, item))
        item = pastedItemName(rel);
    return item;
}

} // namespace

bool DashConfig::isEditorBoxItem(const QString& path)
{
    const QString item = boxItemName(path);
    return item.startsWith(QLatin1String("box_")) || item.startsWith(QLatin1String("mbox_"));
}

bool DashConfig::boxStyleRecordFits(const BoxStyleRecord& record, pugi::xml_node mask)
{
    // A record that draws no box describes no item.
    if (record.styleId.isEmpty() || record.styleId == cleanBoxStyleId())
        return true;
    return isEditorBoxItem(maskItemOf(mask));
}

bool DashConfig::barColorRecordFits(const BarColorRecord& record, pugi::xml_node mask)
{
    // A record that draws no colour describes no art.
    return !record.colored || colouredBarOf(mask, &record).recordFits;
}

QString DashConfig::pastedColouredArtRefusal()
{
    return QCoreApplication::translate("DashConfig",
                                       "pictures were pasted into this bar's coloured artwork, and the stock art "
                                       "lacks them: undo the paste to change the bar's colour");
}

std::vector<StaleArtRecord> DashConfig::staleArtRecords() const
{
    std::vector<StaleArtRecord> stale;
    const QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    const QMap<QString, BarColorRecord> bars = loadBarColorSidecar();
    if (styles.isEmpty() && bars.isEmpty())
        return stale;
    for (int p = 0; p < pageCount(); ++p) {
        for (int k = 0; k < int(pages[size_t(p)].masks.size()); ++k) {
            const pugi::xml_node node = pages[size_t(p)].masks[size_t(k)].node;
            if (!node)
                continue;
            const QString item = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
            const QString styleKey = boxStyleKey(p, k);
            const auto style = styles.constFind(styleKey);
            if (style != styles.constEnd() && !boxStyleRecordFits(*style, node))
                stale.push_back({p, k, SidecarStore::BoxStyles, styleKey, style->styleId, item});
            const QString barKey = sidecarKey(p, k, SidecarStore::BarColors);
            const auto bar = bars.constFind(barKey);
            if (bar != bars.constEnd() && !barColorRecordFits(*bar, node))
                stale.push_back({p, k, SidecarStore::BarColors, barKey, bar->originalPathRel, item});
        }
    }
    for (StaleArtRecord& r : stale)
        r.savedFileUsesIt = recordsOfSavedFile.contains(r.storeKey());
    return stale;
}

void DashConfig::noteSavedRecordUse()
{
    recordsOfSavedFile.clear();
    recordsLeftForSave.clear();
    const QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    const QMap<QString, BarColorRecord> bars = loadBarColorSidecar();
    if (styles.isEmpty() && bars.isEmpty())
        return;
    for (int p = 0; p < pageCount(); ++p) {
        for (int k = 0; k < int(pages[size_t(p)].masks.size()); ++k) {
            const pugi::xml_node node = pages[size_t(p)].masks[size_t(k)].node;
            if (!node)
                continue;
            const QString styleKey = boxStyleKey(p, k);
            const auto style = styles.constFind(styleKey);
            if (style != styles.constEnd() && boxStyleRecordFits(*style, node))
                recordsOfSavedFile.insert(StaleArtRecord::storeKey(SidecarStore::BoxStyles, styleKey));
            const QString barKey = sidecarKey(p, k, SidecarStore::BarColors);
            const auto bar = bars.constFind(barKey);
            if (bar != bars.constEnd() && barColorRecordFits(*bar, node))
                recordsOfSavedFile.insert(StaleArtRecord::storeKey(SidecarStore::BarColors, barKey));
        }
    }
}

int DashConfig::leaveStaleRecordsForSave()
{
    int noted = 0;
    for (const StaleArtRecord& r : staleArtRecords()) {
        if (r.savedFileUsesIt || recordsLeftForSave.contains(r.storeKey()))
            continue;
        recordsLeftForSave.insert(r.storeKey());
        ++noted;
    }
    return noted;
}

std::vector<StaleArtRecord> DashConfig::unrecordedEditorArt() const
{
    std::vector<StaleArtRecord> unrecorded;
    // A store that cannot be read is said to be so; its records are not lost.
    const bool stylesReadable = sidecarReadFailure(SidecarStore::BoxStyles).isEmpty();
    const bool barsReadable = sidecarReadFailure(SidecarStore::BarColors).isEmpty();
    const QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    const QMap<QString, BarColorRecord> bars = loadBarColorSidecar();
    for (int p = 0; p < pageCount(); ++p) {
        for (int k = 0; k < int(pages[size_t(p)].masks.size()); ++k) {
            const pugi::xml_node node = pages[size_t(p)].masks[size_t(k)].node;
            if (!node)
                continue;
            const QString item = QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK"));
            // A multi-value box is drawn from its grid record, in a default
            // style until one is chosen: only a single box needs its style.
            const bool singleBox = boxItemName(item).startsWith(QLatin1String("box_"));
            const QString styleKey = boxStyleKey(p, k);
            if (stylesReadable && singleBox && styles.value(styleKey).styleId.isEmpty())
                unrecorded.push_back({p, k, SidecarStore::BoxStyles, styleKey, QString(), item});
            const QString barKey = sidecarKey(p, k, SidecarStore::BarColors);
            // A coloured bar without its record: the stock item its stamp
            // names (in `recorded`) is all that is known of its stock bar.
            const auto rec = bars.constFind(barKey);
            const ColouredBar bar = colouredBarOf(node, rec == bars.constEnd() ? nullptr : &*rec);
            if (barsReadable && bar.coloured && rec == bars.constEnd())
                unrecorded.push_back({p, k, SidecarStore::BarColors, barKey, bar.origin, item});
        }
    }
    return unrecorded;
}

int DashConfig::dropStaleArtRecords()
{
    const std::vector<StaleArtRecord> stale = staleArtRecords();
    if (stale.empty())
        return 0;
    // A store that cannot be read is never written over.
    QMap<QString, BoxStyleRecord> styles = loadBoxStyleSidecar();
    QMap<QString, BarColorRecord> bars = loadBarColorSidecar();
    const bool stylesReadable = sidecarReadFailure(SidecarStore::BoxStyles).isEmpty();
    const bool barsReadable = sidecarReadFailure(SidecarStore::BarColors).isEmpty();
    int styleDrops = 0;
    int barDrops = 0;
    for (const StaleArtRecord& r : stale) {
        if (r.store == SidecarStore::BoxStyles && stylesReadable)
            styleDrops += int(styles.remove(r.key));
        else if (r.store == SidecarStore::BarColors && barsReadable)
            barDrops += int(bars.remove(r.key));
    }
    bool ok = true;
    if (styleDrops > 0)
        ok = saveBoxStyleSidecar(styles) && ok;
    if (barDrops > 0)
        ok = saveBarColorSidecar(bars) && ok;
    // The save's own clean-up: written at once.
    ok = writeStagedRecords() && ok;
    return ok ? styleDrops + barDrops : -1;
}
