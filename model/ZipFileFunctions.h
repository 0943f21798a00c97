#pragma once

#include <QString>

#include <ioapi.h>

// minizip's 64-bit file functions with the archive file opened by the file
// gate instead of by minizip's own fopen: an archive is written only as a
// plain file, never through a link and never waiting on a pipe; one is read
// as the file the user named (a link there followed) but never from a pipe
// or a device. Why an open was refused goes to *reason, which must outlive
// the archive's open call.
struct ZipFileFunctions {
    zlib_filefunc64_def functions;
    QString reason;

    ZipFileFunctions();
    ZipFileFunctions(const ZipFileFunctions&) = delete;
    ZipFileFunctions& operator=(const ZipFileFunctions&) = delete;
};
