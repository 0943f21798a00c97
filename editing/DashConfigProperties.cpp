// Small edits of one property of a widget, a bar scale, an icon preview or a
// page: each writes the XML first, then brings the record up to date and
// marks the owning device file dirty.
#include "model/DashConfig.h"

#include "model/ElementIds.h"
#include "model/InstallRoots.h"
#include "model/MaskParsing.h"
#include "model/ChannelKind.h"
#include "model/SafeRead.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void replaceText(pugi::xml_node p, const QByteArray& text)
{
    while (p.first_child())
        p.remove_child(p.first_child());
    p.append_child(pugi::node_pcdata).set_value(text.constData());
}

// The first bar child of the mask within the edit's scope that carries a
// scale, with that scale.
pugi::xml_node firstBarScale(pugi::xml_node maskNode, pugi::xml_node selected)
{
    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        if (!isBarInScope(e, selected))
            continue;
        if (const pugi::xml_node scale = findScaleFsvNode(e))
            return scale;
    }
    return {};
}

// Sets a parameter with a new parameter placed first in the element, so that
// RS3 finds the page pictures where it writes them itself. An empty value
// never creates a parameter.
void setParamPrependText(pugi::xml_node node, const char* name, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    pugi::xml_node p = node.find_child_by_attribute("p", "n", name);
    if (p) {
        while (p.first_child())
            p.remove_child(p.first_child());
    } else {
        if (utf8.isEmpty())
            return;
        p = node.prepend_child("p");
        p.append_attribute("n").set_value(name);
    }
    if (!utf8.isEmpty())
        p.append_child(pugi::node_pcdata).set_value(utf8.constData());
}

} // namespace

QString elementKindLabel(const char* className)
{
    if (!className)
        return QStringLiteral("element");
    if (std::strcmp(className, "Bargraph") == 0 || std::strcmp(className, "BargraphTrapezio") == 0)
        return QStringLiteral("bar");
    if (std::strcmp(className, "Analog") == 0)
        return QStringLiteral("needle gauge");
    if (std::strcmp(className, "Ring") == 0)
        return QStringLiteral("ring gauge");
    if (std::strcmp(className, "Digit") == 0)
        return QStringLiteral("value");
    if (std::strcmp(className, "Label") == 0)
        return QStringLiteral("label");
    if (std::strcmp(className, "AiM_Icona") == 0)
        return QStringLiteral("icon");
    return QStringLiteral("element");
}

bool DashConfig::setLabelText(int page, int mask, int widget, const QString& text)
{
    if (text.isEmpty())
        return false;
    WidgetModel* w = widgetAt(page, mask, widget);
    if (!w || w->kind != WidgetLabel)
        return false;
    setLabelTextParams(w->node, text);
    w->text = text;
    markPageDirty(page);
    return true;
}

bool DashConfig::setValueAlignment(int page, int mask, int widget, const QString& value)
{
    if (value.isEmpty())
        return false;
    WidgetModel* w = widgetAt(page, mask, widget);
    if (!w || w->w < 1)
        return false;
    setParamStd(w->node, "POS_ALIGN", value.toUtf8());
    w->posAlign = value;
    markPageDirty(page);
    return true;
}

bool DashConfig::setTextColour(int page, int mask, int widget, const QString& value)
{
    if (value.isEmpty())
        return false;
    WidgetModel* w = widgetAt(page, mask, widget);
    if (!w || !(hasClass(w->node, "Digit") || hasClass(w->node, "Label")))
        return false;
    setParamStd(w->node, "COLORE", value.toUtf8());
    w->colour = parseArgbColour(value);
    // The mask's own text style is read from its widgets: read it again, so
    // the record holds what a reopen reads.
    MaskElement& m = pages[size_t(page)].masks[size_t(mask)];
    m = parseMask(m.node);
    markPageDirty(page);
    return true;
}

QString DashConfig::textColour(int page, int mask, int widget)
{
    const WidgetModel* w = widgetAt(page, mask, widget);
    return w ? QString::fromUtf8(paramValue(w->node, "COLORE")) : QString();
}

