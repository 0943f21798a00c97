#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>

// The program's own list, in its data folder, of the configuration files
// its windows saved pointing at homebrew art, wherever they lie (a folder
// of the user's, another disk): the search for who uses a template reads
// them too, so a delete or a replace never takes away what a file this
// editor saved still shows. A save touches only its own line: listed while
// the file points at homebrew art, taken off when it does not. A file is
// forgotten only when its folder is there and it is not (deleted or renamed
// away); one on a disk or share that is away stays listed. Every window of
// every running editor writes it, one writer at a time; it is only ever
// replaced whole, as a plain file of its own, and a list that cannot be
// read is kept aside, never replaced by a shorter one.
class SavedConfigLedger {
public:
    // Whether the text of a document, fed as its writer hands it out in
    // pieces, names the homebrew set anywhere (any letter case).
    class Mention {
    public:
        void feed(const char* data, size_t size);
        bool found() const { return m_found; }

    private:
        bool m_found = false;
        QByteArray m_tail; // the end of the last piece, for a name cut in two
    };

    // The list file.
    static QString path();
    // Notes that `file` was just saved: listed while it points at homebrew
    // art, taken off when it does not. False (with *error) when the list
    // cannot be written.
    static bool note(const QString& file, bool pointsAtArt, QString* error = nullptr);
    // The same, a failure only logged: a save goes on.
    static void noteSaved(const QString& file, bool pointsAtArt);
    // The files listed, absolute and cleaned, each once. False, with why,
    // when something is there that cannot be read whole as a plain file of
    // this kind: then a file this editor saved may go unseen.
    static bool read(QStringList& files, QString* why = nullptr);
    // Takes off those of `files` that are gone: their folder is there and
    // they are not. False (with *error) when the list cannot be written.
    static bool forget(const QStringList& files, QString* error = nullptr);
    // Whether the file is gone for good, as forget() tells it.
    static bool isGone(const QString& file);
    // Lists kept aside because they could not be read at all: the files
    // they name are searched no more, which the searches say. (A list whose
    // lines could still be told is kept aside too, its entries carried
    // over.)
    static QStringList keptAside();
};
