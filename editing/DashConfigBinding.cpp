// Binding elements to logger channels: the channel element (<e c="Axis">)
// gets the channel's identity and the firmware format parameters for its kind
// of quantity; bars pass their channel reference on to their group.
#include "model/DashConfig.h"

#include "artwork/BarTemplateLibrary.h"
#include "model/ChannelKind.h"
#include "model/DeviceTables.h"
#include "model/ElementIds.h"
#include "model/XmlParams.h"

#include <QHash>

#include <vector>

namespace {

struct BindingValues {
    QByteArray fid;
    QByteArray pref;
    int kind = ChannelOther;
    QByteArray unit;
};

BindingValues bindingValues(const ChannelInfo& channel, int laptimeFid)
{
    BindingValues v;
    v.fid = QByteArray::number(channel.fid);
    v.pref = v.fid + ',' + (laptimeFid >= 0 ? QByteArray::number(laptimeFid) : QByteArrayLiteral("0"));
    v.kind = classifyChannelName(channel);
    v.unit = v.kind == ChannelAnalogInput ? QByteArrayLiteral("mV") : channel.unit.toUtf8();
    return v;
}

// The identity and format of one channel element; CHANNEL_NOT_SET is left
// as it stands (the defaults add it as "0" only when missing).
void writeAxisBinding(pugi::xml_node axis, const ChannelInfo& channel, const QString& deviceName, int laptimeFid)
{
    const BindingValues v = bindingValues(channel, laptimeFid);
    setParamStd(axis, "fid", v.fid);
    setParamStd(axis, "FID_PREF", v.pref);
    if (pugi::xml_node old = axis.find_child_by_attribute("p", "n", "FidPrefDaRisorsa"))
        axis.remove_child(old);
    if (channel.idFis >= 0)
        setParamStd(axis, "idf", QByteArray::number(channel.idFis));
    setParamStd(axis, "FID_KO", QByteArray());
    setParamStd(axis, "FID_OK", "LAPTIME_GPS");
    setParamStd(axis, "lnm", channel.longName.toUtf8());
    setParamStd(axis, "shn", channel.shortName.toUtf8());
    setParamStd(axis, "UDM", v.unit);

    const QByteArray lap = QByteArray::number(laptimeFid);
    const QByteArray deviceSwtyp = deviceSwtypCode(deviceName).toLatin1();
    const QByteArray swtyp = QByteArray::number(channel.swTipoCanale);
    const QByteArray tipoFeat = QByteArray::number(channel.chTipoFeatCont);
    DashConfig::writeChannelBindingParams(axis, v.kind, laptimeFid >= 0 ? lap.constData() : nullptr,
                                          deviceSwtyp.constData(),
                                          channel.swTipoCanale >= 0 ? swtyp.constData() : nullptr,
                                          channel.chTipoFeatCont >= 0 ? tipoFeat.constData() : nullptr);
}

// Gives the mask's trapezoid bars the scale template of the channel's kind
// unless they already carry it.
void applyBarTemplateForChannel(pugi::xml_node node, const ChannelInfo& channel)
{
    const int kind = BarTemplateLibrary::classifyChannel(channel.longName, channel.unit);
    if (!BarTemplateLibrary::matchesUserChoice(node, kind))
        BarTemplateLibrary::applyTemplateForKind(node, kind);
}

// True when the save's bar-group propagation ties an element to `widget`:
// same group, and the group holds a bar that hands its channel on.
bool tiedToWidget(pugi::xml_node e, pugi::xml_node widget, bool groupHasBar)
{
    return e == widget || (groupHasBar && elementGroup(e) == elementGroup(widget));
}

// The channel element `axis` that `widget` names, made the widget's own.
// Another element of the mask that names it too (a duplicated widget keeps
// its original's reference) must keep its channel, so the widget, and the
// elements of its bar group that share the reference, get a copy under a new
// id. Returns the element to bind: `axis` itself when nothing else shares it.
pugi::xml_node ownAxisFor(pugi::xml_node mask, pugi::xml_node axis, pugi::xml_node widget)
{
    if (!widget)
        return axis;
    const QByteArray ref = axis.attribute("i").value();
    const QString group = elementGroup(widget);
    bool groupHasBar = false;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e"))
        groupHasBar = groupHasBar || (isBarElement(e) && elementGroup(e) == group);

    std::vector<pugi::xml_node> moving;
    bool sharedOutside = false;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Axis") || paramValue(e, "AXIS_REF").trimmed() != ref)
            continue;
        if (tiedToWidget(e, widget, groupHasBar))
            moving.push_back(e);
        else
            sharedOutside = true;
    }
    if (!sharedOutside)
        return axis;
    const QString id = renumberedId(QString::fromUtf8(ref), axisIdsOf(mask));
    pugi::xml_node own = mask.insert_copy_after(axis, axis);
    if (!own)
        return {};
    setElementId(own, id);
    for (pugi::xml_node e : moving)
        setParamStd(e, "AXIS_REF", id.toUtf8());
    return own;
}

} // namespace

