#include "artwork/ArtState.h"

#include "artwork/ArtClaimLedger.h"
#include "artwork/MadeArtFolders.h"
#include "model/InstallRoots.h"
#include "model/PageModel.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <utility>

namespace {

quint64& writtenCount()
{
    static quint64 count = 0;
    return count;
}

// Why the ledger tells nothing, or empty when it was read.
QString readLedger(ArtClaimLedger::Contents& ledger)
{
    QString why;
    if (ArtClaimLedger::read(ledger, &why))
        return {};
    return QCoreApplication::translate("ArtState", "cannot be read: %1").arg(why);
}

} // namespace

// Before the first load, every claim counts as later than the saved state.
ArtState::ArtState()
    : m_savedAt{true, QString(), 0}
{
}

QString ArtState::id()
{
    // Made at the first claim: a configuration that never writes art takes
    // no part in the ledger.
    if (m_id.isEmpty())
        m_id = ArtClaimLedger::editorKey() + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::Id128);
    return m_id;
}

void ArtState::keptUnseen(const QString& why)
{
    qWarning().noquote() << "ArtState: pasted art kept, the ledger cannot tell whether a file uses it:" << why;
    if (std::exchange(m_ledgerNoted, true))
        return;
    m_ledgerNote = QCoreApplication::translate("ArtState",
                                               "Art the editor added was left in the RaceStudio 3 installs: its "
                                               "record of the files that use it (%1) %2, so a saved file may still "
                                               "point at it.")
                       .arg(QDir::toNativeSeparators(ArtClaimLedger::path()), why);
}

QString ArtState::takeLedgerNote()
{
    return std::exchange(m_ledgerNote, QString());
}

ArtState::Mark ArtState::kept(MadeArtFolders& made, const QStringList& folders)
{
    made.seal();
    Mark mark;
    const bool adopted = adoptAside(made, mark);
    if (!adopted)
        mark.token = id() + QStringLiteral("/write-") + QString::number(++m_writes);
    mark.saves = m_saves;
    // What it found and used as it was is claimed too: the step that made
    // it may be taken back, and must leave it to this one.
    QStringList fresh;
    for (const QString& folder : folders + made.reused()) {
        const QString clean = QDir::cleanPath(folder);
        if (!mark.folders.contains(clean) && !fresh.contains(clean))
            fresh << clean;
    }
    mark.folders += fresh;
    m_ownWrites.insert(mark.token);
    m_takeable.insert(mark.token, mark.folders);
    if (adopted && fresh.isEmpty())
        return mark;
    // An adopted write keeps its first place: what others claimed since
    // still counts against it.
    ArtClaimLedger::Position at;
    QString error;
    if (!ArtClaimLedger::claim(ArtClaimLedger::Kind::Paste, mark.token, adopted ? fresh : mark.folders, &at, &error))
        qWarning().noquote() << "ArtState: other windows cannot learn of this paste's art:" << error;
    if (!adopted || !at.known)
        mark.at = at;
    return mark;
}

bool ArtState::adoptAside(MadeArtFolders& made, Mark& mark)
{
    const QStringList& reused = made.reused();
    if (reused.isEmpty())
        return false;
    for (auto it = m_aside.begin(); it != m_aside.end(); ++it) {
        const QStringList& own = it->mark.folders;
        if (!std::all_of(reused.cbegin(), reused.cend(), [&own](const QString& f) { return own.contains(f); }))
            continue;
        // The undone step's art is this write's now, with what it made.
        MadeArtFolders merged = it->made;
        merged.add(made);
        made = merged;
        mark = it->mark;
        m_aside.erase(it);
        return true;
    }
    return false;
}

void ArtState::takeBack(MadeArtFolders& made, const Mark& mark)
{
    // Taken back or kept for good below: no later step asks about it.
    m_takeable.remove(mark.token);
    if (made.isEmpty())
        return;
    // A save since may point at it (this window's).
    if (m_saves != mark.saves) {
        made = MadeArtFolders();
        return;
    }
    ArtClaimLedger::Contents ledger;
    const QString unreadable = mark.at.known ? readLedger(ledger) : QString();
    takeBackUnsaved(made, mark, ledger, unreadable);
}

