#include "model/DashConfig.h"
#include "model/ZipArchive.h"
#include "model/ZipEntryName.h"
#include "support/ConfigFixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unzip.h>

class ArchiveTest : public QObject {
    Q_OBJECT

private:
    static QMap<QString, QByteArray> sampleTree()
    {
        return {
            {QStringLiteral("devices/dash1/overlay.ov3.xml"), QByteArray("<overlay_cli><e c=\"root\"/></overlay_cli>\n")},
            {QStringLiteral("cfg.aimcfg"), QByteArray("<cfg Name=\"Demo\"/>")},
            {QStringLiteral("triconsmng.to.xml"), QByteArray()},
            {QStringLiteral(".hidden/notes"), QByteArray("keep me")},
            {QStringLiteral("art/\xc3\xa5ngstr\xc3\xb6m.bin"), QByteArray(5000, '\x7f')},
        };
    }

    // The files as archive entries with UTF-8 names, to add others to.
    static QList<ZipFixtureEntry> entriesOf(const QMap<QString, QByteArray>& files)
    {
        QList<ZipFixtureEntry> entries;
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            entries.append({it.key().toUtf8(), it.value()});
        return entries;
    }

private Q_SLOTS:
    void saveRoundTripKeepsTreeAndBackup()
    {
        const QString work = TestEnvironment::makeTempDir();
        const QString src = work + "/src";
        QVERIFY(ZipFixture::writeTree(src, sampleTree()));
        QDir().mkpath(src + "/empty/folder");
        const QString original = work + "/demo.zconf2";
        QVERIFY(ZipFixture::zipFolder(src, original));
        QFile f(original);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray previous = f.readAll();
        f.close();

        const QString extracted = work + "/x";
        QVERIFY(extractZip(original, extracted));
        QCOMPARE(ZipFixture::readTree(extracted), sampleTree());

        DashConfig config;
        QVERIFY(config.writeZconf2(extracted, original));
        QCOMPARE(ZipFixture::readZip(original), sampleTree());
        QFile bak(original + ".bak");
        QVERIFY(bak.open(QIODevice::ReadOnly));
        QCOMPARE(bak.readAll(), previous);
        QVERIFY(!QFileInfo::exists(original + ".tmp"));
        QVERIFY(!ZipFixture::readZip(original).contains(QStringLiteral("empty/folder/")));

        const QString fresh = work + "/other.zconf2";
        QVERIFY(config.writeZconf2(extracted, fresh));
        QVERIFY(!QFileInfo::exists(fresh + ".bak"));
        QCOMPARE(ZipFixture::readZip(fresh), sampleTree());
    }

