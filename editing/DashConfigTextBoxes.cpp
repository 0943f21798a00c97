// Static text (a Label in an existing mask, or a small mask of its own) and
// the value bar that a single-value box can get along its bottom edge.
#include "model/DashConfig.h"

#include "editing/ElementParams.h"
#include "editing/UniqueMaskName.h"
#include "model/ElementIds.h"
#include "model/XmlParams.h"

#include <QMap>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// The first n such that no child id starts with the number n and "nn_L" is
// free; ids that start with digits number the mask's elements.
QString newLabelId(pugi::xml_node mask)
{
    QSet<QString> ids;
    QSet<qint64> numbers;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        const QString id = QString::fromUtf8(e.attribute("i").value());
        ids.insert(id);
        int digits = 0;
        while (digits < id.size() && digits < 18 && id.at(digits) >= QLatin1Char('0') && id.at(digits) <= QLatin1Char('9'))
            ++digits;
        if (digits > 0)
            numbers.insert(id.left(digits).toLongLong());
    }
    // At most one number and one id per child are taken, so this ends.
    for (qint64 n = 0;; ++n) {
        const QString id = QStringLiteral("%1_L").arg(n, 2, 10, QLatin1Char('0'));
        if (!numbers.contains(n) && !ids.contains(id))
            return id;
    }
}

// A whole number when the value is one (within rounding noise), else ten
// significant digits.
QByteArray scaleValueText(double value)
{
    const double whole = std::round(value);
    if (std::isfinite(value) && std::fabs(whole) < 1e15 && std::fabs(value - whole) <= 1e-9)
        return QByteArray::number(static_cast<qint64>(whole));
    return QByteArray::number(value, 'g', 10);
}

void appendParams(pugi::xml_node e, std::initializer_list<std::pair<const char*, QByteArray>> params)
{
    for (const auto& param : params)
        appendParam(e, param.first, param.second);
}

pugi::xml_node appendElement(pugi::xml_node parent, const char* cls, const char* id)
{
    pugi::xml_node e = parent.append_child("e");
    e.append_attribute("c").set_value(cls);
    e.append_attribute("i").set_value(id);
    return e;
}

void appendStep(pugi::xml_node scale, const char* id, const QByteArray& position, const QByteArray& value)
{
    pugi::xml_node step = appendElement(scale, "StepScale", id);
    appendParams(step, {{"POS_VAL_SCALA", position}, {"VAL_SCALA", value}, {"MODO_USO", "EDITABLE"}});
}

// The value bar's id: its channel reference followed by "_000barg", in a
// group no value or caption of the mask uses. In a multi-value box the
// reference's group is a cell's ("00_z"): a bar there would be rebound
// with that cell's value and caption. A channel element's own id is in no
// such group.
QString valueBarId(pugi::xml_node mask, const QString& channelRef)
{
    const QString wanted = channelRef + QStringLiteral("_000barg");
    const QString group = channelRef.section(QLatin1Char('_'), 0, 0);
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (QString::fromUtf8(e.attribute("i").value()) == wanted
            || (!hasClass(e, "Axis") && elementGroup(e) == group))
            return newElementId(mask, wanted);
    }
    return wanted;
}

} // namespace

QString DashConfig::labelFontFor(const PageModel& page, const QString& className) const
{
    const QByteArray cls = className.toUtf8();
    QMap<QString, int> counts; // sorted, so the first of equal counts wins
    for (const MaskElement& mask : page.masks) {
        if (!mask.node)
            continue;
        for (pugi::xml_node e = mask.node.child("e"); e; e = e.next_sibling("e")) {
            if (!hasClass(e, cls.constData()))
                continue;
            const QString font = findParamText(e, "CHAR_SET_ID_2");
            if (!font.isEmpty())
                ++counts[font];
        }
    }
    QString best = QStringLiteral("MicrogrammaDBolExt");
    int bestCount = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > bestCount) {
            best = it.key();
            bestCount = it.value();
        }
    }
    return best;
}

int DashConfig::addTextBox(int pageIndex, int maskIndex, int x, int y, const QString& text)
{
    MaskElement* mask = maskAt(pageIndex, maskIndex);
    if (!mask || !mask->node)
        return -1;
    const QString font = labelFontFor(*page(pageIndex), QStringLiteral("Label"));
    pugi::xml_node label = mask->node.append_child("e");
    if (!label)
        return -1;
    label.append_attribute("c").set_value("Label");
    label.append_attribute("i").set_value(newLabelId(mask->node).toUtf8().constData());
    appendLabelParams(label, x, y, text, font);
    reparseMaskKeepingGeometry(*mask);
    markPageDirty(pageIndex);
    return static_cast<int>(mask->widgets.size()) - 1;
}

