#include "artwork/MadeArtFolders.h"
#include "artwork/PastedArt.h"
#include "artwork/SavedArtFolders.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

namespace {

const QString kStandard("aim/resources/overlay/mxg_12/masks/set/standard/");
const QString kSource = kStandard + "s02/p01/Items/b_hbar/";
const QString kStock = kStandard + "s02/p01/Items/b_vbar/";
const QString kHomebrew = kStandard + "s04_homebrew/zbox_Race/Items/box_1/";

} // namespace

// The pictures pasted widgets name, brought beside a mask's art in both
// installs without writing over anything they hold, and taken away again by
// what the write noted.
class PastedArtTest : public QObject {
    Q_OBJECT

    // Both installs have the device; the stable one the source bar, the
    // stock standing bar (its own strip of the same name) and a homebrew box.
    static void install(const Rs3Fixture& fx)
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
        for (const auto& [rel, bytes] : std::initializer_list<std::pair<QString, QByteArray>>{
                 {kSource + "m4on0.tgz", "LYING-ON-TGZ"},
                 {kSource + "m4on0.png", "LYING-ON-PNG"},
                 {kSource + "m4off.tgz", "LYING-OFF-TGZ"},
                 {kStock + "mask.png", "STANDING"},
                 {kStock + "b_vbar.M2.xml", "<aimDataBase_Mask2/>"},
                 {kStock + "m4on0.tgz", "STANDING-ON-TGZ"},
                 {kStock + "m4on0.png", "STANDING-ON-PNG"},
                 {kHomebrew + "mask.png", "BOX"}})
            QVERIFY(fx.writeFile(Rs3Fixture::Stable, rel, bytes));
    }

    static QByteArray file(const Rs3Fixture& fx, Rs3Fixture::Root root, const QString& rel)
    {
        return TestFiles::readBytes(fx.absolutePath(root, rel));
    }

