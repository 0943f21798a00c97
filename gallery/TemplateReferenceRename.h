#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <pugixml.hpp>

// Points a configuration at a homebrew template folder of another name:
// every "s04_homebrew/<from>/" its device files name (any letter case, '/'
// or '\' as separators, as TemplateReferenceCount reads them) becomes
// "s04_homebrew/<to>/", the separators kept as they were.
class TemplateReferenceRename {
public:
    TemplateReferenceRename() = delete;

    // Folders renamed at once: (from, to) pairs, no `to` being a `from`.
    using Renames = QList<QPair<QString, QString>>;

    // In the attribute values and text of a node and everything below it;
    // the number of references changed.
    static int inNode(pugi::xml_node node, const QString& from, const QString& to);

    // In a configuration archive, rewritten whole beside it and renamed over
    // it only once complete: the device files that name the folder are
    // written as a save writes them, every other entry as it was. A device
    // file that still names the folder afterwards (one in an encoding the
    // rename cannot read) fails it, and the archive stays as it was. Errors
    // (translated): "cannot read %1: %2", "cannot read %1 in %2", "cannot
    // write %1 into %2", "cannot write %1: %2", ReplacingZipFile's.
    static bool inArchive(const QString& zconf2Path, const QString& from, const QString& to, QString* error);
    // The same for several folders in one rewrite.
    static bool inArchive(const QString& zconf2Path, const Renames& renames, QString* error);

    // In the record stores beside a configuration (the art a box or bar was
    // made from), each rewritten as a save writes it when it names the
    // folder; a store that does not parse is left as it is, as the open
    // leaves it. Errors: writeFileNoLink's.
    static bool inStores(const QString& zconf2Path, const QString& from, const QString& to, QString* error);
    // The same for several folders, each store written once.
    static bool inStores(const QString& zconf2Path, const Renames& renames, QString* error);
};
