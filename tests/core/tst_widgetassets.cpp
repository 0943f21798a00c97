#include "model/DashConfig.h"
#include "model/WidgetAssets.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

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

    void copiesIntoEveryInstallWithTheFolder()
    {
        Rs3Fixture fx;
        // Only the beta install has the file; both have the target folder.
        QVERIFY(fx.writeFile(Rs3Fixture::Beta, kSrc + "on.png", "ON"));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Stable, kDst)));
        QVERIFY(QDir().mkpath(fx.absolutePath(Rs3Fixture::Beta, kDst)));
        QVERIFY(fx.writeFile(Rs3Fixture::Stable, kDst + "on.png", "stale"));
        QCOMPARE(copyAssetIntoOverlay(kSrc, kDst, {"on.png", "missing.png"}), 2);
        QCOMPARE(readAll(fx.absolutePath(Rs3Fixture::Stable, kDst + "on.png")), QByteArray("ON"));
        QCOMPARE(readAll(fx.absolutePath(Rs3Fixture::Beta, kDst + "on.png")), QByteArray("ON"));
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
