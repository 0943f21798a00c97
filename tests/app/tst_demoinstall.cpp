#include "DemoStock.h"
#include "Rs3Tree.h"
#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/BoxStyleDialog.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QImage>
#include <QListWidget>
#include <QRegularExpression>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

// The artwork features on a copy of the demo with the demo's own RS3
// install, as the README's main command starts them: every one must work,
// land in the saved file and draw its art into the install.
class DemoInstallTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashConfig* config = nullptr;
    QString path;

    QString status() const { return window->statusBar()->currentMessage(); }
    QString maskPath(const DashConfig& c, int page, int mask) const
    {
        return paramValue(c.pages[size_t(page)].masks[size_t(mask)].node, "PATH_REL_AiM_MASK");
    }
    QImage installed(const QString& relFolder) const
    {
        return QImage(rs3->absolutePath(Rs3Fixture::Stable, relFolder + QStringLiteral("mask.png")));
    }

    // The saved archive as a fresh load reads it.
    std::unique_ptr<DashConfig> saveAndReread()
    {
        if (!window->save())
            return nullptr;
        auto reread = std::make_unique<DashConfig>();
        return reread->load(path) ? std::move(reread) : nullptr;
    }

private Q_SLOTS:
    void init()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Stable));
        asker = std::make_unique<ScriptedAsker>();
        path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        config = window->findChild<DashCanvas*>()->config;
        QVERIFY(config);
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
        rs3.reset();
    }

    // The demo's masks point at items of its install.
    void demoReferencesItsStock()
    {
        QCOMPARE(maskPath(*config, 0, 1), DemoStock::valueBoxItem());
        QCOMPARE(maskPath(*config, 0, 2), DemoStock::barItem());
        QCOMPARE(maskPath(*config, 1, 0), DemoStock::ringGaugeItem());
    }

    // The install beside the built demo is the one this generator writes.
    void builtInstallIsTheGenerated()
    {
        const QString built = qEnvironmentVariable("KORV_BINARY_DIR")
            + QStringLiteral("/examples/demo-prefix/drive_c/AIM_SPORT/RaceStudio3");
        if (!QFileInfo::exists(built))
            QSKIP("no demo install in the build folder");
        const auto generated = Rs3Fixture::treeSnapshot(rs3->root(Rs3Fixture::Stable));
        const auto inBuild = Rs3Fixture::treeSnapshot(built);
        QVERIFY(generated.size() > 20);
        for (auto it = generated.begin(); it != generated.end(); ++it)
            QVERIFY2(inBuild.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    void boxStyle()
    {
        const QImage stock = installed(DemoStock::valueBoxItem());
        asker->onExec = [](QDialog* dialog) {
            auto* designer = qobject_cast<BoxStyleDialog*>(dialog);
            if (!designer)
                return int(QDialog::Rejected);
            auto* styles = designer->findChild<QListWidget*>();
            for (int i = 0; i < styles->count(); ++i) {
                if (styles->item(i)->data(Qt::UserRole).toString() == QLatin1String("panel_dark"))
                    styles->setCurrentRow(i);
            }
            designer->onAccept();
            return designer->result();
        };
        window->applyBoxStyle(1);
        QCOMPARE(status(), QStringLiteral("Applied box style \"panel_dark\""));
        // The item is named after the box's page and mask and its picture.
        const QRegularExpression named(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(
                DemoStock::itemPath(QStringLiteral("s04_homebrew/zbox_Demo/Items/box_Demo_dash_p00_md_01_")))
            + QStringLiteral("[0-9a-f]{8}/")));
        const auto reread = saveAndReread();
        QVERIFY(reread);
        const QString item = maskPath(*reread, 0, 1);
        QVERIFY2(named.match(item).hasMatch(), qPrintable(item));
        const QImage art = installed(item);
        QCOMPARE(art.size(), QSize(340, 160));
        QVERIFY(art != stock);
        QVERIFY(QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, item + QStringLiteral("mask.tgz"))));
    }

    void barColour()
    {
        window->applyColorBar(2);
        QCOMPARE(status(), QStringLiteral("Applied green→amber→red bar color"));
        // A set of its own for the page, the mask and the state.
        const QRegularExpression named(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(DemoStock::itemPath(QStringLiteral("s04_homebrew/zbar_Demo_Demo_dash_p00_md_02_")))
            + QStringLiteral("[0-9a-f]{8}/Items/b_hbar/")));
        const auto reread = saveAndReread();
        QVERIFY(reread);
        const QString item = maskPath(*reread, 0, 2);
        QVERIFY2(named.match(item).hasMatch(), qPrintable(item));
        QCOMPARE(paramValue(reread->pages[0].masks[2].node, "DE_BARCOLOR_SRC"), DemoStock::barItem());
        // Green at the low end of the lit band, red at the high end.
        const QImage art = installed(item);
        QCOMPARE(art.size(), QSize(340, 60));
        const QColor low = art.pixelColor(2, 5);
        const QColor high = art.pixelColor(337, 5);
        QVERIFY2(low.green() > low.red(), qPrintable(low.name()));
        QVERIFY2(high.red() > high.green(), qPrintable(high.name()));
    }

    void insertElement_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("status");
        QTest::newRow("value") << "Numeric value" << "RPM" << "Inserted value (RPM)";
        // The install's own icon element is the donor: it takes a channel.
        QTest::newRow("icon") << "Icon" << "RPM" << "Inserted \"Icon\" -> RPM";
        QTest::newRow("ref time bar") << "+- Ref Time bar" << ""
                                      << "Inserted +- Ref Time delta bar (±2.50 s)";
    }
    void insertElement()
    {
        QFETCH(QString, type);
        QFETCH(QString, channel);
        QFETCH(QString, status);
        asker->onExec = [=](QDialog* dialog) {
            auto* add = qobject_cast<AddElementDialog*>(dialog);
            if (!add)
                return int(QDialog::Accepted);
            auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
            types->setCurrentItem(types->findItems(type, Qt::MatchExactly).value(0));
            auto* channels = add->findChild<QListWidget*>(QStringLiteral("channels"));
            const auto rows = channels->findItems(channel + QStringLiteral("  ("), Qt::MatchStartsWith);
            if (!channel.isEmpty() && !rows.isEmpty())
                channels->setCurrentItem(rows.first());
            add->onAccept();
            return add->result();
        };
        const size_t masks = config->pages[0].masks.size();
        window->insertElement();
        QCOMPARE(asker->count(QStringLiteral("message")), 0);
        QCOMPARE(this->status(), status);
        const auto reread = saveAndReread();
        QVERIFY(reread);
        QCOMPARE(reread->pages[0].masks.size(), masks + 1);
        const QString art = maskPath(*reread, 0, int(masks));
        QVERIFY2(art.startsWith(DemoStock::itemPath(QString())), qPrintable(art));
        QVERIFY(QFileInfo::exists(rs3->absolutePath(Rs3Fixture::Stable, art)));
    }
};

KORV_TEST_MAIN(DemoInstallTest)
#include "tst_demoinstall.moc"
