#include "check/ConfigCheck.h"

#include "artwork/BarShape.h"
#include "artwork/StaleArtRecord.h"
#include "model/DashConfig.h"
#include "model/InstallAdvice.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QPair>

#include <algorithm>
#include <cstring>
#include <utility>

namespace ConfigCheck {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ConfigCheck", text);
}

qint64 distance(qint64 a, qint64 b)
{
    return a > b ? a - b : b - a;
}

// "a Digit", "an Analog": the class names as RS3 writes them.
QString withArticle(const QString& word)
{
    const bool vowel = !word.isEmpty() && QStringLiteral("AEIOUaeiou").contains(word.front());
    return (vowel ? QStringLiteral("an ") : QStringLiteral("a ")) + word;
}

// What the borrowed elements are, in words ("a needle gauge", "a value and
// a label"), for the consequence of a borrowed kind that is no bar.
QString kindPhrase(const QStringList& classes)
{
    QStringList words;
    for (const QString& cls : classes) {
        QString word = elementKindLabel(cls.toUtf8().constData());
        if (word == QLatin1String("element"))
            word = cls;
        word = withArticle(word);
        if (!words.contains(word))
            words << word;
    }
    if (words.size() < 2)
        return words.value(0);
    const QString last = words.takeLast();
    return tr("%1 and %2").arg(words.join(QLatin1String(", ")), last);
}

// A page set (familySetOf) as its display family and its set and page
// folders: ("pdm/dash2", "s02/p01").
std::pair<QString, QString> splitFamilySet(const QString& set)
{
    const qsizetype cut = set.section(QLatin1Char('/'), -2).size();
    return std::make_pair(set.left(std::max<qsizetype>(0, set.size() - cut - 1)), set.right(cut));
}

// The two sets as a message names them: by their set and page folders, and
// with their display families where those differ.
std::pair<QString, QString> shownSets(const QString& a, const QString& b)
{
    const auto [familyA, folderA] = splitFamilySet(a);
    const auto [familyB, folderB] = splitFamilySet(b);
    if (familyA.isEmpty() || familyB.isEmpty() || familyA.compare(familyB, Qt::CaseInsensitive) == 0)
        return std::make_pair(folderA, folderB);
    return std::make_pair(a, b);
}

// Two page sets (familySetOf) are one when their set and page folders match,
// ignoring case, and so do their display families where both name one.
bool isSameSet(const QString& a, const QString& b)
{
    const auto [familyA, folderA] = splitFamilySet(a);
    const auto [familyB, folderB] = splitFamilySet(b);
    if (folderA.compare(folderB, Qt::CaseInsensitive) != 0)
        return false;
    return familyA.isEmpty() || familyB.isEmpty() || familyA.compare(familyB, Qt::CaseInsensitive) == 0;
}

bool fileIn(const QString& folder, const QString& name)
{
    const QString path = PathGuard::join(folder, name);
    return !path.isEmpty() && QFileInfo::exists(path);
}

// Everything a mask rule needs of its page and mask.
struct MaskContext {
    int pageIndex = 0;
    const PageModel* page = nullptr;
    const MaskElement* mask = nullptr;
    QString pageSet;
    QString pageFolder;
    QStringList roots;
};

void checkInventedSlot(ConfigFindings& out, const MaskContext& m)
{
    const QString fw = paramText(m.mask->node, "PATH_MASK_FW");
    if (!fw.startsWith(QLatin1String("auto"), Qt::CaseInsensitive))
        return;
    addFinding(out, 1, m.pageIndex, m.mask->id, "invented-slot",
               tr("Uses a Korvelanto-created firmware slot (%1) rather than one from the page's own set.").arg(fw),
               tr("Usually fine — many working dashes have these. Worth knowing if RaceStudio 3 refuses the file."));
}

