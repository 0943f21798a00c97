#include "gallery/ThemeInstaller.h"
#include "gallery/UrlSchemeRegistry.h"

#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QtTest>

using gallery::ThemeInstaller;
using gallery::UrlSchemeRegistry;

namespace {

const QString kCommandKey = QStringLiteral("shell/open/command/.");
const QString kLabel = QStringLiteral("URL:Korvelanto Theme Install");

QString commandFor(const QString& exe)
{
    return QLatin1Char('"') + QString(exe).replace(QLatin1Char('/'), QLatin1Char('\\')) + QStringLiteral("\" \"%1\"");
}

} // namespace

class InstallLinksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseInstallUrl_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("slug");
        QTest::addColumn<QString>("nonce");
        QTest::newRow("plain") << "dashtheme://install/neon?nonce=abc" << "neon" << "abc";
        QTest::newRow("case of scheme and host") << "DASHTHEME://Install/neon" << "neon" << "";
        QTest::newRow("extra slashes") << "dashtheme://install//neon//?nonce=n1" << "neon" << "n1";
        QTest::newRow("encoded blank") << "dashtheme://install/neon%20nights?nonce=a%2Bb" << "neon nights" << "a+b";
        QTest::newRow("empty nonce") << "dashtheme://install/neon?nonce=" << "neon" << "";
        QTest::newRow("beyond ASCII, encoded") << "dashtheme://install/zn%C3%BCrburg%C3%B8st?nonce=n1"
                                               << QStringLiteral("znürburgøst") << "n1";
        QTest::newRow("beyond ASCII, as typed") << QStringLiteral("dashtheme://install/z鈴鹿?nonce=n1")
                                                << QStringLiteral("z鈴鹿") << "n1";
        QTest::newRow("two segments") << "dashtheme://install/team/neon?nonce=n1" << "" << "";
        QTest::newRow("encoded slash") << "dashtheme://install/team%2Fneon?nonce=n1" << "" << "";
        QTest::newRow("no path") << "dashtheme://install?nonce=n1" << "" << "";
        QTest::newRow("only slashes") << "dashtheme://install///?nonce=n1" << "" << "";
        QTest::newRow("host open") << "dashtheme://open/neon?nonce=n1" << "" << "";
        QTest::newRow("other scheme") << "https://install/neon?nonce=n1" << "" << "";
        QTest::newRow("dot dot") << "dashtheme://install/..?nonce=n1" << "" << "";
        QTest::newRow("encoded dot dot") << "dashtheme://install/%2e%2e?nonce=n1" << "" << "";
        QTest::newRow("backslash") << "dashtheme://install/%5c?nonce=n1" << "" << "";
        QTest::newRow("backslash climb") << "dashtheme://install/a%5C..%5C..?nonce=n1" << "" << "";
        QTest::newRow("colon") << "dashtheme://install/:?nonce=n1" << "" << "";
        QTest::newRow("10 kB") << "dashtheme://install/" + QString(10240, QLatin1Char('a')) + "?nonce=n1" << "" << "";
        QTest::newRow("not a link") << "neon" << "" << "";
    }

    void parseInstallUrl()
    {
        QFETCH(QString, link);
        QFETCH(QString, slug);
        QFETCH(QString, nonce);
        const gallery::InstallRequest r = ThemeInstaller::parseInstallUrl(link);
        QCOMPARE(r.slug, slug);
        QCOMPARE(r.nonce, nonce);
    }

    void registrationIsWrittenOnce()
    {
        const QString ini = TestEnvironment::makeTempDir(QStringLiteral("reg")) + QStringLiteral("/dashtheme.ini");
        const QString exe = QStringLiteral("C:/Program Files/K/korvelanto.exe");
        {
            UrlSchemeRegistry registry(ini);
            QVERIFY(ThemeInstaller::registerUrlScheme(registry, exe));
        }
        QSettings written(ini, QSettings::IniFormat);
        QCOMPARE(written.value(kCommandKey).toString(),
                 QStringLiteral("\"C:\\Program Files\\K\\korvelanto.exe\" \"%1\""));
        QCOMPARE(written.value(QStringLiteral(".")).toString(), kLabel);
        QVERIFY(written.contains(QStringLiteral("URL Protocol")));
        QCOMPARE(written.value(QStringLiteral("URL Protocol")).toString(), QString());

        // A second start with the same program touches nothing.
        const QDateTime old = QDateTime::fromSecsSinceEpoch(946684800);
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        const QByteArray before = [&] { QFile f(ini); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        {
            UrlSchemeRegistry registry(ini);
            QVERIFY(ThemeInstaller::registerUrlScheme(registry, exe));
        }
        QCOMPARE(QFileInfo(ini).lastModified(), old);
        const QByteArray after = [&] { QFile f(ini); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        QCOMPARE(after, before);
    }

    void staleRegistrationIsRewritten_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("protocol");
        const QString exe = QStringLiteral("/opt/korvelanto/korvelanto");
        QTest::newRow("program moved") << commandFor(QStringLiteral("/old/place/korvelanto")) << kLabel << true;
        QTest::newRow("label in other case") << commandFor(exe) << kLabel.toLower() << true;
        QTest::newRow("no URL Protocol") << commandFor(exe) << kLabel << false;
        QTest::newRow("nothing yet") << QString() << QString() << false;
    }

    void staleRegistrationIsRewritten()
    {
        QFETCH(QString, command);
        QFETCH(QString, label);
        QFETCH(bool, protocol);
        const QString ini = TestEnvironment::makeTempDir(QStringLiteral("reg")) + QStringLiteral("/dashtheme.ini");
        {
            QSettings seed(ini, QSettings::IniFormat);
            if (!command.isEmpty())
                seed.setValue(kCommandKey, command);
            if (!label.isEmpty())
                seed.setValue(QStringLiteral("."), label);
            if (protocol)
                seed.setValue(QStringLiteral("URL Protocol"), QString());
        }
        const QString exe = QStringLiteral("/opt/korvelanto/korvelanto");
        {
            UrlSchemeRegistry registry(ini);
            QVERIFY(ThemeInstaller::registerUrlScheme(registry, exe));
        }
        QSettings written(ini, QSettings::IniFormat);
        QCOMPARE(written.value(kCommandKey).toString(), QStringLiteral("\"\\opt\\korvelanto\\korvelanto\" \"%1\""));
        QCOMPARE(written.value(QStringLiteral(".")).toString(), kLabel);
        QVERIFY(written.contains(QStringLiteral("URL Protocol")));
    }

    void unwritableStoreIsReported()
    {
        // A folder where the file should be: the write fails even for root.
        const QString ini = TestEnvironment::makeTempDir(QStringLiteral("reg")) + QStringLiteral("/dashtheme.ini");
        QVERIFY(QDir().mkpath(ini + QStringLiteral("/inside")));
        UrlSchemeRegistry registry(ini);
        QTest::ignoreMessage(QtWarningMsg, "registerUrlScheme failed: AccessError");
        QVERIFY(!ThemeInstaller::registerUrlScheme(registry, QStringLiteral("/opt/k/korvelanto")));
    }
};

KORV_GUI_TEST_MAIN(InstallLinksTest)
#include "tst_installlinks.moc"
