#pragma once

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// Reading the ZIP bundles the gallery delivers. Messages are plain texts the
// installer embeds in its own.
namespace gallery {

// The overlay families a theme bundle may carry: those of the device
// registry, compared as written ("mxs_12", "pdm/dash1").
QSet<QString> bundleFamilies();

// True for a configuration install bundle: some entry below
// "RS3_homebrew_folder/" and some root entry ending in ".zconf2" (any case).
// Anything else, also an archive that cannot be listed, is a theme bundle.
bool isConfigBundle(const QByteArray& bytes);

// The entry names of an archive held in memory, in archive order, '\' read
// as '/', folder entries included. Errors: "could not write scratch zip",
// "could not open zip", "zip entry read failed", and the entry cap of the
// package limits.
bool listZipEntries(const QByteArray& bytes, QStringList* names = nullptr, QString* error = nullptr);

// The entries of a theme bundle the install uses, read into memory through
// the shared extraction core with the package caps: "theme-manifest.json"
// and "<family>/bkg.png" and "<family>/prw.png" of the device registry's
// families. Every entry name is still checked. Errors: "could not open zip"
// and the core's messages.
bool readZipEntries(const QString& zipPath, QMap<QString, QByteArray>* entries, QString* error = nullptr);

} // namespace gallery
