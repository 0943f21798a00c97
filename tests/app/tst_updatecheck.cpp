#include "window/MainWindow.h"
#include "updates/UpdateChecker.h"
#include "updates/UpdateManifest.h"
#include "support/FakeWebService.h"
#include "support/SigningKey.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QNetworkReply>
#include <QtTest>

#include <memory>

using Reply = FakeWebService::Reply;

namespace {

const QByteArray kCheckPath = "/api/check-update";

// A manifest body as the service sends it: JSON with the signature made by
// key over the canonical text (or over signedText when given).
QByteArray signedBody(const SigningKey& key, UpdateManifest m, const QByteArray& signedText = QByteArray())
{
    m.signature = QString::fromLatin1(key.sign(signedText.isNull() ? UpdateManifest::canonicalText(m) : signedText));
    QJsonObject o{{QStringLiteral("latest"), m.latest},     {QStringLiteral("update_available"), m.update_available},
                  {QStringLiteral("exe_only"), m.exe_only}, {QStringLiteral("url"), m.url},
                  {QStringLiteral("sha256"), m.sha256},     {QStringLiteral("size"), double(m.size)},
                  {QStringLiteral("release_notes"), m.release_notes}, {QStringLiteral("signature"), m.signature}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

UpdateManifest sampleManifest(const QString& latest = QStringLiteral("0.6.0.0"), bool available = true)
{
    UpdateManifest m;
    m.latest = latest;
    m.update_available = available;
    m.url = QStringLiteral("https://updates.example/korvelanto-0.6.0.0.exe");
    m.sha256 = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
    m.size = 4194304;
    m.release_notes = QStringLiteral("Faster saves.\nNew gauges.");
    return m;
}

QByteArray json(QByteArray text)
{
    return text.replace('\'', '"');
}

QStringList updateLogLines()
{
    QFile f(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/update.log"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

// The signed update manifest, the version rule and the start-up check
// against a local stand-in for the update service.
class UpdateCheckTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SigningKey> m_key;
    std::unique_ptr<SigningKey> m_otherKey;

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setApplicationVersion(QStringLiteral("0.5.8.0"));
        m_key = std::make_unique<SigningKey>();
        m_otherKey = std::make_unique<SigningKey>();
        QVERIFY(m_key->isValid() && m_otherKey->isValid());
    }

    void init() { QSettings().remove(QStringLiteral("updates/checkOnStartup")); }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error");
        QTest::addColumn<qint64>("size");
        const QByteArray head = "{'latest':'0.6','update_available':true,'exe_only':false,'url':'u','sha256':'h',";
        QTest::newRow("fraction truncated") << json(head + "'size':12.9,'release_notes':'','signature':'s'}")
                                            << QString() << qint64(12);
        QTest::newRow("negative fraction") << json(head + "'size':-3.7,'release_notes':'','signature':'s'}")
                                           << QString() << qint64(-3);
        QTest::newRow("extra keys") << json(head + "'size':1,'release_notes':'','signature':'s','mirror':'x'}")
                                    << QString() << qint64(1);
        QTest::newRow("size as text") << json(head + "'size':'12','release_notes':'','signature':'s'}")
                                      << QStringLiteral("field size is not a number") << qint64(0);
        QTest::newRow("size past 64 bits") << json(head + "'size':1e19,'release_notes':'','signature':'s'}")
                                           << QStringLiteral("field size is not a number") << qint64(0);
        QTest::newRow("no signature") << json(head + "'size':1,'release_notes':''}")
                                      << QStringLiteral("missing field signature") << qint64(1);
        QTest::newRow("flag as text") << json("{'latest':'1','update_available':'yes'}")
                                      << QStringLiteral("field update_available is not a bool") << qint64(0);
        QTest::newRow("version as number") << json("{'latest':1}") << QStringLiteral("field latest is not a string")
                                           << qint64(0);
        QTest::newRow("url smuggles a line")
            << json("{'latest':'0.6','update_available':true,'exe_only':true,'url':'https://a/x\\nsha256=00',"
                    "'sha256':'h','size':1,'release_notes':'','signature':'s'}")
            << QStringLiteral("field url contains a line break") << qint64(0);
        QTest::newRow("carriage return in latest") << json("{'latest':'0.6\\r'}")
                                                   << QStringLiteral("field latest contains a line break") << qint64(0);
        QTest::newRow("not an object") << QByteArray("[1,2]") << QStringLiteral("malformed json: not an object")
                                       << qint64(0);
    }

    void parse()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        QFETCH(qint64, size);
        QString actual = QStringLiteral("stale");
        const UpdateManifest m = UpdateManifest::fromJson(body, &actual);
        QCOMPARE(actual, error);
        QCOMPARE(m.size, size);
    }

    void malformedJson()
    {
        QString error;
        UpdateManifest::fromJson("{\"latest\":", &error);
        QVERIFY2(error.startsWith(QStringLiteral("malformed json: ")), qPrintable(error));
    }

    void canonicalTextIsExact()
    {
        UpdateManifest m = sampleManifest();
        m.size = -42;
        m.signature = QStringLiteral("not part of the text");
        const QByteArray golden = "latest=0.6.0.0\n"
                                  "update_available=true\n"
                                  "exe_only=true\n"
                                  "url=https://updates.example/korvelanto-0.6.0.0.exe\n"
                                  "sha256=9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08\n"
                                  "size=-42\n"
                                  "release_notes=Faster saves.\nNew gauges.";
        QCOMPARE(UpdateManifest::canonicalText(m), golden);
    }

    void signature_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("verifies");
        QTest::newRow("as signed") << QString() << true;
        QTest::newRow("flipped byte") << QStringLiteral("flip") << false;
        QTest::newRow("trailing line feed signed") << QStringLiteral("trailing") << false;
        QTest::newRow("another key") << QStringLiteral("other") << false;
        QTest::newRow("empty signature") << QStringLiteral("empty") << false;
        QTest::newRow("not base64") << QStringLiteral("garbage") << false;
        QTest::newRow("no key") << QStringLiteral("nokey") << false;
        QTest::newRow("unreadable key") << QStringLiteral("badkey") << false;
    }

