#include "artwork/ArtClaimLedger.h"

#include "artwork/ArtClaimLock.h"

#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/SafeWrite.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QHash>
#include <QLockFile>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <memory>

namespace {

// Far beyond what the running editors' pastes describe; a larger file is
// not a ledger of this program's.
constexpr qint64 kLedgerBound = 8 * 1024 * 1024;
const QByteArray kHeader = "korvelanto-art-claims\t2\t";
// Kept readable: a tab or a line break never appears unescaped in a field.
const QByteArray kPlain = "/:@-._~!$&'()*+,;= ";

QString tr(const char* text)
{
    return QCoreApplication::translate("ArtClaimLedger", text);
}

QString writersFolder()
{
    return appDataDir() + QStringLiteral("/art-writers");
}

QByteArray lineOf(const ArtClaimLedger::Claim& c)
{
    return QByteArray::number(c.seq) + '\t' + (c.kind == ArtClaimLedger::Kind::Paste ? "p" : "u") + '\t'
        + QUrl::toPercentEncoding(c.token, kPlain) + '\t' + QUrl::toPercentEncoding(c.folder, kPlain) + '\n';
}

// Whole lines only: a last line an abnormal end cut short is left out, so
// the claim written after it stands on its own line.
void parse(const QByteArray& bytes, ArtClaimLedger::Contents& ledger)
{
    if (!bytes.startsWith(kHeader))
        return; // not one of ours, or of an earlier kind: nothing placeable
    const qsizetype headerEnd = bytes.indexOf('\n');
    if (headerEnd < 0)
        return;
    ledger.generation = QString::fromLatin1(bytes.mid(kHeader.size(), headerEnd - kHeader.size()));
    qsizetype at = headerEnd + 1;
    for (qsizetype end = bytes.indexOf('\n', at); end >= 0; at = end + 1, end = bytes.indexOf('\n', at)) {
        const QList<QByteArray> parts = bytes.mid(at, end - at).split('\t');
        bool ok = false;
        const qint64 seq = parts.value(0).toLongLong(&ok);
        if (parts.size() != 4 || !ok || (parts[1] != "p" && parts[1] != "u"))
            continue;
        ledger.claims.append({seq, parts[1] == "p" ? ArtClaimLedger::Kind::Paste : ArtClaimLedger::Kind::Use,
                              QUrl::fromPercentEncoding(parts[2]), QUrl::fromPercentEncoding(parts[3])});
    }
}

QByteArray serialized(const ArtClaimLedger::Contents& ledger)
{
    QByteArray bytes = kHeader + ledger.generation.toLatin1() + '\n';
    for (const ArtClaimLedger::Claim& c : ledger.claims)
        bytes += lineOf(c);
    return bytes;
}

QString editorOf(const QString& token)
{
    return token.section(QLatin1Char('/'), 0, 0);
}

// The folder and those it lies in, itself first.
QStringList selfAndAbove(const QString& folder)
{
    QStringList out{folder};
    for (qsizetype at = folder.lastIndexOf(QLatin1Char('/')); at > 0; at = folder.lastIndexOf(QLatin1Char('/'), at - 1))
        out << folder.left(at);
    return out;
}

// The lowest number of a paste claim of each folder (`at`), and of each
// folder with such a claim at or below it (`within`): a file's claim asks
// them along its own folder's path only, so the trim stays linear in the
// ledger's lines.
struct PastesBy {
    QHash<QString, qint64> at;
    QHash<QString, qint64> within;

    static void lower(QHash<QString, qint64>& map, const QString& key, qint64 seq)
    {
        auto it = map.find(key);
        if (it == map.end())
            map.insert(key, seq);
        else
            *it = std::min(*it, seq);
    }

    void add(const ArtClaimLedger::Claim& paste)
    {
        lower(at, paste.folder, paste.seq);
        for (const QString& folder : selfAndAbove(paste.folder))
            lower(within, folder, paste.seq);
    }

