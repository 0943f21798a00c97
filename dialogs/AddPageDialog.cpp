#include "dialogs/AddPageDialog.h"

#include "model/DashConfig.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "model/SafeRead.h"
#include "panels/Asker.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateReference.h"
#include "templates/TemplateUsers.h"

#include <QComboBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHash>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kHomebrewRole = Qt::UserRole + 1;
const QSize kIconSize(180, 108);

bool endsWithDash1(const QString& folder)
{
    return folder.endsWith(QLatin1String("/dash1"));
}

// The dash a page is added to by default: the display of the page the user
// is on when it is offered, else the wide one for wide displays and the
// standard one otherwise.
int initialDashIndex(const QStringList& folders, const QString& pageFamily, int displayWidth)
{
    if (folders.size() < 2)
        return 0;
    for (int i = 0; i < folders.size(); ++i) {
        if (folders[i].compare(pageFamily, Qt::CaseInsensitive) == 0)
            return i;
    }
    const bool wide = displayWidth >= 1024;
    for (int i = 0; i < folders.size(); ++i) {
        if (endsWithDash1(folders[i]) == wide)
            return i;
    }
    return 0;
}

bool isUsable(const PageTemplate& tpl, bool* hasPreview, bool* hasMeta)
{
    *hasPreview = !tpl.prwPath.isEmpty() && QFileInfo::exists(tpl.prwPath);
    *hasMeta = QFileInfo::exists(tpl.folderPath + QStringLiteral("/AiM_folder.xml"));
    return *hasPreview && *hasMeta;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// The preview scaled to fit the thumbnail box and centred in it: every
// thumbnail has the box's size, so none is cut whatever its preview's size.
QPixmap thumbnail(const QImage& preview)
{
    QImage box(kIconSize, QImage::Format_ARGB32_Premultiplied);
    box.fill(Qt::transparent);
    const QImage scaled = preview.scaled(kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter(&box).drawImage((kIconSize.width() - scaled.width()) / 2, (kIconSize.height() - scaled.height()) / 2,
                             scaled);
    return QPixmap::fromImage(box);
}

bool anyInstall()
{
    return !rs3OverlayRoots().isEmpty();
}

// What each template of a list is called: its display name, and, where
// another of the list has the same one (a theme and a page template both
// called "Track"), the folder it lives in below it, so no two read alike.
QStringList itemTexts(const std::vector<PageTemplate>& templates)
{
    QHash<QString, int> uses;
    for (const PageTemplate& tpl : templates)
        ++uses[tpl.displayName.trimmed().toCaseFolded()];
    QStringList texts;
    for (const PageTemplate& tpl : templates) {
        const bool shared = uses.value(tpl.displayName.trimmed().toCaseFolded()) > 1;
        texts << (shared ? QStringLiteral("%1\n(%2)").arg(tpl.displayName, tpl.folderName) : tpl.displayName);
    }
    return texts;
}

} // namespace

AddPageDialog::AddPageDialog(DashConfig* config, QWidget* parent, int pageIndex)
    : QDialog(parent)
    , config(config)
    , pageIndex(pageIndex)
{
    setWindowTitle(tr("Select a Page to Add"));
    resize(880, 600);

    // The device name comes from the configuration file: never markup.
    deviceBadge = new QLabel(this);
    deviceBadge->setTextFormat(Qt::PlainText);
    deviceBadge->setStyleSheet(QStringLiteral("QLabel { padding: 2px 8px; background: #2a4060; color: #e0e8ff; "
                                              "border-radius: 3px; font-weight: bold; }"));
    tabs = new QTabWidget(this);
    tabs->setDocumentMode(true);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Add Page"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    saveAsTemplateButton = new QPushButton(tr("Save Current Page as Template..."), this);
    dashLabel = new QLabel(tr("<b>Target dash:</b>"), this);
    dashCombo = new QComboBox(this);
    dashLabel->hide();
    dashCombo->hide();
    installNote = new QLabel(this);
    installNote->setObjectName(QStringLiteral("installNote"));
    installNote->setTextFormat(Qt::PlainText);
    installNote->setWordWrap(true);
    installNote->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("<b>Target device:</b>"), this));
    top->addWidget(deviceBadge);
    top->addSpacing(16);
    top->addWidget(dashLabel);
    top->addWidget(dashCombo);
    top->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(saveAsTemplateButton);
    bottom->addStretch();
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(installNote);
    layout->addWidget(tabs, 1);
    layout->addLayout(bottom);

    connect(buttons, &QDialogButtonBox::accepted, this, &AddPageDialog::onAcceptClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(saveAsTemplateButton, &QPushButton::clicked, this, &AddPageDialog::onSaveCurrentAsTemplate);
    connect(dashCombo, &QComboBox::activated, this, &AddPageDialog::onDashChanged);

    populateDashCombo();
    populateTemplates();
}

