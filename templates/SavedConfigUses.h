#pragma once

#include "templates/ConfigsFootprint.h"

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
// are kept until a save or install of a file that may point at art (in any
// window), or until what the count read may have changed: RaceStudio 3 may
// save a configuration between two undos. That is told by the stamps of the
// configurations folders, every folder the count walked and every device
// file it read, one look each, once per gesture (the turn of the event loop
// it runs in: a Discard's undos, Undo pressed once); anything the count
// could not read, or a look that fails, counts again. A new count reads
// only the device files written since.
class SavedConfigUses {
public:
    // The folders among `folders` ("<overlay>/.../s04_homebrew/<name>[/...]")
    // whose name a saved configuration uses.
    QSet<QString> operator()(const QStringList& folders);

    // Told (configurations read, configurations) while a count runs, so a
    // long one can show how far it has come.
    std::function<void(int, int)> progress;
    // The window's own saved file: its art is what is taken back, so it is
    // no other user of it.
    QString ownFile;

    // The homebrew folder name a folder lies in; empty when none.
    static QString folderName(const QString& folder);

private:
    bool holds();
    void inThisTurn();

    bool m_made = false;          // a count was made
    std::shared_ptr<bool> m_turn; // true until the turn of the event loop its stamps were last told in ends
    quint64 m_counted = 0;        // ArtState's saves and installs the answers are of
    ConfigsFootprint m_footprint; // what the count read, stamped
    QHash<QString, bool> m_used;  // by folder name, the names of the last count
    QString m_ownFile;            // left out of the last count
};
