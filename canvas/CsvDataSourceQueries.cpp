#include "canvas/CsvDataSource.h"

#include <algorithm>
#include <cmath>
#include <iterator>

// What a loaded export answers: its channels and their values over time.

bool CsvDataSource::isValid() const
{
    return m_loaded;
}

double CsvDataSource::duration() const
{
    return m_duration;
}

double CsvDataSource::firstTime() const
{
    return m_loaded && !m_times.empty() ? m_times.front() : 0.0;
}

QStringList CsvDataSource::channelNames() const
{
    QStringList names;
    names.reserve(qsizetype(m_channels.size()));
    for (const auto& entry : m_channels)
        names.append(entry.second.name);
    return names;
}

QString CsvDataSource::errorText() const
{
    return m_errorText;
}

double CsvDataSource::value(const QString& channel, double timeSeconds) const
{
    if (!m_loaded || m_times.empty())
        return 0.0;

    const CsvChannel* resolved = resolve(channel);
    if (!resolved || resolved->values.empty())
        return 0.0;

    const CsvChannel& series = *resolved;
    const size_t n = series.rows.empty() ? std::min(series.values.size(), m_times.size()) : m_times.size();
    if (n == 0)
        return 0.0;
    // Written as "not after" so that a NaN time lands on the first sample.
    if (!(timeSeconds > m_times[0]))
        return series.valueAt(0);
    if (timeSeconds >= m_times[n - 1])
        return series.valueAt(n - 1);

    const size_t i = std::min(std::max<size_t>(firstAfter(timeSeconds, n), 1), n - 1);
    const double t0 = m_times[i - 1];
    const double dt = m_times[i] - t0;
    const double v0 = series.valueAt(i - 1);
    if (std::fabs(dt) < 1e-12)
        return v0;
    return v0 + (series.valueAt(i) - v0) * (timeSeconds - t0) / dt;
}

double CsvChannel::valueAt(size_t row) const
{
    if (rows.empty())
        return row < values.size() ? values[row] : 0.0;
    const auto found = std::lower_bound(rows.begin(), rows.end(), row);
    return found != rows.end() && *found == row ? values[size_t(found - rows.begin())] : 0.0;
}

// First index below n whose time is after t (n when none). The column is not
// required to be ascending; the search stays inside 0..n whatever the order.
// Exports are sampled at a steady rate, so for an ascending column the place
// is guessed from the time and only its neighbourhood is searched.
size_t CsvDataSource::firstAfter(double t, size_t n) const
{
    const std::vector<double>& times = m_times;
    size_t lo = 0;
    size_t hi = n;
    if (m_ascending && n > 1) {
        const double span = times[n - 1] - times[0];
        const double place = span > 0.0 ? (t - times[0]) / span * double(n - 1) : 0.0;
        const size_t guess = place > 0.0 ? std::min(size_t(place), n - 1) : 0;
        size_t step = 1;
        if (times[guess] > t) {
            hi = guess;
            for (;;) {
                if (step > hi) {
                    lo = 0;
                    break;
                }
                const size_t probe = hi - step;
                if (!(times[probe] > t)) {
                    lo = probe + 1;
                    break;
                }
                hi = probe;
                step *= 2;
            }
        } else {
            lo = guess + 1;
            for (;;) {
                const size_t probe = lo + step - 1;
                if (probe >= n) {
                    hi = n;
                    break;
                }
                if (times[probe] > t) {
                    hi = probe;
                    break;
                }
                lo = probe + 1;
                step *= 2;
            }
        }
    }
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (times[mid] > t)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The token match is costly: each requested name is matched once per load,
// misses included; a string asked for again is then found by its identity.
const CsvChannel* CsvDataSource::resolve(const QString& channel) const
{
    RecentChannel& slot = m_recent[(quintptr(channel.constData()) >> 4) % std::size(m_recent)];
    if (slot.name.constData() == channel.constData() && slot.name.size() == channel.size() && !slot.name.isNull())
        return slot.channel;
    auto cached = m_resolveCache.constFind(channel);
    if (cached == m_resolveCache.constEnd()) {
        const QString column = matchedColumn(channel);
        const auto found = column.isEmpty() ? m_channels.end() : m_channels.find(column.toLower());
        cached = m_resolveCache.insert(channel, found == m_channels.end() ? nullptr : &found->second);
    }
    slot = {channel, cached.value()};
    return cached.value();
}
