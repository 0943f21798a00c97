#include "templates/SavedConfigUses.h"

#include "artwork/ArtState.h"
#include "templates/TemplateUsers.h"

#include <QTimer>

QString SavedConfigUses::folderName(const QString& folder)
{
    static const QString set = QStringLiteral("/s04_homebrew/");
    const qsizetype at = folder.indexOf(set, 0, Qt::CaseInsensitive);
    return at < 0 ? QString() : folder.mid(at + set.size()).section(QLatin1Char('/'), 0, 0);
}

QSet<QString> SavedConfigUses::operator()(const QStringList& folders)
{
    if (!m_turn || !*m_turn || m_counted != ArtState::savesAndInstalls()) {
        m_used.clear();
        m_counted = ArtState::savesAndInstalls();
        m_turn = std::make_shared<bool>(true);
        QTimer::singleShot(0, [turn = std::weak_ptr<bool>(m_turn)] {
            if (const auto running = turn.lock())
                *running = false;
        });
    }
    QStringList unknown;
    for (const QString& folder : folders) {
        const QString name = folderName(folder);
        if (!name.isEmpty() && !m_used.contains(name) && !unknown.contains(name))
            unknown << name;
    }
    // Files on disk only: the window's pages, its saved file and its undo
    // history are the configuration whose art is taken back, and its saves
    // are told apart by the art's own bookkeeping.
    if (!unknown.isEmpty()) {
        const QHash<QString, TemplateUsers> users = TemplateUsers::ofFolderNames(unknown, nullptr, {}, progress);
        for (const QString& name : std::as_const(unknown))
            m_used.insert(name, !users.value(name).configs.isEmpty());
    }
    QSet<QString> used;
    for (const QString& folder : folders) {
        if (m_used.value(folderName(folder)))
            used.insert(folder);
    }
    return used;
}
