#pragma once

#include "reports/DebugReportUploader.h"

#include <QDialog>
#include <QString>
#include <QUrl>

class DashConfig;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QVBoxLayout;

namespace debugreport {

// Asks for an optional e-mail and description and whether the open
// configuration goes along, then collects the report and sends it. The user
// can retry after a failure; success closes the dialog.
class SendDebugReportDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxEmailLength = 200;
    static constexpr int kMaxMessageLength = 5000;

    // config may be null; without a configPath there is nothing to attach
    // and no attach box.
    SendDebugReportDialog(DashConfig* config, const QString& configPath, QWidget* parent = nullptr,
                          const QString& prefilledMessage = QString(), bool attachByDefault = false);

    DashConfig* configuration() const { return config; }
    QString configFilePath() const { return configPath; }

    // Tests point the upload at a local service and shorten its wait.
    void setServiceUrl(const QUrl& url) { serviceUrl = url; }
    void setUploadTimeoutMs(int milliseconds) { uploadTimeoutMs = milliseconds; }

    // Ignored while the report is collected or sent: closing then would drop
    // an upload the server may already have taken, with its reference.
    void reject() override;

private Q_SLOTS:
    void onSendClicked();
    void onUploadFinished(const QString& reportId);
    void onUploadFailed(const QString& reason);

private:
    void buildForm(QVBoxLayout* layout);
    void buildAttachBox(QVBoxLayout* layout, bool attachByDefault);
    void buildButtons(QVBoxLayout* layout);
    void updateDisclosure();
    void limitMessageLength();
    void setButtonsEnabled(bool enabled);
    bool sending = false;

    DashConfig* config;
    QString configPath;
    QLineEdit* emailEdit = nullptr;
    QTextEdit* messageEdit = nullptr;
    QCheckBox* attachBox = nullptr;
    QLabel* disclosureLabel = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* sendButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QUrl serviceUrl = DebugReportUploader::builtInServiceUrl();
    int uploadTimeoutMs = DebugReportUploader::kDefaultTimeoutMs;
};

} // namespace debugreport
