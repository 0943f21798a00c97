#pragma once

#include "panels/ElementCatalogEntry.h"

#include <QIcon>
#include <QIconEngine>

// An element library thumbnail that is drawn (or read from the cache) only
// when it is first painted or asked for, so opening the library costs only
// the thumbnails in view. Until then its size is the one the cache expects;
// after, it paints exactly as QIcon(thumbnail) does.
class ThumbnailIconEngine : public QIconEngine {
public:
    ThumbnailIconEngine(const ElementCatalogEntry& entry, int side);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    bool isNull() override;
    QIconEngine* clone() const override;
    QString key() const override;

private:
    const QIcon& drawn();

    ElementCatalogEntry entry;
    int side;
    QSize expected;
    bool isDrawn = false;
    QIcon icon;
};
