#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "model/FileStamp.h"

class ConfigsFootprint;
struct SavedLooks;
struct TemplateReference;

// The configurations this editor saved, wherever they lie, as users of
// homebrew folders: each file the editor's list names is read, its device
// files counted as RaceStudio 3's are. The counts of each file are kept by
// its stamp, so a file is read again only once it was written; a file that
// does not answer within a bound (a share whose server has gone) counts as
// not read.
class SavedConfigsSearch {
public:
    // Reads the list and starts looking at its files at once, on a thread of
    // its own, so the caller may search elsewhere meanwhile; the answers are
    // one search's until it is destroyed (another waits).
    SavedConfigsSearch(const QStringList& names, const QString& ownFile);
    ~SavedConfigsSearch();
    SavedConfigsSearch(const SavedConfigsSearch&) = delete;
    SavedConfigsSearch& operator=(const SavedConfigsSearch&) = delete;

    // The listed files that name each of the names (keyed by the name), the
    // file's path in cfgFolderPath and its name in configName. `ownFile`
    // (the open configuration's, counted by the window) is left out. A file
    // that is gone (its folder is there, it is not) uses nothing and is
    // taken off the list. What may use a name unseen is appended to
    // *notRead with why: a list or a file that cannot be read, a file whose
    // folder or disk is away or that does not answer in time, a list kept
    // aside, the files left when `progress` (told files looked at, files)
    // answers false. The list and each file looked at are stamped in
    // *footprint when given.
    QHash<QString, QList<TemplateReference>> referencing(QStringList* notRead, ConfigsFootprint* footprint = nullptr,
                                                         const std::function<bool(int, int)>& progress = {});
    // The same in one call.
    static QHash<QString, QList<TemplateReference>> referencing(const QStringList& names, const QString& ownFile,
                                                               QStringList* notRead,
                                                               ConfigsFootprint* footprint = nullptr,
                                                               const std::function<bool(int, int)>& progress = {});

    // The references of each name, in their order, in the device files of
    // a saved configuration (.zconf2). False when it cannot be read.
    static bool inArchive(const QString& zconf2, const QStringList& names, QList<int>* counts);

    // How long a file may take to answer before it counts as not read (3 s
    // unless a test says otherwise), and a hook a test slows a file with,
    // called on the thread that looks at each file.
    static void setAnswerBoundForTesting(int milliseconds, const std::function<void(const QString&)>& hook);

private:
    QStringList m_names;
    QStringList m_notRead;              // the list's own faults
    FileStamp m_listStamp;
    std::shared_ptr<SavedLooks> m_looks; // the files and what was found of each
};
