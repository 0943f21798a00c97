#pragma once

#include "templates/PageTemplate.h"
#include "templates/PageTemplateGroup.h"
#include "editing/HeldXml.h"
#include "templates/TemplateReference.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class DashConfig;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPoint;
class QPushButton;
class QTabWidget;
struct TemplateUsers;

// Picks the page template a new page is added from: one tab per RS3 template
// set of the configuration's device family and one "Homebrew" tab for the
// program's own store. exec() returns 0 when cancelled, 1 when a template was
// chosen (an empty folderPath of selectedTemplate means none was), and
// kSaveCurrentAsTemplate when the user asked to save the current page first;
// the caller then saves and shows a fresh dialog, which lists the new one.
class AddPageDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kSaveCurrentAsTemplate = 42;

    // pageIndex: the page the user is on; the dialog opens on that page's
    // display. -1 (none): on the configuration's first display.
    AddPageDialog(DashConfig* config, QWidget* parent = nullptr, int pageIndex = -1);

    DashConfig* config = nullptr;
    int pageIndex = -1;
    QString targetFamily;
    QStringList familyFolders;
    std::vector<PageTemplateGroup> rs3Groups;
    PageTemplateGroup homebrewGroup;
    QTabWidget* tabs = nullptr;
    QDialogButtonBox* buttons = nullptr;
    QLabel* deviceBadge = nullptr;
    QPushButton* saveAsTemplateButton = nullptr;
    QLabel* dashLabel = nullptr;
    QComboBox* dashCombo = nullptr;
    // Shown when there is no RS3 install and only the store's templates are
    // offered: where an install was looked for.
    QLabel* installNote = nullptr;
    PageTemplate selectedTemplate;
    // The pages and masks the window's undo history keeps aside; Delete
    // Template counts them as users of a template. Empty: none.
    HeldXmlWalk heldXml;

public Q_SLOTS:
    void onDoubleClicked(QListWidgetItem* item);
    void onSelectionChanged();
    void onSaveCurrentAsTemplate();
    void onDeleteHomebrewTemplate();
    void onDashChanged(int index);

private:
    void populateDashCombo();
    void populateTemplates();
    void addTemplateTab(const PageTemplateGroup& group);
    // Keeps the store templates that have a preview and folder metadata;
    // the number dropped.
    int dropBrokenHomebrewTemplates();
    void addNoneTab();
    QListWidget* makeTemplateList();
    QListWidget* currentList() const;
    PageTemplate templateFromItem(const QListWidgetItem* item) const;
    static PageTemplate findTemplateByFolder(const std::vector<PageTemplate>& templates, const QString& folder);
    bool confirmDelete(const PageTemplate& tpl);
    void refuseTemplateInUse(const PageTemplate& tpl, const TemplateUsers& users);
    void onTemplateContextMenu(const QPoint& pos);
    void onAcceptClicked();
};
