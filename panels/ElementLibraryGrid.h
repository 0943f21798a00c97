#pragma once

#include <QListWidget>
#include <QSize>

// The element library's thumbnail grid: a QListWidget that lays its items
// out again only when the room for them changed. The view lays out for its
// largest viewport, the one without scroll bars, so a scroll bar appearing
// over a long catalog leaves the layout as it was; QListView would still lay
// out every item again for it.
class ElementLibraryGrid : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The room the last resize left: the largest viewport, and whether the
    // horizontal scroll bar took some of it.
    QSize room;
    bool horizontalBarShown = false;
};