void checkBorrowedKind(ConfigFindings& out, const MaskContext& m, const QString& rel)
{
    ConfigFinding finding = borrowedKindFinding(m.pageSet, m.pageFolder, rel, m.mask->node);
    if (finding.code.isEmpty())
        return;
    finding.pageIndex = m.pageIndex;
    finding.elementId = m.mask->id;
    out.append(finding);
}

void checkMissingArt(ConfigFindings& out, const MaskContext& m, const QString& rel)
{
    const QString artFolder = findInRoots(m.roots, rel);
    if (artFolder.isEmpty()) {
        // Where it was looked for, and where the install's folders are set.
        addFinding(out, 1, m.pageIndex, m.mask->id, "missing-art",
                   tr("Artwork folder is not on this machine (%1).").arg(rel) + QLatin1Char(' ')
                       + InstallAdvice::notFound(rel),
                   tr("RaceStudio 3 asks for every missing image once per element when the config opens."));
        return;
    }
    QStringList names;
    collectNamedImages(m.mask->node, names);
    for (const QString& name : names) {
        if (fileIn(artFolder, name))
            continue;
        addFinding(out, 1, m.pageIndex, m.mask->id, "missing-art",
                   tr("Names artwork that is not in its folder: %1 (%2).").arg(name, rel),
                   tr("If the device resolves this name here, it will not find it. Common on masks holding elements "
                      "from more than one source item — worth a look, not proof."));
    }
}

// Pictures a widget names by bare name are looked for in its element's art
// folder: with none, nothing can find them.
void checkPicturesWithoutFolder(ConfigFindings& out, const MaskContext& m)
{
    QStringList names;
    for (pugi::xml_node e = m.mask->node.child("e"); e; e = e.next_sibling("e"))
        collectNamedImages(e, names);
    if (names.isEmpty())
        return;
    addFinding(out, 1, m.pageIndex, m.mask->id, "missing-art",
               tr("Names artwork but has no art folder to hold it: %1.").arg(names.join(QStringLiteral(", "))),
               tr("Neither RaceStudio 3 nor the dash can find these images: the element names no folder to look "
                  "in."));
}

void checkOffPage(ConfigFindings& out, const MaskContext& m)
{
    const PageModel& page = *m.page;
    const MaskElement& mask = *m.mask;
    if (page.width <= 0 || page.height <= 0)
        return;
    const bool inside = mask.x >= 0 && mask.y >= 0 && qint64(mask.x) + mask.w <= page.width
        && qint64(mask.y) + mask.h <= page.height;
    if (inside)
        return;
    addFinding(out, 1, m.pageIndex, mask.id, "off-page",
               tr("Sits at (%1,%2) %3x%4, outside the %5x%6 page.")
                   .arg(mask.x)
                   .arg(mask.y)
                   .arg(mask.w)
                   .arg(mask.h)
                   .arg(page.width)
                   .arg(page.height),
               tr("The part past the edge is cut off on the dash."));
}

// One element of a mask with the parameters its rules read.
struct ElementContext {
    pugi::xml_node node;
    QString cls;
    IntParam width;
    IntParam xpos;
    int maskW = 0;
    int tol = 4;
};

