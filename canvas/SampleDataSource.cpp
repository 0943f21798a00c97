#include "canvas/SampleDataSource.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The engine-speed wave that most made-up channels follow: 1500..7200 rpm
// with a period of 10/3 s.
double rpmWave(double x)
{
    return (std::sin(0.6 * kPi * x) * 0.5 + 0.5) * 5700.0 + 1500.0;
}

// Where the rpm wave stands between its lowest and highest point, 0..1.
double rpmFraction(double x)
{
    return (rpmWave(x) - 1500.0) / 5700.0;
}

void addAliases(QHash<QString, SampleSignalKind>& table, SampleSignalKind kind, const QStringList& aliases)
{
    for (const QString& alias : aliases)
        table.insert(alias, kind);
}

QHash<QString, SampleSignalKind> buildAliasTable()
{
    QHash<QString, SampleSignalKind> table;
    addAliases(table, 1, {"rpm", "rpmonly", "ecurpm", "enginerpm", "rpmecu", "obdiirpm", "obdrpm"});
    addAliases(table, 2, {"gpsspeed", "gpsspd", "speed", "speedmph", "speedkmh", "vehiclespeed", "obdiispd", "obdiispeed"});
    addAliases(table, 3, {"gear", "gearpos", "geargps"});
    addAliases(table, 4, {"laptimegps", "laptime", "currlap", "currentlap"});
    addAliases(table, 5, {"besttime", "bestlap", "bestlaptime"});
    addAliases(table, 6, {"predictivetime", "predtime", "predlap", "preddelta", "preddeltagps", "predlapgps", "reftime", "refdelta"});
    addAliases(table, 7, {"lapnumber", "laps", "lapnum", "lap"});
    addAliases(table, 8, {"oiltemp", "engineoiltempe", "engineoiltemp", "oiltempc", "oiltempf"});
    addAliases(table, 9, {"coolanttemp", "watertemp", "enginetemp", "enginecoolanttemp"});
    addAliases(table, 10, {"iat", "intakeairtemp", "intaketemp", "airtemp"});
    addAliases(table, 11, {"engineoilpress", "oilpress", "oilpressure", "oilpressbar"});
    addAliases(table, 12, {"externalvoltage", "extbattery", "batteryvoltage", "batt", "battery", "vbatt", "voltage"});
    addAliases(table, 13, {"afr", "lambda", "airfuelratio"});
    addAliases(table, 14, {"fuel", "fuellevel", "fuelpercent"});
    addAliases(table, 15, {"manpress", "manifoldpressure", "boost", "boostpressure", "map"});
    addAliases(table, 16, {"rollingsesstime", "rollingtime", "sessiontime", "elapsedtime"});
    // Generic numbered channels: chNN and channelNN for NN = 01..08.
    for (int n = 1; n <= 8; ++n) {
        const QString number = QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
        addAliases(table, 16 + n, {QLatin1String("ch") + number, QLatin1String("channel") + number});
    }
    addAliases(table, 25, {"stbdrpm", "stbdengrpm"});
    addAliases(table, 26, {"portrpm", "portengrpm"});
    return table;
}

} // namespace

SampleDataSource::SampleDataSource() = default;
SampleDataSource::~SampleDataSource() = default;

const QHash<QString, SampleSignalKind>& SampleDataSource::aliasTable()
{
    static const QHash<QString, SampleSignalKind> table = buildAliasTable();
    return table;
}

QString SampleDataSource::normaliseKey(const QString& name)
{
    QString key;
    key.reserve(name.size());
    const qsizetype size = name.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = name.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < size && name.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name.at(i), name.at(i + 1));
            ++i;
        }
        if (!QChar::isLetter(c) && !QChar::isDigit(c))
            continue;
        const char32_t lower = QChar::toLower(c);
        if (QChar::requiresSurrogates(lower)) {
            key.append(QChar(QChar::highSurrogate(lower)));
            key.append(QChar(QChar::lowSurrogate(lower)));
        } else {
            key.append(QChar(char16_t(lower)));
        }
    }
    return key;
}

SampleSignalKind SampleDataSource::kindForUnit(const QString& unit)
{
    const QString u = unit.trimmed().toLower();
    const auto is = [&u](std::initializer_list<const char*> texts) {
        return std::any_of(texts.begin(), texts.end(), [&u](const char* text) { return u == QLatin1String(text); });
    };
    if (is({"rpm"}))
        return 27;
    if (is({"km/h", "kmh", "mph", "knots", "m/s"}))
        return 28;
    if (is({"v", "volt"}))
        return 35;
    if (is({"mv"}))
        return 34;
    if (is({"bar"}))
        return 31;
    if (is({"psi"}))
        return 32;
    if (is({"%", "percent"}))
        return 33;
    if (is({"lambda", "afr", "a/f", "af"}))
        return 36;
    if (is({"s", "sec", "seconds"}))
        return 38;
    if (is({"#", "n", "count", "lap"}))
        return 37;
    // Temperatures come in many spellings ("°C", "degC", "C"); Fahrenheit ones
    // carry an "f" and no "c".
    if (u.contains(QLatin1Char('c')))
        return 29;
    if (u.contains(QLatin1Char('f')))
        return 30;
    return 0;
}

