#include "canvas/WidgetMoveCommand.h"

#include "model/DashConfig.h"
#include "model/MaskElement.h"
#include "model/WidgetModel.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <cmath>
#include <cstring>

namespace {

const char* const kXPointNames[] = {"XStart1", "XStart2", "XEnd1", "XEnd2", "XIMG"};
const char* const kYPointNames[] = {"YStart1", "YStart2", "YEnd1", "YEnd2", "YIMG"};
const char* const kGeometryNames[] = {"XPOS", "YPOS", "WIDTH", "HEIGHT"};

pugi::xml_node firstParamNamed(pugi::xml_node element, const char* name)
{
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            return p;
    }
    return {};
}

void snapshotPoints(pugi::xml_node node, const char* const (&names)[5], QList<QPair<QByteArray, int>>& out)
{
    for (const char* name : names) {
        const pugi::xml_node p = firstParamNamed(node, name);
        if (p)
            out.append(qMakePair(QByteArray(name), leadingInt(QByteArray(p.text().get()))));
    }
}

// Half away from zero, so -2.5 becomes -3 as 2.5 becomes 3.
int scaledPoint(int value, double factor)
{
    return static_cast<int>(std::lround(value * factor));
}

void setParamText(pugi::xml_node param, const std::string& text)
{
    while (param.first_child())
        param.remove_child(param.first_child());
    if (!text.empty())
        param.append_child(pugi::node_pcdata).set_value(text.c_str());
}

} // namespace

WidgetMoveCommand::WidgetMoveCommand(WidgetModel* widget, const MaskElement* mask, int oldX, int oldY, int oldW,
                                     int oldH, int newX, int newY, int newW, int newH, DashConfig* config,
                                     int pageIndex, int maskIndex, int widgetIndex, QUndoCommand* parent)
    : QUndoCommand(parent)
    , widget(widget)
    , oldX(oldX)
    , oldY(oldY)
    , oldW(oldW)
    , oldH(oldH)
    , newX(newX)
    , newY(newY)
    , newW(newW)
    , newH(newH)
    , config(config)
    , pageIndex(pageIndex)
    , maskIndex(maskIndex)
    , widgetIndex(widgetIndex)
{
    const pugi::xml_node node = widget ? widget->node : pugi::xml_node();
    const QString widgetId = node ? QString::fromUtf8(node.attribute("i").value()) : (widget ? widget->id : QString());
    setText(QCoreApplication::translate("WidgetMoveCommand", "Move/Resize widget %1 in %2")
                .arg(widgetId, mask ? mask->id : QString()));

    // A pure move never touches the artwork points; an unsized bar has no
    // size to scale them from.
    const bool sizeChanges = newW != oldW || newH != oldH;
    scalesBarPoints = node && (hasClass(node, "Bargraph") || hasClass(node, "BargraphTrapezio")) && oldW > 0
        && oldH > 0 && sizeChanges;
    if (scalesBarPoints) {
        snapshotPoints(node, kXPointNames, xPoints);
        snapshotPoints(node, kYPointNames, yPoints);
    }
}

WidgetMoveCommand::~WidgetMoveCommand() = default;

WidgetModel* WidgetMoveCommand::target() const
{
    if (!config || pageIndex < 0 || maskIndex < 0 || widgetIndex < 0)
        return widget;
    PageModel* page = config->page(pageIndex);
    if (!page || maskIndex >= int(page->masks.size()))
        return nullptr;
    MaskElement& mask = page->masks[size_t(maskIndex)];
    if (widgetIndex >= int(mask.widgets.size()))
        return nullptr;
    return &mask.widgets[size_t(widgetIndex)];
}

void WidgetMoveCommand::captureTexts()
{
    if (textsCaptured)
        return;
    WidgetModel* w = target();
    if (!w || !w->node)
        return;
    textsCaptured = true;
    const auto keep = [this, w](const char* name) {
        const pugi::xml_node p = firstParamNamed(w->node, name);
        originalTexts.push_back({name, bool(p), p ? p.text().get() : ""});
    };
    for (const char* name : kGeometryNames)
        keep(name);
    if (scalesBarPoints) {
        for (const auto& point : xPoints)
            keep(point.first.constData());
        for (const auto& point : yPoints)
            keep(point.first.constData());
    }
}

void WidgetMoveCommand::redo()
{
    WidgetModel* w = target();
    if (firstRedo) {
        firstRedo = false;
        // Nothing to move, or nothing that moves: no undo step either.
        if (!w || (oldX == newX && oldY == newY && oldW == newW && oldH == newH)) {
            setObsolete(true);
            return;
        }
        captureTexts();
    }
    apply(true);
}

void WidgetMoveCommand::undo()
{
    apply(false);
}

void WidgetMoveCommand::apply(bool forward)
{
    WidgetModel* w = target();
    if (!w)
        return;
    w->x = forward ? newX : oldX;
    w->y = forward ? newY : oldY;
    w->w = forward ? newW : oldW;
    w->h = forward ? newH : oldH;

    const pugi::xml_node node = w->node;
    if (node) {
        if (!forward && textsCaptured) {
            for (const ParamText& kept : originalTexts) {
                const pugi::xml_node p = firstParamNamed(node, kept.name.c_str());
                if (kept.present && p)
                    setParamText(p, kept.text);
            }
        } else {
            setParamInt(node, "XPOS", w->x);
            setParamInt(node, "YPOS", w->y);
            setParamInt(node, "WIDTH", w->w);
            setParamInt(node, "HEIGHT", w->h);
            if (scalesBarPoints) {
                // Always from the snapshot, so a redo after an undo gives the
                // same numbers.
                const double fx = forward ? double(newW) / oldW : 1.0;
                const double fy = forward ? double(newH) / oldH : 1.0;
                for (const auto& point : xPoints)
                    setParamInt(node, point.first.constData(), scaledPoint(point.second, fx));
                for (const auto& point : yPoints)
                    setParamInt(node, point.first.constData(), scaledPoint(point.second, fy));
            }
        }
    }
    if (config && pageIndex >= 0)
        config->markPageDirty(pageIndex);
}
