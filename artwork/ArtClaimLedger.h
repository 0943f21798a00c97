#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The program's own note, in its data folder, of who took which homebrew
// art folder when: a paste that wrote into a folder or found it there and
// used it, and a save whose file points at a folder a paste used. Every
// window of every running editor adds to it, so a window taking back a
// paste learns that another writer took the folder meanwhile and leaves it
// for that writer's file. Lines are appended only; a ledger that grew large
// drops what is older than any session undoes.
class ArtClaimLedger {
public:
    struct Claim {
        qint64 at = 0;   // ms since the epoch
        QString token;   // the claiming write or save
        QString folder;  // absolute, cleaned
    };

    // The ledger file.
    static QString path();
    // Appends one claim per folder. False (with *error) when the ledger
    // cannot be written.
    static bool claim(const QString& token, const QStringList& folders, QString* error = nullptr);
    // Every claim. False when the ledger is there but cannot be read whole
    // (then nothing can be known to be free).
    static bool read(QList<Claim>& claims);
    // True when one path is the other or lies below it.
    static bool related(const QString& a, const QString& b);
};
