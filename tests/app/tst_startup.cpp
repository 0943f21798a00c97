#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QtTest>

// What a start of the real executable leaves behind.
class StartupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startLeavesWorkingFolderEmpty()
    {
        const QString exe = qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app/korvelanto");
        QVERIFY2(QFile::exists(exe), qPrintable(exe));
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("cwd"));
        QProcess p;
        p.setWorkingDirectory(work);
        // The run stops at the missing input, after every start-up step.
        p.start(exe, {QStringLiteral("--dump-preview"), TestEnvironment::makeTempDir() + QStringLiteral("/out.png")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());

        // The link handler is recorded in the settings folder instead.
        QSettings registration(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Tindrel AS/dashtheme.ini"),
                               QSettings::IniFormat);
        const QString native = QFileInfo(exe).canonicalFilePath().replace(QLatin1Char('/'), QLatin1Char('\\'));
        QCOMPARE(registration.value(QStringLiteral("shell/open/command/.")).toString(),
                 QLatin1Char('"') + native + QStringLiteral("\" \"%1\""));
    }

    void startRunsTheTemplateMigrationsOnce()
    {
        const QStringList flags = {"homebrew/stradaBackfillV024Done", "homebrew/tgzBackfillV025Done",
                                   "homebrew/xmlFixV026Done", "homebrew/setMetaBackfillV0289Done",
                                   "solo2dl/bundledTemplatesV0321Done"};
        QSettings().remove(QString());
        QProcess p;
        p.setWorkingDirectory(TestEnvironment::makeTempDir(QStringLiteral("cwd")));
        p.start(qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app/korvelanto"),
                {QStringLiteral("--dump-preview"), TestEnvironment::makeTempDir() + QStringLiteral("/out.png")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        // A build without the Solo 2 DL set beside it leaves the last step
        // for the next start.
        const QSettings settings;
        QList<bool> done;
        for (const QString& flag : flags)
            done << settings.value(flag, false).toBool();
        QCOMPARE(done, QList<bool>({true, true, true, true, false}));
    }

    // The user's settings file kept as a link into a dotfiles folder: the
    // start-up reads it and writes there (its one-time steps), the target
    // replaced whole, the link kept, and no other settings file used.
    void startFollowsTheSettingsLink()
    {
        const QProcessEnvironment env = TestEnvironment::childEnvironment();
        const QString file =
            env.value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/Tindrel AS/Korvelanto.conf");
        const QString target = TestEnvironment::makeTempDir(QStringLiteral("dotfiles")) + QStringLiteral("/korv.conf");
        {
            QFile out(target);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("[updates]\ncheckOnStartup=false\n");
        }
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(QFile::link(target, file));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(TestEnvironment::makeTempDir(QStringLiteral("cwd")));
        p.start(qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app/korvelanto"),
                {QStringLiteral("--dump-preview"), TestEnvironment::makeTempDir() + QStringLiteral("/out.png")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(QFileInfo(file).symLinkTarget(), target);
        const QSettings kept(target, QSettings::IniFormat);
        QCOMPARE(kept.value(QStringLiteral("updates/checkOnStartup")).toString(), QStringLiteral("false"));
        QVERIFY(kept.value(QStringLiteral("homebrew/stradaBackfillV024Done")).toBool());
        QVERIFY(!QFileInfo::exists(env.value(QStringLiteral("XDG_DATA_HOME"))
                                   + QStringLiteral("/Tindrel AS/Korvelanto/settings")));
    }
};

KORV_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