QString deviceSwtypCode(const QString& deviceName)
{
    static const char* const kNewGeneration[] = {"MXP", "MXG 1.2", "MXG 1.2 Strada", "MXG Strada", "MXS 1.2", "MXS1.2"};
    for (const char* name : kNewGeneration) {
        if (deviceName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QStringLiteral("7");
    }
    return QStringLiteral("38");
}

void DashConfig::bindElementChannel(pugi::xml_node node, const ChannelInfo& channel, const QString& deviceName,
                                    int laptimeFid)
{
    if (!node)
        return;
    bool hasTrapezio = false;
    for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Axis"))
            writeAxisBinding(e, channel, deviceName, laptimeFid);
        else if (hasClass(e, "BargraphTrapezio"))
            hasTrapezio = true;
    }
    if (hasTrapezio)
        applyBarTemplateForChannel(node, channel);
    if (!channel.unit.isEmpty()) {
        for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e")) {
            if (hasClass(e, "Analog") || hasClass(e, "Ring")) {
                setParamStd(e, "SCELTA_UTENTE", channel.unit.trimmed().toLower().toUtf8());
                break;
            }
        }
    }
}

void DashConfig::bindAxisChannel(pugi::xml_node axis, const ChannelInfo& channel, const QString& deviceName,
                                 int laptimeFid, const QString& deviceTypeCode)
{
    if (!axis)
        return;
    setParamStd(axis, "CHANNEL_NOT_SET", "0");
    writeAxisBinding(axis, channel, deviceName, laptimeFid);
    setParamStd(axis, "ASSE", "0");
    setParamStd(axis, "AxisXDgtProp", "1");
    setParamStd(axis, "USA_CONTROLLI_RIPOSIZIONABILI", "0");
    const QString code = deviceTypeCode.isEmpty() ? deviceTypeCodeForName(deviceName) : deviceTypeCode;
    if (!code.isEmpty())
        setParamStd(axis, "TipoDevConten", code.toUtf8());
}

void DashConfig::bindChannel(int pageIndex, int mask, int widget, const ChannelInfo& channel)
{
    PageModel* p = page(pageIndex);
    if (!p || mask < 0 || mask >= static_cast<int>(p->masks.size()))
        return;
    MaskElement& record = p->masks[static_cast<size_t>(mask)];
    if (widget < 0 || widget >= static_cast<int>(record.widgets.size()) || !record.node)
        return;
    const pugi::xml_node maskNode = record.node;
    const QString axisRef = record.widgets[static_cast<size_t>(widget)].axisRef;

    pugi::xml_node axis;
    if (!axisRef.isEmpty()) {
        for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
            if (hasClass(e, "Axis") && QString::fromUtf8(e.attribute("i").value()) == axisRef) {
                axis = e;
                break;
            }
        }
    }
    if (axis) {
        axis = ownAxisFor(maskNode, axis, record.widgets[static_cast<size_t>(widget)].node);
        if (!axis)
            return; // no copy could be made: the shared element stays as it is
    }
    const int laptimeFid = laptimeGpsResourceFid();
    if (axis) {
        const QString code = typeCode >= 1 ? QString::number(typeCode) : deviceTypeCodeForName(deviceName);
        bindAxisChannel(axis, channel, deviceName, laptimeFid, code);
    } else {
        bindElementChannel(maskNode, channel, deviceName, laptimeFid);
        applyChannelRangeToBarScales(maskNode, channel.fid);
    }
    record = parseMask(maskNode);
    markPageDirty(pageIndex);
}

int DashConfig::propagateBarAxisRefs(int pageIndex, int mask)
{
    PageModel* p = page(pageIndex);
    if (!p || mask < 0 || mask >= static_cast<int>(p->masks.size()))
        return 0;
    const pugi::xml_node maskNode = p->masks[static_cast<size_t>(mask)].node;
    if (!maskNode)
        return 0;

    QHash<QString, QByteArray> refByGroup;
    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        if (!isBarElement(e))
            continue;
        const QString group = elementGroup(e);
        if (group.isEmpty() || refByGroup.contains(group))
            continue;
        const QByteArray ref = paramValue(e, "AXIS_REF");
        if (!ref.isEmpty())
            refByGroup.insert(group, ref);
    }
    if (refByGroup.isEmpty())
        return 0;

    int changed = 0;
    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        if (isBarElement(e) || hasClass(e, "Axis"))
            continue;
        const auto it = refByGroup.constFind(elementGroup(e));
        if (it == refByGroup.constEnd())
            continue;
        const pugi::xml_node current = e.find_child_by_attribute("p", "n", "AXIS_REF");
        if (current && QByteArray(current.text().get()) == *it)
            continue;
        setParamStd(e, "AXIS_REF", *it);
        ++changed;
    }
    if (changed > 0)
        markPageDirty(pageIndex);
    return changed;
}
