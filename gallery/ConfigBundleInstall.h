#pragma once

#include "gallery/BundleProgress.h"
#include "templates/TemplateUsers.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What installing a config install bundle did; filled on success, and on a
// failure only where something stays on disk (see installConfigInstallBundle).
struct ConfigBundleInstallResult {
    // Art files written, summed over the installs written.
    int artFileCount = 0;
    // Art files an install already held with the bundle's bytes, left as
    // they were (not in artFileCount).
    int unchangedArtCount = 0;
    // The template folders of the copied files, unique, sorted, each with a
    // trailing '/'.
    QStringList installedFolders;
    // The placed configuration file (after a failure: where it was to go).
    QString configPath;
    // The overlay roots that received at least one file, in settings order.
    QStringList installRoots;
    // The first of keptFiles: the copy of the configuration of the same name
    // the bundle replaced ("<name>.bak.zconf2"), or of the first store when
    // only stores were there; empty when nothing was kept.
    QString keptConfigPath;
    // Every copy kept of a file the install replaced or removed beside the
    // configuration ("<name>.bak.zconf2", "<name>.bak.barcolor.json", ...,
    // and "<name>.bak.zconfig" when the stores of a ".zconfig" of that name
    // changed); empty when there was none or it was the bundle's own copy.
    QStringList keptFiles;
    // The dated folder holding the RS3 files the bundle's art replaced (a
    // homebrew folder's files the user chose to replace),
    // "<n>/aim/resources/overlay/..." for the n-th install; empty when none
    // was replaced.
    QString keptArtFolder;

    // The art files not written into an install, one line each naming the
    // symbolic link or special file in the way, or RaceStudio 3's own file
    // that stays; those installs count only the files they received.
    QStringList left;
    // What was in the way of those files (the link, the special file, the
    // file of RaceStudio 3's that stays), each once: the short form a box
    // shows.
    QStringList leftPaths;

    // One line per template folder in use whose files the user kept, naming
    // the folder of its own the bundle's art went to instead.
    QStringList ownFolders;

    // keptFiles, then keptArtFolder when it is set.
    QStringList kept() const
    {
        QStringList paths = keptFiles;
        if (!keptArtFolder.isEmpty())
            paths.append(keptArtFolder);
        return paths;
    }
};

// What the caller is asked about before an install writes anything.
struct ConfigTarget {
    // Where the configuration will be placed.
    QString placedPath;
    // The files there already hold just what the bundle brings (the same
    // bundle installed twice): nothing of them is replaced or kept.
    bool unchanged = false;
    // The files the install replaces or removes beside the configuration,
    // each record store it adds, and a ".zconfig" of the same name whose
    // stores change.
    QStringList touched;
};

// A homebrew folder ("s04_homebrew/<folderName>/") of the bundle whose art
// differs from the files an RS3 install holds there: replacing them would
// change what every configuration using the folder shows, including those
// the search for users cannot read.
struct ArtFolderInUse {
    QString folderName;
    // The files the bundle's art would replace, as paths in the installs.
    QStringList changed;
    // The users found; none found still leaves a configuration kept
    // elsewhere.
    TemplateUsers users;
    // The name of its own the bundle's art takes when the user keeps theirs
    // (a folder no install holds), with the placed configuration pointing at
    // it; empty when no name of that kind fits.
    QString ownName;
    // The symbolic link at or below the folder in an install (the user's
    // template kept elsewhere): an install never writes through it, so the
    // folder cannot be replaced and its art always takes ownName. Empty when
    // there is none.
    QString keptThroughLink;
};

enum class ArtInUseAnswer {
    KeepMine, // the user's files stay; the bundle's art goes under ownName
    Replace,  // the bundle's art replaces them, a copy kept in a dated backup
              // (where a folder is kept through a link: as KeepMine)
    Cancel,   // nothing is installed
};

// Who is asked, and how users are found, before an install replaces art of
// a folder in use.
struct ArtInUseCheck {
    // What uses each homebrew folder of those names, keyed by name; without
    // one, RaceStudio 3's configurations.
    std::function<QHash<QString, TemplateUsers>(const QStringList& folderNames)> usersOf;
    // Asked once with every folder in use, before anything is written;
    // without one the user's art is kept.
    std::function<ArtInUseAnswer(const QList<ArtFolderInUse>& folders)> ask;
};

// Copies the bundle's art into every RS3 install (stable, then beta; one
// folder given twice is written once), never through a symbolic link below
// the install root nor over anything but a plain file (such art is left out
// and named in result->left), and places its configuration with its
// sidecars in configFolder; a sidecar of the configuration's name that the
// bundle does not carry is removed (it belongs to the configuration that was
// there). The files of the same name already there are first copied aside
// (see keptFiles). The install completes or puts back every file it
// replaced: on a failure the art it copied goes and the art and files it
// replaced are back, and the copies it made are removed again. Only what
// cannot be put back keeps its copy, named in result->keptFiles and
// result->keptArtFolder (with result->configPath) and in the error.
// Errors (translated): "bundle zip not found: %1", "could not create a
// temporary extraction dir", "could not read the bundle zip: %1", "this zip
// is not a Korvelanto install bundle (...)", "bundle has no .zconf2 at its
// root", "no RaceStudio3 install found to install into (...)", "the bundle's
// art tree is empty", "failed to install %1 into %2: %3", "could not keep a
// copy of %1: %2", "could not place the config at %1: %2", "could not place
// %1: %2", "could not replace %1: %2", "could not remove %1, left by the
// configuration that was replaced: %2"; a failure after something was
// written adds what became of it.
// confirmTarget, when given, is asked once the bundle has been read, before
// anything is written; false ends the install with "the install was
// cancelled; nothing was changed" (the caller's answer for a configuration
// open in a window).
// Art that differs from the files an install holds in a homebrew folder is
// written only after artInUse.ask answered Replace (the replaced files kept
// in the dated backup), whatever the search for the folder's users found;
// with KeepMine (or no question), and for a folder kept through a link
// whatever the answer, the folder's art is installed under a name of its
// own and the placed configuration points at it; Cancel ends the install as
// above. Art outside the homebrew set (RaceStudio 3's own) is
// only added where an install lacks it: a file there with other bytes stays
// and is named in result->left.
// progress, when given, is told the files done of the total (the bundle's
// entries unpacked, then the art written into each install) from the
// start; the art is not waited for on the disk file by file but once, before
// the configuration is placed.
using ConfigTargetCheck = std::function<bool(const ConfigTarget& target)>;
bool installConfigInstallBundle(const QString& bundlePath, const QString& configFolder,
                                ConfigBundleInstallResult* result = nullptr, QString* error = nullptr,
                                const ConfigTargetCheck& confirmTarget = {}, const ArtInUseCheck& artInUse = {},
                                const BundleProgress& progress = {});

// Unpacks a bundle into targetFolder through the shared extraction core,
// with the package caps; an entry that would land outside the folder stops
// it with "unsafe zip entry (path traversal): %1". Plain-text errors.
// progress, when given, is told the entries done of the archive's count.
bool extractZipSafely(const QString& zipPath, const QString& targetFolder, QString* error = nullptr,
                      const std::function<void(qint64 done, qint64 total)>& progress = {});

// Creates the target's folders and replaces the target with a copy of the
// source; the old target survives a failed copy. Errors: "cannot create the
// folder %1", or copyFileOver's.
bool copyFileCreatingDirs(const QString& source, const QString& target, QString* error = nullptr);

// The install root of an overlay root: a trailing "/aim/resources/overlay"
// (any letter case) and then every trailing '/' removed.
QString installRootOf(const QString& root);
