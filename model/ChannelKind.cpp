#include "model/ChannelKind.h"

#include "model/ElementIds.h"
#include "model/InstallRoots.h"
#include "model/XmlParams.h"

#include <QRegularExpression>
#include <QSet>

#include <cstring>
#include <initializer_list>

namespace {

bool containsAny(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* w : words) {
        if (text.contains(QLatin1String(w)))
            return true;
    }
    return false;
}

bool isOneOf(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* w : words) {
        if (text == QString::fromUtf8(w))
            return true;
    }
    return false;
}

struct ChildClasses {
    bool any = false;
    bool digit = false;
    bool bar = false;
    bool ring = false;
    bool axis = false;
};

ChildClasses childClasses(pugi::xml_node mask)
{
    ChildClasses found;
    if (!mask)
        return found;
    for (pugi::xml_node e : mask.children("e")) {
        found.any = true;
        const char* c = e.attribute("c").value();
        if (std::strcmp(c, "Digit") == 0)
            found.digit = true;
        else if (std::strcmp(c, "Bargraph") == 0 || std::strcmp(c, "BargraphTrapezio") == 0)
            found.bar = true;
        else if (std::strcmp(c, "Ring") == 0)
            found.ring = true;
        else if (std::strcmp(c, "Axis") == 0)
            found.axis = true;
    }
    return found;
}

} // namespace

int classifyChannelName(const ChannelInfo& channel)
{
    static const QRegularExpression analogName(QStringLiteral("^ch\\d+$"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QString a = channel.longName.toLower().trimmed();
    const QString b = channel.shortName.toLower().trimmed();
    const QString u = channel.unit.toLower().trimmed();
    QString a2 = a;
    a2.replace(QLatin1Char('_'), QLatin1Char(' '));

    if (a == QLatin1String("gear") || a == QLatin1String("calculated gear"))
        return ChannelGearByName;
    if (a == QLatin1String("ext battery") || b == QLatin1String("ebat"))
        return ChannelBattery;
    if (analogName.match(a).hasMatch())
        return ChannelAnalogInput;
    if (u == QLatin1String("gear"))
        return ChannelGearByUnit;
    if (u == QLatin1String("rpm"))
        return ChannelEngineSpeed;
    if (a2.contains(QLatin1String("rpm")) && !a2.contains(QLatin1String("time")))
        return ChannelEngineSpeed;
    if (isOneOf(u, {"km/h", "mph", "m/s", "knots"}) && containsAny(a2, {"speed", "gps"}))
        return ChannelVehicleSpeed;
    if (containsAny(a2, {"lap time", "best time", "rolling time", "predictive", "+- ref", "session time",
                         "rolling sess"}))
        return ChannelLapTime;
    if (a2.contains(QLatin1String("lap number")) || b == QLatin1String("nlap"))
        return ChannelLapNumber;
    if (isOneOf(u, {"c", "\xc2\xb0" "c", "f", "\xc2\xb0" "f"}))
        return ChannelTemperature;
    if (isOneOf(u, {"bar", "psi", "kpa", "mbar"}))
        return ChannelPressure;
    if (u == QLatin1String("v"))
        return ChannelVoltage;
    if (u == QLatin1String("mv"))
        return ChannelAnalogInput;
    if (isOneOf(u, {"km", "mi", "m"}) && containsAny(a2, {"odo", "dist", "trip", "odometer"}))
        return ChannelDistance;
    if (u == QLatin1String("%"))
        return ChannelPercentage;
    return ChannelOther;
}

bool isBarWithoutDigitMask(pugi::xml_node mask)
{
    const ChildClasses c = childClasses(mask);
    return c.bar && !c.digit;
}

bool isPlainDigitMask(pugi::xml_node mask)
{
    const ChildClasses c = childClasses(mask);
    return c.digit && !c.bar && !c.ring;
}

bool isDigitValueMask(pugi::xml_node mask)
{
    const ChildClasses c = childClasses(mask);
    return c.axis && c.digit && !c.bar;
}

bool isKnownElementType(const QString& className)
{
    return className == QLatin1String("Digit") || className == QLatin1String("Label")
        || className == QLatin1String("Bargraph") || className == QLatin1String("BargraphTrapezio")
        || className == QLatin1String("AiM_Icona");
}

bool isFixedResourceName(const QString& name)
{
    static const QSet<QString> fixed = {QStringLiteral("LAPTIME_GPS"), QStringLiteral("RPM_ONLY"),
                                        QStringLiteral("SPEED_ONLY"), QStringLiteral("LAPNUMBER"),
                                        QStringLiteral("GEAR")};
    const QString t = name.trimmed();
    if (t.isEmpty())
        return false;
    if (fixed.contains(t))
        return true;
    for (const QChar ch : t) {
        if (!ch.isDigit())
            return false;
    }
    return true;
}

bool isBarZeroMarkStep(pugi::xml_node step)
{
    if (!hasClass(step, "StepScale") || paramValue(step, "VAL_SCALA").trimmed() != "0")
        return false;
    bool ok = false;
    const int position = paramValue(step, "POS_VAL_SCALA").trimmed().toInt(&ok);
    return ok && position >= 1 && position <= 99;
}

bool hasBarZeroMark(pugi::xml_node mask, pugi::xml_node selected)
{
    for (pugi::xml_node e : mask.children("e")) {
        if (!isBarInScope(e, selected))
            continue;
        const pugi::xml_node scale = findScaleFsvNode(e);
        for (pugi::xml_node step : scale.children("e")) {
            if (isBarZeroMarkStep(step))
                return true;
        }
        return false;
    }
    return false;
}

bool isStepScaleBargraph(pugi::xml_node mask, pugi::xml_node selected)
{
    if (!mask)
        return false;
    pugi::xml_node scale;
    for (pugi::xml_node e : mask.children("e")) {
        if (!isBarInScope(e, selected))
            continue;
        scale = findScaleFsvNode(e);
        if (scale)
            break;
    }
    if (!scale)
        return false;
    for (pugi::xml_node step : scale.children("e")) {
        if (std::strcmp(step.attribute("c").value(), "StepScale") != 0)
            continue;
        QString position;
        QString value;
        for (pugi::xml_node p : step.children("p")) {
            const char* n = p.attribute("n").value();
            if (std::strcmp(n, "POS_VAL_SCALA") == 0)
                position = QString::fromUtf8(p.text().get()).trimmed();
            else if (std::strcmp(n, "VAL_SCALA") == 0)
                value = QString::fromUtf8(p.text().get()).trimmed();
        }
        if (position != QLatin1String("0"))
            continue;
        bool ok = false;
        const int v = value.toInt(&ok, 10);
        if (ok && v >= 1 && v <= 99)
            return true;
    }
    return false;
}
