#include "support/FakeWebService.h"

#include "support/TestCertificates.h"
#include "support/TestEnvironment.h"

#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QPointer>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <memory>
#include <utility>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 kFillerChunk = 64 * 1024;
constexpr qint64 kMaxHeaderBytes = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 413: return "Payload Too Large";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status";
    }
}

FakeWebService::Reply statusOnly(int status)
{
    FakeWebService::Reply reply;
    reply.status = status;
    reply.contentType = "text/plain";
    return reply;
}

QHash<QByteArray, QByteArray> partHeaders(const QByteArray& head)
{
    QHash<QByteArray, QByteArray> headers;
    for (const QByteArray& line : head.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0)
            headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    return headers;
}

// name="..." of a Content-Disposition header, or empty.
QByteArray dispositionName(const QByteArray& disposition)
{
    const int at = disposition.indexOf("name=\"");
    if (at < 0)
        return {};
    const int start = at + 6;
    return disposition.mid(start, disposition.indexOf('"', start) - start);
}

QList<FakeWebService::Part> multipartParts(const QByteArray& contentType, const QByteArray& body)
{
    QList<FakeWebService::Part> parts;
    const int b = contentType.indexOf("boundary=");
    if (!contentType.toLower().startsWith("multipart/form-data") || b < 0)
        return parts;
    QByteArray boundary = contentType.mid(b + 9).trimmed();
    if (boundary.startsWith('"') && boundary.endsWith('"') && boundary.size() >= 2)
        boundary = boundary.mid(1, boundary.size() - 2);
    const QByteArray delimiter = "--" + boundary;
    int pos = body.indexOf(delimiter);
    while (pos >= 0) {
        int start = pos + delimiter.size();
        if (body.mid(start, 2) == "--")
            break;
        start += 2; // the CRLF after the delimiter
        const int next = body.indexOf("\r\n" + delimiter, start);
        if (next < 0)
            break;
        const QByteArray part = body.mid(start, next - start);
        const int split = part.indexOf("\r\n\r\n");
        if (split >= 0)
            parts.append({partHeaders(part.left(split)), part.mid(split + 4)});
        pos = next + 2;
    }
    return parts;
}

QMap<QByteArray, QByteArray> formFields(const QList<FakeWebService::Part>& parts)
{
    QMap<QByteArray, QByteArray> fields;
    for (const FakeWebService::Part& part : parts)
        fields.insert(dispositionName(part.headers.value("content-disposition")), part.body);
    return fields;
}

// Writes head, then repeated for ever, to fd (a duplicate the thread owns)
// until the peer goes away or stop is set.
void sendUntilClosed(int fd, const QByteArray& head, const QByteArray& chunk, const std::atomic<bool>* stop,
                     std::atomic<qint64>* sent, std::atomic<int>* live)
{
    QByteArray pending = head;
    qsizetype offset = 0;
    bool inHead = true;
    while (!stop->load()) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, 50);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
            break;
        const ssize_t n = ::send(fd, pending.constData() + offset, size_t(pending.size() - offset), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            break;
        }
        offset += n;
        if (!inHead)
            sent->fetch_add(n);
        if (offset == pending.size()) {
            pending = chunk;
            offset = 0;
            inHead = false;
        }
    }
    ::close(fd);
    live->fetch_sub(1);
}

} // namespace

struct FakeWebService::Connection {
    QByteArray buffer;
    Request request;
    bool headersDone = false;
    qint64 contentLength = 0;
    qint64 fillerLeft = 0;
    bool answered = false;
    bool held = false; // headers sent, the rest withheld
};

FakeWebService::FakeWebService(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &FakeWebService::onNewConnection);
}

FakeWebService::~FakeWebService()
{
    m_stopStreams = true;
    for (std::thread& stream : m_streams)
        stream.join();
    for (const int fd : m_heldDescriptors)
        ::close(fd);
    // The sockets go with the server after this body; none may call back.
    for (QTcpSocket* socket : m_connections.keys())
        socket->disconnect(this);
    qDeleteAll(m_connections);
}

bool FakeWebService::start(quint16 port)
{
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    return m_server->listen(QHostAddress::LocalHost, port);
}

bool FakeWebService::startTls()
{
    const TestCertificates& certificates = TestCertificates::instance();
    if (!certificates.isValid() || !QSslSocket::supportsSsl())
        return false;
    certificates.trustInThisProcess();
    auto* server = new QSslServer(this);
    server->setSslConfiguration(certificates.serverConfiguration());
    // A TLS connection is ready to be taken once its handshake is done.
    connect(server, &QTcpServer::pendingConnectionAvailable, this, &FakeWebService::onNewConnection);
    delete std::exchange(m_server, server);
    m_tls = true;
    return start();
}

quint16 FakeWebService::port() const
{
    return m_server->serverPort();
}

QUrl FakeWebService::baseUrl() const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2").arg(m_tls ? "https" : "http").arg(port()));
}

void FakeWebService::setReply(const QByteArray& path, const Reply& reply)
{
    m_replies.insert(path, reply);
}

