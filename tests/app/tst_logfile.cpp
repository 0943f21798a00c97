#include "reports/LogFile.h"
#include "model/InstallRoots.h"
#include "model/LogText.h"
#include "model/ZipArchive.h"

#include "support/FifoGuard.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Stands in for the handler that was there before the logger: counts and
// keeps what it was handed, and prints nothing.
std::atomic<int> g_previousCalls{0};
std::mutex g_previousMutex;
QStringList g_previousMessages;

void previousHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    ++g_previousCalls;
    std::lock_guard<std::mutex> lock(g_previousMutex);
    g_previousMessages << message;
}

const QRegularExpression kStamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ \\[([A-Z]+)\\] (.*)$"));

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class LogFileTest : public QObject {
    Q_OBJECT

private:
    QString m_path;

    qint64 logSize() const { return QFileInfo(m_path).size(); }
    QList<QByteArray> linesFrom(qint64 offset) const
    {
        QByteArray tail = readFile(m_path).mid(offset);
        if (tail.endsWith('\n'))
            tail.chop(1);
        return tail.isEmpty() ? QList<QByteArray>() : tail.split('\n');
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(logFilePath().isEmpty());
        qInstallMessageHandler(previousHandler);
        installFileLogger();
        m_path = logFilePath();
        QCOMPARE(m_path, appDataDir() + "/korvelanto.log");
        QVERIFY(QFileInfo(m_path).isFile());
    }

    void levelWordsAndUtf8_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("word");
        QTest::newRow("debug") << int(QtDebugMsg) << "DEBUG";
        QTest::newRow("info") << int(QtInfoMsg) << "INFO";
        QTest::newRow("warning") << int(QtWarningMsg) << "WARN";
        QTest::newRow("critical") << int(QtCriticalMsg) << "CRITICAL";
        QTest::newRow("fatal") << int(QtFatalMsg) << "FATAL";
    }

    void levelWordsAndUtf8()
    {
        QFETCH(int, type);
        QFETCH(QString, word);
        const qint64 before = logSize();
        const int calls = g_previousCalls;
        const QString message = QStringLiteral("Fahrzeug \u00e6\u00f8\u00e5 \u2713 %1 50%");
        // Called directly: Qt would abort after a fatal message.
        fileLogMessageHandler(QtMsgType(type), QMessageLogContext(), message);
        QCOMPARE(g_previousCalls.load(), calls + 1);
        const QList<QByteArray> lines = linesFrom(before);
        QCOMPARE(lines.size(), 1);
        const QRegularExpressionMatch m = kStamp.match(QString::fromUtf8(lines.first()));
        QVERIFY2(m.hasMatch(), lines.first().constData());
        QCOMPARE(m.captured(1), word);
        QCOMPARE(m.captured(2).toUtf8(), message.toUtf8());
    }

    // A hostile archive's entry name, as the extraction logs it, stays on
    // its own line: it cannot forge a line that reads as the program's.
    void entryNamesCannotForgeLines()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("forged"));
        const QString forged = QStringLiteral("../x\n2026-01-01T00:00:00Z [INFO] Update installed from evil\r\x85");
        QVERIFY(ZipFixture::writeZip(dir + "/hostile.zip", QMap<QString, QByteArray>{{forged, "x"}}));
        const qint64 offset = logSize();
        QString error;
        QVERIFY(!extractZip(dir + "/hostile.zip", dir + "/out", packageExtractLimits(), &error));
        const QList<QByteArray> lines = linesFrom(offset);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().contains("../x\\n2026-01-01T00:00:00Z [INFO] Update installed from evil\\r\\x85"));
        QCOMPARE(escapeForLog(QStringLiteral("a\tb\u2028c\x7f")), QStringLiteral("a\\tb\\u{2028}c\\x7f"));
    }

    void secondInstallDoesNotChain()
    {
        installFileLogger();
        QCOMPARE(logFilePath(), m_path);
        const qint64 before = logSize();
        const int calls = g_previousCalls;
        qInfo("after a second install");
        QCOMPARE(g_previousCalls.load(), calls + 1);
        const QList<QByteArray> lines = linesFrom(before);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().endsWith("[INFO] after a second install"));
    }

    void rotationAtFiveMebibytes()
    {
        const QString older = m_path + ".1";
        QFile stale(older);
        QVERIFY(stale.open(QIODevice::WriteOnly | QIODevice::Truncate));
        stale.write("an older rotated file\n");
        stale.close();
        flushLogFile();
        QVERIFY(QFile::resize(m_path, 5242879));

        qInfo("one byte below the limit");
        const QByteArray full = readFile(m_path);
        QVERIFY(full.size() > 5242879);
        QVERIFY(full.endsWith("[INFO] one byte below the limit\n"));
        QCOMPARE(readFile(older), QByteArray("an older rotated file\n"));

        qInfo("starts the new file");
        QCOMPARE(readFile(older), full);
        const QList<QByteArray> lines = linesFrom(0);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().endsWith("[INFO] starts the new file"));
        QVERIFY(!QFileInfo::exists(m_path + ".2"));
    }

    // A file operation under the log lock may itself warn. Qt 6 sends such a
    // nested message to standard error; a direct nested call of the handler
    // (as older Qt versions make) must reach the previous handler only, and
    // neither may take the lock a second time.
    void messageFromInsideTheHandler_data()
    {
        QTest::addColumn<bool>("direct");
        QTest::newRow("qWarning") << false;
        QTest::newRow("nested handler call") << true;
    }

    void messageFromInsideTheHandler()
    {
        QFETCH(bool, direct);
        if (direct)
            setLogWriteHook([] {
                fileLogMessageHandler(QtWarningMsg, QMessageLogContext(), QStringLiteral("raised while writing"));
            });
        else
            setLogWriteHook([] { qWarning("raised while writing"); });
        const qint64 before = logSize();
        const int calls = g_previousCalls;
        std::atomic<bool> done{false};
        std::thread writer([&done] {
            qInfo("outer message");
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
        writer.join();
        setLogWriteHook({});
        if (direct) {
            QCOMPARE(g_previousCalls.load(), calls + 2);
            std::lock_guard<std::mutex> lock(g_previousMutex);
            QCOMPARE(g_previousMessages.mid(g_previousMessages.size() - 2),
                     QStringList({"outer message", "raised while writing"}));
        }
        const QList<QByteArray> lines = linesFrom(before);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().endsWith("[INFO] outer message"));
    }

    void threadsWriteWholeLines()
    {
        const qint64 before = logSize();
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < 1000; ++i)
                    qInfo("thread %d line %d of the concurrent run", t, i);
            });
        }
        for (std::thread& t : threads)
            t.join();
        const QList<QByteArray> lines = linesFrom(before);
        QCOMPARE(lines.size(), 4000);
        const QRegularExpression body(QStringLiteral("^thread [0-3] line \\d{1,3} of the concurrent run$"));
        QSet<QString> seen;
        for (const QByteArray& line : lines) {
            const QRegularExpressionMatch m = kStamp.match(QString::fromUtf8(line));
            QVERIFY2(m.hasMatch() && body.match(m.captured(2)).hasMatch(), line.constData());
            seen.insert(m.captured(2));
        }
        QCOMPARE(seen.size(), 4000);
    }

    void programCreatesTheLog()
    {
        const QString home = TestEnvironment::makeTempDir(QStringLiteral("home"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "APPDATA"})
            env.remove(QString::fromLatin1(name));
        QProcess p;
        p.setProcessEnvironment(env);
        const QString exe = qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app/korvelanto");
        p.start(exe, {"--dump-preview", home + "/out.png", "--input", home + "/missing.zconf2"});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(QFileInfo(home + "/.local/share/Tindrel AS/Korvelanto/korvelanto.log").isFile());
    }

    void startsPastAPipeOrALink_data()
    {
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("made");  // "pipe", or "link" to what `to` says
        QTest::addColumn<QString>("to");    // in home: diary.txt (the user's), folder, pipe, gone (nothing)
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("fallback"); // what is at the settings' fallback
        const QString log = QStringLiteral("/.local/share/Tindrel AS/Korvelanto/korvelanto.log");
        const QString settings = QStringLiteral("/.config/Tindrel AS/Korvelanto.conf");
        const QString lock = settings + QStringLiteral(".lock");
        const QString registration = QStringLiteral("/.config/Tindrel AS/dashtheme.ini");
        QTest::newRow("pipe at the log") << log << "pipe" << "" << "korvelanto.log: it is not a regular file" << "";
        QTest::newRow("link at the log") << log << "link" << "diary.txt" << "korvelanto.log: it is a symbolic link"
                                         << "";
        QTest::newRow("pipe at the settings") << settings << "pipe" << "" << "Korvelanto.conf is not used" << "";
        // A link to a plain file is the user's own settings file, followed;
        // a link to anything else is not.
        QTest::newRow("link to a folder at the settings")
            << settings << "link" << "folder" << "Korvelanto.conf is a symbolic link to" << "";
        // A link made before its target is followed where the first write
        // can make the target: in a folder of the user's that is there.
        QTest::newRow("link into a folder not there at the settings")
            << settings << "link" << "missing/gone" << "Korvelanto.conf is a symbolic link to" << "";
        QTest::newRow("link to itself at the settings")
            << settings << "link" << ".config/Tindrel AS/Korvelanto.conf"
            << "Korvelanto.conf is a symbolic link that leads to nothing" << "";
        QTest::newRow("link to a pipe at the settings")
            << settings << "link" << "pipe" << "which is not a regular file" << "";
        QTest::newRow("links at both settings") << settings << "link" << "missing/gone"
                                                << "settings/Tindrel AS/Korvelanto.conf is a symbolic link" << "link";
        QTest::newRow("pipes at both settings") << settings << "pipe" << ""
                                                << "settings/Tindrel AS/Korvelanto.conf is not a regular file"
                                                << "pipe";
        QTest::newRow("link at the fallback") << settings << "pipe" << ""
                                              << "settings/Tindrel AS/Korvelanto.conf is a symbolic link" << "link";
        QTest::newRow("pipe at the settings lock") << lock << "pipe" << ""
                                                   << "Korvelanto.conf.lock is not a regular file" << "";
        QTest::newRow("link at the settings lock") << lock << "link" << "diary.txt"
                                                   << "Korvelanto.conf.lock is a symbolic link" << "";
        QTest::newRow("link to a pipe at the settings lock") << lock << "link" << "pipe"
                                                             << "Korvelanto.conf.lock is a symbolic link" << "";
        QTest::newRow("pipe at the registration") << registration << "pipe" << ""
                                                  << "dashtheme.ini is not a regular file" << "";
        QTest::newRow("link at the registration") << registration << "link" << "diary.txt"
                                                  << "dashtheme.ini is a symbolic link" << "";
        QTest::newRow("link to a pipe at the registration") << registration << "link" << "pipe"
                                                            << "dashtheme.ini is a symbolic link" << "";
    }

    // A pipe or a link someone put at the log, a settings file or its lock:
    // the program starts without waiting on it, reads nothing through it,
    // writes nothing through it, and the log it keeps instead names it.
    void startsPastAPipeOrALink()
    {
        QFETCH(QString, at);
        QFETCH(QString, made);
        QFETCH(QString, to);
        QFETCH(QString, named);
        QFETCH(QString, fallback);
        const QString home = TestEnvironment::makeTempDir(QStringLiteral("home"));
        const QString path = home + at;
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        const QString diary = home + QStringLiteral("/diary.txt");
        QVERIFY(ZipFixture::writeTree(home, {{"diary.txt", "the user's own"}, {"folder/kept.txt", "kept"}}));
        const QString second =
            home + QStringLiteral("/.local/share/Tindrel AS/Korvelanto/settings/Tindrel AS/Korvelanto.conf");
        std::unique_ptr<FifoGuard> secondPipe;
        if (!fallback.isEmpty())
            QVERIFY(QDir().mkpath(QFileInfo(second).path()));
        if (fallback == QLatin1String("link"))
            QVERIFY(QFile::link(diary, second));
        if (fallback == QLatin1String("pipe")) {
            secondPipe = std::make_unique<FifoGuard>(second);
            QVERIFY(secondPipe->made());
        }
        std::unique_ptr<FifoGuard> pipe;
        int reader = -1;
        if (made == QLatin1String("link")) {
            if (to == QLatin1String("pipe")) {
                pipe = std::make_unique<FifoGuard>(home + QStringLiteral("/pipe"));
                QVERIFY(pipe->made());
            }
            QVERIFY(QFile::link(home + QLatin1Char('/') + to, path));
        } else {
            pipe = std::make_unique<FifoGuard>(path);
            QVERIFY(pipe->made());
            // The log's pipe is held open for reading, so a write to it
            // never waits either; the guard releases a reader of the other.
            if (at.endsWith(QLatin1String(".log"))) {
                reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                QVERIFY(reader >= 0);
            }
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "APPDATA"})
            env.remove(QString::fromLatin1(name));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app/korvelanto"),
                {"--dump-preview", home + "/out.png", "--input", home + "/missing.zconf2"});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 2);
        if (pipe && reader < 0)
            QVERIFY(!pipe->released());
        if (secondPipe)
            QVERIFY(!secondPipe->released());
        char sent[64];
        if (reader >= 0) {
            QCOMPARE(::read(reader, sent, sizeof sent), ssize_t(0)); // nothing was written into it
            ::close(reader);
        }
        QCOMPARE(readFile(diary), QByteArray("the user's own"));
        const QDir folderLinked(home + QStringLiteral("/folder"));
        QCOMPARE(folderLinked.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("kept.txt")});
        QVERIFY(QFileInfo(path).isSymLink() == (made == QLatin1String("link")));
        const QString folder = home + QStringLiteral("/.local/share/Tindrel AS/Korvelanto/");
        const QByteArray kept = readFile(folder + QStringLiteral("korvelanto.log"))
            + readFile(folder + QStringLiteral("korvelanto-fallback.log"));
        QVERIFY2(kept.contains(named.toUtf8()), kept.constData());
    }
};

KORV_GUI_TEST_MAIN(LogFileTest)
#include "tst_logfile.moc"
