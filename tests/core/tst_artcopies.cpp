// Art copied between the RaceStudio 3 installs when a configuration is
// opened, and the folder copies under it: only what an install lacks is
// created, links are neither followed nor copied, reads are bounded, and
// what was left is said with its reason.
#include "artwork/ArtworkFiles.h"
#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "model/FolderCopy.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/FileSizeLimit.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kBoxSet =
    QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbox_Race/Items/");
const QString kStockBar = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/");

QImage stockBar()
{
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(QColor(60, 60, 60));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 40; ++x)
            image.setPixelColor(x, y, QColor(220, 220, 220));
    return image;
}

// A folder of the user's outside both installs.
QString usersFolder()
{
    const QString outside = TestEnvironment::makeTempDir(QStringLiteral("users"));
    if (!QDir().mkpath(outside + "/sub") || !TestFiles::writeBytes(outside + "/notes.txt", "my notes")
        || !TestFiles::writeBytes(outside + "/sub/keep.txt", "keep me"))
        return {};
    return outside;
}

bool isLinkTo(const QString& path, const QString& target)
{
    return QFileInfo(path).isSymLink() && QFileInfo(path).symLinkTarget() == QFileInfo(target).absoluteFilePath();
}

bool notesName(const QStringList& notes, const QString& part)
{
    for (const QString& note : notes) {
        if (note.contains(part))
            return true;
    }
    return false;
}

} // namespace

class ArtCopiesTest : public QObject {
    Q_OBJECT

    // "Race.zconf2" with one styled box, its item drawn into both installs
    // by a first open. Returns the path; rel is the item.
    static QString styledBox(const Rs3Fixture& fx, QString* rel)
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
        *rel = kBoxSet + "mbox_demo/";
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("md.01", 10, 10, 200, 100)
                                           .p("PATH_REL_AiM_MASK", *rel)
                                           .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                                           .add(Fx::digit("d1", 10, 40, 40, 20)));
        const QString path = cfg.writeTempZip("Race.zconf2");
        const QString styles = QFileInfo(path).absolutePath() + "/Race.boxstyles.json";
        if (!TestFiles::writeBytes(styles, R"({"version":1,"masks":{"md.01":{"styleId":"panel_dark"}}})"))
            return {};
        DashConfig first;
        if (!first.load(path) || first.homebrewRepairCount != 1 || !first.save(path))
            return {};
        return path;
    }

    // "Race Day.zconf2" with a bar coloured from the stable install's stock
    // item, saved; the coloured item is in both installs. Returns the path.
    static QString colouredBar(const Rs3Fixture& fx, QString* coloured, const QStringList& extras = {})
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
        const QImage bar = stockBar();
        if (!fx.writeFile(Rs3Fixture::Stable, kStockBar + "mask.png", pngBytes(bar))
            || !fx.writeFile(Rs3Fixture::Stable, kStockBar + "mask.tgz", TgzImage::encode(bar))
            || !fx.writeFile(Rs3Fixture::Stable, kStockBar + "b1.M2.xml", "<aimDataBase_Mask2/>"))
            return {};
        for (const QString& extra : extras) {
            const QString at = fx.absolutePath(Rs3Fixture::Stable, kStockBar + extra.section('>', 0, 0));
            if (!QFile::link(extra.section('>', 1), at))
                return {};
        }
        ConfigFixture cfg;
        cfg.device().page("Main").mask(Fx::mask("mb.01", 10, 20, 120, 30)
                                           .p("PATH_REL_AiM_MASK", kStockBar)
                                           .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                                           .add(Fx::bargraph("b1", 0, 0, 120, 30, "a1")
                                                    .p("XEnd1", 100)
                                                    .p("XEnd2", 100)
                                                    .add(Fx::stepScale({{"0", "0"}, {"100", "9000"}}))));
        const QString path = cfg.writeTempZip("Race Day.zconf2");
        DashConfig c;
        if (!c.load(path) || !c.applyBarColor(0, 0))
            return {};
        *coloured = QString::fromUtf8(paramValue(c.pages[0].masks[0].node, "PATH_REL_AiM_MASK"));
        return c.save(path) ? path : QString();
    }

