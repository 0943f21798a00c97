// The online gallery dialog against a local fake of the gallery service:
// catalog pages, the device filter, details, previews and the nonce request.
#include "dialogs/OnlineGalleryDialog.h"
#include "support/FakeWebService.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

using gallery::OnlineGalleryDialog;
using Reply = FakeWebService::Reply;

namespace {

const QByteArray kCatalog = "/api/catalog";

// JSON written with single quotes, so the rows stay readable.
QByteArray json(const QString& text)
{
    return text.toUtf8().replace('\'', '"');
}

QByteArray png(const QColor& colour)
{
    return TestFiles::pngBytes(QSize(44, 26), colour);
}

QStringList texts(const QListWidget* list)
{
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->item(i)->text();
    return all;
}

} // namespace

class OnlineGalleryDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeWebService> web;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<OnlineGalleryDialog> dialog;

    template <typename T> T* child(const char* name) const { return dialog->findChild<T*>(QLatin1String(name)); }
    QListWidget* items() const { return child<QListWidget>("itemList"); }
    QLabel* preview() const { return child<QLabel>("previewLabel"); }
    int page() const { return dialog->findChild<QStackedWidget*>()->currentIndex(); }

    // A shown dialog whose catalog has arrived (or failed).
    void open(const QByteArray& catalog)
    {
        web->setReply(kCatalog, FakeWebService::okReply(catalog));
        dialog = std::make_unique<OnlineGalleryDialog>(nullptr, web->baseUrl());
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QVERIFY(QTest::qWaitFor([this] { return page() != 0; }, 10000));
    }

    bool previewSettled() const { return preview()->text() != QStringLiteral("loading…"); }

    int requestsTo(const QByteArray& path) const
    {
        int n = 0;
        for (const FakeWebService::Request& r : web->requests())
            n += r.path == path;
        return n;
    }

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationVersion(QStringLiteral("0.5.8.0")); }

    void init()
    {
        web = std::make_unique<FakeWebService>();
        QVERIFY(web->start());
        asker = std::make_unique<ScriptedAsker>();
    }

    void cleanup()
    {
        dialog.reset();
        asker.reset();
        web.reset();
    }

    // What the device filter and the rows show for a catalog.
    void rows_data()
    {
        QTest::addColumn<QString>("catalog");
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("ids differing in case stay apart")
            << "{'items':[{'slug':'a','name':'A','kind':'theme','devices':['mxs_12']},"
               "{'slug':'b','name':'B','kind':'config','devices':['MXS_12']}]}"
            << QStringList{"All devices", "MXS 1.2", "MXS 1.2"}
            << QStringList{"[theme]  A  – MXS 1.2", "[config]  B  – MXS 1.2"};
        QTest::newRow("five devices")
            << "{'items':[{'slug':'a','name':'A','kind':'Theme','devices':['mxg_12','pdm/dash1','mxp','zz9','fsw']}]}"
            << QStringList{"All devices", "MXG 1.2", "MXP", "PDM32 10-inch", "SW4 (Steering Wheel)", "zz9"}
            << QStringList{"[theme]  A  – MXG 1.2, PDM32 10-inch, MXP +2 more"};
        QTest::newRow("no devices") << "{'items':[{'slug':'a','name':'A'}]}" << QStringList{"All devices"}
                                    << QStringList{"[config]  A"};
        QTest::newRow("markup is text") << "{'items':[{'slug':'a','name':'<img src=x>','kind':'theme'}]}"
                                        << QStringList{"All devices"} << QStringList{"[theme]  <img src=x>"};
    }

    void rows()
    {
        QFETCH(QString, catalog);
        QFETCH(QStringList, devices);
        QFETCH(QStringList, rows);
        open(json(catalog));
        QCOMPARE(page(), 2);
        QCOMPARE(texts(child<QListWidget>("deviceList")), devices);
        QCOMPARE(texts(items()), rows);
        QVERIFY(!child<QPushButton>("installButton")->isEnabled());
    }

    void details_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("meta");
        QTest::newRow("full") << "{'slug':'a','name':'Neon','author':'Ann','kind':'theme','downloads':7,"
                                 "'devices':['mxg_12','mxs_12','mxp','mxt','fsw']}"
                              << "Neon"
                              << "by Ann &middot; theme &middot; MXG 1.2, MXS 1.2, MXP, MXT 1.3, SW4 (Steering Wheel)"
                                 " &middot; 7 download(s)";
        QTest::newRow("no downloads, nothing else") << "{'slug':'a','name':'Neon','downloads':0}"
                                                    << "Neon" << "";
        QTest::newRow("markup escaped") << "{'slug':'a','name':'<img src=x>','author':'<b>me</b>','kind':'<i>'}"
                                        << "&lt;img src=x&gt;" << "by &lt;b&gt;me&lt;/b&gt; &middot; &lt;i&gt;";
    }

    void details()
    {
        QFETCH(QString, item);
        QFETCH(QString, name);
        QFETCH(QString, meta);
        open(json("{'items':[" + item + "]}"));
        items()->setCurrentRow(0);
        QCOMPARE(child<QLabel>("nameLabel")->text(),
                 "<span style='font-size:13pt; font-weight:bold;'>" + name + "</span>");
        QCOMPARE(child<QLabel>("metaLabel")->text(), meta);
        QCOMPARE(preview()->text(), QStringLiteral("no preview"));
    }

    void catalogPages()
    {
        Reply unavailable;
        unavailable.status = 503;
        web->setReply(kCatalog, unavailable);
        dialog = std::make_unique<OnlineGalleryDialog>(nullptr, web->baseUrl());
        QVERIFY(QTest::qWaitFor([this] { return page() == 1; }, 10000));
        QVERIFY(child<QLabel>("messageLabel")->text().startsWith("Could not load the catalog:\nGallery server error (503)"));
        auto* retry = child<QPushButton>("retryButton");
        QCOMPARE(retry->text(), QStringLiteral("Retry"));

        web->setReply(kCatalog, FakeWebService::okReply("{\"items\":[]}"));
        retry->click();
        QCOMPARE(page(), 0);
        QVERIFY(QTest::qWaitFor([this] { return page() == 1; }, 10000));
        QVERIFY(child<QLabel>("messageLabel")->text().startsWith("No configs available yet."));
        QCOMPARE(retry->text(), QStringLiteral("Refresh"));

        web->setReply(kCatalog, FakeWebService::okReply("{\"items\":[{\"slug\":\"neon\"}]}"));
        retry->click();
        QVERIFY(QTest::qWaitFor([this] { return page() == 2; }, 10000));
        QCOMPARE(texts(items()), QStringList{"[config]  neon"});
        QCOMPARE(requestsTo(kCatalog), 3);
    }

    // A server that closes before its reply is whole: the catalog says so at
    // once (its requests wait 60 s for a silent server), and so does the
    // preview of a catalog that arrived.
    void earlyClose_data()
    {
        FakeWebService::addCutReplyRows();
    }

    void earlyClose()
    {
        QFETCH(Reply, answer);
        web->setReply(kCatalog, answer);
        dialog = std::make_unique<OnlineGalleryDialog>(nullptr, web->baseUrl());
        QTRY_COMPARE_WITH_TIMEOUT(page(), 1, 5000);
        QCOMPARE(child<QLabel>("messageLabel")->text(),
                 QStringLiteral("Could not load the catalog:\nNetwork error: Connection closed"));

        web->setReply("/p.png", answer);
        web->setReply(kCatalog, FakeWebService::okReply(
                                    json("{'items':[{'slug':'a','preview':'" + web->baseUrl().toString() + "/p.png'}]}")));
        child<QPushButton>("retryButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(page(), 2, 5000);
        items()->setCurrentRow(0);
        QTRY_VERIFY_WITH_TIMEOUT(previewSettled(), 5000);
        QCOMPARE(preview()->text(), QStringLiteral("no preview"));
        QCOMPARE(requestsTo("/p.png"), 1);
    }

    // Only https and the gallery's own address are fetched, and only up to
    // the cap; the rest shows "no preview" and sends nothing.
    void previews_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("requests");
        QTest::newRow("own host") << "{base}/p.png" << FakeWebService::okReply(png(Qt::red), "image/png") << true
                                  << 1;
        QTest::newRow("system file") << "file:///etc/passwd" << Reply() << false << 0;
        QTest::newRow("local picture") << "{file}" << Reply() << false << 0;
        QTest::newRow("other host over http") << "http://localhost:{port}/p.png"
                                              << FakeWebService::okReply(png(Qt::red)) << false << 0;
        QTest::newRow("no scheme") << "/p.png" << FakeWebService::okReply(png(Qt::red)) << false << 0;
        QTest::newRow("not a picture") << "{base}/p.png" << FakeWebService::okReply("<html>") << false << 1;
        QTest::newRow("404") << "{base}/q.png" << Reply() << false << 1;
        Reply huge = FakeWebService::okReply(png(Qt::red), "image/png");
        huge.fillerBytes = 6 * 1024 * 1024;
        QTest::newRow("6 MiB") << "{base}/p.png" << huge << false << 1;
        huge.announceLength = false;
        QTest::newRow("6 MiB, no length") << "{base}/p.png" << huge << false << 1;
    }

    void previews()
    {
        QFETCH(QString, address);
        QFETCH(Reply, reply);
        QFETCH(bool, shown);
        QFETCH(int, requests);
        const QString picture = TestEnvironment::makeTempDir("pic") + "/p.png";
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(png(Qt::red)) > 0);
        file.close();
        address.replace("{base}", web->baseUrl().toString())
            .replace("{port}", QString::number(web->port()))
            .replace("{file}", QUrl::fromLocalFile(picture).toString());
        web->setReply("/p.png", reply);
        open(json("{'items':[{'slug':'a','preview':'" + address + "'}]}"));
        items()->setCurrentRow(0);
        QVERIFY(QTest::qWaitFor([this] { return previewSettled(); }, 10000));
        QCOMPARE(!preview()->pixmap().isNull(), shown);
        QCOMPARE(preview()->text().isEmpty(), shown);
        QCOMPARE(int(web->requests().size()) - 1, requests);
    }

    void slowPreviewIgnored()
    {
        Reply slow = FakeWebService::okReply(png(Qt::red), "image/png");
        slow.delayMs = 800;
        web->setReply("/slow.png", slow);
        web->setReply("/fast.png", FakeWebService::okReply(png(Qt::blue), "image/png"));
        const QString base = web->baseUrl().toString();
        open(json("{'items':[{'slug':'a','preview':'" + base + "/slow.png'},{'slug':'b','preview':'" + base
                  + "/fast.png'}]}"));
        items()->setCurrentRow(0);
        items()->setCurrentRow(1);
        QVERIFY(QTest::qWaitFor([this] { return !preview()->pixmap().isNull(); }, 10000));
        QTest::qWait(1200);
        QCOMPARE(requestsTo("/slow.png"), 1);
        const QImage shown = preview()->pixmap().toImage();
        QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::blue));
    }

    void nonce_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("warning");
        QTest::newRow("nonce") << QByteArray("{\"nonce\":\"n-42\"}") << true << QString();
        QTest::newRow("empty nonce") << QByteArray("{\"nonce\":\"\"}") << false
                                     << "Could not start the install:\nServer did not return an install nonce.";
    }

    // A double-click asks once however often it lands; the dialog closes
    // only with a slug and a nonce.
    void nonce()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, accepted);
        QFETCH(QString, warning);
        Reply answer = FakeWebService::okReply(body);
        answer.delayMs = 300;
        web->setReply("/api/templates/neon%20x/install-url", answer);
        open(json("{'items':[{'slug':'neon x','name':'Neon'}]}"));
        items()->setCurrentRow(0);
        QWidget* viewport = items()->viewport();
        const QPoint centre = items()->visualItemRect(items()->item(0)).center();
        for (int twice = 0; twice < 2; ++twice) {
            // A real double-click: a click, then the second press.
            QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre);
        }
        auto* install = child<QPushButton>("installButton");
        QCOMPARE(install->text(), QStringLiteral("Requesting…"));
        QVERIFY(!install->isEnabled());
        install->click();

        QVERIFY(QTest::qWaitFor([&] { return dialog->result() == QDialog::Accepted || !asker->asked.isEmpty(); },
                                10000));
        QTest::qWait(100);
        QCOMPARE(requestsTo("/api/templates/neon%20x/install-url"), 1);
        QCOMPARE(web->requests().last().query, QByteArray("format=json"));
        QCOMPARE(dialog->result() == QDialog::Accepted, accepted);
        QCOMPARE(dialog->selectedSlug(), accepted ? QStringLiteral("neon x") : QString());
        QCOMPARE(dialog->installNonce(), accepted ? QStringLiteral("n-42") : QString());
        if (!accepted) {
            QCOMPARE(asker->asked.size(), 1);
            QCOMPARE(asker->asked.first().title, QStringLiteral("Online Themes"));
            QCOMPARE(asker->asked.first().text, warning);
            QVERIFY(dialog->isVisible());
            QVERIFY(install->isEnabled());
            QCOMPARE(install->text(), QStringLiteral("Download && Install"));
        }
    }

    void incompleteToken()
    {
        open(json("{'items':[{'slug':'neon'}]}"));
        items()->setCurrentRow(0);
        dialog->onNonceReady(QStringLiteral("neon"), QString());
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(dialog->selectedSlug().isEmpty());
        QCOMPARE(asker->asked.size(), 1);
        QCOMPARE(asker->asked.first().text,
                 QStringLiteral("The server returned an incomplete install token. Please try again."));
        QVERIFY(child<QPushButton>("installButton")->isEnabled());
    }
};

KORV_TEST_MAIN(OnlineGalleryDialogTest)
#include "tst_onlinegallerydialog.moc"
