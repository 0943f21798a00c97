#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// How the names of archive entries are read and written. A name is bytes;
// bit 11 of the entry's general-purpose flag says they are UTF-8. Older
// Windows zip tools write names in the IBM PC code page 437 and leave the
// flag clear, and so do tools that write UTF-8 without saying so.
namespace ZipEntryName {

constexpr quint32 kUtf8Flag = 0x800;

// The name of an entry of a configuration archive: its bytes up to the
// first zero byte, read as UTF-8 when they are valid UTF-8 (flag or not),
// else as code page 437, so two names never fold into one (as "\x84" and
// "\x94" both would into the UTF-8 replacement character).
QString decode(const QByteArray& raw, quint32 flags);

// What decides whether two extracted paths (cleaned, relative) land on one
// and the same file of the folder: the path itself, without case where the
// file system ignores it.
QString folderKey(const QString& cleanedPath);

// The bytes a name the editor itself adds is stored with: UTF-8.
inline QByteArray encode(const QString& name)
{
    return name.toUtf8();
}

// Whether stored name bytes need the UTF-8 flag for other readers to see
// them right: every name that is not plain ASCII, which reads the same in
// every encoding.
bool needsUtf8Flag(const QByteArray& utf8);

} // namespace ZipEntryName
