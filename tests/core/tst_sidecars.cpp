#include "DemoStock.h"
#include "artwork/BarColorSnapshot.h"
#include "editing/MultiBoxCellRequest.h"
#include "editing/RemovePageCommand.h"
#include "model/DashConfig.h"
#include "model/SamePath.h"
#include "model/SidecarKeys.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUndoStack>
#include <QRegularExpression>
#include <QtTest>

namespace {
QJsonObject readJson(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

bool writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}
}

class SidecarsTest : public QObject {
    Q_OBJECT

private:
    QString m_dir;
    void openAt(DashConfig& config, const QString& name = QStringLiteral("race.final.zconf2"))
    {
        m_dir = TestEnvironment::makeTempDir(QStringLiteral("cfg"));
        config.zconf2Path = m_dir + QLatin1Char('/') + name;
    }

private Q_SLOTS:
    void pathsFollowTheConfiguration()
    {
        DashConfig config;
        QVERIFY(config.barColorSidecarPath().isEmpty());
        QVERIFY(config.loadBoxStyleSidecar().isEmpty());
        QVERIFY(config.saveBarColorSidecar({{"bar1", BarColorRecord{true, 1.0, "x", ""}}}));
        openAt(config);
        QCOMPARE(config.barColorSidecarPath(), m_dir + "/race.final.barcolor.json");
        QCOMPARE(config.boxStylesSidecarPath(), m_dir + "/race.final.boxstyles.json");
        QCOMPARE(config.multiBoxSidecarPath(), m_dir + "/race.final.multibox.json");
        QCOMPARE(config.iconPreviewSidecarPath(), m_dir + "/race.final.iconpreview.json");
    }

    void keys()
    {
        QCOMPARE(sidecarKey("box", "md.03", 3), QStringLiteral("md.03"));
        QCOMPARE(sidecarKey("box", "", 3), QStringLiteral("box3"));
        QCOMPARE(iconPreviewKey("", 0), QStringLiteral("icon0"));
    }

    // A record key names the page (its device file's folder and its id, or
    // its place in the file) and the mask: namesakes on two pages, and on
    // two displays' pages of one id, never share one.
    void keysNameThePage()
    {
        ConfigFixture cfg;
        cfg.device().page("A").mask(Fx::mask("md.00", 0, 0, 10, 10)).mask(Fx::mask("", 0, 0, 10, 10));
        cfg.device().page("B").mask(Fx::mask("md.00", 0, 0, 10, 10));
        cfg.addDevice("dash2").page("C").mask(Fx::mask("md.00", 0, 0, 10, 10));
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        QCOMPARE(config.pageCount(), 3);
        QCOMPARE(config.sidecarKey(0, 0, SidecarStore::BoxStyles), QStringLiteral("dash/p1/md.00"));
        QCOMPARE(config.sidecarKey(1, 0, SidecarStore::BoxStyles), QStringLiteral("dash/p2/md.00"));
        QCOMPARE(config.sidecarKey(2, 0, SidecarStore::BoxStyles), QStringLiteral("dash2/p1/md.00"));
        QCOMPARE(config.sidecarKey(0, 1, SidecarStore::BarColors), QStringLiteral("dash/p1/bar1"));
        QCOMPARE(config.sidecarKey(0, 1, SidecarStore::BoxStyles), QStringLiteral("dash/p1/box1"));
        QCOMPARE(config.sidecarKey(0, 1, SidecarStore::IconPreviews), QStringLiteral("dash/p1/icon1"));
        // A multi-value box without an id keeps its style under its grid's key.
        QVERIFY(config.saveMultiBoxEntry(config.sidecarKey(0, 1, SidecarStore::MultiBoxes), 1, 2, "above"));
        QCOMPARE(config.sidecarKey(0, 1, SidecarStore::BoxStyles), QStringLiteral("dash/p1/mbox1"));
        // A page without an id: its place among its file's pages.
        config.pageParamNode(1).remove_attribute("i");
        QCOMPARE(config.sidecarKey(1, 0, SidecarStore::BarColors), QStringLiteral("dash/page1/md.00"));
        QVERIFY(config.sidecarKey(0, 5, SidecarStore::BarColors).isEmpty());
        QVERIFY(config.sidecarKey(7, 0, SidecarStore::BarColors).isEmpty());
    }

