// A link or a pipe where a writer of the templates store, a saved art folder,
// a copied or written art file or a background would put its file: nothing
// is written where the link leads, no write waits on the pipe, and the
// refusal names what is in the way.
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateContent.h"

#include "artwork/ArtworkFiles.h"
#include "artwork/SavedArtFolders.h"
#include "artwork/TgzImage.h"
#include "model/PageModel.h"
#include "support/FifoGuard.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

QStringList logged;

void keepMessage(QtMsgType, const QMessageLogContext&, const QString& text)
{
    logged << text;
}

struct Writer {
    QString at; // where the link or the pipe is put
    std::function<bool(QString* error)> write;
};

Writer templateSave(const QString& at)
{
    QSettings().setValue(QStringLiteral("homebrew/mirrorToAim"), false);
    return {at, [](QString*) {
                PageModel page;
                page.width = 800;
                page.height = 480;
                TemplateContent content;
                content.pMainXml = PageTemplateLibrary::buildTemplatePMain(&page);
                content.items = {{QStringLiteral("md1/mask.png"), "png"}};
                // An item refused leaves the template saved without it.
                return !PageTemplateLibrary::saveHomebrewTemplate("mxg_12", "zlap", "Lap", content, nullptr, {})
                            .isEmpty()
                    && !logged.join(' ').contains("cannot write");
            }};
}

Writer writerNamed(const QString& name, const QString& dir)
{
    const QString store = homebrewTemplatesDir() + QStringLiteral("/mxg_12/zlap");
    const QString art = dir + "/mask.png";
    if (name == "template page file")
        return templateSave(store + QStringLiteral("/pMain.P2.xml"));
    if (name == "template items folder")
        return templateSave(store + QStringLiteral("/Items"));
    if (name == "saved art put back") {
        auto saved = std::make_shared<SavedArtFolders>();
        TestFiles::writeBytes(art, "kept");
        saved->aboutToWrite(dir, {QStringLiteral("mask.png")});
        QFile::remove(art);
        return {art, [saved](QString* error) { return saved->putBack(error); }};
    }
    if (name == "art file copied") {
        TestFiles::writeBytes(dir + "/source.png", "new art");
        return {art, [=](QString* error) { return copyFileOver(dir + "/source.png", art, error); }};
    }
    if (name == "art file written")
        return {art, [=](QString* error) { return writeFileBytes(art, "new art", error); }};
    TestFiles::writeBytes(dir + "/bkg.png", TestFiles::pngBytes(QSize(8, 4), Qt::red));
    return {dir + "/bkg.tgz", [dir](QString*) { return generateBkgTgz(dir + "/bkg.png", dir + "/bkg.tgz", 8, 4); }};
}

} // namespace

class NoLinkWritesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(homebrewTemplatesDir()).removeRecursively();
        logged.clear();
    }

    void nothingIsWrittenThroughALinkOrAPipe_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<bool>("pipe");
        for (const char* writer : {"template page file", "template items folder", "saved art put back",
                                   "art file copied", "art file written", "background"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, link").arg(writer))) << QString(writer) << false;
            // A pipe in a folder's place is only a folder that cannot be made.
            if (QString(writer) != "template items folder")
                QTest::newRow(qPrintable(QStringLiteral("%1, pipe").arg(writer))) << QString(writer) << true;
        }
    }
    void nothingIsWrittenThroughALinkOrAPipe()
    {
        QFETCH(QString, writer);
        QFETCH(bool, pipe);
        const QString users = TestEnvironment::makeTempDir(QStringLiteral("users"));
        QVERIFY(TestFiles::writeBytes(users + "/words.txt", "a user's words"));
        const Writer w = writerNamed(writer, TestEnvironment::makeTempDir(QStringLiteral("art")));
        QVERIFY(QDir().mkpath(QFileInfo(w.at).path()));
        std::unique_ptr<FifoGuard> guard;
        if (pipe)
            QVERIFY((guard = std::make_unique<FifoGuard>(w.at, 2))->made());
        else
            QVERIFY(QFile::link(w.at.endsWith("/Items") ? users : users + "/words.txt", w.at));

        const QtMessageHandler before = qInstallMessageHandler(keepMessage);
        QString text;
        const bool wrote = w.write(&text);
        qInstallMessageHandler(before);
        QVERIFY(!wrote);
        text += '\n' + logged.join('\n');

        const QString why = pipe ? w.at + ": it is not a regular file" : w.at + " is a symbolic link";
        QVERIFY2(text.contains(why), qPrintable(text));
        QCOMPARE(QDir(users).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"words.txt"});
        QCOMPARE(TestFiles::readBytes(users + "/words.txt"), QByteArray("a user's words"));
        const QFileInfo left(w.at);
        QVERIFY(pipe ? left.exists() && !left.isFile() && !left.isSymLink() : left.isSymLink());
        if (guard)
            QVERIFY(!guard->released());
    }
};

KORV_GUI_TEST_MAIN(NoLinkWritesTest)
#include "tst_nolinkwrites.moc"
