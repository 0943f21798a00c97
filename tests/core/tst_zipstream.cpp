#include "model/ZipArchive.h"
#include "model/ZipEntryName.h"
#include "model/ZipStreamWriter.h"
#include "model/ZipWriter.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <unzip.h>

// The streamed writer must lay archives out exactly as minizip does: a save
// that copies entries and one that deflates them again give the same file.
class ZipStreamTest : public QObject {
    Q_OBJECT

private:
    static QMap<QString, QByteArray> entries()
    {
        QByteArray xml;
        for (int i = 0; i < 20000; ++i)
            xml += "  <p n=\"XPOS\">" + QByteArray::number(i % 800) + "</p>\n";
        QByteArray noise(300 * 1024, Qt::Uninitialized);
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        return {{QStringLiteral("dash/overlay.ov3.xml"), xml},
                {QStringLiteral("art/mask.png"), noise},
                {QStringLiteral("empty"), QByteArray()},
                {QStringLiteral("\xc3\xa5ngstr\xc3\xb6m.txt"), QByteArray("text")}};
    }

    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static bool writeWithMinizip(const QString& path, const QMap<QString, QByteArray>& files)
    {
        zipFile zip = openZipForWrite(path);
        bool ok = zip != nullptr;
        for (auto it = files.begin(); ok && it != files.end(); ++it)
            ok = writeZipEntry(zip, it.key(), it.value());
        return zip && zipClose(zip, nullptr) == ZIP_OK && ok;
    }

    struct Stored {
        QByteArray name;
        int method = 0;
        int level = 0;
        quint32 crc = 0;
        quint64 size = 0;
        quint64 packedSize = 0;
        qint64 start = 0;
    };

    static QList<Stored> storedEntries(const QString& path)
    {
        QList<Stored> list;
        unzFile zip = openZipForRead(path);
        for (int rc = zip ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
            unz_file_info64 info;
            char name[512] = {};
            Stored s;
            unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
            unzOpenCurrentFile2(zip, &s.method, &s.level, 1);
            s.start = qint64(unzGetCurrentFileZStreamPos64(zip));
            unzCloseCurrentFile(zip);
            s.name = name;
            s.crc = quint32(info.crc);
            s.size = info.uncompressed_size;
            s.packedSize = info.compressed_size;
            list.append(s);
        }
        if (zip)
            unzClose(zip);
        return list;
    }

private Q_SLOTS:
    void deflatedEntriesMatchMinizip()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(writeWithMinizip(work + "/minizip.zip", entries()));
        ZipStreamWriter zip(work + "/stream.zip");
        QVERIFY(zip.open());
        const QMap<QString, QByteArray> files = entries();
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(zip.addDeflated(it.key().toUtf8(), it.value(), ZipEntryName::needsUtf8Flag(it.key().toUtf8())));
        QVERIFY(zip.close());
        QCOMPARE(readAll(work + "/stream.zip"), readAll(work + "/minizip.zip"));
    }

    // The copy minizip makes of stored entries (raw open, the recorded
    // checksum at the close) and the streamed copy give the same archive.
    void copiedEntriesMatchMinizip()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(writeWithMinizip(work + "/source.zip", entries()));
        const QList<Stored> stored = storedEntries(work + "/source.zip");
        QCOMPARE(stored.size(), entries().size());
        const QByteArray source = readAll(work + "/source.zip");

        zipFile viaMinizip = openZipForWrite(work + "/minizip.zip");
        QVERIFY(viaMinizip);
        for (const Stored& s : stored) {
            zip_fileinfo info = fixedZipEntryInfo();
            QCOMPARE(zipOpenNewFileInZip2(viaMinizip, s.name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                          s.method, s.level, 1),
                     ZIP_OK);
            QCOMPARE(zipWriteInFileInZip(viaMinizip, source.constData() + s.start, unsigned(s.packedSize)), ZIP_OK);
            QCOMPARE(zipCloseFileInZipRaw64(viaMinizip, s.size, uLong(s.crc)), ZIP_OK);
        }
        QCOMPARE(zipClose(viaMinizip, nullptr), ZIP_OK);

        QFile in(work + "/source.zip");
        QVERIFY(in.open(QIODevice::ReadOnly));
        ZipStreamWriter zip(work + "/stream.zip");
        QVERIFY(zip.open());
        for (const Stored& s : stored)
            QVERIFY(zip.addRaw(s.name, s.method, s.level, s.crc, s.size, in, s.start, s.packedSize));
        QVERIFY(zip.close());
        QCOMPARE(readAll(work + "/stream.zip"), readAll(work + "/minizip.zip"));
        QCOMPARE(ZipFixture::readZip(work + "/stream.zip"), entries());
    }

    void failedWritesAreReported()
    {
        const QString work = TestEnvironment::makeTempDir();
        QVERIFY(QDir(work).mkdir("folder"));
        ZipStreamWriter onFolder(work + "/folder");
        QVERIFY(!onFolder.open());

        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full to provoke a failed write");
        QVERIFY(writeWithMinizip(work + "/source.zip", entries()));
        const QList<Stored> stored = storedEntries(work + "/source.zip");
        QFile in(work + "/source.zip");
        QVERIFY(in.open(QIODevice::ReadOnly));
        ZipStreamWriter full(QStringLiteral("/dev/full"));
        QVERIFY(full.open());
        for (const Stored& s : stored)
            full.addRaw(s.name, s.method, s.level, s.crc, s.size, in, s.start, s.packedSize);
        QVERIFY(!full.close());
    }
};

QTEST_GUILESS_MAIN(ZipStreamTest)
#include "tst_zipstream.moc"
