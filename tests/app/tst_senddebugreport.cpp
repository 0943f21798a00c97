#include "window/MainWindow.h"
#include "dialogs/ConfigCheckDialog.h"
#include "reports/SendDebugReportDialog.h"
#include "support/ConfigFixture.h"
#include "support/FakeWebService.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using debugreport::SendDebugReportDialog;

namespace {

const QByteArray kUploadPath = "/debug-reports/upload";

QPushButton* button(QWidget* dialog, const QString& text)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

QString statusText(QWidget* dialog)
{
    return dialog->findChild<QLabel*>(QStringLiteral("statusLabel"))->text();
}

QString disclosureText(QWidget* dialog)
{
    return dialog->findChild<QLabel*>(QStringLiteral("disclosureLabel"))->text();
}

QByteArray partName(const FakeWebService::Part& part)
{
    const QByteArray disposition = part.headers.value("content-disposition");
    const int start = disposition.indexOf("name=\"") + 6;
    return disposition.mid(start, disposition.indexOf('"', start) - start);
}

// What the user saw of one send: the result box (text and format), or the
// status line with the buttons back.
struct SendOutcome {
    bool ended = false;
    bool boxShown = false;
    QString boxText;
    Qt::TextFormat boxFormat = Qt::AutoText;
};

} // namespace

class SendDebugReportTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    FakeWebService m_service;

    // Presses Send and waits until the dialog accepted or gave the buttons back.
    SendOutcome send(SendDebugReportDialog& dialog, ScriptedAsker& asker, int timeoutMs = 10000)
    {
        SendOutcome outcome;
        asker.onExec = [&outcome](QDialog* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            outcome.boxShown = box != nullptr;
            if (box) {
                outcome.boxText = box->text();
                outcome.boxFormat = box->textFormat();
            }
            return int(QMessageBox::Ok);
        };
        QPushButton* sendButton = button(&dialog, QStringLiteral("Send"));
        QTest::mouseClick(sendButton, Qt::LeftButton);
        outcome.ended = QTest::qWaitFor([&] { return outcome.boxShown || sendButton->isEnabled(); }, timeoutMs);
        return outcome;
    }

    static FakeWebService::Reply reply(int status, const QByteArray& body, qint64 filler = 0, bool announce = true)
    {
        FakeWebService::Reply r;
        r.status = status;
        r.body = body;
        r.fillerBytes = filler;
        r.announceLength = announce;
        return r;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(m_service.start());
    }

    // The three parts in order, and the archive agreeing with the form on the
    // e-mail (trimmed) and the message (as typed).
    void formPartsAndArchive()
    {
        ScriptedAsker asker;
        m_service.setReply(kUploadPath, reply(200, R"({"ok":true,"id":"R-1"})"));
        const int before = int(m_service.requests().size());
        SendDebugReportDialog dialog(nullptr, QString());
        dialog.setServiceUrl(m_service.baseUrl());
        const QString message = QStringLiteral("  first line\n\tsecond <b>line</b>  \n");
        QTest::keyClicks(dialog.findChild<QLineEdit*>(), QStringLiteral("  me@example.org \t"));
        dialog.findChild<QTextEdit*>()->setPlainText(message);
        QVERIFY(send(dialog, asker).boxShown);

        QCOMPARE(m_service.requests().size(), before + 1);
        const FakeWebService::Request request = m_service.requests().last();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, kUploadPath);
        QCOMPARE(request.headers.value("user-agent"), "Korvelanto/" + QCoreApplication::applicationVersion().toUtf8());
        QCOMPARE(request.parts.size(), 3);
        QCOMPARE(partName(request.parts[0]), QByteArray("email"));
        QCOMPARE(partName(request.parts[1]), QByteArray("message"));
        QCOMPARE(partName(request.parts[2]), QByteArray("report"));
        QVERIFY(!request.parts[0].headers.contains("content-type"));
        QVERIFY(!request.parts[1].headers.contains("content-type"));
        QVERIFY(request.parts[2].headers.value("content-disposition").contains("filename=\"report.zip\""));
        QCOMPARE(request.parts[2].headers.value("content-type"), QByteArray("application/zip"));
        QCOMPARE(request.parts[0].body, QByteArray("me@example.org"));
        QCOMPARE(request.parts[1].body, message.toUtf8());

        const QString zipPath = TestEnvironment::makeTempDir(QStringLiteral("sent")) + QStringLiteral("/report.zip");
        QFile zipFile(zipPath);
        QVERIFY(zipFile.open(QIODevice::WriteOnly));
        zipFile.write(request.parts[2].body);
        zipFile.close();
        const QMap<QString, QByteArray> entries = ZipFixture::readZip(zipPath);
        const QJsonObject metadata = QJsonDocument::fromJson(entries.value(QStringLiteral("metadata.json"))).object();
        QCOMPARE(metadata.value(QStringLiteral("user_email")).toString(), QStringLiteral("me@example.org"));
        QCOMPARE(entries.value(QStringLiteral("user_message.txt")),
                 ("email: me@example.org\n\nmessage:\n" + message + "\n").toUtf8());
    }

    void replyTable_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<qint64>("filler");
        QTest::addColumn<bool>("announce");
        QTest::addColumn<QString>("shown"); // the result box, or the status line

        // Valid JSON past the 1 MiB a reply may have: only the cap turns it
        // into a reply without JSON.
        const QByteArray pad = QByteArray(2 * 1024 * 1024, 'x');
        const QByteArray bigOk = "{\"ok\":true,\"id\":\"R-1\",\"pad\":\"" + pad + "\"}";
        const QByteArray bigError = "{\"error\":\"x\",\"pad\":\"" + pad + "\"}";
        QTest::newRow("2xx ok with id") << 200 << QByteArray(R"({"ok":true,"id":"R-1"})") << 0LL << true
                                        << "Report sent. Reference: R-1";
        QTest::newRow("2xx ok without id") << 201 << QByteArray(R"({"ok":true})") << 0LL << true
                                           << "Report sent. Thank you.";
        QTest::newRow("2xx id with markup") << 200 << QByteArray(R"({"ok":true,"id":"<b>R-2</b>"})") << 0LL << true
                                            << "Report sent. Reference: <b>R-2</b>";
        QTest::newRow("2xx not JSON") << 200 << QByteArray("<html>ok</html>") << 0LL << true
                                      << "Upload failed: Server rejected the report";
        QTest::newRow("2xx refused with markup") << 200 << QByteArray(R"({"ok":false,"error":"<i>quota</i>"})")
                                                 << 0LL << true << "Upload failed: <i>quota</i>";
        QTest::newRow("400 with error") << 400 << QByteArray(R"({"error":"email is not valid"})") << 0LL << true
                                        << "Upload failed: email is not valid";
        QTest::newRow("400 without body") << 400 << QByteArray() << 0LL << true
                                          << "Upload failed: Validation error";
        QTest::newRow("413") << 413 << QByteArray() << 0LL << true
                             << "Upload failed: Report too large (>20 MB). Close some configs and retry.";
        QTest::newRow("429") << 429 << QByteArray() << 0LL << true
                             << "Upload failed: Too many reports \u2014 try again later.";
        QTest::newRow("503") << 503 << QByteArray() << 0LL << true
                             << "Upload failed: Server error (503). Try again in a moment.";
        QTest::newRow("404") << 404 << QByteArray() << 0LL << true
                             << "Upload failed: Error transferring %1/debug-reports/upload - server replied: Not Found";
        // Over the 1 MiB a reply may have: read as a reply without JSON.
        QTest::newRow("2xx ok over 1 MiB, announced") << 200 << bigOk << 0LL
                                                      << true << "Upload failed: Server rejected the report";
        QTest::newRow("2xx ok over 1 MiB, unannounced") << 200 << bigOk << 0LL
                                                        << false << "Upload failed: Server rejected the report";
        QTest::newRow("400 over 1 MiB") << 400 << bigError << 0LL << true
                                        << "Upload failed: Validation error";
    }

    void replyTable()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(qint64, filler);
        QFETCH(bool, announce);
        QFETCH(QString, shown);
        if (shown.contains(QLatin1String("%1")))
            shown = shown.arg(m_service.baseUrl().toString());

        ScriptedAsker asker;
        m_service.setReply(kUploadPath, reply(status, body, filler, announce));
        SendDebugReportDialog dialog(nullptr, QString());
        dialog.setServiceUrl(m_service.baseUrl());
        const SendOutcome outcome = send(dialog, asker);
        QVERIFY(outcome.ended);

        if (shown.startsWith(QLatin1String("Report sent."))) {
            QVERIFY(outcome.boxShown);
            QCOMPARE(outcome.boxText, shown);
            QCOMPARE(outcome.boxFormat, Qt::PlainText);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            return;
        }
        QVERIFY(!outcome.boxShown);
        QCOMPARE(statusText(&dialog), shown);
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("statusLabel"))->textFormat(), Qt::PlainText);
        QVERIFY(button(&dialog, QStringLiteral("Send"))->isEnabled());
        QVERIFY(button(&dialog, QStringLiteral("Cancel"))->isEnabled());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void silentServerIsAbandoned()
    {
        ScriptedAsker asker;
        FakeWebService::Reply silent;
        silent.stall = true;
        m_service.setReply(kUploadPath, silent);
        SendDebugReportDialog dialog(nullptr, QString());
        dialog.setServiceUrl(m_service.baseUrl());
        dialog.setUploadTimeoutMs(200);
        // Esc while the report is on its way does not close the dialog.
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        QTimer::singleShot(50, &dialog, [&dialog] { dialog.reject(); });
        QElapsedTimer clock;
        clock.start();
        const SendOutcome outcome = send(dialog, asker, 5000);
        QCOMPARE(rejected.count(), 0);
        QVERIFY(outcome.ended);
        QVERIFY(!outcome.boxShown);
        QCOMPARE(statusText(&dialog), QStringLiteral("Upload failed: the server did not answer in time"));
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(button(&dialog, QStringLiteral("Send"))->isEnabled());
        QVERIFY(button(&dialog, QStringLiteral("Cancel"))->isEnabled());
    }

    // A server that closes before its answer is whole: the status says so
    // at once, not when the upload's 30 s are up.
    void earlyCloseIsNamed_data()
    {
        FakeWebService::addCutReplyRows();
    }

    void earlyCloseIsNamed()
    {
        QFETCH(FakeWebService::Reply, answer);
        ScriptedAsker asker;
        m_service.setReply(kUploadPath, answer);
        SendDebugReportDialog dialog(nullptr, QString());
        dialog.setServiceUrl(m_service.baseUrl());
        dialog.setUploadTimeoutMs(30000);
        const SendOutcome outcome = send(dialog, asker, 5000);
        QVERIFY(outcome.ended);
        QVERIFY(!outcome.boxShown);
        QCOMPARE(statusText(&dialog), QStringLiteral("Upload failed: Connection closed"));
        QVERIFY(button(&dialog, QStringLiteral("Send"))->isEnabled());
    }

    void inputLimits()
    {
        SendDebugReportDialog dialog(nullptr, QString());
        auto* email = dialog.findChild<QLineEdit*>();
        QTest::keyClicks(email, QString(250, QLatin1Char('e')));
        QCOMPARE(email->text().size(), 200);

        auto* message = dialog.findChild<QTextEdit*>();
        QApplication::clipboard()->setText(QString(5000, QLatin1Char('a')) + QString(1000, QLatin1Char('b')));
        message->paste();
        QCOMPARE(message->toPlainText(), QString(5000, QLatin1Char('a')));
        QCOMPARE(message->textCursor().position(), 5000);
    }

    void disclosure_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("attach");
        QTest::addColumn<bool>("hasBox");
        QTest::addColumn<bool>("included");
        QTest::newRow("no file open") << QString() << true << false << false;
        QTest::newRow("file, not attached") << QStringLiteral("/cfg/My Dash.zconf2") << false << true << false;
        QTest::newRow("file, attached") << QStringLiteral("/cfg/My Dash.zconf2") << true << true << true;
    }

    void disclosure()
    {
        QFETCH(QString, path);
        QFETCH(bool, attach);
        QFETCH(bool, hasBox);
        QFETCH(bool, included);
        SendDebugReportDialog dialog(nullptr, path, nullptr, QString(), attach);
        auto* box = dialog.findChild<QCheckBox*>();
        QCOMPARE(box != nullptr, hasBox);
        QCOMPARE(disclosureText(&dialog).contains(QLatin1String("<b>is</b> included")), included);
        QCOMPARE(disclosureText(&dialog).contains(QLatin1String("no zconf2 contents")), !included);
        if (!box)
            return;
        QCOMPARE(box->text(), QStringLiteral("Attach the open config file (My Dash.zconf2)"));
        QCOMPARE(box->isChecked(), attach);
        box->click();
        QCOMPARE(disclosureText(&dialog).contains(QLatin1String("<b>is</b> included")), !included);
    }

    void helpWithNothingOpen()
    {
        ScriptedAsker asker;
        MainWindow window;
        bool seen = false;
        asker.onExec = [&](QDialog* d) {
            auto* dialog = qobject_cast<SendDebugReportDialog*>(d);
            if (!dialog)
                return int(QDialog::Rejected);
            seen = true;
            [&] {
                QCOMPARE(dialog->configuration(), nullptr);
                QCOMPARE(dialog->configFilePath(), QString());
                QCOMPARE(dialog->findChild<QCheckBox*>(), nullptr);
                QCOMPARE(dialog->findChild<QTextEdit*>()->toPlainText(), QString());
            }();
            return int(QDialog::Rejected);
        };
        QAction* action = nullptr;
        for (QAction* a : window.menuBar()->findChildren<QAction*>())
            if (a->text() == QStringLiteral("&Send Debug Report..."))
                action = a;
        QVERIFY(action);
        action->trigger();
        QVERIFY(seen);
    }

    // Check config's "Send to support...": the report prefilled, the file
    // attached.
    void checkReportPrefilled()
    {
        ScriptedAsker asker;
        MainWindow window;
        const QString path =
            ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        window.loadConfig(path);
        QCOMPARE(window.currentFile(), path);

        QString copied;
        bool seen = false;
        asker.onExec = [&](QDialog* d) {
            if (qobject_cast<ConfigCheckDialog*>(d)) {
                button(d, QStringLiteral("Copy report"))->click();
                copied = QApplication::clipboard()->text();
                button(d, QStringLiteral("Send to support..."))->click();
                return int(QDialog::Rejected);
            }
            auto* dialog = qobject_cast<SendDebugReportDialog*>(d);
            if (!dialog)
                return int(QDialog::Rejected);
            seen = true;
            [&] {
                QVERIFY(dialog->configuration());
                QCOMPARE(dialog->configFilePath(), path);
                QVERIFY(dialog->findChild<QCheckBox*>()->isChecked());
                QVERIFY(!copied.isEmpty());
                QCOMPARE(dialog->findChild<QTextEdit*>()->toPlainText(),
                         QStringLiteral("Tools > Check config reported this:\n\n") + copied);
            }();
            return int(QDialog::Rejected);
        };
        window.showCheckConfig();
        QVERIFY(seen);
    }
};

KORV_TEST_MAIN(SendDebugReportTest)
#include "tst_senddebugreport.moc"