void checkMarker(ConfigFindings& out, const MaskContext& m, const ElementContext& e)
{
    const QString text = paramText(e.node, "LINES_X_HOT_MOUSE");
    if (text.isEmpty() || e.maskW < 1 || !e.width.present || e.width.value < 1)
        return;
    const QList<int> xs = parseIntList(text, 0);
    if (xs.size() < 2)
        return;
    const MarkerFit fit = evaluateMarker(xs, parseIntList(text, 1), e.width, e.xpos, intParam(e.node, "HEIGHT"),
                                         intParam(e.node, "YPOS"), e.maskW, m.mask->h, e.tol);
    if (fit.accepted())
        return;
    const auto [loIt, hiIt] = std::minmax_element(xs.cbegin(), xs.cend());
    const qint64 lo = *loIt;
    const qint64 hi = *hiIt;
    const qint64 span = hi - lo;
    const qint64 w = e.width.value;
    // One-pass substitution: the class name comes from the file and may hold '%'.
    const auto n = [](qint64 v) { return QString::number(v); };
    QString message;
    if (!fit.widthOk) {
        message = tr("%1's marker is %2 px wide but the item it marks is %3 px — %4 px too %5.")
                      .arg(e.cls, n(span), n(w), n(distance(span, w)), span <= w ? tr("narrow") : tr("wide"));
    } else if (e.xpos.present) {
        message = tr("%1's marker starts at %2 but the item it marks sits at %3 — %4 px out.")
                      .arg(e.cls, n(lo), n(e.xpos.value), n(distance(lo, e.xpos.value)));
    } else {
        message = tr("%1's marker spans %2..%3 but the box is %4 wide.").arg(e.cls, n(lo), n(hi), n(e.maskW));
    }
    addFinding(out, fit.widthOk ? 1 : 0, m.pageIndex, m.mask->id, "marker-mismatch", message,
               tr("RaceStudio 3 draws that outline on the page, so it appears offset or as a stray shape."));
}

// A full-width bar (at 0) whose width is not its box's.
bool barDisagreesWithBox(const ElementContext& e)
{
    return e.xpos.present && e.xpos.value == 0 && e.width.present && e.maskW >= 1 && e.width.value >= 1
        && distance(e.width.value, e.maskW) > e.tol;
}

void checkBarSweep(ConfigFindings& out, const MaskContext& m, const ElementContext& e)
{
    const IntParam end = intParam(e.node, "XEnd1");
    if (!end.present || !e.width.present || e.width.value < 1 || end.value < 1
        || distance(end.value, e.width.value) <= e.tol)
        return;
    if (barDisagreesWithBox(e)) {
        addFinding(out, 0, m.pageIndex, m.mask->id, "bar-sweep",
                   tr("Bar fills to %1 but the bar is %2 wide, and that %2 disagrees with its %3 wide box.")
                       .arg(end.value)
                       .arg(e.width.value)
                       .arg(e.maskW),
                   tr("One of the two is stale and the file does not say which, so this one is not repaired "
                      "automatically."));
        out.last().repairable = false;
        return;
    }
    addFinding(out, 0, m.pageIndex, m.mask->id, "bar-sweep",
               tr("Bar fills to %1 but the bar is %2 wide.").arg(end.value).arg(e.width.value),
               tr("The coloured fill stops short of, or runs past, the bar artwork."));
}

void checkBarWidth(ConfigFindings& out, const MaskContext& m, const ElementContext& e)
{
    if (!barDisagreesWithBox(e))
        return;
    addFinding(out, 1, m.pageIndex, m.mask->id, "bar-width",
               tr("Full-width bar is %1 wide inside a %2 wide box.").arg(e.width.value).arg(e.maskW),
               tr("The bar does not reach the edge of its own artwork."));
}

void checkElements(ConfigFindings& out, const MaskContext& m)
{
    for (pugi::xml_node node = m.mask->node.child("e"); node; node = node.next_sibling("e")) {
        if (std::strcmp(node.attribute("c").value(), "Axis") == 0)
            continue;
        ElementContext e;
        e.node = node;
        e.cls = QString::fromUtf8(node.attribute("c").value());
        e.width = intParam(node, "WIDTH");
        e.xpos = intParam(node, "XPOS");
        e.maskW = m.mask->w;
        e.tol = maskTolerance(m.mask->w);
        checkMarker(out, m, e);
        if (e.cls == QLatin1String("BargraphTrapezio")) {
            checkBarSweep(out, m, e);
            checkBarWidth(out, m, e);
        }
    }
}

