#pragma once

#include "model/PageModel.h"

#include <QPoint>
#include <QString>
#include <QTreeWidget>

// The outliner: the masks of the page on the canvas as top-level rows, their
// widgets as child rows. It never changes the model: every gesture becomes a
// signal carrying (mask index, widget index), widget -1 for a mask row, and
// the main window refills the tree after the change.
class ElementListPanel : public QTreeWidget {
    Q_OBJECT

public:
    // Item data on column 0 of every row.
    enum Role {
        MaskIndexRole = Qt::UserRole,
        WidgetIndexRole = Qt::UserRole + 1,
        KindWordRole = Qt::UserRole + 2,  // widget rows only
        StartTextRole = Qt::UserRole + 3, // Label rows only: the text a rename starts from
    };
    enum Column { IdColumn = 0, TypeColumn = 1, TextColumn = 2 };

    explicit ElementListPanel(QWidget* parent = nullptr);
    using QTreeWidget::edit;

    // Rebuilds the tree for the page (null: empties it).
    void populate(const PageModel* page);
    // Makes the matching row current without emitting a click signal.
    void selectElement(int maskIdx, int widgetIdx);
    // The rows' texts read again from the page after an edit elsewhere,
    // keeping the current row and the filter; a page whose masks or widgets
    // were added or removed is filled anew.
    void refreshTexts(const PageModel* page);
    // Opens the in-place editor when the current row is a Label row.
    void editCurrentLabel();
    // A rename being typed is finished as Return would finish it.
    void commitRename();

    static QString maskKindWord(int kind);
    static QString widgetKindWord(int kind);

Q_SIGNALS:
    void elementClicked(int maskIdx);
    void widgetClicked(int maskIdx, int widgetIdx);
    void labelTextChanged(int maskIdx, int widgetIdx, const QString& oldText, const QString& newText);
    void pageRepopulated();
    void rowContextMenuRequested(int maskIdx, int widgetIdx, const QPoint& globalPos);

public Q_SLOTS:
    void applyFilter(const QString& query);
    void onCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void onItemChanged(QTreeWidgetItem* item, int column);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    QTreeWidgetItem* makeMaskRow(const MaskElement& mask, int maskIdx) const;
    QTreeWidgetItem* makeWidgetRow(const WidgetModel& widget, int maskIdx, int widgetIdx) const;
    bool sameShape(const PageModel& page) const;
    void emitClick(const QTreeWidgetItem* item);

    bool m_guard = false;
    // Set when a rebuild dropped the open editor before the view closed it.
    bool m_editorDropped = false;
};
