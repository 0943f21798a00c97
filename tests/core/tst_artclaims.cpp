// The ledger of who took which pasted-into art folder: it stays the size of
// what it describes however often the files are saved, and a paste's undo
// sees every claim made after its own, whatever clocks, cut lines or
// things put in the way of its writes.
#include "artwork/ArtClaimLedger.h"
#include "artwork/ArtState.h"
#include "artwork/MadeArtFolders.h"
#include "model/InstallRoots.h"
#include "support/FifoGuard.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QGuiApplication>
#include <QtTest>

#include <memory>

class ArtClaimsTest : public QObject {
    Q_OBJECT

    QString m_install;

    struct Paste {
        MadeArtFolders made;
        ArtState::Mark mark;
        QString folder;
    };

    // A paste that made its own folder with one picture in it.
    Paste paste(ArtState& state, const QString& name)
    {
        Paste p;
        p.folder = m_install + QStringLiteral("/s04_homebrew/") + name;
        if (p.made.make(p.folder)) {
            p.made.noteNewFile(p.folder + QStringLiteral("/a.png"));
            TestFiles::writeBytes(p.folder + QStringLiteral("/a.png"), name.toUtf8());
        }
        p.mark = state.kept(p.made, {p.folder});
        return p;
    }

    static QString ledger() { return ArtClaimLedger::path(); }
    static QByteArray ledgerBytes() { return TestFiles::readBytes(ledger()); }
    static bool writeLedger(const QByteArray& bytes) { return TestFiles::writeBytes(ledger(), bytes); }

private Q_SLOTS:
    void init()
    {
        m_install = TestEnvironment::makeTempDir(QStringLiteral("install"));
        QDir().mkpath(appDataDir());
        for (const QString& file : {ledger(), ledger() + QStringLiteral(".lock")})
            QFile::remove(file);
    }

    // Saving a file with 30 pasted-into folders 1,000 times leaves a small
    // ledger, and a paste made afterwards is still taken back by its undo.
    void staysSmallAcrossSaves()
    {
        ArtState window;
        QStringList folders;
        QList<Paste> pastes;
        for (int i = 0; i < 30; ++i) {
            pastes.append(paste(window, QStringLiteral("zpaste_%1").arg(i)));
            folders << pastes.last().folder;
        }
        for (int save = 1; save <= 1000; ++save) {
            window.saved(folders);
            if (save % 100 == 0)
                QVERIFY2(QFileInfo(ledger()).size() < 64 * 1024,
                         qPrintable(QStringLiteral("%1 bytes after %2 saves").arg(QFileInfo(ledger()).size()).arg(save)));
        }

        Paste late = paste(window, QStringLiteral("zpaste_late"));
        QVERIFY(QFileInfo::exists(late.folder + QStringLiteral("/a.png")));
        window.takeBack(late.made, late.mark);
        QVERIFY(!QFileInfo::exists(late.folder));
        QVERIFY(window.takeLedgerNote().isEmpty());
    }

    // A window that uses one folder over and over (a fit drawn once and
    // reused at every resize back to its size) keeps one line for it, and
    // the step of another window that made the folder still leaves it.
    void staysSmallAcrossReuses()
    {
        ArtState other;
        ArtState window;
        Paste made = paste(other, QStringLiteral("fit_1"));
        for (int use = 0; use < 1000; ++use) {
            MadeArtFolders none;
            window.kept(none, {made.folder});
        }
        QVERIFY2(ledgerBytes().count('\n') < 8, ledgerBytes().constData());
        other.takeBack(made.made, made.mark);
        QVERIFY(QFileInfo::exists(made.folder + QStringLiteral("/a.png")));
    }

