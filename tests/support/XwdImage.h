#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Reads the screen dumps `xwd` writes (X Window Dump, version 7) of a
// screen of depth 24 (24 or 32 bits per pixel), as Xvfb gives.
// Xvfb reports its visual as DirectColor with identity colour maps, so the
// pixel's bit fields are read as the colour itself. Anything else, and any
// header whose sizes disagree with the data, is refused with a reason.
namespace XwdImage {

QImage read(const QByteArray& data, QString* error = nullptr);

} // namespace XwdImage
