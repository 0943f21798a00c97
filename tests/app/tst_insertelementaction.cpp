#include "window/MainWindow.h"
#include "canvas/DashCanvas.h"
#include "check/ConfigCheck.h"
#include "model/XmlParams.h"
#include "panels/AddElementDialog.h"
#include "panels/BarTemplateBrowser.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QListWidget>
#include <QMessageBox>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

const QString kStandard = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/");
// The demo's pages all use this layout.
const QString kLayout = kStandard + QStringLiteral("s02/p01/");

enum StockArt { ValueDonor = 1, RingValueDonor = 2, IconArt = 4, DeltaBar = 8 };

void installStock(Rs3Fixture& rs3, int art)
{
    const auto item = [&rs3](const QString& rel, const FixtureElement& mask, const QSize& size) {
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, kStandard + rel, size));
        QVERIFY(rs3.addMaskItem(Rs3Fixture::Stable, kStandard + rel, mask.toXml(2)));
    };
    const auto axis = Fx::axis(QStringLiteral("00"), QStringLiteral("X"));
    FixtureElement value = Fx::mask("num", 0, 0, 100, 50).add(axis).add(Fx::digit("01", 0, 0, 100, 50, "00"));
    if (art & RingValueDonor)
        value.add(FixtureElement(QStringLiteral("Ring"), QStringLiteral("02")).p("AXIS_REF", "00"));
    if (art & (ValueDonor | RingValueDonor))
        item("s01/p01/Items/a_num", value, QSize(100, 50));
    item("s01/p01/Items/b_hbar",
         Fx::mask("hbar", 0, 0, 200, 40).add(axis).add(Fx::bargraph("01", 0, 0, 200, 40, "00", true)), QSize(200, 40));
    if (art & IconArt) {
        QVERIFY(rs3.writeFile(Rs3Fixture::Stable, kStandard + "s02/Icon/Icon_Black.bmp", "BM"));
        QVERIFY(rs3.addArtItem(Rs3Fixture::Stable, kStandard + "s02/p07/Items/md4/", QSize(44, 44)));
    }
    if (art & DeltaBar)
        QVERIFY(rs3.addDeltaBarItem(Rs3Fixture::Stable, kLayout + "items/md3/"));
}

} // namespace

// Edit > "Insert Element..." on a shown window opened on a copy of the demo
// configuration, with stock artwork in a fixture RS3 install.
class InsertElementActionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashConfig* config = nullptr;
    DashCanvas* canvas = nullptr;
    QUndoStack* stack = nullptr;

    QString status() const { return window->statusBar()->currentMessage(); }
    int maskCount() const { return int(config->pages[0].masks.size()); }

    void open(int art)
    {
        rs3 = std::make_unique<Rs3Fixture>();
        installStock(*rs3, art);
        asker = std::make_unique<ScriptedAsker>();
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        canvas = window->findChild<DashCanvas*>();
        config = canvas->config;
        stack = window->findChild<QUndoStack*>();
        QCOMPARE(window->currentPageIndex(), 0);
    }

    // Answers the insert dialog with the type and channel, a bar template
    // browser with the template (a cancel when empty), and accepts every
    // other dialog as it opens.
    void answer(const QString& type, const QString& channel, const QString& barTemplate = QString())
    {
        asker->onExec = [=](QDialog* dialog) {
            if (auto* add = qobject_cast<AddElementDialog*>(dialog)) {
                auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
                types->setCurrentItem(types->findItems(type, Qt::MatchExactly).value(0));
                auto* channels = add->findChild<QListWidget*>(QStringLiteral("channels"));
                const auto rows = channels->findItems(channel + QStringLiteral("  ("), Qt::MatchStartsWith);
                if (!channel.isEmpty() && !rows.isEmpty())
                    channels->setCurrentItem(rows.first());
                add->onAccept();
                return add->result();
            }
            if (auto* browser = qobject_cast<BarTemplateBrowser*>(dialog)) {
                if (barTemplate.isEmpty())
                    return int(QDialog::Rejected);
                browser->selectTemplate(barTemplate);
                browser->onAccept();
                return browser->result();
            }
            return int(QDialog::Accepted);
        };
    }

    // Two labels inserted, the second undone: one step on each side.
    void openWithARedoStep()
    {
        open(0);
        for (int i = 0; i < 2; ++i) {
            answer(QStringLiteral("Static label"), QString());
            window->insertElement();
        }
        stack->undo();
    }

