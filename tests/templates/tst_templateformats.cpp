#include "templates/PageTemplateLibrary.h"

#include "artwork/TgzImage.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

const QString kArt = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/p01/Items/box/");

// Expected files as written by hand from the format, in the source tree.
QByteArray golden(const char* name)
{
    QFile f(qEnvironmentVariable("KORV_SOURCE_DIR") + QStringLiteral("/tests/templates/golden/")
            + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing golden file");
}

MaskElement maskAt(int x, int y, int w, int h, pugi::xml_node node = {})
{
    MaskElement m;
    m.x = x;
    m.y = y;
    m.w = w;
    m.h = h;
    m.node = node;
    return m;
}

// A mask node with art in kArt, sized and classed as the row asks.
pugi::xml_node artMask(pugi::xml_document& doc, bool fw, const char* widgetClass)
{
    pugi::xml_node e = doc.append_child("e");
    e.append_attribute("c") = "GMaskParam";
    e.append_attribute("i") = "box";
    pugi::xml_node p = e.append_child("p");
    p.append_attribute("n") = "PATH_REL_AiM_MASK";
    p.text().set((QStringLiteral("  ") + kArt + QStringLiteral(" ")).toUtf8().constData());
    if (fw) {
        pugi::xml_node s = e.append_child("p");
        s.append_attribute("n") = "PATH_IMAGE_SFONDO_FW";
        s.text().set("mask.tgz");
    }
    if (widgetClass)
        e.append_child("e").append_attribute("c") = widgetClass;
    return e;
}

QString writeFolderMeta(const QByteArray& bytes)
{
    const QString path = TestEnvironment::makeTempDir(QStringLiteral("meta")) + QStringLiteral("/AiM_folder.xml");
    if (!bytes.isNull())
        PageTemplateLibrary::writeFile(path, bytes);
    return path;
}

QByteArray metaWithParams(const QByteArray& params)
{
    return "<?xml version=\"1.0\"?>\n<AiM_resource_folder>\n  <e c=\"Folder\" i=\"0\">\n" + params
        + "  </e>\n</AiM_resource_folder>\n";
}

QByteArray pageWith(const QByteArray& body)
{
    return "<?xml version=\"1.0\"?>\n<aimDataBase_Page2>\n" + body + "</aimDataBase_Page2>\n";
}

} // namespace

class TemplateFormatsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pageWithoutMasks()
    {
        PageModel page;
        page.name = QStringLiteral("Main & <Laps>");
        QCOMPARE(PageTemplateLibrary::buildTemplatePMain(&page), golden("pmain_nomasks.xml"));
        QVERIFY(PageTemplateLibrary::buildMaskItems(&page).isEmpty());
    }

    // Empty name, 1280 x 480 (HEIGHT before WIDTH), a first mask of width 0
    // at (-5, 12) and a tenth mask numbered md.10.
    void wideTenMaskPage()
    {
        PageModel page;
        page.width = 1280;
        page.height = 480;
        page.masks.push_back(maskAt(-5, 12, 0, 30));
        for (int n = 2; n <= 10; ++n)
            page.masks.push_back(maskAt(n * 10, n * 5, 100 + n, 40));
        const QByteArray pMain = PageTemplateLibrary::buildTemplatePMain(&page);
        QCOMPARE(pMain, golden("pmain_wide.xml"));
        QCOMPARE(PageTemplateLibrary::readPageSize(pMain), QSize(1280, 480));
    }

    void tenthMaskItem()
    {
        pugi::xml_document source;
        QVERIFY(source.load_string("<e c=\"GMaskParam\" i=\"box7\">"
                                   "<p n=\"PATH_REL_AiM_MASK\">aim/resources/overlay/mxg_12/masks/set/standard/"
                                   "s02/p01/Items/none/</p><p n=\"XPOS\">100</p>"
                                   "<e c=\"Label\" i=\"l1\"><p n=\"TEXT\">A&amp;B</p><p n=\"COLOR\"/></e></e>"));
        PageModel page;
        for (int n = 1; n <= 10; ++n)
            page.masks.push_back(maskAt(0, 0, 10, 10, n == 10 ? source.first_child() : pugi::xml_node()));
        Rs3Fixture fx;
        const QList<TemplateFile> items = PageTemplateLibrary::buildMaskItems(&page);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].first, QStringLiteral("md10/md10.M2.xml"));
        QCOMPARE(items[0].second, golden("md10.M2.xml"));
        QCOMPARE(QByteArray(source.first_child().attribute("i").value()), QByteArray("box7"));
    }

    // The second mask has no node: it leaves a gap, the third keeps md3.
    void missingNodeLeavesGap()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string("<e c=\"GMaskParam\" i=\"a\"/><e c=\"GMaskParam\"/>"));
        PageModel page;
        page.masks.push_back(maskAt(0, 0, 10, 10, doc.first_child()));
        page.masks.push_back(maskAt(0, 0, 10, 10));
        page.masks.push_back(maskAt(0, 0, 10, 10, doc.first_child().next_sibling()));
        const QList<TemplateFile> items = PageTemplateLibrary::buildMaskItems(&page);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].first, QStringLiteral("md1/md1.M2.xml"));
        QVERIFY(items[0].second.contains("<e c=\"GMaskParam\" i=\"m01\" />"));
        QCOMPARE(items[1].first, QStringLiteral("md3/md3.M2.xml"));
        // No i attribute in the source: none is added.
        QVERIFY(items[1].second.contains("<e c=\"GMaskParam\" />"));
        QVERIFY(PageTemplateLibrary::buildTemplatePMain(&page).contains("<e c=\"GMaskParam\" i=\"md.03\">"));
    }

    void demoPagesRoundTrip()
    {
        const QString work = TestEnvironment::makeTempDir(QStringLiteral("demo"));
        const QString archive = ConfigFixture::demoArchiveCopy(work);
        if (archive.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        DashConfig config;
        QVERIFY(config.load(archive));
        QVERIFY(config.pageCount() > 0);
        for (int i = 0; i < config.pageCount(); ++i) {
            const PageModel* page = config.page(i);
            const QByteArray pMain = PageTemplateLibrary::buildTemplatePMain(page);
            QCOMPARE(PageTemplateLibrary::readPageSize(pMain), QSize(page->width, page->height));
            for (const TemplateFile& item : PageTemplateLibrary::buildMaskItems(page)) {
                if (!item.first.endsWith(QLatin1String(".M2.xml")))
                    continue;
                pugi::xml_document doc;
                QVERIFY2(doc.load_buffer(item.second.constData(), size_t(item.second.size())),
                         qPrintable(item.first));
                QVERIFY(doc.child("aimDataBase_Mask2").child("e"));
            }
        }
    }

    void folderMeta()
    {
        const QByteArray meta = PageTemplateLibrary::folderMetaXml(QStringLiteral("A&B <x> \"q\""), -7);
        QCOMPARE(meta, metaWithParams("    <p n=\"Sort\">-7</p>\n"
                                      "    <p n=\"gettext\">A&amp;B &lt;x&gt; \"q\"</p>\n"));
        QString label;
        int sort = 0;
        PageTemplateLibrary::readFolderMeta(writeFolderMeta(meta), &label, &sort);
        QCOMPARE(label, QStringLiteral("A&B <x> \"q\""));
        QCOMPARE(sort, -7);
    }

    void readFolderMeta_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("sort");
        QTest::newRow("leading number") << metaWithParams("<p n=\"Sort\">12abc</p><p n=\"gettext\">Ä</p>")
                                        << QStringLiteral("Ä") << 12;
        QTest::newRow("no Sort") << metaWithParams("<p n=\"gettext\">x</p>") << "x" << 99;
        QTest::newRow("later wins") << metaWithParams("<p n=\"Sort\">3</p><p n=\"Sort\">4</p>") << "" << 4;
        QTest::newRow("malformed") << QByteArray("<AiM_resource_folder><e>") << "" << 99;
        QTest::newRow("missing file") << QByteArray() << "" << 99;
    }

    void readFolderMeta()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, label);
        QFETCH(int, sort);
        QString gotLabel = QStringLiteral("stale");
        int gotSort = -1;
        PageTemplateLibrary::readFolderMeta(writeFolderMeta(content), &gotLabel, &gotSort);
        QCOMPARE(gotLabel, label);
        QCOMPARE(gotSort, sort);
    }

    void readPageSize_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        const QByteArray page = "<e c=\"GPageParam\"><p n=\"WIDTH\">800</p><p n=\"HEIGHT\">%1</p></e>";
        QTest::newRow("both") << pageWith(QByteArray(page).replace("%1", "480")) << QSize(800, 480);
        QTest::newRow("width only") << pageWith("<e c=\"GPageParam\"><p n=\"WIDTH\">800</p></e>") << QSize();
        QTest::newRow("second page element")
            << pageWith("<e c=\"GPageParam\"><p n=\"WIDTH\">800</p></e>"
                        "<e c=\"GMaskParam\"><p n=\"WIDTH\">5</p><p n=\"HEIGHT\">5</p></e>"
                        "<e c=\"GPageParam\"><p n=\"HEIGHT\">600</p><p n=\"WIDTH\">1024</p></e>")
            << QSize(1024, 600);
        QTest::newRow("later value wins")
            << pageWith("<e c=\"GPageParam\"><p n=\"WIDTH\">1</p><p n=\"HEIGHT\">2</p><p n=\"WIDTH\">3</p></e>")
            << QSize(3, 2);
        QTest::newRow("not a number") << pageWith(QByteArray(page).replace("%1", "4x")) << QSize();
        QTest::newRow("negative") << pageWith(QByteArray(page).replace("%1", "-480")) << QSize();
        QTest::newRow("malformed") << QByteArray("<aimDataBase_Page2><e c=") << QSize();
        QTest::newRow("other root") << QByteArray("<x><e c=\"GPageParam\"><p n=\"WIDTH\">8</p><p n=\"HEIGHT\">8</p>"
                                                  "</e></x>")
                                    << QSize();
        QTest::newRow("empty") << QByteArray() << QSize();
    }

    void readPageSize()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QCOMPARE(PageTemplateLibrary::readPageSize(bytes), size);
    }

    void writeFile()
    {
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("write"));
        const QString path = dir + QStringLiteral("/a/b/empty.bin");
        QVERIFY(PageTemplateLibrary::writeFile(path, QByteArray()));
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(QFileInfo(path).size(), 0);
        // A folder where the file should go: refused, the folder stays.
        QDir().mkpath(dir + QStringLiteral("/taken"));
        QVERIFY(!PageTemplateLibrary::writeFile(dir + QStringLiteral("/taken"), "x"));
        QVERIFY(QFileInfo(dir + QStringLiteral("/taken")).isDir());
    }

    void maskImageItems_data()
    {
        QTest::addColumn<QSize>("target");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("invalid size") << QSize() << QSize(20, 10);
        QTest::newRow("empty size") << QSize(0, 30) << QSize(20, 10);
        QTest::newRow("same size") << QSize(20, 10) << QSize(20, 10);
        QTest::newRow("fitted") << QSize(40, 30) << QSize(40, 30);
        QTest::newRow("hostile size") << QSize(100000, 100000) << QSize(20, 10);
    }

    // The picture is named MASK.PNG: the look-up ignores letter case.
    void maskImageItems()
    {
        QFETCH(QSize, target);
        QFETCH(QSize, expected);
        Rs3Fixture fx;
        const QByteArray picture = TestFiles::pngBytes(QSize(20, 10), Qt::blue);
        QImage tgzSource(20, 10, QImage::Format_ARGB32);
        tgzSource.fill(Qt::blue);
        const QByteArray tgz = TgzImage::encode(tgzSource);
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kArt + QStringLiteral("MASK.PNG"), picture));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kArt + QStringLiteral("mask.tgz"), tgz));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kArt + QStringLiteral("box.M2.xml"), "<x/>"));

        const QList<TemplateFile> items = PageTemplateLibrary::maskImageItems(kArt, QStringLiteral("md4"), target);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].first, QStringLiteral("md4/MASK.PNG"));
        QCOMPARE(items[1].first, QStringLiteral("md4/mask.tgz"));
        QCOMPARE(QImage::fromData(items[0].second).size(), expected);
        QCOMPARE(TgzImage::decode(items[1].second).size(), expected);
        if (expected == QSize(20, 10)) {
            QCOMPARE(items[0].second, picture);
            QCOMPARE(items[1].second, tgz);
        }
    }

    void maskImageItemsPrefersStable()
    {
        Rs3Fixture fx;
        QVERIFY(fx.addArtItem(Rs3Fixture::Beta, kArt, QSize(8, 8), Qt::green));
        QVERIFY(fx.addArtItem(Rs3Fixture::Local, kArt, QSize(8, 8), Qt::yellow));
        QList<TemplateFile> items = PageTemplateLibrary::maskImageItems(kArt, QStringLiteral("md1"), QSize());
        QCOMPARE(items.size(), 1);
        QCOMPARE(QImage::fromData(items[0].second).pixelColor(0, 0), QColor(Qt::green));
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kArt, QSize(8, 8), Qt::red));
        items = PageTemplateLibrary::maskImageItems(kArt, QStringLiteral("md1"), QSize());
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].first, QStringLiteral("md1/mask.png"));
        QCOMPARE(QImage::fromData(items[0].second).pixelColor(0, 0), QColor(Qt::red));
    }

    // Save as Template carries the art of an item whose Items folder, or
    // own folder, the user keeps elsewhere through a link, as Add Page reads
    // it; a link there to a file is named and nothing is carried.
    void maskImageItemsThroughKeptFolders_data()
    {
        QTest::addColumn<QString>("linked"); // below the page folder
        QTest::addColumn<bool>("toFolder");
        QTest::newRow("Items linked") << "Items" << true;
        QTest::newRow("item's folder linked") << "Items/box" << true;
        QTest::newRow("item's folder a link to a file") << "Items/box" << false;
    }
    void maskImageItemsThroughKeptFolders()
    {
        QFETCH(QString, linked);
        QFETCH(bool, toFolder);
        Rs3Fixture fx;
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kArt, QSize(8, 8), Qt::red));
        const QString at = fx.absolutePath(Rs3Fixture::Stable, kArt + "../../" + linked);
        const QString away = TestEnvironment::makeTempDir("other-disk") + "/kept";
        QVERIFY(QDir().rename(at, away));
        QVERIFY(QFile::link(toFolder ? away : away + "/mask.png", at));
        if (!toFolder)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^maskImageItems: left out .* is a symbolic link to"));
        QStringList leftOut;
        const QList<TemplateFile> items = PageTemplateLibrary::maskImageItems(kArt, "md1", QSize(), &leftOut);
        QCOMPARE(items.size(), toFolder ? 1 : 0);
        QCOMPARE(leftOut.size(), toFolder ? 0 : 1);
        if (toFolder)
            QCOMPARE(QImage::fromData(items[0].second).pixelColor(0, 0), QColor(Qt::red));
        else
            QVERIFY2(leftOut[0].startsWith(QDir::cleanPath(at) + " is a symbolic link to"), qPrintable(leftOut[0]));
    }

    void maskImageItemsStaysInside_data()
    {
        QTest::addColumn<QString>("artFolder");
        QTest::newRow("climbs out") << QStringLiteral("aim/../../outside");
        QTest::newRow("absolute") << QStringLiteral("/outside");
        QTest::newRow("empty") << QStringLiteral("  ");
    }

    void maskImageItemsStaysInside()
    {
        QFETCH(QString, artFolder);
        Rs3Fixture fx;
        // A readable picture where the hostile path would lead.
        const QString outside = QDir::cleanPath(fx.root(Rs3Fixture::Stable) + QStringLiteral("/aim/../../outside"));
        QDir().mkpath(outside);
        QFile f(outside + QStringLiteral("/mask.png"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(TestFiles::pngBytes(QSize(4, 4), Qt::red)) > 0);
        f.close();
        QVERIFY(PageTemplateLibrary::maskImageItems(artFolder, QStringLiteral("md1"), QSize(8, 8)).isEmpty());
        QVERIFY(PageTemplateLibrary::maskImageItems(kArt, QString(), QSize()).isEmpty());
    }

    // Only a single picture the device paints at file size is fitted.
    void buildMaskItemsFitting_data()
    {
        QTest::addColumn<bool>("fw");
        QTest::addColumn<QString>("widgetClass");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("device picture") << true << QString() << QSize(40, 30);
        QTest::newRow("without PATH_IMAGE_SFONDO_FW") << false << QString() << QSize(20, 10);
        QTest::newRow("ring") << true << "Ring" << QSize(20, 10);
        QTest::newRow("bargraph") << true << "Bargraph" << QSize(20, 10);
        QTest::newRow("trapezoid bar") << true << "BargraphTrapezio" << QSize(20, 10);
        QTest::newRow("digit") << true << "Digit" << QSize(40, 30);
    }

    void buildMaskItemsFitting()
    {
        QFETCH(bool, fw);
        QFETCH(QString, widgetClass);
        QFETCH(QSize, expected);
        Rs3Fixture fx;
        QVERIFY(fx.addArtItem(Rs3Fixture::Stable, kArt, QSize(20, 10)));
        pugi::xml_document doc;
        const QByteArray cls = widgetClass.toLatin1();
        PageModel page;
        page.masks.push_back(maskAt(0, 0, 40, 30, artMask(doc, fw, cls.isEmpty() ? nullptr : cls.constData())));
        const QList<TemplateFile> items = PageTemplateLibrary::buildMaskItems(&page);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[1].first, QStringLiteral("md1/mask.png"));
        QCOMPARE(QImage::fromData(items[1].second).size(), expected);
    }

    void storeFolder()
    {
        QVERIFY(homebrewTemplatesDir().endsWith(QLatin1String("/templates")));
        QVERIFY(homebrewTemplatesDir().startsWith(TestEnvironment::homeDir()));
    }
};

KORV_GUI_TEST_MAIN(TemplateFormatsTest)
#include "tst_templateformats.moc"
