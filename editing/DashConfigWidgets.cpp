// Widget-level XML edits: inserting a widget element from a detached copy,
// taking such a copy, merging the channel elements that travel with pasted
// widgets, and the channel element with its profile parameters.
#include "model/DashConfig.h"

#include "model/ChannelKind.h"
#include "model/ElementIds.h"
#include "model/XmlParams.h"

#include <QSet>

#include <array>
#include <cstring>

namespace {

bool isWidgetElement(pugi::xml_node e)
{
    return hasClass(e, "Digit") || hasClass(e, "Label") || hasClass(e, "Bargraph") || hasClass(e, "BargraphTrapezio");
}

QString idOf(pugi::xml_node e)
{
    return QString::fromUtf8(e.attribute("i").value());
}

bool idInUse(pugi::xml_node mask, const QString& id, pugi::xml_node self)
{
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (e != self && idOf(e) == id)
            return true;
    }
    return false;
}

// Whether an element of the mask shows the channel element `axisId`. Pasted
// widgets never share one with the mask's own: a pasted bar would follow
// the mask's value when that is rebound (or take the mask's bars along when
// the pasted value is), and an unbound one replaced by the paste would move
// the mask's own value onto the pasted channel.
bool namedByElement(pugi::xml_node mask, const QString& axisId)
{
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "Axis") && QString::fromUtf8(paramValue(e, "AXIS_REF").trimmed()) == axisId)
            return true;
    }
    return false;
}

// Replaces all children of a node with one text node (also for an empty value).
void setNodeText(pugi::xml_node node, const QString& value)
{
    while (node.first_child())
        node.remove_child(node.first_child());
    node.append_child(pugi::node_pcdata).set_value(value.toUtf8().constData());
}

QString channelLongNameParam(pugi::xml_node axis)
{
    return QString::fromUtf8(paramValue(axis, "lnm"));
}

// Adds d to the number before the first comma of every parameter `name`,
// keeping the comma and what follows it.
void shiftPositionParams(pugi::xml_node e, const char* name, int d)
{
    for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) != 0)
            continue;
        const QString text = QString::fromUtf8(p.text().get());
        const int comma = text.indexOf(QLatin1Char(','));
        const QString head = comma >= 1 ? text.left(comma) : comma == 0 ? QString() : text;
        const QString tail = comma >= 1 ? text.mid(comma) : QString();
        bool ok = false;
        int value = head.toInt(&ok);
        if (!ok)
            value = 0;
        setNodeText(p, QString::number(static_cast<qlonglong>(value) + d) + tail);
    }
}

// XPOS_FW/YPOS_FW follow XPOS/YPOS (the last occurrence when repeated).
void syncFirmwarePosition(pugi::xml_node e, const char* name, const char* fwName)
{
    pugi::xml_node source;
    for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            source = p;
    }
    if (!source)
        return;
    const QString text = QString::fromUtf8(source.text().get());
    pugi::xml_node fw = e.find_child_by_attribute("p", "n", fwName);
    if (!fw) {
        fw = e.append_child("p");
        fw.append_attribute("n").set_value(fwName);
    }
    setNodeText(fw, text);
}

struct ChannelProfile {
    int swtyp;
    int typ;
    int chFmt;
    const char* format;
    int isEncodedValue;
    int tipoFeatConten;
    int tipoDevConten;
    int ndecScelto;
    const char* valMis;
    int idv;
    bool asse;
    const char* fidPrefDaRisorsa; // null: none
};

// Firmware format parameters per channel kind (the classifier's code).
const std::array<ChannelProfile, 14>& channelProfiles()
{
    static const std::array<ChannelProfile, 14> rows{{
        {38, 9, 6, "generico", 0, 14, 14, 0, "9999", -1, false, "15"},
        {23, 5, 20, "generico", 0, 1, 14, 1, "999.9", -1, false, nullptr},
        {38, 9, 6, "generico", 0, 14, 14, 1, "999.9", -1, false, nullptr},
        {38, 9, 6, "generico", 0, 14, 14, 1, "999.9", -1, false, nullptr},
        {38, 9, 6, "generico", 0, 14, 14, 1, "999.9", -1, false, nullptr},
        {5, 1, 20, "generico", 0, 1, 14, 1, "999.9", -1, false, nullptr},
        {62, 1, 20, "generico", 0, 1, 14, 1, "999.9", -1, false, nullptr},
        {62, 1, 20, "generico", 0, 1, 25, 0, "999.9", -1, false, nullptr},
        {21, 6, 12, "laptime", 0, 1, 14, 0, "99:99:99", 2, false, nullptr},
        {21, 6, 12, "generico", 0, 1, 13, 0, "999", 0, true, "0,2443,4875,5899,8459,166283,168715,854411,856843"},
        {25, 4, 15, "generico", 0, 5, 13, 0, "N", -1, false, nullptr},
        {62, 1, 20, "gear", 1, 1, 14, 0, "ON", -1, false, nullptr},
        {47, 4, 27, "generico", 0, 1, 13, 1, "9999.9", -1, false, nullptr},
        {38, 9, 6, "generico", 0, 14, 14, 0, "99999", -1, false, nullptr},
    }};
    return rows;
}