// The records of a list by their mask, each mask's in the list's order: a
// mask's rule reads its own without a pass over the whole list.
class RecordsByMask {
public:
    explicit RecordsByMask(std::vector<StaleArtRecord> records)
        : m_records(std::move(records))
    {
        for (std::size_t i = 0; i < m_records.size(); ++i)
            m_byMask[{m_records[i].page, m_records[i].mask}].push_back(i);
    }
    std::vector<const StaleArtRecord*> of(int page, int mask) const
    {
        std::vector<const StaleArtRecord*> out;
        for (const std::size_t i : m_byMask.value({page, mask}))
            out.push_back(&m_records[i]);
        return out;
    }

private:
    std::vector<StaleArtRecord> m_records;
    QHash<QPair<int, int>, std::vector<std::size_t>> m_byMask;
};

// A box-style or bar-colour record beside the file that its mask's art was
// not made from: the editor ignores it, and the repair removes it.
void checkStaleRecords(ConfigFindings& out, const MaskContext& m, const RecordsByMask& stale, int maskIndex)
{
    for (const StaleArtRecord* record : stale.of(m.pageIndex, maskIndex)) {
        const StaleArtRecord& r = *record;
        const QString item = r.maskItem.isEmpty() ? tr("no item") : r.maskItem;
        const QString message = r.store == SidecarStore::BoxStyles
            ? tr("Its box-style record (%1, under %2) is not the art the mask points at (%3).")
                  .arg(r.recorded, r.key, item)
            : tr("Its bar-colour record (coloured from %1, under %2) is not the art the mask points at (%3).")
                  .arg(r.recorded, r.key, item);
        addFinding(out, 1, m.pageIndex, m.mask->id, "stale-record", message,
                   tr("Left by an editor that ended before saving: the editor shows the file's art and ignores "
                      "the record; a repair removes it with the next save."));
    }
}

// Art the editor drew (a styled box) or coloured (a bar) whose record is not
// beside the file: the record was lost, or the file was copied without it.
void checkUnrecordedArt(ConfigFindings& out, const MaskContext& m, const RecordsByMask& unrecorded, int maskIndex)
{
    for (const StaleArtRecord* record : unrecorded.of(m.pageIndex, maskIndex)) {
        const StaleArtRecord& r = *record;
        if (r.store == SidecarStore::BoxStyles) {
            addFinding(out, 1, m.pageIndex, m.mask->id, "lost-record",
                       tr("Its art is a box the editor drew (%1), but no box-style record of it (%2) is beside the "
                          "file.")
                           .arg(r.maskItem, r.key),
                       tr("The editor cannot name, restyle or take off this box, and cannot draw it again where an "
                          "install lacks it. Put back the configuration's .boxstyles.json from a copy saved with it, "
                          "or insert the box again."));
        } else {
            addFinding(out, 1, m.pageIndex, m.mask->id, "lost-record",
                       tr("Its art is a bar the editor coloured (%1), but no bar-colour record of it (%2) is beside "
                          "the file.")
                           .arg(r.maskItem, r.key),
                       r.recorded.isEmpty()
                           ? tr("Remove color cannot put the stock bar back. Put back the configuration's "
                                ".barcolor.json from a copy saved with it, or insert the bar again.")
                           : tr("Remove color puts back the stock art (%1) but keeps the bar's edges as the colour "
                                "has them. Put back the configuration's .barcolor.json from a copy saved with it to "
                                "get the stock bar's own edges.")
                                 .arg(r.recorded));
        }
        out.last().repairable = false;
    }
}

