#pragma once

#include <QString>

// The one gate for paths that come from files we did not write: configuration
// parameters (PATH_REL_AiM_MASK, PATH_REL_AiM_PAGE, PATH_IMAGE, DE_FIT_SRC,
// DE_BARCOLOR_SRC, ...), sidecar records, themes and bundles. Every reader and
// writer of an RS3 tree joins such a path to its root through here, so that a
// hostile "aim/../../etc/x" can neither read nor write outside the install.
namespace PathGuard {

// True when rel is a plain relative path: '/'-separated, not absolute, no
// backslash, no ".." component, no drive or stream (':') component, no NUL,
// and at least one real component. Empty and "." components name nothing
// ("mxg_12//bg", "mxg_12/./bg" are "mxg_12/bg"), so they are allowed, as is
// a trailing '/' (folder paths end in one). On refusal, *why (when given)
// names the reason for a log line.
bool isSafeRelativePath(const QString& rel, QString* why = nullptr);

// True when name can be one folder name of its own (a template, theme or
// gallery slug folder): 1 to 100 characters that, with the endings the
// program adds, fit one name on the disk (FolderCopy::whyNameDoesNotFit), none of / \ : * ? " < > | nor a
// control character, not "." or "..", and no leading or trailing blank or
// dot (Windows drops those, so two names would meet in one folder).
bool isSafeName(const QString& name);

// True when family can name a device family folder below an overlay root, as
// a page path gives it: one or more '/'-separated folder names ("mxg_12",
// "pdm/dash2"), each one that isSafeName allows. No empty, "." or ".."
// component, no leading or trailing '/', no backslash and no drive.
bool isSafeFamily(const QString& family);

// rel with its empty and "." components taken out, a trailing '/' kept;
// empty when rel is not safe. For code that splits a path into its parts.
QString normalized(const QString& rel);

// True when path, cleaned, is root itself or lies below it. Both are taken
// with '/' separators; the comparison follows the platform's file-name case
// rule.
bool isInside(const QString& root, const QString& path);

// root + "/" + rel, cleaned, when rel is safe and the result stays below root;
// empty otherwise (also for an empty root). A trailing '/' of rel is dropped.
QString join(const QString& root, const QString& rel);

} // namespace PathGuard