double SampleDataSource::signalValue(SampleSignalKind kind, double t)
{
    switch (kind) {
    case 1:
    case 25:
        return rpmWave(t);
    case 2:
        return rpmFraction(t - 0.4) * 165.0 + 40.0;
    case 3:
        // 5.999 rather than 6 keeps the top of the wave in sixth gear.
        return 1.0 + std::floor(5.999 * std::min(1.0, std::max(0.0, rpmFraction(t))));
    case 4:
        return 74.03;
    case 5:
        return 73.12;
    case 6:
        return -0.91;
    case 7:
        return 12.0;
    case 8:
        return std::sin(0.1 * kPi * t) * 17.5 + 107.5;
    case 9:
        return std::sin(0.1 * kPi * t + 1.0) * 7.5 + 87.5;
    case 10:
        return std::sin(0.08 * kPi * t + 0.5) * 12.5 + 37.5;
    case 11:
        return (std::sin(0.4 * kPi * t) * 0.75 + 5.25) + (rpmFraction(t) - 0.5) * 0.30;
    case 12:
        return std::sin(0.04 * kPi * t) * 0.35 + 13.85;
    case 13:
        return 14.5 - 2.0 * rpmFraction(t);
    case 14: {
        // The tank drains from 100 to 50 over ten minutes, then is full again.
        double r = std::fmod(t, 600.0);
        if (r < 0.0)
            r += 600.0;
        return 100.0 - (r / 600.0) * 50.0;
    }
    case 15:
        return rpmFraction(t) * 2.5;
    case 16:
    case 38:
        return t;
    case 17: case 18: case 19: case 20: case 21: case 22: case 23: case 24:
        return std::sin(1.0 * kPi * t + 0.70 * (kind - 16)) * 2.25 + 0.25;
    case 26:
        return rpmWave(t) - 50.0;
    case 27:
        return std::sin(0.5 * kPi * t) * 4000.0 + 4000.0;
    case 28:
        return std::sin(0.4 * kPi * t) * 100.0 + 100.0;
    case 29:
        return std::sin(0.1 * kPi * t) * 50.0 + 70.0;
    case 30:
        return std::sin(0.1 * kPi * t) * 90.0 + 160.0;
    case 31:
        return std::sin(0.6 * kPi * t) * 2.5 + 2.5;
    case 32:
        return std::sin(0.6 * kPi * t) * 40.0 + 40.0;
    case 33:
        return std::sin(0.2 * kPi * t) * 50.0 + 50.0;
    case 34:
        return (std::sin(0.2 * kPi * t) * 2500.0 + 2500.0) + std::sin(3.4 * kPi * t) * 100.0;
    case 35:
        return std::sin(0.1 * kPi * t) + 13.0;
    case 36:
        return std::sin(0.6 * kPi * t) + 13.5;
    case 37:
        return std::floor(t);
    default:
        return 0.0;
    }
}

void SampleDataSource::setChannelUnits(const QHash<QString, QString>& channelUnits)
{
    m_units.clear();
    m_kinds.clear();
    for (auto it = channelUnits.cbegin(); it != channelUnits.cend(); ++it)
        m_units.insert(normaliseKey(it.key()), it.value());
}

bool SampleDataSource::isValid() const
{
    return true;
}

SampleSignalKind SampleDataSource::kindOf(const QString& channel) const
{
    const QString key = normaliseKey(channel);
    const SampleSignalKind byName = key.isEmpty() ? 0 : aliasTable().value(key, 0);
    if (byName != 0)
        return byName;
    const auto unit = m_units.constFind(key);
    return unit != m_units.cend() ? kindForUnit(unit.value()) : 0;
}

double SampleDataSource::value(const QString& channel, double timeSeconds) const
{
    auto it = m_kinds.constFind(channel);
    if (it == m_kinds.cend()) {
        if (m_kinds.size() > 4096)
            m_kinds.clear();
        it = m_kinds.insert(channel, kindOf(channel));
    }
    return signalValue(*it, timeSeconds);
}

QString SampleDataSource::matchedColumn(const QString& channel) const
{
    return channel;
}

QString SampleDataSource::unitOf(const QString& channel) const
{
    if (channel.isEmpty())
        return QString();
    return m_units.value(normaliseKey(channel));
}
