#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "model/SafeWrite.h"
#include "support/ConfigFixture.h"
#include "support/FileSizeLimit.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Far below every file the writers make here, far above nothing: each write
// of a new file fails part-way, as on a full disk.
constexpr qint64 kLimit = 64;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writePlain(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

QImage noise(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    quint32 seed = 7;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            image.setPixel(x, y, 0xff000000u | (seed >> 8));
        }
    }
    return image;
}

ConfigFixture pagedFixture()
{
    ConfigFixture fixture;
    fixture.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80)
                                           .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                                           .add(Fx::digit("d1", 0, 0, 200, 60, "a1")));
    return fixture;
}

QMap<QString, BarColorRecord> manyBars()
{
    QMap<QString, BarColorRecord> records;
    for (int i = 0; i < 20; ++i)
        records.insert(QStringLiteral("bar%1").arg(i), BarColorRecord{true, 1.5, "Bar Colors/x", ""});
    return records;
}

} // namespace

// Every writer, run where no file may grow past a few bytes, says it failed
// and leaves the file it would have replaced as it was.
class FailedWritesTest : public QObject {
    Q_OBJECT

private:
    struct Case {
        QString watched;                 // the file that must survive
        std::function<bool()> write;     // the writer, run under the limit
        std::unique_ptr<DashConfig> config;
    };

    // An opened configuration whose files the writers replace.
    std::unique_ptr<DashConfig> openFixture(const QString& dir)
    {
        auto config = std::make_unique<DashConfig>();
        const QString path = dir + "/race.zconf2";
        if (!pagedFixture().writeZip(path) || !config->load(path))
            return nullptr;
        return config;
    }

    Case prepare(const QString& writer, const QString& dir)
    {
        Case c;
        if (writer == "helper") {
            c.watched = dir + "/file.bin";
            writePlain(c.watched, "previous");
            c.write = [path = c.watched] { return writeFileSafely(path, QByteArray(1000, 'x')); };
        } else if (writer == "artwork file") {
            c.watched = dir + "/art/mask.png";
            QDir().mkpath(dir + "/art");
            writePlain(c.watched, "previous");
            c.write = [path = c.watched] { return writeFileBytes(path, QByteArray(1000, 'x')); };
        } else if (writer == "artwork copy") {
            c.watched = dir + "/copy.png";
            writePlain(c.watched, "previous");
            writePlain(dir + "/source.png", QByteArray(1000, 's'));
            c.write = [dir, path = c.watched] { return copyFileOver(dir + "/source.png", path); };
        } else if (writer == "tgz") {
            c.watched = dir + "/bkg.tgz";
            writePlain(c.watched, "previous");
            noise(32, 24).save(dir + "/bkg.png", "PNG");
            c.write = [dir, path = c.watched] { return generateBkgTgz(dir + "/bkg.png", path, 32, 24); };
        } else {
            c.config = openFixture(dir);
            if (!c.config)
                return c;
            DashConfig* config = c.config.get();
            if (writer == "device XML") {
                c.watched = config->devices.front()->filePath;
                config->pages.front().masks.front().x += 5;
                c.write = [config] { return config->writeDeviceDocument(config->devices.front()); };
            } else if (writer == "archive") {
                c.watched = config->zconf2Path;
                c.write = [config] { return config->writeZconf2(config->extractDir, config->zconf2Path); };
            } else if (writer == "save") {
                c.watched = config->zconf2Path;
                config->pages.front().masks.front().x += 5;
                c.write = [config] { return config->save(config->zconf2Path); };
            } else if (writer == "config name") {
                c.watched = config->findAimcfg(config->extractDir);
                config->setConfigName(QString(200, 'N'));
                c.write = [config] { return config->writeConfigNameToAimcfg() || !config->renamePending; };
            } else if (writer == "bar colours") {
                c.watched = config->barColorSidecarPath();
                config->saveBarColorSidecar({{"bar0", BarColorRecord{true, 1, "x", ""}}});
                c.write = [config] { return config->saveBarColorSidecar(manyBars()); };
            } else if (writer == "box styles") {
                c.watched = config->boxStylesSidecarPath();
                // These records wait for the save, whose write is the one tried.
                config->saveBoxStyleSidecar({{"a", BoxStyleRecord{"clean", "p", 0, true, "", 0, 0}}});
                config->writeStagedRecords();
                c.write = [config] {
                    return config->saveBoxStyleSidecar(
                               {{"a", BoxStyleRecord{"carbon", "Box Styles/carbon", 0xff112233u, false, "RPM", 2, 0}},
                                {"b", BoxStyleRecord{"clean", "Box Styles/clean", 0, true, "Speed", 0, 0}}})
                        && config->writeStagedRecords();
                };
            } else if (writer == "multi-value boxes") {
                c.watched = config->multiBoxSidecarPath();
                config->saveMultiBoxEntry("mbox0", 1, 1, "");
                config->writeStagedRecords();
                c.write = [config] {
                    return config->saveMultiBoxEntry("mbox1", 2, 3, "above") && config->writeStagedRecords();
                };
            } else if (writer == "icon previews") {
                c.watched = config->iconPreviewSidecarPath();
                config->saveIconPreviewSidecar({{"icon0", IconPreviewRecord{"fuel"}}});
                config->writeStagedRecords();
                c.write = [config] {
                    return config->saveIconPreviewSidecar(
                               {{"icon0", IconPreviewRecord{"fuel"}}, {"icon1", IconPreviewRecord{"battery-warning"}}})
                        && config->writeStagedRecords();
                };
            }
        }
        return c;
    }

private Q_SLOTS:
    void writerFailsAndKeepsThePreviousFile_data()
    {
        QTest::addColumn<QString>("writer");
        for (const char* writer : {"helper", "artwork file", "artwork copy", "tgz", "device XML", "archive", "save",
                                   "config name", "bar colours", "box styles", "multi-value boxes", "icon previews"})
            QTest::newRow(writer) << QString::fromLatin1(writer);
    }

