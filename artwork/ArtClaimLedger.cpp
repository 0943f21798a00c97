#include "artwork/ArtClaimLedger.h"

#include "model/FolderCopy.h"
#include "model/InstallRoots.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

// Far beyond what years of pastes add; a larger file is not a ledger.
constexpr qint64 kLedgerBound = 8 * 1024 * 1024;
// Past this the ledger keeps only the last weeks.
constexpr qint64 kCompactAt = 512 * 1024;
constexpr qint64 kKeptMs = qint64(30) * 24 * 3600 * 1000;

QByteArray lineOf(const ArtClaimLedger::Claim& c)
{
    return QByteArray::number(c.at) + '\t' + QUrl::toPercentEncoding(c.token) + '\t'
        + QUrl::toPercentEncoding(c.folder) + '\n';
}

bool parse(const QByteArray& bytes, QList<ArtClaimLedger::Claim>& claims)
{
    for (const QByteArray& line : bytes.split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3)
            continue;
        bool ok = false;
        const qint64 at = parts[0].toLongLong(&ok);
        if (ok)
            claims.append({at, QUrl::fromPercentEncoding(parts[1]), QUrl::fromPercentEncoding(parts[2])});
    }
    return true;
}

// Rewrites the ledger with the claims younger than kKeptMs.
void compact(const QString& file)
{
    QList<ArtClaimLedger::Claim> claims;
    if (!ArtClaimLedger::read(claims))
        return;
    const qint64 since = QDateTime::currentMSecsSinceEpoch() - kKeptMs;
    QByteArray kept;
    for (const ArtClaimLedger::Claim& c : claims) {
        if (c.at >= since)
            kept += lineOf(c);
    }
    QFile out(file + QStringLiteral(".new"));
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(kept) == kept.size() && out.flush()) {
        out.close();
        QFile::remove(file);
        QFile::rename(out.fileName(), file);
    } else {
        out.remove();
    }
}

} // namespace

QString ArtClaimLedger::path()
{
    return appDataDir() + QStringLiteral("/art-claims.tsv");
}

bool ArtClaimLedger::related(const QString& a, const QString& b)
{
    const auto below = [](const QString& inner, const QString& outer) {
        return inner.size() > outer.size() && inner.startsWith(outer) && inner.at(outer.size()) == QLatin1Char('/');
    };
    return a == b || below(a, b) || below(b, a);
}

bool ArtClaimLedger::read(QList<Claim>& claims)
{
    claims.clear();
    const QString file = path();
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink())
        return true;
    QByteArray bytes;
    return FolderCopy::readRegularFile(file, kLedgerBound, &bytes) && parse(bytes, claims);
}

bool ArtClaimLedger::claim(const QString& token, const QStringList& folders, QString* error)
{
    if (folders.isEmpty())
        return true;
    const QString file = path();
    const QFileInfo info(file);
    // The ledger is the program's own: never written through a link.
    if (info.isSymLink() || (info.exists() && !info.isFile())) {
        if (error)
            *error = QCoreApplication::translate("ArtClaimLedger", "%1 is not a plain file")
                         .arg(QDir::toNativeSeparators(file));
        return false;
    }
    if (info.size() > kCompactAt)
        compact(file);
    QDir().mkpath(info.path());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QByteArray lines;
    for (const QString& folder : folders)
        lines += lineOf({now, token, QDir::cleanPath(folder)});
    QFile out(file);
    // One append of whole lines: writers of other windows add theirs after.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append) || out.write(lines) != lines.size() || !out.flush()) {
        if (error)
            *error = QCoreApplication::translate("ArtClaimLedger", "cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(file), out.errorString());
        return false;
    }
    return true;
}