void ArtState::takeBackUnsaved(MadeArtFolders& made, const Mark& mark, const ArtClaimLedger::Contents& ledger,
                               const QString& unreadable)
{
    // A file of a writer that took one of its folders since may point at
    // it. A ledger that cannot be read, or no longer holds the paste's
    // claim, tells nothing: the art stays.
    QString why = unreadable;
    if (!mark.at.known)
        why = QCoreApplication::translate("ArtState", "could not note the paste");
    else if (why.isEmpty() && !ArtClaimLedger::comparable(ledger, mark.at))
        why = QCoreApplication::translate("ArtState", "was started anew since the paste");
    if (!why.isEmpty()) {
        keptUnseen(why);
        made = MadeArtFolders();
    } else if (mayGo(ledger, mark.folders, mark.at, {mark.token})) {
        made.takeBack();
    } else {
        made = MadeArtFolders();
    }
}

void ArtState::setAside(MadeArtFolders& made, const Mark& mark)
{
    if (made.isEmpty() || m_saves != mark.saves) {
        // Nothing made, or a save since may point at it: kept for good.
        m_takeable.remove(mark.token);
        made = MadeArtFolders();
        return;
    }
    m_aside.insert(mark.token, Aside{std::exchange(made, MadeArtFolders()), mark});
}

bool ArtState::takeAside(Mark& mark, MadeArtFolders& made)
{
    const auto it = m_aside.find(mark.token);
    if (mark.token.isEmpty() || it == m_aside.end())
        return false;
    made = it->made;
    m_aside.erase(it);
    // Done again from now on: the saves while it was undone never pointed
    // at it, a save from here may.
    mark.saves = m_saves;
    m_takeable.insert(mark.token, mark.folders);
    return true;
}

void ArtState::fileClosed()
{
    // No save pointed at any of it (it was set aside while undone); each
    // goes only as far as the ledger and the saved files let it. The
    // saved files are asked about all of it at once (usedBySavedFiles).
    QHash<QString, Aside> aside = std::exchange(m_aside, {});
    if (aside.isEmpty())
        return;
    for (const Aside& a : std::as_const(aside))
        m_takeable.insert(a.mark.token, a.mark.folders);
    ArtClaimLedger::Contents ledger;
    const QString unreadable = readLedger(ledger);
    for (Aside& a : aside) {
        m_takeable.remove(a.mark.token);
        takeBackUnsaved(a.made, a.mark, ledger, unreadable);
    }
}

void ArtState::reused(const QStringList& folders)
{
    if (folders.isEmpty())
        return;
    QString error;
    if (!ArtClaimLedger::claim(ArtClaimLedger::Kind::Paste, id() + QStringLiteral("/reuse-") + QString::number(++m_writes),
                               folders, nullptr, &error))
        qWarning().noquote() << "ArtState: other windows cannot learn that this file uses their art:" << error;
}

void ArtState::heldByClipboard(const QStringList& folders)
{
    QString error;
    if (!ArtClaimLedger::hold(ArtClaimLedger::editorKey() + QStringLiteral("/clipboard"), folders, &error))
        qWarning().noquote() << "ArtState: an undo may not learn that the widget clipboard holds art:" << error;
}

bool ArtState::mayGo(const ArtClaimLedger::Contents& ledger, const QStringList& folders,
                     const ArtClaimLedger::Position& since, const QSet<QString>& own) const
{
    if (ArtClaimLedger::claimedSince(ledger, folders, since, own))
        return false;
    // The ledger only knows the writers of this data folder: a file saved
    // under another account, or one whose claim reads older than it is,
    // shows only in the files themselves.
    const QSet<QString> used = usedBySavedFiles(folders);
    if (std::any_of(folders.cbegin(), folders.cend(), [&used](const QString& f) { return used.contains(f); })) {
        qInfo().noquote() << "ArtState::mayGo: art kept, a saved configuration points at" << folders;
        return false;
    }
    return true;
}

