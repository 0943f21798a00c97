#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

class DashConfig;

// The picture (mask.png) of the stock item folder a fit scales, read as a
// plain file only: a link there may lead to a private picture, which a fit
// would scale into the homebrew set, and a pipe would hold the window. Null
// when it cannot be read; anything but a missing file is named in the log.
QImage fitSourcePicture(const QString& folder);

// A bar's pictures fitted to its element's size, as single-picture art is.

// The stock bar item at originRel with its pictures of the item's size drawn
// at width x height into the fit item `item` of the homebrew set `stem`
// (named for them and hashSource when empty; a given name must be theirs).
// The mask then points at it, its other parameters as they were. False when
// the origin cannot be read or the item not written.
bool drawFittedBar(DashConfig& config, int page, int mask, const QString& originRel, const QString& hashSource,
                   int width, int height, const QString& stem, QString& item);

// fitMaskArtToGeometry of a bar element without colour: 0 nothing to do, 1
// fitted (or back on its stock item), 2 failed (fitWarning says why).
int fitBarArtToGeometry(DashConfig& config, int page, int mask);

// The bar's pictures fitted from the item its DE_FIT_SRC stamps (else the
// item shown), whatever drew them: a stock bar's, or a coloured bar's the
// user replaced. Results as fitBarArtToGeometry.
int fitBarPictures(DashConfig& config, int page, int mask);

// True when the fitted bar at (page, mask) shows, in one of the `holding`
// folders of its item, a picture that is missing or not of the size its fit
// draws (as an older build's repair left them): the item is drawn again like
// a missing one. False when that cannot be told (no origin here).
bool fittedBarItemStale(DashConfig& config, int page, int mask, const QStringList& holding);
