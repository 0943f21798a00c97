#pragma once

#include <QString>

// What a message says when something of a RaceStudio 3 install is not there:
// the folders that were looked in, and that Tools > Preferences is where
// the install's folders are set. One wording for every such message.
namespace InstallAdvice {

// "A or B" with native separators: two install folders as a message names
// them; one alone when they are equal or the other is empty.
QString foldersText(const QString& stable, const QString& beta);

// The install folders in effect (as set in Tools > Preferences, else the
// defaults), as foldersText gives them; they need not exist.
QString configuredFoldersText();

// "No RaceStudio 3 install was found at A or B. Install RaceStudio 3 there,
// or set its folders in Tools > Preferences."
QString noInstall();

// A path relative to an install ("aim/resources/overlay/...") under each
// install there is, "A or B"; empty without an install.
QString lookedFor(const QString& relPath);

// What to say after "... was not found": noInstall() without an install,
// else where it was looked for and where the folders are set.
QString notFound(const QString& relPath);

// "The page's display folder "pdm/../x" is not allowed: it could lead
// outside the RaceStudio 3 install, so nothing is looked up or written
// there." For a page whose family text PathGuard refuses.
QString familyNotAllowed(const QString& family);

} // namespace InstallAdvice
