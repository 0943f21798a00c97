#include "updates/UpdateBanner.h"

#include "panels/Asker.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

UpdateBanner::UpdateBanner(QWidget* parent)
    : QWidget(parent)
{
    // A plain QWidget paints no style-sheet background without this.
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("UpdateBanner { background: #1c3e6b; }"
                                 "QLabel { color: #e0ecff; padding: 4px 8px; }"
                                 "QPushButton { color: #e0ecff; background: transparent;"
                                 "               border: 1px solid #5985c4; padding: 2px 8px;"
                                 "               border-radius: 3px; }"
                                 "QPushButton:hover { background: #2a5088; }"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 4, 0);
    layout->setSpacing(6);
    messageLabel = new QLabel(this);
    notesButton = new QPushButton(tr("What's new"), this);
    updateButton = new QPushButton(tr("Update"), this);
    dismissButton = new QPushButton(QStringLiteral("x"), this);
    dismissButton->setToolTip(tr("Dismiss -- banner reappears on next launch"));
    dismissButton->setFixedWidth(24);
    layout->addWidget(messageLabel, 1);
    layout->addWidget(notesButton);
    layout->addWidget(updateButton);
    layout->addWidget(dismissButton);

    connect(notesButton, &QPushButton::clicked, this, &UpdateBanner::showReleaseNotes);
    connect(updateButton, &QPushButton::clicked, this, [this] { Q_EMIT updateRequested(manifest); });
    connect(dismissButton, &QPushButton::clicked, this, [this] {
        Q_EMIT dismissed();
        hide();
    });
    hide();
}

void UpdateBanner::setManifest(const UpdateManifest& offered)
{
    manifest = offered;
    messageLabel->setText(tr("Korvelanto v%1 available").arg(manifest.latest));
    show();
}

void UpdateBanner::showReleaseNotes()
{
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Korvelanto v%1 release notes").arg(manifest.latest));
    dialog.setModal(true);
    dialog.setMinimumSize(520, 320);
    // The dialog is the banner's child, so the banner's light-on-blue sheet
    // would reach its labels and buttons on the dialog's plain background:
    // the dialog is styled on its own, in the platform's colours.
    dialog.setStyleSheet(QStringLiteral("QLabel { color: palette(window-text); background: transparent; padding: 0; }"
                                        "QPushButton { color: palette(button-text); background: palette(button);"
                                        "              border: 1px solid palette(mid); padding: 4px 14px;"
                                        "              border-radius: 3px; }"
                                        "QPushButton:hover { background: palette(light); }"));
    auto* layout = new QVBoxLayout(&dialog);
    // The version comes from the service: escaped, so it cannot add markup.
    auto* heading = new QLabel(tr("<b>What's new in v%1</b>").arg(manifest.latest.toHtmlEscaped()), &dialog);
    heading->setTextFormat(Qt::RichText);
    auto* notes = new QPlainTextEdit(&dialog);
    notes->setReadOnly(true);
    notes->setPlainText(manifest.release_notes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(heading);
    layout->addWidget(notes, 1);
    layout->addWidget(buttons);
    Asker::instance().exec(&dialog);
}
