#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// The README.txt written beside exported artwork: the size the art must
// have, which file is authoritative, what the device format can show and who
// else uses the folder. CR LF line ends, so Notepad shows it right. The text
// is fixed English (not translated): it travels with the files.
QString exportedArtworkReadme(const QString& elementLabel, const QString& sourceFolder, const QSize& declaredSize,
                              const QSize& artSize, bool decodedFromTgz, bool noDeviceArt,
                              const QStringList& sharedWith);
