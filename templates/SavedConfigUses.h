#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// The window's answer to "which of these install art folders does a
// configuration saved on disk point at" (RaceStudio 3's configurations in
// the installs), for a paste's undo and Discard. Every folder name asked
// together is counted in one read of the configurations, and the answers
// are kept for the gesture (the turn of the event loop it runs in: a
// Discard's undos, Undo pressed once) and never past a save or install of
// a file that may point at art (in any window). The next gesture asks
// again, since RaceStudio 3 may have saved a configuration meanwhile; that
// reads only the configurations written since.
class SavedConfigUses {
public:
    // The folders among `folders` ("<overlay>/.../s04_homebrew/<name>[/...]")
    // whose name a saved configuration uses.
    QSet<QString> operator()(const QStringList& folders);

    // Told (configurations read, configurations) while a count runs, so a
    // long one can show how far it has come.
    std::function<void(int, int)> progress;

    // The homebrew folder name a folder lies in; empty when none.
    static QString folderName(const QString& folder);

private:
    quint64 m_counted = 0;         // ArtState's saves and installs the answers are of
    std::shared_ptr<bool> m_turn;  // true until the turn of the event loop they were counted in ends
    QHash<QString, bool> m_used;   // by folder name
};
