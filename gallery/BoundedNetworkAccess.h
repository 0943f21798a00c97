#pragma once

#include <QNetworkAccessManager>

namespace gallery {

// The network manager of every request the program sends: http and https
// requests are answered by BoundedHttpReply, so a reply's header has a cap
// and a deadline, its body is read no faster than its reader takes it, and
// abort() or deleting the reply closes its connection at once. Used like
// any QNetworkAccessManager.
class BoundedNetworkAccess : public QNetworkAccessManager {
    Q_OBJECT

public:
    explicit BoundedNetworkAccess(QObject* parent = nullptr);

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request,
                                 QIODevice* outgoingData) override;
};

} // namespace gallery
