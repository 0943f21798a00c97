#pragma once

#include <QByteArray>
#include <QString>
#include <zip.h>

// Writing ZIP archives: every archive the program produces (the .zconf2
// save, the debug report) stores its entries the same way.

// Creates a new archive at path, a working file of ours (a ".tmp" beside
// what the user saves, a temporary file), with the 64-bit file functions;
// a plain file there is emptied, a link or anything else refused
// (ZipFileFunctions). Null on failure, with the reason in *reason.
zipFile openZipForWrite(const QString& path, QString* reason = nullptr);

// The file-information record of every entry written: no attributes and the
// fixed date 1980-01-01 00:00, the first valid DOS date (an all-zero record
// would say day 0 of month 1, which some unzip tools reject), so the same
// content always gives the same bytes.
zip_fileinfo fixedZipEntryInfo();

// Opens an entry named by its stored bytes, with the UTF-8 flag set when
// utf8, and fixedZipEntryInfo(). With raw the caller writes data already
// compressed by method at level and closes with zipCloseFileInZipRaw64.
bool openZipEntry(zipFile zip, const QByteArray& name, bool utf8, int method, int level, bool raw);

// Adds one entry: the name as UTF-8 (flagged as such unless it is plain
// ASCII), deflated at zlib's default level, with fixedZipEntryInfo(). False
// when the entry cannot be opened or its data cannot be written; an entry
// once opened is closed either way.
bool writeZipEntry(zipFile zip, const QString& name, const QByteArray& data);

// The same with the name as stored bytes and their flag.
bool writeZipEntry(zipFile zip, const QByteArray& name, bool utf8, const QByteArray& data);
