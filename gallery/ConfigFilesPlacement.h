#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Puts an unpacked bundle's configuration and record stores into a folder
// as one change. The files of the configuration's name already there (the
// configuration, its stores, and a ".zconfig" of that name whose stores
// change) are first copied to "<name>.bak.*". Then every incoming file is
// written beside its target under a temporary name, and only once all are
// complete are they renamed into place, the replaced files moved aside. A
// failure at any step puts every file back as it was and removes the copies;
// only a file that cannot be put back leaves its copy, which keptFiles()
// then names.
class ConfigFilesPlacement {
public:
    // `extracted`: the folder holding the bundle's files by name;
    // `configName`: the name of its configuration there (placed as
    // "<its complete base name>.zconf2").
    ConfigFilesPlacement(const QString& extracted, const QString& configName, const QString& configFolder);
    ~ConfigFilesPlacement();
    ConfigFilesPlacement(const ConfigFilesPlacement&) = delete;
    ConfigFilesPlacement& operator=(const ConfigFilesPlacement&) = delete;

    // "<baseName>.bak", then "<baseName>.bak2", ...: the first under which
    // none of a configuration's files (either suffix, or a store) lies in
    // folder. Copies kept there take that name, so no older copy is ever
    // replaced.
    static QString freeCopyStem(const QString& folder, const QString& baseName);

    QString placedPath() const;
    // True when the files there hold just what the bundle brings (the same
    // bundle installed twice): placing changes nothing and keeps nothing.
    bool unchanged() const;
    // The files of the configuration's name that placing replaces or
    // removes, each store the bundle adds, and the ".zconfig" of that name
    // when its stores change: everything a window showing one of those
    // configurations would see change. Empty exactly when unchanged().
    QStringList touched() const;

    // Errors: "could not keep a copy of %1: %2", "could not place the config
    // at %1: %2", "could not place %1: %2", "could not replace %1: %2",
    // "could not remove %1, left by the configuration that was replaced: %2".
    bool place(QString* error);
    // The copies kept of the files placing replaced: all of them after a
    // success, and after a failure those whose originals could not be put
    // back (none when everything was).
    QStringList keptFiles() const { return m_kept; }

private:
    struct Slot {
        QString name;
        QString incoming; // empty: the bundle does not carry it (removed)
        QString staged;
        QString aside;
        bool placed = false;
    };

    QString target(const QString& name) const;
    bool storesChange() const;
    bool keepCopies(QString* error);
    bool stage(QString* error);
    bool swap(QString* error);
    bool putBack();
    void removeKeptCopies();

    QString m_baseName;
    QString m_folder;
    std::vector<Slot> m_slots;
    QStringList m_kept;
};
