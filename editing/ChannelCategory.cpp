#include "editing/ChannelCategory.h"

#include <initializer_list>

namespace {

enum CategoryRow { Gear, Speed, LapNumber, Rpm, Temperature, Voltage, Fuel, Pressure, LapTime };

const ChannelCategory* categoryRow(CategoryRow row)
{
    static const ChannelCategory rows[] = {
        {"Gear", 120, 1},       {"Speed", 60, 3},   {"Lap number", 60, 3},
        {"RPM", 54, 5},         {"Temperature", 48, 4}, {"Voltage", 48, 4},
        {"Fuel", 47, 4},        {"Pressure", 42, 4}, {"Lap/predictive time", 42, 5},
    };
    return &rows[row];
}

bool containsAny(const QString& hay, std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        if (hay.contains(QLatin1String(word)))
            return true;
    }
    return false;
}

bool equalsAny(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        if (text == QLatin1String(word))
            return true;
    }
    return false;
}

} // namespace

const ChannelCategory* channelCategoryFor(const QString& longName, const QString& shortName, const QString& unit)
{
    const QString hay = (longName + QLatin1Char(' ') + shortName).toLower();
    const QString u = unit.trimmed().toLower();
    const QString s = shortName.trimmed().toUpper();
    // Order matters: "Gear Temp" is a gear, "Fuel Temp" a temperature.
    if (hay.contains(QLatin1String("gear")))
        return categoryRow(Gear);
    if (hay.contains(QLatin1String("rpm")) || u == QLatin1String("rpm") || s == QLatin1String("RPM"))
        return categoryRow(Rpm);
    if (hay.contains(QLatin1String("speed")) || equalsAny(u, {"mph", "km/h", "kmh"}))
        return categoryRow(Speed);
    if (containsAny(hay, {"lap time", "lap_time", "laptime", "best", "predict", "ref time"})
        || equalsAny(s, {"LAPT", "PT+-"}))
        return categoryRow(LapTime);
    if (hay.contains(QLatin1String("lap")))
        return categoryRow(LapNumber);
    if (hay.contains(QLatin1String("temp")) || equalsAny(u, {"c", "f"}) || equalsAny(s, {"ENGT", "OILT", "IAT", "FUET"}))
        return categoryRow(Temperature);
    if (hay.contains(QLatin1String("press")) || equalsAny(u, {"psi", "bar", "kpa"}))
        return categoryRow(Pressure);
    if (containsAny(hay, {"batt", "volt"}) || u == QLatin1String("v"))
        return categoryRow(Voltage);
    if (hay.contains(QLatin1String("fuel")))
        return categoryRow(Fuel);
    return nullptr;
}

ChannelCategoryInfo channelCategoryInfo(const QString& longName, const QString& shortName, const QString& unit)
{
    ChannelCategoryInfo info;
    if (const ChannelCategory* row = channelCategoryFor(longName, shortName, unit)) {
        info.fontPx = row->fontPx;
        info.digits = row->digits;
        info.label = QString::fromLatin1(row->label);
    }
    return info;
}