void AddPageDialog::populateDashCombo()
{
    familyFolders.clear();
    targetFamily.clear();
    if (!config)
        return;
    familyFolders = PageTemplateLibrary::familyFolderCandidates(config->deviceName);
    {
        const QSignalBlocker blocker(dashCombo);
        dashCombo->clear();
        for (const QString& folder : familyFolders)
            dashCombo->addItem(PageTemplateLibrary::subFamilyLabel(folder), folder);
    }
    // On a two-display device the configuration's display width is the
    // first display's; the page's own display decides.
    const QSize pageDisplay = config->pageDisplaySize(pageIndex);
    const int index = initialDashIndex(familyFolders, config->pageFamily(pageIndex),
                                       pageDisplay.isEmpty() ? config->displayWidth : pageDisplay.width());
    const bool several = familyFolders.size() >= 2;
    dashLabel->setVisible(several);
    dashCombo->setVisible(several);
    if (familyFolders.isEmpty())
        return;
    dashCombo->setCurrentIndex(index);
    targetFamily = familyFolders[index];
}

void AddPageDialog::populateTemplates()
{
    const int remembered = tabs->currentIndex();
    while (tabs->count() > 0) {
        QWidget* page = tabs->widget(0);
        tabs->removeTab(0);
        delete page;
    }
    rs3Groups.clear();
    if (!config)
        return;

    const QString device = config->deviceName;
    if (device.isEmpty())
        deviceBadge->setText(tr("unknown"));
    else
        deviceBadge->setText(QStringLiteral("%1 (%2)").arg(
            device, targetFamily.isEmpty() ? tr("no template folder") : targetFamily));

    rs3Groups = PageTemplateLibrary::listRs3Templates(targetFamily);
    for (const PageTemplateGroup& group : rs3Groups)
        addTemplateTab(group);

    // The copies offered are the ones under the chosen display: a page added
    // on "Dash 2" must refer to the Dash 2 tree, not the device's first one.
    homebrewGroup = PageTemplateLibrary::listHomebrewTemplates(
        targetFamily, PageTemplateLibrary::saveFamilyForDash(device, targetFamily));
    const int dropped = dropBrokenHomebrewTemplates();
    if (dropped > 0) {
        QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        if (auto* bar = owner ? owner->findChild<QStatusBar*>() : nullptr)
            bar->showMessage(
                tr("%1 broken homebrew template(s) hidden (missing prw.png or AiM_folder.xml).").arg(dropped), 8000);
    }
    addTemplateTab(homebrewGroup);

    // With nothing to offer, the tab that says why is the one shown.
    const bool nothing = rs3Groups.empty() && homebrewGroup.templates.empty();
    QStringList notes;
    if (!nothing && !anyInstall())
        notes << tr("Only your own templates are offered. %1").arg(InstallAdvice::noInstall());
    // A label behind a link or in a pipe is never read or written: the user
    // learns which, since its set or template shows its folder name instead.
    QStringList notRead = homebrewGroup.notRead;
    for (const PageTemplateGroup& group : rs3Groups)
        notRead += group.notRead;
    if (!notRead.isEmpty())
        notes << tr("Left alone, as links and special files are never followed:") + QLatin1Char('\n')
                + TemplateUsers::firstDozen(notRead);
    installNote->setText(notes.join(QLatin1Char('\n')));
    installNote->setVisible(!notes.isEmpty());
    if (nothing)
        addNoneTab();
    else if (remembered >= 0 && remembered < tabs->count())
        tabs->setCurrentIndex(remembered);
    // A rebuilt list has nothing chosen (a deleted template's row is gone):
    // Add Page waits for a new choice.
    onSelectionChanged();
}

