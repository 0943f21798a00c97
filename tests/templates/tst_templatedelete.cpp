#include "model/FileEntries.h"
#include "model/FolderKeep.h"
#include "model/InstallRoots.h"
#include "model/PageModel.h"
#include "templates/PageTemplate.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateContent.h"
#include "templates/TemplateUsers.h"

#include "support/FifoGuard.h"
#include "support/FileSizeLimit.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

QString standard(const QString& family)
{
    return QStringLiteral("aim/resources/overlay/%1/masks/set/standard").arg(family);
}

QString backupsDir()
{
    return appDataDir() + QStringLiteral("/artwork_backups");
}

// Every entry below folder as it is on the disk: a link by its text, never
// what it leads to; hidden names too.
QMap<QString, QByteArray> entries(const QString& folder)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(folder).relativeFilePath(path);
        if (it.fileInfo().isSymLink())
            tree.insert(rel, "link to " + QByteArray::fromStdString(
                                              std::filesystem::read_symlink(QFile::encodeName(path).toStdString())));
        else if (it.fileInfo().isDir())
            tree.insert(rel, "<dir>");
        else
            tree.insert(rel, TestFiles::readBytes(path));
    }
    return tree;
}

ino_t inode(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// A template in the store and copied into both installs, each holding a
// hidden note, a hidden folder and links: one inside, one to a file of the
// user's elsewhere.
struct Template {
    Rs3Fixture fx;
    QString store;
    QString stable;
    QString beta;
    QString outside;

    Template()
    {
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, standard("mxs_12")));
        QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, standard("mxs_12")));
        QSettings().setValue(QStringLiteral("homebrew/mirrorToAim"), false);
        PageModel page;
        page.name = QStringLiteral("Mine");
        TemplateContent content;
        content.pMainXml = PageTemplateLibrary::buildTemplatePMain(&page);
        store = PageTemplateLibrary::saveHomebrewTemplate("mxs_12", "mytpl", "Mine", content, nullptr, {});
        QSettings().remove(QStringLiteral("homebrew/mirrorToAim"));
        stable = PageTemplateLibrary::mirrorTemplateToRs3(store, fx.root(Rs3Fixture::Stable), "mxs_12", "mytpl");
        beta = PageTemplateLibrary::mirrorTemplateToRs3(store, fx.root(Rs3Fixture::Beta), "mxs_12", "mytpl");
        outside = TestEnvironment::makeTempDir("mine") + "/diary.txt";
        TestFiles::writeBytes(outside, "the user's own");
        for (const QString& folder : {store, stable, beta}) {
            QDir().mkpath(folder + "/.history");
            TestFiles::writeBytes(folder + "/.mynotes.txt", "notes on " + folder.toUtf8());
            TestFiles::writeBytes(folder + "/.history/1", "first");
            QFile::link("pMain.P2.xml", folder + "/same.xml");
            QFile::link(outside, folder + "/diary");
        }
    }

    PageTemplate tpl() const
    {
        PageTemplate t;
        t.folderName = QStringLiteral("mytpl");
        t.folderPath = stable;
        t.homebrew = true;
        return t;
    }
};

} // namespace

class TemplateDeleteTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(homebrewTemplatesDir()).removeRecursively();
        QDir(backupsDir()).removeRecursively();
        FolderKeep::setRenameHookForTesting(nullptr);
    }

    void cleanup()
    {
        FolderKeep::setRenameHookForTesting(nullptr);
    }

    // The backup holds every folder as it was, hidden entries and links as
    // links; on the disk of the backup each is moved there (the same file,
    // nothing copied), across disks copied. The README says where each goes.
    void backupIsWhole_data()
    {
        QTest::addColumn<bool>("acrossDisks");
        QTest::newRow("same disk: moved") << false;
        QTest::newRow("across disks: copied") << true;
    }
    void backupIsWhole()
    {
        QFETCH(bool, acrossDisks);
        Template t;
        QVERIFY(!t.stable.isEmpty() && !t.beta.isEmpty());
        if (acrossDisks)
            FolderKeep::setRenameHookForTesting([](const QString&, const QString&) { return false; });
        const QStringList folders{t.store, t.stable, t.beta};
        QList<QMap<QString, QByteArray>> before;
        QList<ino_t> files;
        for (const QString& folder : folders) {
            before << entries(folder);
            files << inode(folder + "/pMain.P2.xml");
        }
        QVERIFY(before[0].contains(".mynotes.txt") && before[0].contains(".history/1"));
        QCOMPARE(before[0].value("diary"), "link to " + t.outside.toUtf8());

        QString error;
        QString kept;
        QVERIFY2(PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", t.tpl(), {}, true, &error, &kept),
                 qPrintable(error));
        for (int i = 0; i < folders.size(); ++i) {
            const QString copy = kept + '/' + QString::number(i + 1);
            QVERIFY2(!QFileInfo::exists(folders[i]), qPrintable(folders[i]));
            QCOMPARE(entries(copy), before[i]);
            QCOMPARE(inode(copy + "/pMain.P2.xml") == files[i], !acrossDisks);
        }
        QCOMPARE(TestFiles::readBytes(t.outside), QByteArray("the user's own"));
        const QString readme = QString::fromUtf8(TestFiles::readBytes(kept + "/README.txt"));
        QVERIFY2(readme.contains("1 belongs in the editor's template store"), qPrintable(readme));
        QVERIFY2(readme.contains("2 belongs in the RaceStudio 3 install at "
                                 + QDir::toNativeSeparators(t.fx.root(Rs3Fixture::Stable))),
                 qPrintable(readme));
        QVERIFY2(readme.contains("3 belongs in the RaceStudio 3 beta install at "
                                 + QDir::toNativeSeparators(t.fx.root(Rs3Fixture::Beta))),
                 qPrintable(readme));
        QVERIFY(readme.contains(QDir::toNativeSeparators(t.beta)));
    }

    // A disk that fills while the backup is copied: nothing is deleted, no
    // part of the backup stays, and the message says why.
    void fullDiskLeavesNoBackup()
    {
        Template t;
        QVERIFY(TestFiles::writeBytes(t.beta + "/bkg.png", QByteArray(512 * 1024, 'x')));
        const QMap<QString, QByteArray> rs3 = entries(QFileInfo(t.fx.root(Rs3Fixture::Stable)).path());
        const QMap<QString, QByteArray> store = entries(t.store);
        FolderKeep::setRenameHookForTesting([](const QString&, const QString&) { return false; });
        QString error;
        const PageTemplate tpl = t.tpl();
        const auto outcome = FileSizeLimit::run(
            256 * 1024,
            [&tpl](QString* why) { return PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", tpl, {}, true, why); },
            &error);
        QCOMPARE(outcome, FileSizeLimit::Outcome::ReportedFailure);
        QVERIFY2(error.startsWith("It could not be kept in the artwork backups, so nothing was deleted: "),
                 qPrintable(error));
        QVERIFY2(error.contains("bkg.png") && error.contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(error));
        QCOMPARE(QDir(backupsDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(entries(QFileInfo(t.fx.root(Rs3Fixture::Stable)).path()), rs3);
        QCOMPARE(entries(t.store), store);
    }

    // Across disks, what cannot be copied (a pipe) is not removed either:
    // it stays where it was, and the delete says so.
    void whatCannotBeKeptStays()
    {
        Template t;
        FifoGuard pipe(t.store + "/.pipe");
        QVERIFY(pipe.made());
        FolderKeep::setRenameHookForTesting([](const QString&, const QString&) { return false; });
        QString error;
        QString kept;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^FolderKeep: .*\\.pipe was not kept"));
        QVERIFY(!PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", t.tpl(), {}, true, &error, &kept));
        QVERIFY2(error.contains(t.store + "/.pipe was not kept"), qPrintable(error));
        QCOMPARE(QDir(t.store).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList{".pipe"});
        QVERIFY(!QFileInfo::exists(t.stable));
        QVERIFY(QFileInfo::exists(kept + "/1/.mynotes.txt"));
        QVERIFY(!pipe.released());
    }

    // A folder inside a configuration that cannot be read may hold a device
    // file that uses the template: the answer is incomplete, never a
    // complete "no user", and the delete refuses, naming it.
    void unreadableFolderInAConfiguration_data()
    {
        QTest::addColumn<bool>("permissions");
        QTest::newRow("no permission to read") << true;
        QTest::newRow("gone while walked") << false;
    }
    void unreadableFolderInAConfiguration()
    {
        QFETCH(bool, permissions);
        if (permissions && ::geteuid() == 0)
            QSKIP("permissions do not stop root");
        Template t;
        const QString cfg = t.fx.addUserConfig(Rs3Fixture::Stable, "cfg_a", "A", {"<p>s04_homebrew/mytpl/p</p>"});
        const QString hidden = cfg + "/dash1";
        const QString away = TestEnvironment::makeTempDir("away") + "/dash1";
        if (permissions)
            QVERIFY(::chmod(QFile::encodeName(hidden).constData(), 0) == 0);
        else
            FileEntries::walkHook() = [&](const QString& folder) {
                if (folder == hidden)
                    QDir().rename(hidden, away);
            };
        const auto restore = qScopeGuard([&] {
            FileEntries::walkHook() = nullptr;
            ::chmod(QFile::encodeName(hidden).constData(), 0755);
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^configsReferencingTemplate: not searched: "));
        const TemplateUsers users = TemplateUsers::ofFolderName("mytpl", nullptr, {});
        QVERIFY(!users.found());
        QVERIFY(!users.complete());
        QVERIFY(users.inUse());
        QVERIFY2(users.notSearched().contains(QDir::toNativeSeparators(hidden)), qPrintable(users.notSearched()));

        if (!permissions)
            QVERIFY(QDir().rename(away, hidden));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^configsReferencingTemplate: not searched: "));
        QString error;
        QVERIFY(!PageTemplateLibrary::deleteHomebrewTemplate("mxs_12", t.tpl(), {}, false, &error));
        QVERIFY2(error.contains(hidden), qPrintable(error));
        QVERIFY(QFileInfo::exists(t.store + "/pMain.P2.xml"));
    }
};

KORV_GUI_TEST_MAIN(TemplateDeleteTest)
#include "tst_templatedelete.moc"
