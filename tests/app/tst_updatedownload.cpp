#include "window/MainWindow.h"
#include "updates/UpdateBanner.h"
#include "updates/UpdateDownloadDialog.h"
#include "updates/UpdateManifest.h"
#include "support/FakeWebService.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QUndoCommand>
#include <QUndoStack>
#include <QtTest>

#include <cerrno>
#include <cstring>

using Reply = FakeWebService::Reply;

namespace {

const QByteArray kExePath = "/download/korvelanto";
const QByteArray kOldExe = "old executable";

// How much a download stopped at its cap may grow the process: read chunks
// on their way to the file and, under AddressSanitizer, freed blocks held in
// its quarantine.
constexpr qint64 kMemoryBound = qint64(128) * 1024 * 1024;

// An executable with an unusual mode, so a copied mode is told from a default.
QString fakeExecutable()
{
    const QString exe = TestEnvironment::makeTempDir(QStringLiteral("bin")) + QStringLiteral("/korvelanto");
    TestFiles::writeBytes(exe, kOldExe);
    QFile::setPermissions(exe, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                   | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ExeOther);
    return exe;
}

// A body that arrives in many reads.
QByteArray payload()
{
    return QByteArray("abcdefghijklmnopqrstuvw").repeated(150000);
}

UpdateManifest manifestFor(const FakeWebService& web, const QByteArray& digestOf, qint64 size)
{
    UpdateManifest m;
    m.latest = QStringLiteral("0.6");
    m.update_available = true;
    m.url = web.baseUrl().toString() + QString::fromLatin1(kExePath);
    m.sha256 = QString::fromLatin1(QCryptographicHash::hash(digestOf, QCryptographicHash::Sha256).toHex());
    m.size = size;
    m.release_notes = QStringLiteral("<b>not markup</b>");
    return m;
}

// Runs the dialog as the window would, with the event loop driving the
// download until the dialog closes; returns its result.
int runToEnd(UpdateDownloadDialog& dialog, bool start = true)
{
    QSignalSpy done(&dialog, &QDialog::finished);
    if (start)
        dialog.start();
    if (!QTest::qWaitFor([&] { return !done.isEmpty(); }, 20000))
        return -1;
    return dialog.result();
}

} // namespace