QUrl FakeWebService::closedPortUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

FakeWebService::Reply FakeWebService::okReply(const QByteArray& body, const QByteArray& contentType)
{
    Reply reply;
    reply.body = body;
    reply.contentType = contentType;
    return reply;
}

FakeWebService::Reply FakeWebService::endlessReply()
{
    Reply reply;
    reply.endlessChunks = true;
    return reply;
}

FakeWebService::Reply FakeWebService::asChunks(const Reply& reply)
{
    Reply chunked = reply;
    chunked.announceLength = false;
    const qsizetype piece = reply.body.size() / 3 + 1;
    QByteArray body;
    for (qsizetype at = 0; at < reply.body.size(); at += piece) {
        const QByteArray part = reply.body.mid(at, piece);
        body += QByteArray::number(part.size(), 16) + (at == 0 ? ";piece=first" : "") + "\r\n" + part + "\r\n";
    }
    chunked.body = body + "0\r\nX-Trailer: end\r\n\r\n";
    return chunked;
}

FakeWebService::Reply FakeWebService::endlessHeaderReply()
{
    Reply reply;
    reply.endlessHeaders = true;
    return reply;
}

FakeWebService::Reply FakeWebService::interimFloodReply()
{
    Reply reply;
    reply.endlessInterim = true;
    return reply;
}

QList<FakeWebService::CutReply> FakeWebService::cutReplies()
{
    auto cut = [](const QByteArray& bytes) {
        Reply reply;
        reply.raw = bytes;
        return reply;
    };
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    return {
        {"in the status line", cut("HTTP/1.1 200 O")},
        {"in a header line", cut("HTTP/1.1 200 OK\r\nContent-Type: applic")},
        {"before the blank line", cut("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n")},
        {"in a chunk-size line", cut(chunked + "1f")},
        {"after chunk data", cut(chunked + "5\r\nhello")},
        {"in a trailer", cut(chunked + "5\r\nhello\r\n0\r\nX-Trailer: e")},
        {"before the trailer's blank line", cut(chunked + "5\r\nhello\r\n0\r\nX-Trailer: end\r\n")},
        {"in a body with a length", cut("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhello")},
    };
}

void FakeWebService::addCutReplyRows()
{
    QTest::addColumn<Reply>("answer");
    for (const CutReply& cut : cutReplies())
        QTest::newRow(cut.name) << cut.reply;
}

void FakeWebService::busyAtHeaders(QNetworkReply* reply, int ms)
{
    auto once = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [once, ms] {
        if (!std::exchange(*once, true))
            QThread::msleep(ulong(ms));
    });
}

bool FakeWebService::settlesToRest(QString* why)
{
    if (!QTest::qWaitFor([this] { return m_liveStreams.load() == 0; }, 5000)) {
        *why = QStringLiteral("the client never closed the connection of an endless reply");
        return false;
    }
    // An idle event loop costs next to nothing; a thread still reading a
    // connection costs a whole CPU.
    constexpr int kWindowMs = 600;
    const qint64 before = TestEnvironment::cpuMilliseconds();
    QTest::qWait(kWindowMs);
    const qint64 used = TestEnvironment::cpuMilliseconds() - before;
    if (used > kWindowMs / 3) {
        *why = QStringLiteral("%1 ms of CPU in %2 ms of rest").arg(used).arg(kWindowMs);
        return false;
    }
    return true;
}

void FakeWebService::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_connections.insert(socket, new Connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { sendFiller(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            delete m_connections.take(socket);
            socket->deleteLater();
        });
        // A TLS connection is handed over once its handshake is done, when
        // the request may already be in.
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void FakeWebService::onReadyRead(QTcpSocket* socket)
{
    Connection* c = m_connections.value(socket);
    if (!c || c->answered)
        return;
    c->buffer += socket->readAll();
    if (!parseRequest(*c))
        return;
    c->answered = true;
    if (c->contentLength > kMaxRequestBytes) {
        send(socket, statusOnly(413));
        return;
    }
    m_requests.append(c->request);
    answer(socket, c->request);
}

// True once the whole request (or an oversized head) is in.
bool FakeWebService::parseRequest(Connection& c)
{
    if (!c.headersDone) {
        const int end = c.buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return c.buffer.size() > kMaxHeaderBytes;
        const QList<QByteArray> lines = c.buffer.left(end).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        c.request.method = requestLine.value(0);
        c.request.target = requestLine.value(1);
        const int q = c.request.target.indexOf('?');
        c.request.path = q < 0 ? c.request.target : c.request.target.left(q);
        c.request.query = q < 0 ? QByteArray() : c.request.target.mid(q + 1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines.at(i).indexOf(':');
            if (colon > 0)
                c.request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                         lines.at(i).mid(colon + 1).trimmed());
        }
        c.contentLength = c.request.headers.value("content-length").toLongLong();
        c.buffer.remove(0, end + 4);
        c.headersDone = true;
    }
    if (c.contentLength > kMaxRequestBytes)
        return true;
    if (c.buffer.size() < c.contentLength)
        return false;
    c.request.body = c.buffer.left(c.contentLength);
    c.request.parts = multipartParts(c.request.headers.value("content-type"), c.request.body);
    c.request.formFields = formFields(c.request.parts);
    return true;
}

