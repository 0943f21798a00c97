#pragma once

#include <QString>
#include <QStringList>

// The device variants of one homebrew theme in the template store.
struct ThemeVariants {
    // The label of an AiM_folder.xml of the theme, else its folder name.
    QString displayName;
    // The overlay families for which the store holds the theme's bkg.png,
    // sorted; only families of the device registry.
    QStringList devices;
};

// The distinct names of the themes in the homebrew store (folders two levels
// deep holding a bkg.png), sorted case-sensitively; empty without a store.
QStringList listHomebrewThemes();

ThemeVariants collectThemeDeviceVariants(const QString& themeFolder);

// Packs a theme of the store into a ".dashtheme": theme-manifest.json first,
// then per device family its bkg.png, prw.png (when not empty) and bkg.tgz
// (generated from bkg.png at the device size when the store has none). The
// archive is written beside outputPath and renamed over it, so a failed
// export keeps an older file there. Errors (translated): "no device assets
// found for '%1'", "could not create %1", "failed to write
// theme-manifest.json", "no device assets could be read", "could not
// replace %1".
bool exportThemeBundle(const QString& themeFolder, const QString& displayName, const QString& author,
                       const QString& description, const QString& outputPath, QString* error = nullptr);
