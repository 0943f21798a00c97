#include "artwork/ArtworkFiles.h"
#include "artwork/MadeArtFolders.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
bool writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}
}

class ArtworkFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A write that fails takes back only what it made: a link on its path,
    // even one that points nowhere, is someone else's and stays.
    void madeNotesOnlyWhatItCreated_data()
    {
        QTest::addColumn<QString>("link");   // made a link to nowhere, relative to the folder
        QTest::addColumn<QString>("folder"); // made with make()
        QTest::addColumn<QString>("file");   // noted with noteNewFile()
        QTest::addColumn<bool>("made");
        QTest::newRow("dangling set folder") << "set" << "set/item" << "" << false;
        QTest::newRow("dangling item folder") << "set/item" << "set/item" << "" << false;
        QTest::newRow("dangling file") << "set/item/mask.png" << "set/item" << "set/item/mask.png" << true;
    }
    void madeNotesOnlyWhatItCreated()
    {
        QFETCH(QString, link);
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(bool, made);
        const QString base = TestEnvironment::makeTempDir(QStringLiteral("made"));
        const QString linkPath = base + QLatin1Char('/') + link;
        QVERIFY(QDir().mkpath(QFileInfo(linkPath).path()));
        QVERIFY(QFile::link(base + QStringLiteral("/unplugged/drive"), linkPath));
        MadeArtFolders notes;
        QCOMPARE(notes.make(base + QLatin1Char('/') + folder), made);
        if (!file.isEmpty())
            notes.noteNewFile(base + QLatin1Char('/') + file);
        notes.removeAll();
        QVERIFY(QFileInfo(linkPath).isSymLink());
        QCOMPARE(QFileInfo(linkPath).symLinkTarget(), base + QStringLiteral("/unplugged/drive"));
    }

    // A step taken back later removes its files only as it left them, and
    // its folders only once empty: whatever came since stays.
    void takeBackLeavesWhatCameSince_data()
    {
        QTest::addColumn<QString>("since"); // what happens after the write
        QTest::addColumn<QStringList>("left");
        QTest::newRow("nothing") << "" << QStringList{};
        QTest::newRow("file written over")
            << "rewrite" << QStringList{"set", "set/Items", "set/Items/item", "set/Items/item/mask.png"};
        QTest::newRow("file beside")
            << "beside" << QStringList{"set", "set/Items", "set/Items/item", "set/Items/item/Ø & <ü>.txt"};
        QTest::newRow("folder beside") << "folder" << QStringList{"set", "set/zother", "set/zother/a.txt"};
        QTest::newRow("file swapped for a link")
            << "link" << QStringList{"set", "set/Items", "set/Items/item", "set/Items/item/mask.png"};
    }
    void takeBackLeavesWhatCameSince()
    {
        QFETCH(QString, since);
        QFETCH(QStringList, left);
        const QString base = TestEnvironment::makeTempDir(QStringLiteral("takeback"));
        const QString item = base + QStringLiteral("/set/Items/item");
        MadeArtFolders made;
        QVERIFY(made.make(item));
        QVERIFY(writeText(item + QStringLiteral("/mask.png"), "picture"));
        made.noteNewFile(item + QStringLiteral("/mask.tgz"));
        QVERIFY(writeText(item + QStringLiteral("/mask.tgz"), "device picture"));
        made.seal();
        if (since == QLatin1String("rewrite"))
            QVERIFY(writeText(item + QStringLiteral("/mask.png"), "another picture"));
        else if (since == QLatin1String("beside"))
            QVERIFY(writeText(item + QStringLiteral("/Ø & <ü>.txt"), "notes"));
        else if (since == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(base + QStringLiteral("/set/zother")) && writeText(base + "/set/zother/a.txt", "a"));
        else if (since == QLatin1String("link"))
            QVERIFY(QFile::remove(item + "/mask.png") && QFile::link(base + "/elsewhere", item + "/mask.png"));
        made.takeBack();
        QStringList found;
        QDirIterator it(base, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << QDir(base).relativeFilePath(it.next());
        found.sort();
        QCOMPARE(found, left);
        QVERIFY(made.isEmpty());
    }

    void junkNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("junk");
        QTest::newRow("readme") << "README.txt" << true;
        QTest::newRow("readme any case") << "readme.TXT" << true;
        QTest::newRow("thumbs") << "thumbs.db" << true;
        QTest::newRow("desktop.ini") << "Desktop.ini" << true;
        QTest::newRow("ds_store") << ".DS_Store" << true;
        QTest::newRow("art") << "mask.png" << false;
        QTest::newRow("part of a name") << "old_README.txt" << false;
    }
    void junkNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, junk);
        QCOMPARE(isJunkArtworkFile(name), junk);
    }

    void normalize_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("adds slash") << "a/b" << "a/b/";
        QTest::newRow("backslashes") << "a\\b\\" << "a/b/";
        QTest::newRow("keeps double") << "a/b//" << "a/b//";
    }
    void normalize()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(normalizeDirPath(in), out);
    }

    void copyOverReadOnlyTarget()
    {
        const QString dir = TestEnvironment::makeTempDir();
        QVERIFY(writeText(dir + "/src", "new"));
        QVERIFY(writeText(dir + "/dst", "old"));
        QFile::setPermissions(dir + "/dst", QFileDevice::ReadOwner);
        QString error;
        QVERIFY2(copyFileOver(dir + "/src", dir + "/dst", &error), qPrintable(error));
        QCOMPARE(readAll(dir + "/dst"), QByteArray("new"));
        QVERIFY(QFile::permissions(dir + "/dst") & QFileDevice::WriteOwner);
        QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 2); // no temporary left behind
    }

    void copyOntoItselfIsRefused()
    {
        const QString dir = TestEnvironment::makeTempDir();
        QVERIFY(writeText(dir + "/art.png", "keep me"));
        QString error;
        QVERIFY(!copyFileOver(dir + "/art.png", dir + "/./art.png", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(dir + "/art.png"), QByteArray("keep me"));
    }

    // A failed copy says which side failed, naming that file and the
    // system's reason, and keeps the target.
    void failedCopyKeepsTheTarget_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("error");
        QTest::newRow("source missing") << "missing" << "dst" << "cannot read @/missing: No such file or directory";
        QTest::newRow("source is a folder") << "folder" << "dst" << "cannot read @/folder: ";
        QTest::newRow("target folder missing") << "src" << "gone/dst" << "cannot write @/gone/dst: ";
    }
    void failedCopyKeepsTheTarget()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, error);
        const QString dir = TestEnvironment::makeTempDir();
        QVERIFY(writeText(dir + "/dst", "old"));
        QVERIFY(writeText(dir + "/src", "new"));
        QVERIFY(QDir().mkpath(dir + "/folder"));
        QString said;
        QVERIFY(!copyFileOver(dir + '/' + source, dir + '/' + target, &said));
        error.replace('@', dir);
        QVERIFY2(error.endsWith(": ") ? said.startsWith(error) && said.size() > error.size() : said == error,
                 qPrintable(said));
        QCOMPARE(readAll(dir + "/dst"), QByteArray("old"));
    }

    void writeBytesCreatesFolders()
    {
        const QString dir = TestEnvironment::makeTempDir();
        const QString path = dir + "/a/b/file.bin";
        QVERIFY(writeFileBytes(path, QByteArray("\x00\x01\x02", 3)));
        QCOMPARE(readAll(path), QByteArray("\x00\x01\x02", 3));
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        QVERIFY(writeFileBytes(path, "second"));
        QCOMPARE(readAll(path), QByteArray("second"));
    }

    void writeBytesOntoAFolderFails()
    {
        // A folder where the file should be stands in for a locked file (the
        // test may run as root, which ignores permissions).
        const QString dir = TestEnvironment::makeTempDir();
        QVERIFY(QDir().mkpath(dir + "/mask.tgz"));
        QString error;
        QVERIFY(!writeFileBytes(dir + "/mask.tgz", "x", &error));
        QVERIFY(error.startsWith(QStringLiteral("cannot write %1: ").arg(dir + "/mask.tgz")));
        QVERIFY(QFileInfo(dir + "/mask.tgz").isDir());
    }
};

KORV_GUI_TEST_MAIN(ArtworkFilesTest)
#include "tst_artworkfiles.moc"
