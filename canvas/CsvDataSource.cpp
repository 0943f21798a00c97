#include "canvas/CsvDataSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QUtf8StringView>
#include <QtDebug>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace {

// A column of the channel-name row that holds a channel; only used while loading.
struct ColumnInfo {
    int index = 0;
    QString name;
    QString unit;
};

// The fields of one line, quotes already dropped. A line whose fields are
// each either without quotes or quoted whole ("...") is split in place (the
// fields are spans of the line, valid as long as it is); any other quoting is
// copied back to back into `text`. Either way splitting a data row allocates
// nothing once the buffers have grown.
struct CsvFields {
    std::string text;
    const char* base = nullptr;
    std::vector<size_t> begins; // field i spans [begins[i], ends[i]) of base
    std::vector<size_t> ends;

    int count() const { return int(ends.size()); }
    std::string_view at(int i) const
    {
        return std::string_view(base + begins[size_t(i)], ends[size_t(i)] - begins[size_t(i)]);
    }
    void clear()
    {
        begins.clear();
        ends.clear();
    }
    void add(size_t begin, size_t end)
    {
        begins.push_back(begin);
        ends.push_back(end);
    }
    // Copies fields that are spans of a line into `text`, so that they
    // outlive the line (the reader reuses its buffer for later lines).
    void keep()
    {
        if (base == text.data())
            return;
        std::string copy;
        for (int i = 0; i < count(); ++i) {
            const std::string_view field = at(i);
            begins[size_t(i)] = copy.size();
            copy.append(field.data(), field.size());
            ends[size_t(i)] = copy.size();
        }
        text = std::move(copy);
        base = text.data();
    }
    QString trimmedText(int i, bool latin1) const
    {
        const std::string_view field = at(i);
        return (latin1 ? QString::fromLatin1(field.data(), qsizetype(field.size()))
                       : QString::fromUtf8(field.data(), qsizetype(field.size()))).trimmed();
    }
    bool sameFields(const CsvFields& other) const
    {
        if (count() != other.count())
            return false;
        for (int i = 0; i < count(); ++i) {
            if (at(i) != other.at(i))
                return false;
        }
        return true;
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
        m_scanned = m_pos;
        for (;;) {
            const char* base = m_buffer.constData();
            const qsizetype size = m_buffer.size();
            // Only the bytes that arrived since the last look are searched,
            // so one very long line costs linear time.
            const void* newline = std::memchr(base + m_scanned, '\n', size_t(size - m_scanned));
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
            m_scanned = size;
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
        m_scanned -= m_pos;
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
    qsizetype m_scanned = 0; // bytes before this hold no line end
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

bool isAscii(std::string_view line)
{
    for (char c : line) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// The older RaceStudio generation writes its exports in Latin-1 ("\xB0C"),
// RS3 in UTF-8. A text line that is not valid UTF-8 marks the file as Latin-1.
bool isLatin1Line(std::string_view line)
{
    return !isAscii(line) && !QUtf8StringView(line.data(), qsizetype(line.size())).isValidUtf8();
}

// A line whose trimmed text is empty. Pure-ASCII lines are decided on the
// bytes; only lines with other characters (a no-break space, say) are decoded.
bool isBlankLine(std::string_view line, bool latin1)
{
    for (char c : line) {
        if (static_cast<unsigned char>(c) < 0x80 && !isAsciiBlank(c))
            return false;
    }
    if (isAscii(line))
        return true;
    const qsizetype size = qsizetype(line.size());
    return (latin1 ? QString::fromLatin1(line.data(), size) : QString::fromUtf8(line.data(), size)).trimmed().isEmpty();
}

// The split of a line whose fields are each unquoted or quoted whole, with
// nothing between a closing quote and the next comma: every field is then a
// span of the line itself. False (and `out` to be discarded) for any other
// quoting, which the copying split handles.
bool splitPlainOrWhollyQuoted(std::string_view line, CsvFields& out, int maxFields)
{
    out.clear();
    out.base = line.data();
    const char* const start = line.data();
    const char* const end = start + line.size();
    const char* at = start;
    for (;;) {
        const char* next = nullptr; // the comma after the field, or null at the line's end
        if (at < end && *at == '"') {
            const char* close = static_cast<const char*>(std::memchr(at + 1, '"', size_t(end - at - 1)));
            if (!close || (close + 1 != end && close[1] != ','))
                return false;
            out.add(size_t(at + 1 - start), size_t(close - start));
            next = close + 1 != end ? close + 1 : nullptr;
        } else {
            next = static_cast<const char*>(std::memchr(at, ',', size_t(end - at)));
            const char* const stop = next ? next : end;
            if (std::memchr(at, '"', size_t(stop - at)))
                return false;
            out.add(size_t(at - start), size_t(stop - start));
        }
        if (!next || out.count() >= maxFields)
            return true;
        at = next + 1;
    }
}

// Splits at commas outside double quotes; a quote only toggles quoting and is
// dropped. Works on the raw line: fields keep their blanks. Comma and quote are
// ASCII, so splitting the UTF-8 bytes is the same as splitting the characters.
// Fields past maxFields are not needed by the caller and are not stored, so a
// row of millions of empty cells costs nothing.
void splitCsvLine(std::string_view line, CsvFields& out, int maxFields = std::numeric_limits<int>::max())
{
    if (splitPlainOrWhollyQuoted(line, out, maxFields))
        return;
    out.clear();
    out.text.clear();
    bool inQuotes = false;
    size_t runStart = 0;
    size_t fieldStart = 0;
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
        else {
            out.add(fieldStart, out.text.size());
            fieldStart = out.text.size();
            if (out.count() >= maxFields) {
                out.base = out.text.data();
                return;
            }
        }
    }
    out.text.append(line.data() + runStart, line.size() - runStart);
    out.add(fieldStart, out.text.size());
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
bool isHeaderRow(const CsvFields& fields, bool latin1)
{
    if (fields.count() < 2)
        return false;
    const std::string_view first = trimAscii(fields.at(0));
    if (!first.empty() && (std::strchr("0123456789+-.", first.front()) != nullptr))
        return false;
    // "Time" with some blanks around it; a long cell is not worth decoding.
    constexpr size_t kLongestTimeCell = 256;
    if (first.size() > kLongestTimeCell)
        return false;
    if (fields.trimmedText(0, latin1).compare(QLatin1String("Time"), Qt::CaseInsensitive) != 0)
        return false;
    return startsWithLetter(fields.trimmedText(1, latin1));
}

bool isMathColumn(const QString& name)
{
    return name.startsWith(QLatin1String("Math_"), Qt::CaseInsensitive)
        || name.contains(QLatin1String("(Math)"), Qt::CaseInsensitive);
}

// The channel-name and units rows as written, and the text encoding that the
// lines up to them decide.
struct TableHead {
    CsvFields names;
    CsvFields units;
    bool latin1 = false;
};

// The next line that is not blank; false at the end of the file. Every line
// seen on the way has its say on the encoding.
bool nextTextLine(LineReader& reader, std::string_view& line, bool& latin1)
{
    while (reader.next(line)) {
        latin1 = latin1 || isLatin1Line(line);
        if (!isBlankLine(line, latin1))
            return true;
    }
    return false;
}

// Skips the session metadata up to the channel-name row and reads the units
// row after it. The older RaceStudio generation writes the names row twice;
// a copy right after the names is not the units row. False when the file has
// no channel-name row; a file that ends before the units has none.
bool readTableHead(LineReader& reader, TableHead& head)
{
    std::string_view line;
    bool found = false;
    while (!found && nextTextLine(reader, line, head.latin1)) {
        splitCsvLine(line, head.names, 2);
        found = isHeaderRow(head.names, head.latin1);
    }
    if (!found)
        return false;
    splitCsvLine(line, head.names);
    head.names.keep();
    if (!nextTextLine(reader, line, head.latin1))
        return true;
    // One field more than the names, so that a longer row never looks equal.
    const int unitFields = head.names.count() + 1;
    splitCsvLine(line, head.units, unitFields);
    head.units.keep();
    if (head.units.sameFields(head.names)) {
        head.units = CsvFields();
        if (nextTextLine(reader, line, head.latin1))
            splitCsvLine(line, head.units, unitFields);
        head.units.keep();
    }
    return true;
}

// Turns the time column into session time. The older RaceStudio generation
// restarts "Time" at 0 on every lap; a time smaller than the one before can
// only be such a restart, so from there on the session time of the sample
// before is added. RS3 exports keep ascending times and pass unchanged.
class LapClock {
public:
    // Replaces time as written by its session time; false when that is not a
    // finite number.
    bool place(double& time)
    {
        double lapStart = m_lapStart;
        if (m_any && time < m_previous)
            lapStart = m_last;
        const double session = time + lapStart;
        if (!std::isfinite(session))
            return false;
        m_previous = time;
        m_lapStart = lapStart;
        m_last = session;
        m_any = true;
        time = session;
        return true;
    }

private:
    double m_previous = 0.0; // as written
    double m_lapStart = 0.0;
    double m_last = 0.0;     // session time of the sample before
    bool m_any = false;
};

// The samples of the recorded columns while loading. A column stays a plain
// series while every row reaches it; the first row too short for it turns it
// into (row, value) entries, so that memory follows the cells present.
class SampleTable {
public:
    explicit SampleTable(const std::vector<ColumnInfo>& columns) : m_columns(columns), m_series(columns.size()),
        m_dense(columns.size()) {}

    void addRow(size_t row, const CsvFields& fields)
    {
        // Columns are in field order: the ones this row reaches come first,
        // and so do the ones every row so far has reached.
        const int present = fields.count();
        while (m_dense > 0 && m_columns[m_dense - 1].index >= present)
            makeSparse(--m_dense);
        for (size_t c = 0; c < m_columns.size() && m_columns[c].index < present; ++c) {
            double v = 0.0;
            if (!parseNumber(fields.at(m_columns[c].index), v) || !std::isfinite(v))
                v = 0.0;
            CsvChannel& series = m_series[c];
            if (c >= m_dense)
                series.rows.push_back(row);
            series.values.push_back(v);
        }
    }

    // Room for `rows` more samples in each column the first row reaches,
    // together at most `budget` bytes: growing a column copies what it
    // holds and touches fresh memory each time.
    void reserve(size_t rows, int present, size_t budget)
    {
        size_t reached = 0;
        while (reached < m_columns.size() && m_columns[reached].index < present)
            ++reached;
        if (reached == 0)
            return;
        rows = std::min(rows, budget / (reached * sizeof(double)));
        for (size_t c = 0; c < reached; ++c)
            m_series[c].values.reserve(rows);
    }

    void take(size_t column, CsvChannel& channel)
    {
        std::vector<double>& values = m_series[column].values;
        if (values.capacity() > values.size() + values.size() / 4)
            values.shrink_to_fit(); // the first row was shorter than most
        channel.values = std::move(m_series[column].values);
        channel.rows = std::move(m_series[column].rows);
    }

private:
    void makeSparse(size_t column)
    {
        CsvChannel& series = m_series[column];
        series.rows.resize(series.values.size());
        for (size_t i = 0; i < series.rows.size(); ++i)
            series.rows[i] = i;
    }

    const std::vector<ColumnInfo>& m_columns;
    std::vector<CsvChannel> m_series;
    size_t m_dense; // columns [0, m_dense) have had a cell in every row
};

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
    TableHead head;
    if (!readTableHead(reader, head))
        return fail(QCoreApplication::translate("CsvDataSource",
            "Could not find channel-name row. Expected a row starting with 'Time' followed by channel names "
            "(e.g. GPS Speed, RPM). In RaceStudio 3 use File > Export > CSV on a completed session."));

    std::vector<ColumnInfo> columns;
    for (int k = 1; k < head.names.count(); ++k) {
        const QString name = head.names.trimmedText(k, head.latin1);
        if (name.isEmpty() || isMathColumn(name))
            continue;
        const QString unit = head.units.count() > k ? head.units.trimmedText(k, head.latin1) : QString();
        columns.push_back({k, name, unit});
        m_channels[name.toLower()] = CsvChannel{name, unit, {}, {}};
    }
    if (columns.empty())
        return fail(QCoreApplication::translate("CsvDataSource",
            "Channel-name row found but it contained no usable channels (all columns were empty or math-only)."));

    const qint64 fileBytes = std::max<qint64>(file.size(), 0);
    SampleTable table(columns);
    const int rowFields = columns.back().index + 1;
    std::string_view line;
    CsvFields fields;
    LapClock clock;
    while (reader.next(line)) {
        if (isBlankLine(line, head.latin1))
            continue;
        splitCsvLine(line, fields, rowFields);
        if (isHeaderRow(fields, head.latin1))
            break; // the next recorded session starts here
        double time = 0.0;
        // A row at a time that is not a finite number could not be placed on
        // the timeline; it is dropped like any other unreadable row.
        if (!parseNumber(fields.at(0), time) || !clock.place(time))
            continue;
        if (m_times.empty()) {
            // The rows to come, judged by the size of the first: the file's
            // size bounds what is set aside.
            const size_t estimate = size_t(fileBytes / qint64(line.size() + 1)) + 1;
            table.reserve(estimate, fields.count(), size_t(fileBytes));
            m_times.reserve(std::min(estimate, size_t(fileBytes) / sizeof(double)));
        }
        table.addRow(m_times.size(), fields);
        m_times.push_back(time);
    }
    if (m_times.empty())
        return fail(QCoreApplication::translate("CsvDataSource", "Channel-name row found but no numeric data rows followed it."));

    for (size_t c = 0; c < columns.size(); ++c) {
        CsvChannel& channel = m_channels[columns[c].name.toLower()];
        channel.name = columns[c].name;
        channel.unit = columns[c].unit;
        table.take(c, channel);
    }

    if (m_times.capacity() > m_times.size() + m_times.size() / 4)
        m_times.shrink_to_fit();
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