int AddPageDialog::dropBrokenHomebrewTemplates()
{
    std::vector<PageTemplate> kept;
    int dropped = 0;
    for (const PageTemplate& tpl : homebrewGroup.templates) {
        bool hasPreview = false;
        bool hasMeta = false;
        if (isUsable(tpl, &hasPreview, &hasMeta)) {
            kept.push_back(tpl);
            continue;
        }
        qWarning().noquote() << QStringLiteral("AddPageDialog: skipping broken homebrew template '%1' (prw.png=%2, "
                                               "AiM_folder.xml=%3)")
                                    .arg(tpl.folderPath, boolText(hasPreview), boolText(hasMeta));
        ++dropped;
    }
    homebrewGroup.templates = std::move(kept);
    return dropped;
}

// The device name and the install folders come from files and settings the
// user does not see as markup: they are shown as text. Each text says where
// templates were looked for and what the user can do from here.
void AddPageDialog::addNoneTab()
{
    QString text;
    if (targetFamily.isEmpty()) {
        text = tr("<div style='padding: 24px; text-align: center'><b>No templates found</b><br>for device "
                  "<code>%1</code>. RaceStudio3 install expected at <code>%2</code>. Its folders are set in "
                  "<i>Tools &gt; Preferences</i>.</div>")
                   .arg(config->deviceName.toHtmlEscaped(), configuredRaceStudio3Root().toHtmlEscaped());
    } else if (!anyInstall()) {
        text = tr("<div style='padding: 24px; text-align: center'><b>No RaceStudio 3 install found</b><br>Korvelanto "
                  "looked for one at <code>%1</code>. Set its folders in <i>Tools &gt; Preferences</i>, or make a "
                  "template of your own from the current page with <i>Save Current Page as Template</i> below.</div>")
                   .arg(InstallAdvice::configuredFoldersText().toHtmlEscaped());
    } else {
        const QString standard =
            QStringLiteral("aim/resources/overlay/%1/masks/set/standard").arg(targetFamily);
        text = tr("<div style='padding: 24px; text-align: center'><b>No built-in templates for this device "
                  "yet</b><br>None in <code>%1</code>. Add a blank page with <i>Edit &gt; New Blank Page</i>, or "
                  "make a template of your own from the current page with <i>Save Current Page as Template</i> "
                  "below; it then shows on the <b>Homebrew</b> tab.</div>")
                   .arg(InstallAdvice::lookedFor(standard).toHtmlEscaped());
    }
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("noneLabel"));
    label->setTextFormat(Qt::RichText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    tabs->insertTab(0, label, tr("(none)"));
    tabs->setCurrentIndex(0);
}

QListWidget* AddPageDialog::makeTemplateList()
{
    auto* list = new QListWidget;
    list->setViewMode(QListView::IconMode);
    list->setIconSize(kIconSize);
    list->setGridSize(QSize(208, 156));
    list->setResizeMode(QListView::Adjust);
    list->setMovement(QListView::Static);
    list->setSpacing(10);
    list->setWordWrap(true);
    // Each item is sized on its own: a name that wraps keeps its lines.
    list->setUniformItemSizes(false);
    connect(list, &QListWidget::itemDoubleClicked, this, &AddPageDialog::onDoubleClicked);
    connect(list, &QListWidget::itemSelectionChanged, this, &AddPageDialog::onSelectionChanged);
    return list;
}

