#include "reports/SendDebugReportDialog.h"

#include "reports/DebugReport.h"
#include "panels/Asker.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace debugreport {
namespace {

QString includedList()
{
    const QStringList items{
        QObject::tr("App version, Qt version, OS + CPU architecture, timestamp"),
        QObject::tr("All Korvelanto settings, including the folder paths you chose"),
        QObject::tr("Resolved RaceStudio3 install paths + overlay roots"),
        QObject::tr("Listing of your homebrew templates folder (names, sizes)"),
        QObject::tr("Listing of each RS3 s04_homebrew folder (names, sizes)"),
        QObject::tr("If a config is open: file name, device, per-page summary"),
        QObject::tr("Last 5000 lines of the app log (qDebug/qWarning output)"),
        QObject::tr("Your email + message (verbatim)"),
    };
    QString html = QStringLiteral("<div style=\"color:#aaa; font-size:9pt;\"><b>%1</b><ul style=\"margin-top:2px;\">")
                       .arg(QObject::tr("Included in the report:"));
    for (const QString& item : items)
        html += QStringLiteral("<li>%1</li>").arg(item);
    return html + QStringLiteral("</ul></div>");
}

} // namespace

SendDebugReportDialog::SendDebugReportDialog(DashConfig* config, const QString& configPath, QWidget* parent,
                                             const QString& prefilledMessage, bool attachByDefault)
    : QDialog(parent)
    , config(config)
    , configPath(configPath)
{
    setWindowTitle(tr("Send Debug Report"));
    setMinimumWidth(520);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);

    auto* intro = new QLabel(tr("<b>Send a debug report to the Korvelanto maintainer.</b><br>Everything below this "
                                "box goes in the report. The server receives the zip and a support ticket is opened "
                                "\u2014 no data is shared externally."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    buildForm(layout);
    auto* included = new QLabel(includedList(), this);
    included->setTextFormat(Qt::RichText);
    included->setWordWrap(true);
    layout->addWidget(included);
    buildAttachBox(layout, attachByDefault);

    disclosureLabel = new QLabel(this);
    disclosureLabel->setObjectName(QStringLiteral("disclosureLabel"));
    disclosureLabel->setTextFormat(Qt::RichText);
    disclosureLabel->setWordWrap(true);
    layout->addWidget(disclosureLabel);
    updateDisclosure();

    if (!prefilledMessage.isEmpty())
        messageEdit->setPlainText(prefilledMessage);

    // The server's reasons land here: shown as written, never as markup.
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setWordWrap(true);
    statusLabel->setStyleSheet(QStringLiteral("color:#aaa;"));
    layout->addWidget(statusLabel);
    buildButtons(layout);
}

void SendDebugReportDialog::buildForm(QVBoxLayout* layout)
{
    auto* form = new QFormLayout;
    emailEdit = new QLineEdit(this);
    emailEdit->setMaxLength(kMaxEmailLength);
    emailEdit->setPlaceholderText(tr("you@example.com \u2014 so we can reply"));
    form->addRow(tr("Email (optional):"), emailEdit);

    messageEdit = new QTextEdit(this);
    messageEdit->setPlaceholderText(tr("What were you trying to do? What happened?"));
    messageEdit->setMinimumHeight(100);
    connect(messageEdit, &QTextEdit::textChanged, this, &SendDebugReportDialog::limitMessageLength);
    form->addRow(tr("Describe the problem (optional):"), messageEdit);
    layout->addLayout(form);
}

void SendDebugReportDialog::buildAttachBox(QVBoxLayout* layout, bool attachByDefault)
{
    if (configPath.isEmpty())
        return;
    attachBox = new QCheckBox(tr("Attach the open config file (%1)").arg(QFileInfo(configPath).fileName()), this);
    attachBox->setChecked(attachByDefault);
    attachBox->setToolTip(tr("Sends the .zconf2 itself. Most layout problems cannot be diagnosed without it \u2014 "
                             "the summary alone does not carry the geometry. It is used to fix your problem and to "
                             "test Korvelanto against real dashboards."));
    connect(attachBox, &QCheckBox::toggled, this, &SendDebugReportDialog::updateDisclosure);
    layout->addWidget(attachBox);
}

void SendDebugReportDialog::buildButtons(QVBoxLayout* layout)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    cancelButton = new QPushButton(tr("Cancel"), this);
    sendButton = new QPushButton(tr("Send"), this);
    sendButton->setDefault(true);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(sendButton, &QPushButton::clicked, this, &SendDebugReportDialog::onSendClicked);
    row->addWidget(cancelButton);
    row->addWidget(sendButton);
    layout->addLayout(row);
}

void SendDebugReportDialog::updateDisclosure()
{
    const bool attached = attachBox && attachBox->isChecked();
    const QString sentence = attached
        ? tr("Your config file <b>is</b> included. No XRK telemetry is sent.")
        : tr("No XRK telemetry and no zconf2 contents are sent.");
    disclosureLabel->setText(QStringLiteral("<div style=\"color:#aaa; font-size:9pt;\">%1</div>").arg(sentence));
}

void SendDebugReportDialog::limitMessageLength()
{
    const QString text = messageEdit->toPlainText();
    if (text.size() <= kMaxMessageLength)
        return;
    const QSignalBlocker blocker(messageEdit);
    messageEdit->setPlainText(text.left(kMaxMessageLength));
    messageEdit->moveCursor(QTextCursor::End);
}

void SendDebugReportDialog::setButtonsEnabled(bool enabled)
{
    sendButton->setEnabled(enabled);
    cancelButton->setEnabled(enabled);
    sending = !enabled;
}

void SendDebugReportDialog::reject()
{
    if (!sending)
        QDialog::reject();
}

void SendDebugReportDialog::onSendClicked()
{
    setButtonsEnabled(false);
    statusLabel->setText(tr("Collecting diagnostics..."));
    QCoreApplication::processEvents();

    ReportInputs inputs;
    inputs.config = config;
    inputs.configPath = configPath;
    inputs.email = emailEdit->text().trimmed();
    inputs.message = messageEdit->toPlainText();
    inputs.attachConfig = attachBox && attachBox->isChecked();
    const QByteArray zip = buildReportZip(inputs);
    if (zip.isEmpty()) {
        statusLabel->setText(tr("Could not build report zip (temp dir not writable?)."));
        setButtonsEnabled(true);
        return;
    }
    statusLabel->setText(tr("Uploading (%1 KB)...").arg(zip.size() / 1024));

    auto* uploader = new DebugReportUploader(this, serviceUrl);
    uploader->setTimeoutMs(uploadTimeoutMs);
    connect(uploader, &DebugReportUploader::finished, this, &SendDebugReportDialog::onUploadFinished);
    connect(uploader, &DebugReportUploader::failed, this, &SendDebugReportDialog::onUploadFailed);
    uploader->upload(inputs.email, inputs.message, zip);
}

void SendDebugReportDialog::onUploadFinished(const QString& reportId)
{
    const QString text = reportId.isEmpty() ? tr("Report sent. Thank you.")
                                            : tr("Report sent. Reference: %1").arg(reportId);
    // The reference comes from the server: plain text, whatever it holds.
    QMessageBox box(QMessageBox::Information, tr("Send Debug Report"), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    Asker::instance().exec(&box);
    accept();
}

void SendDebugReportDialog::onUploadFailed(const QString& reason)
{
    statusLabel->setText(tr("Upload failed: %1").arg(reason));
    setButtonsEnabled(true);
}

} // namespace debugreport
