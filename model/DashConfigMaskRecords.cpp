// Records live and die with their mask. A mask that is removed keeps its
// records in the stores while an undo can bring it back, and the command that
// removed it keeps a copy for an undo after a save; a save drops the records
// no mask has any more, so a later mask given the same name starts clean. A
// command that hands out a name takes any record still stored under it and
// puts it back on undo.
#include "model/DashConfig.h"

#include "model/MaskRecords.h"

#include <QSet>

#include <algorithm>

#include <optional>

namespace {

template <typename Record>
std::optional<Record> recordAt(const QMap<QString, Record>& records, const QString& key)
{
    const auto it = records.constFind(key);
    if (key.isEmpty() || it == records.constEnd())
        return std::nullopt;
    return *it;
}

// A mask's key and record in the store of that record type.
const QString& keyIn(const MaskRecords& r, const QMap<QString, BarColorRecord>&) { return r.barKey; }
const QString& keyIn(const MaskRecords& r, const QMap<QString, BoxStyleRecord>&) { return r.styleKey; }
const QString& keyIn(const MaskRecords& r, const QMap<QString, MultiBoxRecord>&) { return r.gridKey; }
const QString& keyIn(const MaskRecords& r, const QMap<QString, IconPreviewRecord>&) { return r.iconKey; }
const std::optional<BarColorRecord>& recordIn(const MaskRecords& r, const QMap<QString, BarColorRecord>&)
{
    return r.bar;
}
const std::optional<BoxStyleRecord>& recordIn(const MaskRecords& r, const QMap<QString, BoxStyleRecord>&)
{
    return r.style;
}
const std::optional<MultiBoxRecord>& recordIn(const MaskRecords& r, const QMap<QString, MultiBoxRecord>&)
{
    return r.grid;
}
const std::optional<IconPreviewRecord>& recordIn(const MaskRecords& r, const QMap<QString, IconPreviewRecord>&)
{
    return r.icon;
}

// Records a save keeps: those of the masks the configuration has, and those
// of files written before keys named the page (they have no page part). The
// keys of the live masks are worked out only once a store holds a record
// that names its page: most saves find none.
template <typename Record, typename LiveKeys>
bool dropGone(QMap<QString, Record>& records, const LiveKeys& live)
{
    bool dropped = false;
    for (auto it = records.begin(); it != records.end();) {
        if (it.key().contains(QLatin1Char('/')) && !live().contains(it.key())) {
            it = records.erase(it);
            dropped = true;
        } else {
            ++it;
        }
    }
    return dropped;
}

enum class BarRecords { WaitForSave, WriteNow };

// Runs edit (true when it changed them) on each store's records and writes
// back the stores it changed; false when one could not be written. An edit's
// records wait for the save; the save's own clean-up writes them at once.
template <typename Edit>
bool editEveryStore(DashConfig& config, Edit edit, BarRecords when = BarRecords::WaitForSave)
{
    bool ok = true;
    QMap<QString, BarColorRecord> bars = config.loadBarColorSidecar();
    if (edit(bars))
        ok = (when == BarRecords::WriteNow ? config.saveBarColorSidecar(bars) : config.stageBarColorSidecar(bars))
            && ok;
    QMap<QString, BoxStyleRecord> styles = config.loadBoxStyleSidecar();
    if (edit(styles))
        ok = config.saveBoxStyleSidecar(styles) && ok;
    QMap<QString, MultiBoxRecord> grids = config.loadMultiBoxSidecar();
    if (edit(grids))
        ok = config.saveMultiBoxSidecar(grids) && ok;
    QMap<QString, IconPreviewRecord> icons = config.loadIconPreviewSidecar();
    if (edit(icons))
        ok = config.saveIconPreviewSidecar(icons) && ok;
    if (when == BarRecords::WriteNow)
        ok = config.writeStagedRecords() && ok;
    return ok;
}

} // namespace

MaskRecords DashConfig::maskRecords(int pageIndex, int maskIndex) const
{
    MaskRecords r;
    if (!maskAt(pageIndex, maskIndex))
        return r;
    r.barKey = sidecarKey(pageIndex, maskIndex, SidecarStore::BarColors);
    r.styleKey = sidecarKey(pageIndex, maskIndex, SidecarStore::BoxStyles);
    r.gridKey = sidecarKey(pageIndex, maskIndex, SidecarStore::MultiBoxes);
    r.iconKey = sidecarKey(pageIndex, maskIndex, SidecarStore::IconPreviews);
    r.bar = recordAt(loadBarColorSidecar(), r.barKey);
    r.style = recordAt(loadBoxStyleSidecar(), r.styleKey);
    r.grid = recordAt(loadMultiBoxSidecar(), r.gridKey);
    r.icon = recordAt(loadIconPreviewSidecar(), r.iconKey);
    return r;
}

