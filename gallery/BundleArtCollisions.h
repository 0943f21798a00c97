#pragma once

#include "gallery/ConfigBundleInstall.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The homebrew folders of a config bundle whose art would replace different
// files in an RS3 install, found before anything is written, with the users
// found for each; and where their art goes when the user keeps their own.
class BundleArtCollisions {
public:
    // artFiles: "aim/resources/overlay/..." paths, read from artRoot by the
    // part after "aim/resources/overlay/"; targets: the overlay roots written.
    BundleArtCollisions(const QStringList& artFiles, const QString& artRoot, const QStringList& targets);

    // "<name>" of an art path in "s04_homebrew/<name>/"; empty for any other.
    static QString homebrewFolderName(const QString& art);

    // The folders whose art differs from what an install holds, whether or
    // not a user of them was found (one search for all of them), each with
    // the name of its own its art would take and the link that keeps it
    // from being replaced. usersOf may be empty.
    QList<ArtFolderInUse> inUse(const std::function<QHash<QString, TemplateUsers>(const QStringList&)>& usersOf) const;

    // Each art file of those folders (by art path) with the art path it takes
    // under the folder's own name.
    QHash<QString, QString> ownPaths(const QList<ArtFolderInUse>& folders) const;

private:
    struct Folder {
        QString name;    // as the bundle's first file of it spells it
        QStringList art; // its art paths
    };

    QString sourceOf(const QString& art) const;
    QStringList changedFiles(const Folder& folder) const;
    QString linkIn(const Folder& folder) const;
    QString freeName(const Folder& folder, const QSet<QString>& taken) const;
    bool takesArtOf(const Folder& folder, const QString& candidate) const;
    QString renamed(const QString& art, const QString& newName) const;

    QString m_artRoot;
    QStringList m_installRoots;
    // By case-folded name, in the order the bundle lists them.
    QHash<QString, Folder> m_folders;
    QStringList m_order;
};