    // Records of a removed page stay in the stores (an undo of the removal
    // brings the page back with them): a page added later never takes its
    // id, so a namesake mask on it is no multi-value box.
    void newPageTakesNoRemovedPagesRecords()
    {
        ConfigFixture cfg;
        cfg.device().page("A");
        DashConfig config;
        QVERIFY(config.load(cfg.writeTempZip()));
        const int removed = config.newPage("B");
        const int box =
            config.addMultiBox(removed, 1, 2, "above", std::vector<MultiBoxCellRequest>(2), QRect(0, 0, 200, 80));
        QVERIFY(box >= 0);
        const QString name = config.page(removed)->masks[size_t(box)].id;
        QVERIFY(config.removePage(removed));
        const int added = config.newPage("C");
        MaskElement mask;
        const int namesake = config.addMaskSimple(added, name, mask);
        QVERIFY(namesake >= 0);
        QVERIFY(!config.hasMultiBoxRecord(added, namesake));
        QVERIFY(!config.multiBoxRecord(added, namesake).found);
    }

    // A record of an older file serves the one mask it can mean; once that
    // mask's page is removed, a page added later does not take its id.
    void newPageTakesNoAdoptedRecords()
    {
        ConfigFixture cfg;
        cfg.device().page("A").mask(Fx::mask("md.00", 0, 0, 10, 10));
        cfg.device().page("B").mask(Fx::mask("ico.1", 0, 0, 10, 10));
        const QString path = cfg.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        // Numbered as RaceStudio 3 numbers them: a new page takes the next.
        for (int p = 0; p < 2; ++p)
            config.pageParamNode(p).attribute("i").set_value(QByteArray::number(p + 1).constData());
        config.markPageDirty(0);
        QVERIFY(config.save(path));
        QVERIFY(writeText(config.iconPreviewSidecarPath(), R"({"icons":{"ico.1":{"graphic":"oil.png"}},"version":1})"));
        QVERIFY(config.load(path));
        QCOMPARE(config.iconPreviewGraphic(1, 0), QStringLiteral("oil.png"));
        QVERIFY(config.removePage(1));
        const int added = config.newPage("C");
        MaskElement mask;
        const int namesake = config.addMaskSimple(added, QStringLiteral("ico.1"), mask);
        QVERIFY(namesake >= 0);
        QVERIFY(config.iconPreviewGraphic(added, namesake).isEmpty());
    }

    // Pages without an id are named by their place: removing one, undoing
    // that, and saving in between move every other page's records with it.
    void pagesWithoutIdsKeepTheirOwnRecords()
    {
        ConfigFixture cfg;
        for (const char* page : {"A", "B", "C"})
            cfg.device().page(page).mask(Fx::mask("md.01", 0, 0, 10, 10));
        const QString path = cfg.writeTempZip();
        DashConfig config;
        QVERIFY(config.load(path));
        for (int p = 0; p < 3; ++p)
            config.pageParamNode(p).remove_attribute("i");
        QVERIFY(config.setIconPreview(0, 0, QStringLiteral("a.png")));
        QVERIFY(config.setIconPreview(2, 0, QStringLiteral("c.png")));
        const auto previews = [&config] {
            QStringList shown;
            for (int p = 0; p < config.pageCount(); ++p)
                shown << config.page(p)->name + '=' + config.iconPreviewGraphic(p, 0);
            return shown;
        };
        QUndoStack stack;
        stack.push(new RemovePageCommand(&config, 0));
        QCOMPARE(previews(), (QStringList{"B=", "C=c.png"}));
        QVERIFY(config.save(path));
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        QCOMPARE(reopened.iconPreviewGraphic(1, 0), QStringLiteral("c.png"));
        QVERIFY(reopened.iconPreviewGraphic(0, 0).isEmpty());
        stack.undo();
        QCOMPARE(previews(), (QStringList{"A=a.png", "B=", "C=c.png"}));
        stack.redo();
        QCOMPARE(previews(), (QStringList{"B=", "C=c.png"}));
    }

