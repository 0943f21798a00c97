#pragma once

#include "artwork/ArtClaimLedger.h"
#include "artwork/MadeArtFolders.h"
#include "artwork/SavedArtFolders.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class FolderCopy;
struct PageModel;

// What a window's configuration did to the installs' art while it is open:
// what its copies and drawings left (notes), the copies of a repair run in
// progress, the folders it changed in place since the last save, and the
// saves since. Writers that keep what they made across time (a paste, for
// its undo) hand it here, and here it is decided whether that art can go
// again: a folder a saved file anywhere may point at is never removed.
class ArtState {
public:
    ArtState();

    // What a write keeps across time: the saves when it wrote, its own
    // claim and where that stands in the ledger, and the install folders it
    // wrote into or used.
    struct Mark {
        int saves = 0;
        ArtClaimLedger::Position at;
        QString token;
        QStringList folders;
    };

    // A write that may be taken back later is done: what it made is sealed
    // with its content and the folders it used are claimed in the ledger,
    // so another window that takes them can tell. Art an undone step of
    // this window set aside (setAside) that the write found and used again
    // is the write's own from then on (a resize to the size an undone one
    // had finds its fit so), still placed where that step first claimed it; any other art it reused is
    // claimed, so the step that made it leaves it.
    Mark kept(MadeArtFolders& made, const QStringList& folders);
    // Takes back what the write of `mark` made, file by file, unless a save
    // happened since (this window's) or another writer claimed one of its
    // folders since (another window's paste or save, a template, a bundle
    // installed), or a saved file the ledger does not know of points at one
    // (savedFileUses). Where that cannot be told (the ledger cannot be read,
    // or was started anew since) the art stays, and ledgerNote says so once.
    // `made` is empty afterwards either way.
    void takeBack(MadeArtFolders& made, const Mark& mark);
    // The step of `mark` was undone but may be redone: what it made is set
    // aside, so a redo finds it again instead of drawing it anew (takeAside,
    // or kept for a step that finds it), and taken back (as takeBack does)
    // when the file is closed. What a save since it was made may point at
    // is kept for good instead. `made` is empty afterwards either way.
    void setAside(MadeArtFolders& made, const Mark& mark);
    // The step of `mark` is redone: what its undo set aside is its own
    // again, into `made`, and counts as made now. False when nothing is
    // set aside for it.
    bool takeAside(Mark& mark, MadeArtFolders& made);
    // The file is closed: what undone steps set aside goes, unless
    // something reached it since (see takeBack).
    void fileClosed();
    // A step points a mask at these install folders as it finds them (a
    // redo whose own drawing went, a paste into a new mask, art drawn
    // before found again): claimed as a write is, so the step that made
    // them leaves them to this one.
    void reused(const QStringList& folders);
    // The widget clipboard now offers widgets that draw from these install
    // folders, in place of what it offered before: any window of any
    // editor may paste them, so an undo or Discard leaves the folders
    // while the clipboard holds them.
    static void heldByClipboard(const QStringList& folders);

    // The configuration was saved, pointing at these install folders: no
    // art made before goes with its undo any more, and the folders a paste
    // of any window used are claimed for the saved file.
    void saved(const QStringList& folders);
    int saveCount() const { return m_saves; }
    // Another file was written pointing at these install folders (a page
    // saved as a template): the art a paste made there stays with it,
    // whatever undo or Discard does later.
    void usedElsewhere(const QStringList& folders);
    // An installed bundle placed a file pointing at these folders, given
    // below the overlay roots written ("aim/resources/overlay/..."): the
    // art a paste of any window made there stays with that file.
    static void usedByInstalledFile(const QStringList& overlayRoots, const QStringList& folders);

    // The installs as they are now are the saved state (a load or a save).
    void forgetSaved();
    // Discard: the folders changed in place get their saved files back; a
    // file written since stays where another writer claimed its folder or a
    // saved file points at it (savedFileUses).
    bool putBackSaved(QString* error = nullptr);
    // Why an undo or Discard left art it could not tell free, the first time
    // only; empty after it was taken once.
    QString takeLedgerNote();

    // The install folders in the editor's homebrew sets that the masks of
    // the pages (of page `only`, unless negative) point at, in every install.
    static QStringList homebrewFolders(const std::vector<PageModel>& pages, int only = -1);
    // The same of install-relative art folders ("aim/resources/overlay/...").
    static QStringList homebrewFolders(const QStringList& maskRels);

    // What the art copies and drawings between the installs skipped or could
    // not write (a link, a folder that is there partly, a failed write), one
    // line each with its reason; said once by the open or the refresh.
    QStringList notes;
    // The copies of a repair run while it runs, so that the box art written
    // along the way is flushed with them, once.
    FolderCopy* copies = nullptr;
    // Install folders changed in place since the last save (artwork
    // replacement, pictures added beside an item), as they were then.
    SavedArtFolders savedArt;
    // Told, page by page, how far the open-time repair of the art has come
    // (steps done, steps), so a window can say what a long open does.
    std::function<void(int, int)> repairProgress;
    // Which of these install folders a saved configuration the ledger
    // cannot know of (one written under another account or data folder, or
    // by a window whose clock ran behind) points at. Set by the window;
    // unset, the ledger alone decides. One gesture (Discard's undos, an
    // undo) asks it for every folder this window's kept writes and changes
    // in place may ask about, together, so an answer kept until the next
    // save or install serves each step.
    std::function<QSet<QString>(const QStringList& folders)> savedFileUses;

    // Counts every save and install of a file that may point at art, in
    // any window: an answer of savedFileUses kept from before a change of
    // it is asked again.
    static quint64 savesAndInstalls();
    static void savedOrInstalled();

private:
    // Whether files a write made in `folders` may go: no writer claimed one
    // of them after `since` (but the tokens `own`), and no saved file found
    // elsewhere points at one. The search runs only when the ledger lets go.
    bool mayGo(const ArtClaimLedger::Contents& ledger, const QStringList& folders,
               const ArtClaimLedger::Position& since, const QSet<QString>& own) const;
    // What savedFileUses says of folders, asked with every folder a later
    // step of the gesture may ask about.
    QSet<QString> usedBySavedFiles(const QStringList& folders) const;
    // Moves into made and mark the art an undone step set aside that made
    // reused, all of it; false when there is none.
    bool adoptAside(MadeArtFolders& made, Mark& mark);
    // takeBack past the question of this window's saves.
    // `unreadable`: why the ledger given tells nothing, if it does not.
    void takeBackUnsaved(MadeArtFolders& made, const Mark& mark, const ArtClaimLedger::Contents& ledger,
                         const QString& unreadable);
    void claimUsed(const QString& kind, const QStringList& folders);
    void keptUnseen(const QString& why);
    QString id();

    QString m_id;              // this window's, in the ledger's tokens
    int m_writes = 0;
    int m_saves = 0;
    ArtClaimLedger::Position m_savedAt; // the ledger's newest claim at the last forgetSaved
    QSet<QString> m_ownWrites; // the tokens of this window's kept writes
    QHash<QString, QStringList> m_takeable; // folders of kept writes an undo may still take back, by token
    struct Aside {
        MadeArtFolders made;
        Mark mark;
    };
    QHash<QString, Aside> m_aside; // what undone steps made, by token, until a redo or the close
    QString m_ledgerNote;
    bool m_ledgerNoted = false;
};
