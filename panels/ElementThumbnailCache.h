#pragma once

#include "panels/ElementCatalogEntry.h"

#include <QPixmap>

// Element thumbnails kept across opens of the element library: in memory for
// the session and as PNG files in a folder beside the element catalog (each
// written when it is drawn, so only what was shown). A kept
// thumbnail is used while every file it may have been drawn from keeps its
// size and modification time; otherwise it is drawn again and replaced.
// Decoding and scaling the element art was most of the time of every open.
namespace ElementThumbnailCache {

// renderElementThumbnail(entry, side), from the cache where it is current.
QPixmap thumbnail(const ElementCatalogEntry& entry, int side);

// The size thumbnail(entry, side) is expected to have, without drawing it:
// that of the one kept in memory, else read from the image headers (and
// kept). The sources are not checked, so a source changed since may still
// draw at another size.
QSize expectedSize(const ElementCatalogEntry& entry, int side);

// "thumbnails" beside the catalog file.
QString folder();

// Forgets the in-memory copies (the files stay); for tests and benches.
void clearMemory();

} // namespace ElementThumbnailCache
