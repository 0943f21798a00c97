#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The program's own note, in its data folder, of who took which homebrew
// art folder: a paste that wrote into a folder or found it there and used
// it, and a file written pointing at a folder a paste used (a save, a
// template, an installed bundle). Every window of every running editor adds
// to it, so a window taking back a paste learns that another writer took the
// folder since and leaves it for that writer's file.
//
// Claims are ordered by their place in the file, never by a clock: each
// write merges its claims in (one line per writer and folder, moved to the
// end with the next number) and drops what no longer describes anything (a
// folder that is gone, a paste of an editor that has ended, a file's claim
// no live paste is older than). So the ledger holds what the running
// editors may still take back, however often the user saves. It is only
// ever replaced whole, as a plain file of its own.
class ArtClaimLedger {
public:
    enum class Kind { Paste, Use };
    struct Claim {
        qint64 seq = 0; // its number; the file keeps them rising
        Kind kind = Kind::Use;
        QString token;  // the claiming writer: "<editor>/<window>/<what>"
        QString folder; // absolute, cleaned
    };
    // Where a claim stands: in which ledger (one that could not be read is
    // started anew) and under which number. Unknown when the claim could
    // not be written; an empty generation is a ledger that was not there.
    struct Position {
        bool known = false;
        QString generation;
        qint64 seq = 0;
    };
    struct Contents {
        QString generation;  // empty: no ledger, or not one of this kind
        QList<Claim> claims; // in file order
    };

    // The ledger file.
    static QString path();
    // Merges one claim per folder under token. False (with *error) when the
    // ledger cannot be written; *at is then unknown.
    static bool claim(Kind kind, const QString& token, const QStringList& folders, Position* at = nullptr,
                      QString* error = nullptr);
    // For a file written pointing at folders: claims those some paste used
    // (no other art is ever taken back). Nothing to claim is no write.
    static bool claimUsed(const QString& token, const QStringList& folders, QString* error = nullptr);
    // As claimUsed, in place of every claim token made before: a holder
    // whose hold moves on (the widget clipboard) lets go of the rest.
    static bool hold(const QString& token, const QStringList& folders, QString* error = nullptr);
    // The claims. False, with why it cannot be read, when something is there
    // that cannot be read whole as a plain file: then nothing can be known
    // to be free.
    static bool read(Contents& ledger, QString* why = nullptr);
    // The place of the newest claim, to compare later ones with.
    static Position last(const Contents& ledger);
    // Whether a writer other than those of `own` claimed a folder related to
    // one of folders after `since`: numbered above it, or standing after
    // the claim it names. False when it cannot be told (see comparable).
    static bool claimedSince(const Contents& ledger, const QStringList& folders, const Position& since,
                             const QSet<QString>& own);
    // Whether since can be placed in this ledger at all.
    static bool comparable(const Contents& ledger, const Position& since);
    // True when one path is the other or lies below it.
    static bool related(const QString& a, const QString& b);
private:
    static bool write(Kind kind, const QString& token, const QStringList& folders, bool replace, Position* at,
                      QString* error);
    // Those of folders a paste claim relates to: no other art is ever
    // taken back, so no other needs a claim.
    static QStringList pastedAmong(const Contents& ledger, const QStringList& folders);

public:
    // This running editor's part of every token it writes. From its first
    // paste on it holds a lock by that name while it runs, so another editor
    // can tell its pastes still may be taken back.
    static QString editorKey();
    // Whether the editor of that key still runs.
    static bool editorRuns(const QString& key);
};
