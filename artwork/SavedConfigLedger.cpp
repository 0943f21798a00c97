#include "artwork/SavedConfigLedger.h"

#include "artwork/ArtClaimLock.h"

#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/SafeWrite.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <string_view>

namespace {

// Far beyond the paths of every file a user keeps; a larger file is not a
// list of this program's.
constexpr qint64 kListBound = 64 * 1024 * 1024;
const QByteArray kHeader = "korvelanto-saved-configs\t1\n";
// Kept readable: a line break never appears unescaped in a path.
const QByteArray kPlain = "/:@-._~!$&'()*+,;= ";
const char* const kAsideTag = "unreadable";
const char* const kDamagedTag = "damaged";
constexpr std::string_view kSet = "s04_homebrew";

QString tr(const char* text)
{
    return QCoreApplication::translate("SavedConfigLedger", text);
}

QString cleaned(const QString& file)
{
    return QDir::cleanPath(QFileInfo(file).absoluteFilePath());
}

QByteArray lineOf(const QString& file)
{
    return QUrl::toPercentEncoding(cleaned(file), kPlain);
}

QString unreadable(const QString& file)
{
    return tr("%1, the list of the configurations Korvelanto saved, cannot be read")
        .arg(QDir::toNativeSeparators(file));
}

enum class Listed { Missing, Read, Unreadable };

// The list's bytes, header first, whole lines only: one an abnormal end cut
// short is left out.
Listed readList(QByteArray* bytes)
{
    const QString file = SavedConfigLedger::path();
    const FileEntries::Kind kind = FileEntries::kindOf(file);
    if (kind == FileEntries::Kind::Missing)
        return Listed::Missing;
    if (kind != FileEntries::Kind::Regular || !FolderCopy::readRegularFile(file, kListBound, bytes)
        || !bytes->startsWith(kHeader))
        return Listed::Unreadable;
    bytes->truncate(bytes->lastIndexOf('\n') + 1);
    return Listed::Read;
}

// The entries of a damaged list (its first line garbled, say): every line
// that names a file as this list does. False when it is no plain file of a
// list's size.
bool salvaged(QByteArray* bytes)
{
    QByteArray damaged;
    const QString list = SavedConfigLedger::path();
    if (FileEntries::kindOf(list) != FileEntries::Kind::Regular
        || !FolderCopy::readRegularFile(list, kListBound, &damaged))
        return false;
    *bytes = kHeader;
    damaged.truncate(damaged.lastIndexOf('\n') + 1);
    qsizetype at = 0;
    for (qsizetype end = damaged.indexOf('\n', at); end >= 0; at = end + 1, end = damaged.indexOf('\n', at)) {
        const QByteArray line = damaged.mid(at, end - at);
        const QString listed = QUrl::fromPercentEncoding(line);
        if (!listed.isEmpty() && QDir::isAbsolutePath(listed) && listed == QDir::cleanPath(listed))
            *bytes += line + '\n';
    }
    return true;
}

// The list as this writer finds it, under the lock. One that cannot be read
// is never replaced by a shorter one: it is moved aside under a name of its
// own, its entries carried over when its lines can be told (a garbled first
// line), else the list starts anew and the searches name it.
bool listToChange(QByteArray* bytes, bool* keptAside, QString* error)
{
    *keptAside = false;
    switch (readList(bytes)) {
    case Listed::Read:
        return true;
    case Listed::Missing:
        *bytes = kHeader;
        return true;
    case Listed::Unreadable:
        break;
    }
    const QString list = SavedConfigLedger::path();
    const bool carried = salvaged(bytes);
    QString why;
    const QString aside = FileEntries::besideName(list, carried ? kDamagedTag : kAsideTag, &why);
    if (aside.isEmpty() || !FileEntries::renameEntry(list, aside, &why))
        return failWith(error, unreadable(list) + QStringLiteral(" and cannot be kept aside: ") + why);
    qWarning().noquote() << "SavedConfigLedger:" << unreadable(list) << "- kept as" << QDir::toNativeSeparators(aside)
                         << (carried ? "- its entries carried over" : "- the searches name it");
    if (!carried)
        *bytes = kHeader;
    *keptAside = true;
    return true;
}

// Everything a writer does, one at a time across editors.
bool changeList(const std::function<bool(QByteArray&)>& change, QString* error)
{
    QString why;
    // The data folder may be kept on another disk through a link: it is
    // followed as that folder; the list in it is a plain file all the same.
    if (!FileEntries::makeKeptFolder(appDataDir(), &why))
        return failWith(error, why);
    const QString list = SavedConfigLedger::path();
    const QString lockFile = list + QStringLiteral(".lock");
    for (const QString& own : {list, lockFile}) {
        why = FileEntries::notPlainFile(own);
        if (!why.isEmpty())
            return failWith(error, why);
    }
    const ArtClaimLock lock(lockFile);
    if (!lock.held())
        return failWith(error, tr("cannot write %1: another editor holds it").arg(QDir::toNativeSeparators(list)));
    QByteArray bytes;
    bool keptAside = false;
    if (!listToChange(&bytes, &keptAside, error))
        return false;
    // A list just kept aside is written anew whatever the change.
    if (!change(bytes) && !keptAside)
        return true;
    // Replaced whole by a fresh file renamed over it, never through a link.
    why = FileEntries::notPlainFile(list);
    if (!why.isEmpty() || !writeWorkingFile(list, bytes, &why))
        return failWith(error, why);
    return true;
}

} // namespace

