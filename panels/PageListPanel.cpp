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
    connect(this, &QListWidget::currentRowChanged, this, &PageListPanel::onCurrentRowChanged);
}

void PageListPanel::setPages(const std::vector<PageModel>& pages)
{
    clear();
    for (const PageModel& page : pages) {
        auto* item = new QListWidgetItem(page.name, this);
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