    void writerFailsAndKeepsThePreviousFile()
    {
        QFETCH(QString, writer);
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("limited"));
        Case c = prepare(writer, dir);
        QVERIFY(c.write);
        QVERIFY(QFileInfo(c.watched).isFile());
        const QByteArray before = readAll(c.watched);
        const QStringList filesBefore = QDir(QFileInfo(c.watched).path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(FileSizeLimit::run(kLimit, c.write), FileSizeLimit::Outcome::ReportedFailure);
        QCOMPARE(readAll(c.watched), before);
        QCOMPARE(QDir(QFileInfo(c.watched).path()).entryList(QDir::Files | QDir::Hidden), filesBefore);
        // Without the limit the same writer succeeds: the failure above was the disk's.
        QCOMPARE(FileSizeLimit::run(qint64(1) << 30, c.write), FileSizeLimit::Outcome::ReportedSuccess);
    }

    // What the user reads names the real cause, the system's own words for
    // a write that met the limit ("File too large"), not a bare "could not"
    // or "Unknown error": a large write cut short part way, a save, and an
    // open whose temporary folder fills up (the archive itself is fine).
    void failuresGiveTheSystemsReason_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("large write") << "helper" << "cannot write %1/big.bin: File too large";
        QTest::newRow("save") << "save" << "Could not write %1/race.zconf2: %1/race.zconf2.tmp: File too large";
        QTest::newRow("save of an edit") << "edit"
                                         << "Could not write the device file dash/overlay.ov3.xml: cannot write ";
        QTest::newRow("open") << "open" << " could not be unpacked into the temporary folder ";
    }

    void failuresGiveTheSystemsReason()
    {
        QFETCH(QString, writer);
        QFETCH(QString, expected);
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("limited"));
        std::function<bool(QString*)> write;
        std::unique_ptr<DashConfig> config = openFixture(dir);
        QVERIFY(config);
        if (writer == "helper") {
            write = [dir](QString* error) { return writeFileSafely(dir + "/big.bin", QByteArray(1 << 20, 'x'), error); };
        } else if (writer == "save" || writer == "edit") {
            // Once saved, an unchanged device file is not written again:
            // then only the archive meets the limit.
            QVERIFY(config->save(config->zconf2Path));
            if (writer == "edit")
                config->pages.front().masks.front().x += 5;
            write = [&config](QString* error) { return config->save(config->zconf2Path, error); };
        } else {
            write = [&config](QString* error) {
                qputenv("TMPDIR", QFile::encodeName(TestEnvironment::makeTempDir(QStringLiteral("tmp"))));
                DashConfig other;
                return other.load(config->zconf2Path, error);
            };
        }
        QString error;
        QCOMPARE(FileSizeLimit::run(kLimit, write, &error), FileSizeLimit::Outcome::ReportedFailure);
        QVERIFY2(error.contains(expected.arg(dir)), qPrintable(error));
        if (writer == "open" || writer == "edit")
            QVERIFY2(error.endsWith(": File too large"), qPrintable(error));
    }
};

KORV_GUI_TEST_MAIN(FailedWritesTest)
#include "tst_failedwrites.moc"
