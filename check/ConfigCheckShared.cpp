#include "check/ConfigCheck.h"

#include "model/DeviceTables.h"
#include "model/FileEntries.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/XmlParams.h"

#include <QDebug>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace ConfigCheck {

namespace {

bool isStructuralClass(const char* cls)
{
    static const char* const structural[] = {"GMaskParam", "Axis", "BBLOCKS", "ScaleFSV", "StepScale", "UDM"};
    for (const char* name : structural) {
        if (std::strcmp(cls, name) == 0)
            return true;
    }
    return false;
}

bool isImageParam(const char* name)
{
    static const char* const imageParams[] = {"PATH_IMAGE", "PATH_IMAGE_SFONDO_FW", "PATH_IMAGE_NEW_BACKGROUND",
                                              "PATH_IMG",   "PATH_IMG_ON",          "PATH_IMG_OFF",
                                              "PRW_AXISNOTSET"};
    for (const char* param : imageParams) {
        if (std::strcmp(name, param) == 0)
            return true;
    }
    return false;
}

void addImageNames(pugi::xml_node node, QStringList& names)
{
    for (pugi::xml_node p = node.child("p"); p; p = p.next_sibling("p")) {
        if (!isImageParam(p.attribute("n").value()))
            continue;
        const QString name = QString::fromUtf8(p.text().get()).trimmed();
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('_'))
            || !name.contains(QLatin1Char('.')) || names.contains(name))
            continue;
        names << name;
    }
}

// Pushes the <e> children of node so that the first is popped first.
void pushElementChildren(pugi::xml_node node, std::vector<pugi::xml_node>& stack)
{
    const std::size_t mark = stack.size();
    for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e"))
        stack.push_back(e);
    std::reverse(stack.begin() + std::ptrdiff_t(mark), stack.end());
}

// An item file is a few kilobytes; a link or a pipe is none.
constexpr qint64 kItemFileBound = 16 * 1024 * 1024;

void indexItemFile(const SafeRead::Entry& entry, QSet<QString>& classes)
{
    QByteArray bytes;
    QString why;
    if (!SafeRead::readEntry(entry, kItemFileBound, &bytes, &why)) {
        qWarning().noquote() << "Config check: item file not read:" << why;
        return;
    }
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.constData(), std::size_t(bytes.size())))
        return;
    collectElementClasses(doc.document_element(), classes);
}

// The classes of every "Items/<item>/*.M2.xml" of the install's page folder,
// read through the file gate: an item folder or file that is a link, or a
// pipe, is named in the log and never read.
QSet<QString> readItemIndex(const QString& folder)
{
    QSet<QString> classes;
    for (const char* items : {"/Items", "/items"}) {
        const QString itemsFolder = folder + QLatin1String(items);
        if (FileEntries::keptFolder(itemsFolder) != FileEntries::Kept::Folder)
            continue;
        SafeRead::walk(itemsFolder, [&](const SafeRead::Entry& entry) {
            if (entry.depth == 0 && entry.kind == FileEntries::Kind::Link)
                qWarning().noquote() << "Config check: item folder not read:" << SafeRead::linkText(entry.path);
            if (entry.depth == 0)
                return entry.kind == FileEntries::Kind::Folder;
            if (entry.name.endsWith(QLatin1String(".M2.xml"), Qt::CaseInsensitive))
                indexItemFile(entry, classes);
            return false;
        });
    }
    return classes;
}

qint64 distance(qint64 a, qint64 b)
{
    return a > b ? a - b : b - a;
}

} // namespace

QStringList existingRs3Roots()
{
    QStringList roots;
    for (const QString& root : {raceStudio3Root(), raceStudio3BetaRoot()}) {
        if (!root.isEmpty() && !roots.contains(root) && QFileInfo::exists(root))
            roots << root;
    }
    return roots;
}

QString standardSetOf(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    static const QString marker = QStringLiteral("/standard/");
    const int at = p.indexOf(marker);
    if (at < 0)
        return {};
    const QStringList parts = p.mid(at + marker.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return {};
    return parts.at(0) + QLatin1Char('/') + parts.at(1);
}

QString familySetOf(const QString& path)
{
    const QString set = standardSetOf(path);
    if (set.isEmpty())
        return {};
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString family = deviceFolderFromPath(p);
    return family.isEmpty() ? set : family + QLatin1Char('/') + set;
}

QString findInRoots(const QStringList& roots, const QString& relPath)
{
    QString rel = relPath;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rel.endsWith(QLatin1Char('/')))
        rel.chop(1);
    for (const QString& root : roots) {
        // The path comes from the configuration: it must not reach outside
        // the install it is looked up in.
        const QString candidate = PathGuard::join(root, rel);
        if (!candidate.isEmpty() && QFileInfo::exists(candidate))
            return candidate;
    }
    return {};
}

