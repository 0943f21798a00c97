// The types of the "Insert Element" dialog: the walk over the device
// family's stock artwork sets, the classification of a mask, the rows made
// by rule and the fallback to the open configuration's own masks.
#include "panels/AddElementDialog.h"

#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "panels/StockMaskCache.h"
#include "templates/PageTemplateLibrary.h"

#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// A channel-less type the dialog offers by rule, not from a stock donor.
ElementTypeEntry ruleType(const QString& label, const QString& description, int width, int height)
{
    ElementTypeEntry entry;
    entry.label = label;
    entry.description = description;
    entry.nativeWidth = width;
    entry.nativeHeight = height;
    return entry;
}

bool hasNonEmptyParam(pugi::xml_node element, const char* name)
{
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0 && *p.text().get())
            return true;
    }
    return false;
}

bool hasParamValue(pugi::xml_node element, const char* name, const char* value)
{
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0 && std::strcmp(p.text().get(), value) == 0)
            return true;
    }
    return false;
}

// Five children: one trapezoid bar with at least three scale labels on the
// same axis, taller than wide.
bool isCompositeVerticalBar(pugi::xml_node mask)
{
    int bars = 0;
    int labels = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "BargraphTrapezio")) {
            ++bars;
        } else if (hasClass(e, "Label")) {
            if (!hasParamValue(e, "AXIS_REF", "00"))
                return false;
            ++labels;
        }
    }
    const int w = paramInt(mask, "WIDTH");
    const int h = paramInt(mask, "HEIGHT");
    return bars == 1 && labels >= 3 && w >= 1 && h >= 1 && double(h) / w >= 1.5;
}

// "aim/resources/overlay/" + the part below the root, with a trailing '/';
// empty when the folder is not below the root.
QString rootRelativeSource(const QString& itemFolder, const QString& overlayRoot)
{
    QString path = QFileInfo(itemFolder).absoluteFilePath();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString root = overlayRoot;
    root.replace(QLatin1Char('\\'), QLatin1Char('/'));
    root += QLatin1Char('/');
    if (!path.startsWith(root))
        return {};
    return QStringLiteral("aim/resources/overlay/") + path.mid(root.size()) + QLatin1Char('/');
}

// The set and the page folder of a template path (".../standard/s02/p01/...");
// empty parts when it names none.
QStringList setAndPageOf(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const int at = int(p.indexOf(QLatin1String("/standard/")));
    if (at < 0)
        return {};
    const QStringList parts = p.mid(at + 10).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.size() < 2 ? QStringList() : parts.mid(0, 2);
}

QString sizedDescription(const QString& pattern, const QString& name, int w, int h)
{
    return pattern.arg(name, QString::number(w), QString::number(h));
}

void takeCompositeDonor(ElementTypeEntry& entry, pugi::xml_node mask, const QString& itemFolder,
                        const QString& overlayRoot)
{
    entry.donor = mask;
    entry.nativeWidth = paramInt(mask, "WIDTH");
    entry.nativeHeight = paramInt(mask, "HEIGHT");
    entry.description = sizedDescription(QStringLiteral("from %1 (%2x%3) — 5-element composite"),
                                         QFileInfo(itemFolder).fileName(), entry.nativeWidth, entry.nativeHeight);
    entry.sourcePath = rootRelativeSource(itemFolder, overlayRoot);
}

// How far a stock item lies from the page: 0 in the page's own set and page
// folder, 1 elsewhere in its set, 2 in another set.
int distanceBetween(const QStringList& own, const QStringList& donor)
{
    if (own.isEmpty() || donor.isEmpty() || own[0].compare(donor[0], Qt::CaseInsensitive) != 0)
        return 2;
    return own[1].compare(donor[1], Qt::CaseInsensitive) == 0 ? 0 : 1;
}

} // namespace

QString AddElementDialog::typeDisplayName(pugi::xml_node mask)
{
    bool hasAxis = false, hasDigit = false, hasBar = false, hasAnalog = false, hasIcon = false, hasText = false;
    int labels = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        const char* cls = e.attribute("c").value();
        if (std::strcmp(cls, "Axis") == 0) {
            hasAxis = true;
        } else if (std::strcmp(cls, "Digit") == 0) {
            hasDigit = true;
        } else if (std::strcmp(cls, "BargraphTrapezio") == 0 || std::strcmp(cls, "Bargraph") == 0) {
            hasBar = true;
        } else if (std::strcmp(cls, "Analog") == 0) {
            hasAnalog = true;
        } else if (std::strcmp(cls, "AiM_Icona") == 0) {
            hasIcon = true;
        } else if (std::strcmp(cls, "Label") == 0) {
            ++labels;
            hasText = hasText || hasNonEmptyParam(e, "TEXT");
        }
    }
    if (hasAnalog)
        return QStringLiteral("Analog gauge");
    if (hasBar && hasDigit)
        return QStringLiteral("Bar + value");
    if (hasBar) {
        const int w = paramInt(mask, "WIDTH");
        const int h = paramInt(mask, "HEIGHT");
        return w > 0 && double(h) / w >= 2.0 ? QStringLiteral("Vertical bar") : QStringLiteral("Horizontal bar");
    }
    if (hasDigit)
        return hasIcon ? QStringLiteral("Numeric value + icon") : QStringLiteral("Numeric value");
    if (hasIcon)
        return QStringLiteral("Icon");
    if (hasAxis || !hasText)
        return {};
    return labels < 3 ? QStringLiteral("Static label") : QStringLiteral("Info strip (multi-label)");
}

