#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// A homebrew theme's pictures per overlay family ("mxg_12", "pdm/dash1",
// "solo2dl", ...), as PNG bytes: the device-size background written as
// bkg.png and the small preview written as prw.png. Keys are compared as
// written; a family that is missing reads as empty bytes.
struct ThemeAssets {
    QMap<QString, QByteArray> backgrounds;
    QMap<QString, QByteArray> previews;
};
