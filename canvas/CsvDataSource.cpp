#include "canvas/CsvDataSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QtDebug>

#include <algorithm>
#include <iterator>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// A column of the channel-name row that holds a channel; only used while loading.
struct ColumnInfo {
    int index = 0;
    QString name;
    QString unit;
};

// The fields of one line, quotes already dropped. A line without quotes is
// split in place (the fields are spans of the line, valid as long as it is);
// a quoted one is copied back to back into `text`. Either way splitting a
// data row allocates nothing once the buffers have grown.
struct CsvFields {
    std::string text;
    const char* base = nullptr;
    std::vector<size_t> ends; // field i spans [i ? ends[i-1] + 1 : 0, ends[i]) in place, or
                              // [i ? ends[i-1] : 0, ends[i]) in text
    bool inPlace = false;

    int count() const { return int(ends.size()); }
    std::string_view at(int i) const
    {
        const size_t skip = inPlace ? 1 : 0; // the comma before the field
        const size_t begin = i ? ends[size_t(i) - 1] + skip : 0;
        return std::string_view(base + begin, ends[size_t(i)] - begin);
    }
    QString trimmedText(int i) const
    {
        const std::string_view field = at(i);
        return QString::fromUtf8(field.data(), qsizetype(field.size())).trimmed();
    }
};

// Reads a file in large chunks and hands out its lines without the line end
// ("\n" or "\r\n"). A UTF-8 byte-order mark at the start of the file is
// dropped; a last line without a line end is still a line.
class LineReader {
public:
    explicit LineReader(QFile& file) : m_file(file)
    {
        static const QByteArray byteOrderMark("\xEF\xBB\xBF");
        if (m_file.peek(3) == byteOrderMark)
            m_file.skip(3);
    }

    // The next line, valid until the following call; false at the end.
    bool next(std::string_view& line)
    {
        for (;;) {
            const char* base = m_buffer.constData();
            const qsizetype size = m_buffer.size();
            const void* newline = std::memchr(base + m_pos, '\n', size_t(size - m_pos));
            if (newline) {
                const qsizetype end = static_cast<const char*>(newline) - base;
                line = cut(base + m_pos, end - m_pos);
                m_pos = end + 1;
                return true;
            }
            if (m_atEnd) {
                if (m_pos >= size)
                    return false;
                line = cut(base + m_pos, size - m_pos);
                m_pos = size;
                return true;
            }
            refill();
        }
    }

private:
    static constexpr qsizetype kChunk = 4 * 1024 * 1024;

    static std::string_view cut(const char* data, qsizetype length)
    {
        if (length > 0 && data[length - 1] == '\r')
            --length;
        return std::string_view(data, size_t(length));
    }

    void refill()
    {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
        const qsizetype kept = m_buffer.size();
        m_buffer.resize(kept + kChunk);
        const qint64 got = m_file.read(m_buffer.data() + kept, kChunk);
        if (got < 0)
            qWarning() << "CsvDataSource::load: read error, rest of file ignored:" << m_file.errorString();
        m_buffer.resize(kept + qsizetype(got > 0 ? got : 0));
        if (got <= 0)
            m_atEnd = true;
    }

    QFile& m_file;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_atEnd = false;
};

bool isAsciiBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimAscii(std::string_view s)
{
    while (!s.empty() && isAsciiBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isAsciiBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A line whose trimmed text is empty. Pure-ASCII lines are decided on the
// bytes; only lines with other characters (a no-break space, say) are decoded.
bool isBlankLine(std::string_view line)
{
    bool ascii = true;
    for (char c : line) {
        if (static_cast<unsigned char>(c) >= 0x80)
            ascii = false;
        else if (!isAsciiBlank(c))
            return false;
    }
    return ascii || QString::fromUtf8(line.data(), qsizetype(line.size())).trimmed().isEmpty();
}

// Splits at commas outside double quotes; a quote only toggles quoting and is
// dropped. Works on the raw line: fields keep their blanks. Comma and quote are
// ASCII, so splitting the UTF-8 bytes is the same as splitting the characters.
void splitCsvLine(std::string_view line, CsvFields& out)
{
    out.ends.clear();
    if (!std::memchr(line.data(), '"', line.size())) {
        out.inPlace = true;
        out.base = line.data();
        const char* at = line.data();
        const char* const end = line.data() + line.size();
        while (const void* comma = std::memchr(at, ',', size_t(end - at))) {
            at = static_cast<const char*>(comma);
            out.ends.push_back(size_t(at - line.data()));
            ++at;
        }
        out.ends.push_back(line.size());
        return;
    }
    out.inPlace = false;
    out.text.clear();
    bool inQuotes = false;
    size_t runStart = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c != '"' && c != ',')
            continue;
        out.text.append(line.data() + runStart, i - runStart);
        runStart = i + 1;
        if (c == '"')
            inQuotes = !inQuotes;
        else if (inQuotes)
            out.text.push_back(',');
        else
            out.ends.push_back(out.text.size());
    }
    out.text.append(line.data() + runStart, line.size() - runStart);
    out.ends.push_back(out.text.size());
    out.base = out.text.data();
}