void FakeWebService::answer(QTcpSocket* socket, const Request& request)
{
    const Reply reply = m_replies.value(request.path, statusOnly(404));
    if (reply.stall)
        return;
    if (reply.delayMs > 0)
        QTimer::singleShot(reply.delayMs, socket, [this, socket, reply] { send(socket, reply); });
    else
        send(socket, reply);
}

void FakeWebService::send(QTcpSocket* socket, const Reply& scripted)
{
    const Reply reply = scripted.chunked ? asChunks(scripted) : scripted;
    if (!reply.raw.isNull())
        return sendRaw(socket, reply);
    if (reply.endlessInterim)
        return streamEndlessly(socket, "HTTP/1.1 100 Continue\r\n\r\n",
                               QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(64));
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    if (reply.endlessHeaders) {
        QByteArray lines;
        for (int i = 0; i < 512; ++i)
            lines += "X-Filler-" + QByteArray::number(i) + ": " + QByteArray(100, 'y') + "\r\n";
        return streamEndlessly(socket, head, lines);
    }
    head += "Content-Type: " + reply.contentType + "\r\n";
    if (!reply.location.isEmpty())
        head += "Location: " + reply.location + "\r\n";
    if (reply.announceLength && !reply.endlessChunks)
        head += "Content-Length: " + QByteArray::number(reply.body.size() + reply.fillerBytes) + "\r\n";
    if (reply.endlessChunks || reply.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    head += "Connection: close\r\n\r\n";
    if (reply.endlessChunks)
        return streamEndlessly(socket, head, "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n");
    if (reply.stallAfterHeaders) {
        if (Connection* c = m_connections.value(socket))
            c->held = true;
        socket->write(head);
        return;
    }
    Connection* c = m_connections.value(socket);
    if (c)
        c->fillerLeft = reply.fillerBytes;
    if (reply.trickleMs <= 0 || !c) {
        socket->write(head + reply.body);
        sendFiller(socket);
        return;
    }
    // A client sees the body arrive piece by piece, as from a slow line.
    c->held = true;
    socket->write(head);
    trickle(socket, reply.body, reply.body.size() / kTricklePieces + 1, reply.trickleMs);
}

void FakeWebService::sendRaw(QTcpSocket* socket, const Reply& reply)
{
    Connection* c = m_connections.value(socket);
    if (c)
        c->held = reply.holdOpen;
    socket->write(reply.raw);
    sendFiller(socket); // closes once the bytes are out
}

void FakeWebService::trickle(QTcpSocket* socket, const QByteArray& rest, qsizetype piece, int pauseMs)
{
    Connection* c = m_connections.value(socket);
    if (!c)
        return;
    socket->write(rest.left(piece));
    if (rest.size() <= piece) {
        c->held = false;
        sendFiller(socket);
        return;
    }
    const QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(pauseMs, this, [this, guard, rest = rest.mid(piece), piece, pauseMs] {
        if (guard)
            trickle(guard, rest, piece, pauseMs);
    });
}

// The socket stays open in Qt's hands but silent; a thread writes to a
// duplicate of its descriptor.
void FakeWebService::streamEndlessly(QTcpSocket* socket, const QByteArray& head, const QByteArray& repeated)
{
    Connection* c = m_connections.value(socket);
    const int fd = c ? ::dup(int(socket->socketDescriptor())) : -1;
    if (fd < 0) {
        socket->abort();
        return;
    }
    c->held = true;
    m_liveStreams.fetch_add(1);
    m_streams.emplace_back(sendUntilClosed, fd, head, repeated, &m_stopStreams, &m_streamed, &m_liveStreams);
}

// Streams the filler a chunk at a time as the client drains it, so an
// oversized reply costs memory only when the client really reads it all.
void FakeWebService::sendFiller(QTcpSocket* socket)
{
    Connection* c = m_connections.value(socket);
    if (!c || !c->answered || c->held || socket->bytesToWrite() > 4 * kFillerChunk)
        return;
    if (c->fillerLeft > 0) {
        const qint64 n = qMin(c->fillerLeft, kFillerChunk);
        c->fillerLeft -= n;
        socket->write(QByteArray(int(n), 'x'));
        return;
    }
    if (socket->bytesToWrite() == 0)
        closeConnection(socket);
}

void FakeWebService::closeConnection(QTcpSocket* socket)
{
    // A second descriptor keeps the connection open past the socket's own
    // close, which then only ends the TLS session.
    if (m_tls && m_tcpOutlivesTlsClose) {
        const int fd = ::dup(int(socket->socketDescriptor()));
        if (fd >= 0)
            m_heldDescriptors.push_back(fd);
    }
    socket->disconnectFromHost();
}