    void signature()
    {
        QFETCH(QString, change);
        QFETCH(bool, verifies);
        UpdateManifest m = sampleManifest();
        const QByteArray text = UpdateManifest::canonicalText(m);
        m.signature = QString::fromLatin1(m_key->sign(change == QLatin1String("trailing") ? text + '\n' : text));
        const char* key = m_key->publicPem();
        if (change == QLatin1String("flip"))
            m.sha256[0] = QLatin1Char('a'); // was '9'
        else if (change == QLatin1String("other"))
            key = m_otherKey->publicPem();
        else if (change == QLatin1String("empty"))
            m.signature.clear();
        else if (change == QLatin1String("garbage"))
            m.signature = QStringLiteral("!!!!****");
        else if (change == QLatin1String("nokey"))
            key = nullptr;
        else if (change == QLatin1String("badkey"))
            key = "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n";
        QCOMPARE(UpdateManifest::verifySignature(m, key), verifies);
    }

    void builtInKeyReads()
    {
        // The shipped key is a 2048-bit RSA public key in PEM form; a
        // signature from any other key fails against it.
        QCOMPARE(qstrlen(UpdateChecker::builtInPublicKey()), size_t(452));
        UpdateManifest m = sampleManifest();
        m.signature = QString::fromLatin1(m_key->sign(UpdateManifest::canonicalText(m)));
        QVERIFY(!UpdateManifest::verifySignature(m, UpdateChecker::builtInPublicKey()));
    }

    void versions_data()
    {
        QTest::addColumn<QString>("latest");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("newer");
        QTest::newRow("10 after 9") << "0.5.10" << "0.5.9" << true;
        QTest::newRow("9 before 10") << "0.5.9" << "0.5.10" << false;
        QTest::newRow("short equals padded") << "1.0" << "1.0.0" << false;
        QTest::newRow("padded equals short") << "1.0.0" << "1.0" << false;
        QTest::newRow("fewer parts newer") << "0.6" << "0.5.8.0" << true;
        QTest::newRow("same") << "0.5.8.0" << "0.5.8.0" << false;
        QTest::newRow("x counts 0") << "0.x.1" << "0.0.0" << true;
        QTest::newRow("x equals 0") << "x" << "0" << false;
        QTest::newRow("empty part") << "1..1" << "1.0.0" << true;
    }

    void versions()
    {
        QFETCH(QString, latest);
        QFETCH(QString, current);
        QFETCH(bool, newer);
        UpdateManifest m;
        m.latest = latest;
        QCOMPARE(UpdateChecker::isNewer(m, current), newer);
        QCOMPARE(splitVersion(QStringLiteral("1..2.")), (QStringList{"1", "", "2", ""}));
    }

