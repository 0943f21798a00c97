#include "gallery/BoundedHttpReply.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <utility>

namespace gallery {
namespace {

// What one read takes from the socket, and what the socket may hold while
// the reader is busy.
constexpr qint64 kSocketChunk = 64 * 1024;
// A chunk-size line is a hex number and perhaps an extension.
constexpr qint64 kMaxChunkLine = 1024;

QByteArray verbOf(QNetworkAccessManager::Operation operation, const QNetworkRequest& request)
{
    switch (operation) {
    case QNetworkAccessManager::HeadOperation: return "HEAD";
    case QNetworkAccessManager::GetOperation: return "GET";
    case QNetworkAccessManager::PutOperation: return "PUT";
    case QNetworkAccessManager::PostOperation: return "POST";
    case QNetworkAccessManager::DeleteOperation: return "DELETE";
    default: return request.attribute(QNetworkRequest::CustomVerbAttribute).toByteArray();
    }
}

// The end of the header block in bytes (after its blank line), or -1.
// Servers end lines with CRLF, LF or a mix of both: the blank line is a
// line feed followed by a line feed, with or without a CR between them.
qsizetype headEnd(const QByteArray& bytes)
{
    for (qsizetype lf = bytes.indexOf('\n'); lf >= 0; lf = bytes.indexOf('\n', lf + 1)) {
        const qsizetype next = lf + 1;
        if (next < bytes.size() && bytes.at(next) == '\n')
            return next + 1;
        if (next + 1 < bytes.size() && bytes.at(next) == '\r' && bytes.at(next + 1) == '\n')
            return next + 2;
    }
    return -1;
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

BoundedHttpReply::BoundedHttpReply(QNetworkAccessManager::Operation operation, const QNetworkRequest& request,
                                   const QByteArray& body, QObject* parent)
    : QNetworkReply(parent)
    , m_verb(verbOf(operation, request))
    , m_requestBody(body)
    , m_url(request.url())
    , m_timer(new QTimer(this))
{
    setRequest(request);
    setOperation(operation);
    setUrl(m_url);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &BoundedHttpReply::onTimeout);
    // Callers connect to the reply after they got it: nothing may happen
    // before control is back in the event loop.
    QMetaObject::invokeMethod(this, &BoundedHttpReply::connectToServer, Qt::QueuedConnection);
}

BoundedHttpReply::~BoundedHttpReply()
{
    closeSocket();
}

void BoundedHttpReply::connectToServer()
{
    if (isFinished())
        return;
    const QString scheme = m_url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return fail(ProtocolUnknownError, tr("Protocol \"%1\" is unknown").arg(scheme));
    const bool secure = scheme == QLatin1String("https");
    if (secure && !QSslSocket::supportsSsl())
        return fail(SslHandshakeFailedError, tr("TLS is not available"));

    m_stage = Stage::Connecting;
    m_in.clear();
    m_peerClosed = false;
    m_interimReplies = 0;
    m_socket = secure ? new QSslSocket(this) : new QTcpSocket(this);
    m_socket->setReadBufferSize(kSocketChunk);
    connect(m_socket, &QAbstractSocket::readyRead, this, &BoundedHttpReply::pump);
    // The server's close comes as any of these, or as the error of a TLS
    // close_notify alone, after which a TLS socket stays connected for as
    // long as the server keeps TCP open.
    connect(m_socket, &QAbstractSocket::disconnected, this, &BoundedHttpReply::onPeerClosed);
    connect(m_socket, &QIODevice::readChannelFinished, this, &BoundedHttpReply::onPeerClosed);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &BoundedHttpReply::onSocketError);
    const int deadline = request().transferTimeout() > 0 ? request().transferTimeout() : kDefaultHeaderDeadlineMs;
    restartTimer(deadline);
    const quint16 port = quint16(m_url.port(secure ? 443 : 80));
    if (auto* tls = qobject_cast<QSslSocket*>(m_socket.data())) {
        tls->setSslConfiguration(request().sslConfiguration());
        connect(tls, &QSslSocket::encrypted, this, &BoundedHttpReply::writeRequest);
        tls->connectToHostEncrypted(m_url.host(), port);
    } else {
        connect(m_socket, &QAbstractSocket::connected, this, &BoundedHttpReply::writeRequest);
        m_socket->connectToHost(m_url.host(), port);
    }
}

QByteArray BoundedHttpReply::requestHead() const
{
    QByteArray target = m_url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');
    QByteArray head = m_verb + ' ' + target + " HTTP/1.1\r\n";
    head += "Host: " + m_url.authority(QUrl::RemoveUserInfo | QUrl::FullyEncoded).toLatin1() + "\r\n";
    const QNetworkRequest& req = request();
    for (const QByteArray& name : req.rawHeaderList()) {
        const QByteArray lower = name.toLower();
        if (lower == "host" || lower == "connection" || lower == "content-length" || lower == "accept-encoding"
            || lower == "transfer-encoding")
            continue;
        head += name + ": " + req.rawHeader(name) + "\r\n";
    }
    if (!m_requestBody.isEmpty() || m_verb == "POST" || m_verb == "PUT")
        head += "Content-Length: " + QByteArray::number(m_requestBody.size()) + "\r\n";
    // One request per connection, and a body exactly as sent.
    head += "Accept-Encoding: identity\r\nConnection: close\r\n\r\n";
    return head;
}

void BoundedHttpReply::writeRequest()
{
    if (!m_socket || isFinished())
        return;
    m_stage = Stage::Head;
    m_socket->write(requestHead() + m_requestBody);
    Q_EMIT requestSent();
}

void BoundedHttpReply::pump()
{
    m_pumpQueued = false;
    // A reader that runs the event loop from one of our signals (a
    // progress dialog does) would parse the rest inside this parse: the
    // outer one finishes first and looks again.
    if (m_pumping) {
        m_pumpAgain = true;
        return;
    }
    m_pumping = true;
    do {
        m_pumpAgain = false;
        parseAvailable();
    } while (m_pumpAgain && m_socket && !isFinished());
    m_pumping = false;
}

void BoundedHttpReply::parseAvailable()
{
    while (m_socket && !isFinished()) {
        bool progressed = false;
        switch (m_stage) {
        case Stage::Connecting:
        case Stage::Done: break;
        case Stage::Head: progressed = readHead(); break;
        case Stage::Body:
        case Stage::ChunkData: progressed = readBody(); break;
        case Stage::ChunkSize:
        case Stage::ChunkEnd:
        case Stage::Trailer: progressed = readChunked(); break;
        }
        if (!progressed)
            break;
    }
    // A TLS socket may still hold records it decrypts only once control is
    // back in the event loop: the end is decided after those.
    if (drainedAfterClose() && !m_closeCheckQueued) {
        m_closeCheckQueued = true;
        QMetaObject::invokeMethod(this, &BoundedHttpReply::endIfDrained, Qt::QueuedConnection);
    }
}

bool BoundedHttpReply::drainedAfterClose() const
{
    if (!m_socket || isFinished() || !m_peerClosed || m_socket->bytesAvailable() > 0 || waitsForReader())
        return false;
    const auto* tls = qobject_cast<const QSslSocket*>(m_socket.data());
    return !tls || tls->encryptedBytesAvailable() == 0;
}

// Everything the server sent before its close has been parsed as far as it
// goes: no more bytes will come to finish what is left.
void BoundedHttpReply::endIfDrained()
{
    m_closeCheckQueued = false;
    if (drainedAfterClose())
        endAtClose();
}

bool BoundedHttpReply::waitsForReader() const
{
    return (m_stage == Stage::Body || m_stage == Stage::ChunkData) && !roomForBody();
}

void BoundedHttpReply::endAtClose()
{
    // Only a body without a length or chunks ends with the connection; any
    // other reply the close cuts short. An error answer cut short still
    // carries the server's reason, which is what its body would have told.
    if (m_stage == Stage::Body && m_remaining < 0 && m_in.isEmpty())
        complete();
    else if (m_stage != Stage::Head && m_status >= 400)
        fail(httpError(m_status), serverReplied());
    else
        fail(RemoteHostClosedError, tr("Connection closed"));
}

bool BoundedHttpReply::readHead()
{
    const qint64 room = kMaxHeaderBytes + 1 - m_in.size();
    if (room > 0 && m_socket->bytesAvailable() > 0)
        m_in += m_socket->read(qMin(room, kSocketChunk));
    const qsizetype end = headEnd(m_in);
    if (end < 0 || end > kMaxHeaderBytes) {
        if (m_in.size() > kMaxHeaderBytes) {
            fail(ProtocolFailure, tr("The server's reply headers are longer than %1 bytes").arg(kMaxHeaderBytes));
            return false;
        }
        return room > 0 && m_socket->bytesAvailable() > 0;
    }
    const QByteArray head = m_in.left(end);
    m_in.remove(0, end);
    return takeHead(head);
}

bool BoundedHttpReply::takeHead(const QByteArray& head)
{
    const QList<QByteArray> lines = head.trimmed().split('\n');
    const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
    bool ok = false;
    const int status = statusLine.value(1).toInt(&ok);
    if (!statusLine.value(0).startsWith("HTTP/1.") || !ok || status < 100 || status > 999) {
        fail(ProtocolFailure, tr("The server's reply is not HTTP"));
        return false;
    }
    if (status < 200) {
        // An interim answer: the real one follows, unless the server only
        // ever sends these.
        if (++m_interimReplies > kMaxInterimReplies) {
            fail(ProtocolFailure, tr("The server sent more than %1 interim replies").arg(kMaxInterimReplies));
            return false;
        }
        return true;
    }
    QList<QPair<QByteArray, QByteArray>> headers;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = lines.at(i).left(colon).trimmed();
        const QByteArray value = lines.at(i).mid(colon + 1).trimmed();
        auto same = std::find_if(headers.begin(), headers.end(),
                                 [&name](const auto& h) { return h.first.compare(name, Qt::CaseInsensitive) == 0; });
        if (same != headers.end())
            same->second += ", " + value;
        else
            headers.append({name, value});
    }
    auto value = [&headers](const char* name) {
        for (const auto& h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        return QByteArray();
    };
    const QByteArray location = value("location");
    if (isRedirect(status) && !location.isEmpty() && followsRedirects()) {
        m_status = status;
        return followRedirect(QUrl::fromEncoded(location));
    }

    m_status = status;
    for (const auto& h : headers)
        setRawHeader(h.first, h.second);
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, status);
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute,
                 statusLine.mid(2).join(' ').trimmed());
    m_total = -1;
    m_remaining = -1;
    if (value("transfer-encoding").toLower().contains("chunked")) {
        m_stage = Stage::ChunkSize;
    } else if (!value("content-length").isEmpty()) {
        m_remaining = value("content-length").toLongLong(&ok);
        if (!ok || m_remaining < 0) {
            fail(ProtocolFailure, tr("The server's reply has an invalid length"));
            return false;
        }
        m_total = m_remaining;
        m_stage = Stage::Body;
    } else {
        m_stage = Stage::Body;
    }
    // From here on the server is waited for only while it is silent.
    restartTimer(request().transferTimeout());
    Q_EMIT metaDataChanged();
    if (isFinished())
        return false;
    if (m_verb == "HEAD" || status == 204 || status == 304 || (m_stage == Stage::Body && m_remaining == 0)) {
        complete();
        return false;
    }
    return true;
}

