#include "updates/UpdateChecker.h"

#include "gallery/BoundedNetworkAccess.h"
#include "model/LogText.h"
#include "model/FolderCopy.h"
#include "model/FileEntries.h"
#include "gallery/GalleryRequests.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace {


// The public half of the update service's signing key. Its private half
// lives only with the service.
const char kUpdatePublicKey[] = "\n"
                                "-----BEGIN PUBLIC KEY-----\n"
                                "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAzsxKYkr8uvB+Ze+lHxc6\n"
                                "TamG6WSgCpqguu+dmuTt0ssEqKy3BRsftyBU4knMSHqU/RBjTLDxbGqDdPrFn/Ho\n"
                                "Ooe+nsbVX7mF12QD1I20cL0MeG1dKTBLDFztBVPlHUHgZEvlnnXvba0oCiH73T4+\n"
                                "0wLLo60P0iVGSAfEtoJkj9DklDvo7ZZjK2xtjnM8ObpIubi3cMc1Fje/RdONAW5R\n"
                                "YBmm0/FN8LEZ0Y8p8f2VphQyQF1iLs1FbR7Z4cSFI98iWwPAo4gsNf6jBNRj98ml\n"
                                "ydotgkemSbdfRbFkBSGvr2ySAwRPuO1sxpsPkVqR9lgHqL0fQkUqCgIOwst1cduU\n"
                                "EwIDAQAB\n"
                                "-----END PUBLIC KEY-----\n";

// One line in the update log; skipped when there is no place to write it.
void appendUpdateLog(const QString& message)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // The data folder is taken as it is; the log in it is appended to only
    // as a plain file, never through a link nor waiting on a pipe.
    QString why;
    if (dir.isEmpty() || (FileEntries::kindOf(dir) == FileEntries::Kind::Missing && !FileEntries::makePath(dir, &why)))
        return;
    const std::unique_ptr<QFile> log = FolderCopy::openForAppend(dir + QStringLiteral("/update.log"), &why);
    if (!log)
        return;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    log->write((stamp + QLatin1Char(' ') + escapeForLog(message) + QLatin1Char('\n')).toUtf8());
}

// A part that is missing, empty or not a plain decimal number counts 0.
qulonglong versionPart(const QStringList& parts, int i)
{
    if (i >= parts.size())
        return 0;
    const QString& part = parts.at(i);
    for (const QChar c : part) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const qulonglong value = part.toULongLong(&ok);
    return ok ? value : 0;
}

} // namespace

QStringList splitVersion(const QString& version)
{
    return version.split(QLatin1Char('.'), Qt::KeepEmptyParts);
}

UpdateChecker::UpdateChecker(const QString& baseUrl, const QString& currentVersion, const char* publicKeyPem,
                             QObject* parent)
    : QObject(parent)
    , baseUrl(baseUrl)
    , currentVersion(currentVersion)
    , publicKeyPem(publicKeyPem)
    , network(new gallery::BoundedNetworkAccess(this))
{
    qRegisterMetaType<UpdateManifest>();
}

QString UpdateChecker::builtInBaseUrl()
{
    return QStringLiteral("https://updates.korvelanto.app");
}

const char* UpdateChecker::builtInPublicKey()
{
    return kUpdatePublicKey;
}

bool UpdateChecker::isNewer(const UpdateManifest& manifest, const QString& version)
{
    const QStringList candidate = splitVersion(manifest.latest);
    const QStringList other = splitVersion(version);
    const int count = int(qMax(candidate.size(), other.size()));
    for (int i = 0; i < count; ++i) {
        const qulonglong a = versionPart(candidate, i);
        const qulonglong b = versionPart(other, i);
        if (a != b)
            return a > b;
    }
    return false;
}

void UpdateChecker::check()
{
    if (baseUrl.isEmpty() || busy || !network)
        return;
    QUrl url(baseUrl, QUrl::TolerantMode);
    url.setPath(url.path(QUrl::FullyDecoded) + QStringLiteral("/api/check-update"), QUrl::DecodedMode);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("current"), currentVersion);
    query.addQueryItem(QStringLiteral("product"), QStringLiteral("korvelanto"));
    url.setQuery(query);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Korvelanto/%1").arg(currentVersion));
    gallery::GalleryRequests::boundTransfer(request);
    busy = true;
    QNetworkReply* reply = network->get(request);
    gallery::GalleryRequests::capBody(reply, kMaxReplyBytes);

    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(timeoutMs);
    connect(timer, &QTimer::timeout, reply, [reply] { gallery::GalleryRequests::abortTimedOut(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, timer] {
        timer->deleteLater();
        onFinished(reply);
    });
    timer->start();
}

QString UpdateChecker::networkFailure(const QNetworkReply* reply) const
{
    // Our own stop of an oversized body or a silent server says so; a
    // server that closed early or refused carries the reply's text.
    const QString local = gallery::GalleryRequests::localFailure(reply);
    if (reply->error() == QNetworkReply::NoError && local.isEmpty())
        return {};
    return QStringLiteral("network error: %1").arg(local.isEmpty() ? reply->errorString() : local);
}

void UpdateChecker::fail(const QString& logLine, const QString& reason)
{
    appendUpdateLog(logLine);
    Q_EMIT checkFailed(reason);
}

void UpdateChecker::onFinished(QNetworkReply* reply)
{
    busy = false;
    reply->deleteLater();
    const QString failure = networkFailure(reply);
    if (!failure.isEmpty())
        return fail(QStringLiteral("check-failed ") + failure, failure);

    QString error;
    const UpdateManifest manifest = UpdateManifest::fromJson(gallery::GalleryRequests::body(reply), &error);
    if (!error.isEmpty())
        return fail(QStringLiteral("parse-failed ") + error, error);
    if (!UpdateManifest::verifySignature(manifest, publicKeyPem))
        return fail(QStringLiteral("verify-failed"), QStringLiteral("bad signature"));
    if (manifest.update_available && isNewer(manifest, currentVersion))
        Q_EMIT updateAvailable(manifest);
    else
        Q_EMIT noUpdate();
}