// The family of the page's own display ("pdm/dash2" on a PDM's second
// display): its stock is what fits the page. Only when the page names none
// does the device name decide; a page whose family text is refused gets no
// display's stock, as its own is not known.
QString AddElementDialog::familyFolder() const
{
    if (!config || !config->refusedPageFamily(pageIndex).isEmpty())
        return {};
    const QString family = config->pageFamily(pageIndex);
    return family.isEmpty() ? PageTemplateLibrary::familyFolderFor(config->deviceName) : family;
}

bool AddElementDialog::scanStockTypes()
{
    const QString family = familyFolder();
    if (family.isEmpty())
        return false;
    const auto masks = StockMaskCache::masks(family);
    const std::vector<StockSummary>& summaries = summariesOf(masks);
    // The composite bar is noted on this walk too, so inserting one needs no
    // second walk.
    takeNearestCompositeBar(*masks, summaries, compositeBar);
    const QStringList own = ownSetAndPage();
    std::vector<int> rowDistance;
    for (qsizetype i = 0; i < masks->size(); ++i) {
        const StockMaskCache::Item& found = masks->at(i);
        const StockSummary& summary = summaries[size_t(i)];
        if (summary.label.isEmpty())
            continue;
        const int distance = distanceBetween(own, summary.setAndPage);
        // A kind keeps the row where it was first found; a donor nearer
        // to the page's own set takes the row over.
        const auto existing = std::find_if(types.begin(), types.end(), [&summary](const ElementTypeEntry& entry) {
            return entry.label == summary.label;
        });
        const qsizetype row = existing - types.begin();
        if (existing != types.end() && distance >= rowDistance[size_t(row)])
            continue;
        ElementTypeEntry entry;
        entry.label = summary.label;
        entry.nativeWidth = paramInt(found.mask, "WIDTH");
        entry.nativeHeight = paramInt(found.mask, "HEIGHT");
        entry.description = sizedDescription(QStringLiteral("from %1 (%2x%3)"), QFileInfo(found.itemFolder).fileName(),
                                             entry.nativeWidth, entry.nativeHeight);
        entry.donor = found.mask;
        entry.sourcePath = summary.source;
        if (existing != types.end()) {
            *existing = entry;
            rowDistance[size_t(row)] = distance;
        } else {
            types.append(entry);
            rowDistance.push_back(distance);
        }
        if (donorDocuments.empty() || donorDocuments.back() != found.document)
            donorDocuments.push_back(found.document);
    }
    compositeBarSearched = true;
    appendRuleTypes();
    return true;
}

void AddElementDialog::scanConfigTypes()
{
    for (const PageModel& page : config->pages) {
        for (const MaskElement& mask : page.masks) {
            if (!mask.node)
                continue;
            const QString label = typeDisplayName(mask.node);
            if (label.isEmpty() || hasType(label))
                continue;
            ElementTypeEntry entry;
            entry.label = label;
            entry.description = sizedDescription(QStringLiteral("e.g. %1 (%2x%3)"),
                                                 mask.channel.isEmpty() ? mask.id : mask.channel, mask.w, mask.h);
            entry.donor = mask.node;
            entry.nativeWidth = mask.w;
            entry.nativeHeight = mask.h;
            types.append(entry);
        }
    }
    appendRuleTypes();
}

bool AddElementDialog::findCompositeBarDonor(ElementTypeEntry& entry)
{
    if (compositeBarSearched) {
        if (!compositeBar.donor)
            return false;
        entry = compositeBar;
        return true;
    }
    const QString family = familyFolder();
    if (family.isEmpty())
        return false;
    const auto masks = StockMaskCache::masks(family);
    return takeNearestCompositeBar(*masks, summariesOf(masks), entry);
}

QStringList AddElementDialog::ownSetAndPage() const
{
    const PageModel* page = config ? config->page(pageIndex) : nullptr;
    return page ? setAndPageOf(page->relPagePath) : QStringList();
}

