#pragma once

#include <QHash>
#include <QString>

#include <memory>

class QLockFile;

// The note a config bundle install keeps in the program's data folder of
// the folders of their own it creates in the RS3 installs, while it runs.
// An install that is killed half way leaves the note behind, and a folder
// it half filled is known by it: the next install clears such a folder and
// fills it, rather than taking the next name. A folder counts as left
// behind only while the install that noted it has ended (its lock is free)
// and the folder holds nothing but sub-folders and regular files of the
// names and sizes it noted: anything else (a link, another file, another
// size) may be the user's, and the folder is then left alone.
class UnfinishedInstall {
public:
    // By absolute folder path, the files the install is to write there
    // (path relative to the folder, size in bytes).
    using Folders = QHash<QString, QHash<QString, qint64>>;

    UnfinishedInstall();
    // Lets go of the lock; the note stays unless end() removed it.
    ~UnfinishedInstall();
    UnfinishedInstall(const UnfinishedInstall&) = delete;
    UnfinishedInstall& operator=(const UnfinishedInstall&) = delete;

    // Notes the folders, before the first of them is created. Nothing to
    // note is no write. False with the reason when the note cannot be
    // written (the install then writes nothing).
    bool begin(const Folders& folders, QString* error);
    // The install ended and what it created is whole or gone: the note goes.
    void end();

    // Whether folder is one an ended install noted and left as it wrote it.
    static bool leftBehind(const QString& folder);
    // Removes such a folder (below installRoot, never through a link) and
    // drops it from its note. False, leaving it, when it is not one or
    // cannot be removed.
    static bool clearLeftBehind(const QString& installRoot, const QString& folder);

    // Where the notes are kept.
    static QString notesFolder();

private:
    QString m_note;
    std::unique_ptr<QLockFile> m_lock;
};
