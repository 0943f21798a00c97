#include "dialogs/WrappedRowDelegate.h"

#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

WrappedRowDelegate::WrappedRowDelegate(QTreeView* view)
    : QStyledItemDelegate(view), m_view(view)
{
    // Once per burst of resizes (a stretched column moves with every pixel
    // the dialog grows).
    auto* relayout = new QTimer(this);
    relayout->setSingleShot(true);
    relayout->setInterval(0);
    connect(relayout, &QTimer::timeout, view, [view] { view->doItemsLayout(); });
    connect(view->header(), &QHeaderView::sectionResized, relayout, qOverload<>(&QTimer::start));
}

QSize WrappedRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem measured(option);
    const int width = m_view->header()->sectionSize(index.column());
    // The style wraps only within a valid rectangle: a height is needed too.
    if (width > 0)
        measured.rect = QRect(0, 0, width, std::max(option.rect.height(), 1));
    return QStyledItemDelegate::sizeHint(measured, index);
}
