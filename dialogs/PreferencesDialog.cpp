#include "dialogs/PreferencesDialog.h"

#include "updates/UpdateChecker.h"
#include "model/InstallRoots.h"
#include "model/SettingsFile.h"
#include "panels/Asker.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char* const kCheckOnStartupKey = "updates/checkOnStartup";
const char* const kStableRootKey = "paths/raceStudio3Root";
const char* const kBetaRootKey = "paths/raceStudio3BetaRoot";

QSettings shellSettings()
{
    return QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
}

QLabel* richLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::RichText);
    return label;
}

// Where a folder dialog for `current` opens: that folder when it exists,
// else the Windows drive root, else (where there is no "C:/") the home folder.
QString browseStart(const QString& current)
{
    if (!current.isEmpty() && QFileInfo(current).isDir())
        return current;
    const QString drive = QStringLiteral("C:/");
    return QFileInfo(drive).isDir() ? drive : QDir::homePath();
}

// An empty field, or one still showing the default, stores nothing: the
// default keeps following the Wine prefix the program is started with.
void storeFolder(QSettings& settings, const char* key, const QString& text, const QString& defaultFolder)
{
    const QString folder = PreferencesDialog::normaliseFolder(text);
    if (folder.isEmpty() || folder == defaultFolder)
        settings.remove(QLatin1String(key));
    else
        settings.setValue(QLatin1String(key), folder);
}

} // namespace

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Preferences"));
    setMinimumWidth(520);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(10);

    layout->addWidget(richLabel(tr("<b>Updates</b>")));
    updateCheck = new QCheckBox(tr("Check for updates on startup"));
    updateCheck->setChecked(shellSettings().value(QLatin1String(kCheckOnStartupKey), true).toBool());
    updateCheck->setToolTip(tr("Silently ask ") + QUrl(UpdateChecker::builtInBaseUrl()).host()
                            + tr(" for the latest version when Korvelanto launches. If a newer version exists you "
                                 "will see a small banner at the top of the window."));
    layout->addWidget(updateCheck);

    layout->addSpacing(6);
    layout->addWidget(richLabel(tr("<b>RaceStudio3 install</b>")));
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(8);
    form->addRow(tr("RaceStudio3 install:"), addPathRow(&stableField, configuredRaceStudio3Root(),
                                                        &PreferencesDialog::onBrowseStable));
    form->addRow(tr("RaceStudio3 Beta install\n(optional):"),
                 addPathRow(&betaField, configuredRaceStudio3BetaRoot(), &PreferencesDialog::onBrowseBeta));
    layout->addLayout(form);

    QLabel* note = richLabel(tr("<i>Changes apply on next startup.</i>"));
    note->setStyleSheet(QStringLiteral("color:#666;"));
    layout->addWidget(note);

    layout->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::onAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

PreferencesDialog::~PreferencesDialog() = default;

QString PreferencesDialog::normaliseFolder(QString folder)
{
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QWidget* PreferencesDialog::addPathRow(QLineEdit** field, const QString& initial, void (PreferencesDialog::*browse)())
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    *field = new QLineEdit(initial);
    (*field)->setReadOnly(true);
    (*field)->setMinimumWidth(300);
    layout->addWidget(*field, 1);
    auto* button = new QPushButton(tr("Browse..."));
    connect(button, &QPushButton::clicked, this, browse);
    layout->addWidget(button);
    return row;
}

void PreferencesDialog::onBrowseStable()
{
    browseInto(stableField, tr("Locate RaceStudio3 install"));
}

void PreferencesDialog::onBrowseBeta()
{
    browseInto(betaField, tr("Locate RaceStudio3 Beta install"));
}

void PreferencesDialog::browseInto(QLineEdit* field, const QString& caption)
{
    const QString chosen = Asker::instance().existingDirectory(this, caption, browseStart(field->text()));
    if (chosen.isEmpty())
        return;
    const QString folder = normaliseFolder(chosen);
    if (!QFileInfo(folder + QStringLiteral("/aim/resources/overlay")).isDir()) {
        const QString text = tr("That doesn't look like a RaceStudio3 install.\n\nThe folder should contain "
                                "aim\\resources\\overlay\\. Korvelanto will not be able to render templates or fonts "
                                "if this path is wrong.\n\nSave anyway?");
        if (Asker::instance().question(this, tr("Unusual folder"), text, QMessageBox::Yes | QMessageBox::No,
                                       QMessageBox::No)
            != QMessageBox::Yes)
            return;
    }
    field->setText(folder);
}

void PreferencesDialog::onAccept()
{
    // A failure is told while the dialog is still open, to try again or
    // cancel.
    QSettings settings = shellSettings();
    bool held = false;
    const QString why = SettingsFile::store(settings, [&] {
        settings.setValue(QLatin1String(kCheckOnStartupKey), updateCheck->isChecked());
        storeFolder(settings, kStableRootKey, stableField->text(), defaultRaceStudio3Root());
        storeFolder(settings, kBetaRootKey, betaField->text(), defaultRaceStudio3BetaRoot());
    }, &held);
    if (!why.isEmpty()) {
        Asker::instance().warning(this, tr("Preferences"),
                                  tr("The preferences could not be saved: %1").arg(why)
                                      + (held ? tr("\n\nThey hold only until Korvelanto is closed.") : QString()));
        return;
    }
    accept();
}

bool checkUpdatesOnStartup()
{
    return shellSettings().value(QLatin1String(kCheckOnStartupKey), true).toBool();
}
