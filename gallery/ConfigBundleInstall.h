#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What installing a config install bundle did; filled only on success.
struct ConfigBundleInstallResult {
    // Art files copied, summed over the installs written.
    int artFileCount = 0;
    // The template folders of the copied files, unique, sorted, each with a
    // trailing '/'.
    QStringList installedFolders;
    // The placed configuration file.
    QString configPath;
    // The overlay roots that received at least one file, in settings order.
    QStringList installRoots;
    // Where the configuration of the same name that the bundle replaced was
    // kept ("<name>.bak.zconf2", with its sidecars beside it; the first kept
    // sidecar when only sidecars were there); empty when there was none or
    // it was the bundle's own copy.
    QString keptConfigPath;
    // The dated folder holding the RS3 files the bundle's art replaced (stock
    // art of the same name), "<n>/aim/resources/overlay/..." for the n-th
    // install; empty when none was replaced.
    QString keptArtFolder;

    // keptConfigPath and keptArtFolder, the ones that are set.
    QStringList kept() const
    {
        QStringList paths;
        for (const QString& path : {keptConfigPath, keptArtFolder}) {
            if (!path.isEmpty())
                paths.append(path);
        }
        return paths;
    }
};

// Copies the bundle's art into every RS3 install (stable, then beta; one
// folder given twice is written once) and places its configuration with its
// sidecars in configFolder; a sidecar of the configuration's name that the
// bundle does not carry is removed (it belongs to the configuration that was
// there). The files of the same name already there are first copied aside
// (see keptConfigPath). A failed copy keeps the file it would have replaced;
// art copied before a failure stays.
// Errors (translated): "bundle zip not found: %1", "could not create a
// temporary extraction dir", "could not read the bundle zip: %1", "this zip
// is not a Korvelanto install bundle (...)", "bundle has no .zconf2 at its
// root", "no RaceStudio3 install found to install into (...)", "the bundle's
// art tree is empty", "failed to install %1 into %2", "could not keep a copy
// of %1: %2", "could not place the config at %1", "could not place %1: %2",
// "could not remove %1, left by the configuration that was replaced".
// confirmTarget, when given, is asked with the path the configuration will
// be placed at once the bundle has been read, before anything is written,
// and whether the files already there hold just what the bundle brings (the
// same bundle installed twice: nothing of them is replaced or kept); false
// ends the install with "the install was cancelled; nothing was changed"
// (the caller's answer for a configuration open in a window).
using ConfigTargetCheck = std::function<bool(const QString& placedPath, bool unchanged)>;
bool installConfigInstallBundle(const QString& bundlePath, const QString& configFolder,
                                ConfigBundleInstallResult* result = nullptr, QString* error = nullptr,
                                const ConfigTargetCheck& confirmTarget = {});

// Unpacks a bundle into targetFolder through the shared extraction core,
// with the package caps; an entry that would land outside the folder stops
// it with "unsafe zip entry (path traversal): %1". Plain-text errors.
bool extractZipSafely(const QString& zipPath, const QString& targetFolder, QString* error = nullptr);

// Creates the target's folders and replaces the target with a copy of the
// source; the old target survives a failed copy.
bool copyFileCreatingDirs(const QString& source, const QString& target);

// The install root of an overlay root: a trailing "/aim/resources/overlay"
// (any letter case) and then every trailing '/' removed.
QString installRootOf(const QString& root);