namespace {

// The scale's end values; a null text leaves that end as it is. The scale's
// name follows its maximum.
bool writeScaleEnds(pugi::xml_node scale, const QByteArray* minText, const QByteArray* maxText)
{
    if (maxText) {
        if (pugi::xml_node name = scale.find_child_by_attribute("p", "n", "NOME_SCALA"))
            replaceText(name, *maxText);
    }
    bool wrote = false;
    for (pugi::xml_node step = scale.child("e"); step; step = step.next_sibling("e")) {
        if (!hasClass(step, "StepScale"))
            continue;
        const QByteArray position = paramValue(step, "POS_VAL_SCALA").trimmed();
        const QByteArray* text = position == "0" ? minText : position == "100" ? maxText : nullptr;
        if (!text)
            continue;
        if (pugi::xml_node value = step.find_child_by_attribute("p", "n", "VAL_SCALA")) {
            replaceText(value, *text);
            wrote = true;
        }
    }
    return wrote;
}

// The same for the scale of every bar in scope but those of the groups
// `kept`; true when any value was written.
bool writeScaleEndsInScope(pugi::xml_node maskNode, pugi::xml_node selected, const QByteArray* minText,
                           const QByteArray* maxText, const QSet<QString>& kept = {})
{
    bool wrote = false;
    for (pugi::xml_node bar = maskNode.child("e"); bar; bar = bar.next_sibling("e")) {
        if (!isBarInScope(bar, selected) || kept.contains(elementGroup(bar)))
            continue;
        if (const pugi::xml_node scale = findScaleFsvNode(bar))
            wrote = writeScaleEnds(scale, minText, maxText) || wrote;
    }
    return wrote;
}

// Each group of bars in scope as its first bar, with the group's range.
struct BarGroupRange {
    pugi::xml_node bar;
    double min = 0.0;
    double max = 0.0;
    // A step scale, or one that shows a zero mark (as it stands before the
    // edit): a range edit moves its mark or takes it away, so that the
    // scale's steps stay in order.
    bool followsMark = false;
};

std::vector<BarGroupRange> barGroupRanges(pugi::xml_node maskNode, pugi::xml_node selected)
{
    std::vector<BarGroupRange> groups;
    QSet<QString> seen;
    for (pugi::xml_node bar = maskNode.child("e"); bar; bar = bar.next_sibling("e")) {
        if (!isBarInScope(bar, selected) || seen.contains(elementGroup(bar)))
            continue;
        seen.insert(elementGroup(bar));
        BarGroupRange group{bar};
        group.followsMark = isStepScaleBargraph(maskNode, bar) || hasBarZeroMark(maskNode, bar);
        if (DashConfig::barScaleRange(maskNode, group.min, group.max, bar))
            groups.push_back(group);
    }
    return groups;
}

} // namespace

bool DashConfig::setBarScaleRange(pugi::xml_node maskNode, double min, double max, pugi::xml_node selected)
{
    // "nan" or "inf" in a scale would reach the firmware; refuse them whole.
    if (!maskNode || !std::isfinite(min) || !std::isfinite(max))
        return false;
    const QByteArray minText = formatDouble6g(min);
    const QByteArray maxText = formatDouble6g(max);
    const std::vector<BarGroupRange> groups = barGroupRanges(maskNode, selected);

    // Another bar of the mask shows a channel of its own: its range is its own.
    const bool wrote = writeScaleEndsInScope(maskNode, selected, &minText, &maxText);
    for (const BarGroupRange& group : groups) {
        if (group.followsMark)
            setBarZeroMark(maskNode, min < 0 && max > 0, group.bar);
    }
    return wrote;
}

bool DashConfig::setBarScaleEnd(pugi::xml_node maskNode, BarScaleEnd end, double value, pugi::xml_node selected)
{
    if (!maskNode || !std::isfinite(value))
        return false;
    std::vector<BarGroupRange> changing;
    QSet<QString> kept; // groups whose end is the value already: not re-spelled
    for (BarGroupRange& group : barGroupRanges(maskNode, selected)) {
        double& groupEnd = end == BarScaleEnd::Min ? group.min : group.max;
        if (groupEnd == value) {
            kept.insert(elementGroup(group.bar));
            continue;
        }
        groupEnd = value;
        if (!(group.max > group.min))
            return false;
        changing.push_back(group);
    }
    const QByteArray text = formatDouble6g(value);
    const QByteArray* minText = end == BarScaleEnd::Min ? &text : nullptr;
    const QByteArray* maxText = end == BarScaleEnd::Max ? &text : nullptr;
    const bool wrote = writeScaleEndsInScope(maskNode, selected, minText, maxText, kept);
    for (const BarGroupRange& group : changing) {
        if (group.followsMark)
            setBarZeroMark(maskNode, group.min < 0 && group.max > 0, group.bar);
    }
    return wrote;
}

QList<double> DashConfig::barScaleEnds(pugi::xml_node maskNode, BarScaleEnd end, pugi::xml_node selected)
{
    QList<double> ends;
    for (const BarGroupRange& group : barGroupRanges(maskNode, selected))
        ends << (end == BarScaleEnd::Min ? group.min : group.max);
    return ends;
}

