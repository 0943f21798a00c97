#include "gallery/CatalogClient.h"

#include "support/FakeWebService.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>

using gallery::CatalogClient;
using gallery::CatalogItem;
using Reply = FakeWebService::Reply;

namespace {

// One line per item, fields in declaration order, so a table row can say
// what the parser must produce.
QStringList describe(const QList<CatalogItem>& items)
{
    QStringList lines;
    for (const CatalogItem& i : items)
        lines << QStringList{i.slug, i.name, i.author, i.description, i.kind, i.preview,
                             i.devices.join(QLatin1Char(',')), QString::number(i.downloads)}
                     .join(QLatin1Char('|'));
    return lines;
}

Reply reply(int status, const QByteArray& body)
{
    Reply r;
    r.status = status;
    r.body = body;
    return r;
}

// JSON written with single quotes, so the rows stay readable.
QByteArray json(const char* text)
{
    return QByteArray(text).replace('\'', '"');
}

const QByteArray kNoncePath = "/api/templates/neon/install-url";

} // namespace

class CatalogClientTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setApplicationVersion(QStringLiteral("0.5.8.0"));
    }

    void parseCatalog_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("error");
        QTest::newRow("full item")
            << json("{'items':[{'slug':'neon','kind':'theme','name':'Neon','devices':['mxg_12','pdm/dash1'],"
               "'author':'Ann','description':'Bright','preview':'https://x/p.png','downloads':7}]}")
            << QStringList{"neon|Neon|Ann|Bright|theme|https://x/p.png|mxg_12,pdm/dash1|7"} << QString();
        QTest::newRow("bad slugs dropped, order kept")
            << json("{'items':[{'slug':'a'},{'name':'no slug'},{'slug':''},{'slug':5},{'slug':'..'},"
               "{'slug':'x/y'},{'slug':'c:d'},'text',7,{'slug':'b'}]}")
            << QStringList{"a|a||||||0", "b|b||||||0"} << QString();
        QTest::newRow("empty or odd name is the slug")
            << json("{'items':[{'slug':'neon','name':''},{'slug':'dusk','name':5}]}")
            << QStringList{"neon|neon||||||0", "dusk|dusk||||||0"} << QString();
        QTest::newRow("downloads")
            << json("{'items':[{'slug':'a','downloads':12.0},{'slug':'b','downloads':'12'},"
               "{'slug':'c','downloads':12.5},{'slug':'d','downloads':-3}]}")
            << QStringList{"a|a||||||12", "b|b||||||0", "c|c||||||0", "d|d||||||-3"} << QString();
        QTest::newRow("empty and numeric devices skipped")
            << json("{'items':[{'slug':'a','devices':['',3,'mxs',null,'solo2dl']},{'slug':'b','devices':'mxs'}]}")
            << QStringList{"a|a|||||mxs,solo2dl|0", "b|b||||||0"} << QString();
        QTest::newRow("items not an array") << json("{'items':{}}") << QStringList() << QString();
        QTest::newRow("no items") << json("{'count':3}") << QStringList() << QString();
        QTest::newRow("array document") << QByteArray("[]") << QStringList()
                                        << QStringLiteral("Catalog JSON was not an object.");
        QTest::newRow("not JSON") << QByteArray("{\"items\":[") << QStringList()
                                  << QStringLiteral("Malformed catalog JSON: ");
    }

    void parseCatalog()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, items);
        QFETCH(QString, error);
        QString got = QStringLiteral("stale");
        QCOMPARE(describe(CatalogClient::parseCatalog(body, &got)), items);
        if (error.endsWith(QLatin1String(": ")))
            QVERIFY2(got.startsWith(error) && got.size() > error.size(), qPrintable(got));
        else
            QCOMPARE(got, error);
    }

    void catalogArrivesWithUserAgent()
    {
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply("/api/catalog", reply(200, json("{'items':[{'slug':'neon'},{'slug':'dusk','name':'Dusk'}]}")));
        CatalogClient client(nullptr, web.baseUrl());
        QSignalSpy ready(&client, &CatalogClient::catalogReady);
        QSignalSpy failed(&client, &CatalogClient::catalogFailed);
        client.fetchCatalog();
        QVERIFY(ready.wait(10000));
        QCOMPARE(describe(ready.at(0).at(0).value<QList<CatalogItem>>()),
                 (QStringList{"neon|neon||||||0", "dusk|Dusk||||||0"}));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(web.requests().size(), 1);
        const FakeWebService::Request r = web.requests().at(0);
        QCOMPARE(r.method, QByteArray("GET"));
        QCOMPARE(r.target, QByteArray("/api/catalog"));
        QCOMPARE(r.headers.value("user-agent"), QByteArray("Korvelanto/0.5.8.0"));
    }

    void catalogFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        QTest::newRow("404") << 404 << QByteArray() << QStringLiteral("Not found on the server (404).");
        QTest::newRow("500") << 500 << QByteArray() << QStringLiteral("Gallery server error (500). Try again in a moment.");
        QTest::newRow("503") << 503 << QByteArray() << QStringLiteral("Gallery server error (503). Try again in a moment.");
        QTest::newRow("504") << 504 << QByteArray() << QStringLiteral("Network error: ");
        QTest::newRow("closed port") << 0 << QByteArray() << QStringLiteral("Network error: ");
        QTest::newRow("not an object") << 200 << QByteArray("[]") << QStringLiteral("Catalog JSON was not an object.");
    }

    void catalogFailures()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply("/api/catalog", reply(status, body));
        CatalogClient client(nullptr, status ? web.baseUrl() : FakeWebService::closedPortUrl());
        QSignalSpy ready(&client, &CatalogClient::catalogReady);
        QSignalSpy failed(&client, &CatalogClient::catalogFailed);
        client.fetchCatalog();
        QVERIFY(failed.wait(10000));
        const QString got = failed.at(0).at(0).toString();
        if (reason.endsWith(QLatin1String(": ")))
            QVERIFY2(got.startsWith(reason) && got.size() > reason.size(), qPrintable(got));
        else
            QCOMPARE(got, reason);
        QCOMPARE(ready.count(), 0);
        QCOMPARE(failed.count(), 1);
    }

    // A catalog over https without a length, ended by the server's close:
    // whole at once, whether the server closes TCP too or ends only TLS.
    void closeDelimitedCatalogOverTls_data()
    {
        QTest::addColumn<bool>("tcpOutlivesTls");
        QTest::newRow("tls and tcp closed") << false;
        QTest::newRow("tls closed, tcp left open") << true;
    }

    void closeDelimitedCatalogOverTls()
    {
        QFETCH(bool, tcpOutlivesTls);
        FakeWebService web;
        web.setTcpOutlivesTlsClose(tcpOutlivesTls);
        QVERIFY(web.startTls());
        Reply catalog = reply(200, json("{'items':[{'slug':'neon'},{'slug':'dusk','name':'Dusk'}]}"));
        catalog.announceLength = false;
        web.setReply("/api/catalog", catalog);
        CatalogClient client(nullptr, web.baseUrl());
        client.setTransferTimeout(30000);
        QSignalSpy ready(&client, &CatalogClient::catalogReady);
        QSignalSpy failed(&client, &CatalogClient::catalogFailed);
        client.fetchCatalog();
        QTRY_COMPARE_WITH_TIMEOUT(ready.size() + failed.size(), 1, 5000);
        QCOMPARE(failed.size(), 0);
        QCOMPARE(describe(ready.at(0).at(0).value<QList<CatalogItem>>()),
                 (QStringList{"neon|neon||||||0", "dusk|Dusk||||||0"}));
    }

    void nonceReplies_data()
    {
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<QString>("nonce");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nonce") << reply(200, json("{'nonce':'n-42'}")) << QStringLiteral("n-42") << QString();
        QTest::newRow("empty nonce") << reply(200, json("{'nonce':''}")) << QString()
                                     << QStringLiteral("Server did not return an install nonce.");
        QTest::newRow("malformed") << reply(200, "nonce=n-42") << QString()
                                   << QStringLiteral("Malformed install-url response.");
        QTest::newRow("not an object") << reply(200, json("['n-42']")) << QString()
                                       << QStringLiteral("Malformed install-url response.");
        QTest::newRow("404") << reply(404, {}) << QString() << QStringLiteral("Not found on the server (404).");
        Reply moved = reply(302, {});
        moved.location = "/elsewhere?format=json";
        QTest::newRow("redirect followed") << moved << QStringLiteral("n-7") << QString();
        Reply loop = moved;
        loop.location = kNoncePath + "?format=json";
        QTest::newRow("redirect loop") << loop << QString() << QStringLiteral("Network error: Too many redirects");
    }

    void nonceReplies()
    {
        QFETCH(Reply, answer);
        QFETCH(QString, nonce);
        QFETCH(QString, reason);
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kNoncePath, answer);
        web.setReply("/elsewhere", reply(200, json("{'nonce':'n-7'}")));
        CatalogClient client(nullptr, web.baseUrl());
        QSignalSpy ready(&client, &CatalogClient::nonceReady);
        QSignalSpy failed(&client, &CatalogClient::nonceFailed);
        client.requestInstallNonce(QStringLiteral("neon"));
        QVERIFY(reason.isEmpty() ? ready.wait(10000) : failed.wait(10000));
        QCOMPARE(ready.count() + failed.count(), 1);
        const QList<QVariant> args = reason.isEmpty() ? ready.at(0) : failed.at(0);
        QCOMPARE(args.at(0).toString(), QStringLiteral("neon"));
        QCOMPARE(args.at(1).toString(), reason.isEmpty() ? nonce : reason);
        QCOMPARE(web.requests().at(0).query, QByteArray("format=json"));
        QCOMPARE(web.requests().at(0).headers.value("user-agent"), QByteArray("Korvelanto/0.5.8.0"));
    }

    void nonceSlugIsOneSegment()
    {
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply("/api/templates/a%20b%3F%23%2Fx/install-url", reply(200, json("{'nonce':'n'}")));
        CatalogClient client(nullptr, web.baseUrl());
        QSignalSpy ready(&client, &CatalogClient::nonceReady);
        QSignalSpy failed(&client, &CatalogClient::nonceFailed);
        client.requestInstallNonce(QStringLiteral("a b?#/x"));
        QVERIFY(ready.wait(10000) || !failed.isEmpty());
        QCOMPARE(web.requests().size(), 1);
        const QList<QByteArray> segments = web.requests().at(0).path.split('/');
        QCOMPARE(segments.size(), 5);
        QCOMPARE(QUrl::fromPercentEncoding(segments.at(3)), QStringLiteral("a b?#/x"));
        QCOMPARE(ready.count(), 1);
        QCOMPARE(ready.at(0).at(0).toString(), QStringLiteral("a b?#/x"));
    }

    void refusedSlugsSendNothing_data()
    {
        QTest::addColumn<QString>("slug");
        QTest::newRow("empty") << QString();
        QTest::newRow("dot") << QStringLiteral(".");
        QTest::newRow("dot dot") << QStringLiteral("..");
    }

    void refusedSlugsSendNothing()
    {
        QFETCH(QString, slug);
        FakeWebService web;
        QVERIFY(web.start());
        CatalogClient client(nullptr, web.baseUrl());
        QSignalSpy ready(&client, &CatalogClient::nonceReady);
        QSignalSpy failed(&client, &CatalogClient::nonceFailed);
        client.requestInstallNonce(slug);
        QCOMPARE(failed.count(), 0); // reported later, like any reply
        QVERIFY(failed.wait(5000));
        QTest::qWait(100);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), slug);
        QVERIFY(!failed.at(0).at(1).toString().isEmpty());
        QCOMPARE(ready.count(), 0);
        QVERIFY(web.requests().isEmpty());
    }

    // An endless reply is sent as fast as loopback allows while the window
    // is busy for a moment: the server cannot push much beyond the cap.
    void oversizedReplyIsAborted_data()
    {
        QTest::addColumn<bool>("announced");
        QTest::addColumn<bool>("endless");
        QTest::newRow("announced") << true << false;
        QTest::newRow("unannounced") << false << false;
        QTest::newRow("endless") << false << true;
    }

    void oversizedReplyIsAborted()
    {
        QFETCH(bool, announced);
        QFETCH(bool, endless);
        FakeWebService web;
        QVERIFY(web.start());
        Reply big = reply(200, "{\"items\":[");
        big.fillerBytes = 100 * 1000 * 1000;
        big.announceLength = announced;
        big.endlessChunks = endless;
        web.setReply("/api/catalog", big);
        CatalogClient client(nullptr, web.baseUrl());
        const qint64 cap = 4 * 1024 * 1024;
        client.setMaxCatalogBytes(cap);
        QSignalSpy ready(&client, &CatalogClient::catalogReady);
        QSignalSpy failed(&client, &CatalogClient::catalogFailed);
        client.fetchCatalog();
        FakeWebService::busyAtHeaders(client.findChild<QNetworkReply*>());
        QVERIFY(failed.wait(20000));
        QVERIFY2(web.streamedBytes() < cap + FakeWebService::kSlackBeyondCap,
                 qPrintable(QString::number(web.streamedBytes())));
        QVERIFY2(failed.at(0).at(0).toString().startsWith(QLatin1String("Network error: the reply is larger than")),
                 qPrintable(failed.at(0).at(0).toString()));
        QTest::qWait(100);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(ready.count(), 0);
    }

    void stalledReplyTimesOut()
    {
        FakeWebService web;
        QVERIFY(web.start());
        Reply stall;
        stall.stall = true;
        web.setReply(kNoncePath, stall);
        CatalogClient client(nullptr, web.baseUrl());
        client.setTransferTimeout(300);
        QSignalSpy failed(&client, &CatalogClient::nonceFailed);
        QElapsedTimer clock;
        clock.start();
        client.requestInstallNonce(QStringLiteral("neon"));
        QVERIFY(failed.wait(10000));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("neon"));
        QCOMPARE(failed.at(0).at(1).toString(), QStringLiteral("Network error: the server did not answer in time"));
        QCOMPARE(web.requests().size(), 1);
    }
};

KORV_GUI_TEST_MAIN(CatalogClientTest)
#include "tst_catalogclient.moc"
