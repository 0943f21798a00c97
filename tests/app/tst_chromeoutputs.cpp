#include "support/ChromeScript.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"
#include "check/ConfigCheck.h"
#include "model/DashConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace {

// The generator with one failure put in its way from outside: the output's
// rename refused, or a full disk under the artwork or under the output.
// Arguments: the tools folder, the fault, then the script's own.
const char* const kFaultyRun = R"(
import errno, os, sys, zipfile
tools, fault, args = sys.argv[1], sys.argv[2], sys.argv[3:]
sys.path.insert(0, tools)
import chrome_install, make_invisible_chrome as tool
output = os.path.abspath(args[args.index("--output") + 1])
def refuse(error, *_):
    raise OSError(error, os.strerror(error))
if fault == "rename":
    replace = os.replace
    os.replace = lambda src, dst: refuse(errno.EACCES) if os.path.abspath(dst) == output else replace(src, dst)
elif fault == "art":
    chrome_install.write_file = lambda path, data: refuse(errno.ENOSPC)
elif fault == "output":
    class Full(zipfile.ZipFile):
        def __init__(self, file, mode="r", *rest, **named):
            if mode == "w":
                refuse(errno.ENOSPC)
            super().__init__(file, mode, *rest, **named)
    tool.zipfile.ZipFile = Full
sys.exit(tool.main(args))
)";

// The generator killed at one point of its run (the process ends at once,
// as when the user ends it): while the output file is written, before its
// art is placed, or after that and before the output replaces the earlier.
const char* const kKilledRun = R"(
import os, sys
tools, point, args = sys.argv[1], sys.argv[2], sys.argv[3:]
sys.path.insert(0, tools)
import make_invisible_chrome as tool
output = os.path.abspath(args[args.index("--output") + 1])
def killed(*_):
    os._exit(9)
if point == "archive":
    os.fsync = killed
elif point == "place":
    os.rename = killed
elif point == "output":
    replace = os.replace
    os.replace = lambda src, dst: killed() if os.path.abspath(dst) == output else replace(src, dst)
sys.exit(tool.main(args))
)";

// The generator stopped from outside at one point of its run: Ctrl+C, a
// polite end (SIGTERM) or a kill, while the output file is written or just
// after it is in place. Arguments: the tools folder, "<when>:<how>", then
// the script's own.
const char* const kStoppedRun = R"(
import os, signal, sys
tools, point, args = sys.argv[1], sys.argv[2], sys.argv[3:]
sys.path.insert(0, tools)
import make_invisible_chrome as tool
output = os.path.abspath(args[args.index("--output") + 1])
when, how = point.split(":")
def stop():
    os.kill(os.getpid(), {"ctrl-c": signal.SIGINT, "term": signal.SIGTERM, "kill": signal.SIGKILL}[how])
if when == "writing":
    fsync = os.fsync
    def stopped(fd):
        fsync(fd)
        stop()
    os.fsync = stopped
elif when == "placed":
    replace = os.replace
    def placed(src, dst):
        replace(src, dst)
        if os.path.abspath(dst) == output:
            stop()
    os.replace = placed
sys.exit(tool.main(args))
)";

// The generator killed at the first moment the output's lock has its name
// (as it takes the lock), as when the user ends it there.
const char* const kKilledAtTheLock = R"(
import os, sys
tools, point, args = sys.argv[1], sys.argv[2], sys.argv[3:]
sys.path.insert(0, tools)
import chrome_install
import make_invisible_chrome as tool
output = os.path.abspath(args[args.index("--output") + 1])
try_lock = chrome_install.try_lock
def killed(fd):
    if os.path.lexists(output + ".lock"):
        os._exit(9)
    return try_lock(fd)
chrome_install.try_lock = killed
sys.exit(tool.main(args))
)";

// Holds the run lock of the install, as a run does while it writes, with a
// temporary folder of its own, and has a stage under way.
const char* const kHolder = R"(
import os, sys
sys.path.insert(0, sys.argv[1])
import chrome_install
stage = sys.argv[2]
with chrome_install.RunLock(sys.argv[3]):
    os.makedirs(stage)
    print("held", flush=True)
    sys.stdin.read()
)";

// The generator stopped once its output and art are written and before it
// puts them in place, until its input is closed.
const char* const kPausedRun = R"(
import sys
sys.path.insert(0, sys.argv[1])
import make_invisible_chrome as tool
commit = tool.commit
def paused(*args):
    print("paused", flush=True)
    sys.stdin.read()
    commit(*args)
tool.commit = paused
sys.exit(tool.main(sys.argv[2:]))
)";