bool BoundedHttpReply::followsRedirects() const
{
    // As Qt's own replies: the request's rule, else the manager's.
    const QVariant rule = request().attribute(QNetworkRequest::RedirectPolicyAttribute);
    if (rule.isValid())
        return rule.toInt() != QNetworkRequest::ManualRedirectPolicy;
    return !manager() || manager()->redirectPolicy() != QNetworkRequest::ManualRedirectPolicy;
}

bool BoundedHttpReply::followRedirect(const QUrl& location)
{
    const QUrl target = m_url.resolved(location);
    const int allowed = qMin(request().maximumRedirectsAllowed(), kMaxRedirects);
    if (m_redirects >= allowed) {
        fail(TooManyRedirectsError, tr("Too many redirects"));
        return false;
    }
    const QString scheme = target.scheme().toLower();
    if (m_url.scheme().toLower() == QLatin1String("https") && scheme != QLatin1String("https")) {
        fail(InsecureRedirectError, tr("Insecure redirect"));
        return false;
    }
    ++m_redirects;
    if (m_status == 303 || ((m_status == 301 || m_status == 302) && m_verb == "POST")) {
        m_verb = "GET";
        m_requestBody.clear();
    }
    closeSocket();
    m_url = target;
    setUrl(target);
    Q_EMIT redirected(target);
    if (!isFinished())
        connectToServer();
    return false;
}

