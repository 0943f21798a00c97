#pragma once

#include <QString>

class QTemporaryDir;

// The folders configurations are opened into: "Korvelanto-XXXXXX" in the
// temporary folder, each with a lock file beside it ("<folder>.lock", the
// process id inside) held for as long as the folder is in use. An editor that
// ended abnormally leaves its folder and a lock no running process holds; the
// next start removes those. A folder a running editor holds is never touched,
// nor one without its lock (an older version's, or one being made this
// instant), nor anything else in the temporary folder; no link is followed.
class ExtractFolders {
public:
    ExtractFolders() = delete;

    // A new folder held by this process until release(); check isValid().
    static QTemporaryDir* create();
    // Removes the folder and deletes dir. A folder that cannot be removed
    // (a file in it still open) keeps its lock until this process ends, so
    // the next start finds it abandoned and removes it.
    static void release(QTemporaryDir* dir);

    // Removes the folders in tempFolder whose lock no running process holds,
    // and such locks left without their folder; the number of folders
    // removed.
    static int clearAbandoned(const QString& tempFolder);
    static int clearAbandoned();
};
