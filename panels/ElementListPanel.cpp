#include "panels/ElementListPanel.h"

#include "panels/KindWords.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>

#include <memory>

namespace {

int maskIndexOf(const QTreeWidgetItem* item)
{
    return item->data(ElementListPanel::IdColumn, ElementListPanel::MaskIndexRole).toInt();
}

int widgetIndexOf(const QTreeWidgetItem* item)
{
    return item->data(ElementListPanel::IdColumn, ElementListPanel::WidgetIndexRole).toInt();
}

bool rowContains(const QTreeWidgetItem* item, const QString& query)
{
    for (int c = 0; c < item->columnCount(); ++c) {
        if (item->text(c).contains(query, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Sets the flag for the lifetime of the scope, so that changes the panel
// makes to its own tree never come back as user gestures.
class GuardScope {
public:
    explicit GuardScope(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~GuardScope() { m_flag = false; }
    GuardScope(const GuardScope&) = delete;
    GuardScope& operator=(const GuardScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

ElementListPanel::ElementListPanel(QWidget* parent)
    : QTreeWidget(parent)
{
    setMinimumWidth(180);
    setMaximumWidth(280);
    setColumnCount(3);
    setHeaderLabels({tr("ID"), tr("Type"), tr("Text/Channel")});
    header()->setStretchLastSection(true);
    setRootIsDecorated(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setIndentation(14);
    setAlternatingRowColors(true);
    // No rename on a click of the selected row: the editor it opened would
    // take the next Delete, meant for the element, as an edit of its text.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    connect(this, &QTreeWidget::currentItemChanged, this, &ElementListPanel::onCurrentItemChanged);
    connect(this, &QTreeWidget::itemChanged, this, &ElementListPanel::onItemChanged);
}

QString ElementListPanel::maskKindWord(int kind)
{
    // A ring gauge must be findable by its kind: with no data it draws only
    // its faint track.
    if (kind == MaskRing)
        return QStringLiteral("Ring");
    return ::maskKindWord(kind, QStringLiteral("?"));
}

QString ElementListPanel::widgetKindWord(int kind)
{
    return ::widgetKindWord(kind, QStringLiteral("?"));
}

QTreeWidgetItem* ElementListPanel::makeMaskRow(const MaskElement& mask, int maskIdx) const
{
    auto* row = new QTreeWidgetItem({mask.id, maskKindWord(mask.kind), mask.channel});
    row->setData(IdColumn, MaskIndexRole, maskIdx);
    row->setData(IdColumn, WidgetIndexRole, -1);
    return row;
}

QTreeWidgetItem* ElementListPanel::makeWidgetRow(const WidgetModel& widget, int maskIdx, int widgetIdx) const
{
    const QString kindWord = widgetKindWord(widget.kind);
    const QString text = widget.text.isEmpty() ? widget.channel : widget.text;
    auto* row = new QTreeWidgetItem({widget.id, kindWord, text});
    row->setData(IdColumn, MaskIndexRole, maskIdx);
    row->setData(IdColumn, WidgetIndexRole, widgetIdx);
    row->setData(IdColumn, KindWordRole, kindWord);
    return row;
}

void ElementListPanel::populate(const PageModel* page)
{
    {
        GuardScope guard(m_guard);
        // A rename's own push rebuilds the tree while the view is still
        // committing the editor; clearing lets go of that editor already.
        if (state() == EditingState)
            m_editorDropped = true;
        clear();
        if (!page)
            return;
        for (int m = 0; m < int(page->masks.size()); ++m) {
            const MaskElement& mask = page->masks[size_t(m)];
            QTreeWidgetItem* maskRow = makeMaskRow(mask, m);
            addTopLevelItem(maskRow);
            for (int w = 0; w < int(mask.widgets.size()); ++w) {
                const WidgetModel& widget = mask.widgets[size_t(w)];
                QTreeWidgetItem* row = makeWidgetRow(widget, m, w);
                maskRow->addChild(row);
                if (widget.kind == WidgetLabel) {
                    row->setFlags(row->flags() | Qt::ItemIsEditable);
                    row->setData(IdColumn, StartTextRole, row->text(TextColumn));
                }
            }
            maskRow->setExpanded(true);
        }
        resizeColumnToContents(IdColumn);
        resizeColumnToContents(TypeColumn);
    }
    Q_EMIT pageRepopulated();
}

void ElementListPanel::selectElement(int maskIdx, int widgetIdx)
{
    GuardScope guard(m_guard);
    QTreeWidgetItem* target = nullptr;
    if (maskIdx >= 0 && maskIdx < topLevelItemCount()) {
        target = topLevelItem(maskIdx);
        if (widgetIdx >= 0 && widgetIdx < target->childCount())
            target = target->child(widgetIdx);
    }
    setCurrentItem(target);
    if (!target)
        clearSelection();
}

bool ElementListPanel::sameShape(const PageModel& page) const
{
    if (topLevelItemCount() != int(page.masks.size()))
        return false;
    for (int m = 0; m < topLevelItemCount(); ++m) {
        if (topLevelItem(m)->childCount() != int(page.masks[size_t(m)].widgets.size()))
            return false;
    }
    return true;
}

void ElementListPanel::refreshTexts(const PageModel* page)
{
    if (!page || !sameShape(*page)) {
        populate(page);
        return;
    }
    GuardScope guard(m_guard);
    for (int m = 0; m < topLevelItemCount(); ++m) {
        const MaskElement& mask = page->masks[size_t(m)];
        QTreeWidgetItem* maskRow = topLevelItem(m);
        const std::unique_ptr<QTreeWidgetItem> fresh(makeMaskRow(mask, m));
        for (int c = 0; c < columnCount(); ++c)
            maskRow->setText(c, fresh->text(c));
        for (int w = 0; w < maskRow->childCount(); ++w) {
            QTreeWidgetItem* row = maskRow->child(w);
            const std::unique_ptr<QTreeWidgetItem> freshRow(makeWidgetRow(mask.widgets[size_t(w)], m, w));
            for (int c = 0; c < columnCount(); ++c)
                row->setText(c, freshRow->text(c));
            row->setData(IdColumn, KindWordRole, freshRow->data(IdColumn, KindWordRole));
            if (row->flags() & Qt::ItemIsEditable)
                row->setData(IdColumn, StartTextRole, row->text(TextColumn));
        }
    }
}

void ElementListPanel::editCurrentLabel()
{
    QTreeWidgetItem* item = currentItem();
    if (item && (item->flags() & Qt::ItemIsEditable))
        editItem(item, TextColumn);
}

void ElementListPanel::commitRename()
{
    QTreeWidgetItem* item = currentItem();
    if (state() != EditingState || !item)
        return;
    QWidget* editor = indexWidget(indexFromItem(item, TextColumn));
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ElementListPanel::emitClick(const QTreeWidgetItem* item)
{
    const int maskIdx = maskIndexOf(item);
    const int widgetIdx = widgetIndexOf(item);
    if (widgetIdx < 0)
        Q_EMIT elementClicked(maskIdx);
    else
        Q_EMIT widgetClicked(maskIdx, widgetIdx);
}

void ElementListPanel::onCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem*)
{
    if (m_guard || !current)
        return;
    emitClick(current);
}

void ElementListPanel::onItemChanged(QTreeWidgetItem* item, int column)
{
    if (m_guard || !item || column != TextColumn)
        return;
    if (widgetIndexOf(item) < 0 || item->data(IdColumn, KindWordRole).toString() != QLatin1String("Label"))
        return;
    const QString oldText = item->data(IdColumn, StartTextRole).toString();
    const QString newText = item->text(TextColumn);
    if (newText.isEmpty()) {
        GuardScope guard(m_guard);
        item->setText(TextColumn, oldText);
        return;
    }
    if (newText == oldText)
        return;
    {
        GuardScope guard(m_guard);
        item->setData(IdColumn, StartTextRole, newText);
    }
    Q_EMIT labelTextChanged(maskIndexOf(item), widgetIndexOf(item), oldText, newText);
}

void ElementListPanel::applyFilter(const QString& query)
{
    const QString q = query.trimmed();
    for (int m = 0; m < topLevelItemCount(); ++m) {
        QTreeWidgetItem* mask = topLevelItem(m);
        const bool maskMatches = q.isEmpty() || rowContains(mask, q);
        bool anyChildShown = false;
        for (int w = 0; w < mask->childCount(); ++w) {
            QTreeWidgetItem* child = mask->child(w);
            const bool shown = maskMatches || rowContains(child, q);
            child->setHidden(!shown);
            anyChildShown = anyChildShown || shown;
        }
        mask->setHidden(!maskMatches && !anyChildShown);
        if (q.isEmpty() || anyChildShown)
            mask->setExpanded(true);
    }
}

void ElementListPanel::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    QTreeWidgetItem* item = itemAt(event->pos());
    if (!item) {
        Q_EMIT rowContextMenuRequested(-1, -1, event->globalPos());
        return;
    }
    {
        GuardScope guard(m_guard);
        setCurrentItem(item);
    }
    const int maskIdx = maskIndexOf(item);
    const int widgetIdx = widgetIndexOf(item);
    emitClick(item);
    Q_EMIT rowContextMenuRequested(maskIdx, widgetIdx, event->globalPos());
}

void ElementListPanel::mousePressEvent(QMouseEvent* event)
{
    // The context-menu event that follows a right press selects the row and
    // reports the click; letting the press select it too would report it twice.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

QItemSelectionModel::SelectionFlags ElementListPanel::selectionCommand(const QModelIndex& index,
                                                                      const QEvent* event) const
{
    // The highlighted row is the canvas's selection, which Delete removes: a
    // click beside the rows or a Ctrl+click on the row leaves it as it is,
    // since neither changes what the canvas has selected.
    const bool mouse = event
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease
            || event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseMove);
    if (mouse && !index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags flags = QTreeWidget::selectionCommand(index, event);
    if (flags.testFlag(QItemSelectionModel::Deselect))
        return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return flags;
}

void ElementListPanel::focusInEvent(QFocusEvent* event)
{
    // Without a current row, Qt makes the first row current when the view
    // gains the focus by any road but a click (a menu or a dialog closing,
    // Tab). That is no pick of the user's: it must neither select the row nor
    // leave it looking current, or a later click on it would go unreported.
    QTreeWidgetItem* before = currentItem();
    GuardScope guard(m_guard);
    QTreeWidget::focusInEvent(event);
    if (currentItem() == before)
        return;
    if (before)
        setCurrentItem(before);
    else
        selectionModel()->clearCurrentIndex();
}

void ElementListPanel::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // The editor a rebuild let go of belongs to no row any more: closing it
    // again would only warn.
    if (m_editorDropped) {
        m_editorDropped = false;
        return;
    }
    QTreeWidget::closeEditor(editor, hint);
}

bool ElementListPanel::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Only the text column of a Label row is a name; a double-click anywhere
    // on the row edits that column, never the id or the kind word.
    const QModelIndex target = index.isValid() ? index.siblingAtColumn(TextColumn) : index;
    const bool wasEditing = state() == EditingState;
    const bool opened = QTreeWidget::edit(target, trigger, event);
    if (opened && !wasEditing)
        m_editorDropped = false; // a fresh editor: nothing dropped is pending
    return opened;
}
