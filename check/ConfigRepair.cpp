#include "check/ConfigRepair.h"
#include "model/FolderCopy.h"

#include "check/ConfigCheck.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace ConfigCheck {

namespace {

qint64 distance(qint64 a, qint64 b)
{
    return a > b ? a - b : b - a;
}

// Rounded half away from zero and kept within the 32-bit values that every
// reader of the parameter accepts.
QString roundedText(double value)
{
    const double r = std::round(value);
    return QString::number(qint64(std::clamp(r, double(INT_MIN), double(INT_MAX))));
}

bool repairPageBackground(const PageModel& page, const QStringList& roots)
{
    if (page.masks.empty())
        return false;
    pugi::xml_node pageNode = page.masks.front().node.parent();
    if (!pageNode || std::strcmp(pageNode.attribute("c").value(), "GPageParam") != 0)
        return false;
    const QString folder = findInRoots(roots, page.relPagePath);
    if (folder.isEmpty() || !paramText(pageNode, "PATH_IMAGE_SFONDO_FW").isEmpty()
        || !QFileInfo::exists(folder + QStringLiteral("/bkg.tgz")))
        return false;
    bool declared = false;
    for (pugi::xml_node p = pageNode.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), "PATH_IMAGE_SFONDO_FW") == 0) {
            p.text().set("bkg.tgz");
            declared = true;
        }
    }
    if (!declared) {
        // Parameters come before the page's masks, as RS3 writes them.
        const pugi::xml_node firstElement = pageNode.child("e");
        pugi::xml_node p = firstElement ? pageNode.insert_child_before("p", firstElement) : pageNode.append_child("p");
        p.append_attribute("n").set_value("PATH_IMAGE_SFONDO_FW");
        p.text().set("bkg.tgz");
    }
    return true;
}

struct ElementInput {
    pugi::xml_node node;
    IntParam width;
    IntParam xpos;
    int maskW = 0;
    int maskH = 0;
    int tol = 4;
};

bool repairMarker(const ElementInput& e)
{
    pugi::xml_node param = e.node.find_child_by_attribute("p", "n", "LINES_X_HOT_MOUSE");
    if (!param)
        return false;
    const QString text = QString::fromUtf8(param.text().get()).trimmed();
    QStringList items = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (items.size() < 4)
        return false;
    const QList<int> xs = parseIntList(text, 0);
    if (xs.size() < 2)
        return false;
    const auto [loIt, hiIt] = std::minmax_element(xs.cbegin(), xs.cend());
    const qint64 lo = *loIt;
    const qint64 span = qint64(*hiIt) - lo;
    if (span < 1)
        return false;
    const QList<int> ys = parseIntList(text, 1);
    const MarkerFit fit = evaluateMarker(xs, ys, e.width, e.xpos, intParam(e.node, "HEIGHT"),
                                         intParam(e.node, "YPOS"), e.maskW, e.maskH, e.tol);
    if (fit.accepted())
        return false;

    const bool shift = e.width.present && e.xpos.present && e.width.value > 0
        && distance(span, e.width.value) <= 2 * qint64(e.tol);
    qint64 yLo = 0;
    qint64 ySpan = 0;
    if (!ys.isEmpty()) {
        const auto [a, b] = std::minmax_element(ys.cbegin(), ys.cend());
        yLo = *a;
        ySpan = qint64(*b) - *a;
    }
    const bool scaleY = !shift && !ys.isEmpty() && e.maskH >= 1 && ySpan >= 1 && distance(ySpan, e.maskH) > e.tol;

    // Scaling is taken from the marker's start, so a marker that does not
    // begin at 0 lands inside the box instead of past its far edge.
    for (int k = 0; k < items.size(); ++k) {
        bool ok = false;
        const qint64 v = items.at(k).trimmed().toInt(&ok, 10);
        if (!ok)
            continue;
        if (k % 2 == 0) {
            items[k] = shift ? roundedText(double(v - lo + e.xpos.value))
                             : roundedText(double(v - lo) * e.maskW / double(span));
        } else if (scaleY) {
            items[k] = roundedText(double(v - yLo) * e.maskH / double(ySpan));
        }
    }
    setParamStd(e.node, "LINES_X_HOT_MOUSE", items.join(QLatin1Char(',')).toUtf8());
    return true;
}

int repairBarFill(const ElementInput& e)
{
    const bool disagrees = e.xpos.present && e.xpos.value == 0 && e.width.value > 0
        && distance(e.width.value, e.maskW) > e.tol;
    if (!e.width.present || e.width.value <= 0 || disagrees)
        return 0;
    int fixes = 0;
    for (const char* name : {"XEnd1", "XEnd2"}) {
        const IntParam end = intParam(e.node, name);
        if (!end.present || end.value <= 0 || distance(end.value, e.width.value) <= e.tol)
            continue;
        if (!e.node.find_child_by_attribute("p", "n", name))
            continue;
        setParamStd(e.node, name, QByteArray::number(e.width.value));
        ++fixes;
    }
    return fixes;
}

int repairMask(const MaskElement& mask)
{
    int fixes = 0;
    for (pugi::xml_node node = mask.node.child("e"); node; node = node.next_sibling("e")) {
        if (std::strcmp(node.attribute("c").value(), "Axis") == 0)
            continue;
        ElementInput e;
        e.node = node;
        e.width = intParam(node, "WIDTH");
        e.xpos = intParam(node, "XPOS");
        e.maskW = mask.w;
        e.maskH = mask.h;
        e.tol = maskTolerance(mask.w);
        if (repairMarker(e))
            ++fixes;
        if (std::strcmp(node.attribute("c").value(), "BargraphTrapezio") == 0)
            fixes += repairBarFill(e);
    }
    return fixes;
}

} // namespace

int repairConfig(DashConfig& config)
{
    const QStringList roots = existingRs3Roots();
    int fixes = 0;
    for (int i = 0; i < config.pageCount(); ++i) {
        const PageModel* page = config.page(i);
        if (!page)
            continue;
        int pageFixes = repairPageBackground(*page, roots) ? 1 : 0;
        for (const MaskElement& mask : page->masks) {
            if (mask.node && mask.w > 0)
                pageFixes += repairMask(mask);
        }
        if (pageFixes > 0)
            config.markPageDirty(i);
        fixes += pageFixes;
    }
    // Records the file contradicts leave their stores with the save, like
    // every other fix: until then the stores stay as the saved file has
    // them.
    return fixes + config.leaveStaleRecordsForSave();
}

QString preRepairBackupPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    QString backup = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".pre-repair");
    if (!info.suffix().isEmpty())
        backup += QLatin1Char('.') + info.suffix();
    return backup;
}

QString makePreRepairBackup(const QString& path)
{
    const QString backup = preRepairBackupPath(path);
    if (backup.isEmpty() || !QFileInfo(path).isFile() || QFileInfo::exists(backup))
        return {};
    // Made new only: a backup made meanwhile survives, and a link at its
    // name is never written through.
    FolderCopy copy;
    if (!copy.addFile(path, backup))
        return {};
    return QFileInfo(backup).fileName();
}

} // namespace ConfigCheck