    // Another window saves a file using the paste's folder after the paste;
    // whatever happens around the ledger's write, the paste's undo leaves
    // the folder to that file.
    void laterClaimIsSeen_data()
    {
        QTest::addColumn<QString>("around");
        QTest::newRow("plain") << "";
        QTest::newRow("clock behind") << "clock";
        QTest::newRow("cut last line") << "cut";
        QTest::newRow("link at the ledger") << "link";
        QTest::newRow("pipe at the ledger") << "fifo";
        QTest::newRow("link at its lock") << "lock link";
        QTest::newRow("pipe at its lock") << "lock fifo";
    }
    void laterClaimIsSeen()
    {
        QFETCH(QString, around);
        // The files the ledger opens: itself (read, and renamed over) and
        // its lock.
        const QString beside = around.startsWith("lock") ? ledger() + QStringLiteral(".lock") : ledger();
        const bool link = around.endsWith("link");
        const bool pipe = around.endsWith("fifo");
        if (link || pipe) {
            // A ledger grown large, as an older editor left it.
            QByteArray old;
            const QByteArray now = QByteArray::number(QDateTime::currentMSecsSinceEpoch());
            for (int i = 0; old.size() < 600 * 1024; ++i)
                old += now + "\told/write-" + QByteArray::number(i) + "\t/gone/" + QByteArray::number(i) + '\n';
            QVERIFY(writeLedger(old));
        }
        ArtState a;
        ArtState b;
        Paste p = paste(a, QStringLiteral("zpaste_shared"));
        const QString users = TestEnvironment::makeTempDir(QStringLiteral("users")) + QStringLiteral("/mine.txt");
        QVERIFY(TestFiles::writeBytes(users, "mine"));
        std::unique_ptr<FifoGuard> fifo;
        if (link) {
            QVERIFY(QFile::remove(beside));
            QVERIFY(QFile::link(users, beside));
        }
        if (pipe) {
            QVERIFY(QFile::remove(beside));
            fifo = std::make_unique<FifoGuard>(beside, 3);
            QVERIFY(fifo->made());
        }
        if (around == "cut")
            QVERIFY(writeLedger(ledgerBytes() + "17\tp\tcut/write-1\t/cu"));

        b.saved({p.folder});
        if (around == "clock") {
            // B's claim carries a number below the paste's, as a stamp of a
            // clock running behind would.
            QList<QByteArray> lines = ledgerBytes().split('\n');
            lines.removeLast();
            QByteArray& last = lines.last();
            last = "0" + last.mid(last.indexOf('\t'));
            QVERIFY(writeLedger(lines.join('\n') + '\n'));
        }

        a.takeBack(p.made, p.mark);
        QVERIFY(QFileInfo::exists(p.folder + QStringLiteral("/a.png")));
        // What was put in the way stays as it was, never written through.
        const QFileInfo written(beside);
        QCOMPARE(written.isSymLink(), link);
        QVERIFY(link || pipe || (written.isFile() && !written.isSymLink()));
        QCOMPARE(TestFiles::readBytes(users), QByteArray("mine"));
        if (fifo)
            QVERIFY(!fifo->released());
    }

    // A write keeps what the ledger describes: no claim of a folder that is
    // gone, nor of a paste whose editor has ended (a running one's stays); a
    // file's claim only while a paste it may concern is kept.
    void dropsWhatNoLongerIs()
    {
        ArtState a;
        Paste undone = paste(a, QStringLiteral("zpaste_undone"));
        a.takeBack(undone.made, undone.mark);
        QVERIFY(!QFileInfo::exists(undone.folder));
        const QString ended = QStringLiteral("0123456789abcdef0123456789abcdef");
        const QString running = QStringLiteral("fedcba9876543210fedcba9876543210");
        QVERIFY(QDir().mkpath(appDataDir() + QStringLiteral("/art-writers")));
        QLockFile held(appDataDir() + QStringLiteral("/art-writers/") + running + QStringLiteral(".lock"));
        held.setStaleLockTime(0);
        QVERIFY(held.tryLock(0));
        const QString other = m_install + QStringLiteral("/s04_homebrew/zother");
        QVERIFY(QDir().mkpath(other));
        QByteArray lines;
        for (const QString& editor : {ended, running})
            lines += QStringLiteral("9\tp\t%1/w/write-1\t%2\n9\tu\t%1/w/save\t%2\n").arg(editor, other).toUtf8();
        QVERIFY(writeLedger(ledgerBytes() + lines));
        Paste kept = paste(a, QStringLiteral("zpaste_kept"));
        const QByteArray bytes = ledgerBytes();
        QVERIFY2(!bytes.contains("zpaste_undone") && !bytes.contains(ended.toUtf8()) && bytes.contains("zpaste_kept")
                     && bytes.count(running.toUtf8()) == 1,
                 bytes.constData());
    }

