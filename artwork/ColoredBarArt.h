#pragma once

#include "artwork/BarFill.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QMap>
#include <QString>
#include <QStringList>
#include <pugixml.hpp>

// The pictures and folders of bar colour artwork, shared by the colouring,
// its removal and the open-time repair: reading the stock item, naming a
// colouring's state, recolouring its pictures and finding where they go.
namespace ColoredBarArt {

// "aim/resources/overlay/", the start of every overlay-relative path.
const QString& overlayPrefix();
// Only a plain path inside an install's overlay tree may be read or written.
bool isSafeOverlayPath(const QString& rel);
// The first install folder of the origin item that holds its picture.
QString coloredBarSource(const QString& origin);
// Eight hex digits naming one state of a coloured bar.
QString coloredBarStateHash(const QString& source, const QString& origin, int width, int height,
                            const QStringList& stripFiles);
// The lit strips the bar's scales name, and the files of the item holding them.
QStringList litStripNames(pugi::xml_node bar);
QStringList litStripFiles(const QString& source, const QStringList& strips);

// Where a coloured bar's set goes: the parts of newRel, or empty parts when
// it is not the form the editor writes.
struct ColoredBarTarget {
    QString device;
    QString setName;
};
ColoredBarTarget coloredBarTarget(const QString& newRel);

// The recoloured files of the stock item at source, by name.
QMap<QString, QByteArray> recolouredFiles(const QString& source, int width, int height, const QStringList& strips,
                                          BarFill fill);
// A bar picture drawn at another size as the device keeps it (one alpha bit).
QImage resizedBarPicture(const QImage& picture, const QSize& size);
// Every picture (".png" or ".tgz") of the stock item at source that has the
// stock picture's size, drawn at `size`, by name; empty when the sizes match.
QMap<QString, QByteArray> resizedBarPictures(const QString& source, const QSize& stockSize, const QSize& size);
// The pictures of the stock item at source that `names` name (each with its
// ".png" or ".tgz" twin; the picture of the item itself left out), by their
// names in the folder: those of the stock picture's size drawn at `size`,
// the others as they are. What a fitted bar shows of its item, and no more.
QMap<QString, QByteArray> shownBarPictures(const QString& source, const QStringList& names, const QSize& stockSize,
                                           const QSize& size);

// True when an install's folder at newRel holds other art than these files.
bool holdsOtherArt(const QString& newRel, const QString& device, const QMap<QString, QByteArray>& files);

} // namespace ColoredBarArt
