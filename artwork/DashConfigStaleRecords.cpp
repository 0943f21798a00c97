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

bool DashConfig::boxStyleRecordFits(const BoxStyleRecord& record, pugi::xml_node mask)
{
    // A record that draws no box describes no item.
    if (record.styleId.isEmpty() || record.styleId == cleanBoxStyleId())
        return true;
    QString device, stem, item;
    const QString rel = QString::fromUtf8(paramValue(mask, "PATH_REL_AiM_MASK"));
    return parseHomebrewBoxPath(rel, device, stem, item)
        && (item.startsWith(QLatin1String("box_")) || item.startsWith(QLatin1String("mbox_")));
}

bool DashConfig::barColorRecordFits(const BarColorRecord& record, pugi::xml_node mask)
{
    if (!record.colored)
        return true;
    const QString rel = QString::fromUtf8(paramValue(mask, "PATH_REL_AiM_MASK"));
    const QString stamped = QString::fromUtf8(paramValue(mask, "DE_BARCOLOR_SRC"));
    // Pictures pasted into a coloured bar moved it to a copy of its coloured
    // art; the colouring's stamp came along, and the record is still the
    // one that tells how the bar was coloured.
    if (holdsPastedColouredArt(mask))
        return record.originalPathRel.isEmpty() || stamped == record.originalPathRel;
    if (!rel.contains(QLatin1String("/s04_homebrew/zbar_")))
        return false;
    // The folder was made from the stock item the mask names; a record of
    // another colouring is not this folder's.
    return stamped.isEmpty() || record.originalPathRel.isEmpty() || stamped == record.originalPathRel;
}

bool DashConfig::holdsPastedColouredArt(pugi::xml_node mask)
{
    return QString::fromUtf8(paramValue(mask, "PATH_REL_AiM_MASK")).contains(QLatin1String("/s04_homebrew/zpaste_"))
        && !paramValue(mask, "DE_BARCOLOR_SRC").isEmpty();
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
    return stale;
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
    return ok ? styleDrops + barDrops : -1;
}
