#include "canvas/DashCanvas.h"

QPixmap DashCanvas::maskPixmap(const MaskElement& mask, int maskIndex)
{
    Q_UNUSED(mask);
    if (m_maskImageProvider && maskIndex >= 0) {
        auto it = m_maskImageCache.find(maskIndex);
        if (it == m_maskImageCache.end()) {
            const QImage image = m_maskImageProvider(maskIndex);
            it = m_maskImageCache.insert(maskIndex, image.isNull() ? QPixmap() : QPixmap::fromImage(image));
        }
        if (!it->isNull())
            return *it;
    }
    return QPixmap();
}
