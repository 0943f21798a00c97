#include "panels/ElementLibraryGrid.h"

#include <QScrollBar>

void ElementLibraryGrid::resizeEvent(QResizeEvent* event)
{
    const QSize largest = maximumViewportSize();
    const bool barShown = horizontalScrollBar()->isVisible();
    if (largest == room && barShown == horizontalBarShown && viewMode() == QListView::IconMode
        && flow() == QListView::LeftToRight) {
        // Still the scroll area's own bookkeeping and the scroll bars' ranges.
        QAbstractItemView::resizeEvent(event);
        return;
    }
    room = largest;
    horizontalBarShown = barShown;
    QListWidget::resizeEvent(event);
}
