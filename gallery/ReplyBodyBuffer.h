#pragma once

#include <QByteArray>
#include <QObject>

class QNetworkReply;

namespace gallery {

// Holds the body of one reply as it arrives, never more than a cap: every
// piece is taken out of Qt's read buffer at once (so Qt, whose buffer is kept
// small, only reads on from the connection while we do), and the reply is
// aborted, closing its connection, as soon as the body would pass the cap.
// A child of the reply: it lives exactly as long as the reply.
class ReplyBodyBuffer : public QObject {
    Q_OBJECT

public:
    ReplyBodyBuffer(QNetworkReply* reply, qint64 maxBytes);

    // The buffer attached to reply, or null.
    static ReplyBodyBuffer* of(const QNetworkReply* reply);

    // Everything received so far, the rest still in Qt's buffer included.
    QByteArray take();
    // True when the body passed the cap, counting what Qt still holds.
    bool oversize() const;

private:
    void readAvailable();

    QNetworkReply* m_reply;
    qint64 m_maxBytes;
    QByteArray m_bytes;
    bool m_oversize = false;
};

} // namespace gallery