private Q_SLOTS:
    // A stock item gets a copy of its own in every install with the device:
    // its files, the pasted strips under names of their own where the item
    // uses those names, the lacking one as it is. Planned again, the same
    // folder is found and nothing is written; what the write made goes
    // with removeAll.
    void stockItemGetsAnItemOfItsOwn()
    {
        Rs3Fixture fx;
        install(fx);
        const QMap<QString, QByteArray> before = fx.snapshot();
        PastedArt art;
        QVERIFY(PastedArt::plan(kSource, kStock, {"m4on0.tgz", "m4off.tgz"}, "Race", art));
        const QString own = art.ownItem();
        QVERIFY2(own.startsWith(kStandard + "s04_homebrew/zpaste_Race_") && own.endsWith("/Items/b_vbar/"),
                 qPrintable(own));
        const QString renamed = art.renamed().value("m4on0.tgz");
        QVERIFY2(renamed.startsWith("m4on0_") && renamed.endsWith(".tgz"), qPrintable(renamed));
        QCOMPARE(art.renamed().value("m4on0.png"), renamed.chopped(4) + ".png");
        QVERIFY(!art.renamed().contains("m4off.tgz"));

        MadeArtFolders made;
        QString error;
        QVERIFY2(art.write(made, nullptr, &error), qPrintable(error));
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            QCOMPARE(file(fx, root, own + "mask.png"), QByteArray("STANDING"));
            QCOMPARE(file(fx, root, own + "m4on0.tgz"), QByteArray("STANDING-ON-TGZ"));
            QCOMPARE(file(fx, root, own + renamed), QByteArray("LYING-ON-TGZ"));
            QCOMPARE(file(fx, root, own + renamed.chopped(4) + ".png"), QByteArray("LYING-ON-PNG"));
            QCOMPARE(file(fx, root, own + "m4off.tgz"), QByteArray("LYING-OFF-TGZ"));
            QVERIFY(QFileInfo::exists(fx.absolutePath(root, own.section("/Items/", 0, 0) + "/AiM_folder.xml")));
        }
        QCOMPARE(file(fx, Rs3Fixture::Stable, kStock + "m4on0.tgz"), QByteArray("STANDING-ON-TGZ"));
        const QMap<QString, QByteArray> written = fx.snapshot();

        PastedArt again;
        QVERIFY(PastedArt::plan(kSource, kStock, {"m4on0.tgz", "m4off.tgz"}, "Race", again));
        QCOMPARE(again.ownItem(), own);
        MadeArtFolders none;
        QVERIFY(again.write(none, nullptr));
        none.removeAll();
        QCOMPARE(fx.snapshot(), written);

        made.removeAll();
        QCOMPARE(fx.snapshot(), before);
    }

    // A nested device family ("pdm/dash2") keeps its whole folder in the
    // own item's path.
    void nestedFamily()
    {
        Rs3Fixture fx;
        const QString standard("aim/resources/overlay/pdm/dash2/masks/set/standard/");
        fx.addDeviceFolder(Rs3Fixture::Stable, "pdm/dash2");
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, standard + "s02/p01/Items/b_hbar/m4on0.tgz", "LYING"));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, standard + "s02/p01/Items/a_num/mask.png", "BOX"));
        PastedArt art;
        QString error;
        QVERIFY2(PastedArt::plan(standard + "s02/p01/Items/b_hbar/", standard + "s02/p01/Items/a_num/",
                                 {"m4on0.tgz"}, "Race", art, &error),
                 qPrintable(error));
        QVERIFY2(art.ownItem().startsWith(standard + "s04_homebrew/zpaste_Race_"), qPrintable(art.ownItem()));
        MadeArtFolders made;
        QVERIFY(art.write(made, nullptr));
        QCOMPARE(file(fx, Rs3Fixture::Stable, art.ownItem() + "m4on0.tgz"), QByteArray("LYING"));
        QCOMPARE(file(fx, Rs3Fixture::Stable, art.ownItem() + "mask.png"), QByteArray("BOX"));
    }

    // A folder of the editor's own that lacks the pictures gets them beside
    // its art, each with its twin, which Discard leaves; one whose folder for
    // this content holds other files (changed by hand) is left to it.
    void besideHomebrewArtAndAroundChangedFolders()
    {
        Rs3Fixture fx;
        install(fx);
        const QMap<QString, QByteArray> before = fx.snapshot();
        PastedArt beside;
        QVERIFY(PastedArt::plan(kSource, kHomebrew, {"m4on0.tgz"}, "Race", beside));
        QVERIFY(beside.ownItem().isEmpty());
        QVERIFY(beside.renamed().isEmpty());
        MadeArtFolders made;
        SavedArtFolders saved;
        QVERIFY(beside.write(made, &saved));
        QCOMPARE(file(fx, Rs3Fixture::Stable, kHomebrew + "m4on0.tgz"), QByteArray("LYING-ON-TGZ"));
        QCOMPARE(file(fx, Rs3Fixture::Stable, kHomebrew + "m4on0.png"), QByteArray("LYING-ON-PNG"));
        // Discard leaves what a paste wrote beside the art: a window or a
        // file may draw from it by now.
        const QMap<QString, QByteArray> pasted = fx.snapshot();
        QVERIFY(pasted != before);
        QVERIFY(saved.putBack());
        QCOMPARE(fx.snapshot(), pasted);

        PastedArt first;
        QVERIFY(PastedArt::plan(kSource, kStock, {"m4on0.tgz"}, "Race", first));
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, first.ownItem() + "mask.png", "CHANGED BY HAND"));
        PastedArt next;
        QVERIFY(PastedArt::plan(kSource, kStock, {"m4on0.tgz"}, "Race", next));
        QCOMPARE(next.ownItem(), QString(first.ownItem()).replace("/Items/", "_2/Items/"));
    }

    // Pictures no install holds where the widgets came from are not planned
    // and are named by missingPictures; what is there is brought along. One
    // the other install still holds is drawn from there, whatever the letter
    // case of its name there.
    void missingPicturesAreNamed_data()
    {
        QTest::addColumn<QString>("removed"); // from the stable install
        QTest::addColumn<QString>("missing"); // what missingPictures names, joined
        QTest::addColumn<bool>("betaHolds");  // the beta install holds m4on0.tgz there, in capitals
        QTest::newRow("folder removed") << kSource << "m4on0.tgz,m4off.tgz" << false;
        QTest::newRow("one picture of several removed") << kSource + "m4off.tgz" << "m4off.tgz" << false;
        QTest::newRow("the other install holds it, letter case aside") << kSource + "m4on0.tgz" << "" << true;
    }
    void missingPicturesAreNamed()
    {
        QFETCH(QString, removed);
        QFETCH(QString, missing);
        QFETCH(bool, betaHolds);
        Rs3Fixture fx;
        install(fx);
        QVERIFY(!betaHolds || fx.writeFile(Rs3Fixture::Beta, kSource + "M4ON0.TGZ", "BETA-ON-TGZ"));
        const QString at = fx.absolutePath(Rs3Fixture::Stable, removed);
        QVERIFY(removed.endsWith('/') ? QDir(at).removeRecursively() : QFile::remove(at));
        const QStringList names{"m4on0.tgz", "m4off.tgz"};
        QCOMPARE(PastedArt::missingPictures(kSource, names).join(','), missing);
        PastedArt art;
        QString error;
        QVERIFY2(PastedArt::plan(kSource, kHomebrew, names, "Race", art, &error), qPrintable(error));
        MadeArtFolders made;
        QVERIFY(art.write(made, nullptr));
        QCOMPARE(PastedArt::missingPictures(kHomebrew, names).join(','), missing);
        if (betaHolds)
            QCOMPARE(file(fx, Rs3Fixture::Stable, kHomebrew + "m4on0.tgz"), QByteArray("BETA-ON-TGZ"));
        // No folder at all finds nothing.
        QCOMPARE(PastedArt::missingPictures(QString(), names), names);
    }

    // Folders the user keeps elsewhere through a link are read as RaceStudio
    // 3 reads them; nothing is written through a link, and a picture that is
    // itself a link is not copied. A linked homebrew set in one install
    // leaves that install out, naming the link; in both, the write fails.
    void linksAreReadNotWrittenThrough()
    {
        Rs3Fixture fx;
        install(fx);
        const QString outside = TestEnvironment::makeTempDir(QStringLiteral("outside"));
        QVERIFY(TestFiles::writeBytes(outside + "/secret.txt", "SECRET"));
        QVERIFY(QFile::link(outside + "/secret.txt", fx.absolutePath(Rs3Fixture::Stable, kSource + "linked.tgz")));
        const QString source = fx.absolutePath(Rs3Fixture::Stable, kSource);
        const QString moved = outside + "/b_hbar";
        QVERIFY(QDir().rename(source, moved));
        QVERIFY(QFile::link(moved, source.chopped(1)));

        PastedArt art;
        QString error;
        QVERIFY2(PastedArt::plan(kSource, kHomebrew, {"linked.tgz", "m4on0.tgz"}, "Race", art, &error),
                 qPrintable(error));
        MadeArtFolders made;
        QVERIFY(art.write(made, nullptr));
        QCOMPARE(file(fx, Rs3Fixture::Stable, kHomebrew + "m4on0.tgz"), QByteArray("LYING-ON-TGZ"));
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kHomebrew + "linked.tgz")));
        QCOMPARE(PastedArt::missingPictures(kSource, {"linked.tgz", "m4on0.tgz"}), QStringList());

        const QString homebrew = fx.absolutePath(Rs3Fixture::Beta, kStandard + "s04_homebrew");
        QVERIFY(QDir().mkpath(QFileInfo(homebrew).path()));
        QVERIFY(QFile::link(outside, homebrew));
        QVERIFY(PastedArt::plan(kSource, kStock, {"m4on0.tgz"}, "Race", art));
        QCOMPARE(art.leftOut().size(), 1);
        QVERIFY2(art.leftOut().first().contains(homebrew), qPrintable(art.leftOut().first()));
        QVERIFY(art.write(made, nullptr, &error));
        QVERIFY(QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, art.ownItem() + "mask.png")));

        const QString stableHomebrew = fx.absolutePath(Rs3Fixture::Stable, kStandard + "s04_homebrew");
        QVERIFY(QDir(stableHomebrew).removeRecursively());
        QVERIFY(QFile::link(outside, stableHomebrew));
        const QMap<QString, QByteArray> before = fx.snapshot();
        QVERIFY(PastedArt::plan(kSource, kStock, {"m4on0.tgz"}, "Race", art));
        MadeArtFolders none;
        QVERIFY(!art.write(none, nullptr, &error));
        QVERIFY2(error.contains("symbolic link"), qPrintable(error));
        QCOMPARE(fx.snapshot(), before);
        QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"b_hbar", "secret.txt"}));
    }
};

KORV_GUI_TEST_MAIN(PastedArtTest)
#include "tst_pastedart.moc"