private Q_SLOTS:
    // The beta install's item folder (or its set folder) is a link to a
    // folder of the user's, or to nothing: the open neither empties, moves
    // nor removes it, and says so.
    void linkedItemFolderIsLeft_data()
    {
        QTest::addColumn<QString>("linkAt");
        QTest::addColumn<bool>("dangling");
        QTest::newRow("item folder") << "item" << false;
        QTest::newRow("item folder, pointing nowhere") << "item" << true;
        QTest::newRow("set folder on the way") << "set" << false;
    }
    void linkedItemFolderIsLeft()
    {
        QFETCH(QString, linkAt);
        QFETCH(bool, dangling);
        Rs3Fixture fx;
        QString rel;
        const QString path = styledBox(fx, &rel);
        QVERIFY(!path.isEmpty());
        const QString outside = usersFolder();
        QVERIFY(!outside.isEmpty());
        const QString item = fx.absolutePath(Rs3Fixture::Beta, rel).chopped(1);
        const QString linked = linkAt == "item" ? item : QFileInfo(QFileInfo(item).path()).path();
        QVERIFY(QDir(linked).removeRecursively());
        const QString pointee = dangling ? outside + "/gone" : outside;
        QVERIFY(QFile::link(pointee, linked));
        const auto outsideBefore = Rs3Fixture::treeSnapshot(outside);
        const auto stableBefore = Rs3Fixture::treeSnapshot(fx.root(Rs3Fixture::Stable));

        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(Rs3Fixture::treeSnapshot(outside), outsideBefore);
        QVERIFY(isLinkTo(linked, pointee));
        const QDir above(QFileInfo(linked).path());
        QCOMPARE(above.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(), 1);
        QCOMPARE(Rs3Fixture::treeSnapshot(fx.root(Rs3Fixture::Stable)), stableBefore);
        QVERIFY2(notesName(c.artState.notes, linked + " is a symbolic link"), qPrintable(c.artState.notes.join('\n')));
        // Forced, the item is drawn in the install that holds it; the link
        // is still neither followed nor replaced.
        c.artState.notes.clear();
        c.repairMissingHomebrewArt(true);
        QCOMPARE(Rs3Fixture::treeSnapshot(outside), outsideBefore);
        QVERIFY(isLinkTo(linked, pointee));
        QVERIFY(notesName(c.artState.notes, linked + " is a symbolic link"));
    }

    // The beta install has the coloured item partly: its own picture in the
    // device format and the user's notes, no editor picture. It is left as
    // it is and named.
    void partFolderIsLeft()
    {
        Rs3Fixture fx;
        QString coloured;
        const QString path = colouredBar(fx, &coloured);
        QVERIFY(!path.isEmpty());
        const QString beta = fx.absolutePath(Rs3Fixture::Beta, coloured);
        QVERIFY(QFile::remove(beta + "mask.png"));
        QVERIFY(TestFiles::writeBytes(beta + "mask.tgz", "beta's own picture"));
        QVERIFY(TestFiles::writeBytes(beta + "my-notes.txt", "mine"));
        const auto before = fx.snapshot();

        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(c.barRepairCount, 0);
        QCOMPARE(fx.snapshot(), before);
        QVERIFY2(notesName(c.artState.notes, beta.chopped(1)), qPrintable(c.artState.notes.join('\n')));
    }

    // A link in the folder an install holds is not copied, as a link or as
    // the bytes it leads to; the folder the other install lacks gets the
    // rest.
    void linkInsideHeldFolderIsNotCopied()
    {
        Rs3Fixture fx;
        QString coloured;
        const QString path = colouredBar(fx, &coloured);
        QVERIFY(!path.isEmpty());
        const QString secret = TestEnvironment::makeTempDir("secret") + "/secret.txt";
        QVERIFY(TestFiles::writeBytes(secret, "outside both installs"));
        const QString stable = fx.absolutePath(Rs3Fixture::Stable, coloured);
        QVERIFY(QFile::link(secret, stable + "readme-link.txt"));
        const QString beta = fx.absolutePath(Rs3Fixture::Beta, coloured);
        const auto betaBefore = Rs3Fixture::treeSnapshot(beta);
        QVERIFY(FolderCopy::removeTree(beta));

        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(c.barRepairCount, 1);
        QVERIFY(!QFileInfo::exists(beta + "readme-link.txt") && !QFileInfo(beta + "readme-link.txt").isSymLink());
        QCOMPARE(Rs3Fixture::treeSnapshot(beta), betaBefore);
        QVERIFY2(notesName(c.artState.notes, "readme-link.txt"), qPrintable(c.artState.notes.join('\n')));
    }

    // A stock item holding a link to an endless device and an outsized file:
    // colouring it reads neither (memory stays bounded) and copies neither
    // the link nor its bytes.
    void endlessAndOutsizedStockFiles()
    {
        Rs3Fixture fx;
        const QString big = TestEnvironment::makeTempDir("big") + "/big.tgz";
        {
            QFile f(big);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(kArtFileReadBound + 1));
        }
        QVERIFY(TestEnvironment::resetResidentPeak());
        const qint64 start = TestEnvironment::residentBytes();
        QString coloured;
        const QString path = colouredBar(fx, &coloured, {"zz.tgz>/dev/zero", "zbig.tgz>" + big});
        QVERIFY(!path.isEmpty());
        const qint64 peak = TestEnvironment::residentBytes(true);
        QVERIFY2(peak < 0 || peak - start < kArtFileReadBound, qPrintable(QString::number(peak - start)));
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString folder = fx.absolutePath(root, coloured);
            QVERIFY(QFileInfo(folder + "mask.png").isFile());
            for (const QString name : {"zz.tgz", "zbig.tgz"})
                QVERIFY(!QFileInfo::exists(folder + name) && !QFileInfo(folder + name).isSymLink());
        }
    }

    // Bounded reads take regular files of at most the bound, nothing else.
    void readRegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("read");
        QTest::newRow("regular") << "regular" << true;
        QTest::newRow("at the bound") << "bound" << true;
        QTest::newRow("past the bound") << "past" << false;
        QTest::newRow("link to a file") << "link" << false;
        QTest::newRow("link to /dev/zero") << "zero" << false;
        QTest::newRow("pipe") << "pipe" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("missing") << "missing" << false;
    }
    void readRegularFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, read);
        const QString dir = TestEnvironment::makeTempDir();
        const QString path = dir + "/f";
        QVERIFY(TestFiles::writeBytes(dir + "/plain", "0123456789"));
        if (kind == "regular" || kind == "bound" || kind == "past") {
            QVERIFY(TestFiles::writeBytes(path, QByteArray(kind == "past" ? 11 : 10, 'x')));
        } else if (kind == "link") {
            QVERIFY(QFile::link(dir + "/plain", path));
        } else if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (kind == "pipe") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(path));
        }
        QByteArray bytes;
        QCOMPARE(FolderCopy::readRegularFile(path, 10, &bytes), read);
        QCOMPARE(bytes.size(), read ? 10 : 0);
    }

    // Copies into a folder that is there, and removals: nothing held is
    // written over, nothing behind a link is touched.
    void copiesKeepWhatIsThere()
    {
        const QString dir = TestEnvironment::makeTempDir();
        const QString outside = usersFolder();
        QVERIFY(QDir().mkpath(dir + "/src/sub") && QDir().mkpath(dir + "/dst"));
        QVERIFY(TestFiles::writeBytes(dir + "/src/a.txt", "new a"));
        QVERIFY(TestFiles::writeBytes(dir + "/src/sub/b.txt", "b"));
        QVERIFY(QFile::link(outside, dir + "/src/away"));
        QVERIFY(TestFiles::writeBytes(dir + "/dst/a.txt", "old a"));
        const auto outsideBefore = Rs3Fixture::treeSnapshot(outside);

        FolderCopy copy;
        QCOMPARE(copy.addFolder(dir + "/src", dir + "/dst"), FolderCopy::Outcome::Present);
        QCOMPARE(TestFiles::readBytes(dir + "/dst/a.txt"), QByteArray("old a"));
        QVERIFY(copy.addMissing(dir + "/src", dir + "/dst"));
        QCOMPARE(TestFiles::readBytes(dir + "/dst/a.txt"), QByteArray("old a"));
        QCOMPARE(TestFiles::readBytes(dir + "/dst/sub/b.txt"), QByteArray("b"));
        QVERIFY(!QFileInfo(dir + "/dst/away").exists() && !QFileInfo(dir + "/dst/away").isSymLink());
        QVERIFY(notesName(copy.notes(), dir + "/src/away"));

        // A link in the target's place, or on its way, is left.
        QVERIFY(QFile::link(outside, dir + "/linked"));
        QCOMPARE(copy.addFolder(dir + "/src", dir + "/linked"), FolderCopy::Outcome::Present);
        QCOMPARE(copy.addFolder(dir + "/src", dir + "/linked/inner", dir), FolderCopy::Outcome::Present);
        QVERIFY(!copy.replaceFolder(dir + "/src", dir + "/linked/inner", dir));
        // Replacing a link replaces the link only; removing one removes it.
        QVERIFY(copy.replaceFolder(dir + "/src", dir + "/linked"));
        QVERIFY(!QFileInfo(dir + "/linked").isSymLink());
        QVERIFY(QFile::link(outside, dir + "/dst/link"));
        QVERIFY(FolderCopy::removeTree(dir + "/dst"));
        QVERIFY(!QFileInfo::exists(dir + "/dst"));
        QCOMPARE(Rs3Fixture::treeSnapshot(outside), outsideBefore);
        QVERIFY(copy.flush());
    }

    // A copy that cannot be made says which folder and why: a file in the
    // place of the folder the item goes in.
    void failedCopyIsNamedWithItsReason()
    {
        Rs3Fixture fx;
        QString rel;
        const QString path = styledBox(fx, &rel);
        QVERIFY(!path.isEmpty());
        const QString items = fx.absolutePath(Rs3Fixture::Beta, kBoxSet).chopped(1);
        QVERIFY(FolderCopy::removeTree(items));
        QVERIFY(TestFiles::writeBytes(items, "a file in the folder's place"));
        const auto before = fx.snapshot();

        DashConfig c;
        QVERIFY(c.load(path));
        QCOMPARE(c.homebrewRepairCount, 0);
        QCOMPARE(fx.snapshot(), before);
        QCOMPARE(c.artState.notes.size(), 1);
        const QString note = c.artState.notes.first();
        QVERIFY2(note.contains(items) && note.section(": ", -1).size() > 0, qPrintable(note));
        QVERIFY2(note.contains(QString::fromLocal8Bit(strerror(ENOTDIR))), qPrintable(note));
        // Refresh box artwork says the same.
        c.artState.notes.clear();
        c.repairMissingHomebrewArt(true);
        QVERIFY2(notesName(c.artState.notes, items), qPrintable(c.artState.notes.join('\n')));
        QCOMPARE(fx.snapshot(), before);
    }

    // An install whose disk is full: the copy leaves nothing behind, and the
    // open says which folder and the system's reason.
    void fullInstallIsNamedWithItsReason()
    {
        Rs3Fixture fx;
        QString rel;
        const QString path = styledBox(fx, &rel);
        QVERIFY(!path.isEmpty());
        const QString beta = fx.absolutePath(Rs3Fixture::Beta, rel);
        QString said;
        const auto outcome = FileSizeLimit::run(
            qint64(1) << 30,
            [&](QString* text) {
                DashConfig c;
                if (!c.load(path) || !QDir(beta).removeRecursively())
                    return false;
                FileSizeLimit::setSoftLimit(0);
                c.repairMissingHomebrewArt(false);
                *text = c.artState.notes.join('\n');
                return true;
            },
            &said);
        QCOMPARE(outcome, FileSizeLimit::Outcome::ReportedSuccess);
        QVERIFY2(said.contains(beta.chopped(1)) && said.contains(QString::fromLocal8Bit(strerror(EFBIG))),
                 qPrintable(said));
        QVERIFY(!QFileInfo::exists(beta));
        QCOMPARE(QDir(QFileInfo(beta.chopped(1)).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    }
};

KORV_GUI_TEST_MAIN(ArtCopiesTest)
#include "tst_artcopies.moc"
