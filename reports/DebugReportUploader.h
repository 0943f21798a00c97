#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

class QHttpMultiPart;
class QJsonObject;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace debugreport {

// Sends one report archive to the support service and turns the answer into
// a ticket reference or a reason the user can read.
class DebugReportUploader : public QObject {
    Q_OBJECT

public:
    // A silent service is given up after this long.
    static constexpr int kDefaultTimeoutMs = 30000;
    // The service answers with a short JSON object; anything longer is not
    // read and counts as an answer without JSON.
    static constexpr qint64 kMaxReplyBytes = 1024 * 1024;

    // serviceUrl: the support service; tests hand in a local address.
    explicit DebugReportUploader(QObject* parent = nullptr, const QUrl& serviceUrl = builtInServiceUrl());

    static QUrl builtInServiceUrl();

    void upload(const QString& email, const QString& message, const QByteArray& zip);

    // The form: e-mail, message and the archive as "report.zip", in that order.
    static QHttpMultiPart* buildMultipart(const QString& email, const QString& message, const QByteArray& zip,
                                          QObject* parent);

    // Tests shorten the wait for a silent service.
    void setTimeoutMs(int milliseconds) { timeoutMs = milliseconds; }

Q_SIGNALS:
    void finished(const QString& reportId);
    void failed(const QString& reason);

private Q_SLOTS:
    void onReplyFinished();

private:
    void onUploadTimeout();
    void abortIfTooLong(qint64 size);
    QJsonObject replyObject(QNetworkReply* finishedReply) const;
    static QString failureText(const QNetworkReply* finishedReply);

    QNetworkAccessManager* network;
    QNetworkReply* reply = nullptr;
    QUrl serviceUrl;
    QTimer* timer;
    int timeoutMs = kDefaultTimeoutMs;
    bool replyTooLong = false;
};

} // namespace debugreport
