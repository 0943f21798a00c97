#pragma once

#include <QStyledItemDelegate>

class QTreeView;

// Sizes each row of a tree view to its text wrapped at the column's width.
// The plain delegate measures wrapped text without knowing the column width,
// so a row keeps the height of its unwrapped lines and a wrapped text loses
// its last lines. Rows are measured again whenever a column changes width.
class WrappedRowDelegate : public QStyledItemDelegate {
public:
    explicit WrappedRowDelegate(QTreeView* view);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QTreeView* m_view;
};