const QString kHomebrew = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/");

// The findings of the check, by rule, page and mask.
QSet<QString> findingsOf(const QString& config)
{
    DashConfig loaded;
    QSet<QString> found;
    if (!loaded.load(config))
        return {QStringLiteral("cannot open")};
    for (const ConfigFinding& f : ConfigCheck::checkConfig(loaded))
        found << QStringLiteral("%1 p%2 %3").arg(f.code).arg(f.pageIndex).arg(f.elementId);
    return found;
}

// The art folder (s04_homebrew/<set>) of the first page's background.
QString artSetOf(const QString& config)
{
    DashConfig loaded;
    if (!loaded.load(config))
        return {};
    const QString background = loaded.pageImagePaths(0).value(0);
    const qsizetype at = background.indexOf(QStringLiteral("/s04_homebrew/"));
    return at < 0 ? QString() : background.mid(at + 14).section(QLatin1Char('/'), 0, 0);
}

// The files runs stage the output in, beside it.
QStringList stagedBeside(const QString& output)
{
    const QFileInfo info(output);
    return QDir(info.absolutePath()).entryList({info.fileName() + QStringLiteral(".*.partial")}, QDir::Files);
}

} // namespace

// Where the invisible-chrome generator (the script that ships in tools/
// beside the program, run for real over a temporary RS3 install) puts what
// it writes, where it finds the install, and what a failed or refused run
// leaves: nothing of another output touched, the earlier output whole.
class ChromeOutputsTest : public QObject {
    Q_OBJECT

private:
    ChromeScript m_chrome;

    ChromeScript::Finished runScript(const Rs3Fixture& rs3, const char* code, const QString& point,
                                     const QString& input, const QString& output) const
    {
        return ChromeScript::run(m_chrome.python,
                                 {"-c", code, QFileInfo(m_chrome.script).absolutePath(), point, "--input", input,
                                  "--output", output, "--device", "mxg_12"},
                                 ChromeScript::environment(rs3));
    }

    ChromeScript::Finished generateWithFault(const Rs3Fixture& rs3, const QString& fault, const QString& input,
                                             const QString& output) const
    {
        return ChromeScript::run(m_chrome.python,
                                 {"-c", kFaultyRun, QFileInfo(m_chrome.script).absolutePath(), fault, "--input",
                                  input, "--output", output, "--device", "mxg_12"},
                                 ChromeScript::environment(rs3));
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString missing = m_chrome.locate();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY2(m_chrome.isBuilt(), qPrintable(m_chrome.script + QStringLiteral(" or ") + m_chrome.exe));
    }

