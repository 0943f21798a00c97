#include "gallery/BoundedNetworkAccess.h"

#include "gallery/BoundedHttpReply.h"

#include <QIODevice>

namespace gallery {

BoundedNetworkAccess::BoundedNetworkAccess(QObject* parent)
    : QNetworkAccessManager(parent)
{
}

QNetworkReply* BoundedNetworkAccess::createRequest(Operation operation, const QNetworkRequest& request,
                                                   QIODevice* outgoingData)
{
    const QString scheme = request.url().scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QNetworkAccessManager::createRequest(operation, request, outgoingData);
    // Request bodies here are small forms and reports: sent in one piece.
    QByteArray body;
    if (outgoingData) {
        if (!outgoingData->isOpen())
            outgoingData->open(QIODevice::ReadOnly);
        body = outgoingData->readAll();
    }
    return new BoundedHttpReply(operation, request, body, this);
}

} // namespace gallery