// C-locale number with surrounding blanks ignored; the whole field must parse.
bool parseNumber(std::string_view field, double& out)
{
    field = trimAscii(field);
    if (!field.empty() && field.front() == '+') {
        field.remove_prefix(1);
        if (field.empty() || field.front() == '+' || field.front() == '-')
            return false;
    }
    if (field.empty())
        return false;
    const char* end = field.data() + field.size();
    const auto result = std::from_chars(field.data(), end, out, std::chars_format::general);
    return result.ec == std::errc() && result.ptr == end;
}

bool startsWithLetter(const QString& text)
{
    if (text.isEmpty())
        return false;
    if (text.size() > 1 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
        return QChar::isLetter(QChar::surrogateToUcs4(text.at(0), text.at(1)));
    return text.at(0).isLetter();
}

// The channel-name row: "Time" (any case) first, then a name starting with a
// letter. Data rows start with a digit or sign and are turned away without
// decoding anything.
bool isHeaderRow(const CsvFields& fields)
{
    if (fields.count() < 2)
        return false;
    const std::string_view first = trimAscii(fields.at(0));
    if (!first.empty() && (std::strchr("0123456789+-.", first.front()) != nullptr))
        return false;
    if (fields.trimmedText(0).compare(QLatin1String("Time"), Qt::CaseInsensitive) != 0)
        return false;
    return startsWithLetter(fields.trimmedText(1));
}

bool isMathColumn(const QString& name)
{
    return name.startsWith(QLatin1String("Math_"), Qt::CaseInsensitive)
        || name.contains(QLatin1String("(Math)"), Qt::CaseInsensitive);
}

QStringList matchTokens(const QString& name)
{
    return name.toLower().replace(QLatin1Char('_'), QLatin1Char(' ')).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// "port", "stbd" or "star" as the first token names a side of a twin-engine
// boat; "stbd" and "star" are kept apart.
QString sideQualifier(const QStringList& tokens)
{
    if (tokens.isEmpty())
        return QString();
    const QString& first = tokens.first();
    if (first == QLatin1String("port") || first == QLatin1String("stbd") || first == QLatin1String("star"))
        return first;
    return QString();
}

int tokenScore(const QStringList& query, const QString& querySide, const QStringList& candidate, const QString& candidateSide)
{
    int score = 0;
    for (const QString& wanted : query) {
        for (const QString& token : candidate) {
            if (token.contains(wanted) || wanted.contains(token)) {
                score += token == wanted ? 10 : 5;
                break;
            }
        }
    }
    if (querySide.isEmpty() && !candidateSide.isEmpty())
        score -= 3;
    if (query.size() == candidate.size())
        score += 2;
    return score;
}

} // namespace

CsvDataSource::CsvDataSource() = default;

CsvDataSource::~CsvDataSource()
{
    clear();
}

void CsvDataSource::clear()
{
    std::vector<double>().swap(m_times);
    m_channels.clear();
    m_resolveCache.clear();
    m_ascending = false;
    for (RecentChannel& slot : m_recent)
        slot = {};
    m_duration = 0.0;
    m_loaded = false;
    m_errorText.clear();
}

bool CsvDataSource::fail(const QString& message)
{
    clear();
    m_errorText = message;
    return false;
}

bool CsvDataSource::load(const QString& path)
{
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QCoreApplication::translate("CsvDataSource", "Could not open file for reading: %1").arg(path));

    LineReader reader(file);
    std::string_view line;
    CsvFields fields;

    // Session metadata may come first; the channel-name row starts the table.
    bool headerFound = false;
    while (!headerFound && reader.next(line)) {
        if (isBlankLine(line))
            continue;
        splitCsvLine(line, fields);
        headerFound = isHeaderRow(fields);
    }
    if (!headerFound)
        return fail(QCoreApplication::translate("CsvDataSource",
            "Could not find channel-name row. Expected a row starting with 'Time' followed by channel names "
            "(e.g. GPS Speed, RPM). In RaceStudio 3 use File > Export > CSV on a completed session."));
    QStringList names;
    for (int k = 1; k < fields.count(); ++k)
        names.append(fields.trimmedText(k));

    // The line after the names holds the units, whatever it looks like.
    CsvFields units;
    while (reader.next(line)) {
        if (isBlankLine(line))
            continue;
        splitCsvLine(line, units);
        break;
    }

    std::vector<ColumnInfo> columns;
    for (int k = 1; k <= names.size(); ++k) {
        const QString& name = names.at(k - 1);
        if (name.isEmpty() || isMathColumn(name))
            continue;
        const QString unit = units.count() > k ? units.trimmedText(k) : QString();
        columns.push_back({k, name, unit});
        m_channels[name.toLower()] = CsvChannel{name, unit, {}};
    }
    if (columns.empty())
        return fail(QCoreApplication::translate("CsvDataSource",
            "Channel-name row found but it contained no usable channels (all columns were empty or math-only)."));

    // Room for the rows the rest of the file can hold at the length of its
    // first data row, so the columns do not grow step by step.
    std::vector<std::vector<double>> series(columns.size());
    bool reserved = false;
    while (reader.next(line)) {
        if (isBlankLine(line))
            continue;
        splitCsvLine(line, fields);
        if (isHeaderRow(fields))
            break; // the next recorded session starts here
        double time = 0.0;
        // A row at a time that is not a finite number could not be placed on
        // the timeline; it is dropped like any other unreadable row.
        if (!parseNumber(fields.at(0), time) || !std::isfinite(time))
            continue;
        if (!reserved) {
            reserved = true;
            const qint64 rows = std::min<qint64>(file.size() / qint64(line.size() + 1) + 1, qint64(1) << 24);
            m_times.reserve(size_t(rows));
            for (std::vector<double>& column : series)
                column.reserve(size_t(rows));
        }
        m_times.push_back(time);
        for (size_t c = 0; c < columns.size(); ++c) {
            const int k = columns[c].index;
            double v = 0.0;
            if (k >= fields.count() || !parseNumber(fields.at(k), v) || !std::isfinite(v))
                v = 0.0;
            series[c].push_back(v);
        }
    }
    if (m_times.empty())
        return fail(QCoreApplication::translate("CsvDataSource", "Channel-name row found but no numeric data rows followed it."));

    for (size_t c = 0; c < columns.size(); ++c) {
        CsvChannel& channel = m_channels[columns[c].name.toLower()];
        channel.name = columns[c].name;
        channel.unit = columns[c].unit;
        channel.values = std::move(series[c]);
    }

    m_ascending = std::is_sorted(m_times.begin(), m_times.end());
    m_duration = m_times.back() - m_times.front();
    if (m_duration <= 0.0)
        m_duration = m_times.back();
    // A slider cannot run backwards or to infinity.
    if (!std::isfinite(m_duration) || m_duration < 0.0)
        m_duration = 0.0;
    m_loaded = true;
    return true;
}

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

    const std::vector<double>& values = resolved->values;
    const size_t n = std::min(values.size(), m_times.size());
    if (n == 0)
        return 0.0;
    // Written as "not after" so that a NaN time lands on the first sample.
    if (!(timeSeconds > m_times[0]))
        return values[0];
    if (timeSeconds >= m_times[n - 1])
        return values[n - 1];

    const size_t i = std::min(std::max<size_t>(firstAfter(timeSeconds, n), 1), n - 1);
    const double t0 = m_times[i - 1];
    const double dt = m_times[i] - t0;
    if (std::fabs(dt) < 1e-12)
        return values[i - 1];
    return values[i - 1] + (values[i] - values[i - 1]) * (timeSeconds - t0) / dt;
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

