#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>

// Small file and picture helpers the tests share.
namespace TestFiles {

// A picture of the size filled with the colour (ARGB32), encoded as PNG.
QByteArray pngBytes(const QSize& size, const QColor& colour);

// The file's bytes, or "<missing>" when it cannot be read, so that a file
// that is gone never compares equal to an empty one.
QByteArray readBytes(const QString& path);

// Writes bytes as they are, replacing the file; no parent folders are made,
// so tests can point it where a write must fail.
bool writeBytes(const QString& path, const QByteArray& bytes);

// A Unix socket at path: something no one can open and read, whoever runs
// the test (a file without read permission stands for one, but not for
// root, whom permissions do not stop).
bool makeSocket(const QString& path);

} // namespace TestFiles
