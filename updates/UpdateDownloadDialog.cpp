#include "updates/UpdateDownloadDialog.h"

#include "gallery/BoundedNetworkAccess.h"
#include "gallery/GalleryRequests.h"
#include "panels/Asker.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

UpdateDownloadDialog::UpdateDownloadDialog(const UpdateManifest& manifest, const QString& exePath, QWidget* parent)
    : QDialog(parent)
    , manifest(manifest)
    , exePath(exePath)
    , partialPath(exePath + QStringLiteral(".new.partial"))
    , newPath(exePath + QStringLiteral(".new"))
    , network(new gallery::BoundedNetworkAccess(this))
{
    setWindowTitle(tr("Downloading Korvelanto v%1").arg(manifest.latest));
    setModal(true);
    setMinimumWidth(460);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(10);
    statusLabel = new QLabel(tr("Starting download..."), this);
    progressBar = new QProgressBar(this);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    auto* note = new QLabel(tr("New dashboard templates may need the full portable ZIP -- download it at %1. Install "
                               "the ZIP into a new, empty folder -- do not copy the files over an existing "
                               "Korvelanto install.")
                                .arg(webSiteHost()),
                            this);
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: #6a6a6a; font-size: 11px;"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancelButton = buttons->button(QDialogButtonBox::Cancel);
    connect(cancelButton, &QPushButton::clicked, this, &UpdateDownloadDialog::cancel);
    layout->addWidget(statusLabel);
    layout->addWidget(progressBar);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

UpdateDownloadDialog::~UpdateDownloadDialog()
{
    // Gone while still downloading: no handler may run any more, and no
    // partial file is left behind.
    if (reply) {
        reply->disconnect(this);
        reply->abort();
    }
    if (file) {
        file->close();
        QFile::remove(partialPath);
    }
}

QString UpdateDownloadDialog::webSiteHost()
{
    return QStringLiteral("korvelanto.app");
}

void UpdateDownloadDialog::start()
{
    if (!network)
        return startFailed(QStringLiteral("no network manager"));
    hash.reset();
    bytesHashed = 0;
    failure.clear();
    QFile::remove(partialPath);
    file = std::make_unique<QFile>(partialPath);
    if (!file->open(QIODevice::WriteOnly)) {
        const QString reason = writeFailure();
        file.reset();
        return startFailed(reason);
    }
    QNetworkRequest request{QUrl(manifest.url)};
    request.setTransferTimeout(transferTimeoutMs);
    gallery::GalleryRequests::boundTransfer(request);
    reply = network->get(request);
    // The body goes to the partial file as it arrives (onReadyRead, which
    // stops it at the cap); Qt holds no more than a read chunk of it.
    gallery::GalleryRequests::capAnnouncedSize(reply, byteCap());
    gallery::GalleryRequests::boundReadBuffer(reply);
    connect(reply, &QNetworkReply::readyRead, this, &UpdateDownloadDialog::onReadyRead);
    connect(reply, &QNetworkReply::downloadProgress, this, &UpdateDownloadDialog::onProgress);
    connect(reply, &QNetworkReply::finished, this, &UpdateDownloadDialog::onError);
}

void UpdateDownloadDialog::startFailed(const QString& reason)
{
    // Nothing is downloading: the user reads why and leaves with Cancel.
    statusLabel->setText(reason);
    Q_EMIT downloadFailed(reason);
    Asker::instance().warning(this, tr("Update"), reason);
}

qint64 UpdateDownloadDialog::byteCap() const
{
    return manifest.size > 0 ? manifest.size : maxUnsizedBytes;
}

QString UpdateDownloadDialog::corruptedReason() const
{
    return tr("Download corrupted -- try again or grab the full portable from ") + webSiteHost();
}

void UpdateDownloadDialog::onReadyRead()
{
    if (!reply)
        return;
    const QByteArray data = reply->readAll();
    if (bytesHashed + data.size() > byteCap())
        return abortWith(corruptedReason(), QMessageBox::Critical);
    if (file && file->isOpen() && !writeAll(data))
        return abortWith(writeFailure(), QMessageBox::Warning);
    hash.addData(data);
    bytesHashed += data.size();
}

void UpdateDownloadDialog::abortWith(const QString& reason, QMessageBox::Icon icon)
{
    if (failure.isEmpty()) {
        failure = reason;
        failureIcon = icon;
    }
    reply->abort();
}

void UpdateDownloadDialog::onProgress(qint64 received, qint64 total)
{
    if (total < 1)
        total = manifest.size;
    if (total >= 1)
        progressBar->setValue(int(received * 100 / total));
    statusLabel->setText(tr("Downloading... %1 MB").arg(QString::number(double(received) / 1048576.0, 'f', 1)));
}

bool UpdateDownloadDialog::writeAll(const QByteArray& data)
{
    qint64 written = seams.write(*file, data);
    // A write cut short by a full disk reports no error; writing the rest
    // either finishes or fails with the system's reason.
    if (written >= 0 && written < data.size()) {
        const qint64 more = seams.write(*file, data.mid(written));
        written = more < 0 ? -1 : written + more;
    }
    return written == data.size();
}

QString UpdateDownloadDialog::writeFailure() const
{
    // The system's reason (a full disk, a file size limit) is what the user
    // can act on.
    const QString reason = file && file->error() != QFileDevice::NoError ? file->errorString() : QString();
    return reason.isEmpty() ? tr("Cannot write to %1").arg(partialPath)
                            : tr("Cannot write to %1: %2").arg(partialPath, reason);
}

QString UpdateDownloadDialog::closePartial()
{
    if (!file)
        return {};
    // Buffered bytes meet a full disk only here.
    const bool flushed = file->flush();
    const QString failed = flushed && file->error() == QFileDevice::NoError ? QString() : writeFailure();
    file->close();
    file.reset();
    return failed;
}

void UpdateDownloadDialog::onError()
{
    QNetworkReply* finished = reply;
    reply = nullptr;
    if (!finished)
        return;
    const QNetworkReply::NetworkError error = finished->error();
    const QString errorText = finished->errorString();
    const QString local = gallery::GalleryRequests::localFailure(finished);
    finished->deleteLater();
    const QString closeFailure = closePartial();
    if (!closeFailure.isEmpty() && failure.isEmpty())
        failure = closeFailure;

    if (canceled) {
        QFile::remove(partialPath);
        Q_EMIT downloadFailed(QStringLiteral("canceled"));
        QDialog::reject();
        return;
    }
    if (!failure.isEmpty())
        return fail(failure, failureIcon);
    if (error != QNetworkReply::NoError || !local.isEmpty())
        return fail(tr("Download failed: %1").arg(local.isEmpty() ? errorText : local), QMessageBox::Warning);
    onFinished();
}

bool UpdateDownloadDialog::lengthMatches() const
{
    const qint64 length = QFileInfo(partialPath).size();
    return length == bytesHashed && (manifest.size <= 0 || length == manifest.size);
}

void UpdateDownloadDialog::onFinished()
{
    const QByteArray actual = hash.result().toHex();
    const QByteArray expected = manifest.sha256.toLatin1().toLower();
    // A short file can carry the digest of what was received, not of what
    // was written: the length has to agree as well.
    if (actual != expected || !lengthMatches())
        return fail(corruptedReason(), QMessageBox::Critical);

    QFile::remove(newPath);
    // The swap makes ".new" the executable: it needs the running one's
    // execute bits.
    const bool finalized = QFile::setPermissions(partialPath, QFileInfo(exePath).permissions())
        && seams.rename(partialPath, newPath);
    if (!finalized)
        return fail(tr("Cannot finalize %1").arg(newPath), QMessageBox::Critical);

    Q_EMIT downloadComplete();
    const auto answer = Asker::instance().question(
        this, tr("Update ready"),
        tr("Korvelanto v%1 has been downloaded. Restart Korvelanto now to apply the update?").arg(manifest.latest),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        accept();
    else
        QDialog::reject();
}

void UpdateDownloadDialog::fail(const QString& reason, QMessageBox::Icon icon)
{
    QFile::remove(partialPath);
    statusLabel->setText(reason);
    Q_EMIT downloadFailed(reason);
    Asker::instance().message(this, icon, tr("Update"), reason, QMessageBox::Ok);
    QDialog::reject();
}

void UpdateDownloadDialog::cancel()
{
    canceled = true;
    if (reply) {
        // The finished handler removes the partial file and closes.
        reply->abort();
        return;
    }
    if (QFileInfo(partialPath).isFile())
        QFile::remove(partialPath);
    QDialog::reject();
}

void UpdateDownloadDialog::reject()
{
    cancel();
}