QString CsvDataSource::normalisedName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        if (c != QLatin1Char('_') && c != QLatin1Char(' '))
            out.append(c);
    }
    return out.toLower();
}

QString CsvDataSource::matchedColumn(const QString& channel) const
{
    if (channel.isEmpty())
        return QString();

    const auto exact = m_channels.find(channel.toLower());
    if (exact != m_channels.end())
        return exact->second.name;

    const QString wanted = normalisedName(channel);
    for (const auto& entry : m_channels) {
        if (normalisedName(entry.second.name) == wanted)
            return entry.second.name;
    }

    const QStringList query = matchTokens(channel);
    const QString querySide = sideQualifier(query);
    int bestScore = 0;
    QString bestName;
    for (const auto& entry : m_channels) {
        const QStringList tokens = matchTokens(entry.second.name);
        const QString side = sideQualifier(tokens);
        if (!querySide.isEmpty() && side != querySide)
            continue;
        const int score = tokenScore(query, querySide, tokens, side);
        if (score > bestScore) {
            bestScore = score;
            bestName = entry.second.name;
        }
    }
    return bestScore >= 5 ? bestName : QString();
}

QString CsvDataSource::unitOf(const QString& channel) const
{
    if (!m_loaded || channel.isEmpty())
        return QString();
    const auto exact = m_channels.find(channel.toLower());
    if (exact != m_channels.end())
        return exact->second.unit;
    const QString column = matchedColumn(channel);
    if (column.isEmpty())
        return QString();
    const auto found = m_channels.find(column.toLower());
    return found != m_channels.end() ? found->second.unit : QString();
}