void SavedConfigLedger::Mention::feed(const char* data, size_t size)
{
    if (m_found || size == 0)
        return;
    // The pieces are searched where they meet too.
    const std::string_view piece(data, size);
    const QByteArray joined = m_tail + QByteArray::fromRawData(data, qsizetype(std::min(size, kSet.size())));
    const auto names = [](std::string_view text) {
        for (size_t at = text.find("04_"); at != std::string_view::npos; at = text.find("04_", at + 1)) {
            if (at == 0 || text.size() - (at - 1) < kSet.size())
                continue;
            if (QByteArray::fromRawData(text.data() + at - 1, qsizetype(kSet.size())).compare(
                    QByteArray::fromRawData(kSet.data(), qsizetype(kSet.size())), Qt::CaseInsensitive)
                == 0)
                return true;
        }
        return false;
    };
    m_found = names(std::string_view(joined.constData(), size_t(joined.size()))) || names(piece);
    const size_t keep = std::min(size, kSet.size() - 1);
    m_tail = (m_tail + QByteArray(data + size - keep, qsizetype(keep))).right(qsizetype(kSet.size() - 1));
}

void SavedConfigLedger::noteSaved(const QString& file, bool pointsAtArt)
{
    QString error;
    if (!note(file, pointsAtArt, &error))
        qWarning().noquote() << "SavedConfigLedger: a delete or replace of a template may not learn that"
                             << QDir::toNativeSeparators(file) << "uses it:" << error;
}

QString SavedConfigLedger::path()
{
    return appDataDir() + QStringLiteral("/saved-configs.tsv");
}

bool SavedConfigLedger::read(QStringList& files, QString* why)
{
    files.clear();
    QByteArray bytes;
    switch (readList(&bytes)) {
    case Listed::Missing:
        return true;
    case Listed::Unreadable:
        return failWith(why, unreadable(path()));
    case Listed::Read:
        break;
    }
    QSet<QString> seen;
    qsizetype at = kHeader.size();
    for (qsizetype end = bytes.indexOf('\n', at); end >= 0; at = end + 1, end = bytes.indexOf('\n', at)) {
        const QString listed = QUrl::fromPercentEncoding(bytes.mid(at, end - at));
        if (!listed.isEmpty() && !seen.contains(listed)) {
            seen.insert(listed);
            files << listed;
        }
    }
    return true;
}

bool SavedConfigLedger::note(const QString& file, bool pointsAtArt, QString* error)
{
    const QByteArray line = '\n' + lineOf(file) + '\n';
    return changeList(
        [&](QByteArray& bytes) {
            // The header ends in a line break, so every entry is found
            // between two; the other entries are left as they are.
            qsizetype at = bytes.indexOf(line, kHeader.size() - 1);
            if ((at >= 0) == pointsAtArt)
                return false;
            if (pointsAtArt) {
                bytes += line.mid(1);
                return true;
            }
            for (; at >= 0; at = bytes.indexOf(line, at))
                bytes.remove(at + 1, line.size() - 1);
            return true;
        },
        error);
}

bool SavedConfigLedger::isGone(const QString& file)
{
    return FileEntries::kindOf(file) == FileEntries::Kind::Missing
           && FileEntries::kindOf(QFileInfo(file).path()) == FileEntries::Kind::Folder;
}

bool SavedConfigLedger::forget(const QStringList& files, QString* error)
{
    if (files.isEmpty())
        return true;
    QSet<QByteArray> lines;
    for (const QString& file : files)
        lines.insert(lineOf(file));
    return changeList(
        [&](QByteArray& bytes) {
            QByteArray kept = kHeader;
            qsizetype at = kHeader.size();
            for (qsizetype end = bytes.indexOf('\n', at); end >= 0; at = end + 1, end = bytes.indexOf('\n', at)) {
                const QByteArray line = bytes.mid(at, end - at);
                // Told again under the lock: a file saved meanwhile stays.
                if (!lines.contains(line) || !isGone(QUrl::fromPercentEncoding(line)))
                    kept += line + '\n';
            }
            if (kept.size() == bytes.size())
                return false;
            bytes = kept;
            return true;
        },
        error);
}

QStringList SavedConfigLedger::keptAside()
{
    const QString prefix = QFileInfo(path()).fileName() + QLatin1Char('.') + QLatin1String(kAsideTag) + QLatin1Char('-');
    QStringList aside;
    for (const QString& entry : FileEntries::entriesOf(appDataDir())) {
        const QString name = QFileInfo(entry).fileName();
        if (name.startsWith(prefix))
            aside << appDataDir() + QLatin1Char('/') + name;
    }
    return aside;
}