    // Whether a paste of a related folder (it, one below it or one it lies
    // in) is older than seq.
    bool olderThan(const QString& folder, qint64 seq) const
    {
        const auto below = within.constFind(folder);
        if (below != within.constEnd() && *below < seq)
            return true;
        for (const QString& above : selfAndAbove(folder)) {
            const auto it = at.constFind(above);
            if (it != at.constEnd() && *it < seq)
                return true;
        }
        return false;
    }
};

// What a write keeps: the claims of folders still there; of pastes, those
// of editors still running (only they can take a paste back); of files,
// those a kept paste of a related folder is older than (only such a paste's
// undo asks about them). Each folder is looked at once.
void trim(ArtClaimLedger::Contents& ledger)
{
    QHash<QString, bool> runs;
    QHash<QString, bool> there;
    QList<ArtClaimLedger::Claim> kept;
    PastesBy pastes;
    for (const ArtClaimLedger::Claim& c : std::as_const(ledger.claims)) {
        auto is = there.find(c.folder);
        if (is == there.end())
            is = there.insert(c.folder, FileEntries::kindOf(c.folder) != FileEntries::Kind::Missing);
        if (!*is)
            continue;
        if (c.kind == ArtClaimLedger::Kind::Paste) {
            const QString editor = editorOf(c.token);
            auto it = runs.find(editor);
            if (it == runs.end())
                it = runs.insert(editor, ArtClaimLedger::editorRuns(editor));
            if (!*it)
                continue;
            pastes.add(c);
        }
        kept.append(c);
    }
    ledger.claims.clear();
    for (const ArtClaimLedger::Claim& c : std::as_const(kept)) {
        if (c.kind == ArtClaimLedger::Kind::Paste || pastes.olderThan(c.folder, c.seq))
            ledger.claims.append(c);
    }
}

// Those of folders whose newest claim is not one of this window's. A later
// write of the same window needs no line of its own on a folder the window
// holds the newest claim on: every other writer's undo already sees that
// claim, and the window's own earlier step cannot be undone before this one.
// So a window that draws or reuses the same art over and over keeps one
// line a folder, not one a gesture.
QStringList notNewestOf(const ArtClaimLedger::Contents& ledger, const QString& token, const QStringList& folders)
{
    const QString window = token.section(QLatin1Char('/'), 0, 1) + QLatin1Char('/');
    QStringList out;
    for (const QString& folder : folders) {
        const ArtClaimLedger::Claim* newest = nullptr;
        for (const ArtClaimLedger::Claim& c : ledger.claims) {
            if (ArtClaimLedger::related(c.folder, folder) && (!newest || c.seq >= newest->seq))
                newest = &c;
        }
        const bool ours = newest && newest->kind == ArtClaimLedger::Kind::Paste && newest->folder == folder
            && newest->token.startsWith(window);
        if (!ours)
            out << folder;
    }
    return out;
}

// The claims merged in: one line per writer and folder, the newest last.
// With `replace`, the writer's claims of other folders go.
void merge(ArtClaimLedger::Contents& ledger, ArtClaimLedger::Kind kind, const QString& token,
           const QStringList& folders, bool replace, qint64* seq)
{
    qint64 next = 0;
    for (const ArtClaimLedger::Claim& c : std::as_const(ledger.claims))
        next = std::max(next, c.seq);
    ++next;
    ledger.claims.erase(std::remove_if(ledger.claims.begin(), ledger.claims.end(),
                                       [&](const ArtClaimLedger::Claim& c) {
                                           return c.token == token && (replace || folders.contains(c.folder));
                                       }),
                        ledger.claims.end());
    for (const QString& folder : folders)
        ledger.claims.append({next, kind, token, folder});
    *seq = next;
}

// Held until the editor ends, from its first paste on: another editor
// trimming the ledger keeps the claims of pastes whose editor still runs.
// A lock of an editor that ended without letting go is taken for free by
// the next look (its process is gone).
void holdEditorLock()
{
    static std::unique_ptr<QLockFile> held;
    if (held)
        return;
    QString why;
    if (!FileEntries::makeKeptFolder(appDataDir(), &why) || !FileEntries::makePath(writersFolder(), &why))
        return;
    held = std::make_unique<QLockFile>(writersFolder() + QLatin1Char('/') + ArtClaimLedger::editorKey()
                                       + QStringLiteral(".lock"));
    held->setStaleLockTime(0);
    if (!held->tryLock(0))
        qWarning().noquote() << "holdEditorLock: other editors will take this one's pastes for ended:"
                             << held->error();
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

QString ArtClaimLedger::editorKey()
{
    static const QString key = QUuid::createUuid().toString(QUuid::Id128);
    return key;
}

bool ArtClaimLedger::editorRuns(const QString& key)
{
    if (key == editorKey())
        return true;
    static const QRegularExpression plain(QStringLiteral("^[0-9a-f]{32}$"));
    if (!plain.match(key).hasMatch())
        return false;
    const QString file = writersFolder() + QLatin1Char('/') + key + QStringLiteral(".lock");
    if (!FileEntries::notPlainFile(file).isEmpty())
        return true; // cannot be told: its pastes stay claimed
    QLockFile probe(file);
    probe.setStaleLockTime(0);
    if (!probe.tryLock(0))
        return probe.error() == QLockFile::LockFailedError;
    probe.unlock(); // removes it: that editor has ended
    return false;
}

bool ArtClaimLedger::read(Contents& ledger, QString* why)
{
    ledger = Contents();
    const QString file = path();
    // With something else where the lock goes no writer can add its claim,
    // so what the ledger holds says nothing of what is free.
    if (const QString lock = FileEntries::notPlainFile(file + QStringLiteral(".lock")); !lock.isEmpty())
        return failWith(why, lock);
    const FileEntries::Kind kind = FileEntries::kindOf(file);
    if (kind == FileEntries::Kind::Missing)
        return true;
    QByteArray bytes;
    if (kind != FileEntries::Kind::Regular)
        return failWith(why, tr("it is not a plain file"));
    if (!FolderCopy::readRegularFile(file, kLedgerBound, &bytes))
        return failWith(why, tr("it cannot be read whole, or is larger than %1 MiB").arg(kLedgerBound >> 20));
    parse(bytes, ledger);
    return true;
}

ArtClaimLedger::Position ArtClaimLedger::last(const Contents& ledger)
{
    Position at{true, ledger.generation, 0};
    for (const Claim& c : ledger.claims)
        at.seq = std::max(at.seq, c.seq);
    return at;
}

bool ArtClaimLedger::comparable(const Contents& ledger, const Position& since)
{
    // A ledger that was not there yet had nothing before: all is later.
    return since.known && (since.generation.isEmpty() || since.generation == ledger.generation);
}

bool ArtClaimLedger::claimedSince(const Contents& ledger, const QStringList& folders, const Position& since,
                                  const QSet<QString>& own)
{
    if (!comparable(ledger, since))
        return false;
    // A claim counts from its place: one after the line of `since` is later
    // whatever its number says, as is one numbered above it.
    qsizetype from = ledger.claims.size();
    for (qsizetype i = ledger.claims.size() - 1; i >= 0 && !since.generation.isEmpty(); --i) {
        if (ledger.claims.at(i).seq == since.seq) {
            from = i + 1;
            break;
        }
    }
    for (qsizetype i = 0; i < ledger.claims.size(); ++i) {
        const Claim& c = ledger.claims.at(i);
        if ((i < from && c.seq <= since.seq) || own.contains(c.token))
            continue;
        for (const QString& folder : folders) {
            if (related(c.folder, folder))
                return true;
        }
    }
    return false;
}

bool ArtClaimLedger::claim(Kind kind, const QString& token, const QStringList& folders, Position* at,
                           QString* error)
{
    return write(kind, token, folders, false, at, error);
}

bool ArtClaimLedger::write(Kind kind, const QString& token, const QStringList& folders, bool replace,
                           Position* at, QString* error)
{
    if (at)
        *at = Position();
    QStringList clean;
    for (const QString& folder : folders)
        clean << QDir::cleanPath(folder);
    clean.removeDuplicates();
    const QString file = path();
    QString why;
    // The data folder may be kept on another disk through a link: it is
    // followed as that folder; the ledger in it is a plain file all the same.
    if (!FileEntries::makeKeptFolder(appDataDir(), &why))
        return failWith(error, why);
    const QString lockFile = file + QStringLiteral(".lock");
    for (const QString& own : {file, lockFile}) {
        why = FileEntries::notPlainFile(own);
        if (!why.isEmpty())
            return failWith(error, why);
    }
    const ArtClaimLock lock(lockFile);
    if (!lock.held())
        return failWith(error, tr("cannot write %1: another editor holds it").arg(QDir::toNativeSeparators(file)));
    Contents ledger;
    if (!read(ledger, &why))
        qWarning().noquote() << "ArtClaimLedger::claim: starting" << file << "anew:" << why;
    // One that is not of this kind is started anew: what was claimed in it
    // can no longer be placed, and the windows that ask keep their art.
    if (ledger.generation.isEmpty()) {
        ledger = Contents();
        ledger.generation = QUuid::createUuid().toString(QUuid::Id128);
    }
    if (kind == Kind::Paste)
        holdEditorLock();
    if (kind == Kind::Paste && !replace && !clean.isEmpty()) {
        clean = notNewestOf(ledger, token, clean);
        if (clean.isEmpty()) {
            if (at)
                *at = last(ledger);
            return true;
        }
    }
    qint64 seq = 0;
    merge(ledger, kind, token, clean, replace, &seq);
    trim(ledger);
    // Replaced whole by a fresh file renamed over it (never written through
    // a link, never opened where a pipe is), not waited for on the disk: a
    // ledger lost to a power cut is started anew, and windows keep art.
    why = FileEntries::notPlainFile(file);
    if (!why.isEmpty() || !writeWorkingFile(file, serialized(ledger), &why))
        return failWith(error, why);
    if (at)
        *at = Position{true, ledger.generation, seq};
    return true;
}

QStringList ArtClaimLedger::pastedAmong(const Contents& ledger, const QStringList& folders)
{
    QStringList taken;
    for (const QString& folder : folders) {
        const QString clean = QDir::cleanPath(folder);
        const bool pasted = std::any_of(ledger.claims.cbegin(), ledger.claims.cend(), [&clean](const Claim& c) {
            return c.kind == Kind::Paste && related(c.folder, clean);
        });
        if (pasted)
            taken << clean;
    }
    return taken;
}

bool ArtClaimLedger::claimUsed(const QString& token, const QStringList& folders, QString* error)
{
    Contents ledger;
    QString why;
    if (folders.isEmpty())
        return true;
    if (!read(ledger, &why))
        return failWith(error, tr("cannot read %1: %2").arg(QDir::toNativeSeparators(path()), why));
    const QStringList taken = pastedAmong(ledger, folders);
    return taken.isEmpty() || claim(Kind::Use, token, taken, nullptr, error);
}

bool ArtClaimLedger::hold(const QString& token, const QStringList& folders, QString* error)
{
    Contents ledger;
    QString why;
    if (!read(ledger, &why))
        return failWith(error, tr("cannot read %1: %2").arg(QDir::toNativeSeparators(path()), why));
    const QStringList taken = pastedAmong(ledger, folders);
    const bool held = std::any_of(ledger.claims.cbegin(), ledger.claims.cend(),
                                  [&token](const Claim& c) { return c.token == token; });
    return (taken.isEmpty() && !held) || write(Kind::Use, token, taken, true, nullptr, error);
}
