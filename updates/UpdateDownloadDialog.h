#pragma once

#include "updates/UpdateManifest.h"
#include "updates/UpdateSeams.h"

#include <QCryptographicHash>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <memory>

class QFile;
class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QPushButton;

// Downloads the offered executable next to the running one as
// "<exe>.new.partial", hashing it on the way, and leaves it as "<exe>.new"
// only when the digest and the length are right. Accepted when the user
// agrees to restart; rejected in every other case. A failure removes the
// partial file and tells the user why.
class UpdateDownloadDialog : public QDialog {
    Q_OBJECT

public:
    // A download without a size in its manifest stops here, unless lowered.
    static constexpr qint64 kMaxUnsizedBytes = 512LL * 1024 * 1024;
    // A server that sends nothing for this long has failed.
    static constexpr int kDefaultTransferTimeoutMs = 60000;

    UpdateDownloadDialog(const UpdateManifest& manifest, const QString& exePath, QWidget* parent = nullptr);
    ~UpdateDownloadDialog() override;

    void start();
    void cancel();
    // Esc and the window's close button cancel like the Cancel button.
    void reject() override;

    // Where a full portable package can be had.
    static QString webSiteHost();

    void setSeams(const UpdateSeams& replacement) { seams = replacement; }
    void setTransferTimeoutMs(int milliseconds) { transferTimeoutMs = milliseconds; }
    void setMaxUnsizedBytes(qint64 bytes) { maxUnsizedBytes = bytes; }

Q_SIGNALS:
    void downloadComplete();
    void downloadFailed(const QString& reason);

private:
    void onReadyRead();
    void onProgress(qint64 received, qint64 total);
    void onError();
    void onFinished();
    void startFailed(const QString& reason);
    void abortWith(const QString& reason, QMessageBox::Icon icon);
    void fail(const QString& reason, QMessageBox::Icon icon);
    // Closes the partial file: empty, or why its last bytes could not be
    // written.
    QString closePartial();
    QString writeFailure() const;
    bool writeAll(const QByteArray& data);
    bool lengthMatches() const;
    qint64 byteCap() const;
    QString corruptedReason() const;

    UpdateManifest manifest;
    QString exePath;
    QString partialPath;
    QString newPath;
    QPointer<QNetworkAccessManager> network;
    QPointer<QNetworkReply> reply;
    std::unique_ptr<QFile> file;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    QProgressBar* progressBar = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* cancelButton = nullptr;
    bool canceled = false;
    UpdateSeams seams = UpdateSeams::system();
    int transferTimeoutMs = kDefaultTransferTimeoutMs;
    qint64 maxUnsizedBytes = kMaxUnsizedBytes;
    qint64 bytesHashed = 0;
    // A failure found on our side while the reply still ran; reported when
    // it has finished.
    QString failure;
    QMessageBox::Icon failureIcon = QMessageBox::Warning;
};
