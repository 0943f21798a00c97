#include "model/DashConfig.h"
#include "model/ZipArchive.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>
#include <cstring>

Q_DECLARE_METATYPE(ConfigFixture)

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void markAllDirty(DashConfig& config)
{
    for (int i = 0; i < config.pageCount(); ++i)
        config.markPageDirty(i);
}

// The element with attribute i == id, first in document order.
pugi::xml_node elementById(const pugi::xml_document& doc, const QString& id)
{
    const QByteArray wanted = id.toUtf8();
    return doc.find_node([&](pugi::xml_node n) {
        return std::strcmp(n.name(), "e") == 0 && wanted == n.attribute("i").value();
    });
}

// A mask element with the four geometry parameters given as raw text.
FixtureElement rawMask(const QString& id, const QString& x)
{
    return FixtureElement("GMaskParam", id).p("XPOS", x).p("YPOS", "0").p("WIDTH", "100").p("HEIGHT", "50");
}

ConfigFixture oneMask(const FixtureElement& mask)
{
    ConfigFixture cfg;
    cfg.device().page("P").mask(mask);
    return cfg;
}

ConfigFixture legacyCode(const QString& tipo, const QString& invalid, const QString& fidOk = "RPM")
{
    FixtureElement axis = Fx::axis("ax", QString());
    if (!fidOk.isEmpty())
        axis.p("FID_OK", fidOk);
    axis.p("TipoDevConten", tipo);
    if (!invalid.isEmpty())
        axis.p("invalid", invalid);
    return oneMask(Fx::mask("m1", 0, 0, 10, 10).add(axis));
}

void applyEdit(DashConfig& config, const QString& edit)
{
    MaskElement& mask = config.pages[0].masks[0];
    if (edit == "move widget") {
        mask.widgets[0].x = 7;
        mask.widgets[0].y = 8;
    } else if (edit == "move mask") {
        mask.x = 11;
    } else if (edit == "drop last widget record") {
        mask.widgets.pop_back();
    } else if (edit == "drop last mask record") {
        config.pages[0].masks.pop_back();
    } else if (edit == "drop last page record") {
        config.pages.pop_back();
    }
}

QImage filled(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    return image;
}

// Every entry of the archive as stored: its deflated bytes, CRC and size.
QMap<QString, QByteArray> storedEntries(const QString& path)
{
    QMap<QString, QByteArray> out;
    unzFile zip = openZipForRead(path);
    if (!zip)
        return out;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[512] = {};
        unz_file_info64 info;
        unzGetCurrentFileInfo64(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0);
        int method = 0;
        int level = 0;
        QByteArray raw(qsizetype(info.compressed_size), '\0');
        if (unzOpenCurrentFile2(zip, &method, &level, 1) == UNZ_OK) {
            unzReadCurrentFile(zip, raw.data(), unsigned(raw.size()));
            unzCloseCurrentFile(zip);
        }
        out.insert(QString::fromUtf8(name), QByteArray::number(method) + '/' + QByteArray::number(quint64(info.crc))
                                                + '/' + QByteArray::number(quint64(info.uncompressed_size)) + '/' + raw);
    }
    unzClose(zip);
    return out;
}

// A configuration with art beside its device file.
ConfigFixture withArt()
{
    ConfigFixture cfg = oneMask(Fx::mask("m1", 1, 2, 3, 4));
    cfg.file("art/a.png", TestFiles::pngBytes(QSize(64, 32), Qt::darkCyan));
    cfg.file("art/b.tgz", QByteArray(5000, 'x'));
    return cfg;
}

} // namespace

class SaveTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTripKeepsRecords_data()
    {
        QTest::addColumn<ConfigFixture>("fixture");
        for (const auto& sample : ConfigFixture::samples())
            QTest::newRow(qPrintable(sample.first)) << sample.second;
    }

    void roundTripKeepsRecords()
    {
        QFETCH(ConfigFixture, fixture);
        const QString path = fixture.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        markAllDirty(config);
        const QByteArray before = ConfigSnapshot::records(config);

        QString error;
        QVERIFY2(config.save(path, &error), qPrintable(error));
        QVERIFY(error.isEmpty());
        QCOMPARE(config.zconf2Path, path);

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(ConfigSnapshot::records(reopened), before);
        QCOMPARE(ConfigSnapshot::documents(reopened), ConfigSnapshot::documents(config));
    }

    void secondSaveWritesSameBytes_data() { roundTripKeepsRecords_data(); }

    void secondSaveWritesSameBytes()
    {
        QFETCH(ConfigFixture, fixture);
        const QString path = fixture.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        markAllDirty(config);
        QVERIFY(config.save(path));
        const QMap<QString, QByteArray> first = ZipFixture::readZip(path);
        QVERIFY(config.save(path));
        QCOMPARE(ZipFixture::readZip(path), first);

        // The same again after reopening the saved file.
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        markAllDirty(reopened);
        QVERIFY(reopened.save(path));
        QCOMPARE(ZipFixture::readZip(path), first);
        for (const DeviceFile* device : config.devices) {
            const QString rel = QDir(config.extractDir).relativeFilePath(device->filePath);
            QVERIFY(first.value(rel).startsWith("<?xml version=\"1.0\"?>\n<overlay_cli>\n  <e"));
        }
    }

    void onlyDirtyDeviceFileIsRewritten()
    {
        ConfigFixture fixture;
        fixture.device().folder = "dash1";
        fixture.device().dashNumber = 1;
        fixture.device().page("One").mask(Fx::mask("m1", 1, 1, 50, 50).add(Fx::label("l1", "one", 0, 0, 50, 50)));
        FixtureDevice& second = fixture.addDevice("dash2");
        second.dashNumber = 2;
        second.page("Two").mask(Fx::mask("m2", 2, 2, 60, 60).add(Fx::label("l2", "two", 0, 0, 60, 60)));
        const QString path = fixture.writeTempZip();
        const QMap<QString, QByteArray> original = fixture.files();

        DashConfig config;
        QVERIFY(config.load(path));
        QCOMPARE(config.pages[1].name, QString("Two"));
        config.pages[1].masks[0].x = 33;
        config.markPageDirty(1);
        QVERIFY(config.save(path));

        const QMap<QString, QByteArray> saved = ZipFixture::readZip(path);
        QCOMPARE(saved.value("dash1/overlay.ov3.xml"), original.value("dash1/overlay.ov3.xml"));
        QVERIFY(saved.value("dash2/overlay.ov3.xml") != original.value("dash2/overlay.ov3.xml"));
        QVERIFY(saved.value("dash2/overlay.ov3.xml").contains("<p n=\"XPOS\">33</p>"));
        // Saving leaves the flag set: the file is written at every later save.
        QVERIFY(config.devices[1]->dirty);
        QVERIFY(!config.devices[0]->dirty);
    }

    void onlyDeviceFileIsAlwaysWritten()
    {
        ConfigFixture fixture = oneMask(Fx::mask("m1", 1, 2, 3, 4));
        const QString path = fixture.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        QVERIFY(!config.devices[0]->dirty);
        QVERIFY(config.save(path));
        QVERIFY(ZipFixture::readZip(path).value("dash/overlay.ov3.xml").startsWith("<?xml version=\"1.0\"?>\n"));
    }

    void previousArchiveKeptAsBackup()
    {
        const QString path = oneMask(Fx::mask("m1", 1, 2, 3, 4)).writeTempZip();
        const QByteArray original = readFile(path);
        DashConfig config;
        QVERIFY(config.load(path));
        QVERIFY(config.save(path));
        QCOMPARE(readFile(path + ".bak"), original);
        QVERIFY(readFile(path) != original);
        QVERIFY(!QFileInfo::exists(path + ".tmp"));

        const QString other = QFileInfo(path).absolutePath() + "/other.zconf2";
        QVERIFY(config.save(other));
        QVERIFY(!QFileInfo::exists(other + ".bak"));
        QCOMPARE(config.zconf2Path, path);
    }

    // Saved through a link (two deep), the archive the link leads to is
    // replaced, its backup kept beside it, and the link stays a link.
    void saveThroughLinkReplacesItsTarget()
    {
        const QString path = oneMask(Fx::mask("m1", 1, 2, 3, 4)).writeTempZip();
        const QByteArray original = readFile(path);
        const QString links = TestEnvironment::makeTempDir();
        QVERIFY(QFile::link(path, links + "/inner.zconf2"));
        QVERIFY(QFile::link(links + "/inner.zconf2", links + "/outer.zconf2"));
        DashConfig config;
        QVERIFY(config.load(links + "/outer.zconf2"));
        QVERIFY(config.save(links + "/outer.zconf2"));
        QCOMPARE(QFileInfo(links + "/outer.zconf2").symLinkTarget(), links + "/inner.zconf2");
        QCOMPARE(QFileInfo(links + "/inner.zconf2").symLinkTarget(), path);
        QCOMPARE(readFile(path + ".bak"), original);
        QVERIFY(readFile(path) != original);
        QCOMPARE(QDir(links).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList({"inner.zconf2", "outer.zconf2"}));
    }

    void nothingOpenFails()
    {
        DashConfig config;
        QString error;
        QVERIFY(!config.save(TestEnvironment::makeTempDir() + "/x.zconf2", &error));
        QVERIFY(!error.isEmpty());
    }

    void saveOntoFolderIsRefused()
    {
        const QString path = oneMask(Fx::mask("m1", 1, 2, 3, 4)).writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        const QString folder = QFileInfo(path).absolutePath() + "/folder.zconf2";
        QVERIFY(QDir().mkpath(folder + "/inside"));
        QString error;
        QVERIFY(!config.save(folder, &error));
        QCOMPARE(error, folder + " is a folder; choose a file name to save to.");
        QVERIFY(QFileInfo(folder + "/inside").isDir());
        QVERIFY(!QFileInfo::exists(folder + ".bak"));
        QVERIFY(!QFileInfo::exists(folder + ".tmp"));
        // The archive writer refuses it as well, whoever calls it.
        QVERIFY(!config.writeZconf2(config.extractDir, folder));
        QVERIFY(QFileInfo(folder + "/inside").isDir());
    }

    void failedDeviceWriteKeepsArchive()
    {
        const QString path = oneMask(Fx::mask("m1", 1, 2, 3, 4)).writeTempZip();
        const QByteArray original = readFile(path);
        DashConfig config;
        QVERIFY(config.load(path));
        // A folder where the device file should go makes the write fail.
        const QString deviceFile = config.devices[0]->filePath;
        QVERIFY(QFile::remove(deviceFile));
        QVERIFY(QDir().mkpath(deviceFile + "/blocker"));

        QString error;
        QVERIFY(!config.save(path, &error));
        QVERIFY(error.contains("dash/overlay.ov3.xml"));
        QCOMPARE(readFile(path), original);
        QVERIFY(!QFileInfo::exists(path + ".bak"));
        // No half-written file was left beside it for a later save to pack.
        QCOMPARE(QDir(QFileInfo(deviceFile).absolutePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"overlay.ov3.xml"});
    }

    // Files not written since the open are stored exactly as the archive
    // held them (copied, not compressed again); the others are packed anew.
    void unchangedEntriesAreCopiedAsStored()
    {
        // Deflated at the fastest level: packing anew (at zlib's default)
        // would give other bytes than copying.
        const QString path = withArt().writeTempZip();
        QList<ZipFixtureEntry> entries;
        const QMap<QString, QByteArray> files = ZipFixture::readZip(path);
        for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
            ZipFixtureEntry entry{it.key().toUtf8(), it.value()};
            entry.level = 1;
            entries.append(entry);
        }
        QVERIFY(ZipFixture::writeZip(path, entries));
        QMap<QString, QByteArray> original = storedEntries(path);
        QVERIFY(original.value("art/b.tgz").startsWith("8/"));
        DashConfig config;
        QVERIFY(config.load(path));
        QVERIFY(config.save(path));
        // The only device file is written at every save (in pugixml's layout,
        // not the fixture's), so it is packed anew.
        QMap<QString, QByteArray> saved = storedEntries(path);
        QVERIFY(saved.take("dash/overlay.ov3.xml") != original.take("dash/overlay.ov3.xml"));
        QCOMPARE(saved.keys(), original.keys());
        QCOMPARE(saved, original);
        // Saved again: now the device file too is as the archive holds it.
        const QMap<QString, QByteArray> first = storedEntries(path);
        QVERIFY(config.save(path));
        QCOMPARE(storedEntries(path), first);

        // The art is rewritten in place with other bytes of the same size,
        // and the mask moves: both are packed from the folder.
        QByteArray art = readFile(config.extractDir + "/art/b.tgz");
        art[0] = 'y';
        QFile out(config.extractDir + "/art/b.tgz");
        QVERIFY(out.open(QIODevice::ReadWrite) && out.write(art) == art.size());
        out.close();
        config.pages[0].masks[0].x = 9;
        config.markPageDirty(0);
        QVERIFY(config.save(path));
        QCOMPARE(ZipFixture::readZip(path).value("art/b.tgz"), art);
        QCOMPARE(storedEntries(path).value("art/a.png"), original.value("art/a.png"));
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(reopened.pages[0].masks[0].x, 9);
        QCOMPARE(ZipFixture::readTree(reopened.extractDir), ZipFixture::readTree(config.extractDir));
    }

    // An entry whose directory claims more stored bytes than the file holds
    // still opens (its deflate stream ends early); the save packs it anew
    // rather than copying past the end of the archive.
    void overstatedStoredSizeIsPackedAnew()
    {
        ConfigFixture cfg = oneMask(Fx::mask("m1", 1, 2, 3, 4));
        // Incompressible bytes after the entry, so that the reader's first
        // read of the claimed size finds enough of them.
        QList<quint32> noise(8000);
        QRandomGenerator(7).fillRange(noise.data(), noise.size());
        cfg.file("art/a.png", QByteArray(3000, 'a'));
        cfg.file("art/b.bin", QByteArray(reinterpret_cast<const char*>(noise.constData()), noise.size() * 4));
        const QString path = cfg.writeTempZip();
        QByteArray bytes = readFile(path);
        const quint32 claimed = quint32(bytes.size() + 4096);
        // The name's first place is in the entry's own header, its last in
        // the central directory.
        const qsizetype local = bytes.indexOf("art/a.png") - 30;
        const qsizetype central = bytes.lastIndexOf("art/a.png") - 46;
        QCOMPARE(bytes.mid(local, 4), QByteArray("PK\x03\x04"));
        QCOMPARE(bytes.mid(central, 4), QByteArray("PK\x01\x02"));
        qToLittleEndian(claimed, bytes.data() + local + 18);
        qToLittleEndian(claimed, bytes.data() + central + 20);
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size());
        out.close();
        DashConfig config;
        QVERIFY(config.load(path));
        QString error;
        QVERIFY2(config.save(path, &error), qPrintable(error));
        QCOMPARE(ZipFixture::readZip(path).value("art/a.png"), QByteArray(3000, 'a'));
    }

    // The archive the entries would come from was replaced after the open:
    // nothing is copied from it, every file is packed from the folder.
    void replacedSourceArchiveIsNotCopied()
    {
        const QString path = withArt().writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        ConfigFixture other = withArt();
        other.file("art/a.png", TestFiles::pngBytes(QSize(32, 64), Qt::darkCyan));
        QVERIFY(other.writeZip(path));
        const QString target = TestEnvironment::makeTempDir() + "/copy.zconf2";
        QVERIFY(config.save(target));
        QCOMPARE(ZipFixture::readZip(target).value("art/a.png"), TestFiles::pngBytes(QSize(64, 32), Qt::darkCyan));
    }

    void failedArchiveWriteKeepsArchive()
    {
        const QString path = oneMask(Fx::mask("m1", 1, 2, 3, 4)).writeTempZip();
        const QByteArray original = readFile(path);
        DashConfig config;
        QVERIFY(config.load(path));
        QVERIFY(QDir().mkpath(path + ".tmp/blocker"));
        QString error;
        QVERIFY(!config.save(path, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(path), original);
        QVERIFY(!QFileInfo::exists(path + ".bak"));
    }

    void passes_data()
    {
        QTest::addColumn<ConfigFixture>("fixture");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("typeCode");
        QTest::addColumn<QString>("deviceName");
        QTest::addColumn<QStringList>("expected");

        // Unreferenced channel removal.
        QTest::newRow("bound axes without references go, unbound stay")
            << oneMask(Fx::mask("m1", 0, 0, 10, 10)
                           .add(Fx::axis("a1", "RPM"))
                           .add(Fx::axis("a2", ""))
                           .add(Fx::digit("d1", 0, 0, 10, 10)))
            << "" << -1 << "" << QStringList{"a1:gone", "a2:kept", "d1:kept"};
        QTest::newRow("reference from any class protects")
            << oneMask(Fx::mask("m1", 0, 0, 10, 10)
                           .add(Fx::axis("a1", "RPM"))
                           .add(Fx::axis("a2", "Speed"))
                           .add(FixtureElement("Cursore", "c1").p("AXIS_REF", "a1")))
            << "" << -1 << "" << QStringList{"a1:kept", "a2:gone"};
        QTest::newRow("references trimmed, every AXIS_REF counts")
            << oneMask(Fx::mask("m1", 0, 0, 10, 10)
                           .add(FixtureElement("Axis", " a1 ").p("lnm", "RPM"))
                           .add(Fx::axis("a2", "Speed"))
                           .add(Fx::axis("a3", "Gear"))
                           .add(Fx::digit("d1", 0, 0, 10, 10).p("AXIS_REF", "a1 ").p("AXIS_REF", "a2")))
            << "" << -1 << "" << QStringList{" a1 :kept", "a2:kept", "a3:gone"};
        QTest::newRow("references count per mask")
            << [] {
                   ConfigFixture cfg;
                   cfg.device().page("P")
                       .mask(Fx::mask("m1", 0, 0, 10, 10).add(Fx::axis("a1", "RPM")))
                       .mask(Fx::mask("m2", 0, 0, 10, 10).add(Fx::axis("a2", "RPM")).add(Fx::digit("d2", 0, 0, 1, 1, "a1")));
                   return cfg;
               }()
            << "" << -1 << "" << QStringList{"a1:gone", "a2:gone"};

        // Legacy device code repair.
        QTest::newRow("25 becomes the device code") << legacyCode("25", "") << "" << 7 << ""
                                                    << QStringList{"ax/TipoDevConten=7"};
        QTest::newRow("14 becomes the device code") << legacyCode(" 14 ", "0") << "" << 7 << ""
                                                    << QStringList{"ax/TipoDevConten=7"};
        QTest::newRow("invalid channel keeps 25") << legacyCode("25", "1") << "" << 7 << ""
                                                  << QStringList{"ax/TipoDevConten=25"};
        QTest::newRow("38 is left alone") << legacyCode("38", "") << "" << 7 << ""
                                          << QStringList{"ax/TipoDevConten=38"};
        QTest::newRow("no FID_OK keeps 25") << legacyCode("25", "", "") << "" << 7 << ""
                                            << QStringList{"ax/TipoDevConten=25"};
        QTest::newRow("no device code keeps 25") << legacyCode("25", "") << "" << -1 << ""
                                                 << QStringList{"ax/TipoDevConten=25"};
        QTest::newRow("code from the device name") << legacyCode("25", "") << "" << -1 << "MXS 1.2"
                                                   << QStringList{"ax/TipoDevConten=14"};

        // Geometry and style write-back.
        QTest::newRow("widget position keeps its tail")
            << oneMask(rawMask("m1", "1").add(FixtureElement("Digit", "d1").p("XPOS", "120,35").p("YPOS", ",35")))
            << "move widget" << -1 << "" << QStringList{"d1/XPOS=7,35", "d1/YPOS=8"};
        QTest::newRow("mask position replaced whole")
            << oneMask(rawMask("m1", "5,9").add(Fx::label("l1", "x", 0, 0, 1, 1))) << "" << -1 << ""
            << QStringList{"m1/XPOS=5", "m1/WIDTH=100"};
        QTest::newRow("mask geometry follows the record")
            << oneMask(rawMask("m1", "5")) << "move mask" << -1 << "" << QStringList{"m1/XPOS=11"};
        QTest::newRow("geometry added when missing")
            << oneMask(FixtureElement("GMaskParam", "m1").p("XPOS", "4")) << "" << -1 << ""
            << QStringList{"m1/XPOS=4", "m1/YPOS=0", "m1/WIDTH=0", "m1/HEIGHT=0"};
        QTest::newRow("page beyond the records untouched")
            << [] {
                   ConfigFixture cfg;
                   cfg.device().page("A").mask(rawMask("m1", "007"));
                   cfg.device().page("B").mask(
                       rawMask("m2", "0012").add(Fx::digit("d2", 3, 0, 1, 1).p("XPOS_FW", "9")));
                   return cfg;
               }()
            << "drop last page record" << -1 << "" << QStringList{"m1/XPOS=7", "m2/XPOS=0012", "d2/XPOS_FW=3"};
        QTest::newRow("mask beyond the records untouched")
            << [] {
                   ConfigFixture cfg;
                   cfg.device().page("A").mask(rawMask("m1", "007")).mask(rawMask("m2", "0012"));
                   return cfg;
               }()
            << "drop last mask record" << -1 << "" << QStringList{"m1/XPOS=7", "m2/XPOS=0012"};
        QTest::newRow("digit without record takes the mask's digit style")
            << oneMask(rawMask("m1", "0")
                           .add(Fx::digit("d1", 0, 0, 1, 1).p("CHAR_SET_ID_2", "Font_H24").p("CHARSET_DIM", 24).p("COLORE", "0xFFFF0000"))
                           .add(Fx::digit("d2", 5, 0, 1, 1).p("CHAR_SET_ID_2", "X_H10").p("CHARSET_DIM", 10).p("COLORE", "0xFF0000FF")))
            << "drop last widget record" << -1 << ""
            << QStringList{"d1/COLORE=0xffff0000", "d2/CHAR_SET_ID_2=Font_H24", "d2/CHARSET_DIM=24",
                           "d2/COLORE=0xffff0000", "d2/XPOS=5"};
        QTest::newRow("third label takes the mask's label style")
            << oneMask(rawMask("m1", "0")
                           .add(Fx::label("l1", "one", 0, 0, 1, 1).p("CHAR_SET_ID_2", "F_12x16").p("CHARSET_DIM", 16).p("COLORE", "0x80112233"))
                           .add(Fx::label("l2", "two", 0, 0, 1, 1))
                           .add(Fx::label("l3", "three", 40, 0, 1, 1).p("CHAR_SET_ID_2", "G_H9").p("CHARSET_DIM", 9).p("COLORE", "0xFF000000")))
            << "drop last widget record" << -1 << ""
            << QStringList{"l3/CHAR_SET_ID_2=F_12x16", "l3/CHARSET_DIM=16", "l3/COLORE=0x80112233", "l3/XPOS=40",
                           "l3/TEXT=three"};
        QTest::newRow("other classes are not widgets")
            << oneMask(rawMask("m1", "0")
                           .add(Fx::icon("i1", 9, 9, 9, 9))
                           .add(Fx::label("l1", "x", 1, 1, 1, 1))
                           .add(Fx::bargraph("b1", 2, 2, 2, 2).p("COLORE", "0xFF00FF00").p("CHARSET_DIM", 5)))
            << "drop last widget record" << -1 << ""
            << QStringList{"i1/XPOS=9", "l1/XPOS=1", "b1/COLORE=0xFF00FF00", "b1/CHARSET_DIM=5"};
        QTest::newRow("missing parameters are not created")
            << oneMask(rawMask("m1", "0").add(FixtureElement("Digit", "d1").p("XPOS", "1").p("COLORE", "0xFF00FF00")))
            << "" << -1 << ""
            << QStringList{"d1/COLORE=0xff00ff00", "d1/YPOS:absent", "d1/POS_ALIGN:absent", "d1/CHARSET_DIM:absent"};

        // Firmware position sync.
        QTest::newRow("firmware positions follow the element's own")
            << oneMask(rawMask("m1", "3").p("XPOS_FW", "99")
                           .add(Fx::digit("d1", 10, 20, 1, 1).p("XPOS_FW", "99"))
                           .add(Fx::icon("i1", 4, 5, 1, 1).p("XPOS_FW", "0").p("YPOS_FW", "0")))
            << "move widget" << -1 << ""
            << QStringList{"d1/XPOS_FW=7", "d1/YPOS_FW:absent", "i1/XPOS_FW=4", "i1/YPOS_FW=5", "m1/XPOS_FW=99"};
    }

    void passes()
    {
        QFETCH(ConfigFixture, fixture);
        QFETCH(QString, edit);
        QFETCH(int, typeCode);
        QFETCH(QString, deviceName);
        QFETCH(QStringList, expected);

        const QString path = fixture.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        config.typeCode = typeCode;
        config.deviceName = deviceName;
        applyEdit(config, edit);
        QVERIFY(config.save(path));

        const QByteArray xml = ZipFixture::readZip(path).value("dash/overlay.ov3.xml");
        pugi::xml_document doc;
        QVERIFY(doc.load_buffer(xml.constData(), size_t(xml.size())));
        for (const QString& check : expected) {
            const int colon = check.lastIndexOf(':');
            const int slash = check.indexOf('/');
            const QString id = check.left(slash >= 0 ? slash : colon);
            const pugi::xml_node element = elementById(doc, id);
            if (check.endsWith(":gone")) {
                QVERIFY2(!element, qPrintable(check));
                continue;
            }
            QVERIFY2(element, qPrintable(check));
            if (check.endsWith(":kept"))
                continue;
            const QString rest = check.mid(slash + 1);
            if (rest.endsWith(":absent")) {
                const QByteArray name = rest.chopped(7).toUtf8();
                QVERIFY2(!element.find_child_by_attribute("p", "n", name.constData()), qPrintable(check));
                continue;
            }
            const QByteArray name = rest.section('=', 0, 0).toUtf8();
            const pugi::xml_node param = element.find_child_by_attribute("p", "n", name.constData());
            QVERIFY2(param, qPrintable(check));
            QCOMPARE(QString::fromUtf8(param.text().get()), rest.section('=', 1));
        }
    }

    void previewPictures_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QSize>("rendered");
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("refreshed");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("both pictures") << QStringList{"_preview.png", "preview.png"} << QSize(800, 480) << 1 << 1
                                       << QStringList{"_preview.png=800x480", "preview.png=150x90"};
        QTest::newRow("only the small picture") << QStringList{"preview.png"} << QSize(800, 480) << 1 << 1
                                                << QStringList{"preview.png=150x90", "_preview.png=absent"};
        QTest::newRow("neither picture") << QStringList{} << QSize(800, 480) << 0 << 0
                                         << QStringList{"preview.png=absent", "_preview.png=absent"};
        QTest::newRow("thin page") << QStringList{"preview.png"} << QSize(3000, 1) << 1 << 1
                                   << QStringList{"preview.png=150x1"};
        QTest::newRow("rounded height") << QStringList{"preview.png"} << QSize(400, 242) << 1 << 1
                                        << QStringList{"preview.png=150x91"};
        QTest::newRow("null image changes nothing") << QStringList{"_preview.png", "preview.png"} << QSize() << 1 << 0
                                                    << QStringList{"_preview.png=10x10", "preview.png=10x10"};
        QTest::newRow("preview rows folder")
            << QStringList{"preview.png", "TmpPrwRows/preview.png"} << QSize(800, 480) << 1 << 1
            << QStringList{"preview.png=150x90", "TmpPrwRows/preview.png=150x90", "TmpPrwRows/_preview.png=absent"};
    }

    void previewPictures()
    {
        QFETCH(QStringList, existing);
        QFETCH(QSize, rendered);
        QFETCH(int, calls);
        QFETCH(int, refreshed);
        QFETCH(QStringList, expected);

        ConfigFixture fixture;
        fixture.device().page("A");
        fixture.device().page("B");
        // A second device file without pictures is never rendered.
        fixture.addDevice("other").page("C");
        for (const QString& name : existing)
            fixture.file("dash/" + name, TestFiles::pngBytes(QSize(10, 10), Qt::darkCyan));
        DashConfig config;
        QVERIFY(config.load(fixture.writeTempZip()));

        QList<int> pagesAsked;
        config.pageRenderer = [&](int page) {
            pagesAsked << page;
            return rendered.isValid() ? filled(rendered) : QImage();
        };
        QCOMPARE(config.refreshPreviewImages(), refreshed);
        QCOMPARE(pagesAsked.size(), calls);
        if (calls)
            QCOMPARE(pagesAsked.first(), 0);

        const QString folder = QFileInfo(config.devices[0]->filePath).absolutePath();
        for (const QString& check : expected) {
            const QString file = folder + '/' + check.section('=', 0, 0);
            const QString want = check.section('=', 1);
            if (want == "absent") {
                QVERIFY2(!QFileInfo::exists(file), qPrintable(check));
                continue;
            }
            const QImage image(file);
            QVERIFY2(!image.isNull(), qPrintable(check));
            QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), want);
        }
    }

    void previewPicturesWithoutRenderer()
    {
        ConfigFixture fixture;
        fixture.device().page("A");
        fixture.file("dash/preview.png", TestFiles::pngBytes(QSize(10, 10), Qt::darkCyan));
        DashConfig config;
        QVERIFY(config.load(fixture.writeTempZip()));
        QCOMPARE(config.refreshPreviewImages(), 0);
        QCOMPARE(QImage(config.extractDir + "/dash/preview.png").size(), QSize(10, 10));
    }

    void previewPicturesAreSaved()
    {
        ConfigFixture fixture;
        fixture.device().page("A");
        fixture.file("dash/preview.png", TestFiles::pngBytes(QSize(10, 10), Qt::darkCyan));
        const QString path = fixture.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        // A read-only picture is made writable before it is replaced.
        QVERIFY(QFile::setPermissions(config.extractDir + "/dash/preview.png", QFileDevice::ReadOwner));
        config.pageRenderer = [](int) { return filled(QSize(800, 480)); };
        QVERIFY(config.save(path));
        const QImage saved = QImage::fromData(ZipFixture::readZip(path).value("dash/preview.png"));
        QCOMPARE(saved.size(), QSize(150, 90));
    }

    void demoConfigurationRoundTrip()
    {
        const QString work = TestEnvironment::makeTempDir("demo");
        const QString path = ConfigFixture::demoArchiveCopy(work);
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");

        DashConfig config;
        QString error;
        QVERIFY2(config.load(path, &error), qPrintable(error));
        QCOMPARE(config.pageCount(), 3);
        const QByteArray before = ConfigSnapshot::records(config);
        QVERIFY2(config.save(path, &error), qPrintable(error));

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(ConfigSnapshot::records(reopened), before);
        QCOMPARE(ConfigSnapshot::documents(reopened), ConfigSnapshot::documents(config));
        QCOMPARE(ZipFixture::readZip(path).keys(), ZipFixture::readZip(path + ".bak").keys());
    }
};

KORV_GUI_TEST_MAIN(SaveTest)
#include "tst_save.moc"
