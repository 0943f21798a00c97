#include "artwork/ColouredBar.h"

#include "artwork/HomebrewItems.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"

QString normalisedItemPath(const QString& path)
{
    QString p = path.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p.isEmpty() ? p : p + QLatin1Char('/');
}

namespace {

QString itemParam(pugi::xml_node mask, const char* name)
{
    return normalisedItemPath(QString::fromUtf8(paramValue(mask, name)));
}

// The item a paste copied the element's art into (its own "zpaste_" set).
bool isPastedItem(const QString& path)
{
    return path.contains(QLatin1String("/s04_homebrew/zpaste_"));
}

} // namespace

ColouredBar colouredBarOf(pugi::xml_node mask, const BarColorRecord* record)
{
    ColouredBar bar;
    if (!mask || !findBargraphChild(mask))
        return bar;
    const QString current = itemParam(mask, "PATH_REL_AiM_MASK");
    const QString stamp = itemParam(mask, "DE_BARCOLOR_SRC");
    const bool colourRecord = record && record->colored;
    const QString recorded = colourRecord ? normalisedItemPath(record->originalPathRel) : QString();
    if (!stamp.isEmpty()) {
        // The stamp goes with the coloured pictures wherever they are
        // copied; on the stock item itself the bar shows no colour.
        bar.coloured = !current.isEmpty() && current != stamp;
        bar.origin = stamp;
        bar.recordFits = bar.coloured && colourRecord && (recorded.isEmpty() || recorded == stamp);
    } else if (colourRecord) {
        // A record written before its file was saved (an editor that ended
        // in between) names the stock art the file still shows, or the
        // stock art a fit of the stock bar was scaled from.
        const QString fitOrigin = itemParam(mask, "DE_FIT_SRC");
        bar.coloured = !current.isEmpty() && (recorded.isEmpty() || (current != recorded && fitOrigin != recorded));
        bar.origin = recorded;
        bar.recordFits = bar.coloured;
    }
    bar.pasted = bar.coloured && isPastedItem(current);
    return bar;
}

ColouredBar DashConfig::colouredBar(int page, int mask) const
{
    const MaskElement* m = maskAt(page, mask);
    if (!m || !m->node)
        return {};
    // Only a bar has a record to look up; any other element is answered
    // from its node alone.
    if (!findBargraphChild(m->node))
        return colouredBarOf(m->node, nullptr);
    // Staged records are the store as this configuration has it now; the
    // file's are parsed once per write of it.
    const QMap<QString, BarColorRecord> records = stagedBarColors
        ? *stagedBarColors
        : colouredBarIndex.storedRecords(barColorSidecarPath(), legacyRecordKeys,
                                         [this] { return loadBarColorSidecar(); });
    if (records.isEmpty())
        return colouredBarOf(m->node, nullptr);
    const auto it = records.constFind(sidecarKey(page, mask, SidecarStore::BarColors));
    return colouredBarOf(m->node, it == records.constEnd() ? nullptr : &*it);
}

ColouredBar DashConfig::colouredBar(pugi::xml_node mask) const
{
    const auto [page, index] = colouredBarIndex.position(pages, mask);
    return page < 0 ? colouredBarOf(mask, nullptr) : colouredBar(page, index);
}
