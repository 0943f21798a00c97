#pragma once

#include <QStyledItemDelegate>

// The element library grid's delegate: sizes as QStyledItemDelegate's, kept
// for the session. Laying out each caption to size its cell was most of an
// open of a long catalog, and the same captions come back at every open.
class ElementLibraryGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
