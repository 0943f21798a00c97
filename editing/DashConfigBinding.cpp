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
#include <QSet>

#include <cmath>

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

// The elements that name one channel element, cut into the units a rebind
// moves whole: the elements of a group that holds a bar (the save hands the
// bar's channel on to them) are one unit, every other element one of its
// own. A unit showing a value holds an element that is not a bar.
struct ChannelSharers {
    std::vector<pugi::xml_node> elements;
    std::vector<QString> units;
    QSet<QString> valueUnits;
    QString firstValueUnit; // in document order
};

ChannelSharers sharersOf(pugi::xml_node mask, const QByteArray& ref)
{
    QSet<QString> barGroups;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (isBarElement(e))
            barGroups.insert(elementGroup(e));
    }
    ChannelSharers sharers;
    int position = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e"), ++position) {
        if (hasClass(e, "Axis") || paramValue(e, "AXIS_REF").trimmed() != ref)
            continue;
        const QString group = elementGroup(e);
        const QString unit = !group.isEmpty() && barGroups.contains(group)
            ? QStringLiteral("group ") + group
            : QStringLiteral("element %1").arg(position);
        sharers.elements.push_back(e);
        sharers.units.push_back(unit);
        if (isBarElement(e))
            continue;
        sharers.valueUnits.insert(unit);
        if (sharers.firstValueUnit.isEmpty())
            sharers.firstValueUnit = unit;
    }
    return sharers;
}

// The units that a rebind of the unit `unit` takes along: the bars that show
// the channel's value (Add value bar gives its bar the value's channel
// element, a ring gauge draws its arc with one) belong to the first value
// that names the element, the one they were made for. A bar rebound on its
// own, or a later value that names the element too (a duplicate, a paste),
// moves alone.
bool movesWith(const ChannelSharers& sharers, const QString& widgetUnit, const QString& unit)
{
    if (unit == widgetUnit)
        return true;
    return widgetUnit == sharers.firstValueUnit && !sharers.valueUnits.contains(unit);
}

// The channel element `axis` that `widget` names, made the widget's own.
// Another element of the mask that names it and does not move with the
// widget must keep its channel, so the widget, and what moves with it, get a
// copy under a new id. Returns the element to bind: `axis` itself when
// everything that names it moves with the widget.
pugi::xml_node ownAxisFor(pugi::xml_node mask, pugi::xml_node axis, pugi::xml_node widget)
{
    if (!widget)
        return axis;
    const QByteArray ref = axis.attribute("i").value();
    const ChannelSharers sharers = sharersOf(mask, ref);
    QString widgetUnit = QStringLiteral("widget");
    for (size_t i = 0; i < sharers.elements.size(); ++i) {
        if (sharers.elements[i] == widget)
            widgetUnit = sharers.units[i];
    }
    std::vector<pugi::xml_node> moving;
    bool sharedOutside = false;
    for (size_t i = 0; i < sharers.elements.size(); ++i) {
        if (movesWith(sharers, widgetUnit, sharers.units[i]))
            moving.push_back(sharers.elements[i]);
        else
            sharedOutside = true;
    }
    if (!sharedOutside)
        return axis;
    // An id and a group no element of the mask has: a widget copy that an
    // undo takes out finds its own id free again at the redo, and comes back
    // under it.
    const QString id = newElementId(mask, QString::fromUtf8(ref));
    pugi::xml_node own = mask.insert_copy_after(axis, axis);
    if (!own)
        return {};
    setElementId(own, id);
    for (pugi::xml_node e : moving)
        setParamStd(e, "AXIS_REF", id.toUtf8());
    return own;
}

bool sameRange(double min, double max, double lower, double upper)
{
    return std::fabs(min - lower) < 1e-6 && std::fabs(max - upper) < 1e-6;
}

// The bars that show the channel element `axis` and were scaled over the
// channel it showed before (fid `oldFid`) take the range of the channel it
// shows now: a scale of the old range would leave them always full or
// always empty. A scale the user chose stays.
void followChannelRange(const DashConfig& config, pugi::xml_node mask, pugi::xml_node axis, int oldFid)
{
    double oldLower = 0.0, oldUpper = 0.0, lower = 0.0, upper = 0.0;
    const int fid = paramInt(axis, "fid");
    if (fid == oldFid || !config.channelRangeForFid(oldFid, oldLower, oldUpper)
        || !config.channelRangeForFid(fid, lower, upper) || !(upper > lower))
        return;
    const QByteArray ref = axis.attribute("i").value();
    for (pugi::xml_node bar = mask.child("e"); bar; bar = bar.next_sibling("e")) {
        double min = 0.0, max = 0.0;
        if (!isBarElement(bar) || paramValue(bar, "AXIS_REF").trimmed() != ref
            || !DashConfig::barScaleRange(mask, min, max, bar) || !sameRange(min, max, oldLower, oldUpper))
            continue;
        DashConfig::setBarScaleRange(mask, lower, upper, bar);
        DashConfig::setBarZeroMark(mask, lower < 0 && upper > 0, bar);
    }
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
        const int oldFid = paramInt(axis, "fid");
        bindAxisChannel(axis, channel, deviceName, laptimeFid, code);
        followChannelRange(*this, maskNode, axis, oldFid);
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
