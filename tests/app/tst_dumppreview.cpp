#include "support/ConfigFixture.h"
#include "support/FileSizeLimit.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>

// Runs the real executable the way a user or a script would.
class DumpPreviewTest : public QObject {
    Q_OBJECT

private:
    QString m_exe;
    QString m_dir;
    QString m_demo;

    struct Run {
        int code = -1;
        QByteArray err;
        QByteArray out;
    };

    Run run(const QStringList& args, bool offscreen = true, const std::function<void()>& inChild = {})
    {
        QProcess p;
        if (inChild)
            p.setChildProcessModifier(inChild);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!offscreen)
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(m_exe, args);
        if (!p.waitForFinished(120000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError(),
                p.readAllStandardOutput()};
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_exe = qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app/korvelanto");
        QVERIFY2(QFile::exists(m_exe), qPrintable(m_exe));
        m_demo = qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/examples/demo.zconf2");
        QVERIFY(QFile::exists(m_demo));
        m_dir = TestEnvironment::makeTempDir(QStringLiteral("dump"));
    }

    void messagesAndExitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString out = QStringLiteral("OUT");
        QTest::newRow("no input") << QStringList{"--dump-preview", out} << 2 << "dump-preview: --input is required\n";
        QTest::newRow("missing file") << QStringList{"--dump-preview", out, "--input", "MISSING"} << 2
                                      << "dump-preview: open failed: MISSING: The file MISSING does not exist.\n";
        QTest::newRow("folder") << QStringList{"--dump-preview", out, "--input", "BLOCKED"} << 2
                                << "dump-preview: open failed: BLOCKED: BLOCKED is a folder, not a configuration file.\n";
        QTest::newRow("not a config")
            << QStringList{"--dump-preview", out, "--input", "JUNK"} << 2
            << "dump-preview: open failed: JUNK: The archive could not be extracted; it is damaged or not a configuration.\n";
        QTest::newRow("no device file")
            << QStringList{"--dump-preview", out, "--input", "NODEVICE"} << 2
            << "dump-preview: open failed: NODEVICE: The archive holds no readable device file (overlay.ov3.xml).\n";
        QTest::newRow("no pages") << QStringList{"--dump-preview", out, "--input", "EMPTY"} << 2
                                  << "dump-preview: no pages in EMPTY\n";
        QTest::newRow("page too large") << QStringList{"--dump-preview", out, "--input", "DEMO", "--page", "5"} << 2
                                        << "dump-preview: --page must be 0..2 for DEMO (got 5)\n";
        QTest::newRow("page negative") << QStringList{"--dump-preview", out, "--input", "DEMO", "--page", "-1"} << 2
                                       << "dump-preview: --page must be 0..2 for DEMO (got -1)\n";
        QTest::newRow("page a word") << QStringList{"--dump-preview", out, "--input", "DEMO", "--page", "first"} << 2
                                     << "dump-preview: --page must be 0..2 for DEMO (got first)\n";
        QTest::newRow("absurd scale") << QStringList{"--dump-preview", out, "--input", "DEMO", "--scale", "400"} << 3
                                      << "dump-preview: render returned null image\n";
        QTest::newRow("unwritable output") << QStringList{"--dump-preview", "BLOCKED", "--input", "DEMO"} << 3
                                           << "dump-preview: save failed: BLOCKED\n";
        QTest::newRow("ok") << QStringList{"--dump-preview", out, "--input", "DEMO", "--unknown-option"} << 0 << "";
    }

    void messagesAndExitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        const QString junk = m_dir + "/junk.zconf2";
        QFile j(junk);
        QVERIFY(j.open(QIODevice::WriteOnly));
        j.write("not a zip");
        j.close();
        ConfigFixture empty;
        empty.device(); // one device file without pages
        const QString emptyPath = m_dir + "/empty.zconf2";
        QVERIFY(empty.writeZip(emptyPath));
        const QString noDevice = m_dir + "/nodevice.zconf2";
        QVERIFY(ZipFixture::writeZip(noDevice, QMap<QString, QByteArray>{{"readme.txt", "no device here"}}));
        const QString blocked = m_dir + "/blocked.png";
        QDir().mkpath(blocked + "/inside");
        const QString out = m_dir + "/out.png";
        QFile::remove(out);
        QMap<QString, QString> names{{"OUT", out}, {"MISSING", m_dir + "/missing.zconf2"}, {"JUNK", junk},
                                     {"EMPTY", emptyPath}, {"DEMO", m_demo}, {"BLOCKED", blocked},
                                     {"NODEVICE", noDevice}};
        for (QString& a : args)
            a = names.value(a, a);
        for (auto it = names.cbegin(); it != names.cend(); ++it)
            message.replace(it.key(), it.value());
        const Run r = run(args);
        QCOMPARE(r.code, code);
        // Diagnostics of the load share standard error; the command's own
        // messages are the lines it starts with its name.
        QString own;
        for (const QString& line : QString::fromUtf8(r.err).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("dump-preview:")))
                own += line + QLatin1Char('\n');
        }
        QCOMPARE(own, message);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(QFile::exists(out), code == 0);
    }

    void geometryRenderWithoutDisplay_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<int>("factor");
        QTest::newRow("default") << QString() << 1;
        QTest::newRow("zero") << QStringLiteral("0") << 1;
        QTest::newRow("negative") << QStringLiteral("-3") << 1;
        QTest::newRow("word") << QStringLiteral("big") << 1;
        QTest::newRow("two") << QStringLiteral("2") << 2;
    }

    void geometryRenderWithoutDisplay()
    {
        QFETCH(QString, scale);
        QFETCH(int, factor);
        // A .bmp name still gets PNG data: the format is forced.
        const QString out = m_dir + "/page.bmp";
        QStringList args{"--dump-preview", out, "--input", m_demo};
        if (!scale.isNull())
            args << "--scale" << scale;
        const Run r = run(args, false);
        QCOMPARE(r.code, 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(8).startsWith("\x89PNG"));
        const QImage image(out, "PNG");
        QCOMPARE(image.size(), QSize(800 * factor, 480 * factor));
        // Page 0 of the demo: the Analog mask at (20,20) in its kind colour at
        // alpha 60 over black, outlined in the bound-channel grey.
        const QColor inside = image.pixelColor(100 * factor, 100 * factor);
        QVERIFY(qAbs(inside.red() - 40 * 60 / 255) <= 1);
        QVERIFY(qAbs(inside.blue() - 200 * 60 / 255) <= 1);
        QCOMPARE(image.pixelColor(20 * factor, 100 * factor), QColor(200, 200, 200));
        QCOMPARE(image.pixelColor(5, 5), QColor(Qt::black));
    }

    void sampleRenderDrawsThePage()
    {
        const QString out = m_dir + "/sample.png";
        const Run r = run({"--dump-preview", out, "--input", m_demo, "--page", "1", "--sample-data"});
        QCOMPARE(r.code, 0);
        const QImage image(out);
        QCOMPARE(image.size(), QSize(800, 480));
    }

    // A configuration and a picture named beyond ASCII, in a folder so
    // named: the render reads the one and writes the other.
    void namesBeyondAscii()
    {
        const QString folder = m_dir + QStringLiteral("/Nürburg Øst");
        QVERIFY(QDir().mkpath(folder));
        const QString input = folder + QStringLiteral("/Jyväskylä.zconf2");
        QFile::remove(input);
        QVERIFY(QFile::copy(m_demo, input));
        const QString out = folder + QStringLiteral("/鈴鹿 Søndre.png");
        const Run r = run({"--dump-preview", out, "--input", input, "--page", "1", "--sample-data"});
        QCOMPARE(r.code, 0);
        QVERIFY(QDir(folder).entryList(QDir::Files).contains(QStringLiteral("鈴鹿 Søndre.png")));
        QCOMPARE(QImage(out).size(), QSize(800, 480));
    }

    // Hostile configurations come from other people: each run ends by
    // itself, with its own exit code and reason, in bounded memory.
    void hostileInputs_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<bool>("sample");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("absurd values, geometry") << "absurd" << false << 0 << QString();
        QTest::newRow("absurd values, live drawing") << "absurd" << true << 0 << QString();
        QTest::newRow("device XML over the cap") << "bigxml" << false << 2
            << "dump-preview: open failed: INPUT: The file dash/overlay.ov3.xml in the archive is larger than 64 MiB "
               "and cannot be opened.\n";
        QTest::newRow("archive over the cap") << "bomb" << false << 2
            << "dump-preview: open failed: INPUT: The archive expands to more than 512 MiB, far more than a dash "
               "configuration holds.\n";
    }

    void hostileInputs()
    {
        QFETCH(QString, shape);
        QFETCH(bool, sample);
        QFETCH(int, code);
        QFETCH(QString, message);
        const QString input = m_dir + "/" + shape + ".zconf2";
        const QByteArray mebibyte(1024 * 1024, ' ');
        if (shape == "absurd") {
            const int big = std::numeric_limits<int>::max();
            const int small = std::numeric_limits<int>::min();
            ConfigFixture cfg;
            cfg.device().page("Main")
                .mask(Fx::mask("m1", 10, 20, 300, 100)
                          .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                          .add(Fx::digit("d1", 0, 0, 200, 60, "a1").p("NUM_CHARS", big).p("CHARSET_DIM", 2000000000))
                          .add(Fx::digit("d2", 0, 0, 0, 0, "a1").set("HEIGHT", 2000000000).p("NUM_CHARS", 4))
                          .add(Fx::label("l1", "Hi", 0, 60, 200, 20).p("CHARSET_DIM", big).p("NUM_CHARS", 8)))
                .mask(Fx::mask("m2", big, small, big, big)
                          .add(Fx::label("l2", "Far", big, big, big, big).p("NUM_CHARS", big))
                          .add(Fx::bargraph("b1", small, small, big, big, "a1", true)))
                .mask(Fx::mask("m3", small, small, small, small).add(Fx::digit("d3", small, big, small, big, "a1")))
                .mask(Fx::mask("m4", 0, 0, 100, 2000000000).add(Fx::axis("a4", "Speed", "SPD", "km/h")));
            QVERIFY(cfg.writeZip(input));
        } else if (shape == "bigxml") {
            QVERIFY(ZipFixture::writeZip(input, QList<ZipFixtureEntry>{{"dash/overlay.ov3.xml", mebibyte,
                                                                       ZipFixtureEntry::Intact, 65}}));
        } else {
            ConfigFixture cfg;
            cfg.device().page("Main").mask(Fx::mask("m1", 10, 20, 300, 100));
            QMap<QString, QByteArray> files = cfg.files();
            QList<ZipFixtureEntry> entries;
            for (auto it = files.cbegin(); it != files.cend(); ++it)
                entries.append({it.key().toUtf8(), it.value()});
            entries.append({"artwork/background.raw", mebibyte, ZipFixtureEntry::Intact, 600});
            QVERIFY(ZipFixture::writeZip(input, entries));
        }
        const QString out = m_dir + "/hostile.png";
        QFile::remove(out);
        QStringList args{"--dump-preview", out, "--input", input};
        if (sample)
            args << "--sample-data";
        const Run r = run(args);
        QFile::remove(input);
        QCOMPARE(r.code, code);
        QString own;
        for (const QString& line : QString::fromUtf8(r.err).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("dump-preview:")))
                own += line + QLatin1Char('\n');
        }
        QCOMPARE(own, QString(message).replace("INPUT", input));
        QCOMPARE(QFile::exists(out), code == 0);
        // Every child so far, this one included, stayed below the bound.
        const qint64 peak = TestEnvironment::peakResidentBytes(true);
        QVERIFY2(peak < qint64(1) << 30, qPrintable(QString::number(peak)));
    }

    void fullDiskLeavesNoPng()
    {
        // No file of the child may grow beyond 64 KiB: the configuration
        // still opens, but the PNG cannot be written whole, and nothing of
        // it may stay behind.
        constexpr rlim_t kLimit = 64 * 1024;
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("full"));
        const QString out = dir + "/page.png";
        const QStringList args{"--dump-preview", out, "--input", m_demo, "--sample-data", "--scale", "4"};
        QCOMPARE(run(args).code, 0);
        QVERIFY(QFileInfo(out).size() > qint64(kLimit));
        QVERIFY(QFile::remove(out));
        const Run r = run(args, true, [] {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit {kLimit, kLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("dump-preview: save failed: " + out.toUtf8() + "\n"));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A PNG smaller than the file's write buffer meets the full disk only
    // when the buffer is flushed: the command must still fail and keep the
    // picture that was there.
    void smallPngOnFullDiskKeepsPreviousFile()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("fullsmall"));
        ConfigFixture fixture;
        fixture.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80));
        const QString input = dir + "/small.zconf2";
        QVERIFY(fixture.writeZip(input));
        const QString out = dir + "/page.png";
        const QStringList args{"--dump-preview", out, "--input", input};
        QCOMPARE(run(args).code, 0);
        const qint64 size = QFileInfo(out).size();
        QVERIFY2(size > 1024 && size < 16384, qPrintable(QString::number(size)));
        const QByteArray previous("an older picture");
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(previous), previous.size());
        f.close();
        const qint64 limit = size - 1;
        const Run r = run(args, true, [limit] { FileSizeLimit::applyInChild(limit); });
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("dump-preview: save failed: " + out.toUtf8() + "\n"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), previous);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList({"page.png", "small.zconf2"}));
    }
};

KORV_TEST_MAIN(DumpPreviewTest)
#include "tst_dumppreview.moc"