// Widgets of a coloured element its colours do not cover: a second bar, or
// one reaching past the element (a duplicate or paste made before such
// additions were refused). The same test as adding one.
void checkColouredOverrun(ConfigFindings& out, const DashConfig& config, const MaskContext& m, int maskIndex)
{
    // Adding a widget is refused only to a coloured element.
    if (!config.colouredBar(m.pageIndex, maskIndex).coloured)
        return;
    bool barSeen = false;
    for (const WidgetModel& w : m.mask->widgets) {
        const bool bar = hasClass(w.node, "Bargraph") || hasClass(w.node, "BargraphTrapezio");
        // The element's own bar is the one its colours light up.
        if (bar && !std::exchange(barSeen, true))
            continue;
        if (widgetAddRefusal(&config, m.mask->node, bar, addedWidgetRect(w.node, QPoint())).isEmpty())
            continue;
        addFinding(out, 1, m.pageIndex, m.mask->id, "coloured-overrun",
                   tr("Its coloured pictures do not cover its widget %1: %2.")
                       .arg(w.id, bar ? tr("a second bar") : tr("it reaches past the element")),
                   tr("On the dash the widget shows without the colours, or runs past the element over its "
                      "neighbour. Delete the widget, or Remove color and colour the bar again."));
        out.last().repairable = false;
    }
}

void checkMask(ConfigFindings& out, const MaskContext& m)
{
    checkInventedSlot(out, m);
    const QString rel = paramText(m.mask->node, "PATH_REL_AiM_MASK");
    checkBorrowedKind(out, m, rel);
    if (!rel.isEmpty())
        checkMissingArt(out, m, rel);
    else
        checkPicturesWithoutFolder(out, m);
    checkOffPage(out, m);
    checkElements(out, m);
}

} // namespace

ConfigFinding borrowedKindFinding(const QString& pageSet, const QString& pageFolder, const QString& maskRel,
                                  pugi::xml_node maskElement)
{
    const QString maskSet = familySetOf(maskRel);
    if (pageSet.isEmpty() || maskSet.isEmpty() || isSameSet(pageSet, maskSet) || pageFolder.isEmpty())
        return {};
    const QSet<QString> index = overlayItemIndex(pageFolder);
    if (index.isEmpty())
        return {};
    QSet<QString> used;
    collectElementClasses(maskElement, used);
    QStringList borrowed;
    for (const QString& cls : used) {
        if (!index.contains(cls))
            borrowed << cls;
    }
    if (borrowed.isEmpty())
        return {};
    std::sort(borrowed.begin(), borrowed.end());
    const bool bar = borrowed.contains(QLatin1String("BargraphTrapezio")) || borrowed.contains(QLatin1String("Bargraph"));
    ConfigFinding finding;
    finding.severity = bar ? 0 : 1;
    finding.code = QStringLiteral("cross-set");
    // Sets are named by their whole folder: "p01" alone would name the
    // page's own set and the borrowed one alike.
    const auto [shownMaskSet, shownPageSet] = shownSets(maskSet, pageSet);
    finding.message = tr("Borrows %1 from another page set (%2). This page's own set (%3) has no item of that kind.")
                          .arg(withArticle(borrowed.join(QLatin1String(", "))), shownMaskSet, shownPageSet);
    finding.consequence = bar
        ? tr("RaceStudio 3 imports this and then crashes on startup, every launch, until the configuration folder is "
             "deleted by hand. Reproduced three times.")
        : tr("A bar borrowed like this crashes RaceStudio 3. This is %1, not a bar, and one config like it loads "
             "fine — so worth checking, not a verdict.")
              .arg(kindPhrase(borrowed));
    return finding;
}

ConfigFindings checkConfig(const DashConfig& config)
{
    ConfigFindings findings;
    const QStringList roots = existingRs3Roots();
    // A record the saved file still shows stays for it until the save, and
    // one a repair left for the save is gone with it: neither is named.
    std::vector<StaleArtRecord> stale = config.staleArtRecords();
    stale.erase(std::remove_if(stale.begin(), stale.end(),
                               [&config](const StaleArtRecord& r) {
                                   return r.savedFileUsesIt || config.recordsLeftForSave.contains(r.storeKey());
                               }),
                stale.end());
    const RecordsByMask staleByMask(std::move(stale));
    const RecordsByMask unrecorded(config.unrecordedEditorArt());
    for (int i = 0; i < int(config.pages.size()); ++i) {
        const PageModel& page = config.pages[std::size_t(i)];
        checkPageBackground(findings, i, &page, roots);
        MaskContext m;
        m.pageIndex = i;
        m.page = &page;
        m.pageSet = familySetOf(page.relPagePath);
        m.pageFolder = findInRoots(roots, page.relPagePath);
        m.roots = roots;
        for (int k = 0; k < int(page.masks.size()); ++k) {
            const MaskElement& mask = page.masks[std::size_t(k)];
            if (!mask.node)
                continue;
            m.mask = &mask;
            checkMask(findings, m);
            checkStaleRecords(findings, m, staleByMask, k);
            checkUnrecordedArt(findings, m, unrecorded, k);
            checkColouredOverrun(findings, config, m, k);
        }
    }
    return findings;
}

