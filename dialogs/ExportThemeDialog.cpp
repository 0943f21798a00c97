#include "dialogs/ExportThemeDialog.h"
#include "model/FolderCopy.h"

#include "gallery/ThemeExport.h"
#include "panels/Asker.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QString kLastAuthorKey = QStringLiteral("export/lastAuthor");

} // namespace

ExportThemeDialog::ExportThemeDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Export Theme"));
    setMinimumWidth(480);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 10);
    layout->setSpacing(8);

    auto* intro = new QLabel(tr("<b>Package a homebrew theme as a .dashtheme file.</b><br>The file bundles every "
                                "device variant of the theme from your local store (bkg.png, prw.png, bkg.tgz) plus "
                                "a manifest. Share it or install it later via File > Open."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    themeCombo = new QComboBox(this);
    themeCombo->setObjectName(QStringLiteral("themeCombo"));
    themeCombo->addItems(listHomebrewThemes());
    displayNameEdit = new QLineEdit(this);
    displayNameEdit->setObjectName(QStringLiteral("displayNameEdit"));
    displayNameEdit->setPlaceholderText(tr("Display name (shown in gallery)"));
    authorEdit = new QLineEdit(this);
    authorEdit->setObjectName(QStringLiteral("authorEdit"));
    authorEdit->setPlaceholderText(tr("Your name or team (optional)"));
    authorEdit->setText(QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).value(kLastAuthorKey).toString());
    descriptionEdit = new QTextEdit(this);
    descriptionEdit->setObjectName(QStringLiteral("descriptionEdit"));
    descriptionEdit->setAcceptRichText(false);
    descriptionEdit->setPlaceholderText(tr("Short description (optional)"));
    descriptionEdit->setMaximumHeight(70);

    auto* form = new QFormLayout;
    form->addRow(tr("Theme:"), themeCombo);
    form->addRow(tr("Display name:"), displayNameEdit);
    form->addRow(tr("Author:"), authorEdit);
    form->addRow(tr("Description:"), descriptionEdit);
    layout->addLayout(form);

    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    summaryLabel->setStyleSheet(QStringLiteral("color:#aaa; font-size:9pt;"));
    summaryLabel->setWordWrap(true);
    layout->addWidget(summaryLabel);

    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* cancel = new QPushButton(tr("Cancel"), this);
    exportButton = new QPushButton(tr("Export..."), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    exportButton->setDefault(true);
    row->addWidget(cancel);
    row->addWidget(exportButton);
    layout->addLayout(row);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(exportButton, &QPushButton::clicked, this, &ExportThemeDialog::onExportClicked);
    connect(themeCombo, &QComboBox::currentTextChanged, this, &ExportThemeDialog::onThemeChanged);

    if (themeCombo->count() > 0) {
        onThemeChanged(themeCombo->currentText());
    } else {
        summaryLabel->setText(tr("No homebrew themes found to export."));
        exportButton->setEnabled(false);
    }
}

void ExportThemeDialog::onThemeChanged(const QString& folderName)
{
    if (folderName.isEmpty())
        return;
    const ThemeVariants variants = collectThemeDeviceVariants(folderName);
    displayNameEdit->setText(variants.displayName);
    if (variants.devices.isEmpty())
        summaryLabel->setText(tr("(no device assets found \u2014 theme is empty)"));
    else
        summaryLabel->setText(tr("Will package %1 device variant(s): %2")
                                  .arg(variants.devices.size())
                                  .arg(variants.devices.join(QStringLiteral(", "))));
}

void ExportThemeDialog::onExportClicked()
{
    const QString folder = themeCombo->currentText();
    if (folder.isEmpty())
        return;
    const QString name = displayNameEdit->text().trimmed();
    if (const QString tooLong = FolderCopy::whyNameDoesNotFit(name); !tooLong.isEmpty()) {
        Asker::instance().warning(this, tr("Export .dashtheme"), tooLong);
        return;
    }
    // The name is free text: only its last path part names the file.
    const QString stem = QFileInfo(name).fileName();
    const QString suggested = QDir::homePath() + QLatin1Char('/') + (stem.isEmpty() ? folder : stem)
                              + QStringLiteral(".dashtheme");
    const QString path = Asker::instance().saveFileName(this, tr("Export .dashtheme"), suggested,
                                                        tr("Korvelanto Theme (*.dashtheme)"));
    if (path.isEmpty())
        return;
    const QString author = authorEdit->text().trimmed();
    const QString description = descriptionEdit->toPlainText().trimmed();
    QString error;
    if (!exportThemeBundle(folder, name, author, description, path, &error)) {
        Asker::instance().warning(this, tr("Export Failed"), tr("Could not export theme:\n%1").arg(error));
        return;
    }
    QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto")).setValue(kLastAuthorKey, author);
    Asker::instance().information(this, tr("Export"), tr("Theme written to:\n%1").arg(path));
    accept();
}