struct NamedValue {
    const char* name;
    const char* value;
};

// Parameters every bound channel element needs; added only when missing.
constexpr NamedValue kDefaultChannelParams[] = {
    {"ASSIGN_X_ALL_MASKS", "0"}, {"CHANNEL_NOT_SET", "0"}, {"FIELD_LABEL_CON_NOMI_LUNGHI", "1"},
    {"TipoExpBTConten", "0"},    {"TipoExpConten", "-1"},  {"USA_CONTROLLI_RIPOSIZIONABILI", "0"},
    {"dev_serial", "0"},         {"invalid", "0"},         {"swuidexp", "0"},
};

// A fresh channel element: unbound (CHANNEL_NOT_SET 1) with every parameter
// RS3 writes for one.
constexpr NamedValue kNewAxisParams[] = {
    {"ASSIGN_X_ALL_MASKS", "0"}, {"CHANNEL_NOT_SET", "1"}, {"ChFmt", "0"},
    {"FID_KO", ""},              {"FID_OK", ""},           {"FID_PREF", "0"},
    {"FIELD_LABEL_CON_NOMI_LUNGHI", "1"}, {"NDEC_SCELTO", "0"}, {"TipoDevConten", "-1"},
    {"TipoExpBTConten", "0"},    {"TipoExpConten", "-1"},  {"TipoFeatConten", "-1"},
    {"UDM", ""},                 {"USA_CONTROLLI_RIPOSIZIONABILI", "0"}, {"dev_serial", "0"},
    {"fid", "0"},                {"idf", "-1"},            {"idv", "-1"},
    {"invalid", "0"},            {"isEncodedValue", "0"},  {"lnm", ""},
    {"shn", ""},                 {"swtyp", "4294967295"},  {"swuidexp", "0"},
    {"typ", "4294967295"},       {"valMis", "--"},
};

} // namespace

int DashConfig::insertWidget(int pageIndex, int mask, pugi::xml_node widget, int dx, int dy, int index,
                             WidgetIdUse use)
{
    PageModel* p = page(pageIndex);
    if (!p || mask < 0 || mask >= static_cast<int>(p->masks.size()) || !widget)
        return -1;
    MaskElement& record = p->masks[static_cast<size_t>(mask)];
    pugi::xml_node maskNode = record.node;
    if (!maskNode)
        return -1;
    pugi::xml_node copy = maskNode.append_copy(widget);
    if (!copy)
        return -1;

    const QString id = idOf(copy);
    if (!id.isEmpty() && (use == WidgetIdUse::Copy || idInUse(maskNode, id, copy))) {
        const QString named = newElementId(maskNode, id, copy);
        if (named != id)
            setElementId(copy, named);
    }

    if (dx != 0 || dy != 0) {
        shiftPositionParams(copy, "XPOS", dx);
        shiftPositionParams(copy, "YPOS", dy);
    }
    syncFirmwarePosition(copy, "XPOS", "XPOS_FW");
    syncFirmwarePosition(copy, "YPOS", "YPOS_FW");

    int result = -1;
    if (index >= 0) {
        int position = 0;
        for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
            if (e == copy || !isWidgetElement(e))
                continue;
            if (position == index) {
                maskNode.insert_move_before(copy, e);
                result = index;
                break;
            }
            ++position;
        }
    }

    reparseMaskKeepingGeometry(record);
    markPageDirty(pageIndex);
    if (result < 0)
        result = static_cast<int>(record.widgets.size()) - 1;
    return result;
}

bool DashConfig::copyWidgetXml(int pageIndex, int mask, int widget, pugi::xml_document& out)
{
    const PageModel* p = page(pageIndex);
    if (!p || mask < 0 || mask >= static_cast<int>(p->masks.size()))
        return false;
    const MaskElement& m = p->masks[static_cast<size_t>(mask)];
    if (widget < 0 || widget >= static_cast<int>(m.widgets.size()))
        return false;
    const pugi::xml_node node = m.widgets[static_cast<size_t>(widget)].node;
    if (!node)
        return false;
    out.reset();
    out.append_copy(node);
    return static_cast<bool>(out.first_child());
}