QString paramText(pugi::xml_node node, const char* name)
{
    return QString::fromUtf8(paramValue(node, name)).trimmed();
}

QList<int> parseIntList(const QString& text, int start)
{
    const QStringList items = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    QList<int> values;
    for (int k = std::max(start, 0); k < items.size(); k += 2) {
        bool ok = false;
        const int v = items.at(k).trimmed().toInt(&ok, 10);
        if (ok)
            values << v;
    }
    return values;
}

void collectElementClasses(pugi::xml_node node, QSet<QString>& classes)
{
    // Iterative: item files come from disk unchecked and may nest deeply.
    std::vector<pugi::xml_node> stack;
    pushElementChildren(node, stack);
    while (!stack.empty()) {
        const pugi::xml_node e = stack.back();
        stack.pop_back();
        const char* cls = e.attribute("c").value();
        if (*cls && !isStructuralClass(cls))
            classes.insert(QString::fromUtf8(cls));
        pushElementChildren(e, stack);
    }
}

void collectNamedImages(pugi::xml_node node, QStringList& names)
{
    std::vector<pugi::xml_node> stack{node};
    while (!stack.empty()) {
        const pugi::xml_node e = stack.back();
        stack.pop_back();
        addImageNames(e, names);
        pushElementChildren(e, stack);
    }
}

QSet<QString> overlayItemIndex(const QString& folder)
{
    static QHash<QString, QSet<QString>> cache;
    const auto hit = cache.constFind(folder);
    if (hit != cache.constEnd())
        return hit.value();
    const QSet<QString> classes = readItemIndex(folder);
    cache.insert(folder, classes);
    return classes;
}

bool markerFitsBoxCell(int lo, int hi, int boxSize, int tol, bool itemPresent, int itemPos, int itemSize)
{
    const qint64 span = qint64(hi) - lo;
    if (span < 1 || boxSize < 1)
        return false;
    bool fits = false;
    for (int n = 2; n <= 10 && !fits; ++n) {
        const double cell = double(boxSize) / n;
        if (std::fabs(double(span) - cell) > 2.0 * tol)
            continue;
        const double k = std::round(double(lo) / cell);
        fits = k >= 0 && k < n && std::fabs(double(lo) - k * cell) <= tol;
    }
    if (!fits)
        return false;
    if (!itemPresent || itemSize < 1)
        return true;
    const qint64 centre = qint64(itemPos) + itemSize / 2;
    return centre >= qint64(lo) - tol && centre <= qint64(hi) + tol;
}

IntParam intParam(pugi::xml_node node, const char* name)
{
    IntParam result;
    bool ok = false;
    const int v = paramText(node, name).toInt(&ok, 10);
    if (ok) {
        result.value = v;
        result.present = true;
    }
    return result;
}

int maskTolerance(int maskWidth)
{
    return std::clamp(maskWidth / 40, 4, 12);
}

MarkerFit evaluateMarker(const QList<int>& xs, const QList<int>& ys, IntParam width, IntParam xpos,
                         IntParam height, IntParam ypos, int maskW, int maskH, int tol)
{
    MarkerFit fit;
    if (xs.size() < 2)
        return fit;
    const auto [loIt, hiIt] = std::minmax_element(xs.cbegin(), xs.cend());
    const int lo = *loIt;
    const int hi = *hiIt;
    const qint64 span = qint64(hi) - lo;
    const bool hasWidth = width.present && width.value >= 1;

    fit.spansBox = lo <= tol && distance(hi, maskW) <= tol;
    fit.widthOk = hasWidth && distance(span, width.value) <= 2 * qint64(tol);
    fit.matchesItem = xpos.present && fit.widthOk && distance(lo, xpos.value) <= tol;
    fit.fitsX = markerFitsBoxCell(lo, hi, maskW, tol, xpos.present, xpos.value, width.value);

    if (ys.size() < 2)
        return fit;
    if (xpos.present && hasWidth) {
        // A marker that does not cover its item's centre, or is much narrower
        // than the item, is not a row of the box either.
        const qint64 centre = qint64(xpos.value) + width.value / 2;
        if (centre < qint64(lo) - tol || centre > qint64(hi) + tol || span < qint64(width.value) - 2 * qint64(tol))
            return fit;
    }
    const auto [yLo, yHi] = std::minmax_element(ys.cbegin(), ys.cend());
    fit.fitsY = markerFitsBoxCell(*yLo, *yHi, maskH, tol, height.present && ypos.present, ypos.value, height.value);
    return fit;
}

} // namespace ConfigCheck
