// Repairs run on every load: top-anchored Label texts become bottom-anchored,
// and a single Digit's mouse-hit outline is brought in line with its mask,
// with the firmware position parameters added.
#include "model/DashConfig.h"

#include "editing/HotMouseLines.h"
#include "model/XmlParams.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Ten comma-separated integers forming (0,0),(W,0),(W,H),(0,H),(0,0).
bool readRectangleOutline(const QByteArray& text, int& w, int& h)
{
    const QList<QByteArray> parts = text.split(',');
    if (parts.size() != 10)
        return false;
    int v[10];
    for (int i = 0; i < 10; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok, 10);
        if (!ok)
            return false;
    }
    if (v[0] != 0 || v[1] != 0 || v[3] != 0 || v[6] != 0 || v[8] != 0 || v[9] != 0)
        return false;
    if (v[2] <= 0 || v[4] != v[2] || v[5] <= 0 || v[7] != v[5])
        return false;
    w = v[2];
    h = v[5];
    return true;
}

pugi::xml_node firstParamNamed(pugi::xml_node node, const char* name)
{
    return node.find_child_by_attribute("p", "n", name);
}

// Inserts <p n=name>text</p> right after the parameter `after`.
void insertParamAfter(pugi::xml_node element, pugi::xml_node after, const char* name, const char* text)
{
    pugi::xml_node p = element.insert_child_after("p", after);
    p.append_attribute("n").set_value(name);
    if (*text)
        p.append_child(pugi::node_pcdata).set_value(text);
}

} // namespace

int DashConfig::normalizeAlignParams()
{
    int count = 0;
    for (int pi = 0; pi < pageCount(); ++pi) {
        bool pageChanged = false;
        for (MaskElement& mask : pages[size_t(pi)].masks) {
            for (WidgetModel& widget : mask.widgets) {
                if (widget.kind != WidgetLabel || !widget.node || !widget.posAlign.startsWith(QLatin1Char('t')))
                    continue;
                const QString align = QLatin1Char('b') + widget.posAlign.mid(1);
                // Saturated: YPOS and HEIGHT from the file may be anything.
                const int newY = int(std::min<qint64>(qint64(widget.y) + std::max(widget.h, 0),
                                                      std::numeric_limits<int>::max()));
                setParam(widget.node, "POS_ALIGN", align.toUtf8());
                setParamInt(widget.node, "YPOS", newY);
                setParamInt(widget.node, "YPOS_FW", newY);
                widget.posAlign = align;
                widget.y = newY;
                ++count;
                pageChanged = true;
            }
        }
        if (pageChanged)
            markPageDirty(pi);
    }
    return count;
}

int DashConfig::insertFwPositionParams()
{
    int count = 0;
    for (int pi = 0; pi < pageCount(); ++pi) {
        bool pageChanged = false;
        for (const MaskElement& mask : pages[size_t(pi)].masks) {
            if (!mask.node || mask.w < 1 || mask.h < 1)
                continue;
            pugi::xml_node holder;
            int holders = 0;
            for (pugi::xml_node e : mask.node.children("e")) {
                if (firstParamNamed(e, "LINES_X_HOT_MOUSE")) {
                    holder = e;
                    ++holders;
                }
            }
            if (holders != 1 || !hasClass(holder, "Digit"))
                continue;
            const pugi::xml_node xpos = firstParamNamed(holder, "XPOS");
            const pugi::xml_node ypos = firstParamNamed(holder, "YPOS");
            if (!xpos || !ypos || firstParamNamed(holder, "XPOS_FW") || firstParamNamed(holder, "YPOS_FW"))
                continue;
            pugi::xml_node lines = firstParamNamed(holder, "LINES_X_HOT_MOUSE");
            int w = 0;
            int h = 0;
            if (!readRectangleOutline(QByteArray(lines.text().get()), w, h))
                continue;
            if (w == mask.w && h == mask.h)
                continue;
            const std::string outline = hotMouseLines(0, 0, mask.w, mask.h);
            while (lines.first_child())
                lines.remove_child(lines.first_child());
            lines.append_child(pugi::node_pcdata).set_value(outline.c_str());
            insertParamAfter(holder, xpos, "XPOS_FW", xpos.text().get());
            insertParamAfter(holder, ypos, "YPOS_FW", ypos.text().get());
            ++count;
            pageChanged = true;
        }
        if (pageChanged)
            markPageDirty(pi);
    }
    return count;
}
