#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryDir;

// An opened ".dashtheme" package: the archive unpacked into a temporary
// folder that lives as long as the object, and its theme-manifest.json read
// into fields. name, author and description may be edited before the package
// is written back with writeThemePackage; every other file travels unchanged.
class ThemePackage {
public:
    ThemePackage();
    ~ThemePackage();
    ThemePackage(const ThemePackage&) = delete;
    ThemePackage& operator=(const ThemePackage&) = delete;

    // Whether the package lists the device (an overlay family such as
    // "mxs_12" or "pdm/dash1") and holds at least one file below its folder.
    bool hasAssetsFor(const QString& device) const;

    // The unpacked folder; empty until opened.
    QString folderPath() const;

    std::unique_ptr<QTemporaryDir> tempDir;
    QString id;
    QString name;
    QString author;
    QString description;
    QString license;
    QStringList devices;
    QJsonObject manifest;
};

// Unpacks the file into a new temporary folder owned by the package and reads
// its manifest. Errors (plain text): "file not found: %1", "could not
// allocate temp dir", the extractor's message, "theme-manifest.json missing",
// or parseThemeManifest's message. A failed open leaves the package partly
// filled; the caller discards it.
bool openThemePackage(ThemePackage& package, const QString& path, QString* error = nullptr);

// Fills the package from manifest bytes; an empty string on success, else
// the message.
QString parseThemeManifest(ThemePackage& package, const QByteArray& json);

// Writes the package as a new ".dashtheme": the manifest (with the edited
// fields) first, then every other file of the unpacked folder. The archive is
// written beside outputPath and renamed over it, so a failure keeps an older
// file there. Errors: "bundle not open", "could not create %1", "failed to
// write manifest", "failed to append %1", "could not replace %1".
bool writeThemePackage(const ThemePackage& package, const QString& outputPath, QString* error = nullptr);

// Unpacks every file entry of a package archive into destDir through the
// shared extraction core with the package caps. Errors (plain text): "could
// not open zip", "zip entry read failed", "zip open-current failed",
// "open-for-write failed: %1", "zip read failed", and the core's refusals of
// unsafe or oversized entries.
bool extractZipToDir(const QString& zipPath, const QString& destDir, QString* error = nullptr);
