#include "templates/SavedConfigUses.h"

#include "artwork/ArtState.h"
#include "templates/TemplateUsers.h"

#include <QTimer>

#include <algorithm>

QString SavedConfigUses::folderName(const QString& folder)
{
    static const QString set = QStringLiteral("/s04_homebrew/");
    const qsizetype at = folder.indexOf(set, 0, Qt::CaseInsensitive);
    return at < 0 ? QString() : folder.mid(at + set.size()).section(QLatin1Char('/'), 0, 0);
}

bool SavedConfigUses::holds()
{
    if (!m_made || m_counted != ArtState::savesAndInstalls() || m_ownFile != ownFile)
        return false;
    // Told once a gesture: its steps follow one another with nothing else
    // run between them.
    if (m_turn && *m_turn)
        return true;
    if (!m_footprint.isCurrent())
        return false;
    inThisTurn();
    return true;
}

void SavedConfigUses::inThisTurn()
{
    m_turn = std::make_shared<bool>(true);
    QTimer::singleShot(0, [turn = std::weak_ptr<bool>(m_turn)] {
        if (const auto running = turn.lock())
            *running = false;
    });
}

QSet<QString> SavedConfigUses::operator()(const QStringList& folders)
{
    QStringList names;
    for (const QString& folder : folders) {
        const QString name = folderName(folder);
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    const bool known = std::all_of(names.cbegin(), names.cend(), [this](const QString& n) { return m_used.contains(n); });
    // Every name of the question counted in one read, so all answers kept
    // are of the same configurations; names asked before and not now are
    // dropped, so what is kept is the size of a gesture's question.
    if (!names.isEmpty() && (!known || !holds())) {
        // Files on disk only: the window's pages, its saved file and its
        // undo history are the configuration whose art is taken back, and
        // its saves are told apart by the art's own bookkeeping.
        m_counted = ArtState::savesAndInstalls();
        m_ownFile = ownFile;
        const QHash<QString, TemplateUsers> users =
            TemplateUsers::ofFolderNames(names, nullptr, {}, progress, &m_footprint, ownFile);
        m_made = true;
        inThisTurn();
        m_used.clear();
        // What the count could not read may use it: kept.
        for (const QString& name : std::as_const(names))
            m_used.insert(name, users.value(name).inUse());
    }
    QSet<QString> used;
    for (const QString& folder : folders) {
        if (m_used.value(folderName(folder)))
            used.insert(folder);
    }
    return used;
}
