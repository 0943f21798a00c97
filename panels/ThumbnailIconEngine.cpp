#include "panels/ThumbnailIconEngine.h"

#include "panels/ElementThumbnailCache.h"

ThumbnailIconEngine::ThumbnailIconEngine(const ElementCatalogEntry& e, int s)
    : entry(e), side(s), expected(ElementThumbnailCache::expectedSize(e, s))
{
}

const QIcon& ThumbnailIconEngine::drawn()
{
    if (!isDrawn) {
        isDrawn = true;
        const QPixmap pixmap = ElementThumbnailCache::thumbnail(entry, side);
        if (!pixmap.isNull())
            icon = QIcon(pixmap);
    }
    return icon;
}

void ThumbnailIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    // The rect is already aligned to actualSize, so centring changes nothing.
    drawn().paint(painter, rect, Qt::AlignCenter, mode, state);
}

QPixmap ThumbnailIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return drawn().pixmap(size, mode, state);
}

QSize ThumbnailIconEngine::actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    if (isDrawn)
        return icon.actualSize(size, mode, state);
    // As QIcon(pixmap) answers for a pixmap of the expected size.
    QSize actual = expected;
    if (!actual.isEmpty() && (actual.width() > size.width() || actual.height() > size.height()))
        actual.scale(size, Qt::KeepAspectRatio);
    return actual;
}

QList<QSize> ThumbnailIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state)
{
    if (isDrawn)
        return icon.availableSizes(mode, state);
    return expected.isEmpty() ? QList<QSize>() : QList<QSize>{expected};
}

bool ThumbnailIconEngine::isNull()
{
    return isDrawn ? icon.isNull() : expected.isEmpty();
}

QIconEngine* ThumbnailIconEngine::clone() const
{
    return new ThumbnailIconEngine(*this);
}

QString ThumbnailIconEngine::key() const
{
    return QStringLiteral("korvelanto-thumbnail");
}