// The download of a new executable against a local server, its failures,
// the banner that offers it, and the window closing for the restart.
class UpdateDownloadTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationVersion(QStringLiteral("0.5.8.0")); }

    void download_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QByteArray>("digestOf");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("failure"); // empty: ".new" in place
        QTest::addColumn<int>("bar"); // the bar moved while the body trickled in: 1, 0; -1: not checked
        QTest::addColumn<QString>("seam"); // the step on our side that fails
        const QByteArray body = payload();
        Reply sized = FakeWebService::okReply(body, "application/octet-stream");
        Reply unsized = sized;
        unsized.announceLength = false;
        Reply trickled = unsized;
        trickled.trickleMs = 300;
        Reply longer = sized;
        longer.fillerBytes = 10;
        Reply longerUnsized = unsized;
        longerUnsized.fillerBytes = 10;
        Reply missing;
        missing.status = 404;
        const qint64 n = body.size();
        const QString corrupted = QStringLiteral("Download corrupted -- try again or grab the full portable from ");
        QTest::newRow("upper-case digest") << sized << body << n << QString() << -1 << QString();
        Reply chunked = sized;
        chunked.chunked = true;
        QTest::newRow("chunked") << chunked << body << n << QString() << -1 << QString();
        QTest::newRow("no length: bar follows size") << trickled << body << n << QString() << 1 << QString();
        QTest::newRow("no length, no size") << trickled << body << qint64(0) << QString() << 0 << QString();
        QTest::newRow("wrong digest") << sized << QByteArray("other") << n << corrupted << -1 << QString();
        QTest::newRow("longer than size, announced")
            << longer << body << n << QStringLiteral("Download failed: ") << -1 << QString();
        QTest::newRow("longer than size, not announced") << longerUnsized << body << n << corrupted << -1 << QString();
        QTest::newRow("shorter than size") << sized << body << n + 1 << corrupted << -1 << QString();
        QTest::newRow("not found") << missing << QByteArray() << n << QStringLiteral("Download failed: ") << -1
                                   << QString();
        // Each step on our side failing: nothing is renamed into place.
        QTest::newRow("writer takes half") << sized << body << qint64(0) << QStringLiteral("Cannot write to ") << -1
                                           << QStringLiteral("half");
        QTest::newRow("writer hides a short write") << sized << body << qint64(0) << corrupted << -1
                                                    << QStringLiteral("hidden");
        QTest::newRow("rename fails") << sized << body << n << QStringLiteral("Cannot finalize ") << -1
                                      << QStringLiteral("rename");
    }

    void download()
    {
        QFETCH(Reply, reply);
        QFETCH(QByteArray, digestOf);
        QFETCH(qint64, size);
        QFETCH(QString, failure);
        QFETCH(int, bar);
        QFETCH(QString, seam);
        ScriptedAsker asker;
        asker.buttons = {QMessageBox::Yes};
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kExePath, reply);
        const QString exe = fakeExecutable();
        QVERIFY(TestFiles::writeBytes(exe + QStringLiteral(".new"), "declined earlier"));
        UpdateManifest m = manifestFor(web, digestOf, size);
        m.sha256 = m.sha256.toUpper();
        UpdateDownloadDialog dialog(m, exe);
        UpdateSeams seams = UpdateSeams::system();
        if (seam == QLatin1String("half") || seam == QLatin1String("hidden")) {
            seams.write = [seam](QFile& file, const QByteArray& data) {
                const qint64 written = file.write(data.left(data.size() / 2));
                return seam == QLatin1String("hidden") ? data.size() : written;
            };
        }
        int renames = 0;
        seams.rename = [&renames, seam](const QString& from, const QString& to) {
            ++renames;
            return seam != QLatin1String("rename") && QFile::rename(from, to);
        };
        dialog.setSeams(seams);
        QSignalSpy failed(&dialog, &UpdateDownloadDialog::downloadFailed);

        if (bar >= 0) {
            dialog.start();
            auto* label = dialog.findChild<QLabel*>();
            QVERIFY(QTest::qWaitFor([&] { return label->text().startsWith(QStringLiteral("Downloading... ")); }, 5000));
            const int value = dialog.findChild<QProgressBar*>()->value();
            QVERIFY2(bar ? value > 0 && value < 100 : value == 0, qPrintable(QString::number(value)));
        }
        const int result = bar >= 0 ? runToEnd(dialog, false) : runToEnd(dialog);
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new.partial")));
        QCOMPARE(TestFiles::readBytes(exe), kOldExe);
        if (failure.isEmpty()) {
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(TestFiles::readBytes(exe + QStringLiteral(".new")), reply.body);
            QCOMPARE(QFileInfo(exe + QStringLiteral(".new")).permissions(), QFileInfo(exe).permissions());
            QCOMPARE(asker.asked.size(), 1);
            QCOMPARE(asker.asked.last().title, QStringLiteral("Update ready"));
            QCOMPARE(asker.asked.last().text,
                     QStringLiteral("Korvelanto v0.6 has been downloaded. Restart Korvelanto now to apply the update?"));
            QVERIFY(failed.isEmpty());
            return;
        }
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(renames, seam == QLatin1String("rename") ? 1 : 0);
        // The earlier ".new" goes only just before the rename.
        QCOMPARE(TestFiles::readBytes(exe + QStringLiteral(".new")),
                 seam == QLatin1String("rename") ? QByteArray("<missing>") : QByteArray("declined earlier"));
        QCOMPARE(failed.size(), 1);
        const QString reason = failed.at(0).at(0).toString();
        QVERIFY2(reason.startsWith(failure), qPrintable(reason));
        QCOMPARE(asker.asked.size(), 1);
        QCOMPARE(asker.asked.last().title, QStringLiteral("Update"));
        QCOMPARE(asker.asked.last().text, reason);
    }

    // A server that never ends its chunked body, sending as fast as
    // loopback allows while the window is busy for a moment: the download
    // stops at the manifest's size (or the cap of a download without one)
    // with a message, nothing is left behind, and neither the process nor
    // what the server could push grows much beyond the cap.
    void endlessBodyStopsAtTheCap_data()
    {
        QTest::addColumn<bool>("sized");
        QTest::newRow("size in the manifest") << true;
        QTest::newRow("no size") << false;
    }

    void endlessBodyStopsAtTheCap()
    {
        QFETCH(bool, sized);
        ScriptedAsker asker;
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kExePath, FakeWebService::endlessReply());
        const QString exe = fakeExecutable();
        const qint64 cap = 8 * 1024 * 1024;
        UpdateDownloadDialog dialog(manifestFor(web, "x", sized ? cap : 0), exe);
        dialog.setMaxUnsizedBytes(cap);
        QSignalSpy failed(&dialog, &UpdateDownloadDialog::downloadFailed);
        QSignalSpy done(&dialog, &QDialog::finished);
        dialog.start();
        auto* reply = dialog.findChild<QNetworkReply*>();
        QVERIFY(reply);
        FakeWebService::busyAtHeaders(reply);
        qint64 grown = 0;
        const bool ended = TestEnvironment::waitWithinMemory([&done] { return !done.isEmpty(); }, 60000,
                                                             kMemoryBound, &grown);
        const qint64 sent = web.streamedBytes();
        QVERIFY2(ended, qPrintable(QStringLiteral("grown by %1 bytes, %2 sent").arg(grown).arg(sent)));
        QVERIFY2(sent < cap + FakeWebService::kSlackBeyondCap, qPrintable(QString::number(sent)));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toString(),
                 QStringLiteral("Download corrupted -- try again or grab the full portable from korvelanto.app"));
        QCOMPARE(asker.asked.size(), 1);
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new.partial")));
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new")));
        QCOMPARE(TestFiles::readBytes(exe), kOldExe);
    }

    // A server that never ends its header lines: the download ends well
    // within its deadline with a message, memory stays bounded, the
    // connection is closed and the process comes to rest; the next download
    // succeeds.
    void endlessHeadersEndTheDownload()
    {
        ScriptedAsker asker;
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kExePath, FakeWebService::endlessHeaderReply());
        const QString exe = fakeExecutable();
        const QByteArray body = payload();
        {
            UpdateDownloadDialog dialog(manifestFor(web, body, body.size()), exe);
            QSignalSpy failed(&dialog, &UpdateDownloadDialog::downloadFailed);
            QSignalSpy done(&dialog, &QDialog::finished);
            dialog.start();
            qint64 grown = 0;
            QVERIFY2(TestEnvironment::waitWithinMemory([&done] { return !done.isEmpty(); },
                                                       UpdateDownloadDialog::kDefaultTransferTimeoutMs,
                                                       kMemoryBound, &grown),
                     qPrintable(QString::number(grown)));
            QCOMPARE(failed.size(), 1);
            QCOMPARE(failed.at(0).at(0).toString(),
                     QStringLiteral("Download failed: The server's reply headers are longer than 65536 bytes"));
        }
        QString why;
        QVERIFY2(web.settlesToRest(&why), qPrintable(why));
        web.setReply(kExePath, FakeWebService::okReply(body, "application/octet-stream"));
        UpdateDownloadDialog again(manifestFor(web, body, body.size()), exe);
        QCOMPARE(runToEnd(again), int(QDialog::Accepted));
        QCOMPARE(TestFiles::readBytes(exe + QStringLiteral(".new")), body);
    }

    // A server that closes before the executable is whole: the download
    // says so at once, not when its 30 s timeout is up, and leaves nothing.
    void earlyCloseIsNamed_data()
    {
        FakeWebService::addCutReplyRows();
    }

    void earlyCloseIsNamed()
    {
        QFETCH(Reply, answer);
        ScriptedAsker asker;
        FakeWebService web;
        QVERIFY(web.start());
        web.setReply(kExePath, answer);
        const QString exe = fakeExecutable();
        // As large as the longest reply announces: no cap stops it first.
        UpdateDownloadDialog dialog(manifestFor(web, "hello", 100), exe);
        dialog.setTransferTimeoutMs(30000);
        QSignalSpy failed(&dialog, &UpdateDownloadDialog::downloadFailed);
        QSignalSpy done(&dialog, &QDialog::finished);
        dialog.start();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("Download failed: Connection closed"));
        QCOMPARE(asker.asked.size(), 1);
        QCOMPARE(asker.asked.last().text, QStringLiteral("Download failed: Connection closed"));
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new.partial")));
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new")));
    }

    // A disk that fills up mid-download (a file size limit in a child
    // process): the message carries the system's reason, nothing is left.
    void fullDiskSaysWhy()
    {
        FakeWebService web;
        QVERIFY(web.start());
        const QByteArray body = payload();
        web.setReply(kExePath, FakeWebService::okReply(body, "application/octet-stream"));
        const QString exe = fakeExecutable();
        QString reason;
        const FileSizeLimit::Outcome outcome = FileSizeLimit::run(
            64 * 1024,
            [&](QString* text) {
                ScriptedAsker asker;
                UpdateDownloadDialog dialog(manifestFor(web, body, body.size()), exe);
                QSignalSpy failed(&dialog, &UpdateDownloadDialog::downloadFailed);
                runToEnd(dialog);
                *text = failed.isEmpty() ? QString() : failed.at(0).at(0).toString();
                return failed.isEmpty();
            },
            &reason);
        QCOMPARE(outcome, FileSizeLimit::Outcome::ReportedFailure);
        QCOMPARE(reason, QStringLiteral("Cannot write to %1.new.partial: %2")
                             .arg(exe, QString::fromLocal8Bit(std::strerror(EFBIG))));
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new.partial")));
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new")));
    }

    // A server that goes silent after its headers: the download says that
    // it did not answer in time, not that it was cancelled.
    void silentServerTimesOut()
    {
        ScriptedAsker asker;
        FakeWebService web;
        QVERIFY(web.start());
        Reply silent = FakeWebService::okReply("x", "application/octet-stream");
        silent.stallAfterHeaders = true;
        web.setReply(kExePath, silent);
        const QString exe = fakeExecutable();
        UpdateDownloadDialog dialog(manifestFor(web, "x", 1), exe);
        dialog.setTransferTimeoutMs(300);
        QSignalSpy failed(&dialog, &UpdateDownloadDialog::downloadFailed);
        QCOMPARE(runToEnd(dialog), int(QDialog::Rejected));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("Download failed: the server did not answer in time"));
        QCOMPARE(asker.asked.size(), 1);
        QVERIFY(!QFileInfo::exists(exe + QStringLiteral(".new.partial")));
    }

    void cancelBeforeFirstByte()
    {
        ScriptedAsker asker;
        FakeWebService web;
        QVERIFY(web.start());
        Reply silent;
        silent.stallAfterHeaders = true;
        web.setReply(kExePath, silent);
        const QString exe = fakeExecutable();
        const QString partial = exe + QStringLiteral(".new.partial");
        QVERIFY(TestFiles::writeBytes(partial, "left over from an earlier run"));
        UpdateDownloadDialog dialog(manifestFor(web, "x", 1), exe);
        QSignalSpy failed(&dialog, &UpdateDownloadDialog::downloadFailed);
        QSignalSpy done(&dialog, &QDialog::finished);
        dialog.start();
        QCOMPARE(TestFiles::readBytes(partial), QByteArray());
        QVERIFY(QTest::qWaitFor([&] { return !web.requests().isEmpty(); }, 5000));
        dialog.findChild<QPushButton*>()->click();
        QVERIFY(QTest::qWaitFor([&] { return !done.isEmpty(); }, 5000));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("canceled"));
        QVERIFY(!QFileInfo::exists(partial));
        QVERIFY(asker.asked.isEmpty());
    }

    // A download that cannot begin says why, in the dialog and in a box.
    void startFailure_data()
    {
        QTest::addColumn<bool>("partialIsFolder");
        QTest::newRow("no network manager") << false;
        QTest::newRow("partial file not writable") << true;
    }

    void startFailure()
    {
        QFETCH(bool, partialIsFolder);
        ScriptedAsker asker;
        const QString exe = fakeExecutable();
        const QString partial = exe + QStringLiteral(".new.partial");
        UpdateManifest m;
        m.url = FakeWebService::closedPortUrl().toString();
        UpdateDownloadDialog dialog(m, exe);
        if (partialIsFolder)
            QVERIFY(QDir().mkpath(partial));
        else
            delete dialog.findChild<QNetworkAccessManager*>();
        QSignalSpy failed(&dialog, &UpdateDownloadDialog::downloadFailed);
        dialog.start();
        QCOMPARE(failed.size(), 1);
        const QString reason = failed.at(0).at(0).toString();
        // The system's reason follows the path.
        if (partialIsFolder)
            QVERIFY2(reason.startsWith(QStringLiteral("Cannot write to %1: ").arg(partial))
                         && reason.size() > partial.size() + 18,
                     qPrintable(reason));
        else
            QCOMPARE(reason, QStringLiteral("no network manager"));
        QCOMPARE(dialog.findChild<QLabel*>()->text(), reason);
        QCOMPARE(asker.asked.size(), 1);
        QCOMPARE(asker.asked.at(0).title, QStringLiteral("Update"));
        QCOMPARE(asker.asked.at(0).text, reason);
        dialog.cancel();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(QFileInfo(partial).isDir(), partialIsFolder);
    }

    void bannerOffersNewerOnly_data()
    {
        QTest::addColumn<QString>("latest");
        QTest::addColumn<bool>("shown");
        QTest::newRow("same version") << "0.5.8.0" << false;
        QTest::newRow("older") << "0.5.7.9" << false;
        QTest::newRow("newer") << "0.6" << true;
    }

    void bannerOffersNewerOnly()
    {
        QFETCH(QString, latest);
        QFETCH(bool, shown);
        ScriptedAsker asker;
        MainWindow window;
        window.show();
        auto* banner = window.findChild<UpdateBanner*>();
        QVERIFY(banner);
        UpdateManifest m;
        m.latest = latest;
        m.release_notes = QStringLiteral("<b>plain</b>");
        window.onUpdateAvailable(m);
        QCOMPARE(banner->isVisible(), shown);
        if (!shown)
            return;
        QCOMPARE(banner->findChild<QLabel*>()->text(), QStringLiteral("Korvelanto v0.6 available"));

        QString notesText;
        asker.onExec = [&notesText](QDialog* d) {
            notesText = d->findChild<QPlainTextEdit*>()->toPlainText();
            return int(QDialog::Rejected);
        };
        buttonOf(banner, QStringLiteral("What's new"))->click();
        QCOMPARE(asker.asked.last().title, QStringLiteral("Korvelanto v0.6 release notes"));
        QCOMPARE(notesText, QStringLiteral("<b>plain</b>"));

        buttonOf(banner, QStringLiteral("x"))->click();
        QVERIFY(!banner->isVisible());
    }

    // Accepting the restart closes the window the way the user would, so
    // unsaved changes are asked about; a cancelled close keeps the window and
    // leaves ".new" for the next start.
    void acceptedUpdateClosesWindow_data()
    {
        QTest::addColumn<bool>("dirty");
        QTest::addColumn<QMessageBox::StandardButton>("unsavedAnswer");
        QTest::addColumn<bool>("closed");
        QTest::newRow("nothing unsaved") << false << QMessageBox::NoButton << true;
        QTest::newRow("unsaved, discarded") << true << QMessageBox::Discard << true;
        QTest::newRow("unsaved, close cancelled") << true << QMessageBox::Cancel << false;
    }

    void acceptedUpdateClosesWindow()
    {
        QFETCH(bool, dirty);
        QFETCH(QMessageBox::StandardButton, unsavedAnswer);
        QFETCH(bool, closed);
        ScriptedAsker asker;
        asker.buttons = {QMessageBox::Yes, unsavedAnswer};
        asker.onExec = [](QDialog* d) {
            QSignalSpy done(d, &QDialog::finished);
            return QTest::qWaitFor([&] { return !done.isEmpty(); }, 20000) ? d->result() : -1;
        };
        FakeWebService web;
        QVERIFY(web.start());
        const Reply reply = FakeWebService::okReply(payload());
        web.setReply(kExePath, reply);
        const QString exe = fakeExecutable();
        MainWindow window;
        UpdateSeams seams = UpdateSeams::system();
        seams.executablePath = [exe](const QString&) { return exe; };
        window.setUpdateSeams(seams);
        window.show();
        if (dirty)
            window.findChild<QUndoStack*>()->push(new QUndoCommand(QStringLiteral("edit")));
        window.onUpdateAvailable(manifestFor(web, reply.body, reply.body.size()));
        buttonOf(window.findChild<UpdateBanner*>(), QStringLiteral("Update"))->click();

        QCOMPARE(asker.count(QStringLiteral("exec")), 1);
        QCOMPARE(asker.asked.at(0).title, QStringLiteral("Downloading Korvelanto v0.6"));
        QCOMPARE(TestFiles::readBytes(exe + QStringLiteral(".new")), reply.body);
        QCOMPARE(asker.asked.size(), dirty ? 3 : 2);
        if (dirty)
            QCOMPARE(asker.asked.last().title, QStringLiteral("Unsaved changes"));
        QCOMPARE(window.isVisible(), !closed);
        QCOMPARE(TestFiles::readBytes(exe), kOldExe);
    }

private:
    static QPushButton* buttonOf(QWidget* parent, const QString& text)
    {
        for (QPushButton* b : parent->findChildren<QPushButton*>()) {
            if (b->text() == text)
                return b;
        }
        return nullptr;
    }
};

KORV_TEST_MAIN(UpdateDownloadTest)
#include "tst_updatedownload.moc"
