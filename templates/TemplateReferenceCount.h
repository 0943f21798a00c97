#pragma once

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

// How often a device file names a homebrew template: the text
// "s04_homebrew/<folder name>/" in any letter case, with '/' or '\' as the
// separators, compared as the file means it. A name holding "&", "<" or a
// quote is stored escaped ("R&amp;D"), so the count reads the name through
// character references; a file in another encoding (a declaration such as
// windows-1252, a UTF-16 or UTF-32 byte order mark) is read in that encoding.
// A file without a declaration is UTF-8, except where its bytes are not,
// which is how a Latin-1 file without one shows: those are read as
// windows-1252 (of which Latin-1's printable letters are part).
class TemplateReferenceCount {
public:
    TemplateReferenceCount() = delete;

    // The references in the bytes of one device file as it lies on disk.
    // Looks only where the bytes name "s04_homebrew", so a large file costs
    // about one pass of a byte search.
    static int inDeviceBytes(const QByteArray& bytes, const QString& folderName);

    // The references in the parsed text (attribute values and text) of a
    // node and everything below it: what the window and its undo steps hold.
    static int inNode(const pugi::xml_node& node, const QString& folderName);
};
