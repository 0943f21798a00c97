#include "updates/PendingUpdate.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

namespace {

// The messages of the bootstrap lines in the update log, stamps checked.
QStringList bootstrapMessages()
{
    QFile f(updateLogFolder() + QStringLiteral("/update.log"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    static const QRegularExpression line(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ \\[bootstrap\\] (.*)$"));
    QStringList messages;
    for (const QString& text : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = line.match(text);
        messages << (match.hasMatch() ? match.captured(1) : QStringLiteral("<malformed> ") + text);
    }
    return messages;
}

// Renames as the system does, except the calls numbered in failing (from 1).
UpdateSeams failingRenames(const QList<int>& failing)
{
    UpdateSeams seams = UpdateSeams::system();
    auto calls = std::make_shared<int>(0);
    seams.rename = [calls, failing](const QString& from, const QString& to) {
        return !failing.contains(++*calls) && QFile::rename(from, to);
    };
    return seams;
}

} // namespace

// Replacing the executable at start-up: each outcome of the swap with its
// update-log lines, the relaunch, and a real start of the built program.
class SelfReplaceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void swap_data()
    {
        QTest::addColumn<bool>("pending");
        QTest::addColumn<QList<int>>("failing");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("log"); // %1 exe, %2 ".bak", %3 ".new"
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<QByteArray>("bak");
        QTest::addColumn<QByteArray>("pendingAfter");
        const QByteArray none = "<missing>";
        QTest::newRow("nothing pending") << false << QList<int>() << 0 << QStringList() << QByteArray("old")
                                         << QByteArray("older") << none;
        QTest::newRow("swapped") << true << QList<int>() << 1 << QStringList{"swap ok; new exe is %1"}
                                 << QByteArray("new") << QByteArray("old") << none;
        QTest::newRow("executable stays") << true << QList<int>{1} << 3 << QStringList{"rename %1 -> %2 failed"}
                                          << QByteArray("old") << none << QByteArray("new");
        QTest::newRow("backup restored") << true << QList<int>{2} << 2
                                         << QStringList{"rename %3 -> %1 failed; restoring backup"}
                                         << QByteArray("old") << none << QByteArray("new");
        QTest::newRow("backup lost") << true << QList<int>{2, 3} << 3
                                     << QStringList{"rename %3 -> %1 failed; restoring backup",
                                                    "CRITICAL: could not restore backup %2 -> %1"}
                                     << none << QByteArray("old") << QByteArray("new");
    }

    void swap()
    {
        QFETCH(bool, pending);
        QFETCH(QList<int>, failing);
        QFETCH(int, result);
        QFETCH(QStringList, log);
        QFETCH(QByteArray, exe);
        QFETCH(QByteArray, bak);
        QFETCH(QByteArray, pendingAfter);
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("bin")) + QStringLiteral("/korvelanto");
        const QString bakPath = path + QStringLiteral(".bak");
        const QString newPath = path + QStringLiteral(".new");
        QVERIFY(TestFiles::writeBytes(path, "old"));
        QVERIFY(TestFiles::writeBytes(bakPath, "older"));
        if (pending)
            QVERIFY(TestFiles::writeBytes(newPath, "new"));
        const QStringList before = bootstrapMessages();

        QCOMPARE(swapInNewExecutable(path, failingRenames(failing)), result);
        QStringList expected = before;
        for (QString line : log)
            expected << line.replace(QStringLiteral("%1"), path).replace(QStringLiteral("%2"), bakPath)
                                .replace(QStringLiteral("%3"), newPath);
        QCOMPARE(bootstrapMessages(), expected);
        QCOMPARE(TestFiles::readBytes(path), exe);
        QCOMPARE(TestFiles::readBytes(bakPath), bak);
        QCOMPARE(TestFiles::readBytes(newPath), pendingAfter);
    }

    // The bootstrap writes where the update checker writes, worked out
    // before any application object exists.
    void logFolderIsTheCheckers_data()
    {
        QTest::addColumn<QByteArray>("xdgDataHome");
        QTest::newRow("XDG_DATA_HOME set") << QByteArray("set");
        QTest::newRow("XDG_DATA_HOME unset") << QByteArray();
    }

    void logFolderIsTheCheckers()
    {
        QFETCH(QByteArray, xdgDataHome);
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        if (xdgDataHome.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        QStandardPaths::setTestModeEnabled(false);
        const QString checkers = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        const QString bootstrap = updateLogFolder();
        QStandardPaths::setTestModeEnabled(true);
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(bootstrap, checkers);
        QVERIFY(bootstrap.startsWith(TestEnvironment::homeDir()));
    }

    // A link or a pipe at the update log in the data folder: the bootstrap
    // waits on nothing and writes nothing through it.
    void logInTheWayIsLeft_data()
    {
        QTest::addColumn<bool>("pipe");
        QTest::newRow("link to a user's file") << false;
        QTest::newRow("pipe") << true;
    }

    void logInTheWayIsLeft()
    {
        QFETCH(bool, pipe);
        const QString log = updateLogFolder() + QStringLiteral("/update.log");
        QVERIFY(QDir().mkpath(updateLogFolder()));
        QFile::remove(log);
        const QString users = TestEnvironment::makeTempDir(QStringLiteral("users")) + QStringLiteral("/notes.txt");
        QVERIFY(TestFiles::writeBytes(users, "the user's notes"));
        std::unique_ptr<FifoGuard> guard;
        if (pipe) {
            guard = std::make_unique<FifoGuard>(log);
            QVERIFY(guard->made());
        } else {
            QVERIFY(QFile::link(users, log));
        }
        updateBootstrapLog(QStringLiteral("swap ok"));
        QCOMPARE(TestFiles::readBytes(users), QByteArray("the user's notes"));
        if (guard)
            QVERIFY(!guard->released());
        QVERIFY(QFile::remove(log));
    }

    void relaunch_data()
    {
        QTest::addColumn<QList<QByteArray>>("argv");
        QTest::addColumn<bool>("swapped");
        QTest::newRow("relaunch fails") << QList<QByteArray>{"korvelanto", "--input", "a b.zconf2"} << true;
        QTest::newRow("empty first argument") << QList<QByteArray>{"", "--input"} << false;
        QTest::newRow("no arguments") << QList<QByteArray>() << false;
    }

    // A relaunch that does not start puts the previous executable back (the
    // next start would fail as this one did), keeps the new one aside where
    // no start swaps it in again, and lets this process carry on.
    void relaunch()
    {
        QFETCH(QList<QByteArray>, argv);
        QFETCH(bool, swapped);
        const QString exe = TestEnvironment::makeTempDir(QStringLiteral("bin")) + QStringLiteral("/korvelanto");
        QVERIFY(TestFiles::writeBytes(exe, "old"));
        QVERIFY(TestFiles::writeBytes(exe + QStringLiteral(".new"), "new"));
        UpdateSeams seams = UpdateSeams::system();
        seams.executablePath = [exe](const QString&) { return exe; };
        QStringList started;
        seams.relaunch = [&started](const QString& program, const QStringList& arguments) {
            started << program << arguments;
            return false;
        };
        std::vector<char*> args;
        for (QByteArray& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        const QStringList before = bootstrapMessages();

        applyPendingUpdate(int(argv.size()), args.data(), seams);
        if (!swapped) {
            QCOMPARE(started, QStringList());
            QCOMPARE(TestFiles::readBytes(exe), QByteArray("old"));
            QCOMPARE(bootstrapMessages(), before);
            return;
        }
        QCOMPARE(started, (QStringList{exe, "--input", "a b.zconf2"}));
        QCOMPARE(TestFiles::readBytes(exe), QByteArray("old"));
        QCOMPARE(TestFiles::readBytes(exe + ".failed"), QByteArray("new"));
        QVERIFY(!QFileInfo::exists(exe + ".bak"));
        QVERIFY(!QFileInfo::exists(exe + ".new"));
        QCOMPARE(bootstrapMessages().mid(before.size()),
                 (QStringList{QStringLiteral("swap ok; new exe is ") + exe,
                              QStringLiteral("relaunch of %1 failed; restoring the previous program from %1.bak")
                                  .arg(exe),
                              QStringLiteral("previous program restored as %1; the update that did not start is kept "
                                             "as %1.failed")
                                  .arg(exe)}));
        // This process now runs from the ".bak": a later update still goes
        // to the program's own name.
        QCOMPARE(runningExecutablePath(QString()), exe);
    }

    // The built program, started by its bare name from PATH with a
    // replacement waiting beside it: it swaps, relaunches itself with the
    // same arguments, and the relaunched one does the work.
    void realRelaunch()
    {
        const QString built = qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app/korvelanto");
        QVERIFY2(QFileInfo::exists(built), qPrintable(built));
        const QString bin = TestEnvironment::makeTempDir(QStringLiteral("bin"));
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("work"));
        const QString exe = bin + QStringLiteral("/korvelanto");
        QVERIFY(QFile::copy(built, exe));
        QVERIFY(QFile::copy(built, exe + QStringLiteral(".new")));
        const QString demo = ConfigFixture::demoArchiveCopy(work);
        QVERIFY(!demo.isEmpty());

        const qsizetype logBefore = bootstrapMessages().size();
        QProcess shell;
        shell.setWorkingDirectory(work);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        shell.setProcessEnvironment(env);
        // Files, not pipes: the relaunched program outlives the shell and
        // would die writing into a pipe nobody reads any more.
        const QString errors = TestEnvironment::makeTempDir(QStringLiteral("logs")) + QStringLiteral("/stderr.txt");
        shell.setStandardOutputFile(QProcess::nullDevice());
        shell.setStandardErrorFile(errors);
        // exec keeps the bare name as argv[0], as a user's shell does.
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("exec korvelanto --dump-preview out.png --input ")
                                               + QFileInfo(demo).fileName()});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(shell.exitStatus(), QProcess::NormalExit);
        QCOMPARE(shell.exitCode(), 0);

        QVERIFY2(QTest::qWaitFor([&] { return QFileInfo(work + QStringLiteral("/out.png")).size() > 0; }, 60000),
                 TestFiles::readBytes(errors).constData());
        QVERIFY(QFileInfo::exists(exe + QStringLiteral(".bak")));
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new")));
        QVERIFY(QFileInfo(exe).isExecutable());
        const QString real = QFileInfo(exe).canonicalFilePath();
        // Only the swap: no failed relaunch after which the first process
        // rendered the page itself.
        QCOMPARE(bootstrapMessages().mid(logBefore), QStringList{QStringLiteral("swap ok; new exe is ") + real});
    }
};

KORV_TEST_MAIN(SelfReplaceTest)
#include "tst_selfreplace.moc"
