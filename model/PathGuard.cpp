#include "model/PathGuard.h"

#include "model/FileEntries.h"

#include <QDir>

#include <algorithm>

namespace PathGuard {

namespace {

Qt::CaseSensitivity fileNameCase()
{
#ifdef Q_OS_WIN
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

bool refuse(QString* why, const QString& reason)
{
    if (why)
        *why = reason;
    return false;
}

QString cleaned(const QString& path)
{
    QString p = QDir::cleanPath(QDir::fromNativeSeparators(path));
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

} // namespace

bool isSafeRelativePath(const QString& rel, QString* why)
{
    if (rel.isEmpty())
        return refuse(why, QStringLiteral("empty path"));
    if (rel.contains(QLatin1Char('\\')))
        return refuse(why, QStringLiteral("backslash in path"));
    if (rel.contains(QChar(0)))
        return refuse(why, QStringLiteral("NUL in path"));
    if (rel.startsWith(QLatin1Char('/')))
        return refuse(why, QStringLiteral("absolute path"));
    bool named = false;
    for (const QString& part : rel.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return refuse(why, QStringLiteral("\"..\" component"));
        if (part.contains(QLatin1Char(':')))
            return refuse(why, QStringLiteral("drive or stream component"));
        named = true;
    }
    if (!named)
        return refuse(why, QStringLiteral("no file or folder named"));
    return true;
}

bool isSafeName(const QString& name)
{
    // Our own endings make a name longer on the disk than typed.
    if (name.isEmpty() || name.size() > 100 || !FileEntries::nameFits(name))
        return false;
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar ch : name) {
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7f || ch.category() == QChar::Other_Control
            || forbidden.contains(ch))
            return false;
    }
    const auto isEdge = [](QChar ch) { return ch == QLatin1Char('.') || ch.isSpace(); };
    return !isEdge(name.front()) && !isEdge(name.back());
}

bool isSafeFamily(const QString& family)
{
    if (family.isEmpty())
        return false;
    const QStringList parts = family.split(QLatin1Char('/'));
    return std::all_of(parts.cbegin(), parts.cend(), [](const QString& part) { return isSafeName(part); });
}

QString normalized(const QString& rel)
{
    if (!isSafeRelativePath(rel))
        return {};
    QStringList parts = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    QString out = parts.join(QLatin1Char('/'));
    if (rel.endsWith(QLatin1Char('/')))
        out += QLatin1Char('/');
    return out;
}

bool isInside(const QString& root, const QString& path)
{
    if (root.isEmpty() || path.isEmpty())
        return false;
    const QString r = cleaned(root);
    const QString p = cleaned(path);
    if (p.compare(r, fileNameCase()) == 0)
        return true;
    const QString prefix = r.endsWith(QLatin1Char('/')) ? r : r + QLatin1Char('/');
    return p.startsWith(prefix, fileNameCase());
}

QString join(const QString& root, const QString& rel)
{
    const QString body = normalized(rel);
    if (root.isEmpty() || body.isEmpty())
        return {};
    const QString r = cleaned(root);
    const QString joined = cleaned(r + QLatin1Char('/') + body);
    if (!isInside(r, joined))
        return {};
    return joined;
}

} // namespace PathGuard
