#pragma once

#include <QByteArray>
#include <QString>
#include <zip.h>

// Writing ZIP archives: every archive the program produces (the .zconf2
// save, the debug report) stores its entries the same way.

// Creates a new archive at path (replacing nothing: the caller chooses a
// fresh path) with the 64-bit file functions; null on failure.
zipFile openZipForWrite(const QString& path);

// Adds one entry: the name as UTF-8, deflated at zlib's default level, with a
// zeroed file-information record (no timestamp, no attributes), so the same
// content always gives the same bytes. False when the entry cannot be opened
// or its data cannot be written; an entry once opened is closed either way.
bool writeZipEntry(zipFile zip, const QString& name, const QByteArray& data);
