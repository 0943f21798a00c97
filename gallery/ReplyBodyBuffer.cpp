#include "gallery/ReplyBodyBuffer.h"

#include <QNetworkReply>

#include <utility>

namespace gallery {

ReplyBodyBuffer::ReplyBodyBuffer(QNetworkReply* reply, qint64 maxBytes)
    : QObject(reply)
    , m_reply(reply)
    , m_maxBytes(maxBytes)
{
    connect(reply, &QNetworkReply::readyRead, this, &ReplyBodyBuffer::readAvailable);
}

ReplyBodyBuffer* ReplyBodyBuffer::of(const QNetworkReply* reply)
{
    return reply ? reply->findChild<ReplyBodyBuffer*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void ReplyBodyBuffer::readAvailable()
{
    if (m_oversize)
        return;
    if (oversize()) {
        m_oversize = true;
        if (m_reply->isRunning())
            m_reply->abort();
        return;
    }
    m_bytes += m_reply->readAll();
}

bool ReplyBodyBuffer::oversize() const
{
    return m_oversize || m_reply->bytesAvailable() > m_maxBytes - m_bytes.size();
}

QByteArray ReplyBodyBuffer::take()
{
    readAvailable();
    return m_oversize ? QByteArray() : std::exchange(m_bytes, QByteArray());
}

} // namespace gallery