bool BoundedHttpReply::roomForBody() const
{
    return readBufferSize() <= 0 || m_body.size() < readBufferSize();
}

bool BoundedHttpReply::readBody()
{
    if (!roomForBody())
        return false;
    qint64 want = readBufferSize() > 0 ? readBufferSize() - m_body.size() : kSocketChunk;
    if (m_remaining >= 0)
        want = qMin(want, m_remaining);
    QByteArray bytes = m_in.left(want);
    m_in.remove(0, bytes.size());
    if (bytes.size() < want)
        bytes += m_socket->read(want - bytes.size());
    if (bytes.isEmpty())
        return false;
    if (m_remaining >= 0)
        m_remaining -= bytes.size();
    deliver(bytes);
    if (isFinished() || m_remaining != 0)
        return !isFinished();
    if (m_stage == Stage::ChunkData) {
        m_stage = Stage::ChunkEnd;
        return true;
    }
    complete();
    return false;
}

bool BoundedHttpReply::readChunked()
{
    QByteArray line;
    if (!readLine(&line))
        return false;
    if (m_stage == Stage::ChunkEnd) {
        if (!line.isEmpty()) {
            fail(ProtocolFailure, tr("The server's reply has a broken chunk"));
            return false;
        }
        m_stage = Stage::ChunkSize;
        return true;
    }
    if (m_stage == Stage::Trailer) {
        if (line.isEmpty())
            complete();
        return !isFinished();
    }
    bool ok = false;
    const qint64 size = line.split(';').value(0).trimmed().toLongLong(&ok, 16);
    if (!ok || size < 0) {
        fail(ProtocolFailure, tr("The server's reply has a broken chunk"));
        return false;
    }
    m_remaining = size;
    m_stage = size == 0 ? Stage::Trailer : Stage::ChunkData;
    return true;
}

