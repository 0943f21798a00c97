#include "canvas/DashCanvas.h"

#include <QHash>

#include <algorithm>
#include <cmath>

// The texts widgets show: formatted values, lap times and label texts.

QString DashCanvas::digitText(const WidgetModel& widget, double value, bool previewMode)
{
    const bool hasChannel = !widget.channel.isEmpty() || !widget.channelShort.isEmpty();
    const bool hasValue = !std::isnan(value);
    if (!hasChannel && !hasValue)
        return QString();

    const int decimals = widget.decimals >= 0 && widget.decimals <= 3 ? widget.decimals : 1;
    if (previewMode && widget.unit.compare(QLatin1String("gear"), Qt::CaseInsensitive) == 0) {
        // Neutral and anything a gearbox cannot be in show as "N".
        if (!std::isfinite(value) || std::round(value) < 1.0 || std::round(value) > 8.0)
            return QStringLiteral("N");
    }
    const double shown = hasValue ? value : 0.0;
    if (isTimeChannel(widget.channel) || isTimeChannel(widget.channelShort))
        return formatLapTime(shown);
    return QString::number(shown, 'f', decimals);
}

QString DashCanvas::formatLapTime(double seconds)
{
    // A value that is not a time at all (a "nan" or "inf" cell) shows as zero
    // rather than as whatever an out-of-range integer conversion gives.
    if (!std::isfinite(seconds))
        return QStringLiteral("0:00.00");
    // Cap at what fits the integer count of hundredths comfortably.
    constexpr double kMaxHundredths = 1e15;
    const double rounded = std::min(std::round(std::fabs(seconds) * 100.0), kMaxHundredths);
    const qint64 c = qint64(rounded);
    const qint64 hours = c / 360000;
    const qint64 minutes = (c / 6000) % 60;
    const qint64 secs = (c / 100) % 60;
    const qint64 hundredths = c % 100;
    const QLatin1Char zero('0');
    QString text;
    if (hours < 1)
        text = QStringLiteral("%1:%2.%3").arg(minutes).arg(secs, 2, 10, zero).arg(hundredths, 2, 10, zero);
    else
        text = QStringLiteral("%1:%2:%3.%4")
                   .arg(hours)
                   .arg(minutes, 2, 10, zero)
                   .arg(secs, 2, 10, zero)
                   .arg(hundredths, 2, 10, zero);
    return seconds < 0.0 ? QLatin1Char('-') + text : text;
}

namespace {

bool classifyTimeChannel(const QString& name);

} // namespace

bool DashCanvas::isTimeChannel(const QString& name)
{
    // Every frame asks again for the same few names; the answer is kept.
    thread_local QHash<QString, bool> known;
    const auto it = known.constFind(name);
    if (it != known.constEnd())
        return *it;
    if (known.size() > 4096)
        known.clear();
    const bool time = classifyTimeChannel(name);
    known.insert(name, time);
    return time;
}

namespace {

bool classifyTimeChannel(const QString& name)
{
    const QString k = DashCanvas::channelKey(name);
    if (k.isEmpty())
        return false;
    // Deltas and predictions are signed differences, not lap times.
    static const char* const excluded[] = { "predict", "predtime", "predlap", "preddelta", "refdelta", "delta" };
    for (const char* part : excluded) {
        if (k.contains(QLatin1String(part)))
            return false;
    }
    if (k.startsWith(QLatin1String("ref")))
        return false;
    static const QSet<QString> times = {
        QStringLiteral("laptime"),         QStringLiteral("laptimegps"),      QStringLiteral("laptimegps2"),
        QStringLiteral("laptimegps2r"),    QStringLiteral("currlap"),         QStringLiteral("currentlap"),
        QStringLiteral("currentlaptime"),  QStringLiteral("besttime"),        QStringLiteral("bestlap"),
        QStringLiteral("bestlaptime"),     QStringLiteral("rollingsesstime"), QStringLiteral("rollingtime"),
        QStringLiteral("sessiontime"),     QStringLiteral("elapsedtime"),     QStringLiteral("timeall"),
    };
    return times.contains(k);
}

} // namespace

QString DashCanvas::labelText(const MaskElement& mask, const WidgetModel& widget)
{
    if (!widget.text.isEmpty())
        return widget.text;

    // Ids such as "3_ch_scale1": the part after the leading number names what
    // the label shows.
    const QString& id = widget.id;
    int i = 0;
    while (i < id.size() && id.at(i).isDigit())
        ++i;
    if (i < id.size() && id.at(i) == QLatin1Char('_'))
        ++i;
    while (i < id.size() && id.at(i).isDigit())
        ++i;
    QString key = id.mid(i);
    if (key.startsWith(QLatin1Char('_')))
        key.remove(0, 1);
    key = key.toLower();

    if (key == QLatin1String("ch_name"))
        return widget.channel;
    if (key == QLatin1String("udm"))
        return widget.unit;
    if (key == QLatin1String("ch_scale0"))
        return formatScaled(mask, widget, 0);
    if (key == QLatin1String("ch_scale1"))
        return formatScaled(mask, widget, 1);
    return widget.channel.isEmpty() ? widget.channelShort : widget.channel;
}

QString DashCanvas::formatScaled(const MaskElement& mask, const WidgetModel& widget, int end)
{
    const int p = widget.id.indexOf(QLatin1Char('_'));
    if (p < 1)
        return QString();
    const QString prefix = widget.id.left(p + 1);
    for (const WidgetModel& bar : mask.widgets) {
        if (bar.kind != WidgetBargraph || !bar.id.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const double v = end == 0 ? bar.scaleMin : bar.scaleMax;
        if (!std::isfinite(v))
            return QString::number(v);
        const double whole = std::round(v);
        if (std::fabs(v - whole) <= 1e-6 && std::fabs(whole) < 9e18)
            return QString::number(qint64(whole));
        return QString::number(v, 'f', 1);
    }
    return QString();
}
