#pragma once

#include "editing/HeldXml.h"
#include "templates/TemplateReference.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class ConfigsFootprint;
class DashConfig;
struct PageTemplate;

// Everything that uses a homebrew template's folder, found in one pass:
// RaceStudio 3's configurations, the configurations this editor saved
// elsewhere, the open configuration (its pages in the window and its saved
// file) and the pages and masks its undo history can bring back. A template
// in use is neither deleted nor replaced: the files they point at would go.
// The answer also says whether it saw everything: what it could not read
// (a folder, a link, a special file, what lies beyond a bound) may hold a
// user it did not find.
struct TemplateUsers {
    QList<TemplateReference> configs; // RaceStudio 3's configurations, stable install first
    QList<TemplateReference> savedFiles; // this editor's saved configurations elsewhere, the path in cfgFolderPath
    TemplateReference open;           // the open configuration; referenceCount 0 when it does not use it
    int heldByUndo = 0;               // references in pages and masks Undo or Redo can bring back
    QStringList skipped;              // what the search could not read, each with why

    // Users were found.
    bool found() const
    {
        return !configs.isEmpty() || !savedFiles.isEmpty() || open.referenceCount > 0 || heldByUndo > 0;
    }
    // Nothing was left unread.
    bool complete() const { return skipped.isEmpty(); }
    // What every writer that deletes or replaces the folder asks: an answer
    // that could not read everything may have missed a user, so it counts
    // as one.
    bool inUse() const { return found() || !complete(); }

    // One line per user, "    <name>  (<n> reference(s))", the open
    // configuration first, then RaceStudio 3's and the saved files, the
    // undo history last.
    QStringList lines() const;

    // What could not be read, for a refusal or question: a heading and
    // each thing with why; empty when the search read everything.
    QString unread() const;
    // For a refusal: the users found, a dozen lines at most, then what
    // could not be read.
    QString listing() const;

    // What the search leaves out, for a question that removes or replaces
    // a template nothing was found to use: a file saved elsewhere, or one
    // open in another window, may still use it; and what it could not read.
    QString notSearched() const;

    // Every list a question shows (users, files, folders, what was left
    // alone): a box taller than the screen hides its buttons and the text
    // that explains them, so the first dozen lines stand for the rest, which
    // go to the log in full.
    static QString firstDozen(const QStringList& lines);

    // Reads each configuration once, with a busy cursor while it does. The
    // configuration and the walk over the undo history may be null / empty.
    static TemplateUsers of(const PageTemplate& tpl, const DashConfig* config, const HeldXmlWalk& held);
    // The same for a folder name of the store (a template or theme about to
    // be written over).
    static TemplateUsers ofFolderName(const QString& folderName, const DashConfig* config, const HeldXmlWalk& held);
    // The same for every folder name a gesture touches, asked once: each
    // configuration and the undo history are read once, every name counted
    // in them. Keyed by the names as given; `skipped` is the search's, in
    // every answer.
    static QHash<QString, TemplateUsers> ofFolderNames(const QStringList& folderNames, const DashConfig* config,
                                                       const HeldXmlWalk& held);
    // With `progress` told (configurations read, configurations), for a
    // gesture long enough to show how far it has come; `footprint`, when
    // given, gets what was read of the configurations on disk, stamped.
    // Without a configuration, `ownSavedFile` is a file of the caller's own
    // that the saved configurations leave out.
    static QHash<QString, TemplateUsers> ofFolderNames(const QStringList& folderNames, const DashConfig* config,
                                                       const HeldXmlWalk& held,
                                                       const std::function<void(int, int)>& progress,
                                                       ConfigsFootprint* footprint = nullptr,
                                                       const QString& ownSavedFile = QString());

    // How a search shows how far it has come (told files looked at, files);
    // it answers false once the user cancelled, which leaves the answer
    // incomplete. The program sets it to a progress window with Cancel,
    // shown once a search has run a moment; a search given no progress of
    // its own makes one with it.
    using Progress = std::function<bool(int, int)>;
    static void setProgressShown(const std::function<Progress()>& make);
};
