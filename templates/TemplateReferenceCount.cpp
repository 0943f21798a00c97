#include "templates/TemplateReferenceCount.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>
#include <optional>
#include <string_view>

namespace {

// "s04_homebrew" is found by its part that has no letter case, "04_", then
// the letters around it are compared by hand.
constexpr std::string_view kCaseless = "04_";
constexpr std::string_view kAfter = "homebrew";
constexpr qsizetype kSetLength = 12; // "s04_homebrew"

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// The character a reference stands for ("amp", "#38", "#x26"), or none.
std::optional<char32_t> referencedCharacter(QStringView name)
{
    if (name == u"amp")
        return U'&';
    if (name == u"lt")
        return U'<';
    if (name == u"gt")
        return U'>';
    if (name == u"quot")
        return U'"';
    if (name == u"apos")
        return U'\'';
    if (name.size() < 2 || name.front() != u'#')
        return std::nullopt;
    bool ok = false;
    const uint code = (name[1] == u'x' || name[1] == u'X') ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    return char32_t(code);
}

// The text as a parser reads it: character references resolved (an unknown
// one stays as written) and '\' read as '/', the separator either way.
QString readAsParsed(QStringView text, bool resolveReferences)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'&' && resolveReferences) {
            const qsizetype end = text.indexOf(u';', i + 1);
            if (end > i && end - i <= 10) {
                if (const auto ch = referencedCharacter(text.mid(i + 1, end - i - 1))) {
                    out += QString::fromUcs4(&*ch, 1);
                    i = end;
                    continue;
                }
            }
        }
        out += c == u'\\' ? QChar(u'/') : c;
    }
    return out;
}

// How a file's bytes are to be read.
struct FileEncoding {
    QByteArray name;           // empty: UTF-8
    bool asciiCompatible = true; // ASCII text has the same bytes in it
    qsizetype skip = 0;        // byte order mark
};

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

FileEncoding encodingOf(const QByteArray& bytes)
{
    FileEncoding encoding;
    const std::optional<QStringConverter::Encoding> sniffed = QStringConverter::encodingForData(bytes, u'<');
    if (sniffed && *sniffed != QStringConverter::Utf8) {
        encoding.name = QStringConverter::nameForEncoding(*sniffed);
        encoding.asciiCompatible = false;
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
    const QByteArray probe = "s04_homebrew/\\&#;<>";
    QStringEncoder encoder(declared.constData());
    const QByteArray encoded = encoder(QString::fromLatin1(probe));
    encoding.name = QStringDecoder(declared.constData()).name();
    if (encoding.name.compare("UTF-8", Qt::CaseInsensitive) == 0)
        encoding.name.clear();
    // The declaration was read as single bytes, so the file is written in
    // them: one naming UTF-16 or the like is mislabelled and read as UTF-8,
    // as a parser would.
    if (encoder.hasError() || encoded != probe)
        encoding.name.clear();
    return encoding;
}

// A stretch of bytes after "s04_homebrew" as text; UTF-8 that is not valid
// UTF-8 is read as windows-1252 (a Latin-1 file that does not say so).
QString decodeStretch(QByteArrayView bytes, const QByteArray& encoding)
{
    if (encoding.isEmpty()) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(bytes);
        if (!utf8.hasError())
            return text;
        QStringDecoder latin("windows-1252");
        return latin.isValid() ? QString(latin(bytes)) : QString::fromLatin1(bytes);
    }
    QStringDecoder decoder(encoding.constData());
    return decoder(bytes);
}

// Counts "s04_homebrew" + tail in ASCII-compatible bytes. The stretch read
// after each hit ends where markup begins ('<') and is long enough for the
// tail written with a reference for every character.
int countInBytes(std::string_view data, const QString& tail, const QByteArray& encoding, bool resolveReferences)
{
    const size_t stretchMax = size_t(tail.size()) * 12 + 16;
    int count = 0;
    for (size_t at = data.find(kCaseless); at != std::string_view::npos; at = data.find(kCaseless, at + 1)) {
        if (at < 1 || lowerAscii(data[at - 1]) != 's' || data.size() - at < kSetLength - 1)
            continue;
        bool letters = true;
        for (size_t k = 0; letters && k < kAfter.size(); ++k)
            letters = lowerAscii(data[at + kCaseless.size() + k]) == kAfter[k];
        if (!letters)
            continue;
        const size_t start = at - 1 + kSetLength;
        std::string_view stretch = data.substr(start, stretchMax);
        stretch = stretch.substr(0, stretch.find('<'));
        const QString text = decodeStretch(QByteArrayView(stretch.data(), qsizetype(stretch.size())), encoding);
        if (readAsParsed(text, resolveReferences).startsWith(tail, Qt::CaseInsensitive)) {
            ++count;
            at = start;
        }
    }
    return count;
}

// The same over text already decoded (a file that is not ASCII-compatible).
int countInText(const QString& text, const QString& tail)
{
    const qsizetype stretchMax = tail.size() * 12 + 16;
    int count = 0;
    for (qsizetype at = text.indexOf(u"s04_homebrew", 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(u"s04_homebrew", at + kSetLength, Qt::CaseInsensitive)) {
        QStringView stretch = QStringView(text).mid(at + kSetLength, stretchMax);
        if (const qsizetype markup = stretch.indexOf(u'<'); markup >= 0)
            stretch = stretch.left(markup);
        if (readAsParsed(stretch, true).startsWith(tail, Qt::CaseInsensitive))
            ++count;
    }
    return count;
}

QString tailOf(const QString& folderName)
{
    return QLatin1Char('/') + folderName + QLatin1Char('/');
}

class ValueWalker : public pugi::xml_tree_walker {
public:
    explicit ValueWalker(const QString& tail) : m_tail(tail) {}

    bool for_each(pugi::xml_node& node) override
    {
        add(node);
        return true;
    }

    void add(const pugi::xml_node& node)
    {
        for (const pugi::xml_attribute& attribute : node.attributes())
            count += countIn(attribute.value());
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            count += countIn(node.value());
    }

    int count = 0;

private:
    int countIn(const char* value) const { return countInBytes(value, m_tail, QByteArray(), false); }

    QString m_tail;
};

} // namespace

int TemplateReferenceCount::inDeviceBytes(const QByteArray& bytes, const QString& folderName)
{
    if (folderName.isEmpty() || bytes.isEmpty())
        return 0;
    const FileEncoding encoding = encodingOf(bytes);
    if (!encoding.asciiCompatible) {
        QStringDecoder decoder(encoding.name.constData());
        return countInText(decoder(bytes), tailOf(folderName));
    }
    const std::string_view data(bytes.constData() + encoding.skip, size_t(bytes.size() - encoding.skip));
    return countInBytes(data, tailOf(folderName), encoding.name, true);
}

int TemplateReferenceCount::inNode(const pugi::xml_node& node, const QString& folderName)
{
    if (folderName.isEmpty() || !node)
        return 0;
    ValueWalker walker(tailOf(folderName));
    walker.add(node);
    pugi::xml_node(node).traverse(walker);
    return walker.count;
}
