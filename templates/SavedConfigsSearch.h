#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class ConfigsFootprint;
struct TemplateReference;

// The configurations this editor saved, wherever they lie, as users of
// homebrew folders: each file the editor's list names is read, its device
// files counted as RaceStudio 3's are.
class SavedConfigsSearch {
public:
    SavedConfigsSearch() = delete;

    // The references of each name, in their order, in the device files of
    // a saved configuration (.zconf2). False when it cannot be read.
    static bool inArchive(const QString& zconf2, const QStringList& names, QList<int>* counts);

    // The listed files that name each of `names` (keyed by the name), the
    // file's path in cfgFolderPath and its name in configName. `ownFile`
    // (the open configuration's, counted by the window) is left out; a file
    // that is gone uses nothing. A list or a file that is there and cannot
    // be read is appended to *notRead with why; the list and each file read
    // are stamped in *footprint when given.
    static QHash<QString, QList<TemplateReference>> referencing(const QStringList& names, const QString& ownFile,
                                                               QStringList* notRead,
                                                               ConfigsFootprint* footprint = nullptr);
};