int DashConfig::addTextBoxMask(int pageIndex, int x, int y, const QString& text, MaskElement& out)
{
    PageModel* p = page(pageIndex);
    pugi::xml_node pageNode = pageParamNode(pageIndex);
    if (!p || !pageNode)
        return -1;
    const QString name = uniqueMaskName(p->masks, QStringLiteral("new"));
    const QString font = labelFontFor(*p, QStringLiteral("Label"));
    pugi::xml_node mask = pageNode.append_child("e");
    if (!mask)
        return -1;
    mask.append_attribute("c").set_value("GMaskParam");
    mask.append_attribute("i").set_value(name.toUtf8().constData());

    // A text box never starts off the page's top or left edge.
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const QByteArray n = QByteArray::number(static_cast<qint64>(p->masks.size()) + 1);
    appendParams(mask, {{"BLENDING_TIME", "3000"},
                        {"FATTORE_REDIM", "1000"},
                        {"HEIGHT", "30"},
                        {"HOLD_PROPORZIONI", "0"},
                        {"IsUDMdaMostrare", "0"},
                        {"ORDINE", n},
                        {"PATH_IMAGE", QByteArray()},
                        {"PATH_IMAGE_PRW", QByteArray()},
                        {"PATH_MASK_FW", "auto" + n + '/'},
                        {"PATH_REL_AiM_MASK", QByteArray()},
                        {"RESIZABLE", "0"},
                        {"SET_IMAGE_xDISABLE", "0"},
                        {"USA_CONTROLLI_RIPOSIZIONABILI", "0"},
                        {"USA_MASK_COL_E_THICKNESS", "1"},
                        {"USA_PREPATHXMASK", "1"},
                        {"VERSION", "1.1"},
                        {"WIDTH", "130"},
                        {"XPOS", QByteArray::number(left)},
                        {"YPOS", QByteArray::number(top)},
                        {"NAME", QByteArray()}});
    appendLabelParams(appendElement(mask, "Label", "00_L"), 0, 0, text, font);

    MaskElement record = parseMask(mask);
    record.id = name;
    record.x = left;
    record.y = top;
    record.w = 130;
    record.h = 30;
    out = record;
    p->masks.push_back(std::move(record));
    markPageDirty(pageIndex);
    return static_cast<int>(p->masks.size()) - 1;
}

int DashConfig::addValueBar(int pageIndex, int maskIndex, const QColor& colour, double minimum, double maximum,
                            int digitWidget)
{
    MaskElement* mask = maskAt(pageIndex, maskIndex);
    if (!mask || !mask->node || !mask->node.child("e"))
        return -1;
    pugi::xml_node axis;
    pugi::xml_node digit;
    bool bar = false;
    for (pugi::xml_node e = mask->node.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Axis") && !axis)
            axis = e;
        if (hasClass(e, "Digit") && !digit)
            digit = e;
        bar = bar || hasClass(e, "Bargraph") || hasClass(e, "BargraphTrapezio");
    }
    if (!axis || !digit || bar)
        return -1;
    // The Digit the user chose, when it is one.
    if (digitWidget >= 0 && digitWidget < static_cast<int>(mask->widgets.size())) {
        const pugi::xml_node chosen = mask->widgets[static_cast<size_t>(digitWidget)].node;
        if (hasClass(chosen, "Digit") && chosen.parent() == mask->node)
            digit = chosen;
    }
    // The bar shows that value: the channel element the Digit names, which
    // after a rebind beside a copy is no longer the first one.
    const QByteArray valueRef = paramValue(digit, "AXIS_REF").trimmed();
    for (pugi::xml_node e = mask->node.child("e"); e && !valueRef.isEmpty(); e = e.next_sibling("e")) {
        if (hasClass(e, "Axis") && valueRef == e.attribute("i").value()) {
            axis = e;
            break;
        }
    }

    QByteArray channelRef(axis.attribute("i").value());
    if (channelRef.isEmpty())
        channelRef = "00";
    const int barWidth = mask->w - 20 >= 1 ? mask->w - 20 : std::max(mask->w, 1);
    const QByteArray width = QByteArray::number(barWidth);
    const QByteArray colourText = formatArgbColour(colour, QColor(32, 255, 0)).toUtf8();

    const QByteArray barId = valueBarId(mask->node, QString::fromUtf8(channelRef)).toUtf8();
    pugi::xml_node barNode = appendElement(mask->node, "BargraphTrapezio", barId.constData());
    appendParams(barNode, {{"FORMAT", "barg"},
                           {"UPDATE_TIME", "0"},
                           {"XPOS", "10"},
                           {"YPOS", QByteArray::number(std::max(mask->h - 20, 0))},
                           {"WIDTH", width},
                           {"HEIGHT", "16"},
                           {"XStart1", "0"},
                           {"YStart1", "0"},
                           {"XStart2", "0"},
                           {"YStart2", "16"},
                           {"XEnd1", width},
                           {"YEnd1", "0"},
                           {"XEnd2", width},
                           {"YEnd2", "16"},
                           {"XIMG", "0"},
                           {"YIMG", "0"},
                           {"PEAK", "0"},
                           {"COL", colourText},
                           {"AXIS_REF", channelRef}});
    appendElement(barNode, "BBLOCKS", "1");
    appendParam(barNode, "SCELTA_UTENTE", "00");
    pugi::xml_node scale = appendElement(barNode, "ScaleFSV", "00");
    appendElement(scale, "BBLOCKS", "1");
    appendParams(scale, {{"FORMAT", "step"}, {"NOME_SCALA", "100"}});
    appendStep(scale, "0", "0", scaleValueText(minimum));
    appendStep(scale, "1", "100", scaleValueText(maximum));

    reparseMaskKeepingGeometry(*mask);
    markPageDirty(pageIndex);
    return static_cast<int>(mask->widgets.size()) - 1;
}