void AddPageDialog::addTemplateTab(const PageTemplateGroup& group)
{
    QListWidget* list = makeTemplateList();
    const QStringList texts = itemTexts(group.templates);
    for (size_t i = 0; i < group.templates.size(); ++i) {
        const PageTemplate& tpl = group.templates[i];
        auto* item = new QListWidgetItem(texts.at(qsizetype(i)), list);
        item->setToolTip(tpl.folderPath);
        const QImage preview = tpl.prwPath.isEmpty() ? QImage() : SafeRead::readImage(tpl.prwPath);
        if (!preview.isNull())
            item->setIcon(thumbnail(preview));
        item->setData(Qt::UserRole, tpl.folderPath);
        item->setData(kHomebrewRole, tpl.homebrew);
    }
    if (group.homebrew) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QListWidget::customContextMenuRequested, this, &AddPageDialog::onTemplateContextMenu);
    }
    tabs->addTab(list, group.setLabel);
}

QListWidget* AddPageDialog::currentList() const
{
    return qobject_cast<QListWidget*>(tabs->currentWidget());
}

PageTemplate AddPageDialog::findTemplateByFolder(const std::vector<PageTemplate>& templates, const QString& folder)
{
    for (const PageTemplate& tpl : templates) {
        if (tpl.folderPath == folder)
            return tpl;
    }
    return {};
}

PageTemplate AddPageDialog::templateFromItem(const QListWidgetItem* item) const
{
    if (!item)
        return {};
    const QString folder = item->data(Qt::UserRole).toString();
    if (item->data(kHomebrewRole).toBool())
        return findTemplateByFolder(homebrewGroup.templates, folder);
    for (const PageTemplateGroup& group : rs3Groups) {
        const PageTemplate found = findTemplateByFolder(group.templates, folder);
        if (!found.folderPath.isEmpty())
            return found;
    }
    return {};
}

void AddPageDialog::onSelectionChanged()
{
    const QListWidget* list = currentList();
    buttons->button(QDialogButtonBox::Ok)->setEnabled(list && list->currentItem());
}

void AddPageDialog::onDoubleClicked(QListWidgetItem* item)
{
    if (!item)
        return;
    selectedTemplate = templateFromItem(item);
    accept();
}

void AddPageDialog::onAcceptClicked()
{
    const QListWidget* list = currentList();
    if (list && list->currentItem())
        selectedTemplate = templateFromItem(list->currentItem());
    accept();
}

void AddPageDialog::onSaveCurrentAsTemplate()
{
    done(kSaveCurrentAsTemplate);
}

void AddPageDialog::onDashChanged(int index)
{
    if (index < 0 || index >= familyFolders.size())
        return;
    targetFamily = familyFolders[index];
    populateTemplates();
}

void AddPageDialog::onTemplateContextMenu(const QPoint& pos)
{
    auto* list = qobject_cast<QListWidget*>(sender());
    QListWidgetItem* item = list ? list->itemAt(pos) : nullptr;
    if (!item)
        return;
    list->setCurrentItem(item);
    QMenu menu(this);
    connect(menu.addAction(tr("Delete Template")), &QAction::triggered, this,
            &AddPageDialog::onDeleteHomebrewTemplate);
    menu.exec(list->viewport()->mapToGlobal(pos));
}

void AddPageDialog::onDeleteHomebrewTemplate()
{
    const QListWidget* list = currentList();
    if (!list || !list->currentItem())
        return;
    const PageTemplate tpl = templateFromItem(list->currentItem());
    if (!tpl.homebrew)
        return;
    // Never asked about: the delete would refuse whatever the answer.
    const QString clash = PageTemplateLibrary::artSetNameClash(tpl.folderName);
    if (!clash.isEmpty()) {
        Asker::instance().warning(this, tr("Delete failed"),
                                  tr("Could not delete the template folder:\n%1").arg(tpl.folderPath)
                                      + QStringLiteral("\n\n") + clash);
        return;
    }
    // One count serves the question and the delete: the delete is told not
    // to read every configuration again.
    if (!confirmDelete(tpl))
        return;
    const QStringList extraFamilies = config ? config->deviceOverlayFolders() : QStringList();
    QString why;
    if (PageTemplateLibrary::deleteHomebrewTemplate(targetFamily, tpl, extraFamilies, true, &why)) {
        populateTemplates();
        return;
    }
    Asker::instance().warning(this, tr("Delete failed"),
                              tr("Could not delete the template folder:\n%1").arg(tpl.folderPath)
                                  + (why.isEmpty() ? QString() : QStringLiteral("\n\n") + why));
}