void addFinding(ConfigFindings& findings, int severity, int pageIndex, const QString& elementId, const char* code,
                const QString& message, const QString& consequence)
{
    ConfigFinding f;
    f.severity = severity;
    f.pageIndex = pageIndex;
    f.elementId = elementId;
    f.code = QString::fromLatin1(code);
    f.message = message;
    f.consequence = consequence;
    findings << f;
}

ConfigFindings checkPageBackgrounds(const DashConfig& config)
{
    ConfigFindings findings;
    const QStringList roots = existingRs3Roots();
    for (int i = 0; i < int(config.pages.size()); ++i)
        checkPageBackground(findings, i, &config.pages[std::size_t(i)], roots);
    return findings;
}

void checkPageBackground(ConfigFindings& findings, int pageIndex, const PageModel* page, const QStringList& roots)
{
    if (!page || page->masks.empty())
        return;
    const pugi::xml_node pageNode = page->masks.front().node.parent();
    if (!pageNode || std::strcmp(pageNode.attribute("c").value(), "GPageParam") != 0)
        return;
    const QString declared = paramText(pageNode, "PATH_IMAGE_SFONDO_FW");
    // A name starting with '_' is a firmware colour fill, not a file.
    if (declared.startsWith(QLatin1Char('_')))
        return;
    const QString folder = findInRoots(roots, page->relPagePath);
    if (folder.isEmpty()) {
        // Without an install nothing can be told; with one, a page whose
        // folder is on none of them has lost its background with it.
        if (roots.isEmpty())
            return;
        addFinding(findings, 0, pageIndex, QString(), "page-background",
                   tr("The page's template folder is not on this machine (%1).").arg(page->relPagePath),
                   tr("Its background and the pictures it holds are gone: RaceStudio 3 raises an image-load dialog "
                      "every time this configuration is opened, and the page is drawn without them."));
        findings.last().repairable = false;
        return;
    }
    if (!declared.isEmpty()) {
        if (declared.contains(QLatin1Char('/')) || fileIn(folder, declared))
            return;
        addFinding(findings, 0, pageIndex, QString(), "page-background",
                   tr("The page declares a background (%1) that is not in its template folder.").arg(declared),
                   tr("RaceStudio 3 raises an image-load dialog every time this configuration is opened."));
        findings.last().repairable = false;
        return;
    }
    if (!QFileInfo::exists(folder + QStringLiteral("/bkg.tgz")))
        return;
    addFinding(findings, 1, pageIndex, QString(), "page-background",
               tr("The page has a background image (bkg.tgz) but never declares it."),
               tr("The dash paints nothing behind this page — the editor shows the background and the device does "
                  "not."));
}

int countErrors(const ConfigFindings& findings)
{
    return int(std::count_if(findings.cbegin(), findings.cend(), [](const ConfigFinding& f) { return f.severity == 0; }));
}

int countRepairable(const ConfigFindings& findings)
{
    return int(std::count_if(findings.cbegin(), findings.cend(), [](const ConfigFinding& f) {
        return f.repairable
            && (f.code == QLatin1String("marker-mismatch") || f.code == QLatin1String("bar-sweep")
                || f.code == QLatin1String("page-background") || f.code == QLatin1String("stale-record"));
    }));
}

} // namespace ConfigCheck
