#pragma once

#include "updates/UpdateManifest.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

// version split at "." with empty parts kept: "1..2" gives "1", "", "2".
QStringList splitVersion(const QString& version);

// Asks the update service once whether a newer version exists. Only a
// manifest whose signature verifies against the built-in key is believed;
// every outcome but an offered update ends with one line in the update log.
class UpdateChecker : public QObject {
    Q_OBJECT

public:
    // A check abandoned after this long counts as a network error.
    static constexpr int kDefaultTimeoutMs = 3000;
    // A manifest is a few hundred bytes: a larger reply is aborted.
    static constexpr qint64 kMaxReplyBytes = 1024 * 1024;

    // publicKeyPem is not copied: it must outlive the checker (a static text).
    UpdateChecker(const QString& baseUrl, const QString& currentVersion, const char* publicKeyPem,
                  QObject* parent = nullptr);

    void check();

    // True when the manifest's latest version is newer than version.
    static bool isNewer(const UpdateManifest& manifest, const QString& version);

    // The update service and the public half of its signing key.
    static QString builtInBaseUrl();
    static const char* builtInPublicKey();

    // Tests shorten the wait for a silent server.
    void setTimeoutMs(int milliseconds) { timeoutMs = milliseconds; }

Q_SIGNALS:
    void updateAvailable(const UpdateManifest& manifest);
    void noUpdate();
    void checkFailed(const QString& reason);

private:
    void onFinished(QNetworkReply* reply);
    QString networkFailure(const QNetworkReply* reply) const;
    void fail(const QString& logLine, const QString& reason);

    QString baseUrl;
    QString currentVersion;
    const char* publicKeyPem;
    QNetworkAccessManager* network;
    bool busy = false;
    int timeoutMs = kDefaultTimeoutMs;
};