// Refuses while the open configuration (its pages in the window, its saved
// file, the pages its undo history can bring back), RS3 configurations or
// files this editor saved still use the template: deleting it would leave
// them pointing at missing artwork. Where nothing was found, which proves
// nothing, only a deliberate Yes deletes, and the delete keeps a copy.
bool AddPageDialog::confirmDelete(const PageTemplate& tpl)
{
    const TemplateUsers users = TemplateUsers::of(tpl, config, heldXml);
    if (users.found()) {
        refuseTemplateInUse(tpl, users);
        return false;
    }
    QString question =
        tr("Delete homebrew template \"%1\"?\n\nThis removes it from Korvelanto's store and from the RaceStudio3 "
           "install mirror (if present). A copy is kept in the artwork backups.")
            .arg(tpl.displayName);
    // What could not be read counts as a user: said first.
    if (!users.complete())
        question = tr("\"%1\" may still be in use: the search could not read everything.").arg(tpl.displayName)
            + QStringLiteral("\n\n") + question;
    question += QStringLiteral("\n\n") + users.notSearched();
    return Asker::instance().question(this, tr("Delete Template"), question, QMessageBox::Yes | QMessageBox::Cancel,
                                      QMessageBox::Cancel)
           == QMessageBox::Yes;
}

void AddPageDialog::refuseTemplateInUse(const PageTemplate& tpl, const TemplateUsers& users)
{
    const TemplateReference& open = users.open;
    const QList<TemplateReference>& refs = users.configs;
    const QList<TemplateReference>& saved = users.savedFiles;
    QString text;
    if (open.referenceCount > 0) {
        const QString name = open.configName.isEmpty() ? tr("(not saved yet)") : open.configName;
        text = tr("\"%1\" cannot be deleted - the open configuration %2 still uses it.").arg(tpl.displayName, name);
        if (!refs.isEmpty())
            text += QLatin1Char('\n')
                    + tr("%n RaceStudio 3 configuration(s) also use it:", nullptr, int(refs.size()));
    } else if (!refs.isEmpty()) {
        text = tr("\"%1\" cannot be deleted - %n RaceStudio 3 configuration(s) still use it:", nullptr,
                  int(refs.size()))
                   .arg(tpl.displayName);
    } else if (!saved.isEmpty()) {
        text = tr("\"%1\" cannot be deleted - %n configuration(s) Korvelanto saved still use it:", nullptr,
                  int(saved.size()))
                   .arg(tpl.displayName);
    } else {
        text = tr("\"%1\" cannot be deleted - pages or boxes that Undo or Redo can bring back into the open "
                  "configuration use it.")
                   .arg(tpl.displayName);
    }
    if (!saved.isEmpty() && (open.referenceCount > 0 || !refs.isEmpty()))
        text += QLatin1Char('\n') + tr("%n configuration(s) Korvelanto saved also use it.", nullptr, int(saved.size()));
    QString advice =
        open.referenceCount > 0
            ? tr("Remove the pages that use this template and save (or delete the configurations) first, then delete "
                 "the template.")
            : tr("Remove the pages that use this template (or delete the configurations) first, then delete the "
                 "template.");
    if (users.heldByUndo > 0)
        advice += QLatin1Char(' ')
                  + tr("Undo can still bring back pages that use it: save, then close or reopen the configuration "
                       "to let them go.");
    QMessageBox box(QMessageBox::Warning, tr("Template is in use"), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(
        users.listing() + QStringLiteral("\n\n")
        + tr("Deleting it would leave those configurations pointing at artwork that is no longer there. RaceStudio 3 "
             "shows an image error for every missing file, each time the configuration is opened.")
        + QStringLiteral("\n\n") + advice);
    Asker::instance().exec(&box);
}