    void saveTwiceWritesIdenticalArchive()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work + "/src", sampleTree()));
        DashConfig config;
        QVERIFY(config.writeZconf2(work + "/src", work + "/a.zconf2"));
        QVERIFY(config.writeZconf2(work + "/src", work + "/b.zconf2"));
        QFile a(work + "/a.zconf2"), b(work + "/b.zconf2");
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }

    // Every entry carries a DOS date that unzip tools accept: day 1..31,
    // month 1..12 (an all-zero record says day 0). Both the packing of new
    // files and the copy of unchanged entries from the opened archive.
    void entriesCarryAValidDosDate()
    {
        const QString work = TestEnvironment::makeTempDir();
        ConfigFixture fixture;
        fixture.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80));
        QVERIFY(fixture.writeZip(work + "/first.zconf2"));
        DashConfig config;
        QVERIFY(config.load(work + "/first.zconf2"));
        QVERIFY(config.writeZconf2(config.extractDir, work + "/second.zconf2"));
        QVERIFY(config.writeZconf2(config.extractDir, work + "/third.zconf2"));
        for (const char* name : {"/second.zconf2", "/third.zconf2"}) {
            unzFile zip = openZipForRead(work + name);
            QVERIFY(zip);
            int entries = 0;
            for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
                unz_file_info64 info;
                QCOMPARE(unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
                const uLong day = (info.dosDate >> 16) & 0x1f;
                const uLong month = (info.dosDate >> 21) & 0x0f;
                QVERIFY2(day >= 1 && month >= 1 && month <= 12, qPrintable(QString::number(info.dosDate, 16)));
                ++entries;
            }
            unzClose(zip);
            QCOMPARE(entries, fixture.files().size());
        }
    }

    void failedFinalRenamePutsBackupBack()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work + "/src", sampleTree()));
        const QString target = work + "/demo.zconf2";
        QVERIFY(ZipFixture::writeZip(target, QMap<QString, QByteArray>{{"old.txt", "old"}}));

        setArchiveRenameFunction([](const QString& from, const QString& to) {
            if (from.endsWith(".tmp"))
                return false;
            return QFile::rename(from, to);
        });
        DashConfig config;
        const bool ok = config.writeZconf2(work + "/src", target);
        setArchiveRenameFunction({});
        QVERIFY(!ok);
        QCOMPARE(ZipFixture::readZip(target), (QMap<QString, QByteArray>{{"old.txt", "old"}}));
        QVERIFY(!QFileInfo::exists(target + ".tmp"));
        QVERIFY(!QFileInfo::exists(target + ".bak"));
    }

    void failedBackupRenameLeavesOldFile()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work + "/src", sampleTree()));
        const QString target = work + "/demo.zconf2";
        QVERIFY(ZipFixture::writeZip(target, QMap<QString, QByteArray>{{"old.txt", "old"}}));
        setArchiveRenameFunction([](const QString&, const QString&) { return false; });
        DashConfig config;
        const bool ok = config.writeZconf2(work + "/src", target);
        setArchiveRenameFunction({});
        QVERIFY(!ok);
        QCOMPARE(ZipFixture::readZip(target).value("old.txt"), QByteArray("old"));
        QVERIFY(!QFileInfo::exists(target + ".tmp"));
    }

    void unreadableSourceFailsAndKeepsTarget()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work + "/src", sampleTree()));
        const QString target = work + "/demo.zconf2";
        // A folder where the archive should go cannot be replaced by a file.
        QDir().mkpath(target + ".tmp/blocker");
        DashConfig config;
        QVERIFY(!config.writeZconf2(work + "/src", target));
        QVERIFY(!QFileInfo::exists(target));
    }

    // A file of the opened archive that vanished from the extract folder (a
    // temp cleaner, a virus scanner) is copied back from that archive by
    // every save, also Save As, and from the file another program replaced
    // it with while that still holds it unchanged. When it does not, a save
    // onto that file fails naming the lost one and writes nothing, while a
    // Save As keeps the edits and says which file it left out.
    void vanishedFileIsCopiedBack_data()
    {
        QTest::addColumn<bool>("sameTarget");
        QTest::addColumn<int>("replaced"); // 0 no, 1 same content, 2 the vanished file changed
        QTest::newRow("save") << true << 0;
        QTest::newRow("save as") << false << 0;
        QTest::newRow("archive rewritten meanwhile") << true << 1;
        QTest::newRow("archive replaced meanwhile, save") << true << 2;
        QTest::newRow("archive replaced meanwhile, save as") << false << 2;
    }

    void vanishedFileIsCopiedBack()
    {
        QFETCH(bool, sameTarget);
        QFETCH(int, replaced);
        const QString work = TestEnvironment::makeTempDir();
        ConfigFixture fixture;
        fixture.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80));
        fixture.extraFiles.insert("art/Bremse.png", QByteArray(5000, '\x42'));
        const QString original = work + "/cfg.zconf2";
        QVERIFY(fixture.writeZip(original));
        DashConfig config;
        QVERIFY(config.load(original));
        config.maskAt(0, 0)->x = 33;
        config.markPageDirty(0);
        QVERIFY(QFile::remove(config.extractDir + "/art/Bremse.png"));
        if (replaced) {
            QMap<QString, QByteArray> files = fixture.files();
            if (replaced == 2)
                files["art/Bremse.png"] = "other";
            QVERIFY(ZipFixture::writeZip(original, files));
        }
        const QMap<QString, QByteArray> before = ZipFixture::readZip(original);
        const QString target = sameTarget ? original : work + "/other.zconf2";
        QString error;
        QString warning;
        const bool saved = config.saveAs(target, &error, &warning);
        if (replaced == 2 && sameTarget) {
            QVERIFY(!saved);
            QVERIFY2(error.contains("art/Bremse.png"), qPrintable(error));
            QCOMPARE(ZipFixture::readZip(original), before);
            QVERIFY(!QFileInfo::exists(original + ".bak"));
            return;
        }
        QVERIFY2(saved, qPrintable(error));
        QMap<QString, QByteArray> written = ZipFixture::readZip(target);
        QVERIFY(written.value("dash/overlay.ov3.xml").contains("<p n=\"XPOS\">33</p>"));
        if (replaced == 2) {
            QVERIFY2(warning.contains("art/Bremse.png"), qPrintable(warning));
            QVERIFY(!written.contains("art/Bremse.png"));
            written.insert("art/Bremse.png", QByteArray(5000, '\x42'));
        } else {
            QCOMPARE(warning, QString());
        }
        QCOMPARE(written.keys(), fixture.files().keys());
        QCOMPARE(written.value("art/Bremse.png"), QByteArray(5000, '\x42'));
        // The next save takes it from the archive the first one wrote.
        QVERIFY2(config.save(target, &error, &warning), qPrintable(error));
        QCOMPARE(warning, QString());
        QCOMPARE(ZipFixture::readZip(target).value("art/Bremse.png"),
                 replaced == 2 ? QByteArray() : QByteArray(5000, '\x42'));
    }

    // A display's device file, or its whole folder, gone from the working
    // folder while another program replaced the archive with one whose copy
    // of that file differs: the save writes the file again from the open
    // document (its folder made again), so both displays' pages reach the
    // saved file, now and at the next save, and nothing is reported lost.
    void vanishedDeviceFileIsWrittenFromTheDocument_data()
    {
        QTest::addColumn<bool>("wholeFolder");
        QTest::addColumn<bool>("sameTarget");
        QTest::newRow("device file, save as") << false << false;
        QTest::newRow("its folder, save as") << true << false;
        QTest::newRow("device file, save") << false << true;
        QTest::newRow("its folder, save") << true << true;
    }

    void vanishedDeviceFileIsWrittenFromTheDocument()
    {
        QFETCH(bool, wholeFolder);
        QFETCH(bool, sameTarget);
        const auto twoDisplays = [](int secondX) {
            ConfigFixture fixture;
            fixture.device().folder = "PdmTwo/dash1";
            fixture.device().dashNumber = 1;
            fixture.device().page("One").mask(Fx::mask("m1", 10, 10, 50, 50).add(Fx::label("l1", "one", 0, 0, 50, 50)));
            FixtureDevice& second = fixture.addDevice("PdmTwo/dash2");
            second.dashNumber = 2;
            second.page("Two").mask(Fx::mask("m2", secondX, 20, 60, 60).add(Fx::label("l2", "two", 0, 0, 60, 60)));
            fixture.extraFiles.insert("PdmTwo/dash2/_preview.png", QByteArray(3000, '\x17'));
            return fixture;
        };
        const QString work = TestEnvironment::makeTempDir();
        const QString original = work + "/cfg.zconf2";
        QVERIFY(twoDisplays(20).writeZip(original));
        DashConfig config;
        QVERIFY(config.load(original));
        QCOMPARE(config.pageCount(), 2);
        config.maskAt(0, 0)->x = 33;
        config.markPageDirty(0);
        QVERIFY(twoDisplays(444).writeZip(original));
        const QString gone = config.extractDir + (wholeFolder ? "/PdmTwo/dash2" : "/PdmTwo/dash2/overlay.ov3.xml");
        QVERIFY(wholeFolder ? QDir(gone).removeRecursively() : QFile::remove(gone));

        const QString target = sameTarget ? original : work + "/other.zconf2";
        for (int round = 0; round < 2; ++round) {
            QString error;
            QString warning;
            QVERIFY2(round == 0 ? config.saveAs(target, &error, &warning) : config.save(target, &error, &warning),
                     qPrintable(error));
            QCOMPARE(warning, QString());
            const QMap<QString, QByteArray> written = ZipFixture::readZip(target);
            QCOMPARE(written.keys(), twoDisplays(20).files().keys());
            QCOMPARE(written.value("PdmTwo/dash2/_preview.png"), QByteArray(3000, '\x17'));
            DashConfig reopened;
            QVERIFY(reopened.load(target));
            QCOMPARE(reopened.pageCount(), 2);
            QCOMPARE(reopened.pages[0].name, QString("One"));
            QCOMPARE(reopened.pages[1].name, QString("Two"));
            QCOMPARE(reopened.maskAt(0, 0)->x, 33);
            // The second display as the window holds it, not as the other
            // program's archive has it.
            QCOMPARE(reopened.maskAt(1, 0)->x, 20);
            QCOMPARE(reopened.maskAt(1, 0)->widgets.size(), size_t(1));
        }
    }

    // Entries whose names differ in their bytes but read as the same path
    // are never merged: the first is the file the editor works on, the
    // other is carried as stored, and every save (onto the file, under a
    // new name, and again) writes both back, names, flags and contents.
    void entriesOfTheSamePathAreAllKept_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<quint32>("firstFlags");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<quint32>("secondFlags");
        QTest::newRow("unflagged UTF-8 and cp437") << QByteArray("art/K\xc3\x84.png") << 0u
                                                   << QByteArray("art/K\x8e.png") << 0u;
        QTest::newRow("flagged UTF-8 and cp437") << QByteArray("art/o_\xc3\xb6") << 0x800u
                                                 << QByteArray("art/o_\x94") << 0u;
        QTest::newRow("flagged, not UTF-8") << QByteArray("art/bad_\x84") << 0x800u << QByteArray("art/bad_\x94")
                                            << 0x800u;
        QTest::newRow("dot step") << QByteArray("Demo/user/./dot.png") << 0u << QByteArray("Demo/user/dot.png")
                                  << 0u;
    }

    void entriesOfTheSamePathAreAllKept()
    {
        QFETCH(QByteArray, first);
        QFETCH(quint32, firstFlags);
        QFETCH(QByteArray, second);
        QFETCH(quint32, secondFlags);
        const QString work = TestEnvironment::makeTempDir();
        ConfigFixture fixture;
        fixture.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80));
        const QMap<QString, QByteArray> files = fixture.files();
        QList<ZipFixtureEntry> entries = entriesOf(files);
        ZipFixtureEntry a{first, QByteArray(3000, 'a')};
        a.flags = firstFlags;
        ZipFixtureEntry b{second, QByteArray(2000, 'b')};
        b.flags = secondFlags;
        entries << a << b;
        const QString original = work + "/cfg.zconf2";
        QVERIFY(ZipFixture::writeZip(original, entries));

        DashConfig config;
        QVERIFY(config.load(original));
        config.maskAt(0, 0)->x = 33;
        config.markPageDirty(0);
        const auto kept = [&](const QString& path) {
            QMap<QByteArray, QPair<QByteArray, quint32>> saved;
            for (const ZipFixtureEntry& entry : ZipFixture::readZipEntries(path))
                saved.insert(entry.name, {entry.data, entry.flags & 0x800});
            return saved.size() == files.size() + 2 && saved.value(first) == qMakePair(a.data, firstFlags)
                && saved.value(second) == qMakePair(b.data, secondFlags)
                && saved.value("dash/overlay.ov3.xml").first.contains("<p n=\"XPOS\">33</p>");
        };
        for (const QString& target : {original, work + "/other.zconf2", work + "/other.zconf2"}) {
            QString error;
            QString warning;
            QVERIFY2(config.save(target, &error, &warning), qPrintable(error));
            QCOMPARE(warning, QString());
            QVERIFY(kept(target));
        }
        // Opened again, the first is still the one the editor works on.
        DashConfig again;
        QVERIFY(again.load(work + "/other.zconf2"));
        const QString path = QDir::cleanPath(ZipEntryName::decode(first, firstFlags));
        QCOMPARE(ZipFixture::readTree(again.extractDir).value(path), a.data);
    }

    // Entry names keep their bytes and encoding through open and save: two
    // cp437 names (no UTF-8 flag, as older Windows tools write them) stay
    // two files with their own bytes, a UTF-8 name keeps its flag, and a
    // file the editor adds is named in flagged UTF-8, as any zip reader
    // (here Python's, when there is one) then sees them.
    void entryNamesKeepTheirBytesAndEncoding()
    {
        const QString work = TestEnvironment::makeTempDir();
        ConfigFixture fixture;
        fixture.device().page("Main").mask(Fx::mask("m1", 10, 20, 200, 80));
        const QMap<QString, QByteArray> files = fixture.files();
        QList<ZipFixtureEntry> entries = entriesOf(files);
        const QList<QPair<QByteArray, quint32>> named{{"art/Bremse_\x84.png", 0},
                                                      {"art/Bremse_\x94.png", 0},
                                                      {"art/\xc3\x96ldruck_\xc3\x84.PNG", 0x800}};
        for (const auto& [name, flags] : named) {
            ZipFixtureEntry entry{name, "data of " + name};
            entry.flags = flags;
            entries.append(entry);
        }
        const QString original = work + "/cfg.zconf2";
        QVERIFY(ZipFixture::writeZip(original, entries));
        DashConfig config;
        QVERIFY(config.load(original));
        const QString art = config.extractDir + "/art/";
        QCOMPARE(QDir(art).entryList(QDir::Files, QDir::Name),
                 (QStringList{u"Bremse_\u00e4.png"_qs, u"Bremse_\u00f6.png"_qs, u"\u00d6ldruck_\u00c4.PNG"_qs}));
        QVERIFY(ZipFixture::writeTree(art, {{u"Neu_\u00df.png"_qs, "added"}}));

        for (const QString& target : {original, work + "/other.zconf2"}) {
            QVERIFY(config.save(target));
            QMap<QByteArray, QPair<QByteArray, quint32>> saved;
            for (const ZipFixtureEntry& entry : ZipFixture::readZipEntries(target))
                saved.insert(entry.name, {entry.data, entry.flags & 0x800});
            for (const auto& [name, flags] : named)
                QCOMPARE(saved.value(name), qMakePair("data of " + name, flags));
            QCOMPARE(saved.value("art/Neu_\xc3\x9f.png"), qMakePair(QByteArray("added"), quint32(0x800)));
            QCOMPARE(saved.size(), files.size() + 4);
        }
        QProcess python;
        python.start("python3", {"-c", "import sys, zipfile\nfor n in zipfile.ZipFile(sys.argv[1]).namelist():"
                                       "\n    sys.stdout.buffer.write(n.encode() + b'\\n')",
                                 original});
        if (!python.waitForFinished(20000) || python.exitCode() != 0)
            return; // no Python here: the flags above are what it would go by
        const QStringList seen = QString::fromUtf8(python.readAllStandardOutput()).split('\n');
        for (const QString& name : {u"art/Bremse_\u00e4.png"_qs, u"art/Bremse_\u00f6.png"_qs,
                                   u"art/\u00d6ldruck_\u00c4.PNG"_qs, u"art/Neu_\u00df.png"_qs})
            QVERIFY2(seen.contains(name), qPrintable(seen.join(' ')));
    }

    void hostileEntries_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("parent") << QByteArray("../x") << false;
        QTest::newRow("absolute") << QByteArray("/tmp/korvelanto-abs-x") << false;
        QTest::newRow("climb through folder") << QByteArray("a/../../x") << false;
        QTest::newRow("sibling prefix") << QByteArray("../x-sibling/y") << false;
        QTest::newRow("folder itself") << QByteArray("./") << true;
        QTest::newRow("folder through sub") << QByteArray("sub/../") << true;
        QTest::newRow("inner climb") << QByteArray("a/b/../c.txt") << true;
    }

    void hostileEntries()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, accepted);
        const QString work = TestEnvironment::makeTempDir();
        const QString zip = work + "/hostile.zip";
        QVERIFY(ZipFixture::writeZip(zip, QList<ZipFixtureEntry>{
            {"first.txt", "ok"}, {name, name.endsWith('/') ? QByteArray() : QByteArray("payload")}}));
        const QString dest = work + "/dest";
        QDir().mkpath(dest);
        if (!accepted)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^extractZip: refusing entry that escapes the destination:"));
        QCOMPARE(extractZip(zip, dest), accepted);
        QVERIFY(!QFileInfo::exists(work + "/x"));
        QVERIFY(!QFileInfo::exists("/tmp/korvelanto-abs-x"));
        QVERIFY(!QFileInfo::exists(work + "/x-sibling"));
        QVERIFY(QFileInfo::exists(dest + "/first.txt"));
    }

    void damagedArchives_data()
    {
        QTest::addColumn<int>("damage");
        QTest::newRow("wrong crc") << int(ZipFixtureEntry::WrongCrc);
        QTest::newRow("broken deflate") << int(ZipFixtureEntry::BrokenDeflate);
        QTest::newRow("data shorter than its size") << int(ZipFixtureEntry::ShortData);
    }

    void damagedArchives()
    {
        QFETCH(int, damage);
        const QString work = TestEnvironment::makeTempDir();
        const QString zip = work + "/bad.zip";
        QVERIFY(ZipFixture::writeZip(zip, QList<ZipFixtureEntry>{
            {"overlay.ov3.xml", QByteArray(20000, 'a'), ZipFixtureEntry::Damage(damage)}}));
        QVERIFY(!extractZip(zip, work + "/dest"));
    }

    void notAnArchive()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work, {{"junk.zconf2", "this is not a zip"}}));
        QVERIFY(!extractZip(work + "/junk.zconf2", work + "/dest"));
        QVERIFY(!extractZip(work + "/missing.zconf2", work + "/dest"));
    }

    void emptyArchiveExtractsNothing()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeZip(work + "/empty.zip", QList<ZipFixtureEntry>{}));
        // minizip cannot open an archive without entries; either way nothing
        // is written and the open fails later for want of a device file.
        extractZip(work + "/empty.zip", work + "/dest");
        QVERIFY(ZipFixture::readTree(work + "/dest").isEmpty());
    }

    void limits_data()
    {
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<qint64>("maxEntries");
        QTest::addColumn<bool>("ok");
        QTest::newRow("within") << qint64(1 << 20) << qint64(10) << true;
        QTest::newRow("too many bytes") << qint64(100000) << qint64(10) << false;
        QTest::newRow("too many entries") << qint64(1 << 20) << qint64(2) << false;
    }

    void limits()
    {
        QFETCH(qint64, maxBytes);
        QFETCH(qint64, maxEntries);
        QFETCH(bool, ok);
        const QString work = TestEnvironment::makeTempDir();
        // Highly compressible: a small archive that expands a lot.
        QVERIFY(ZipFixture::writeZip(work + "/bomb.zip", QMap<QString, QByteArray>{
            {"a", QByteArray(90000, '\0')}, {"b", QByteArray(90000, '\0')}, {"c", "x"}}));
        ExtractLimits limits;
        limits.maxTotalBytes = maxBytes;
        limits.maxEntries = maxEntries;
        QCOMPARE(extractZip(work + "/bomb.zip", work + "/dest", limits), ok);
    }

    void overlongNameIsRefused()
    {
        const QString work = TestEnvironment::makeTempDir();
        QByteArray name = QByteArray("dir/") + QByteArray(300, 'a') + QByteArray("\xc3\xa5\xc3\xa5") + QByteArray(300, 'b');
        QVERIFY(ZipFixture::writeZip(work + "/long.zip", QList<ZipFixtureEntry>{{name, "x"}}));
        QVERIFY(!extractZip(work + "/long.zip", work + "/dest"));
        QVERIFY(ZipFixture::readTree(work + "/dest").isEmpty());
    }

    // A file the target holds is kept as it is, whatever it holds.
    void copyDirRecursiveKeepsHeldFilesAndSkipsLinks()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(ZipFixture::writeTree(work + "/src", {{"a/b.txt", "new"}, {"c.txt", "C"}, {".dot", "hidden"}}));
        QVERIFY(QFile::link(work + "/src", work + "/src/a/loop"));
        QVERIFY(ZipFixture::writeTree(work + "/dst", {{"a/b.txt", "old"}}));
        QFile::setPermissions(work + "/dst/a/b.txt", QFileDevice::ReadOwner);
        QVERIFY(copyDirRecursive(work + "/src", work + "/dst"));
        const auto tree = ZipFixture::readTree(work + "/dst");
        QCOMPARE(tree.value("a/b.txt"), QByteArray("old"));
        QCOMPARE(tree.value("c.txt"), QByteArray("C"));
        QVERIFY(!tree.contains(".dot"));
        QVERIFY(!QFileInfo::exists(work + "/dst/a/loop"));
        QVERIFY(!copyDirRecursive(work + "/missing", work + "/dst2"));
    }

    void removeTempExtractDirRemovesFolder()
    {
        auto* dir = new QTemporaryDir(TestEnvironment::makeTempDir() + "/x-XXXXXX");
        const QString path = dir->path();
        QVERIFY(ZipFixture::writeTree(path, {{"deep/file", "1"}}));
        removeTempExtractDir(dir);
        QVERIFY(!QFileInfo::exists(path));
        removeTempExtractDir(nullptr);
    }

    void freshConfigDefaults()
    {
        DashConfig config;
        QCOMPARE(config.displayWidth, 800);
        QCOMPARE(config.displayHeight, 480);
        QCOMPARE(config.typeCode, -1);
        QCOMPARE(config.pageCount(), 0);
        QVERIFY(config.devices.empty());
        QVERIFY(config.extractDir.isEmpty());
        QVERIFY(config.page(-1) == nullptr);
        QVERIFY(config.page(0) == nullptr);
        config.markPageDirty(0);
        PageModel page;
        QCOMPARE(page.width, 800);
        QCOMPARE(page.height, 480);
        QCOMPARE(MaskElement().kind, 6);
        QVERIFY(!config.gconfNode(0));
    }

    void markPageDirtyChecksIndices()
    {
        DashConfig config;
        auto* device = new DeviceFile;
        QVERIFY(device->doc.load_string("<overlay_cli><e c=\"x\"><e c=\"GConfParam\" i=\"g\"/></e></overlay_cli>"));
        config.devices.push_back(device);
        config.pages.resize(2);
        config.pages[1].deviceFileIndex = 5;
        config.markPageDirty(1);
        QVERIFY(!device->dirty);
        config.markPageDirty(0);
        QVERIFY(device->dirty);
        QCOMPARE(QString::fromUtf8(config.gconfNode(0).attribute("i").value()), QStringLiteral("g"));
        QVERIFY(!config.gconfNode(1));
    }
};

KORV_GUI_TEST_MAIN(ArchiveTest)
#include "tst_archive.moc"
