#include "templates/TemplateReferenceCount.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kSet = "s04_homebrew";
constexpr char32_t kNone = 0xFFFFFFFF;

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// windows-1252's letters in 0x80..0x9F; the rest of the byte range is
// Latin-1's. How a Latin-1 file without a declaration reads.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t cp1252(uchar byte)
{
    return byte >= 0x80 && byte < 0xA0 ? char32_t(kCp1252High[byte - 0x80]) : char32_t(byte);
}

char32_t folded(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    return QChar::toCaseFolded(c);
}

bool isBlank(char32_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Bytes in UTF-8 (a byte that is not valid UTF-8 read as windows-1252) or in
// a single-byte encoding given by a table.
class ByteText {
public:
    static constexpr size_t npos = std::string_view::npos;

    ByteText(std::string_view data, const std::array<char32_t, 256>* table) : m_data(data), m_table(table) {}

    size_t size() const { return m_data.size(); }
    size_t find(size_t from) const { return m_data.find("04_", from); }
    size_t findAmp(size_t from) const { return m_data.find('&', from); }

    // A start found by backing up lands on a character's first byte.
    size_t synced(size_t at) const
    {
        if (m_table)
            return at;
        while (at < m_data.size() && (uchar(m_data[at]) & 0xC0) == 0x80 && at > 0)
            ++at;
        return at;
    }

    char32_t next(size_t& at) const
    {
        const uchar b = uchar(m_data[at++]);
        if (b < 0x80)
            return b;
        if (m_table)
            return (*m_table)[b];
        return utf8(b, at);
    }

    // How many bytes at `at` spell the start of "s04_homebrew/" as written
    // (any letter case, either separator): 13 for all of it.
    size_t literalSet(size_t at) const
    {
        const size_t most = std::min(m_data.size() - at, kSet.size());
        size_t k = 0;
        while (k < most && lowerAscii(m_data[at + k]) == kSet[k])
            ++k;
        if (k == kSet.size() && at + k < m_data.size() && (m_data[at + k] == '/' || m_data[at + k] == '\\'))
            ++k;
        return k;
    }

    // How many bytes at `at` spell the start of the name as written (ASCII
    // in any letter case, the rest as its UTF-8 bytes), ending on a
    // character's last byte, before any '&'. Only UTF-8 text is compared
    // this way.
    size_t literalName(size_t at, const QByteArray& name) const
    {
        if (m_table)
            return 0;
        const size_t most = std::min(m_data.size() - at, size_t(name.size()));
        size_t k = 0;
        // A '&' may begin a reference: it is read character by character.
        while (k < most && m_data[at + k] != '&' && lowerAscii(m_data[at + k]) == name[qsizetype(k)])
            ++k;
        while (k > 0 && k < size_t(name.size()) && (uchar(name[qsizetype(k)]) & 0xC0) == 0x80)
            --k;
        return k;
    }

private:
    char32_t utf8(uchar lead, size_t& at) const
    {
        int more = 0;
        char32_t c = 0;
        char32_t least = 0;
        if ((lead & 0xE0) == 0xC0) {
            more = 1;
            c = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2;
            c = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3;
            c = lead & 0x07;
            least = 0x10000;
        } else {
            return cp1252(lead);
        }
        if (at + size_t(more) > m_data.size())
            return cp1252(lead);
        for (int k = 0; k < more; ++k) {
            const uchar b = uchar(m_data[at + size_t(k)]);
            if ((b & 0xC0) != 0x80)
                return cp1252(lead);
            c = (c << 6) | (b & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return cp1252(lead);
        at += size_t(more);
        return c;
    }

    std::string_view m_data;
    const std::array<char32_t, 256>* m_table;
};

// Text already decoded (a file in UTF-16, UTF-32 or a multi-byte encoding):
// always read character by character.
class WideText {
public:
    static constexpr size_t npos = size_t(-1);

    explicit WideText(QStringView text) : m_text(text) {}

    size_t size() const { return size_t(m_text.size()); }
    size_t find(size_t from) const { return found(m_text.indexOf(u"04_", qsizetype(from))); }
    size_t findAmp(size_t from) const { return found(m_text.indexOf(u'&', qsizetype(from))); }
    size_t synced(size_t at) const { return at < size() && m_text[qsizetype(at)].isLowSurrogate() ? at + 1 : at; }
    size_t literalSet(size_t at) const
    {
        const size_t most = std::min(size() - at, kSet.size());
        size_t k = 0;
        while (k < most && m_text[qsizetype(at + k)].unicode() < 0x80
               && lowerAscii(char(m_text[qsizetype(at + k)].unicode())) == kSet[k])
            ++k;
        if (k == kSet.size() && at + k < size()
            && (m_text[qsizetype(at + k)] == u'/' || m_text[qsizetype(at + k)] == u'\\'))
            ++k;
        return k;
    }
    size_t literalName(size_t, const QByteArray&) const { return 0; }

    char32_t next(size_t& at) const
    {
        const QChar c = m_text[qsizetype(at++)];
        if (c.isHighSurrogate() && at < size() && m_text[qsizetype(at)].isLowSurrogate())
            return QChar::surrogateToUcs4(c, m_text[qsizetype(at++)]);
        return c.unicode();
    }

private:
    static size_t found(qsizetype at) { return at < 0 ? npos : size_t(at); }

    QStringView m_text;
};

// A text whose places where a reference could begin ("04_" and '&') were
// looked up once, for counting several names in it: each name's count then
// skips between them without searching the text again.
template <typename Text>
class IndexedText : public Text {
public:
    static constexpr size_t npos = Text::npos;

    explicit IndexedText(const Text& text) : Text(text)
    {
        for (size_t at = text.find(0); at != npos; at = text.find(at + 1))
            m_digits.push_back(at);
        for (size_t at = text.findAmp(0); at != npos; at = text.findAmp(at + 1))
            m_amps.push_back(at);
    }

    size_t find(size_t from) const { return after(m_digits, from); }
    size_t findAmp(size_t from) const { return after(m_amps, from); }

private:
    static size_t after(const std::vector<size_t>& at, size_t from)
    {
        const auto it = std::lower_bound(at.begin(), at.end(), from);
        return it == at.end() ? npos : *it;
    }

    std::vector<size_t> m_digits;
    std::vector<size_t> m_amps;
};

// The character a reference names: the five XML names, decimal and
// hexadecimal numbers with any count of leading zeros. kNone when it names
// none, or is not closed by ';'.
template <typename Text>
char32_t reference(const Text& text, size_t& at)
{
    const size_t end = text.size();
    if (at >= end)
        return kNone;
    char32_t c = text.next(at);
    if (c == '#') {
        int base = 10;
        if (at < end) {
            size_t peek = at;
            const char32_t x = text.next(peek);
            if (x == 'x' || x == 'X') {
                base = 16;
                at = peek;
            }
        }
        char32_t value = 0;
        int digits = 0;
        while (at < end) {
            c = text.next(at);
            int d = -1;
            if (c >= '0' && c <= '9')
                d = int(c - '0');
            else if (base == 16 && c >= 'a' && c <= 'f')
                d = int(c - 'a' + 10);
            else if (base == 16 && c >= 'A' && c <= 'F')
                d = int(c - 'A' + 10);
            if (d < 0)
                break;
            ++digits;
            value = std::min<char32_t>(value * char32_t(base) + char32_t(d), 0x110000);
        }
        if (c != ';' || digits == 0 || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return kNone;
        return value;
    }
    char name[5] = {};
    int length = 0;
    while (c != ';') {
        if (length == 4 || c > 'z' || at >= end)
            return kNone;
        name[length++] = char(c);
        c = text.next(at);
    }
    const std::string_view n(name, size_t(length));
    if (n == "amp")
        return '&';
    if (n == "lt")
        return '<';
    if (n == "gt")
        return '>';
    if (n == "quot")
        return '"';
    if (n == "apos")
        return '\'';
    return kNone;
}

// Counts "s04_homebrew" + separator + name, as a parser reads the text, where
// the name ends a path part: a separator, the end of a value or the end of
// the text follows. One pass, each character looked at a bounded number of
// times, so a file made of near-misses costs no more than any other.
class Counter {
public:
    Counter(const std::vector<char32_t>& name, bool markup) : m_name(name), m_markup(markup)
    {
        // The name's bytes as UTF-8 text writes it, and where the set name's
        // search stands after each of its first characters, for the stretch
        // compared as written.
        m_charsAt.push_back(0);
        for (const char32_t c : name) {
            for (const char b : QString::fromUcs4(&c, 1).toUtf8()) {
                m_nameBytes += lowerAscii(b);
                m_charsAt.push_back(m_charsAt.back());
            }
            m_charsAt.back() += 1;
        }
        m_setAfter.push_back(0);
        for (const char32_t c : name)
            m_setAfter.push_back(nextSetState(m_setAfter.back(), c));
    }

    template <typename Text>
    int run(const Text& text)
    {
        // Each text is counted on its own (a document's values one by one).
        m_set = 0;
        m_active = false;
        m_matched = 0;
        m_count = 0;
        m_digits = 0;
        m_amp = 0;
        size_t at = 0;
        const size_t end = text.size();
        while (at < end) {
            if (m_set == 0 && !m_active) {
                at = text.synced(nextStart(text, at));
                if (at >= end)
                    break;
                // What is written as it is is taken at once.
                const size_t set = text.literalSet(at);
                at += set;
                if (set > kSet.size()) {
                    startName(text, at);
                    continue;
                }
                m_set = set;
                if (set > 0)
                    continue;
            }
            const size_t unit = at;
            bool raw = true;
            char32_t c = text.next(at);
            if (c == '&' && m_markup) {
                size_t after = at;
                const char32_t named = reference(text, after);
                if (named != kNone) {
                    c = named;
                    raw = false;
                    at = after;
                }
            }
            // A name that stopped matching hands its character back to the
            // search, which can skip again from there.
            if (feed(c == '\\' ? char32_t('/') : c, raw))
                at = unit;
        }
        if (m_active && m_matched == m_name.size())
            ++m_count;
        return m_count;
    }

private:
    // Where a reference could begin, with nothing under way at `from`:
    // "s04_homebrew" holds "04_" as written, or one of its first four
    // characters is a reference, whose '&' lies at most three after the 's'.
    // The 's' of a "04_" right at `from` was already seen.
    template <typename Text>
    size_t nextStart(const Text& text, size_t from)
    {
        if (m_digits < from + 1)
            m_digits = text.find(from + 1);
        size_t start = m_digits == Text::npos ? Text::npos : m_digits - 1;
        if (m_markup) {
            if (m_amp < from)
                m_amp = text.findAmp(from);
            if (m_amp != Text::npos)
                start = std::min(start, m_amp >= from + 3 ? m_amp - 3 : from);
        }
        return start == Text::npos ? text.size() : start;
    }

    // A candidate begins after "s04_homebrew/": the stretch of the name
    // written as it is is taken at once.
    template <typename Text>
    void startName(const Text& text, size_t& at)
    {
        m_active = true;
        m_blank = false;
        const size_t bytes = text.literalName(at, m_nameBytes);
        at += bytes;
        m_matched = m_charsAt[bytes];
        m_set = m_setAfter[m_matched];
    }

    static size_t nextSetState(size_t state, char32_t c)
    {
        const char32_t f = folded(c);
        if (state < kSet.size() && f == char32_t(kSet[state]))
            return state + 1;
        return f == 's' ? 1 : 0;
    }

    // Takes one character; true when it ended a candidate without a match
    // while the search stood at its start, so it can be looked at again.
    bool feed(char32_t c, bool raw)
    {
        const bool wasActive = m_active;
        const bool counted = m_active && advanceName(c, raw);
        if (wasActive && !m_active && !counted && m_set == 0)
            return true;
        if (m_set == kSet.size()) {
            m_set = 0;
            if (c == '/' && !counted) {
                m_active = true;
                m_matched = 0;
                m_blank = false;
                return false;
            }
        }
        m_set = nextSetState(m_set, c);
        return false;
    }

    // Takes the next character of a candidate; true when it completes one.
    bool advanceName(char32_t c, bool raw)
    {
        if (m_matched < m_name.size()) {
            if (folded(c) == m_name[m_matched])
                ++m_matched;
            else
                m_active = false;
            return false;
        }
        // The whole name: what follows decides whether it is a path part.
        // A value may end in blanks, which a reader trims.
        if (c == '/' && !m_blank)
            return finish(true);
        if (isBlank(c)) {
            m_blank = true;
            return false;
        }
        return finish(m_markup && raw && (c == '<' || c == '"' || c == '\''));
    }

    bool finish(bool found)
    {
        m_active = false;
        if (found)
            ++m_count;
        return found;
    }

    const std::vector<char32_t>& m_name;
    bool m_markup;
    QByteArray m_nameBytes;
    std::vector<size_t> m_charsAt;  // characters in the first n bytes of m_nameBytes
    std::vector<size_t> m_setAfter; // the set name's search after the first n characters
    size_t m_set = 0;
    bool m_active = false;
    size_t m_matched = 0;
    bool m_blank = false;
    int m_count = 0;
    size_t m_digits = 0; // the next "04_" looked up, npos when there is none
    size_t m_amp = 0;    // the same for '&'
};

std::vector<char32_t> foldedName(const QString& folderName)
{
    std::vector<char32_t> name;
    for (const char32_t c : folderName.toUcs4())
        name.push_back(folded(c == '\\' ? '/' : c));
    return name;
}

QByteArray declaredEncoding(const QByteArray& bytes, qsizetype from)
{
    if (!bytes.mid(from, 5).startsWith("<?xml"))
        return {};
    const qsizetype end = bytes.left(from + 512).indexOf("?>", from);
    if (end < 0)
        return {};
    static const QRegularExpression declaration(QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
    const QRegularExpressionMatch m = declaration.match(QString::fromLatin1(bytes.mid(from, end - from)));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

// The characters of a single-byte encoding, byte by byte, when it is one
// that keeps ASCII as it is; none for a multi-byte or shifting encoding.
const std::array<char32_t, 256>* singleByteTable(const QByteArray& encoding)
{
    thread_local QHash<QByteArray, std::optional<std::array<char32_t, 256>>> tables;
    auto it = tables.find(encoding);
    if (it == tables.end()) {
        std::array<char32_t, 256> table{};
        bool single = true;
        for (int b = 0; b < 256 && single; ++b) {
            QStringDecoder decoder(encoding.constData());
            const char byte = char(b);
            const QString text = decoder(QByteArrayView(&byte, 1));
            single = !decoder.hasError() && text.size() == 1 && (b >= 0x80 || text[0].unicode() == b || b < 0x20);
            table[size_t(b)] = single ? text[0].unicode() : 0;
        }
        it = tables.insert(encoding, single ? std::optional(table) : std::nullopt);
    }
    return it->has_value() ? &**it : nullptr;
}

// ISO-2022-JP read by table, several times faster than the general decoder:
// the two-byte characters of JIS X 0208 come from one decode of them all.
// False for anything the table does not cover (another escape sequence),
// which is then decoded the general way.
bool decodeIso2022Jp(const QByteArray& bytes, QString* out)
{
    static const QString jis0208 = [] {
        QByteArray all = "\x1b$B";
        for (int lead = 0x21; lead <= 0x7E; ++lead) {
            for (int trail = 0x21; trail <= 0x7E; ++trail)
                all += char(lead), all += char(trail);
        }
        all += "\x1b(B";
        QStringDecoder decoder("ISO-2022-JP");
        const QString text = decoder.isValid() ? QString(decoder(all)) : QString();
        return text.size() == 94 * 94 ? text : QString();
    }();
    if (jis0208.isEmpty())
        return false;
    enum class Mode { Ascii, Roman, Kana, Double } mode = Mode::Ascii;
    const qsizetype size = bytes.size();
    QString text(size, Qt::Uninitialized);
    QChar* to = text.data();
    const char* from = bytes.constData();
    for (qsizetype i = 0; i < size; ++i) {
        // A run of ASCII up to the next escape, widened in one go.
        if (mode == Mode::Ascii) {
            const void* escape = std::memchr(from + i, 0x1B, size_t(size - i));
            const qsizetype stop = escape ? static_cast<const char*>(escape) - from : size;
            uchar high = 0;
            for (qsizetype k = i; k < stop; ++k) {
                high |= uchar(from[k]);
                *to++ = QChar(uchar(from[k]));
            }
            if (high >= 0x80)
                return false;
            i = stop;
            if (i >= size)
                break;
        }
        const uchar b = uchar(bytes[i]);
        if (b == 0x1B) {
            const QByteArray escape = bytes.mid(i + 1, 2);
            if (escape == "(B")
                mode = Mode::Ascii;
            else if (escape == "(J")
                mode = Mode::Roman;
            else if (escape == "(I")
                mode = Mode::Kana;
            else if (escape == "$@" || escape == "$B")
                mode = Mode::Double;
            else
                return false;
            i += 2;
            continue;
        }
        if (b >= 0x80)
            return false;
        if (mode == Mode::Double && b >= 0x21 && b <= 0x7E && i + 1 < size) {
            const uchar trail = uchar(bytes[i + 1]);
            if (trail < 0x21 || trail > 0x7E)
                return false;
            *to++ = jis0208[(b - 0x21) * 94 + (trail - 0x21)];
            ++i;
        } else if (mode == Mode::Kana && b >= 0x21 && b <= 0x5F) {
            *to++ = QChar(0xFF61 + (b - 0x21));
        } else if (mode == Mode::Roman && (b == 0x5C || b == 0x7E)) {
            *to++ = QChar(b == 0x5C ? 0x00A5 : 0x203E);
        } else {
            *to++ = QLatin1Char(char(b));
        }
    }
    text.truncate(to - text.constData());
    *out = text;
    return true;
}

// How a file's bytes are read: as UTF-8 (empty name), by a single-byte
// table, or decoded whole (any other encoding).
struct FileEncoding {
    QByteArray name;
    qsizetype skip = 0;
    const std::array<char32_t, 256>* table = nullptr;
};

FileEncoding encodingOf(const QByteArray& bytes)
{
    FileEncoding encoding;
    const std::optional<QStringConverter::Encoding> sniffed = QStringConverter::encodingForData(bytes, u'<');
    if (sniffed && *sniffed != QStringConverter::Utf8) {
        encoding.name = QStringConverter::nameForEncoding(*sniffed);
        return encoding;
    }
    // A UTF-8 byte order mark says more than any declaration after it.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        encoding.skip = 3;
        return encoding;
    }
    const QByteArray declared = declaredEncoding(bytes, 0);
    if (declared.isEmpty() || !QStringDecoder(declared.constData()).isValid())
        return encoding; // UTF-8, as for any XML that does not say
    const QByteArray name = QStringDecoder(declared.constData()).name();
    if (name.compare("UTF-8", Qt::CaseInsensitive) == 0)
        return encoding;
    // The declaration was read as single bytes, so the file is written in
    // them: one naming UTF-16 or the like is mislabelled and read as UTF-8,
    // as a parser would.
    const QByteArray probe = "<?xml encoding s04_homebrew/\\&#;<>";
    QStringEncoder encoder(name.constData());
    if (QByteArray(encoder(QString::fromLatin1(probe))) != probe || encoder.hasError())
        return encoding;
    encoding.name = name;
    encoding.table = singleByteTable(name);
    return encoding;
}

} // namespace

int TemplateReferenceCount::inDeviceBytes(const QByteArray& bytes, const QString& folderName)
{
    if (folderName.isEmpty() || bytes.isEmpty())
        return 0;
    const std::vector<char32_t> name = foldedName(folderName);
    const FileEncoding encoding = encodingOf(bytes);
    Counter counter(name, true);
    if (!encoding.name.isEmpty() && !encoding.table) {
        QString text;
        if (encoding.name.compare("ISO-2022-JP", Qt::CaseInsensitive) != 0 || !decodeIso2022Jp(bytes, &text)) {
            QStringDecoder decoder(encoding.name.constData());
            text = decoder(bytes);
        }
        return counter.run(WideText(text));
    }
    const std::string_view data(bytes.constData() + encoding.skip, size_t(bytes.size() - encoding.skip));
    return counter.run(ByteText(data, encoding.table));
}

QList<int> TemplateReferenceCount::inDeviceBytes(const QByteArray& bytes, const QStringList& folderNames)
{
    QList<int> counts(folderNames.size(), 0);
    if (bytes.isEmpty() || folderNames.isEmpty())
        return counts;
    const FileEncoding encoding = encodingOf(bytes);
    const auto countAll = [&](const auto& text) {
        for (qsizetype i = 0; i < folderNames.size(); ++i) {
            if (folderNames[i].isEmpty())
                continue;
            const std::vector<char32_t> name = foldedName(folderNames[i]);
            Counter counter(name, true);
            counts[i] = counter.run(text);
        }
    };
    if (!encoding.name.isEmpty() && !encoding.table) {
        QString text;
        if (encoding.name.compare("ISO-2022-JP", Qt::CaseInsensitive) != 0 || !decodeIso2022Jp(bytes, &text)) {
            QStringDecoder decoder(encoding.name.constData());
            text = decoder(bytes);
        }
        countAll(IndexedText<WideText>(WideText(text)));
        return counts;
    }
    const std::string_view data(bytes.constData() + encoding.skip, size_t(bytes.size() - encoding.skip));
    countAll(IndexedText<ByteText>(ByteText(data, encoding.table)));
    return counts;
}

int TemplateReferenceCount::inNode(const pugi::xml_node& node, const QString& folderName)
{
    if (folderName.isEmpty() || !node)
        return 0;
    const std::vector<char32_t> name = foldedName(folderName);
    int count = 0;
    Counter counter(name, false);
    const auto countIn = [&](const char* value) {
        if (*value)
            count += counter.run(ByteText(std::string_view(value), nullptr));
    };
    struct Walker : pugi::xml_tree_walker {
        std::function<void(const pugi::xml_node&)> add;
        bool for_each(pugi::xml_node& n) override
        {
            add(n);
            return true;
        }
    } walker;
    walker.add = [&](const pugi::xml_node& n) {
        for (const pugi::xml_attribute& attribute : n.attributes())
            countIn(attribute.value());
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
            countIn(n.value());
    };
    walker.add(node);
    pugi::xml_node(node).traverse(walker);
    return count;
}
