#include "model/DashConfig.h"
#include "model/WidgetAssets.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
const QString kSrc("aim/resources/overlay/mxg_12/masks/set/standard/s01/src/");
const QString kDst("aim/resources/overlay/mxg_12/masks/set/standard/s01/dst/");
}

class WidgetAssetsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void collectsBareNamesOnce()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string(
            "<e c='Led'>"
            "<p n='PATH_IMG_ON'> on.png </p>"
            "<p n='PATH_IMAGE'>aim/resources/overlay/mxg_12/x.png</p>"
            "<p n='TEXT'>ignored.png</p>"
            "<e c='Inner'><p n='PATH_IMG_OFF'>off.png</p><e c='Deep'><p n='PATH_IMG_ON'>on.png</p></e></e>"
            "<e c='Other'><p n='PRW_AXISNOTSET'>sub\\a.png</p><p n='PATH_IMAGE'>dir/b.png</p>"
            "<p n='PATH_IMG_OFF'>last.png</p></e>"
            "</e>"));
        QCOMPARE(DashConfig::collectWidgetAssetReferences(doc.first_child()),
                 QStringList({"on.png", "off.png", "last.png"}));
        QVERIFY(DashConfig::collectWidgetAssetReferences(pugi::xml_node()).isEmpty());
    }

    void hostileNestingDoesNotOverflow()
    {
        QByteArray xml;
        const int depth = 100000;
        for (int i = 0; i < depth; ++i)
            xml += "<e>";
        xml += "<p n=\"PATH_IMG_ON\">deep.png</p>";
        for (int i = 0; i < depth; ++i)
            xml += "</e>";
        pugi::xml_document doc;
        QVERIFY(doc.load_buffer(xml.constData(), size_t(xml.size())));
        QCOMPARE(DashConfig::collectWidgetAssetReferences(doc.first_child()), QStringList{"deep.png"});
    }

    // Only what a folder lacks is added, with the picture's twin; a file of
    // that name there, in any letter case, is some configuration's art.
    void copiesIntoEveryInstallWithTheFolder()
    {
        Rs3Fixture fx;
        // Only the beta install has the file; both have the target folder.
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, kSrc + "on.png", "ON"));
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, kSrc + "on.tgz", "ON-TGZ"));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, kDst)));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, kDst)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kDst + "on.png", "held"));
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, kDst + "ON.TGZ", "held too"));
        QCOMPARE(copyAssetIntoOverlay(kSrc, kDst, {"on.png", "missing.png"}), 2);
        QCOMPARE(readAll(fx.absolutePath(Rs3Fixture::Stable, kDst + "on.png")), QByteArray("held"));
        QCOMPARE(readAll(fx.absolutePath(Rs3Fixture::Stable, kDst + "on.tgz")), QByteArray("ON-TGZ"));
        QCOMPARE(readAll(fx.absolutePath(Rs3Fixture::Beta, kDst + "on.png")), QByteArray("ON"));
        QCOMPARE(readAll(fx.absolutePath(Rs3Fixture::Beta, kDst + "ON.TGZ")), QByteArray("held too"));
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Beta, kDst + "on.tgz")));
    }

    // Nothing is read or written through a link: a source picture that is a
    // link to a file outside, a link of the picture's name in the target.
    void linksAreNeitherReadNorWritten()
    {
        Rs3Fixture fx;
        const QString outside = TestEnvironment::makeTempDir(QStringLiteral("outside"));
        QVERIFY(TestFiles::writeBytes(outside + "/secret.txt", "SECRET"));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, kSrc)));
        QVERIFY(QFile::link(outside + "/secret.txt", fx.absolutePath(Rs3Fixture::Stable, kSrc + "on.png")));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kSrc + "off.png", "OFF"));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, kDst)));
        QVERIFY(QFile::link(outside + "/written.png", fx.absolutePath(Rs3Fixture::Stable, kDst + "off.png")));
        QCOMPARE(copyAssetIntoOverlay(kSrc, kDst, {"on.png", "off.png"}), 0);
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kDst + "on.png")));
        QVERIFY(!QFileInfo::exists(outside + "/written.png"));
        QVERIFY(QFileInfo(fx.absolutePath(Rs3Fixture::Stable, kDst + "off.png")).isSymLink());
    }

    void noFolderIsCreated()
    {
        Rs3Fixture fx;
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kSrc + "on.png", "ON"));
        QCOMPARE(copyAssetIntoOverlay(kSrc, kDst, {"on.png"}), 0);
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kDst)));
    }

    void hostileNamesAndFoldersStayInside_data()
    {
        QTest::addColumn<QString>("src");
        QTest::addColumn<QString>("dst");
        QTest::addColumn<QString>("name");
        QTest::newRow("dot-dot name") << kSrc << kDst << "..";
        QTest::newRow("name with folder") << kSrc << kDst << "../on.png";
        QTest::newRow("target escapes") << kSrc << "aim/resources/overlay/../../../" << "on.png";
        QTest::newRow("absolute target") << kSrc << "/tmp/" << "on.png";
    }
    void hostileNamesAndFoldersStayInside()
    {
        QFETCH(QString, src);
        QFETCH(QString, dst);
        QFETCH(QString, name);
        Rs3Fixture fx;
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kSrc + "on.png", "ON"));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, kDst)));
        QCOMPARE(copyAssetIntoOverlay(src, dst, {name}), 0);
    }
};

KORV_GUI_TEST_MAIN(WidgetAssetsTest)
#include "tst_widgetassets.moc"
