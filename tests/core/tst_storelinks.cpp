// A record store beside a configuration that is a symbolic link, a pipe or
// a link to a device: the open neither hangs nor reads without bound, the
// store is named as unreadable, and nothing is written where it leads.
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

class StoreLinksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void storeInTheWayIsNamedAndLeft_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("pipe") << "pipe" << "it is not a regular file";
        QTest::newRow("link to /dev/zero") << "zero" << "it is a symbolic link";
        QTest::newRow("link out of the folder") << "outside" << "it is a symbolic link";
        QTest::newRow("link pointing nowhere") << "dangling" << "it is a symbolic link";
    }
    void storeInTheWayIsNamedAndLeft()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        ConfigFixture fixture;
        fixture.device().page("Main").mask(Fx::mask("m1", 0, 0, 100, 40).add(Fx::label("l", "L", 0, 0, 100, 40)));
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("cfg ß & <Ω>"));
        const QString configPath = folder + "/Rennen \"1\".zconf2";
        QVERIFY(fixture.writeZip(configPath));
        const QString store = folder + "/Rennen \"1\".barcolor.json";
        const QString outside = TestEnvironment::makeTempDir("users") + "/records.json";
        const QByteArray outsideBytes = R"({"version":1,"masks":{"bar0":{"colored":true}}})";
        QVERIFY(TestFiles::writeBytes(outside, outsideBytes));
        std::unique_ptr<FifoGuard> pipe;
        if (kind == "pipe")
            QVERIFY((pipe = std::make_unique<FifoGuard>(store))->made());
        else
            QVERIFY(QFile::link(kind == "zero" ? "/dev/zero" : kind == "dangling" ? outside + ".new" : outside, store));

        DashConfig config;
        QString error;
        QVERIFY2(config.load(configPath, &error), qPrintable(error));
        QVERIFY(config.loadBarColorSidecar().isEmpty());
        const QString failure = config.sidecarReadFailure(SidecarStore::BarColors);
        QVERIFY2(failure.startsWith(QDir::toNativeSeparators(store) + " cannot be read (" + why + ")"),
                 qPrintable(failure));

        // Neither records nor no records are written where it leads.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^saveSidecar: kept"));
        QVERIFY(!config.saveBarColorSidecar({{"bar1", BarColorRecord{true, 2, "x", ""}}}));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^saveSidecar: kept"));
        QVERIFY(!config.saveBarColorSidecar({}));
        QVERIFY(config.putBackSavedSidecars(&error));
        // Save As carries the stores to the new name: this one is not read.
        QVERIFY(!config.saveAs(folder + "/Kopie.zconf2", &error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(store) + " could not be read: " + why), qPrintable(error));
        QVERIFY(!QFileInfo::exists(folder + "/Kopie.barcolor.json"));
        if (pipe)
            QVERIFY(!pipe->released());
        QCOMPARE(TestFiles::readBytes(outside), outsideBytes);
        QVERIFY(!QFileInfo::exists(outside + ".new"));
        const QFileInfo left(store);
        QVERIFY(kind == "pipe" ? left.exists() && !left.isFile() : left.isSymLink());
    }
};

KORV_GUI_TEST_MAIN(StoreLinksTest)
#include "tst_storelinks.moc"
