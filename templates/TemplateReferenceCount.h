#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <pugixml.hpp>

// How often a device file names a homebrew template: the text
// "s04_homebrew/<folder name>" in any letter case, with '/' or '\' as the
// separators, where the name is a whole path part (a separator, the end of a
// value or of the text follows), compared as the file means it: character
// references (letters, decimal and hexadecimal numbers, with any count of
// leading zeros) are read anywhere in it, set name included, and a file in
// another encoding (a declaration such as windows-1252 or ISO-2022-JP, a
// UTF-16 or UTF-32 byte order mark) is read in that encoding. A file without
// a declaration is UTF-8, except where its bytes are not, which is how a
// Latin-1 file without one shows: those are read as windows-1252.
class TemplateReferenceCount {
public:
    TemplateReferenceCount() = delete;

    // The references in the bytes of one device file as it lies on disk.
    // One pass that skips to where the bytes could name "s04_homebrew", so a
    // large file, even one made of near-misses, costs about a byte search.
    static int inDeviceBytes(const QByteArray& bytes, const QString& folderName);
    // The same for several names, in their order: the file is decoded and
    // searched for where a reference could begin once, not once per name.
    static QList<int> inDeviceBytes(const QByteArray& bytes, const QStringList& folderNames);

    // The references in the parsed text (attribute values and text) of a
    // node and everything below it: what the window and its undo steps hold.
    static int inNode(const pugi::xml_node& node, const QString& folderName);
};
