#include "DemoStock.h"
#include "gallery/ConfigBundleInstall.h"
#include "model/FileEntries.h"
#include "model/InstallRoots.h"
#include "templates/PageTemplateLibrary.h"
#include "support/DemoStockSteps.h"
#include "support/TestFiles.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>

// Undo and Discard of a paste into a stock item point the element back and
// leave every file the paste wrote in the homebrew set, and everything
// others put there since: a window, the clipboard or a saved file may draw
// from it.
class PasteArtUndoTest : public QObject, DemoStockSteps {
    Q_OBJECT

    // Race's bar 04 copied into a new element of the type (a standing bar
    // unless named); that mask's art folder.
    QString pasteIntoStandingBar(const QString& type = QStringLiteral("Vertical bar"))
    {
        const int standing = insertStock(type);
        return standing >= 0 && copyBarInto(kRace, 2, standing) >= 0 ? maskPath(*config, kRace, standing) : QString();
    }

    QString homebrew(Rs3Fixture::Root root) const
    {
        return rs3->absolutePath(root, DemoStock::itemPath(QStringLiteral("s04_homebrew")));
    }

    // Every file a saved configuration points its masks at, in both
    // installs; a folder it names that is gone shows as missing.
    QMap<QString, QByteArray> savedArt(const QString& file) const
    {
        QMap<QString, QByteArray> files;
        for (const QString& folder : foldersOfSavedConfig(file)) {
            if (folder.isEmpty())
                continue;
            for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
                const QString at = rs3->absolutePath(root, folder);
                if (!QFileInfo(at).isDir())
                    files.insert(at, "<missing>");
                const auto tree = Rs3Fixture::treeSnapshot(at);
                for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
                    files.insert(at + it.key(), it.value());
            }
        }
        return files;
    }