bool BoundedHttpReply::readLine(QByteArray* line)
{
    const qint64 cap = m_stage == Stage::Trailer ? kMaxHeaderBytes - m_trailerBytes : kMaxChunkLine;
    qsizetype end = m_in.indexOf('\n');
    if (end < 0 && m_socket->bytesAvailable() > 0) {
        m_in += m_socket->read(qMax<qint64>(1, cap + 1 - m_in.size()));
        end = m_in.indexOf('\n');
    }
    if (end < 0 || end > cap) {
        if (m_in.size() > cap)
            fail(ProtocolFailure, tr("The server's reply has a line longer than %1 bytes").arg(cap));
        return false;
    }
    if (m_stage == Stage::Trailer)
        m_trailerBytes += end + 1;
    *line = m_in.left(end).trimmed();
    m_in.remove(0, end + 1);
    return true;
}

void BoundedHttpReply::deliver(const QByteArray& bytes)
{
    m_body += bytes;
    m_received += bytes.size();
    restartTimer(request().transferTimeout());
    Q_EMIT readyRead();
    if (!isFinished())
        Q_EMIT downloadProgress(m_received, m_total);
}

qint64 BoundedHttpReply::readData(char* data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, m_body.size());
    if (n == 0)
        return isFinished() ? -1 : 0;
    std::memcpy(data, m_body.constData(), size_t(n));
    m_body.remove(0, n);
    // The reader made room: the socket is read on, once control is back in
    // the event loop.
    if (!isFinished() && !m_pumpQueued) {
        m_pumpQueued = true;
        QMetaObject::invokeMethod(this, &BoundedHttpReply::pump, Qt::QueuedConnection);
    }
    return n;
}

