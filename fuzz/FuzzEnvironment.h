#pragma once

#include <QString>

// What every harness needs before its first input: an offscreen application
// object, and a home, settings and RS3 roots inside a temporary folder of its
// own, so that a load-time repair never writes into a real install or the
// working folder.
namespace FuzzEnvironment {

void start(int* argc, char*** argv);

// A file path inside the harness's temporary folder.
QString filePath(const QString& name);

// Writes bytes to the file; false when they could not be written whole.
bool writeFile(const QString& path, const char* data, size_t size);

// Writes an archive like a configuration, with the bytes as its device file.
bool writeConfiguration(const QString& path, const char* xml, size_t size);

} // namespace FuzzEnvironment
