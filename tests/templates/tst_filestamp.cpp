#include "artwork/ColouredBarIndex.h"
#include "model/FileStamp.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"
#include "templates/ConfigsFootprint.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

// A kept answer is trusted only while the file it was read from is as it
// was: a file rewritten in place at the same size, its modification time
// then put back, is noticed all the same.
class FileStampTest : public QObject {
    Q_OBJECT

    static bool statOf(const QString& path, struct stat& st)
    {
        return ::stat(QFile::encodeName(path).constData(), &st) == 0;
    }

    // Waits until a file written now gets a later change time than `path`
    // has: the clock the file system stamps with moves in coarse steps.
    static bool waitForLaterChangeTime(const QString& path)
    {
        struct stat held;
        if (!statOf(path, held))
            return false;
        const QString probe = path + QStringLiteral(".probe");
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            struct stat now;
            if (!TestFiles::writeBytes(probe, "probe") || !statOf(probe, now))
                return false;
            if (now.st_ctim.tv_sec > held.st_ctim.tv_sec
                || (now.st_ctim.tv_sec == held.st_ctim.tv_sec && now.st_ctim.tv_nsec > held.st_ctim.tv_nsec))
                return QFile::remove(probe);
            QTest::qSleep(1);
        }
        return false;
    }

    // Other bytes of the same size written over the file's own, and its
    // modification (and access) time set back to what it was.
    static bool rewriteInPlaceKeepingTime(const QString& path, const QByteArray& bytes)
    {
        struct stat before;
        if (!statOf(path, before) || before.st_size != bytes.size() || !waitForLaterChangeTime(path))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite) || file.write(bytes) != bytes.size())
            return false;
        file.close();
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
    }

private Q_SLOTS:
    void rewriteInPlaceIsNoticed_data()
    {
        QTest::addColumn<QString>("user"); // what keeps an answer read from the file
        QTest::newRow("stamp") << "stamp";
        QTest::newRow("coloured bar records") << "coloured bar records";
        QTest::newRow("configurations count") << "configurations count";
    }
    void rewriteInPlaceIsNoticed()
    {
        QFETCH(QString, user);
        const QString path = TestEnvironment::makeTempDir(QStringLiteral("stamp")) + QStringLiteral("/colors.json");
        QVERIFY(TestFiles::writeBytes(path, "{\"bar\": \"green\"}"));
        const FileStamp kept = FileStamp::of(path);
        QVERIFY(kept.isValid());

        int loads = 0;
        ColouredBarIndex index;
        const auto load = [&loads] {
            ++loads;
            return ColouredBarIndex::Records();
        };
        ConfigsFootprint footprint;
        footprint.addFile(path, kept);
        index.storedRecords(path, {}, load);
        // Whether the kept answer is still trusted.
        const auto holds = [&] {
            if (user == QLatin1String("coloured bar records")) {
                const int before = loads;
                index.storedRecords(path, {}, load);
                return loads == before;
            }
            if (user == QLatin1String("configurations count"))
                return footprint.isCurrent();
            return FileStamp::of(path) == kept;
        };
        QVERIFY(holds());

        QVERIFY(rewriteInPlaceKeepingTime(path, "{\"bar\": \"amber\"}"));
        const FileStamp now = FileStamp::of(path);
        // Everything but the change time looks as it did.
        QCOMPARE(now.size, kept.size);
        QCOMPARE(now.modifiedNs, kept.modifiedNs);
        QCOMPARE(now.inode, kept.inode);
        QCOMPARE(TestFiles::readBytes(path), QByteArray("{\"bar\": \"amber\"}"));
        QVERIFY(!holds());
    }
};

KORV_GUI_TEST_MAIN(FileStampTest)
#include "tst_filestamp.moc"
