#pragma once

#include "gallery/BundleProgress.h"

#include <QString>
#include <QStringList>

#include <pugixml.hpp>
#include <zip.h>

class DashConfig;

// A config install bundle: one ZIP holding a saved configuration, its sidecar
// files, README_FIRST.txt and, below "RS3_homebrew_folder/", every non-stock
// artwork file the configuration references, laid out as an RS3 install
// tree. Artwork paths here are RS3-relative ("aim/..."); every one is joined
// to a root through PathGuard, so a hostile "aim/../../x" reads nothing and
// reaches the missing list instead of the bundle.

// Every RS3-relative path the configuration references: page backgrounds,
// the art parameters of masks and widgets, and the files of each mask's art
// folder. Unique, sorted case-sensitively.
QStringList collectConfigAssetReferences(const DashConfig& config);

// Every artwork file to bundle: whole homebrew template (or mask item)
// folders, then loose references, never stock art. Unique, sorted.
QStringList collectConfigArtFiles(const DashConfig& config);

// The page-template or mask-item folder holding an RS3-relative path, with a
// trailing '/'; empty when the path lies in none.
QString templateFolderOf(const QString& path);

// Writes the folder's files as entries (name order per folder, sub-folders
// where they come in that order), named prefix + "/" + relative path.
// Files that cannot be read are left out and, when unreadable is given,
// named there. False when an entry cannot be opened or written.
bool addFolderToZip(zipFile zip, const QString& folder, const QString& prefix,
                    QStringList* unreadable = nullptr);

// Writes a bundle for the saved configuration at zipPath (beside it first,
// then renamed over it). An install file is read only when it is a plain
// file with no symbolic link on its way from the install root: what a link
// points at may be the user's own. missing receives the references that did
// not reach the bundle (one left out that way as "%1 (not bundled: %2)",
// naming the link or special file, as is every other file of a template
// folder left out), and one "%1 (staged %2 of %3 files)" line per template
// folder that travelled incomplete; artCount the number of staged art
// files. A sidecar that is a link or no plain file stops the export. Errors
// (translated): "no saved config on disk to export (save the config
// first)", "could not create a temporary staging dir", "could not stage the
// .zconf2", "could not stage %1: %2" (a sidecar, and why), "could not write
// README_FIRST.txt: %1", "could not create %1", "failed while writing the
// bundle zip: %1" (the system's reason, or "%1 could not be read" when it
// was the configuration, a sidecar or the README). Nothing is written at
// zipPath on failure. The art is read from the installs as the archive is
// written, never copied on the way; progress, when given, is told the
// entries written of the total from the start.
bool exportConfigInstallBundle(const DashConfig& config, const QString& zipPath, QString* error = nullptr,
                               QStringList* missing = nullptr, int* artCount = nullptr,
                               const BundleProgress& progress = {});

// The README_FIRST.txt of a bundle for the configuration name, CR LF lines.
QByteArray installBundleReadme(const QString& name);