bool DashConfig::setBarZeroMark(pugi::xml_node maskNode, bool on, pugi::xml_node selected)
{
    if (!maskNode)
        return false;
    pugi::xml_node scale = firstBarScale(maskNode, selected);
    if (!scale)
        return false;

    pugi::xml_node zeroStep, fullStep;
    std::vector<pugi::xml_node> marks;
    for (pugi::xml_node step = scale.child("e"); step; step = step.next_sibling("e")) {
        if (!hasClass(step, "StepScale"))
            continue;
        const QByteArray position = paramValue(step, "POS_VAL_SCALA").trimmed();
        if (position == "0")
            zeroStep = step;
        else if (position == "100")
            fullStep = step;
        if (isBarZeroMarkStep(step))
            marks.push_back(step);
    }
    const auto removeMarks = [&](size_t from) {
        for (size_t i = from; i < marks.size(); ++i)
            scale.remove_child(marks[i]);
    };

    if (!on) {
        removeMarks(0);
        return true;
    }
    double min = 0.0, max = 0.0;
    if (!zeroStep || !fullStep || !barScaleRange(maskNode, min, max, selected))
        return false;
    if (!(min < 0 && max > 0)) {
        removeMarks(0);
        return false;
    }
    const long position = std::clamp(std::lround((0.0 - min) / (max - min) * 100.0), 1L, 99L);
    pugi::xml_node mark;
    if (marks.empty()) {
        mark = scale.insert_child_after("e", zeroStep);
        mark.append_attribute("c").set_value("StepScale");
        mark.append_attribute("i").set_value("z0");
    } else {
        mark = marks.front();
        removeMarks(1);
    }
    setParamStd(mark, "POS_VAL_SCALA", QByteArray::number(static_cast<qlonglong>(position)));
    setParamStd(mark, "VAL_SCALA", QByteArrayLiteral("0"));
    return true;
}

bool DashConfig::barScaleRange(pugi::xml_node maskNode, double& min, double& max, pugi::xml_node selected)
{
    for (pugi::xml_node bar = maskNode.child("e"); bar; bar = bar.next_sibling("e")) {
        if (!isBarInScope(bar, selected))
            continue;
        const pugi::xml_node scale = findScaleFsvNode(bar);
        if (!scale)
            continue;
        bool haveZero = false, haveFull = false;
        for (pugi::xml_node step = scale.child("e"); step; step = step.next_sibling("e")) {
            if (!hasClass(step, "StepScale"))
                continue;
            const QByteArray position = paramValue(step, "POS_VAL_SCALA").trimmed();
            if (position == "0") {
                min = paramValue(step, "VAL_SCALA").trimmed().toDouble();
                haveZero = true;
            } else if (position == "100") {
                max = paramValue(step, "VAL_SCALA").trimmed().toDouble();
                haveFull = true;
            }
        }
        if (!haveZero)
            continue;
        if (haveFull)
            return true;
        if (const pugi::xml_node name = scale.find_child_by_attribute("p", "n", "NOME_SCALA")) {
            max = QByteArray(name.text().get()).trimmed().toDouble();
            return true;
        }
    }
    return false;
}

bool DashConfig::setIconPreview(int pageIndex, int mask, const QString& path)
{
    const PageModel* p = page(pageIndex);
    if (!p || mask < 0 || mask >= static_cast<int>(p->masks.size()))
        return false;
    const QString key = sidecarKey(pageIndex, mask, SidecarStore::IconPreviews);
    QMap<QString, IconPreviewRecord> store = loadIconPreviewSidecar();
    if (path.isEmpty())
        store.remove(key);
    else
        store.insert(key, IconPreviewRecord{path});
    sidecarFailure.clear();
    return saveIconPreviewSidecar(store);
}

bool DashConfig::clearIconPreview(int page, int mask)
{
    return setIconPreview(page, mask, QString());
}

bool DashConfig::setPageImagePaths(int pageIndex, const QStringList& paths)
{
    pugi::xml_node node = pageParamNode(pageIndex);
    if (!node)
        return false;
    const QString image = paths.value(0);
    setParamPrependText(node, "PATH_IMAGE", image);
    setParamPrependText(node, "PATH_IMAGE_PRW", paths.value(1));
    setParamPrependText(node, "PATH_IMAGE_SFONDO_FW", paths.value(2));

    PageModel& p = pages[static_cast<size_t>(pageIndex)];
    p.backgroundPath.clear();
    p.background = QPixmap();
    if (!image.isEmpty()) {
        // resolveRs3Path only answers for files inside the install roots.
        const QString resolved = resolveRs3Path(image);
        if (!resolved.isEmpty()) {
            p.backgroundPath = resolved;
            if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
                QPixmap picture = QPixmap::fromImage(SafeRead::readImage(resolved));
                if (picture.isNull()) {
                    const QImage fallback = readImageFile(resolved);
                    if (!fallback.isNull())
                        picture = QPixmap::fromImage(fallback);
                }
                p.background = picture;
            }
        }
    }
    markPageDirty(pageIndex);
    return true;
}