bool DashConfig::dropMaskRecords(const MaskRecords& r)
{
    if (r.isEmpty())
        return true;
    return editEveryStore(*this, [&r](auto& records) {
        return recordIn(r, records).has_value() && records.remove(keyIn(r, records)) > 0;
    });
}

bool DashConfig::restoreMaskRecords(const MaskRecords& r)
{
    if (r.isEmpty())
        return true;
    return editEveryStore(*this, [&r](auto& records) {
        const auto& record = recordIn(r, records);
        if (!record || records.contains(keyIn(r, records)))
            return false;
        records.insert(keyIn(r, records), *record);
        return true;
    });
}

bool DashConfig::restoreMaskRecords(const std::vector<MaskRecords>& records)
{
    return std::all_of(records.begin(), records.end(),
                       [this](const MaskRecords& r) { return restoreMaskRecords(r); });
}

bool DashConfig::restoreRecordsForStep(const std::vector<MaskRecords>& records)
{
    sidecarFailure.clear();
    if (restoreMaskRecords(records))
        return true;
    refusedStep = sidecarFailure;
    return false;
}

QSet<QString> DashConfig::liveRecordKeys() const
{
    QSet<QString> live;
    for (int p = 0; p < pageCount(); ++p) {
        // The page's name once: a mask with an id is keyed by the two alone.
        const QString page = pageRecordName(p) + QLatin1Char('/');
        const std::vector<MaskElement>& masks = pages[size_t(p)].masks;
        for (int k = 0; k < int(masks.size()); ++k) {
            if (!masks[size_t(k)].id.isEmpty()) {
                live.insert(page + masks[size_t(k)].id);
                continue;
            }
            for (const SidecarStore store : {SidecarStore::BarColors, SidecarStore::BoxStyles,
                                             SidecarStore::MultiBoxes, SidecarStore::IconPreviews})
                live.insert(sidecarKey(p, k, store));
        }
    }
    return live;
}

bool DashConfig::dropRecordsOfGoneMasks()
{
    std::optional<QSet<QString>> live;
    const auto liveKeys = [this, &live]() -> const QSet<QString>& {
        if (!live)
            live = liveRecordKeys();
        return *live;
    };
    return editEveryStore(
        *this, [&liveKeys](auto& records) { return dropGone(records, liveKeys); }, BarRecords::WriteNow);
}

// A page without an id is named by its place among its file's pages, so a
// page removed or put back before it moves its name: its records move with
// it, and those of a removed page leave the name to the next (the command
// that removed it keeps them).
std::vector<PlacedPageName> DashConfig::placedPageNames() const
{
    std::vector<PlacedPageName> names;
    for (int p = 0; p < pageCount(); ++p) {
        const pugi::xml_node node = pageParamNode(p);
        if (node && node.attribute("i").empty())
            names.push_back({node, pageRecordName(p)});
    }
    return names;
}

namespace {

template <typename Record>
bool moveUnder(QMap<QString, Record>& records, const QHash<QString, QString>& moved)
{
    QMap<QString, Record> kept;
    QMap<QString, Record> renamed;
    bool changed = false;
    for (auto it = records.constBegin(); it != records.constEnd(); ++it) {
        const qsizetype slash = it.key().lastIndexOf(QLatin1Char('/'));
        const auto to = slash < 0 ? moved.constEnd() : moved.constFind(it.key().left(slash));
        if (to == moved.constEnd()) {
            kept.insert(it.key(), it.value());
            continue;
        }
        changed = true;
        if (!to->isEmpty())
            renamed.insert(*to + it.key().mid(slash), it.value());
    }
    // A page's new name may be the old one of a page that moved on or went.
    for (auto it = renamed.constBegin(); it != renamed.constEnd(); ++it)
        kept.insert(it.key(), it.value());
    if (changed)
        records = kept;
    return changed;
}

} // namespace

bool DashConfig::movePlacedPageRecords(const std::vector<PlacedPageName>& before)
{
    // Old page name -> new one, or empty for a page that is gone.
    QHash<QString, QString> moved;
    for (const PlacedPageName& name : before) {
        QString now;
        for (int p = 0; p < pageCount() && now.isEmpty(); ++p) {
            if (pageParamNode(p) == name.node)
                now = pageRecordName(p);
        }
        if (now != name.name)
            moved.insert(name.name, now);
    }
    if (moved.isEmpty())
        return true;
    return editEveryStore(*this, [&moved](auto& records) { return moveUnder(records, moved); });
}
