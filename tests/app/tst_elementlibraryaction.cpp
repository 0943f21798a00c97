#include "window/MainWindow.h"
#include "panels/ElementCatalog.h"
#include "panels/ElementLibraryDialog.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QtTest>

#include <memory>

namespace {

QStringList deviceEntries(QDialog* dialog)
{
    QStringList texts;
    for (QComboBox* combo : dialog->findChildren<QComboBox*>()) {
        if (combo->itemText(0) == QLatin1String("All types"))
            continue;
        for (int i = 0; i < combo->count() && !combo->itemText(i).isEmpty(); ++i)
            texts << combo->itemText(i);
    }
    return texts;
}

} // namespace

// Tools > "AIM Element Library..." opens the library for the configuration's
// device folder and the current page's size.
class ElementLibraryActionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> m_rs3;

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        const QString items = QStringLiteral("aim/resources/overlay/%1/masks/set/standard/s01/Race/Items/d1/");
        for (const QString& device : {QStringLiteral("mxs_12"), QStringLiteral("mxt"), QStringLiteral("pdm")})
            QVERIFY(m_rs3->addNativeElement(Rs3Fixture::Stable, items.arg(device), {"Digit"}, {200, 100}));
        QCOMPARE(ElementCatalog::rebuild(), 3);
    }

    void cleanupTestCase() { m_rs3.reset(); }

    void opensForDeviceAndPage_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("nothing open") << false << "AIM Element Library" << QStringList{"All devices"};
        // The page is 1280 x 480 while an MXG's own screen is 800 x 480.
        QTest::newRow("MXG page") << true << "AIM Element Library — mxg_12"
                                  << QStringList{"This config (mxg_12)", "Same screen size — 1280x480 (mxt, pdm)",
                                                 "All devices"};
    }

    void opensForDeviceAndPage()
    {
        QFETCH(bool, open);
        QFETCH(QString, title);
        QFETCH(QStringList, entries);
        ScriptedAsker asker;
        MainWindow window;
        if (open) {
            ConfigFixture cfg;
            FixturePage& page = cfg.device().page(QStringLiteral("Main"));
            page.width = 1280;
            page.height = 480;
            window.loadConfig(cfg.writeTempZip());
            QCOMPARE(window.currentFile().isEmpty(), false);
        }
        QStringList seen;
        asker.onExec = [&seen](QDialog* dialog) {
            if (qobject_cast<ElementLibraryDialog*>(dialog))
                seen = deviceEntries(dialog);
            return int(QDialog::Rejected);
        };
        window.showElementLibrary();
        QCOMPARE(asker.count(QStringLiteral("exec")), 1);
        QCOMPARE(asker.asked.last().kind, QStringLiteral("exec"));
        QCOMPARE(asker.asked.last().title, title);
        QCOMPARE(seen, entries);
    }
};

KORV_TEST_MAIN(ElementLibraryActionTest)
#include "tst_elementlibraryaction.moc"