    void checkOutcome_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("logLine");
        Reply ok;
        ok.body = signedBody(*m_key, sampleManifest());
        QTest::newRow("newer offered") << ok << QStringLiteral("available") << QString();
        Reply notAvailable;
        notAvailable.body = signedBody(*m_key, sampleManifest(QStringLiteral("0.9"), false));
        QTest::newRow("not available") << notAvailable << QStringLiteral("none") << QString();
        Reply same;
        same.body = signedBody(*m_key, sampleManifest(QStringLiteral("0.5.8")));
        QTest::newRow("same version") << same << QStringLiteral("none") << QString();
        Reply tampered;
        tampered.body = signedBody(*m_key, sampleManifest())
                            .replace("korvelanto-0.6.0.0.exe", "korvelanto-evil.exe");
        QTest::newRow("tampered url") << tampered << QStringLiteral("bad signature") << QStringLiteral("verify-failed");
        Reply notJson;
        notJson.body = "[]";
        QTest::newRow("not an object") << notJson << QStringLiteral("malformed json: not an object")
                                       << QStringLiteral("parse-failed malformed json: not an object");
        Reply silent;
        silent.stall = true;
        QTest::newRow("no answer") << silent << QStringLiteral("network error: the server did not answer in time")
                                   << QStringLiteral("check-failed network error: the server did not answer in time");
        Reply huge = ok;
        huge.fillerBytes = 2 * UpdateChecker::kMaxReplyBytes;
        QTest::newRow("oversized") << huge << QStringLiteral("network error: ")
                                   << QStringLiteral("check-failed network error: ");
        Reply missing;
        missing.status = 404;
        QTest::newRow("not found") << missing << QStringLiteral("network error: ")
                                   << QStringLiteral("check-failed network error: ");
    }

    void checkOutcome()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, outcome);
        QFETCH(QString, logLine);
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kCheckPath, reply);
        UpdateChecker checker(web.baseUrl().toString(), QStringLiteral("0.5.8.0"), m_key->publicPem());
        checker.setTimeoutMs(300);
        QSignalSpy available(&checker, &UpdateChecker::updateAvailable);
        QSignalSpy none(&checker, &UpdateChecker::noUpdate);
        QSignalSpy failed(&checker, &UpdateChecker::checkFailed);
        const int logBefore = int(updateLogLines().size());
        checker.check();
        checker.check(); // busy: no second request
        QVERIFY(QTest::qWaitFor([&] { return available.size() + none.size() + failed.size() > 0; }, 5000));
        QCOMPARE(web.requests().size(), 1);
        QCOMPARE(web.requests().at(0).headers.value("user-agent"), QByteArray("Korvelanto/0.5.8.0"));

        if (outcome == QLatin1String("available")) {
            QCOMPARE(available.size(), 1);
            QCOMPARE(available.at(0).at(0).value<UpdateManifest>().url, sampleManifest().url);
        } else if (outcome == QLatin1String("none")) {
            QCOMPARE(none.size(), 1);
        } else {
            QCOMPARE(failed.size(), 1);
            QVERIFY2(failed.at(0).at(0).toString().startsWith(outcome), qPrintable(failed.at(0).at(0).toString()));
        }
        const QStringList log = updateLogLines();
        if (logLine.isEmpty()) {
            QCOMPARE(log.size(), logBefore);
            return;
        }
        QCOMPARE(log.size(), logBefore + 1);
        static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ (.*)$"));
        const QRegularExpressionMatch match = stamp.match(log.last());
        QVERIFY2(match.hasMatch(), qPrintable(log.last()));
        QVERIFY2(match.captured(1).startsWith(logLine), qPrintable(log.last()));
    }

    // A server that closes before the manifest is whole: the check says so
    // at once, not when its 30 s are up.
    void earlyCloseIsNamed_data()
    {
        FakeWebService::addCutReplyRows();
    }

    void earlyCloseIsNamed()
    {
        QFETCH(Reply, answer);
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kCheckPath, answer);
        UpdateChecker checker(web.baseUrl().toString(), QStringLiteral("0.5.8.0"), m_key->publicPem());
        checker.setTimeoutMs(30000);
        QSignalSpy failed(&checker, &UpdateChecker::checkFailed);
        checker.check();
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("network error: Connection closed"));
    }

    // A manifest reply that never ends, sent as fast as loopback allows
    // while the window is busy for a moment, stops at the cap: the server
    // cannot push much beyond it.
    void endlessReplyStopsAtTheCap()
    {
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kCheckPath, FakeWebService::endlessReply());
        UpdateChecker checker(web.baseUrl().toString(), QStringLiteral("0.5.8.0"), m_key->publicPem());
        checker.setTimeoutMs(60000);
        QSignalSpy failed(&checker, &UpdateChecker::checkFailed);
        checker.check();
        auto* reply = checker.findChild<QNetworkReply*>();
        QVERIFY(reply);
        FakeWebService::busyAtHeaders(reply);
        QVERIFY(failed.wait(30000));
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("network error: the reply is larger than 1048576 bytes"));
        QVERIFY2(web.streamedBytes() < UpdateChecker::kMaxReplyBytes + FakeWebService::kSlackBeyondCap,
                 qPrintable(QString::number(web.streamedBytes())));
    }

    // A server that never ends its header lines: the check ends within its
    // deadline with a message, memory stays bounded, the connection is
    // closed and the process comes to rest; the next check gets through.
    void endlessHeadersEndTheCheck()
    {
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kCheckPath, FakeWebService::endlessHeaderReply());
        UpdateChecker checker(web.baseUrl().toString(), QStringLiteral("0.5.8.0"), m_key->publicPem());
        QSignalSpy failed(&checker, &UpdateChecker::checkFailed);
        QSignalSpy none(&checker, &UpdateChecker::noUpdate);
        checker.check();
        qint64 grown = 0;
        QVERIFY2(TestEnvironment::waitWithinMemory([&failed] { return !failed.isEmpty(); },
                                                   UpdateChecker::kDefaultTimeoutMs, 32 * 1024 * 1024, &grown),
                 qPrintable(QString::number(grown)));
        QCOMPARE(failed.at(0).at(0).toString(),
                 QStringLiteral("network error: The server's reply headers are longer than 65536 bytes"));
        QString why;
        QVERIFY2(web.settlesToRest(&why), qPrintable(why));
        Reply current;
        current.body = signedBody(*m_key, sampleManifest(QStringLiteral("0.5.8")));
        web.setReply(kCheckPath, current);
        checker.check();
        QVERIFY(none.wait(5000));
    }

    void windowChecksAtStart()
    {
        FakeWebService web;
        QVERIFY(web.start());
        qputenv("KORVELANTO_UPDATE_URL", web.baseUrl().toEncoded() + "/prefix");
        MainWindow window;
        window.show();
        QVERIFY(window.findChild<UpdateChecker*>());
        QVERIFY(QTest::qWaitFor([&] { return !web.requests().isEmpty(); }, 5000));
        QCOMPARE(web.requests().at(0).target, QByteArray("/prefix/api/check-update?current=0.5.8.0&product=korvelanto"));
        qputenv("KORVELANTO_UPDATE_URL", "http://127.0.0.1:1");
    }

    void windowRespectsSettingOff()
    {
        FakeWebService web;
        QVERIFY(web.start());
        qputenv("KORVELANTO_UPDATE_URL", web.baseUrl().toEncoded());
        QSettings().setValue(QStringLiteral("updates/checkOnStartup"), false);
        MainWindow window;
        window.show();
        QTest::qWait(300);
        QVERIFY(!window.findChild<UpdateChecker*>());
        QVERIFY(web.requests().isEmpty());
        qputenv("KORVELANTO_UPDATE_URL", "http://127.0.0.1:1");
    }

    void noPrivateKeyTracked()
    {
        const QString source = qEnvironmentVariable("KORV_SOURCE_DIR");
        QProcess git;
        git.setWorkingDirectory(source);
        git.start(QStringLiteral("git"), {QStringLiteral("ls-files"), QStringLiteral("-z")});
        if (source.isEmpty() || !git.waitForFinished(30000) || git.exitCode() != 0)
            QSKIP("the sources are not a git checkout");
        // Built at run time so this file does not match itself.
        const QRegularExpression block(QStringLiteral("-----BEGIN [A-Z ]*") + QStringLiteral("PRIVATE KEY-----"));
        for (const QByteArray& name : git.readAllStandardOutput().split('\0')) {
            QFile f(source + QLatin1Char('/') + QString::fromUtf8(name));
            if (name.isEmpty() || !f.open(QIODevice::ReadOnly))
                continue;
            QVERIFY2(!block.match(QString::fromLatin1(f.readAll())).hasMatch(), name.constData());
        }
    }
};

KORV_TEST_MAIN(UpdateCheckTest)
#include "tst_updatecheck.moc"
