#include "panels/ElementLibraryGridDelegate.h"

#include <QApplication>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QStyle>
#include <QWidget>

namespace {

// Every input the size depends on for the grid's items: the caption, the
// icon's size, and what the view's options say about font, space and layout.
struct SizeKey {
    QString text;
    QSize icon;
    QSize rect;
    QSize decoration;
    QFont font;
    int features = 0;
    int decorationPosition = 0;
    int displayAlignment = 0;
    int textAlignment = 0;
    const QStyle* style = nullptr;

    bool operator==(const SizeKey& o) const
    {
        return text == o.text && icon == o.icon && rect == o.rect && decoration == o.decoration && font == o.font
            && features == o.features && decorationPosition == o.decorationPosition
            && displayAlignment == o.displayAlignment && textAlignment == o.textAlignment && style == o.style;
    }
};

size_t qHash(const SizeKey& key, size_t seed = 0)
{
    // The font is compared, not hashed: hashing it writes it out in full.
    return qHashMulti(seed, key.text, key.icon.width(), key.icon.height(), key.rect.width(), key.decoration.width(),
                      key.features);
}

QHash<SizeKey, QSize>& sizes()
{
    static QHash<SizeKey, QSize> kept;
    return kept;
}

// More captions than any catalog holds; past it the cache starts afresh.
constexpr qsizetype kMostKept = 50000;

} // namespace

QSize ElementLibraryGridDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // An explicit size hint is QStyledItemDelegate's answer as it stands.
    if (index.data(Qt::SizeHintRole).isValid())
        return QStyledItemDelegate::sizeHint(option, index);
    SizeKey key;
    key.text = index.data(Qt::DisplayRole).toString();
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    key.icon = icon.isNull() ? QSize(-1, -1) : icon.actualSize(option.decorationSize);
    key.rect = option.rect.size();
    key.decoration = option.decorationSize;
    // The font and alignment an item sets are in its data; the grid sets none.
    const QVariant itemFont = index.data(Qt::FontRole);
    key.font = itemFont.isValid() ? itemFont.value<QFont>().resolve(option.font) : option.font;
    // A check box takes room; the grid shows none.
    key.features = int(option.features) | (index.data(Qt::CheckStateRole).isValid() ? 1 << 30 : 0);
    key.decorationPosition = int(option.decorationPosition);
    key.displayAlignment = int(option.displayAlignment);
    key.textAlignment = index.data(Qt::TextAlignmentRole).toInt();
    key.style = option.widget ? option.widget->style() : QApplication::style();
    auto kept = sizes().constFind(key);
    if (kept != sizes().constEnd())
        return *kept;
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (sizes().size() >= kMostKept)
        sizes().clear();
    sizes().insert(key, size);
    return size;
}
