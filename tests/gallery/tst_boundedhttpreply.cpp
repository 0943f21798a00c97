// How the program's own HTTP replies end when the server ends the
// connection, over plain TCP and over TLS: whole when the framing says so,
// otherwise at once with the early close named, never at the deadline.
#include "gallery/BoundedHttpReply.h"
#include "gallery/BoundedNetworkAccess.h"

#include "support/FakeWebService.h"
#include "support/TestEnvironment.h"

#include <QNetworkReply>
#include <QPointer>
#include <QtTest>

#include <memory>

using Reply = FakeWebService::Reply;

namespace {

// Far beyond the few seconds any reply here is given to end: a reply that
// ends in time did not end by its deadline.
constexpr int kDeadlineMs = 30000;
constexpr int kEndsWithinMs = 5000;

const QByteArray kPath = "/r";

// How the server's side of the connection runs and ends.
enum class Transport { Plain, Tls, TlsCloseOnly };

const char* nameOf(Transport transport)
{
    switch (transport) {
    case Transport::Plain: return "plain";
    case Transport::Tls: return "tls";
    case Transport::TlsCloseOnly: return "tls close, tcp left open";
    }
    return "";
}

constexpr Transport kTransports[] = {Transport::Plain, Transport::Tls, Transport::TlsCloseOnly};

struct Fetch {
    FakeWebService web;
    gallery::BoundedNetworkAccess network;
    QPointer<QNetworkReply> reply;

    bool start(Transport transport, const Reply& answer, qint64 readBufferSize = 0)
    {
        web.setTcpOutlivesTlsClose(transport == Transport::TlsCloseOnly);
        if (!(transport == Transport::Plain ? web.start() : web.startTls()))
            return false;
        web.setReply(kPath, answer);
        QNetworkRequest request(web.baseUrl().resolved(QUrl(QString::fromLatin1(kPath))));
        request.setTransferTimeout(kDeadlineMs);
        reply = network.get(request);
        reply->setReadBufferSize(readBufferSize);
        return true;
    }
};

Reply raw(const QByteArray& bytes, bool holdOpen)
{
    Reply reply;
    reply.raw = bytes;
    reply.holdOpen = holdOpen;
    return reply;
}

} // namespace

Q_DECLARE_METATYPE(Transport)

class BoundedHttpReplyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void earlyCloseNamesTheClose_data()
    {
        QTest::addColumn<Transport>("transport");
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<QString>("message"); // %1: the address
        QTest::addColumn<QNetworkReply::NetworkError>("code");
        const QString closed = QStringLiteral("Connection closed");
        for (const Transport transport : kTransports) {
            for (const FakeWebService::CutReply& cut : FakeWebService::cutReplies())
                QTest::addRow("%s, %s", nameOf(transport), cut.name)
                    << transport << cut.reply << closed << QNetworkReply::RemoteHostClosedError;
            // The server's answer said why already: its reason is kept.
            QTest::addRow("%s, error answer, body cut", nameOf(transport))
                << transport << raw("HTTP/1.1 503 Busy Here\r\nContent-Length: 100\r\n\r\n{\"err", false)
                << QStringLiteral("Error transferring %1 - server replied: Busy Here")
                << QNetworkReply::ServiceUnavailableError;
            QTest::addRow("%s, error answer, chunk cut", nameOf(transport))
                << transport
                << raw("HTTP/1.1 404 Not Found\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n{\"err", false)
                << QStringLiteral("Error transferring %1 - server replied: Not Found")
                << QNetworkReply::ContentNotFoundError;
        }
    }

    void earlyCloseNamesTheClose()
    {
        QFETCH(Transport, transport);
        QFETCH(Reply, answer);
        QFETCH(QString, message);
        QFETCH(QNetworkReply::NetworkError, code);
        Fetch fetch;
        QVERIFY(fetch.start(transport, answer));
        QTRY_VERIFY_WITH_TIMEOUT(fetch.reply->isFinished(), kEndsWithinMs);
        QCOMPARE(fetch.reply->errorString(), QString(message).replace("%1", fetch.reply->url().toString()));
        QCOMPARE(fetch.reply->error(), code);
    }

    // A body without a length or chunks ends with the connection, however
    // the server closes it, also when the reader takes it in small pieces.
    void closeDelimitedBodyCompletes_data()
    {
        QTest::addColumn<Transport>("transport");
        QTest::addColumn<qint64>("bodySize");
        QTest::addColumn<qint64>("readBufferSize");
        for (const Transport transport : kTransports) {
            const char* how = nameOf(transport);
            QTest::addRow("%s, small", how) << transport << qint64(40) << qint64(0);
            QTest::addRow("%s, empty", how) << transport << qint64(0) << qint64(0);
            QTest::addRow("%s, large, read in pieces", how) << transport << qint64(3 << 20) << qint64(16 * 1024);
        }
    }

    void closeDelimitedBodyCompletes()
    {
        QFETCH(Transport, transport);
        QFETCH(qint64, bodySize);
        QFETCH(qint64, readBufferSize);
        QByteArray body(bodySize, 'b');
        for (qint64 i = 0; i < bodySize; i += 997)
            body[i] = char('a' + i % 26);
        Reply answer = FakeWebService::okReply(body, "application/octet-stream");
        answer.announceLength = false;
        Fetch fetch;
        QVERIFY(fetch.start(transport, answer, readBufferSize));
        QByteArray received;
        connect(fetch.reply, &QNetworkReply::readyRead, this, [&] { received += fetch.reply->readAll(); });
        QTRY_VERIFY_WITH_TIMEOUT(fetch.reply->isFinished(), kEndsWithinMs * 2);
        received += fetch.reply->readAll();
        QCOMPARE(fetch.reply->errorString(), QStringLiteral("Unknown error"));
        QCOMPARE(fetch.reply->error(), QNetworkReply::NoError);
        QCOMPARE(received.size(), body.size());
        QVERIFY(received == body);
    }

    // Held open by the server: the reply is whole by its framing alone.
    void mixedLineEndsAreRead_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("LF, then CRLF") << QByteArray("HTTP/1.1 200 OK\nContent-Length: 5\nX-Kind: mixed\n\r\n");
        QTest::newRow("CRLF, then LF") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Kind: mixed\r\n\n");
        QTest::newRow("LF only") << QByteArray("HTTP/1.1 200 OK\nContent-Length: 5\nX-Kind: mixed\n\n");
        QTest::newRow("CRLF only") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Kind: mixed\r\n\r\n");
        QTest::newRow("interim reply with LF, then CRLF")
            << QByteArray("HTTP/1.1 100 Continue\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\nX-Kind: mixed\r\n\r\n");
    }

    void mixedLineEndsAreRead()
    {
        QFETCH(QByteArray, head);
        Fetch fetch;
        QVERIFY(fetch.start(Transport::Plain, raw(head + "hello", true)));
        QTRY_VERIFY_WITH_TIMEOUT(fetch.reply->isFinished(), kEndsWithinMs);
        QCOMPARE(fetch.reply->error(), QNetworkReply::NoError);
        QCOMPARE(fetch.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(fetch.reply->rawHeader("X-Kind"), QByteArray("mixed"));
        QCOMPARE(fetch.reply->readAll(), QByteArray("hello"));
    }

    // A few interim replies come before the answer; a server that sends
    // nothing else is refused after a bounded number, and the process comes
    // to rest.
    void interimReplies_data()
    {
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<QString>("error");
        const QByteArray interim = "HTTP/1.1 100 Continue\r\n\r\n";
        QTest::newRow("three, then the answer")
            << raw(interim.repeated(3) + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", true) << QString();
        QTest::newRow("as many as allowed, then the answer")
            << raw(interim.repeated(gallery::BoundedHttpReply::kMaxInterimReplies)
                       + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
                   true)
            << QString();
        QTest::newRow("one too many")
            << raw(interim.repeated(gallery::BoundedHttpReply::kMaxInterimReplies + 1), true)
            << QStringLiteral("The server sent more than 16 interim replies");
        QTest::newRow("a flood") << FakeWebService::interimFloodReply()
                                 << QStringLiteral("The server sent more than 16 interim replies");
    }

    void interimReplies()
    {
        QFETCH(Reply, answer);
        QFETCH(QString, error);
        Fetch fetch;
        QVERIFY(fetch.start(Transport::Plain, answer));
        QTRY_VERIFY_WITH_TIMEOUT(fetch.reply->isFinished(), kEndsWithinMs);
        if (error.isEmpty()) {
            QCOMPARE(fetch.reply->error(), QNetworkReply::NoError);
            QCOMPARE(fetch.reply->readAll(), QByteArray("ok"));
            return;
        }
        QCOMPARE(fetch.reply->errorString(), error);
        QCOMPARE(fetch.reply->error(), QNetworkReply::ProtocolFailure);
        QString why;
        QVERIFY2(fetch.web.settlesToRest(&why), qPrintable(why));
    }
};

KORV_GUI_TEST_MAIN(BoundedHttpReplyTest)
#include "tst_boundedhttpreply.moc"
