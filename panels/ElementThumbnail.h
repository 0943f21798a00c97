#pragma once

#include "panels/ElementCatalogEntry.h"

#include <QPixmap>

// A small picture of a native element from what lies in its folder: the
// base image with the middle scale frame (or another art image) over it, and
// an outline with a sample value where RS3's art would show nothing. No
// larger than side x side; null when the element has no readable image.
QPixmap renderElementThumbnail(const ElementCatalogEntry& entry, int side);

// The size renderElementThumbnail(entry, side) has, from the image headers
// alone; empty when it would be null.
QSize elementThumbnailSize(const ElementCatalogEntry& entry, int side);
