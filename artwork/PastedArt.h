#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class MadeArtFolders;
class SavedArtFolders;

// The pictures pasted widgets name by bare file name, brought beside the art
// of the mask they are pasted into, without writing over anything an install
// holds. Pictures the mask's folder lacks are added to it, each with the .png
// twin the editor draws. When the folder holds other files of those names,
// or is a stock item that every configuration of the device shares, the
// mask gets an item folder of its own in the editor's homebrew set instead:
// a copy of its item plus the pasted pictures (those whose names its item
// already uses under new names), named for that content, so the same paste
// finds the same folder again and a folder never gets other content. An
// element with no art folder, and a new element built on a folder of the
// editor's, get an item of their own the same way, named for the element
// too: an editor-made folder belongs to one element. Folders the user keeps
// elsewhere through a link are read there, as RaceStudio 3 reads them; none
// is written through a link.
class PastedArt {
public:
    // sourceRel: the art folder the widgets were copied from; targetRel: the
    // art folder of the mask they go into; names: the bare names the widgets
    // use; stem: the configuration's homebrew set stem. Pictures no install
    // holds are not planned (missingPictures names them afterwards). False
    // (with *error) when a picture cannot be read or no folder of its own
    // can be named.
    static bool plan(const QString& sourceRel, const QString& targetRel, const QStringList& names,
                     const QString& stem, PastedArt& art, QString* error = nullptr);
    // An element without an art folder (pageFolder: its page's layout
    // folder, for the device family) gets an item of its own holding only
    // the pasted pictures: with no mask.png it shows what it showed before.
    // owner names the element, so no other element shares the folder.
    static bool planForBareElement(const QString& sourceRel, const QString& pageFolder, const QStringList& names,
                                   const QString& stem, const QString& owner, PastedArt& art,
                                   QString* error = nullptr);
    // A new element built on the copied element's art: an item of its own,
    // a copy of the copied item's files with the pasted pictures. Nothing is
    // planned when no install holds the copied item.
    static bool planCopy(const QString& sourceRel, const QStringList& names, const QString& stem,
                         const QString& owner, PastedArt& art, QString* error = nullptr);

    // The bare names that no install holds in the art folder (all of them
    // for an empty folder). RaceStudio 3 reads a folder through the links
    // the user made, and so does this. With no install at all nothing can
    // be told missing.
    static QStringList missingPictures(const QString& folderRel, const QStringList& names);

    // Nothing to write: the mask's folder holds the pictures already.
    bool isEmpty() const { return m_files.isEmpty(); }
    // The install-relative item folder the mask is to point at from now on;
    // empty when the pictures go beside its own art.
    const QString& ownItem() const { return m_ownRel; }
    // The pictures the widgets name anew: in the own item the old names
    // stay with the item's own pictures.
    const QHash<QString, QString>& renamed() const { return m_renamed; }
    // The folders in installs the pictures are not added to (a link on the
    // way there), one line each naming the link.
    const QStringList& leftOut() const { return m_leftOut; }

    // Writes the plan into every install: all of it or, on a failure,
    // nothing (what it created is removed again). What it creates is noted
    // in `made`, and a folder that was there already is noted in `saved`
    // first, so Discard finds it as it was.
    bool write(MadeArtFolders& made, SavedArtFolders* saved, QString* error = nullptr) const;
    // The install folders the plan writes into, or finds holding its
    // pictures: those a paste takes.
    QStringList folders() const;

    struct File {
        QString name;
        QByteArray bytes;
    };

private:
    struct OwnItem {
        QString device;   // below the overlay root, "mxg_12" or "pdm/dash2"
        QString item;     // the item folder's name
        QString base;     // the folder whose files the item copies; empty for none
        QString owner;    // hashed into the name when not empty
        bool always = false; // made even when it adds nothing to base
    };
    bool planOwnItem(const QStringList& roots, const OwnItem& own, const QList<QList<File>>& groups,
                     const QString& stem, QString* error);
    bool writeBeside(MadeArtFolders& made, SavedArtFolders* saved, QString* error) const;
    bool writeOwnItem(MadeArtFolders& made, SavedArtFolders* saved, QString* error) const;

    QString m_targetRel; // below the overlay root, ending in '/'
    QString m_ownRel;    // "aim/resources/overlay/...", ending in '/'
    QString m_device;
    QString m_setFolder; // below the overlay root
    QList<File> m_files; // beside: the pasted pictures; own item: the item's files and the pasted ones
    QHash<QString, QString> m_renamed;
    QStringList m_leftOut;
};