private Q_SLOTS:
    void init()
    {
        openDemo();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Beta));
        QDir(homebrewTemplatesDir()).removeRecursively();
    }
    void cleanup() { closeDemo(); }

    void leavesEveryFile_data()
    {
        QTest::addColumn<bool>("discarding");
        QTest::newRow("undo") << false;
        QTest::newRow("discard") << true;
    }
    void leavesEveryFile()
    {
        QFETCH(bool, discarding);
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            QVERIFY(!QFileInfo::exists(homebrew(root)));
        const QMap<QString, QByteArray> before = rs3->snapshot();
        const QString own = pasteIntoStandingBar();
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")), qPrintable(status()));
        const QMap<QString, QByteArray> pasted = rs3->snapshot();
        QStringList pastes;
        for (auto it = pasted.constBegin(); it != pasted.constEnd(); ++it) {
            if (!before.contains(it.key()))
                pastes << it.key();
        }
        QVERIFY(pastes.size() > 4);

        // Others write into the homebrew set: a template's mirror, a folder
        // of the user's beside the paste's and notes inside it.
        asker->texts << qMakePair(true, QStringLiteral("Track One"));
        window->onPageSelected(kEngine);
        window->saveCurrentAsTemplate();
        const QString setOfPaste = own.section(QLatin1Char('/'), 0, -4);
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            QVERIFY(QFileInfo(homebrew(root) + QStringLiteral("/ztrack_one")).isDir());
            QVERIFY(rs3->writeFile(root, DemoStock::itemPath(QStringLiteral("s04_homebrew/Mine & <Øst> \"鈴鹿\"/a.txt")),
                                   "mine"));
            QVERIFY(rs3->writeFile(root, setOfPaste + QStringLiteral("/notes 'ä'.txt"), "notes"));
        }
        const QMap<QString, QByteArray> others = rs3->snapshot();

        if (discarding) {
            closeAndDiscard();
        } else {
            stack->undo();
            QVERIFY(maskPath(*config, kRace, int(config->pages[kRace].masks.size()) - 1) != own);
        }
        const QMap<QString, QByteArray> after = rs3->snapshot();
        QCOMPARE(after.keys(), others.keys());
        QVERIFY(after == others);
    }

    // The data folder kept on another disk through a link: the paste's undo
    // and redo leave what it made, and note nothing in the data folder.
    void linkedDataFolderKeepsThePaste()
    {
        const QString data = appDataDir();
        QVERIFY(QDir().mkpath(data));
        const QString other = TestEnvironment::makeTempDir(QStringLiteral("other-disk")) + QStringLiteral("/data");
        QVERIFY(QDir().rename(data, other));
        QVERIFY(QFile::link(other, data));
        const auto putBack = qScopeGuard([&] {
            QFile::remove(data);
            QDir().rename(other, data);
        });
        const QMap<QString, QByteArray> before = rs3->snapshot();
        const QString own = pasteIntoStandingBar();
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")), qPrintable(status()));
        const QMap<QString, QByteArray> pasted = rs3->snapshot();
        QVERIFY(pasted != before);
        stack->undo();
        stack->redo();
        stack->undo();
        QCOMPARE(rs3->snapshot(), pasted);
        QVERIFY(QFileInfo(data).isSymLink());
        QCOMPARE(FileEntries::kindOf(other + QStringLiteral("/art-claims.tsv")), FileEntries::Kind::Missing);
    }

    // The pasted page saved as a template: the template's mask points at
    // the paste's own item, which its undo or Discard then leaves.
    void templateOfThePastedPageKeepsItsArt_data()
    {
        QTest::addColumn<bool>("discarding");
        QTest::newRow("undo") << false;
        QTest::newRow("discard") << true;
    }
    void templateOfThePastedPageKeepsItsArt()
    {
        QFETCH(bool, discarding);
        const QString own = pasteIntoStandingBar();
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")), qPrintable(status()));
        asker->texts << qMakePair(true, QStringLiteral("Track & \"Øst\" <鈴鹿>"));
        window->saveCurrentAsTemplate();
        QMap<QString, QByteArray> art;
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString at = rs3->absolutePath(root, own);
            const auto tree = Rs3Fixture::treeSnapshot(at);
            QVERIFY(tree.size() > 2);
            for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
                art.insert(at + it.key(), it.value());
            bool pointed = false;
            QDirIterator items(homebrew(root), {QStringLiteral("*.M2.xml")}, QDir::Files, QDirIterator::Subdirectories);
            while (items.hasNext()) {
                QFile item(items.next());
                if (!item.fileName().contains(QStringLiteral("/zpaste_")) && item.open(QIODevice::ReadOnly))
                    pointed = pointed || item.readAll().contains(own.toUtf8());
            }
            QVERIFY2(pointed, "the template does not point at the paste's item");
        }

        if (discarding)
            closeAndDiscard();
        else
            stack->undo();
        QMap<QString, QByteArray> after;
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
            const QString at = rs3->absolutePath(root, own);
            const auto tree = Rs3Fixture::treeSnapshot(at);
            for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
                after.insert(at + it.key(), it.value());
        }
        QCOMPARE(after, art);
    }

    // The pasted bar's art replaced from a folder, which writes into the
    // paste's own item: Discard, and Undo of both, give the item back the
    // paste's files, which stay.
    void replacedPasteKeepsThePastedFiles_data()
    {
        QTest::addColumn<bool>("discarding");
        QTest::newRow("undo") << false;
        QTest::newRow("discard") << true;
    }
    void replacedPasteKeepsThePastedFiles()
    {
        QFETCH(bool, discarding);
        const QMap<QString, QByteArray> before = rs3->snapshot();
        const QString own = pasteIntoStandingBar();
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")), qPrintable(status()));
        const QMap<QString, QByteArray> pasted = rs3->snapshot();
        QVERIFY(pasted != before);
        const int standing = int(config->pages[kRace].masks.size()) - 1;
        const QString source = TestEnvironment::makeTempDir(QStringLiteral("art"));
        QImage picture(config->pages[kRace].masks[size_t(standing)].w, config->pages[kRace].masks[size_t(standing)].h,
                       QImage::Format_ARGB32);
        picture.fill(QColor(200, 40, 160));
        QVERIFY(picture.save(source + QStringLiteral("/mask.png")));
        asker->fileNames = {source};
        clickThrough({QStringLiteral("Overwrite artwork"), QStringLiteral("OK"), QStringLiteral("Close")});
        window->replaceArtwork(standing);
        QCOMPARE(maskPath(*config, kRace, standing), own);
        QCOMPARE(stack->count(), 3);

        if (discarding) {
            closeAndDiscard();
        } else {
            stack->undo();
            stack->undo();
            stack->undo();
        }
        QCOMPARE(rs3->snapshot(), pasted);
    }

    // Undo, redo and undo again, or Discard, leave the paste's files without
    // a word: there is nothing to ask or to tell.
    void keptPasteSaysNothing_data()
    {
        QTest::addColumn<bool>("discarding");
        QTest::newRow("undo") << false;
        QTest::newRow("discard") << true;
    }
    void keptPasteSaysNothing()
    {
        QFETCH(bool, discarding);
        const QString own = pasteIntoStandingBar();
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")), qPrintable(status()));
        const QMap<QString, QByteArray> pasted = rs3->snapshot();
        const qsizetype asked = asker->asked.size();
        if (discarding) {
            closeAndDiscard();
            // The one question: whether to discard.
            QCOMPARE(asker->asked.size(), asked + 1);
        } else {
            window->stepHistory(true);
            window->stepHistory(false);
            window->stepHistory(true);
            QCOMPARE(asker->asked.size(), asked);
        }
        QCOMPARE(rs3->snapshot(), pasted);
    }

    // A bundle carrying the paste's art installed between the paste and its
    // undo or Discard: the placed file points at that art, which stays.
    void bundleInstalledMeanwhileKeepsItsArt_data()
    {
        QTest::addColumn<bool>("discarding");
        QTest::newRow("undo") << false;
        QTest::newRow("discard") << true;
    }
    void bundleInstalledMeanwhileKeepsItsArt()
    {
        QFETCH(bool, discarding);
        const QString own = pasteIntoStandingBar();
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")), qPrintable(status()));
        const QString base = QStringLiteral("RS3_homebrew_folder/") + own + (own.endsWith('/') ? "" : "/");
        QMap<QString, QByteArray> entries{{QStringLiteral("Shared.zconf2"), TestFiles::readBytes(path)}};
        const auto tree = Rs3Fixture::treeSnapshot(rs3->absolutePath(Rs3Fixture::Stable, own));
        for (auto it = tree.constBegin(); it != tree.constEnd(); ++it) {
            if (it.value() != "<dir>")
                entries.insert(base + it.key(), it.value());
        }
        QVERIFY(entries.size() > 2);
        const QString bundle = TestEnvironment::makeTempDir(QStringLiteral("bundle")) + QStringLiteral("/shared.zip");
        QVERIFY(ZipFixture::writeZip(bundle, entries));
        QString error;
        QVERIFY2(installConfigInstallBundle(bundle, TestEnvironment::makeTempDir(QStringLiteral("placed")), nullptr,
                                            &error),
                 qPrintable(error));
        QMap<QString, QByteArray> installed;
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            installed.insert(Rs3Fixture::treeSnapshot(rs3->absolutePath(root, own)));

        if (discarding)
            closeAndDiscard();
        else
            window->stepHistory(true);
        QMap<QString, QByteArray> after;
        for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta})
            after.insert(Rs3Fixture::treeSnapshot(rs3->absolutePath(root, own)));
        QCOMPARE(after, installed);
    }

    // A configuration saved into RaceStudio 3's configurations folder from
    // another account (its own data folder) points at the paste's folder,
    // or none does: Undo and Discard leave the art either way, also when a
    // configuration is written to between the paste and its undo.
    void otherAccountsSavedFileKeepsItsArt_data()
    {
        QTest::addColumn<bool>("used");
        QTest::addColumn<bool>("discarding");
        QTest::addColumn<QString>("afterAnswer"); // how the configuration is written after a kept answer
        QTest::newRow("used, undo") << true << false << "";
        QTest::newRow("used, discard") << true << true << "";
        QTest::newRow("unused, undo") << false << false << "";
        QTest::newRow("unused, discard") << false << true << "";
        QTest::newRow("used, new file after a kept answer, undo") << true << false << "new file";
        QTest::newRow("used, rewritten after a kept answer, undo") << true << false << "rewritten";
        QTest::newRow("used, new file after a kept answer, discard") << true << true << "new file";
    }
    void otherAccountsSavedFileKeepsItsArt()
    {
        QFETCH(bool, used);
        QFETCH(bool, discarding);
        QFETCH(QString, afterAnswer);
        const QString own = pasteIntoStandingBar();
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/zpaste_")), qPrintable(status()));
        const auto art = [&] {
            QMap<QString, QByteArray> files;
            for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
                const QString at = rs3->absolutePath(root, own);
                const auto tree = Rs3Fixture::treeSnapshot(at);
                for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
                    files.insert(at + it.key(), it.value());
            }
            return files;
        };
        const QMap<QString, QByteArray> pasted = art();
        QVERIFY(pasted.size() > 4);
        const QByteArray device = "<p n=\"PATH_REL_AiM_MASK\">" + own.mid(own.indexOf("s04_homebrew")).toUtf8() + "</p>";
        if (!afterAnswer.isEmpty()) {
            const QString other =
                rs3->addUserConfig(Rs3Fixture::Beta, QStringLiteral("cfg_other"), QStringLiteral("Other's"), {"<p/>"});
            QVERIFY(!other.isEmpty());
            const QString file = other + (afterAnswer == "new file" ? "/dash2" : "/dash1") + "/dev/overlay.ov3.xml";
            QVERIFY(QDir().mkpath(QFileInfo(file).path()) && TestFiles::writeBytes(file, device));
            // Written between two gestures.
            QCoreApplication::processEvents();
        } else if (used) {
            QVERIFY(!rs3->addUserConfig(Rs3Fixture::Beta, QStringLiteral("cfg_other"), QStringLiteral("Other's"), {device})
                         .isEmpty());
        }

        if (discarding)
            closeAndDiscard();
        else
            stack->undo();
        QCOMPARE(art(), pasted);
    }

    // Window B pastes the same into its own copy (and finds A's folder, or
    // A's pictures beside a box's art) or colours a bar, and saves; A's undo or Discard of its paste leaves B's
    // saved file every file it points at.
    void anotherWindowsSavedFileKeepsItsArt_data()
    {
        QTest::addColumn<QString>("into"); // the element type pasted into
        QTest::addColumn<bool>("colour");
        QTest::addColumn<bool>("discarding");
        QTest::newRow("same paste, undo") << "Vertical bar" << false << false;
        QTest::newRow("same paste, discard") << "Vertical bar" << false << true;
        QTest::newRow("beside a box's art, undo") << "Numeric value" << false << false;
        QTest::newRow("beside a box's art, discard") << "Numeric value" << false << true;
        QTest::newRow("colour, undo") << "Vertical bar" << true << false;
        QTest::newRow("colour, discard") << "Vertical bar" << true << true;
    }
    void anotherWindowsSavedFileKeepsItsArt()
    {
        QFETCH(QString, into);
        QFETCH(bool, colour);
        QFETCH(bool, discarding);
        const QMap<QString, QByteArray> before = rs3->snapshot();
        const QString own = pasteIntoStandingBar(into);
        QVERIFY2(own.contains(QStringLiteral("/s04_homebrew/")), qPrintable(status()));
        QVERIFY(rs3->snapshot() != before);

        Other b;
        openOther(b);
        swapWith(b);
        if (colour) {
            window->onPageSelected(kRace);
            window->applyColorBar(2);
            QVERIFY(maskPath(*config, kRace, 2).contains(QStringLiteral("/zbar_")));
        } else {
            QCOMPARE(pasteIntoStandingBar(into), own);
        }
        QVERIFY(window->save());
        const QString savedB = path;
        swapWith(b);
        const QMap<QString, QByteArray> art = savedArt(savedB);
        QVERIFY(!art.isEmpty());

        if (discarding)
            closeAndDiscard();
        else
            stack->undo();
        QCOMPARE(savedArt(savedB), art);
    }
};

KORV_TEST_MAIN(PasteArtUndoTest)
#include "tst_pasteartundo.moc"
