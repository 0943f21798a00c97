#include "panels/PageListPanel.h"

#include <QIcon>

namespace {
const QSize kThumbnailSize(120, 72);
}

PageListPanel::PageListPanel(QWidget* parent)
    : QListWidget(parent)
{
    setMaximumWidth(180);
    setMinimumWidth(120);
    setIconSize(kThumbnailSize);
    // The name under its thumbnail: beside a 120-pixel thumbnail in a list
    // at most 180 wide, a page with a background would be cut off.
    setViewMode(QListView::IconMode);
    setFlow(QListView::TopToBottom);
    setWrapping(false);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setWordWrap(true);
    setSpacing(2);
    connect(this, &QListWidget::currentRowChanged, this, &PageListPanel::onCurrentRowChanged);
}

void PageListPanel::setPages(const std::vector<PageModel>& pages)
{
    clear();
    for (const PageModel& page : pages) {
        auto* item = new QListWidgetItem(page.name, this);
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        if (!page.background.isNull())
            item->setIcon(QIcon(page.background.scaled(kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    if (!pages.empty())
        setCurrentRow(0);
}

void PageListPanel::onCurrentRowChanged(int row)
{
    // A cleared list reports -1; that is no page.
    if (row >= 0)
        Q_EMIT pageSelected(row);
}
