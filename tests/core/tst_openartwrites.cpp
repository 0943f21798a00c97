// What the open writes into the RaceStudio 3 installs when it draws a box's
// art again: never through a link or over a special file the user put
// there (each named), and the folder walks under every copy and removal go
// by descriptor, so a folder swapped for a link is never walked into.
#include "model/DashConfig.h"
#include "model/FolderCopy.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kItem =
    QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_Race/Items/mbox_demo/");

// A folder of the user's, outside every install.
QString usersFolder()
{
    const QString outside = TestEnvironment::makeTempDir(QStringLiteral("users"));
    if (!QDir().mkpath(outside + "/photos") || !TestFiles::writeBytes(outside + "/photos/photo.png", "my photo")
        || !TestFiles::writeBytes(outside + "/notes.txt", "my notes"))
        return {};
    return outside;
}

} // namespace

class OpenArtWritesTest : public QObject {
    Q_OBJECT

    // "Race.zconf2" with one styled box whose item neither install holds
    // whole: stable lacks it, beta has its folder without the picture in
    // the device format. Returns the path.
    static QString boxToDrawAgain(const Rs3Fixture& fx)
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("md.01", 10, 10, 200, 100)
                                           .p("PATH_REL_AiM_MASK", kItem)
                                           .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                                           .add(Fx::digit("d1", 10, 40, 40, 20)));
        const QString path = cfg.writeTempZip("Race.zconf2");
        const QString styles = QFileInfo(path).absolutePath() + "/Race.boxstyles.json";
        if (!TestFiles::writeBytes(styles, R"({"version":1,"masks":{"md.01":{"styleId":"panel_dark"}}})"))
            return {};
        DashConfig first;
        if (!first.load(path) || first.homebrewRepairCount != 1
            || !FolderCopy::removeTree(fx.absolutePath(Rs3Fixture::Stable, kItem))
            || !QFile::remove(fx.absolutePath(Rs3Fixture::Beta, kItem + "mask.tgz")))
            return {};
        return path;
    }

private Q_SLOTS:
    // The beta folder holds, in the place of a file the drawing writes, a
    // link to the user's photo, a link to nothing, or a pipe: the open
    // draws the stable install's item, leaves that entry as it is, writes
    // nothing where it leads, and names it.
    void linkedPictureIsLeft_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::newRow("picture linked to a photo") << "mask.png" << "photo";
        QTest::newRow("picture linked to nothing") << "mask.png" << "dangling";
        QTest::newRow("picture is a pipe") << "mask.png" << "pipe";
        QTest::newRow("descriptor linked to a photo") << "mbox_demo.M2.xml" << "photo";
        QTest::newRow("set label linked to nothing") << "../../AiM_folder.xml" << "dangling";
    }
    void linkedPictureIsLeft()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        Rs3Fixture fx;
        const QString path = boxToDrawAgain(fx);
        QVERIFY(!path.isEmpty());
        const QString outside = usersFolder();
        QVERIFY(!outside.isEmpty());
        const QString entry = QDir::cleanPath(fx.absolutePath(Rs3Fixture::Beta, kItem + name));
        QFile::remove(entry);
        const QString pointee = outside + (kind == "photo" ? "/photos/photo.png" : "/photos/gone.png");
        if (kind == "pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(entry).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(pointee, entry));
        const auto outsideBefore = Rs3Fixture::treeSnapshot(outside);

        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(Rs3Fixture::treeSnapshot(outside), outsideBefore);
        QVERIFY(!QFileInfo::exists(outside + "/photos/gone.png"));
        if (kind == "pipe") {
            struct stat st {};
            QVERIFY(::lstat(QFile::encodeName(entry).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        } else {
            QCOMPARE(QFileInfo(entry).symLinkTarget(), pointee);
        }
        const QString notes = c.artState.notes.join('\n');
        QVERIFY2(notes.contains(entry), qPrintable(notes));
        QVERIFY2(notes.contains(kind == "pipe" ? "not a regular file" : "is a symbolic link"), qPrintable(notes));
    }

    // Removal: a link inside is unlinked, never followed; a folder swapped
    // for a link between being looked at and walked into is unlinked too.
    // A copy whose source folder is swapped so stops, copying nothing of
    // what the link leads to.
    void walksNeverFollowASwappedFolder_data()
    {
        QTest::addColumn<QString>("walk");
        QTest::addColumn<bool>("swap");
        QTest::newRow("removal, link inside") << "remove" << false;
        QTest::newRow("removal, folder swapped") << "remove" << true;
        QTest::newRow("copy, folder swapped") << "copy" << true;
    }
    void walksNeverFollowASwappedFolder()
    {
        QFETCH(QString, walk);
        QFETCH(bool, swap);
        const QString outside = usersFolder();
        QVERIFY(!outside.isEmpty());
        const QString tree = TestEnvironment::makeTempDir("tree") + "/art";
        QVERIFY(QDir().mkpath(tree + "/sub/deeper"));
        QVERIFY(TestFiles::writeBytes(tree + "/sub/deeper/mask.png", "art"));
        QVERIFY(QFile::link(outside, tree + "/linked"));
        const auto outsideBefore = Rs3Fixture::treeSnapshot(outside);
        if (swap) {
            FolderCopy::setWalkHookForTesting([&](const QString& folder) {
                if (folder.endsWith("/sub") && QFileInfo(folder).isDir() && !QFileInfo(folder).isSymLink()) {
                    QDir(folder).removeRecursively();
                    QFile::link(outside, folder);
                }
            });
        }
        const auto noHook = qScopeGuard([] { FolderCopy::setWalkHookForTesting({}); });

        if (walk == "remove") {
            QVERIFY(FolderCopy::removeTree(tree));
            QVERIFY(!QFileInfo::exists(tree) && !QFileInfo(tree).isSymLink());
        } else {
            const QString target = TestEnvironment::makeTempDir("copy") + "/art";
            FolderCopy copy;
            QCOMPARE(copy.addFolder(tree, target), FolderCopy::Outcome::Failed);
            QVERIFY(!QFileInfo::exists(target));
            QVERIFY2(copy.error().contains("no longer a folder"), qPrintable(copy.error()));
        }
        QCOMPARE(Rs3Fixture::treeSnapshot(outside), outsideBefore);
    }
};

KORV_GUI_TEST_MAIN(OpenArtWritesTest)
#include "tst_openartwrites.moc"