    // Stores as the editor wrote them before keys named the page, beside the
    // demo, whose pages all name their masks md.00 .. md.03. A record serves
    // the one mask it can only mean (the only mask of that id, or the one
    // showing the art the record made), moves under that mask's key at the
    // next save; a record that could mean several stays as it is and serves
    // none.
    void olderStoresServeTheMaskTheyMean()
    {
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("older")));
        if (path.isEmpty())
            QSKIP("no demo configuration");
        const QString boxArt = DemoStock::itemPath("s04_homebrew/zbox_Demo/Items/box_md_01_0badc0de/");
        const QString barArt = DemoStock::itemPath("s04_homebrew/zbar_Demo_md_02/Items/b_hbar/");
        {
            // Race's value box styled and its bar coloured, and a
            // multi-value box on Laps, as the editor left them.
            DashConfig before;
            QVERIFY(before.load(path));
            setParam(before.pages[0].masks[1].node, "PATH_REL_AiM_MASK", boxArt.toUtf8());
            setParam(before.pages[0].masks[2].node, "PATH_REL_AiM_MASK", barArt.toUtf8());
            setElementId(before.pages[2].masks[3].node, QStringLiteral("mbox.1"));
            before.markPageDirty(0);
            before.markPageDirty(2);
            QVERIFY(before.save(path));
            QVERIFY(writeText(before.boxStylesSidecarPath(),
                              R"({"masks":{"md.01":{"caption":"SPD","originalPathRel":")" + DemoStock::valueBoxItem().toUtf8()
                                  + R"(","styleId":"panel_outline"},"md.03":{"originalPathRel":"","styleId":"carbon"}},"version":1})"));
            QVERIFY(writeText(before.barColorSidecarPath(),
                              R"({"masks":{"md.02":{"colored":true,"originalPathRel":")" + DemoStock::barItem().toUtf8()
                                  + R"(","redline":8000}},"version":1})"));
            QVERIFY(writeText(before.multiBoxSidecarPath(),
                              R"({"masks":{"mbox.1":{"cols":2,"labelPlacement":"above","rows":2}},"version":1})"));
            QVERIFY(writeText(before.iconPreviewSidecarPath(), R"({"icons":{"md.02":{"graphic":"oil.png"}},"version":1})"));
        }
        const QByteArray ambiguousStyle = QJsonDocument(readJson(QFileInfo(path).absolutePath() + "/Demo.boxstyles.json")
                                                            .value("masks").toObject().value("md.03").toObject())
                                              .toJson();

        const auto check = [&](DashConfig& config) {
            QCOMPARE(config.boxStyleRecord(0, 1).caption, QStringLiteral("SPD"));
            QVERIFY(!config.boxStyleRecord(1, 1).present);
            QVERIFY(!config.boxStyleRecord(2, 1).present);
            QVERIFY(config.barColorSnapshot(0, 2).hasRecord);
            QVERIFY(!config.barColorSnapshot(2, 2).hasRecord);
            QCOMPARE(config.multiBoxRecord(2, 3).rows, 2);
            for (int page = 0; page < 3; ++page) {
                QVERIFY(!config.boxStyleRecord(page, 3).present);
                QVERIFY(config.iconPreviewGraphic(page, 2).isEmpty());
            }
        };
        DashConfig config;
        QVERIFY(config.load(path));
        check(config);
        // Only a save of the configuration moves them.
        QVERIFY(readJson(config.boxStylesSidecarPath()).value("masks").toObject().contains("md.01"));
        QVERIFY(config.save(path));
        const QJsonObject styles = readJson(config.boxStylesSidecarPath()).value("masks").toObject();
        QCOMPARE(styles.keys(), (QStringList{config.sidecarKey(0, 1, SidecarStore::BoxStyles), "md.03"}));
        QCOMPARE(QJsonDocument(styles.value("md.03").toObject()).toJson(), ambiguousStyle);
        QCOMPARE(readJson(config.barColorSidecarPath()).value("masks").toObject().keys(),
                 QStringList{config.sidecarKey(0, 2, SidecarStore::BarColors)});
        QCOMPARE(readJson(config.multiBoxSidecarPath()).value("masks").toObject().keys(),
                 QStringList{config.sidecarKey(2, 3, SidecarStore::MultiBoxes)});
        QCOMPARE(readJson(config.iconPreviewSidecarPath()).value("icons").toObject().keys(), QStringList{"md.02"});
        DashConfig reopened;
        QVERIFY(reopened.load(path));
        check(reopened);
    }

    // Every store's edits wait for the save: an editor that ends before it
    // leaves each file with the records the saved configuration was saved
    // with, so nothing read later (a resize, a repair) draws from an unsaved
    // record. The save writes them.
    void editsWaitForTheSave_data()
    {
        QTest::addColumn<int>("store");
        QTest::newRow("bar colours") << int(SidecarStore::BarColors);
        QTest::newRow("box styles") << int(SidecarStore::BoxStyles);
        QTest::newRow("multi-value boxes") << int(SidecarStore::MultiBoxes);
        QTest::newRow("icon previews") << int(SidecarStore::IconPreviews);
    }
    void editsWaitForTheSave()
    {
        QFETCH(int, store);
        const auto write = [store](DashConfig& c, const QString& value) {
            switch (SidecarStore(store)) {
            case SidecarStore::BarColors:
                return c.stageBarColorSidecar({{"md.01", BarColorRecord{true, 1.0, value, ""}}});
            case SidecarStore::BoxStyles:
                return c.saveBoxStyleSidecar({{"md.01", BoxStyleRecord{value, "o/", 0, true, "", 0, 0}}});
            case SidecarStore::MultiBoxes:
                return c.saveMultiBoxEntry("md.01", 2, 2, value);
            case SidecarStore::IconPreviews:
                return c.saveIconPreviewSidecar({{"md.01", IconPreviewRecord{value}}});
            }
            return false;
        };
        const auto read = [store](const DashConfig& c) {
            switch (SidecarStore(store)) {
            case SidecarStore::BarColors:
                return c.loadBarColorSidecar().value("md.01").originalPathRel;
            case SidecarStore::BoxStyles:
                return c.loadBoxStyleSidecar().value("md.01").styleId;
            case SidecarStore::MultiBoxes:
                return c.loadMultiBoxSidecar().value("md.01").labelPlacement;
            case SidecarStore::IconPreviews:
                return c.loadIconPreviewSidecar().value("md.01").graphic;
            }
            return QString();
        };
        DashConfig config;
        openAt(config);
        QVERIFY(write(config, "saved") && config.writeStagedRecords());
        QVERIFY(write(config, "unsaved"));
        QCOMPARE(read(config), QStringLiteral("unsaved"));
        {
            DashConfig later; // what an open after an abnormal end reads
            later.zconf2Path = config.zconf2Path;
            QCOMPARE(read(later), QStringLiteral("saved"));
        }
        QVERIFY(config.writeStagedRecords());
        DashConfig saved;
        saved.zconf2Path = config.zconf2Path;
        QCOMPARE(read(saved), QStringLiteral("unsaved"));
    }

    void boxStyleWritesOnlyNonDefaults()
    {
        DashConfig config;
        openAt(config);
        BoxStyleRecord r;
        r.styleId = "carbon";
        r.originalPathRel = "aim/resources/overlay/mxg_12/a/";
        r.accentArgb = 0xFF00FF00u;
        QVERIFY(config.saveBoxStyleSidecar({{"md.01", r}}));
        // The record waits for the save, which writes it.
        QVERIFY(!QFileInfo::exists(config.boxStylesSidecarPath()));
        QVERIFY(config.writeStagedRecords());
        const QJsonObject rec = readJson(config.boxStylesSidecarPath())["masks"].toObject()["md.01"].toObject();
        QCOMPARE(rec.keys(), (QStringList{"accentArgb", "originalPathRel", "styleId"}));
        QCOMPARE(rec["accentArgb"].toInteger(), qint64(4278255360LL));
        const BoxStyleRecord back = config.loadBoxStyleSidecar().value("md.01");
        QVERIFY(back.showDividers);
        QCOMPARE(back.accentArgb, 0xFF00FF00u);
        QCOMPARE(config.boxStyleAccentArgb("md.01"), 0xFF00FF00u);
        QCOMPARE(config.boxStyleAccentArgb("other"), 0u);

        r.showDividers = false;
        r.caption = "OIL";
        r.borderPx = -3;
        r.captionArgb = 0xFFFFFFFFu;
        QVERIFY(config.saveBoxStyleSidecar({{"md.01", r}}));
        const BoxStyleRecord all = config.loadBoxStyleSidecar().value("md.01");
        QCOMPARE(all.showDividers, false);
        QCOMPARE(all.caption, QStringLiteral("OIL"));
        QCOMPARE(all.borderPx, -3);
        QCOMPARE(all.captionArgb, 0xFFFFFFFFu);
    }

    void barColourRoundTrip()
    {
        DashConfig config;
        openAt(config);
        QVERIFY(config.saveBarColorSidecar({{"bar0", BarColorRecord{true, 7500.5, "aim/x/", ""}},
                                            {"md.02", BarColorRecord{false, 0, "", "1,2,3"}}}));
        const QJsonObject list = readJson(config.barColorSidecarPath())["masks"].toObject();
        QVERIFY(!list["bar0"].toObject().contains("originalCoords"));
        QCOMPARE(readJson(config.barColorSidecarPath())["version"].toInt(), 1);
        const auto back = config.loadBarColorSidecar();
        QCOMPARE(back.size(), 2);
        QCOMPARE(back["bar0"].redline, 7500.5);
        QVERIFY(back["bar0"].colored);
        QCOMPARE(back["md.02"].originalCoords, QStringLiteral("1,2,3"));
        QVERIFY(config.saveBarColorSidecar({}));
        QVERIFY(!QFileInfo::exists(config.barColorSidecarPath()));
    }

    void iconPreviewsWithoutGraphicRemoveTheFile()
    {
        DashConfig config;
        openAt(config);
        QVERIFY(config.saveIconPreviewSidecar({{"icon0", IconPreviewRecord{"fuel.png"}}}));
        QVERIFY(config.writeStagedRecords());
        QVERIFY(QFileInfo::exists(config.iconPreviewSidecarPath()));
        QVERIFY(config.saveIconPreviewSidecar({{"icon0", IconPreviewRecord{""}}}));
        QVERIFY(config.writeStagedRecords());
        QVERIFY(!QFileInfo::exists(config.iconPreviewSidecarPath()));
    }

    void multiBoxEntryKeepsOthers()
    {
        DashConfig config;
        openAt(config);
        QVERIFY(writeText(config.multiBoxSidecarPath(),
                          R"({"version":7,"masks":{"mbox1":{"rows":2,"cols":"3"}}})"));
        auto records = config.loadMultiBoxSidecar();
        QCOMPARE(records["mbox1"].rows, 2);
        QCOMPARE(records["mbox1"].cols, 0);
        QVERIFY(records["mbox1"].labelPlacement.isEmpty());
        QVERIFY(config.saveMultiBoxEntry("md.05", 3, 2, "left"));
        QVERIFY(config.writeStagedRecords());
        const QJsonObject list = readJson(config.multiBoxSidecarPath())["masks"].toObject();
        QVERIFY(list["mbox1"].toObject().contains("labelPlacement"));
        QCOMPARE(list["md.05"].toObject()["cols"].toInt(), 2);
    }

    void malformedFilesReadEmpty_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not json") << QByteArray("{{{");
        QTest::newRow("array") << QByteArray("[1,2]");
        QTest::newRow("list not object") << QByteArray(R"({"masks":[1]})");
        QTest::newRow("empty") << QByteArray();
    }

    void malformedFilesReadEmpty()
    {
        QFETCH(QByteArray, content);
        DashConfig config;
        openAt(config);
        QVERIFY(writeText(config.barColorSidecarPath(), content));
        QVERIFY(config.loadBarColorSidecar().isEmpty());
    }

    // Something at a store's name that is no file (a socket here) cannot be
    // read: writes of records, and of no records, are refused and say so,
    // and it stays where it is.
    void whatIsNoFileIsNeverReplaced_data()
    {
        QTest::addColumn<bool>("records");
        QTest::newRow("records") << true;
        QTest::newRow("no records") << false;
    }
    void whatIsNoFileIsNeverReplaced()
    {
        QFETCH(bool, records);
        DashConfig config;
        openAt(config);
        const QString path = config.barColorSidecarPath();
        QVERIFY(TestFiles::makeSocket(path));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^saveSidecar: kept"));
        QMap<QString, BarColorRecord> map;
        if (records)
            map.insert("bar0", BarColorRecord{true, 1, "x", ""});
        QVERIFY(!config.saveBarColorSidecar(map));
        QVERIFY2(config.sidecarFailure.startsWith(
                     QDir::toNativeSeparators(path) + QStringLiteral(" cannot be read (it is not a regular file).")),
                 qPrintable(config.sidecarFailure));
        QCOMPARE(config.sidecarReadFailure(SidecarStore::BarColors), config.sidecarFailure);
        const QFileInfo left(path);
        QVERIFY(left.exists() && !left.isFile() && !left.isDir());
    }

    void failedWriteIsReportedAndKeepsOldFile()
    {
        DashConfig config;
        openAt(config);
        QVERIFY(config.saveBoxStyleSidecar({{"a", BoxStyleRecord{"clean", "p", 0, true, "", 0, 0}}}));
        // A folder where the store should be cannot be replaced.
        QVERIFY(QDir().mkpath(config.barColorSidecarPath() + "/blocker"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^saveSidecar:"));
        QVERIFY(!config.saveBarColorSidecar({{"bar0", BarColorRecord{true, 1, "x", ""}}}));
        QVERIFY(QFileInfo(config.barColorSidecarPath()).isDir());
        QCOMPARE(config.loadBoxStyleSidecar().value("a").styleId, QStringLiteral("clean"));
    }

    // Which configuration a path names: two missing files are never the
    // same file unless they are one name; files on disk compare as the
    // file system resolves them.
    void samePathsCompareByName_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("two missing files") << "gone/a.zconf2" << "other/b.zconf2" << false;
        QTest::newRow("one missing file, spelled twice") << "gone/a.zconf2" << "gone/x/../a.zconf2" << true;
        QTest::newRow("a missing file and one on disk") << "gone/a.zconf2" << "here/a.zconf2" << false;
        QTest::newRow("one file on disk, through a link") << "here/a.zconf2" << "link/a.zconf2" << true;
        QTest::newRow("an empty path") << "" << "" << false;
    }
    void samePathsCompareByName()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("paths"));
        QVERIFY(QDir().mkpath(dir + "/here"));
        QVERIFY(writeText(dir + "/here/a.zconf2", "x"));
        QVERIFY(QFile::link(dir + "/here", dir + "/link"));
        const auto full = [&dir](const QString& path) { return path.isEmpty() ? path : dir + '/' + path; };
        QCOMPARE(isSamePath(full(a), full(b)), same);
        QCOMPARE(isSamePath(full(b), full(a)), same);
    }

    // A colour record fits the bar's coloured folder (or a paste's copy of
    // it) made from the record's stock item, whichever slash the file uses.
    void barColourRecordFits_data()
    {
        QTest::addColumn<QString>("art");
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<bool>("fits");
        const QString stock = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/p01/Items/md3/");
        const QString coloured =
            QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zbar_c_md_02_0123abcd/Items/md3/");
        const auto backslashed = [](QString path) { return path.replace(QLatin1Char('/'), QLatin1Char('\\')); };
        QTest::newRow("coloured") << coloured << stock << true;
        QTest::newRow("coloured, either slash") << backslashed(coloured) << backslashed(stock) << true;
        QTest::newRow("coloured, no stamp") << backslashed(coloured) << QString() << true;
        QTest::newRow("pasted copy") << "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/zpaste_c_0123abcd/Items/md3/"
                                     << stock << true;
        QTest::newRow("other colouring") << coloured << stock + "x/" << false;
        QTest::newRow("stock") << stock << QString() << false;
    }

    void barColourRecordFits()
    {
        QFETCH(QString, art);
        QFETCH(QString, stamp);
        QFETCH(bool, fits);
        pugi::xml_document doc;
        pugi::xml_node mask = doc.append_child("e");
        setParam(mask, "PATH_REL_AiM_MASK", art.toUtf8());
        if (!stamp.isEmpty())
            setParam(mask, "DE_BARCOLOR_SRC", stamp.toUtf8());
        mask.append_child("e").append_attribute("c") = "Bargraph";
        const BarColorRecord record{true, 8000, "aim/resources/overlay/mxg_12/masks/set/standard/s01/p01/Items/md3/", ""};
        QCOMPARE(DashConfig::barColorRecordFits(record, mask), fits);
    }

    void boxStyleForElement_data()
    {
        QTest::addColumn<QStringList>("children");
        QTest::addColumn<QString>("sfondo"); // PATH_IMAGE_SFONDO_FW, null for none
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("art"); // PATH_REL_AiM_MASK; a box item of the editor's unless given
        QTest::newRow("stored style") << QStringList{"Digit"} << "mask.tgz" << "md.01" << "carbon" << QString();
        // A record the mask's art was not drawn from: the box is the art's.
        QTest::newRow("stored style, stock art") << QStringList{"Digit"} << "mask.tgz" << "md.01" << "custom"
                                                 << "aim/resources/overlay/mxg_12/masks/set/standard/s01/p01/Items/a/";
        // RaceStudio 3 takes either slash; a paste moves a box to a copy of
        // its item, named as it was.
        QTest::newRow("stored style, either slash")
            << QStringList{"Digit"} << "mask.tgz" << "md.01" << "carbon"
            << "aim\\resources\\overlay\\mxg_12\\masks\\set\\standard\\s04_homebrew\\zbox_x\\Items\\box_md_01\\";
        QTest::newRow("stored style, pasted copy") << QStringList{"Digit"} << "mask.tgz" << "md.01" << "carbon"
                                                   << "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/"
                                                      "zpaste_x_0123abcd/Items/box_md_01/";
        QTest::newRow("stored style, pasted stock copy") << QStringList{"Digit"} << "mask.tgz" << "md.01" << "custom"
                                                         << "aim/resources/overlay/mxg_12/masks/set/standard/"
                                                            "s04_homebrew/zpaste_x_0123abcd/Items/md3/";
        QTest::newRow("empty stored style, own art") << QStringList{"Digit"} << "mask.tgz" << "md.02" << "custom" << QString();
        QTest::newRow("no record, own art") << QStringList{"Label", "Digit"} << "mask.tgz" << "md.09" << "custom" << QString();
        QTest::newRow("no record, no art") << QStringList{"Digit"} << QString() << "md.09" << QString() << QString();
        QTest::newRow("empty art parameter") << QStringList{"Digit"} << "" << "md.09" << QString() << QString();
        QTest::newRow("digit and ring") << QStringList{"Digit", "Ring"} << "mask.tgz" << "md.01" << QString() << QString();
        QTest::newRow("digit and bar") << QStringList{"Digit", "BargraphTrapezio"} << "mask.tgz" << "md.01"
                                       << QString() << QString();
        QTest::newRow("no digit") << QStringList{"Label"} << "mask.tgz" << "md.01" << QString() << QString();
    }

    void boxStyleForElement()
    {
        QFETCH(QStringList, children);
        QFETCH(QString, sfondo);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QFETCH(QString, art);
        DashConfig config;
        openAt(config);
        QVERIFY(config.saveBoxStyleSidecar({{"md.01", BoxStyleRecord{"carbon", "aim/x/", 0, true, "", 0, 0}},
                                            {"md.02", BoxStyleRecord{"", "aim/x/", 0, true, "", 0, 0}}}));
        pugi::xml_document doc;
        pugi::xml_node mask = doc.append_child("e");
        mask.append_attribute("c") = "GMaskParam";
        setParam(mask, "PATH_REL_AiM_MASK",
                 (art.isEmpty() ? QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew/"
                                                 "zbox_x/Items/box_md_01/")
                                : art)
                     .toUtf8());
        if (!sfondo.isNull()) {
            pugi::xml_node p = mask.append_child("p");
            p.append_attribute("n") = "PATH_IMAGE_SFONDO_FW";
            p.text().set(sfondo.toUtf8().constData());
        }
        for (const QString& cls : children)
            mask.append_child("e").append_attribute("c") = cls.toUtf8().constData();
        QCOMPARE(config.boxStyleForElement(key, mask), expected);
    }
};

KORV_GUI_TEST_MAIN(SidecarsTest)
#include "tst_sidecars.moc"
