#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/FifoGuard.h"
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

// A fit reads the stock picture it scales as a plain file only: a link at
// it may lead to a private picture, which would be scaled into the homebrew
// set, and a pipe would hold the open and every resize.
namespace {

const char* const kOrigin = "aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/Items/a/";
const char* const kSet = "aim/resources/overlay/mxg_12/masks/set/standard/s04_homebrew";

// A mask on the stock item, or (`shown`) on a fit of it the install lacks,
// which the open draws again from its origin.
QString writeConfig(bool bar, const QString& shown = QString::fromLatin1(kOrigin))
{
    FixtureElement mask = Fx::mask("md.01", 10, 20, 120, 60).p("PATH_REL_AiM_MASK", shown);
    if (shown != QLatin1String(kOrigin))
        mask.p("DE_FIT_SRC", kOrigin);
    if (bar)
        mask.add(Fx::bargraph("b1", 0, 0, 120, 60));
    else
        mask.p("PATH_IMAGE_SFONDO_FW", "mask.tgz").add(Fx::digit("d1", 0, 0, 120, 60));
    ConfigFixture cfg;
    cfg.device().page("Main").mask(mask);
    return cfg.writeTempZip();
}

} // namespace

class FitPicturesTest : public QObject {
    Q_OBJECT

    // The stock item with a link to a private picture, or a pipe, at its
    // mask.png; the guard of the pipe in *guard.
    static QString hostileStock(const Rs3Fixture& fx, bool pipe, std::unique_ptr<FifoGuard>* guard)
    {
        fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
        if (!fx.addArtItem(Rs3Fixture::Stable, kOrigin, QSize(100, 50)))
            return {};
        const QString picture = QDir::cleanPath(fx.absolutePath(Rs3Fixture::Stable, kOrigin)) + "/mask.png";
        const QString secret = TestEnvironment::makeTempDir("private") + "/photo.png";
        QImage photo(100, 50, QImage::Format_ARGB32);
        photo.fill(Qt::blue);
        if (!QFile::remove(picture) || !photo.save(secret))
            return {};
        if (pipe)
            *guard = std::make_unique<FifoGuard>(picture);
        if (pipe ? !(*guard)->made() : !QFile::link(secret, picture))
            return {};
        return picture;
    }

    static QString namedText(const QString& picture, bool pipe)
    {
        return "^fitMaskArtToGeometry: not read: " + QRegularExpression::escape(picture)
            + (pipe ? " is not a regular file" : " is a symbolic link");
    }

private Q_SLOTS:
    void stockPictureInTheWay_data()
    {
        QTest::addColumn<bool>("bar");
        QTest::addColumn<bool>("pipe");
        QTest::newRow("picture, linked") << false << false;
        QTest::newRow("picture, pipe") << false << true;
        QTest::newRow("bar, linked") << true << false;
        QTest::newRow("bar, pipe") << true << true;
    }

    // Nothing waits, nothing is drawn from what the link leads to, and the
    // picture not read is named.
    void stockPictureInTheWay()
    {
        QFETCH(bool, bar);
        QFETCH(bool, pipe);
        Rs3Fixture fx;
        std::unique_ptr<FifoGuard> guard;
        const QString picture = hostileStock(fx, pipe, &guard);
        QVERIFY(!picture.isEmpty());
        const QString named = namedText(picture, pipe);
        DashConfig config;
        QVERIFY(config.load(writeConfig(bar)));
        setParam(config.pages[0].masks[0].node, "WIDTH", "140");
        setParam(config.pages[0].masks[0].node, "HEIGHT", "70");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(named));
        QCOMPARE(config.fitMaskArtToGeometry(0, 0), 0);
        QCOMPARE(QString::fromUtf8(paramValue(config.pages[0].masks[0].node, "PATH_REL_AiM_MASK")),
                 QString::fromLatin1(kOrigin));
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, kSet)));
        if (guard)
            QVERIFY(!guard->released());
    }

    void openDrawsNoFitFromIt_data() { stockPictureInTheWay_data(); }

    // The open draws again a fit the install lacks from its origin: with a
    // link or a pipe there it waits on nothing, draws nothing and names it.
    void openDrawsNoFitFromIt()
    {
        QFETCH(bool, bar);
        QFETCH(bool, pipe);
        Rs3Fixture fx;
        std::unique_ptr<FifoGuard> guard;
        const QString picture = hostileStock(fx, pipe, &guard);
        QVERIFY(!picture.isEmpty());
        const QString fit = QString::fromLatin1(kSet) + "/zbox_config/Items/fit_md_01_120x60/";
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(namedText(picture, pipe)));
        DashConfig config;
        QVERIFY(config.load(writeConfig(bar, fit)));
        QVERIFY(!QFileInfo::exists(fx.absolutePath(Rs3Fixture::Stable, fit)));
        if (guard)
            QVERIFY(!guard->released());
    }
};

KORV_GUI_TEST_MAIN(FitPicturesTest)
#include "tst_fitpictures.moc"