QSet<QString> ArtState::usedBySavedFiles(const QStringList& folders) const
{
    if (!savedFileUses)
        return {};
    QStringList asked = folders;
    for (const QStringList& kept : m_takeable)
        asked += kept;
    asked += savedArt.folders();
    asked.removeDuplicates();
    return savedFileUses(asked);
}

quint64 ArtState::savesAndInstalls()
{
    return writtenCount();
}

void ArtState::savedOrInstalled()
{
    ++writtenCount();
}

void ArtState::saved(const QStringList& folders)
{
    ++m_saves;
    // No write before a save is taken back any more.
    m_takeable.clear();
    savedOrInstalled();
    claimUsed(QStringLiteral("save"), folders);
}

void ArtState::usedElsewhere(const QStringList& folders)
{
    savedOrInstalled();
    claimUsed(QStringLiteral("use"), folders);
}

void ArtState::usedByInstalledFile(const QStringList& overlayRoots, const QStringList& folders)
{
    savedOrInstalled();
    static const QString overlay = QStringLiteral("aim/resources/overlay/");
    QStringList installed;
    for (const QString& root : overlayRoots) {
        for (const QString& folder : folders) {
            if (folder.startsWith(overlay))
                installed << QDir::cleanPath(root + QLatin1Char('/') + folder.mid(overlay.size()));
        }
    }
    QString error;
    if (!ArtClaimLedger::claimUsed(ArtClaimLedger::editorKey() + QStringLiteral("/install"), installed, &error))
        qWarning().noquote() << "ArtState::usedByInstalledFile: a paste's undo may not learn of the installed "
                                "file's art:" << error;
}

void ArtState::claimUsed(const QString& kind, const QStringList& folders)
{
    // One line per window and folder: a save merges into the last.
    QString error;
    if (!ArtClaimLedger::claimUsed(id() + QLatin1Char('/') + kind, folders, &error))
        qWarning().noquote() << "ArtState: other windows cannot learn of the art this file uses:" << error;
}

void ArtState::forgetSaved()
{
    savedArt.forget();
    ArtClaimLedger::Contents ledger;
    m_savedAt = ArtClaimLedger::read(ledger) ? ArtClaimLedger::last(ledger) : ArtClaimLedger::Position();
}

bool ArtState::putBackSaved(QString* error)
{
    // Read once for every folder: Discard costs what the folders are, not
    // what the ledger once was.
    ArtClaimLedger::Contents ledger;
    QString why = readLedger(ledger);
    if (why.isEmpty() && !ArtClaimLedger::comparable(ledger, m_savedAt))
        why = QCoreApplication::translate("ArtState", "was started anew since the last save");
    const ArtClaimLedger::Position since = m_savedAt;
    const QSet<QString> own = m_ownWrites;
    return savedArt.putBack(error, [&](const QString& folder) {
        if (!why.isEmpty()) {
            keptUnseen(why);
            return true;
        }
        return !mayGo(ledger, {folder}, since, own);
    });
}

QStringList ArtState::homebrewFolders(const std::vector<PageModel>& pages, int only)
{
    QStringList maskRels;
    for (int p = 0; p < int(pages.size()); ++p) {
        if (only >= 0 && p != only)
            continue;
        for (const MaskElement& mask : pages[size_t(p)].masks)
            maskRels << QString::fromUtf8(paramValue(mask.node, "PATH_REL_AiM_MASK"));
    }
    return homebrewFolders(maskRels);
}

QStringList ArtState::homebrewFolders(const QStringList& maskRels)
{
    QStringList folders;
    const QStringList roots = rs3OverlayRoots();
    for (QString rel : maskRels) {
        overlayRelativeFolder(rel);
        if (!rel.contains(QLatin1String("/s04_homebrew/")) || !PathGuard::isSafeRelativePath(rel))
            continue;
        for (const QString& root : roots) {
            const QString folder = PathGuard::join(root, rel);
            if (!folder.isEmpty() && QFileInfo(folder).isDir())
                folders << QDir::cleanPath(folder);
        }
    }
    folders.removeDuplicates();
    return folders;
}
