#pragma once

#include <QByteArray>
#include <QString>
#include <zip.h>

// Writing ZIP archives: every archive the program produces (the .zconf2
// save, the debug report) stores its entries the same way.

// Creates a new archive at path (replacing nothing: the caller chooses a
// fresh path) with the 64-bit file functions; null on failure.
zipFile openZipForWrite(const QString& path);

// The file-information record of every entry written: no attributes and the
// fixed date 1980-01-01 00:00, the first valid DOS date (an all-zero record
// would say day 0 of month 1, which some unzip tools reject), so the same
// content always gives the same bytes.
zip_fileinfo fixedZipEntryInfo();

// Adds one entry: the name as UTF-8, deflated at zlib's default level, with
// fixedZipEntryInfo(). False when the entry cannot be opened
// or its data cannot be written; an entry once opened is closed either way.
bool writeZipEntry(zipFile zip, const QString& name, const QByteArray& data);
