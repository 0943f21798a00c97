// How a channel name asked for by a widget finds its column: exact, then
// without blanks and underscores, then by the best token match.
#include "canvas/CsvDataSource.h"

namespace {

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