qint64 BoundedHttpReply::bytesAvailable() const
{
    return QNetworkReply::bytesAvailable() + m_body.size();
}

void BoundedHttpReply::setReadBufferSize(qint64 size)
{
    QNetworkReply::setReadBufferSize(size);
    if (!m_pumpQueued && !isFinished()) {
        m_pumpQueued = true;
        QMetaObject::invokeMethod(this, &BoundedHttpReply::pump, Qt::QueuedConnection);
    }
}

void BoundedHttpReply::onPeerClosed()
{
    if (!m_socket || isFinished())
        return;
    m_peerClosed = true;
    pump();
}

void BoundedHttpReply::onSocketError()
{
    if (!m_socket || isFinished())
        return;
    switch (m_socket->error()) {
    case QAbstractSocket::RemoteHostClosedError: return onPeerClosed(); // the end of the body, or not
    case QAbstractSocket::ConnectionRefusedError: return fail(ConnectionRefusedError, tr("Connection refused"));
    case QAbstractSocket::HostNotFoundError: return fail(HostNotFoundError, tr("Host %1 not found").arg(m_url.host()));
    case QAbstractSocket::SocketTimeoutError: return fail(TimeoutError, tr("Operation timed out"));
    case QAbstractSocket::SslHandshakeFailedError: return fail(SslHandshakeFailedError, m_socket->errorString());
    default: return fail(UnknownNetworkError, m_socket->errorString());
    }
}

void BoundedHttpReply::onTimeout()
{
    fail(TimeoutError, tr("Operation timed out"));
}

void BoundedHttpReply::restartTimer(int ms)
{
    if (ms > 0)
        m_timer->start(ms);
    else
        m_timer->stop();
}

QNetworkReply::NetworkError BoundedHttpReply::httpError(int status) const
{
    switch (status) {
    case 401: return AuthenticationRequiredError;
    case 403: return ContentAccessDenied;
    case 404: return ContentNotFoundError;
    case 405: return ContentOperationNotPermittedError;
    case 407: return ProxyAuthenticationRequiredError;
    case 409: return ContentConflictError;
    case 410: return ContentGoneError;
    case 500: return InternalServerError;
    case 501: return OperationNotImplementedError;
    case 503: return ServiceUnavailableError;
    default: return status >= 500 ? UnknownServerError : UnknownContentError;
    }
}

QString BoundedHttpReply::serverReplied() const
{
    const QString reason = attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    return tr("Error transferring %1 - server replied: %2").arg(m_url.toString(), reason);
}

void BoundedHttpReply::complete()
{
    if (isFinished())
        return;
    m_stage = Stage::Done;
    m_timer->stop();
    closeSocket();
    if (m_status >= 400) {
        setError(httpError(m_status), serverReplied());
        Q_EMIT errorOccurred(error());
    }
    setFinished(true);
    Q_EMIT finished();
}

void BoundedHttpReply::fail(NetworkError code, const QString& text)
{
    if (isFinished())
        return;
    m_stage = Stage::Done;
    m_timer->stop();
    closeSocket();
    setError(code, text);
    Q_EMIT errorOccurred(code);
    setFinished(true);
    Q_EMIT finished();
}

void BoundedHttpReply::abort()
{
    if (isFinished())
        return;
    // Like Qt's own replies: an aborted reply has nothing left to read.
    m_body.clear();
    QIODevice::close();
    fail(OperationCanceledError, tr("Operation canceled"));
}

void BoundedHttpReply::close()
{
    abort();
    QNetworkReply::close();
}

void BoundedHttpReply::closeSocket()
{
    QTcpSocket* socket = std::exchange(m_socket, nullptr);
    if (!socket)
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

} // namespace gallery
