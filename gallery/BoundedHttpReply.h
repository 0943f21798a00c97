#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

class QTcpSocket;
class QTimer;

namespace gallery {

// One HTTP/1.1 exchange over a socket of its own, read on the thread that
// made it. Qt's own HTTP replies read a response's header lines one byte at
// a time on their network thread, with no bound, and do not return to that
// thread's event loop while bytes keep coming: a server that never ends its
// headers then holds the connection, memory and a CPU for ever, and no
// abort or deletion reaches it. Here every read is ours: the header has a
// cap, the wait for it a deadline, the body is read only as far as the
// reader's buffer allows, and abort() closes the socket at once. A reply
// ends as soon as the server closes: whole when its framing says so (a body
// that runs to the close), otherwise at once as cut short.
// One request per connection ("Connection: close"); redirects are followed
// as Qt would, never from https to http.
class BoundedHttpReply : public QNetworkReply {
    Q_OBJECT

public:
    // Status line and header lines together; more is refused.
    static constexpr qint64 kMaxHeaderBytes = 64 * 1024;
    // How long the status line and headers may take when the request sets
    // no transfer timeout.
    static constexpr int kDefaultHeaderDeadlineMs = 60000;
    static constexpr int kMaxRedirects = 10;
    // "100 Continue" and the like before the real answer; a server that
    // sends more is refused.
    static constexpr int kMaxInterimReplies = 16;

    BoundedHttpReply(QNetworkAccessManager::Operation operation, const QNetworkRequest& request,
                     const QByteArray& body, QObject* parent);
    ~BoundedHttpReply() override;

    void abort() override;
    void close() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }
    void setReadBufferSize(qint64 size) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    enum class Stage { Connecting, Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done };

    void connectToServer();
    void writeRequest();
    QByteArray requestHead() const;
    void pump();
    void parseAvailable();
    bool readHead();
    bool takeHead(const QByteArray& head);
    bool followsRedirects() const;
    bool followRedirect(const QUrl& location);
    bool readBody();
    bool readChunked();
    bool readLine(QByteArray* line);
    void deliver(const QByteArray& bytes);
    bool roomForBody() const;
    bool waitsForReader() const;
    bool drainedAfterClose() const;
    void endIfDrained();
    void endAtClose();
    void onPeerClosed();
    void onSocketError();
    void onTimeout();
    void complete();
    void fail(NetworkError code, const QString& text);
    void closeSocket();
    void restartTimer(int ms);
    NetworkError httpError(int status) const;
    QString serverReplied() const;

    QByteArray m_verb;
    QByteArray m_requestBody;
    QUrl m_url;
    QPointer<QTcpSocket> m_socket;
    QTimer* m_timer;
    Stage m_stage = Stage::Connecting;
    QByteArray m_in;        // bytes read from the socket, not yet parsed
    QByteArray m_body;      // body bytes the reader has not taken
    qint64 m_remaining = -1; // body or chunk bytes still to come; -1: until the close
    qint64 m_received = 0;
    qint64 m_total = -1;
    qint64 m_trailerBytes = 0;
    int m_status = 0;
    int m_redirects = 0;
    int m_interimReplies = 0;
    bool m_peerClosed = false; // the server has closed its side: nothing more comes
    bool m_pumpQueued = false;
    bool m_pumping = false;
    bool m_pumpAgain = false;
    bool m_closeCheckQueued = false;
};

} // namespace gallery
