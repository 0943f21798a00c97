#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QUrl>

#include <atomic>
#include <thread>
#include <vector>

class QNetworkReply;
class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 standing in for the maker's web
// services. Each path answers as the test scripted it (status, body, delay,
// a body that trickles in, an oversized body or no answer at all); every
// request is recorded with its method, target, headers, body and multipart
// parts. One request per connection; replies carry Content-Length (unless
// scripted not to) and close the connection.
class FakeWebService : public QObject {
    Q_OBJECT

public:
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        int delayMs = 0;          // wait this long before answering
        bool stall = false;       // read the request, never answer
        qint64 fillerBytes = 0;   // that many bytes of 'x' follow the body
        bool announceLength = true; // false: no Content-Length, the close ends the body
        bool stallAfterHeaders = false; // send the status line and headers, then nothing, never close
        int trickleMs = 0; // > 0: the body goes out in kTricklePieces pieces, this long apart
        // A chunked body that never ends, sent from a thread of its own as
        // fast as the client takes it (so a busy client cannot slow it down),
        // until the client closes the connection.
        bool endlessChunks = false;
        // A status line, then header lines that never end, sent like
        // endlessChunks.
        bool endlessHeaders = false;
        QByteArray location; // sent as a Location header when not empty
        // The body goes out chunked: three chunks (the first with an
        // extension) and a trailer line.
        bool chunked = false;
        // Sent exactly as written in place of a built reply; then the
        // connection closes, unless holdOpen.
        QByteArray raw;
        bool holdOpen = false;
        // "100 Continue" replies for ever and never a final one, sent like
        // endlessChunks.
        bool endlessInterim = false;
    };

    // A reply the server cuts short by closing the connection, at one of
    // the places where a close can fall.
    struct CutReply {
        const char* name;
        Reply reply;
    };

    // One part of a multipart body: its headers (names in lower case) and
    // its bytes, exactly as sent.
    struct Part {
        QHash<QByteArray, QByteArray> headers;
        QByteArray body;
    };

    struct Request {
        QByteArray method;
        QByteArray target;                      // as sent: path and query, still encoded
        QByteArray path;                        // target before '?', still encoded
        QByteArray query;                       // target after '?'
        QHash<QByteArray, QByteArray> headers;  // names in lower case
        QByteArray body;
        QMap<QByteArray, QByteArray> formFields; // multipart/form-data parts by name
        QList<Part> parts;                       // multipart/form-data parts in order
    };

    static constexpr int kTricklePieces = 4;

    // Requests larger than this are answered 413 and not recorded in full.
    static constexpr qint64 kMaxRequestBytes = 8 * 1024 * 1024;

    explicit FakeWebService(QObject* parent = nullptr);
    ~FakeWebService() override;

    // Listens on 127.0.0.1 at port (0: any free port). Also turns off any
    // proxy for the process, so no client request leaves the machine.
    bool start(quint16 port = 0);
    // The same over TLS, presenting the test authority's certificate for
    // 127.0.0.1 (TestCertificates); the process's requests trust that
    // authority from here on.
    bool startTls();
    // After startTls(): a connection the server ends gets the TLS close
    // only; the TCP connection stays open until this service is destroyed,
    // as some servers leave it.
    void setTcpOutlivesTlsClose(bool outlives) { m_tcpOutlivesTlsClose = outlives; }
    quint16 port() const;
    // "http://127.0.0.1:<port>", or https after startTls()
    QUrl baseUrl() const;

    // The answer for an encoded path (no query). Unscripted paths get 404.
    void setReply(const QByteArray& path, const Reply& reply);
    QList<Request> requests() const { return m_requests; }
    // Connections a client still holds open.
    int openConnections() const { return int(m_connections.size()); }

    // A local address nobody listens on.
    static QUrl closedPortUrl();

    // A 200 answer with the body and content type.
    static Reply okReply(const QByteArray& body, const QByteArray& contentType = "application/json");
    // A 200 answer whose chunked body never ends (endlessChunks).
    static Reply endlessReply();
    // A 200 status line followed by header lines for ever (endlessHeaders).
    static Reply endlessHeaderReply();
    // Interim replies without end (endlessInterim).
    static Reply interimFloodReply();
    // Every place a close can cut a reply: in the status line, in a header
    // line, after the header lines but before their blank line, in a
    // chunk-size line, after chunk data without its line end, in a trailer,
    // after a trailer without its blank line, and in a body shorter than
    // its length.
    static QList<CutReply> cutReplies();
    // For a test's _data function: the column "answer" with one row per
    // cut reply, named after where it is cut.
    static void addCutReplyRows();

    // Bytes sent so far by endless replies after their first line or head.
    qint64 streamedBytes() const { return m_streamed; }

    // Runs the event loop until every endless reply has ended (its client
    // closed the connection) and then checks that this process stays idle
    // for a moment: true when both hold; otherwise *why says which did not.
    bool settlesToRest(QString* why);

    // What an endless reply can push past a client's cap once the client
    // stops taking it: the system's socket buffers and a read chunk or two.
    static constexpr qint64 kSlackBeyondCap = 32 * 1024 * 1024;

    // Makes the client's thread busy for ms when reply's headers arrive, as
    // a window busy with other work: a client that does not bound its
    // reading lets an endless reply pile up meanwhile.
    static void busyAtHeaders(QNetworkReply* reply, int ms = 300);

private:
    struct Connection;

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    bool parseRequest(Connection& c);
    void answer(QTcpSocket* socket, const Request& request);
    void send(QTcpSocket* socket, const Reply& scripted);
    static Reply asChunks(const Reply& reply);
    void sendRaw(QTcpSocket* socket, const Reply& reply);
    void closeConnection(QTcpSocket* socket);
    void sendFiller(QTcpSocket* socket);
    void trickle(QTcpSocket* socket, const QByteArray& rest, qsizetype piece, int pauseMs);
    void streamEndlessly(QTcpSocket* socket, const QByteArray& head, const QByteArray& repeated);

    QTcpServer* m_server;
    bool m_tls = false;
    bool m_tcpOutlivesTlsClose = false;
    std::vector<int> m_heldDescriptors; // keep TCP connections open after their TLS close
    QHash<QByteArray, Reply> m_replies;
    QList<Request> m_requests;
    QHash<QTcpSocket*, Connection*> m_connections;
    std::vector<std::thread> m_streams;
    std::atomic<bool> m_stopStreams{false};
    std::atomic<qint64> m_streamed{0};
    std::atomic<int> m_liveStreams{0};
};

Q_DECLARE_METATYPE(FakeWebService::Reply)