private Q_SLOTS:
    void cleanup()
    {
        window.reset();
        asker.reset();
        rs3.reset();
    }

    void roads_data()
    {
        QTest::addColumn<int>("art");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("ring"); // the new mask carries the donor's Ring

        QTest::newRow("static label") << 0 << "Static label" << "" << "Added text box -- double-click in outliner to rename"
                                      << false;
        QTest::newRow("multi-value box") << 0 << "Multi-value box" << "" << "Inserted multi-value box (2x2)" << false;
        QTest::newRow("single value") << int(ValueDonor) << "Numeric value" << "RPM" << "Inserted value (RPM)" << false;
        QTest::newRow("value donor with a ring")
            << int(RingValueDonor) << "Numeric value" << "RPM" << "Inserted \"Numeric value\" -> RPM" << true;
        QTest::newRow("icon") << int(IconArt) << "Icon" << ""
                              << "Inserted icon — assign its graphic + trigger in RS3 Icons Manager" << false;
        QTest::newRow("ref time bar") << int(DeltaBar) << "+- Ref Time bar" << ""
                                      << "Inserted +- Ref Time delta bar (±2.50 s)" << false;
        QTest::newRow("bar, template browser cancelled")
            << 0 << "Horizontal bar" << "Speed" << "Inserted \"Horizontal bar\" -> Speed" << false;
    }

    // One insert per road: one undo step that selects the new mask, and its
    // undo gives back the XML as it was.
    void roads()
    {
        QFETCH(int, art);
        QFETCH(QString, type);
        QFETCH(QString, channel);
        QFETCH(QString, status);
        QFETCH(bool, ring);
        open(art);
        const QByteArray before = ConfigSnapshot::documents(*config);
        const int masks = maskCount();
        answer(type, channel);
        window->insertElement();
        QCOMPARE(this->status(), status);
        QCOMPARE(maskCount(), masks + 1);
        QCOMPARE(stack->count(), 1);
        QCOMPARE(canvas->selectedMask(), masks);
        const pugi::xml_node created = config->pages[0].masks.back().node;
        QCOMPARE(bool(created.find_child_by_attribute("e", "c", "Ring")), ring);
        stack->undo();
        QCOMPARE(maskCount(), masks);
        QCOMPARE(ConfigSnapshot::documents(*config), before);
    }

    void iconsStepDownAndRight()
    {
        open(IconArt);
        answer(QStringLiteral("Icon"), QString());
        for (const QPoint at : {QPoint(18, 18), QPoint(30, 30), QPoint(42, 42)}) {
            window->insertElement();
            const MaskElement& icon = config->pages[0].masks.back();
            QCOMPARE(QPoint(icon.x, icon.y), at);
        }
    }

    void missingStockTemplate_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("status");
        QTest::newRow("icon") << "Icon" << "RaceStudio 3 icon overlay for MXG 1.2 not found — cannot insert icon.";
        QTest::newRow("ref time bar") << "+- Ref Time bar"
                                      << "RaceStudio 3 +- Ref Time template for MXG 1.2 not found — cannot insert "
                                         "delta bar.";
    }

    // The failed insert leaves the history as it was: the step done before
    // stays done, the undone one can still be redone.
    void missingStockTemplate()
    {
        QFETCH(QString, type);
        QFETCH(QString, status);
        openWithARedoStep();
        const QByteArray before = ConfigSnapshot::documents(*config);
        answer(type, QString());
        window->insertElement();
        QCOMPARE(this->status(), status);
        QCOMPARE(stack->count(), 2);
        QCOMPARE(stack->index(), 1);
        QVERIFY(stack->canRedo());
        QCOMPARE(ConfigSnapshot::documents(*config), before);
    }

    // A record store the insert needs cannot be read: the insert says why,
    // naming the file, and leaves the file, the history and the document as
    // they were.
    void unreadableStoreSaysWhy_data()
    {
        QTest::addColumn<int>("art");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("channel");
        QTest::newRow("numeric value") << int(ValueDonor) << "Numeric value" << "RPM";
        QTest::newRow("multi-value box") << 0 << "Multi-value box" << "";
    }
    void unreadableStoreSaysWhy()
    {
        QFETCH(int, art);
        QFETCH(QString, type);
        QFETCH(QString, channel);
        open(art);
        const QString store = config->multiBoxSidecarPath();
        const QByteArray broken("{\"masks\": {,}}");
        QVERIFY(TestFiles::writeBytes(store, broken));
        const QByteArray before = ConfigSnapshot::documents(*config);
        answer(type, channel);
        window->insertElement();
        const QString failed =
            QStringLiteral("Insert failed \u2014 %1 cannot be read (").arg(QDir::toNativeSeparators(store));
        QVERIFY2(status().startsWith(failed), qPrintable(status()));
        QCOMPARE(asker->asked.last().title, QStringLiteral("Insert Element"));
        QCOMPARE(asker->asked.last().text, status());
        QCOMPARE(stack->count(), 0);
        QCOMPARE(ConfigSnapshot::documents(*config), before);
        QCOMPARE(TestFiles::readBytes(store), broken);
    }

    // With a step on the redo side, a working insert is tried first, then
    // pushed: it replaces the redo side as usual and undoes exactly.
    void insertOverARedoSide()
    {
        openWithARedoStep();
        const QByteArray before = ConfigSnapshot::documents(*config);
        const size_t masks = config->pages[0].masks.size();
        answer(QStringLiteral("Static label"), QString());
        window->insertElement();
        QCOMPARE(stack->count(), 2);
        QCOMPARE(stack->index(), 2);
        QCOMPARE(config->pages[0].masks.size(), masks + 1);
        stack->undo();
        QCOMPARE(ConfigSnapshot::documents(*config), before);
    }

    // The template is part of the insert: undo then redo brings the
    // templated bar back exactly.
    void templatedBarSurvivesUndoRedo()
    {
        open(0);
        const QByteArray before = ConfigSnapshot::documents(*config);
        answer(QStringLiteral("Horizontal bar"), QStringLiteral("RPM"), QStringLiteral("rpm_full"));
        window->insertElement();
        QCOMPARE(stack->count(), 1);
        const QByteArray inserted = ConfigSnapshot::documents(*config);
        const pugi::xml_node bar = config->pages[0].masks.back().node.find_child_by_attribute("e", "c",
                                                                                              "BargraphTrapezio");
        QVERIFY(bar.find_child_by_attribute("e", "c", "ScaleFSV"));
        stack->undo();
        QCOMPARE(ConfigSnapshot::documents(*config), before);
        stack->redo();
        QCOMPARE(ConfigSnapshot::documents(*config), inserted);
    }

    // The page lies in s02/p01; s01/p01 has a bar as well (first by name).
    // A bar of the page's own set is the donor; a bar only another set has
    // is asked about first, and the check finds exactly what was said.
    void barDonorFromThePagesOwnSet_data()
    {
        QTest::addColumn<bool>("ownBar");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("inserted");
        QTest::newRow("own set has one") << true << int(QMessageBox::No) << true;
        QTest::newRow("only another set, declined") << false << int(QMessageBox::No) << false;
        QTest::newRow("only another set, accepted") << false << int(QMessageBox::Yes) << true;
    }
    void barDonorFromThePagesOwnSet()
    {
        QFETCH(bool, ownBar);
        QFETCH(int, button);
        QFETCH(bool, inserted);
        open(0);
        const auto axis = Fx::axis(QStringLiteral("00"), QStringLiteral("X"));
        const QString own = kLayout + (ownBar ? "Items/c_hbar/" : "Items/c_label/");
        const FixtureElement ownMask = ownBar
            ? Fx::mask("hbar", 0, 0, 240, 40).add(axis).add(Fx::bargraph("01", 0, 0, 240, 40, "00"))
            : Fx::mask("lbl", 0, 0, 100, 30).add(Fx::label("01", "Text", 0, 0, 100, 30));
        QVERIFY(rs3->addArtItem(Rs3Fixture::Stable, own, ownBar ? QSize(240, 40) : QSize(100, 30)));
        QVERIFY(rs3->addMaskItem(Rs3Fixture::Stable, own, ownMask.toXml(2)));
        asker->buttons << QMessageBox::StandardButton(button);
        const int masks = maskCount();
        answer(QStringLiteral("Horizontal bar"), QStringLiteral("RPM"));
        window->insertElement();

        QCOMPARE(asker->count(QStringLiteral("message")), ownBar ? 0 : 1);
        if (!ownBar) {
            const auto question = std::find_if(asker->asked.begin(), asker->asked.end(),
                                               [](const ScriptedAsker::Asked& a) { return a.kind == "message"; });
            QCOMPARE(question->title, QStringLiteral("Insert Element"));
            const QString text = question->text;
            QVERIFY(text.contains(QStringLiteral("from another page set (s01/p01). This page's own set (s02/p01) has no item")));
            QVERIFY(text.contains(QStringLiteral("crashes on startup")));
        }
        QCOMPARE(maskCount(), masks + (inserted ? 1 : 0));
        QCOMPARE(stack->count(), inserted ? 1 : 0);
        if (!inserted)
            return;
        const MaskElement& bar = config->pages[0].masks.back();
        QCOMPARE(ConfigCheck::paramText(bar.node, "PATH_REL_AiM_MASK"),
                 ownBar ? own : kStandard + QStringLiteral("s01/p01/Items/b_hbar/"));
        int crossSet = 0;
        for (const ConfigFinding& finding : ConfigCheck::checkConfig(*config))
            crossSet += finding.code == QLatin1String("cross-set") && finding.elementId == bar.id;
        QCOMPARE(crossSet, ownBar ? 0 : 1);
    }

    void nothingOpen()
    {
        asker = std::make_unique<ScriptedAsker>();
        window = std::make_unique<MainWindow>();
        window->insertElement();
        QCOMPARE(asker->asked.size(), 1);
        QCOMPARE(asker->asked[0].title, QStringLiteral("Insert Element"));
        QCOMPARE(asker->asked[0].text, QStringLiteral("Open a .zconf2 file first."));
    }
};

KORV_TEST_MAIN(InsertElementActionTest)
#include "tst_insertelementaction.moc"
