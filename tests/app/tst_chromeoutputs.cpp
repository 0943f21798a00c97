#include "support/ChromeScript.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"
#include "model/DashConfig.h"

#include <QDir>
#include <QFileInfo>
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

} // namespace

// Where the invisible-chrome generator (the script that ships in tools/
// beside the program, run for real over a temporary RS3 install) puts what
// it writes, where it finds the install, and what a failed or refused run
// leaves: nothing of another output touched, the earlier output whole.
class ChromeOutputsTest : public QObject {
    Q_OBJECT

private:
    ChromeScript m_chrome;

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
        QVERIFY(!QFileInfo::exists(output + QStringLiteral(".partial")));
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