bool AddElementDialog::takeNearestCompositeBar(const QList<StockMaskCache::Item>& masks,
                                               const std::vector<StockSummary>& summaries, ElementTypeEntry& entry)
{
    const QStringList own = ownSetAndPage();
    qsizetype nearest = -1;
    int nearestDistance = INT_MAX;
    for (qsizetype i = 0; i < masks.size() && nearestDistance > 0; ++i) {
        const StockSummary& summary = summaries[size_t(i)];
        if (!summary.isComposite)
            continue;
        const int distance = distanceBetween(own, summary.setAndPage);
        if (distance < nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    if (nearest < 0)
        return false;
    const StockMaskCache::Item& found = masks.at(nearest);
    takeCompositeDonor(entry, found.mask, found.itemFolder, found.overlayRoot);
    donorDocuments.push_back(found.document);
    return true;
}

// The stock walk is kept for the session, and so is what each of its masks
// is offered as: classifying them was most of a later open.
const std::vector<AddElementDialog::StockSummary>& AddElementDialog::summariesOf(
    const std::shared_ptr<const QList<StockMaskCache::Item>>& masks)
{
    static std::shared_ptr<const QList<StockMaskCache::Item>> summarized;
    static std::vector<StockSummary> summaries;
    if (summarized == masks)
        return summaries;
    summaries.clear();
    summaries.reserve(size_t(masks->size()));
    for (const StockMaskCache::Item& item : *masks) {
        StockSummary summary;
        summary.label = typeDisplayName(item.mask);
        summary.isComposite = isCompositeVerticalBar(item.mask);
        summary.source = rootRelativeSource(item.itemFolder, item.overlayRoot);
        summary.setAndPage = setAndPageOf(summary.source);
        summaries.push_back(std::move(summary));
    }
    summarized = masks;
    return summaries;
}

bool AddElementDialog::hasType(const QString& label, Qt::CaseSensitivity cs) const
{
    for (const ElementTypeEntry& entry : types) {
        if (entry.label.compare(label, cs) == 0)
            return true;
    }
    return false;
}

void AddElementDialog::appendRuleTypes()
{
    const QString horizontal = QStringLiteral("Horizontal bar");
    if (hasType(horizontal) && !hasType(QStringLiteral("Vertical bar"))) {
        ElementTypeEntry vertical;
        if (!findCompositeBarDonor(vertical)) {
            for (const ElementTypeEntry& entry : std::as_const(types)) {
                if (entry.label == horizontal) {
                    vertical.donor = entry.donor;
                    break;
                }
            }
            vertical.nativeWidth = 30;
            vertical.nativeHeight = 150;
            vertical.description = QStringLiteral("synthesized from Horizontal bar donor (30x150) — may not render "
                                                  "on hardware until RS3 is installed");
        }
        vertical.label = QStringLiteral("Vertical bar");
        types.append(vertical);
    }

    for (ElementTypeEntry& entry : types) {
        if (entry.label.compare(QLatin1String("Static label"), Qt::CaseInsensitive) == 0)
            entry.label = QStringLiteral("Static label (from page artwork)");
    }
    ElementTypeEntry label = ruleType(QStringLiteral("Static label"),
        QStringLiteral("A free-form text label (no channel binding). Pick a size for the box; the text is editable "
                       "in the Property Panel after insert. Use this for channel name labels, page titles, team "
                       "text, etc."),
        120, 32);
    label.isStaticLabel = true;
    types.append(label);

    if (!hasType(QStringLiteral("Multi-value box"), Qt::CaseInsensitive)) {
        ElementTypeEntry box = ruleType(QStringLiteral("Multi-value box"),
            QStringLiteral("A grid of value cells in one box (e.g. 2x2, 1x3). Pick the arrangement and label "
                           "placement next; each cell starts unbound — click a cell afterwards and choose its "
                           "channel in the Property Panel."),
            300, 180);
        box.isMultiBox = true;
        types.append(box);
    }
    if (!hasType(QStringLiteral("Icon"), Qt::CaseInsensitive)) {
        ElementTypeEntry icon = ruleType(QStringLiteral("Icon"),
            QStringLiteral("A single standalone status/warning icon (no channel binding here). Korvelanto drops a "
                           "placeholder icon; assign the graphic + trigger condition afterwards in RaceStudio 3's "
                           "Icons Manager."),
            44, 44);
        icon.isIcon = true;
        types.append(icon);
    }
    if (!hasType(QStringLiteral("+- Ref Time bar"), Qt::CaseInsensitive)) {
        ElementTypeEntry bar = ruleType(QStringLiteral("+- Ref Time bar"),
            QStringLiteral("The native AIM predictive-time delta bar (red left / green right — −2.50 [bar] 2.50). "
                           "Bound to the +- Ref Time lap channel; pick the ± range and the two colors next."),
            540, 90);
        bar.isRefTimeBar = true;
        types.append(bar);
    }
}