int DashConfig::mergeAxisElements(int pageIndex, int mask, const std::vector<pugi::xml_node>& sources,
                                  QHash<QString, QString>* idMap)
{
    PageModel* p = page(pageIndex);
    if (!p || mask < 0 || mask >= static_cast<int>(p->masks.size()))
        return 0;
    MaskElement& record = p->masks[static_cast<size_t>(mask)];
    pugi::xml_node maskNode = record.node;
    if (!maskNode)
        return 0;
    if (idMap)
        idMap->clear();

    int added = 0;
    for (const pugi::xml_node source : sources) {
        if (!source || !hasClass(source, "Axis"))
            continue;
        const QString id = idOf(source);
        const QString sourceName = channelLongNameParam(source);
        pugi::xml_node existing;
        for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
            if (hasClass(e, "Axis") && idOf(e) == id) {
                existing = e;
                break;
            }
        }
        QString target = id;
        const QString existingName = channelLongNameParam(existing);
        const bool own = existing && namedByElement(maskNode, id);
        if (existing && !own && !existingName.isEmpty() && existingName == sourceName) {
            // Already bound to the same channel: the widgets can share it.
        } else if (existing && !own && (paramInt(existing, "CHANNEL_NOT_SET") != 0 || existingName.isEmpty())) {
            maskNode.remove_child(existing);
            maskNode.append_copy(source);
            ++added;
        } else {
            target = newElementId(maskNode, id);
            pugi::xml_node copy = maskNode.append_copy(source);
            if (target != id)
                setElementId(copy, target);
            ++added;
        }
        if (idMap)
            idMap->insert(id, target);
    }

    if (added > 0) {
        reparseMaskKeepingGeometry(record);
        markPageDirty(pageIndex);
    }
    return added;
}

pugi::xml_node DashConfig::buildAxisElement(pugi::xml_node parent, const QString& id)
{
    if (!parent)
        return {};
    pugi::xml_node axis = parent.append_child("e");
    axis.append_attribute("c").set_value("Axis");
    axis.append_attribute("i").set_value(id.toUtf8().constData());
    for (const NamedValue& param : kNewAxisParams)
        appendParam(axis, param.name, param.value);
    return axis;
}

void DashConfig::writeChannelBindingParams(pugi::xml_node axis, int kind, const char* fidPrefDaRisorsa,
                                           const char* deviceSwtyp, const char* swtyp, const char* tipoFeatConten)
{
    // The kind comes from the classifier; anything else is a caller's error
    // and must not index past the table.
    if (!axis || kind < 0 || kind >= static_cast<int>(channelProfiles().size()))
        return;
    const ChannelProfile& row = channelProfiles()[static_cast<size_t>(kind)];
    const auto given = [](const char* text) { return text && *text; };
    const auto number = [](int value) { return QByteArray::number(value); };

    for (const NamedValue& param : kDefaultChannelParams) {
        if (!axis.find_child_by_attribute("p", "n", param.name))
            appendParam(axis, param.name, param.value);
    }
    if (given(swtyp))
        setParamStd(axis, "swtyp", swtyp);
    else if (kind == ChannelEngineSpeed && given(deviceSwtyp))
        setParamStd(axis, "swtyp", deviceSwtyp);
    else
        setParamStd(axis, "swtyp", number(row.swtyp));
    setParamStd(axis, "typ", number(row.typ));
    setParamStd(axis, "ChFmt", number(row.chFmt));
    setParamStd(axis, "FORMAT", row.format);
    setParamStd(axis, "isEncodedValue", number(row.isEncodedValue));
    setParamStd(axis, "TipoFeatConten", given(tipoFeatConten) ? QByteArray(tipoFeatConten) : number(row.tipoFeatConten));
    setParamStd(axis, "TipoDevConten", number(row.tipoDevConten));
    setParamStd(axis, "NDEC_SCELTO", number(row.ndecScelto));
    setParamStd(axis, "valMis", row.valMis);
    setParamStd(axis, "idv", number(row.idv));
    if (row.asse)
        setParamStd(axis, "ASSE", "0");
    if (fidPrefDaRisorsa)
        setParamStd(axis, "FidPrefDaRisorsa", fidPrefDaRisorsa);
    else if (row.fidPrefDaRisorsa)
        setParamStd(axis, "FidPrefDaRisorsa", row.fidPrefDaRisorsa);
}
