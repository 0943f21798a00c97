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
    mark.saves = m_saves;
    mark.token = id() + QStringLiteral("/write-") + QString::number(++m_writes);
    for (const QString& folder : folders)
        mark.folders << QDir::cleanPath(folder);
    m_ownWrites.insert(mark.token);
    m_takeable.insert(mark.token, mark.folders);
    QString error;
    if (!ArtClaimLedger::claim(ArtClaimLedger::Kind::Paste, mark.token, mark.folders, &mark.at, &error))
        qWarning().noquote() << "ArtState: other windows cannot learn of this paste's art:" << error;
    return mark;
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
    // So may a file of a writer that took a folder of it since. A ledger
    // that cannot be read, or no longer holds the paste's claim, tells
    // nothing: the art stays.
    ArtClaimLedger::Contents ledger;
    QString why;
    if (!mark.at.known)
        why = QCoreApplication::translate("ArtState", "could not note the paste");
    else if (!ArtClaimLedger::read(ledger, &why))
        why = QCoreApplication::translate("ArtState", "cannot be read: %1").arg(why);
    else if (!ArtClaimLedger::comparable(ledger, mark.at))
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
    QString why;
    if (!ArtClaimLedger::read(ledger, &why))
        why = QCoreApplication::translate("ArtState", "cannot be read: %1").arg(why);
    else if (!ArtClaimLedger::comparable(ledger, m_savedAt))
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