    // A saved file the ledger cannot know of (another account's) is asked
    // about by the undo and by Discard alike, only when the ledger would let
    // the files go, and keeps them when it points at their folder.
    void savedFileElsewhereKeepsTheArt_data()
    {
        QTest::addColumn<bool>("discarding");
        QTest::addColumn<bool>("claimed"); // another window of this data folder saved it
        QTest::addColumn<bool>("used");
        QTest::newRow("undo, used") << false << false << true;
        QTest::newRow("undo, unused") << false << false << false;
        QTest::newRow("undo, claimed") << false << true << false;
        QTest::newRow("discard, used") << true << false << true;
        QTest::newRow("discard, unused") << true << false << false;
        QTest::newRow("discard, claimed") << true << true << false;
    }
    void savedFileElsewhereKeepsTheArt()
    {
        QFETCH(bool, discarding);
        QFETCH(bool, claimed);
        QFETCH(bool, used);
        ArtState a;
        a.forgetSaved();
        QStringList asked;
        a.savedFileUses = [&](const QStringList& folders) {
            asked += folders;
            return used ? QSet<QString>(folders.cbegin(), folders.cend()) : QSet<QString>();
        };
        Paste p = paste(a, QStringLiteral("zpaste_elsewhere"));
        if (discarding) {
            // Written in place into a folder of the saved state instead.
            a.savedArt.aboutToWrite(p.folder, {QStringLiteral("b.png")});
            QVERIFY(TestFiles::writeBytes(p.folder + QStringLiteral("/b.png"), "b"));
        }
        if (claimed)
            ArtState().saved({p.folder});

        if (discarding)
            QVERIFY(a.putBackSaved());
        else
            a.takeBack(p.made, p.mark);
        QCOMPARE(QFileInfo::exists(p.folder + (discarding ? QStringLiteral("/b.png") : QStringLiteral("/a.png"))),
                 used || claimed);
        QCOMPARE(asked, claimed ? QStringList() : QStringList{p.folder});
    }

    // Discard steps back over every paste, each step an undo: the first
    // asks about every folder the later ones may take back, together.
    void oneAskForAGesture()
    {
        ArtState a;
        a.forgetSaved();
        QList<QStringList> asked;
        a.savedFileUses = [&](const QStringList& folders) {
            asked.append(folders);
            return QSet<QString>();
        };
        QList<Paste> pastes;
        QStringList all;
        for (int i = 0; i < 3; ++i) {
            pastes.append(paste(a, QStringLiteral("zpaste_gesture_%1").arg(i)));
            all << pastes.last().folder;
        }
        for (qsizetype i = pastes.size() - 1; i >= 0; --i)
            a.takeBack(pastes[i].made, pastes[i].mark);
        QVERIFY(!asked.isEmpty());
        QStringList first = asked.first();
        first.sort();
        QCOMPARE(first, all);
        for (const Paste& p : pastes)
            QVERIFY(!QFileInfo::exists(p.folder));
        // A save lets go of the writes before it: nothing is asked for them.
        Paste late = paste(a, QStringLiteral("zpaste_gesture_late"));
        a.saved({});
        asked.clear();
        a.savedArt.aboutToWrite(late.folder, {QStringLiteral("b.png")});
        QVERIFY(a.putBackSaved());
        QCOMPARE(asked, QList<QStringList>{{late.folder}});
    }
};

KORV_GUI_TEST_MAIN(ArtClaimsTest)
#include "tst_artclaims.moc"
