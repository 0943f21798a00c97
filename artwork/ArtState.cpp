#include "artwork/ArtState.h"

#include "artwork/ArtClaimLedger.h"
#include "artwork/MadeArtFolders.h"
#include "model/InstallRoots.h"
#include "model/PageModel.h"
#include "model/PathGuard.h"
#include "model/XmlParams.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QUuid>

ArtState::ArtState()
    : m_id(QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_savedAt(QDateTime::currentMSecsSinceEpoch())
{
}

bool ArtState::claimedByOthers(const QStringList& folders, qint64 since, const QSet<QString>& own,
                               bool* known) const
{
    QList<ArtClaimLedger::Claim> claims;
    *known = ArtClaimLedger::read(claims);
    for (const ArtClaimLedger::Claim& claim : claims) {
        if (claim.at < since || own.contains(claim.token))
            continue;
        for (const QString& folder : folders) {
            if (ArtClaimLedger::related(claim.folder, folder))
                return true;
        }
    }
    return false;
}

ArtState::Mark ArtState::kept(MadeArtFolders& made, const QStringList& folders)
{
    made.seal();
    Mark mark;
    mark.saves = m_saves;
    mark.at = QDateTime::currentMSecsSinceEpoch();
    mark.token = m_id + QStringLiteral("/write-") + QString::number(++m_writes);
    for (const QString& folder : folders)
        mark.folders << QDir::cleanPath(folder);
    m_ownWrites.insert(mark.token);
    QString error;
    if (!ArtClaimLedger::claim(mark.token, mark.folders, &error))
        qWarning().noquote() << "ArtState: other windows cannot learn of this paste's art:" << error;
    return mark;
}

void ArtState::takeBack(MadeArtFolders& made, const Mark& mark)
{
    if (made.isEmpty())
        return;
    bool known = true;
    // A save since may point at it (this window's), and so may a file of a
    // writer that took a folder of it since. A ledger that cannot be read
    // tells nothing: the art stays.
    const bool taken = m_saves != mark.saves || claimedByOthers(mark.folders, mark.at, {mark.token}, &known);
    if (taken || !known)
        made = MadeArtFolders();
    else
        made.takeBack();
}

void ArtState::saved(const QStringList& folders)
{
    ++m_saves;
    claimUsed(QStringLiteral("save"), folders);
}

void ArtState::usedElsewhere(const QStringList& folders)
{
    claimUsed(QStringLiteral("use"), folders);
}

void ArtState::claimUsed(const QString& kind, const QStringList& folders)
{
    QList<ArtClaimLedger::Claim> claims;
    if (folders.isEmpty() || !ArtClaimLedger::read(claims))
        return;
    // Only folders some paste used are worth a line: no other art is ever
    // taken back.
    QStringList taken;
    for (const QString& folder : folders) {
        const QString clean = QDir::cleanPath(folder);
        for (const ArtClaimLedger::Claim& claim : claims) {
            if (ArtClaimLedger::related(claim.folder, clean)) {
                taken << clean;
                break;
            }
        }
    }
    taken.removeDuplicates();
    QString error;
    const QString token = m_id + QLatin1Char('/') + kind + QLatin1Char('-') + QString::number(++m_writes);
    if (!ArtClaimLedger::claim(token, taken, &error))
        qWarning().noquote() << "ArtState: other windows cannot learn of the art this file uses:" << error;
}

void ArtState::forgetSaved()
{
    savedArt.forget();
    m_savedAt = QDateTime::currentMSecsSinceEpoch();
}

bool ArtState::putBackSaved(QString* error)
{
    const qint64 since = m_savedAt;
    const QSet<QString> own = m_ownWrites;
    return savedArt.putBack(error, [this, since, own](const QString& folder) {
        bool known = true;
        return claimedByOthers({folder}, since, own, &known) || !known;
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
