#include "gallery/UnfinishedInstall.h"

#include "support/FifoGuard.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

// The notes an ended install left are read as found on the disk: what
// stands where a note's lock goes, or a size no file has, never hangs an
// install nor makes a folder the user's files may be in count as left behind.
class UnfinishedInstallTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(UnfinishedInstall::notesFolder()).removeRecursively();
    }

    void hostileNotes_data()
    {
        QTest::addColumn<QByteArray>("size");
        QTest::addColumn<bool>("pipeAtLock");
        QTest::addColumn<bool>("left");
        QTest::newRow("as noted") << QByteArray("3") << false << true;
        QTest::newRow("pipe at the lock") << QByteArray("3") << true << false;
        QTest::newRow("size 1e300") << QByteArray("1e300") << false << false;
        QTest::newRow("size -1e300") << QByteArray("-1e300") << false << false;
        QTest::newRow("size 2^63") << QByteArray("9223372036854775808") << false << false;
        QTest::newRow("size 3.5") << QByteArray("3.5") << false << false;
        QTest::newRow("size as text") << QByteArray("\"3\"") << false << false;
    }
    void hostileNotes()
    {
        QFETCH(QByteArray, size);
        QFETCH(bool, pipeAtLock);
        QFETCH(bool, left);
        const QString folder = TestEnvironment::makeTempDir("install") + "/s04_homebrew/zbox_2";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(TestFiles::writeBytes(folder + "/art", "abc"));
        const QString notes = UnfinishedInstall::notesFolder();
        QVERIFY(QDir().mkpath(notes));
        QVERIFY(TestFiles::writeBytes(notes + "/ended.json", "{\"" + folder.toUtf8() + "\":{\"art\":" + size + "}}"));
        std::unique_ptr<FifoGuard> pipe;
        if (pipeAtLock) {
            pipe = std::make_unique<FifoGuard>(notes + "/ended.lock");
            QVERIFY(pipe->made());
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^UnfinishedInstall: leaving the note .*ended\\.json"));
        }
        QCOMPARE(UnfinishedInstall::leftBehind(folder), left);

        // A new install reads the same notes before it writes its own.
        if (pipeAtLock)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^UnfinishedInstall: leaving the note"));
        UnfinishedInstall install;
        QString error;
        QVERIFY2(install.begin({{folder + "_other", {{"art", 3}}}}, &error), qPrintable(error));
        install.end();
        QCOMPARE(QFileInfo(folder + "/art").size(), 3);
        if (pipe)
            QVERIFY(!pipe->released());
    }
};

KORV_GUI_TEST_MAIN(UnfinishedInstallTest)
#include "tst_unfinishedinstall.moc"