    // Outputs whose names differ only where a folder name cannot tell them
    // apart, or that lie in different folders, each keep their own art.
    void outputsOfOneNameKeepTheirArt_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("two folders") << QStringLiteral("carA/Race.zconf2") << QStringLiteral("carB/Race.zconf2");
        QTest::newRow("letters beyond ASCII") << QStringLiteral("Rennen Ä.zconf2") << QStringLiteral("Rennen Ö.zconf2");
        QTest::newRow("space and underscore") << QStringLiteral("Race 1.zconf2") << QStringLiteral("Race_1.zconf2");
    }

    void outputsOfOneNameKeepTheirArt()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("names"));
        Rs3Fixture rs3;
        const QStringList inputs{work + QLatin1Char('/') + first, work + QLatin1Char('/') + second};
        QVERIFY(ChromeScript::writeBoxConfig(inputs[0], QStringLiteral("0xffc82828")));
        QVERIFY(ChromeScript::writeBoxConfig(inputs[1], QStringLiteral("0xff28c828")));
        for (const QString& input : inputs) {
            const ChromeScript::Finished run = m_chrome.generate(rs3, input, ChromeScript::outputOf(input));
            QVERIFY2(run.code == 0, qPrintable(run.output));
        }
        QStringList folders;
        for (int i = 0; i < 2; ++i) {
            const QString png = work + QStringLiteral("/%1-%2.png").arg(i);
            const QImage before = m_chrome.render(inputs[i], 0, png.arg(QStringLiteral("before")));
            QVERIFY(!before.isNull());
            QCOMPARE(m_chrome.render(ChromeScript::outputOf(inputs[i]), 0, png.arg(QStringLiteral("after"))), before);
            DashConfig baked;
            QVERIFY(baked.load(ChromeScript::outputOf(inputs[i])));
            folders << QFileInfo(baked.pageImagePaths(0).value(0)).path();
        }
        QVERIFY(folders[0] != folders[1]);
    }


    // A Save As or a plain copy of an output, kept in another folder where no
    // run can see it, points at the art of its run: generating the original
    // again leaves that art where it is, and each run names what it kept.
    void copiesElsewhereKeepTheirArt_data()
    {
        QTest::addColumn<bool>("saveAs");
        QTest::newRow("Save As") << true;
        QTest::newRow("plain copy") << false;
    }

    void copiesElsewhereKeepTheirArt()
    {
        QFETCH(bool, saveAs);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("copies"));
        Rs3Fixture rs3;
        const QString input = work + QStringLiteral("/cars/Race.zconf2");
        const QString output = ChromeScript::outputOf(input);
        const QString copy = work + QStringLiteral("/kept/Race v2.zconf2");
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828"), 2));
        QCOMPARE(m_chrome.generate(rs3, input, output).code, 0);
        QVERIFY(QDir().mkpath(work + QStringLiteral("/kept")));
        if (saveAs) {
            DashConfig opened;
            QVERIFY(opened.load(output));
            QString error;
            QVERIFY2(opened.saveAs(copy, &error), qPrintable(error));
        } else {
            QVERIFY(QFile::copy(output, copy));
        }
        QList<QImage> before;
        for (int p = 0; p < 2; ++p) {
            before << m_chrome.render(copy, p, work + QStringLiteral("/before%1.png").arg(p));
            QVERIFY(!before.last().isNull());
        }
        const QSet<QString> findings = findingsOf(copy);

        QStringList said;
        for (const char* colour : {"0xff28c828", "0xff2828c8", "0xffc8c828"}) {
            QVERIFY(ChromeScript::writeBoxConfig(input, QString::fromLatin1(colour), 2));
            const ChromeScript::Finished again = m_chrome.generate(rs3, input, output);
            QVERIFY2(again.code == 0, qPrintable(again.output));
            said << again.output;
        }
        for (int p = 0; p < 2; ++p)
            QCOMPARE(m_chrome.render(copy, p, work + QStringLiteral("/after%1.png").arg(p)), before[p]);
        QCOMPARE(findingsOf(copy), findings);
        // Each run names what it kept.
        for (int run = 0; run < said.size(); ++run) {
            const QString kept = QStringLiteral("Kept the art of %1 earlier run%2 of this output (zchrome_Race_")
                                     .arg(run + 1)
                                     .arg(run == 0 ? "" : "s");
            QVERIFY2(said[run].contains(kept), qPrintable(said[run]));
        }
    }

    // The lock lives in the install: a run with another temporary folder
    // (another user's) is refused while one writes, and leaves its stage.
    void runsWithOtherTempFoldersDoNotOverlap()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("lock"));
        Rs3Fixture rs3;
        const QString input = work + QStringLiteral("/Race.zconf2");
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        const QString stage = rs3.absolutePath(Rs3Fixture::Stable, kHomebrew + "zchrome_Other_0123456789_1.partial");
        QProcess holder;
        QProcessEnvironment environment = ChromeScript::environment(rs3);
        QVERIFY(QDir().mkpath(work + QStringLiteral("/tmpA")) && QDir().mkpath(work + QStringLiteral("/tmpB")));
        environment.insert(QStringLiteral("TMPDIR"), work + QStringLiteral("/tmpA"));
        holder.setProcessEnvironment(environment);
        holder.start(m_chrome.python, {"-c", kHolder, QFileInfo(m_chrome.script).absolutePath(), stage,
                                       rs3.root(Rs3Fixture::Stable)});
        QVERIFY(holder.waitForStarted(10000));
        while (!holder.canReadLine() && holder.state() == QProcess::Running)
            holder.waitForReadyRead(10000);
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        environment.insert(QStringLiteral("TMPDIR"), work + QStringLiteral("/tmpB"));
        const ChromeScript::Finished second =
            ChromeScript::run(m_chrome.python, {m_chrome.script, "--input", input, "--output",
                                                ChromeScript::outputOf(input), "--device", "mxg_12"},
                              environment);
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(second.code, 1);
        QVERIFY2(ChromeScript::lastLine(second.output).startsWith(QStringLiteral("Error: Another invisible-chrome run")),
                 qPrintable(second.output));
        QVERIFY(QFileInfo(stage).isDir());
        QVERIFY(!QFileInfo::exists(ChromeScript::outputOf(input)));
    }

    // Two runs for one output with different installs: the second, started
    // while the first writes, is refused with its reason and touches neither
    // the earlier output nor its install; the first writes a whole output.
    void runsOfOneOutputWithTwoInstallsDoNotOverlap()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("overlap"));
        Rs3Fixture first;
        Rs3Fixture second;
        const QString input = work + QStringLiteral("/Race.zconf2");
        const QString output = ChromeScript::outputOf(input);
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        QCOMPARE(m_chrome.generate(second, input, output).code, 0);
        const QMap<QString, QByteArray> earlier = ZipFixture::readZip(output);
        const QMap<QString, QByteArray> secondInstall = second.snapshot();

        QProcess writer;
        writer.setProcessChannelMode(QProcess::MergedChannels);
        writer.setProcessEnvironment(ChromeScript::environment(first));
        writer.start(m_chrome.python, {"-c", kPausedRun, QFileInfo(m_chrome.script).absolutePath(), "--input", input,
                                       "--output", output, "--device", "mxg_12"});
        QVERIFY(writer.waitForStarted(10000));
        while (!writer.peek(1 << 16).contains("paused\n")) {
            QVERIFY(writer.state() == QProcess::Running);
            writer.waitForReadyRead(10000);
        }
        const ChromeScript::Finished refused = m_chrome.generate(second, input, output);
        QCOMPARE(refused.code, 1);
        QVERIFY2(ChromeScript::lastLine(refused.output)
                     .startsWith(QStringLiteral("Error: Another invisible-chrome run is writing ") + output),
                 qPrintable(refused.output));
        QCOMPARE(ZipFixture::readZip(output), earlier);
        QCOMPARE(second.snapshot(), secondInstall);

        writer.closeWriteChannel();
        QVERIFY(writer.waitForFinished(60000));
        const QString written = QString::fromUtf8(writer.readAll());
        QCOMPARE(writer.exitCode(), 0);
        QVERIFY2(ChromeScript::lastLine(written).startsWith(QStringLiteral("Invisible chrome written")),
                 qPrintable(written));
        QCOMPARE(ZipFixture::readZip(output).keys(), earlier.keys());
        DashConfig baked;
        QVERIFY(baked.load(output));
        const QString background = baked.pageImagePaths(0).value(0);
        QVERIFY2(QFileInfo::exists(first.absolutePath(Rs3Fixture::Stable, background)), qPrintable(background));
        QCOMPARE(second.snapshot(), secondInstall);
        QCOMPARE(stagedBeside(output), QStringList());
        QVERIFY(!QFileInfo::exists(output + QStringLiteral(".lock")));
    }

    // A run killed anywhere leaves nothing RS3 lists as a set, and the next
    // run of another output removes what it left: the half-written output
    // file beside the configuration and art no saved file points at.
    void killedRunsLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("point");
        QTest::newRow("writing the output file") << QStringLiteral("archive");
        QTest::newRow("placing the art") << QStringLiteral("place");
        QTest::newRow("replacing the output") << QStringLiteral("output");
    }

    void killedRunsLeaveNothingBehind()
    {
        QFETCH(QString, point);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("killed"));
        Rs3Fixture rs3;
        const QString input = work + QStringLiteral("/carA/Race.zconf2");
        const QString output = ChromeScript::outputOf(input);
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        QVERIFY(runScript(rs3, kKilledRun, point, input, output).code != 0);
        QVERIFY(!QFileInfo::exists(output));
        QCOMPARE(stagedBeside(output).size(), 1);
        const QString homebrew = rs3.absolutePath(Rs3Fixture::Stable, kHomebrew);
        for (const QString& set : QDir(homebrew).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QVERIFY2(!set.endsWith(QLatin1String(".partial")) || !QFileInfo::exists(homebrew + set + "/AiM_folder.xml"),
                     qPrintable(set));

        const QString other = work + QStringLiteral("/carB/Other.zconf2");
        QVERIFY(ChromeScript::writeBoxConfig(other, QStringLiteral("0xff28c828")));
        const ChromeScript::Finished next = m_chrome.generate(rs3, other, ChromeScript::outputOf(other));
        QVERIFY2(next.code == 0, qPrintable(next.output));
        QCOMPARE(stagedBeside(output), QStringList());
        QVERIFY(!QFileInfo::exists(output + QStringLiteral(".lock")));
        const QStringList sets = QDir(homebrew).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(sets.size(), 1);
        QVERIFY2(sets.value(0).startsWith(QStringLiteral("zchrome_Other_")), qPrintable(sets.join(' ')));
    }

    // One output kept in a shared folder, generated with one install and,
    // after an edit, with another: the second run's art never takes a name
    // the first install holds, so opened with the first install the output
    // does not show the older chrome, and the check says what is missing.
    void twoInstallsNeverShareAGenerationName()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("twoinstalls"));
        Rs3Fixture machineB;
        Rs3Fixture machineA; // made last: the editor's settings name this install
        const QString input = work + QStringLiteral("/shared/Race.zconf2");
        const QString output = ChromeScript::outputOf(input);
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        QCOMPARE(m_chrome.generate(machineA, input, output).code, 0);
        const QString kept = work + QStringLiteral("/kept.zconf2");
        QVERIFY(QFile::copy(output, kept));
        const QImage keptBefore = m_chrome.render(kept, 0, work + QStringLiteral("/kept-before.png"));
        QVERIFY(!keptBefore.isNull());

        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xff28c828")));
        const ChromeScript::Finished onB = m_chrome.generate(machineB, input, output);
        QVERIFY2(onB.code == 0, qPrintable(onB.output));
        const QString setA = artSetOf(kept);
        const QString setB = artSetOf(output);
        QVERIFY2(setA.startsWith(QStringLiteral("zchrome_Race_")) && setB.startsWith(QStringLiteral("zchrome_Race_")),
                 qPrintable(setA + ' ' + setB));
        QVERIFY(setA != setB);
        const QString homebrewA = machineA.absolutePath(Rs3Fixture::Stable, kHomebrew);
        QVERIFY(QFileInfo(homebrewA + setA).isDir());
        QVERIFY(!QFileInfo::exists(homebrewA + setB));
        QVERIFY2(findingsOf(output).contains(QStringLiteral("missing-art p0 md.00")),
                 qPrintable(QStringList(findingsOf(output).values()).join('\n')));
        QCOMPARE(m_chrome.render(kept, 0, work + QStringLiteral("/kept-after.png")), keptBefore);
    }

    // Stopped from outside: before its output is in place a run takes back
    // all it began (the staged file too) and says so in one line; once the
    // output is in place the run is done, and its art stays for the output
    // and every copy of it, through later runs.
    void stopsBeforeAndAfterPlacement_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<int>("code");
        QTest::newRow("Ctrl+C writing the output") << QStringLiteral("writing:ctrl-c") << 130;
        QTest::newRow("SIGTERM writing the output") << QStringLiteral("writing:term") << 143;
        QTest::newRow("Ctrl+C after placement") << QStringLiteral("placed:ctrl-c") << 0;
        QTest::newRow("kill after placement") << QStringLiteral("placed:kill") << -1;
    }

    void stopsBeforeAndAfterPlacement()
    {
        QFETCH(QString, point);
        QFETCH(int, code);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("stopped"));
        Rs3Fixture rs3;
        const QString input = work + QStringLiteral("/Race.zconf2");
        const QString output = ChromeScript::outputOf(input);
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        QCOMPARE(m_chrome.generate(rs3, input, output).code, 0);
        const QMap<QString, QByteArray> earlier = ZipFixture::readZip(output);
        const QMap<QString, QByteArray> earlierArt = rs3.snapshot();

        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xff28c828")));
        const ChromeScript::Finished stopped = runScript(rs3, kStoppedRun, point, input, output);
        QVERIFY2(stopped.code == code, qPrintable(stopped.output));
        QVERIFY2(!stopped.output.contains(QStringLiteral("Traceback")), qPrintable(stopped.output));
        QCOMPARE(stagedBeside(output), QStringList());
        if (point.startsWith(QLatin1String("writing"))) {
            QCOMPARE(ChromeScript::lastLine(stopped.output),
                     QStringLiteral("Cancelled: the earlier output and its art are as they were"));
            QCOMPARE(stopped.output.count(QStringLiteral("Cancelled")), 1);
            QCOMPARE(ZipFixture::readZip(output), earlier);
            QCOMPARE(rs3.snapshot(), earlierArt);
            QVERIFY(!QFileInfo::exists(output + QStringLiteral(".lock")));
            return;
        }
        QVERIFY(ZipFixture::readZip(output) != earlier);
        const QString placed = artSetOf(output);
        const QString kept = work + QStringLiteral("/kept/Race.zconf2");
        QVERIFY(QDir().mkpath(work + QStringLiteral("/kept")) && QFile::copy(output, kept));
        const QImage before = m_chrome.render(kept, 0, work + QStringLiteral("/before.png"));
        QVERIFY(!before.isNull());
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xff2828c8")));
        const ChromeScript::Finished next = m_chrome.generate(rs3, input, output);
        QVERIFY2(next.code == 0, qPrintable(next.output));
        QVERIFY2(!next.output.contains(QStringLiteral("Removing")), qPrintable(next.output));
        QVERIFY(artSetOf(output) != placed);
        QVERIFY(QFileInfo(rs3.absolutePath(Rs3Fixture::Stable, kHomebrew + placed)).isDir());
        QCOMPARE(m_chrome.render(kept, 0, work + QStringLiteral("/after.png")), before);
    }

    // The output's lock appears with its mark in it: a run killed as it
    // takes the lock leaves one that says a run made it, which the next run
    // takes over; and an empty one (an older build's) is taken as stale
    // when no run holds it.
    void stoppedRunsLeaveNoEmptyLock_data()
    {
        QTest::addColumn<bool>("emptyLock");
        QTest::newRow("killed taking the lock") << false;
        QTest::newRow("empty lock left before") << true;
    }
    void stoppedRunsLeaveNoEmptyLock()
    {
        QFETCH(bool, emptyLock);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("emptylock"));
        Rs3Fixture rs3;
        const QString input = work + QStringLiteral("/Race.zconf2");
        const QString output = ChromeScript::outputOf(input);
        const QString lock = output + QStringLiteral(".lock");
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        if (emptyLock) {
            QVERIFY(ZipFixture::writeTree(work, {{QFileInfo(lock).fileName(), ""}}));
        } else {
            const ChromeScript::Finished killed = runScript(rs3, kKilledAtTheLock, "lock", input, output);
            QVERIFY2(killed.code == 9, qPrintable(killed.output));
            QVERIFY(QFileInfo::exists(lock));
            QCOMPARE(TestFiles::readBytes(lock), QByteArray("Korvelanto invisible-chrome lock\n"));
        }
        const ChromeScript::Finished next = m_chrome.generate(rs3, input, output);
        QVERIFY2(next.code == 0, qPrintable(next.output));
        QVERIFY(!QFileInfo::exists(lock));
        QCOMPARE(QDir(work).entryList({QStringLiteral("*.lock*")}, QDir::Files | QDir::Hidden), QStringList());
    }

    // A file of the lock's name that no run made is someone else's: the
    // run stops, names it and leaves it, and writes nothing.
    void existingLockNameIsLeftAlone()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("lockname"));
        Rs3Fixture rs3;
        const QString input = work + QStringLiteral("/Race.zconf2");
        const QString output = ChromeScript::outputOf(input);
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        QVERIFY(ZipFixture::writeTree(work, {{QFileInfo(output).fileName() + ".lock", "my own notes\n"}}));
        const QMap<QString, QByteArray> before = ZipFixture::readTree(work);
        const QMap<QString, QByteArray> art = rs3.snapshot();
        const ChromeScript::Finished run = m_chrome.generate(rs3, input, output);
        QCOMPARE(run.code, 1);
        QVERIFY2(ChromeScript::lastLine(run.output)
                     .startsWith(QStringLiteral("Error: Cannot write %1: %1.lock is in the way").arg(output)),
                 qPrintable(run.output));
        QCOMPARE(ZipFixture::readTree(work), before);
        QMap<QString, QByteArray> after = rs3.snapshot();
        after.remove(QStringLiteral("RaceStudio3/korvelanto-chrome.lock")); // the install's own run lock
        QCOMPARE(after, art);
    }

    // A vector bar in a box without an art folder keeps its box: moved into
    // a folder of its own it would name pictures the folder does not hold.
    void outputCheckFindsNothingNew()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("check"));
        Rs3Fixture rs3;
        ConfigFixture cfg;
        FixturePage& page = cfg.device().page(QStringLiteral("Race"));
        page.width = 240;
        page.height = 120;
        FixtureElement scale(QStringLiteral("ScaleFSV"), QStringLiteral("00"));
        scale.p(QStringLiteral("PATH_IMG_OFF"), QStringLiteral("off.tgz"))
            .add(FixtureElement(QStringLiteral("StepScale"), QStringLiteral("1")).p(QStringLiteral("PATH_IMG_ON"), "on.tgz"));
        page.mask(Fx::mask(QStringLiteral("md.00"), 20, 20, 160, 60)
                      .p(QStringLiteral("M_BCOL"), QStringLiteral("0xff203040"))
                      .add(Fx::axis(QStringLiteral("00"), QStringLiteral("RPM")))
                      .add(Fx::bargraph(QStringLiteral("01"), 10, 10, 140, 40, QStringLiteral("00")).add(scale)));
        const QString input = work + QStringLiteral("/Bar.zconf2");
        QVERIFY(cfg.writeZip(input));
        const ChromeScript::Finished run = m_chrome.generate(rs3, input, ChromeScript::outputOf(input));
        QVERIFY2(run.code == 0, qPrintable(run.output));
        const QSet<QString> added = findingsOf(ChromeScript::outputOf(input)) - findingsOf(input);
        QVERIFY2(added.isEmpty(), qPrintable(QStringList(added.values()).join(QLatin1Char('\n'))));
        QCOMPARE(m_chrome.render(ChromeScript::outputOf(input), 0, work + QStringLiteral("/after.png")),
                 m_chrome.render(input, 0, work + QStringLiteral("/before.png")));
    }

    // A run that fails leaves the earlier output and its art as they were,
    // says a full disk in so many words (the window's advice to close
    // RaceStudio3 does not fit it), and removes what an interrupted run of
    // another output left.
    void failedRunKeepsTheEarlierOutput_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("output rename refused") << QStringLiteral("rename") << QStringLiteral("Error: Cannot write ");
        QTest::newRow("disk full under the art") << QStringLiteral("art")
                                                 << QStringLiteral("Error: Not enough disk space to write ");
        QTest::newRow("disk full under the output") << QStringLiteral("output")
                                                    << QStringLiteral("Error: Not enough disk space to write ");
    }

    void failedRunKeepsTheEarlierOutput()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("failed"));
        Rs3Fixture rs3;
        const QString homebrew = QStringLiteral("aim/resources/overlay/mxs_12/masks/set/standard/s04_homebrew/");
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, homebrew + "zbar_other/AiM_folder.xml", "another set"));
        const QString input = work + QStringLiteral("/Race.zconf2");
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        const QString output = ChromeScript::outputOf(input);
        const ChromeScript::Finished first = m_chrome.generate(rs3, input, output);
        QVERIFY2(first.code == 0, qPrintable(first.output));
        const QMap<QString, QByteArray> art = rs3.snapshot();
        const QByteArray written = ZipFixture::readZip(output).value(QStringLiteral("dash/overlay.ov3.xml"));
        QVERIFY(!written.isEmpty());

        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, homebrew + "zchrome_Other_0123456789_4.partial/AiM_folder.xml", "x"));
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xff28c828")));
        const ChromeScript::Finished again = generateWithFault(rs3, fault, input, output);
        QCOMPARE(again.code, 1);
        QVERIFY2(ChromeScript::lastLine(again.output).startsWith(reason), qPrintable(again.output));
        QVERIFY(!again.output.contains(QStringLiteral("close RaceStudio3"), Qt::CaseInsensitive));
        QCOMPARE(rs3.snapshot(), art);
        QCOMPARE(ZipFixture::readZip(output).value(QStringLiteral("dash/overlay.ov3.xml")), written);
        QCOMPARE(stagedBeside(output), QStringList());
    }

    // Without the roots from the window the script looks where the editor
    // does by default: off Windows, inside the Wine prefix.
    void findsTheInstallInTheWinePrefix()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("wine"));
        Rs3Fixture rs3;
        const QString input = work + QStringLiteral("/Race.zconf2");
        QVERIFY(ChromeScript::writeBoxConfig(input, QStringLiteral("0xffc82828")));
        const QString prefix = work + QStringLiteral("/prefix");
        QVERIFY(QDir().mkpath(prefix + QStringLiteral("/drive_c/AIM_SPORT")));
        QVERIFY(QFile::link(rs3.root(Rs3Fixture::Stable), prefix + QStringLiteral("/drive_c/AIM_SPORT/RaceStudio3")));
        QProcessEnvironment environment = ChromeScript::environment(rs3);
        for (const char* name : {"KORVELANTO_RS3_ROOT", "KORVELANTO_RS3_BETA_ROOT", "KORVELANTO_LOCAL_OVERLAY_ROOT"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("WINEPREFIX"), prefix);
        const ChromeScript::Finished run =
            ChromeScript::run(m_chrome.python,
                              {m_chrome.script, "--input", input, "--output", ChromeScript::outputOf(input), "--device",
                               "mxg_12"},
                              environment);
        QVERIFY2(run.code == 0, qPrintable(run.output));
        DashConfig baked;
        QVERIFY(baked.load(ChromeScript::outputOf(input)));
        QVERIFY(DashConfig::resolveRs3Path(baked.pageImagePaths(0).value(0))
                    .startsWith(rs3.root(Rs3Fixture::Stable) + QLatin1Char('/')));
    }

    void badInputFailsWithOneLine_data()
    {
        QTest::addColumn<QString>("input"); // "demo", or a file name of hostile content
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("output"); // relative to the work folder
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a zip") << QStringLiteral("text.zconf2") << QStringLiteral("mxg_12")
                                   << QStringLiteral("out.zconf2") << QStringLiteral("Error: Not a zip archive");
        QTest::newRow("unknown device") << QStringLiteral("demo") << QStringLiteral("mxq_99")
                                        << QStringLiteral("out.zconf2") << QStringLiteral("Error: Unknown device");
        QTest::newRow("no page of the device") << QStringLiteral("demo") << QStringLiteral("solo2dl")
                                               << QStringLiteral("out.zconf2")
                                               << QStringLiteral("Error: No page of the solo2dl family");
        QTest::newRow("output folder is a file") << QStringLiteral("demo") << QStringLiteral("mxg_12")
                                                 << QStringLiteral("blocked/out.zconf2")
                                                 << QStringLiteral("Error: Cannot write");
        QTest::newRow("already an output") << QStringLiteral("Demo_INVISIBLE_CHROME.zconf2")
                                           << QStringLiteral("mxg_12") << QStringLiteral("out.zconf2")
                                           << QStringLiteral("Error: The input is already an invisible-chrome");
        QTest::newRow("set folder blocked") << QStringLiteral("demo") << QStringLiteral("mxg_12")
                                            << QStringLiteral("out.zconf2")
                                            << QStringLiteral("Error: Cannot clean output folder");
        QTest::newRow("damaged entry") << QStringLiteral("damaged.zconf2") << QStringLiteral("mxg_12")
                                       << QStringLiteral("out.zconf2")
                                       << QStringLiteral("Error: Cannot read dash/notes.txt in the input: Bad CRC-32");
        QTest::newRow("refused display folder")
            << QStringLiteral("refused.zconf2") << QStringLiteral("mxg_12") << QStringLiteral("out.zconf2")
            << QStringLiteral("Error: Page 2 (Odd) names the display folder \"mxg_12/../x\", which is not allowed");
    }

    void badInputFailsWithOneLine()
    {
        QFETCH(QString, input);
        QFETCH(QString, device);
        QFETCH(QString, output);
        QFETCH(QString, reason);
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("bad"));
        Rs3Fixture rs3;
        QString path = ConfigFixture::demoArchiveCopy(work);
        if (input == QLatin1String("text.zconf2"))
            QVERIFY(ZipFixture::writeTree(work, {{input, "just some text, not an archive\n"}}));
        if (input == QLatin1String("damaged.zconf2")) {
            QList<ZipFixtureEntry> entries = ZipFixture::readZipEntries(path);
            entries << ZipFixtureEntry{"dash/notes.txt", "a note the archive damaged", ZipFixtureEntry::WrongCrc};
            QVERIFY(ZipFixture::writeZip(work + QLatin1Char('/') + input, entries));
        }
        if (input == QLatin1String("refused.zconf2")) {
            ConfigFixture cfg;
            cfg.device().page(QStringLiteral("Race")).mask(Fx::mask(QStringLiteral("md.00"), 20, 20, 120, 60)
                                                               .p(QStringLiteral("M_BCOL"), QStringLiteral("0xffc82828")));
            cfg.device().page(QStringLiteral("Odd")).pagePath =
                QStringLiteral("aim/resources/overlay/mxg_12/../x/masks/set/standard/s02/p01/");
            QVERIFY(cfg.writeZip(work + QLatin1Char('/') + input));
        }
        if (input != QLatin1String("demo")) {
            const QString renamed = work + QLatin1Char('/') + input;
            QVERIFY(QFile::exists(renamed) || QFile::rename(path, renamed));
            path = renamed;
        }
        // A file where a folder should be: CI runs as root, so modes would not stop a write.
        QVERIFY(ZipFixture::writeTree(work, {{"blocked", "a file"}}));
        if (QByteArray(QTest::currentDataTag()) == "set folder blocked")
            QVERIFY(rs3.writeFile(Rs3Fixture::Stable, "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew",
                                  "a file"));
        const QMap<QString, QByteArray> before = ZipFixture::readTree(work);

        const ChromeScript::Finished run = m_chrome.generate(rs3, path, work + QLatin1Char('/') + output, device);
        QVERIFY2(run.code > 0, qPrintable(run.output));
        QVERIFY2(ChromeScript::lastLine(run.output).startsWith(reason), qPrintable(run.output));
        QCOMPARE(run.output.count(QStringLiteral("Error:")), 1);
        QCOMPARE(ZipFixture::readTree(work), before); // no output, no partial file
    }
};

KORV_TEST_MAIN(ChromeOutputsTest)
#include "tst_chromeoutputs.moc"
