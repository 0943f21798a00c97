#include "model/ZipFileFunctions.h"

#include "model/FileEntries.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <unistd.h>

namespace {

// minizip asks to create for an archive it writes, else to read one.
voidpf ZCALLBACK openThroughTheGate(voidpf opaque, const void* name, int mode)
{
    auto* reason = static_cast<QString*>(opaque);
    const QString path = QFile::decodeName(static_cast<const char*>(name));
    const bool write = (mode & ZLIB_FILEFUNC_MODE_CREATE) != 0;
    QString why;
    qint64 size = 0;
    const int fd = write ? FileEntries::openForWrite(path, &why) : FileEntries::openChosenRegular(path, &size, &why);
    if (fd < 0) {
        *reason = why;
        return nullptr;
    }
    FILE* stream = ::fdopen(fd, write ? "wb" : "rb");
    if (!stream) {
        *reason = FileEntries::systemReason(errno);
        ::close(fd);
    }
    return stream;
}

} // namespace

ZipFileFunctions::ZipFileFunctions()
{
    // Reads, writes, seeks and closes on the stream the gate opened.
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = openThroughTheGate;
    functions.opaque = &reason;
}

#else

ZipFileFunctions::ZipFileFunctions()
{
    fill_fopen64_filefunc(&functions);
}

#endif
