#include "editing/InsertPageCommand.h"
#include "editing/NewPageCommand.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/TemplateFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QGuiApplication>
#include <QUndoStack>
#include <QtTest>
#include <functional>

// Builds a page command against an open configuration; the int receives the
// created page.
struct PageCommandMaker {
    std::function<QUndoCommand*(DashConfig&, int*)> make;
};
Q_DECLARE_METATYPE(PageCommandMaker)

namespace {

const QString kRel = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/tpl/");

// Pages "A" and "B" with a mask each.
ConfigFixture twoPages()
{
    ConfigFixture cfg;
    cfg.device().page("A").mask(Fx::mask("m1", 0, 0, 100, 40).add(Fx::label("l1", "A", 0, 0, 100, 40)));
    cfg.device().page("B").mask(Fx::mask("m1", 0, 0, 100, 40).add(Fx::label("l1", "B", 0, 0, 100, 40)));
    return cfg;
}

// A template folder with two masks; the template is removed after the first
// redo, so a redo that read it again would build a different page.
QString templateFolder()
{
    TemplateFixture tpl;
    tpl.mask(FixtureElement("GMaskParam").p("ORDINE", 1),
             Fx::mask("m01", 10, 10, 200, 60)
                 .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                 .add(Fx::digit("d1", 0, 0, 200, 60, "a1")));
    tpl.mask(FixtureElement("GMaskParam").p("ORDINE", 2),
             Fx::mask("m02", 10, 80, 200, 40).add(Fx::label("l1", "GEAR", 0, 0, 200, 40)));
    const QString folder = TestEnvironment::makeTempDir("tpl") + "/race";
    return tpl.writeTo(folder) ? folder : QString();
}

PageCommandMaker newPage(const QString& name)
{
    return {[=](DashConfig& c, int* created) { return new NewPageCommand(&c, name, created); }};
}

PageCommandMaker insertPage(const QString& folder)
{
    return {[=](DashConfig& c, int* created) { return new InsertPageCommand(&c, folder, "T", kRel, created); }};
}

} // namespace

class PageCommandsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void undoRedo_data()
    {
        QTest::addColumn<PageCommandMaker>("maker");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("masks");
        QTest::addColumn<QString>("folder");
        QTest::newRow("new page") << newPage("Fuel") << "New page \"Fuel\"" << 0 << QString();
        const QString folder = templateFolder();
        QTest::newRow("page from template") << insertPage(folder) << "Add page from template \"race\"" << 2 << folder;
    }

    // Undo gives back the configuration as it was opened; every redo gives
    // the page of the first one.
    void undoRedo()
    {
        QFETCH(PageCommandMaker, maker);
        QFETCH(QString, text);
        QFETCH(int, masks);
        QFETCH(QString, folder);
        DashConfig config;
        QVERIFY(config.load(twoPages().writeTempZip()));
        const QByteArray documentsBefore = ConfigSnapshot::documents(config);
        const QByteArray recordsBefore = ConfigSnapshot::records(config);
        QUndoStack stack;

        int created = -2;
        stack.push(maker.make(config, &created));
        QCOMPARE(created, 2);
        QCOMPARE(stack.count(), 1);
        QCOMPARE(stack.undoText(), text);
        QCOMPARE(int(config.page(created)->masks.size()), masks);
        const QByteArray documentsAfter = ConfigSnapshot::documents(config);
        const QByteArray recordsAfter = ConfigSnapshot::records(config);
        if (!folder.isEmpty())
            QVERIFY(QDir(folder).removeRecursively());

        for (int round = 0; round < 2; ++round) {
            stack.undo();
            QCOMPARE(ConfigSnapshot::documents(config), documentsBefore);
            QCOMPARE(ConfigSnapshot::records(config), recordsBefore);
            stack.redo();
            QCOMPARE(ConfigSnapshot::documents(config), documentsAfter);
            QCOMPARE(ConfigSnapshot::records(config), recordsAfter);
            QCOMPARE(ConfigSnapshot::pairingError(config), QString());
        }
    }

    void failedFirstRedoLeavesNoStep_data()
    {
        QTest::addColumn<PageCommandMaker>("maker");
        QTest::addColumn<bool>("configOpen");
        QTest::newRow("new page, nothing open") << newPage("X") << false;
        QTest::newRow("template folder without pMain") << insertPage(TestEnvironment::makeTempDir("none")) << true;
        QTest::newRow("template, nothing open") << insertPage(templateFolder()) << false;
    }

    void failedFirstRedoLeavesNoStep()
    {
        QFETCH(PageCommandMaker, maker);
        QFETCH(bool, configOpen);
        DashConfig config;
        if (configOpen)
            QVERIFY(config.load(twoPages().writeTempZip()));
        const QByteArray before = ConfigSnapshot::of(config);
        QUndoStack stack;
        int created = -2;
        stack.push(maker.make(config, &created));
        QCOMPARE(created, -1);
        QCOMPARE(stack.count(), 0);
        QCOMPARE(ConfigSnapshot::of(config), before);
    }
};

KORV_GUI_TEST_MAIN(PageCommandsTest)
#include "tst_pagecommands.moc"
