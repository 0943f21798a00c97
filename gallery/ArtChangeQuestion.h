#pragma once

#include "editing/HeldXml.h"
#include "gallery/ConfigBundleInstall.h"
#include "templates/TemplateUsers.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class DashConfig;

// What every writer that would change files an RS3 install already holds
// under "s04_homebrew/<name>/" (a config bundle from the menu or the
// gallery, a theme installed again, Replace artwork) puts to the user
// first. It asks whenever those files differ, whatever the search for users
// found: the search cannot read a configuration kept anywhere else, so
// "none found" is never "none". The question names the users found and says
// what was not searched, every list cut to a dozen lines.
class ArtChangeQuestion {
public:
    // The folders and their users, for the question: who was found to use
    // each, which were found unused, and what the search could not read.
    static QString usersText(const QList<ArtFolderInUse>& folders);

    // Paths one a line, in the system's separators, cut as every list a
    // question or an install's closing and error box shows (firstDozen).
    static QString pathList(const QStringList& paths);
    // The same for paths the user needs only to recognise (art left out):
    // a long one loses its middle, so that none wraps in the box.
    static QString shortPathList(const QStringList& paths);

    // "<name>_<n>", the name shortened by whole characters until the result
    // fits a folder name once the program's endings are added; empty when
    // no part of it does.
    static QString numberedName(const QString& name, int n);
};
