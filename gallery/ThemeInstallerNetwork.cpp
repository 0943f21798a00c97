// The download half of ThemeInstaller: the bundle request, its progress and
// the reasons of a failed reply.
#include "gallery/ThemeInstaller.h"

#include "gallery/BoundedNetworkAccess.h"

#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <utility>

namespace gallery {
namespace {

const char* const kPercent = "dashPercent";

} // namespace

ThemeInstaller::ThemeInstaller(QObject* parent, const QUrl& baseUrl)
    : QObject(parent)
    , m_network(new BoundedNetworkAccess(this))
    , m_baseUrl(baseUrl)
    , m_transferTimeoutMs(GalleryRequests::kDefaultTransferTimeoutMs)
    , m_maxBundleBytes(kMaxBundleBytes)
    , m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(kDefaultDeadlineMs);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        stopDownload(tr("The gallery did not send the bundle within %1 seconds; the install was stopped.")
                         .arg((m_deadline->interval() + 999) / 1000));
    });
    connect(m_network, &QNetworkAccessManager::finished, this, &ThemeInstaller::onNetworkFinished);
}

ThemeInstaller::~ThemeInstaller() = default;

void ThemeInstaller::setTransferTimeout(int milliseconds)
{
    m_transferTimeoutMs = milliseconds;
}

void ThemeInstaller::setDeadline(int milliseconds)
{
    m_deadline->setInterval(milliseconds);
}

void ThemeInstaller::cancel()
{
    m_cancelledByUser = m_reply && m_reply->isRunning();
    stopDownload(tr("Install cancelled."));
}

// The reply ends as aborted; onNetworkFinished reports the reason kept here.
void ThemeInstaller::stopDownload(const QString& reason)
{
    m_deadline->stop();
    if (!m_reply || !m_reply->isRunning())
        return;
    m_stopReason = reason;
    m_reply->abort();
}

void ThemeInstaller::setMaxBundleBytes(qint64 bytes)
{
    m_maxBundleBytes = bytes;
}

void ThemeInstaller::installFromUrl(const InstallRequest& request)
{
    // The slug is encoded as one path segment, but "." and ".." stay as
    // they are and would climb the path on the server: never sent.
    if (request.slug.isEmpty() || request.nonce.isEmpty() || request.slug == QLatin1String(".")
        || request.slug == QLatin1String("..")) {
        Q_EMIT failed(tr("Invalid install URL -- missing slug or nonce."));
        return;
    }
    slug = request.slug;
    nonce = request.nonce;
    Q_EMIT progress(5, tr("Requesting '%1'...").arg(slug));

    const QUrl url = GalleryRequests::endpoint(
        m_baseUrl, {QStringLiteral("api"), QStringLiteral("templates"), slug, QStringLiteral("bundle")});
    auto* form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, QStringLiteral("form-data; name=\"nonce\""));
    part.setBody(nonce.toUtf8());
    form->append(part);
    QNetworkReply* reply = m_network->post(GalleryRequests::request(url, m_transferTimeoutMs), form);
    form->setParent(reply);
    GalleryRequests::capBody(reply, m_maxBundleBytes);
    connect(reply, &QNetworkReply::downloadProgress, this, &ThemeInstaller::onDownloadProgress);
    m_reply = reply;
    m_stopReason.clear();
    m_cancelledByUser = false;
    m_deadline->start();
}

void ThemeInstaller::onDownloadProgress(qint64 received, qint64 total)
{
    // An aborted reply still reports its last count, now as the total: that
    // would jump the bar to 55 and back. Each reply's bar only moves on.
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || !reply->isRunning())
        return;
    int percent = total > 0 ? int(qMin<qint64>(55, 10 + received * 45 / total)) : 10;
    percent = qMax(percent, reply->property(kPercent).toInt());
    reply->setProperty(kPercent, percent);
    Q_EMIT progress(percent, tr("Downloading..."));
}

void ThemeInstaller::onNetworkFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply == m_reply) {
        m_deadline->stop();
        m_reply = nullptr;
    }
    // A stopped download leaves nothing behind: its bytes were only held in
    // memory.
    const QString stopped = std::exchange(m_stopReason, QString());
    if (std::exchange(m_cancelledByUser, false) && !stopped.isEmpty()) {
        Q_EMIT cancelled();
        return;
    }
    if (!stopped.isEmpty()) {
        Q_EMIT failed(stopped);
        return;
    }
    const QString reason = failureReason(reply);
    if (!reason.isEmpty()) {
        Q_EMIT failed(reason);
        return;
    }
    Q_EMIT progress(70, tr("Parsing bundle..."));
    installBundleBytes(GalleryRequests::body(reply));
}

QString ThemeInstaller::failureReason(const QNetworkReply* reply) const
{
    const QString local = GalleryRequests::localFailure(reply);
    if (!local.isEmpty())
        return tr("Network error: %1").arg(local);
    if (reply->error() == QNetworkReply::NoError)
        return QString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 403)
        return tr("Nonce expired or invalid -- click Install again from the gallery.");
    if (status == 404)
        return tr("Theme '%1' not found on the server.").arg(slug);
    if (status == 500 || status == 502 || status == 503)
        return tr("Gallery server error (%1). Try again in a moment.").arg(status);
    return tr("Network error: %1").arg(reply->errorString());
}

} // namespace gallery
