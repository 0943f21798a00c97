#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// The window's answer to "which of these install art folders does a
// configuration saved on disk point at" (RaceStudio 3's configurations in
// the installs), for a paste's undo and Discard. Every folder name asked
// together is counted in one read of the configurations, and the answers
// are kept until a file that may point at art is saved or installed (in any
// window): the steps of one gesture, and the undos that follow it, read the
// configurations once.
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
    quint64 m_counted = 0;       // ArtState's saves and installs the answers are of
    QHash<QString, bool> m_used; // by folder name
};
