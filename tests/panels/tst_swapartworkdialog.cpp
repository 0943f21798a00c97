#include "panels/ElementCatalog.h"
#include "panels/SwapArtworkDialog.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextDocument>
#include <QtTest>
#include <memory>

namespace {

QString itemRel(const QString& device, const QString& page, const QString& item)
{
    return QStringLiteral("aim/resources/overlay/%1/masks/set/standard/s01/%2/Items/%3/").arg(device, page, item);
}

QPushButton* swapButton(SwapArtworkDialog& d)
{
    return d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

QString labelText(SwapArtworkDialog& d)
{
    QTextDocument doc;
    doc.setHtml(d.findChild<QLabel*>()->text());
    return doc.toPlainText();
}

// Item texts sorted (the catalog's order is the file system's walk order),
// bold ones marked with a "*".
QStringList listed(SwapArtworkDialog& d)
{
    QStringList texts;
    auto* list = d.findChild<QListWidget*>();
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text() + (list->item(i)->font().weight() == QFont::Bold ? "*" : "");
    texts.sort();
    return texts;
}

QListWidgetItem* itemNamed(SwapArtworkDialog& d, const QString& text)
{
    const QList<QListWidgetItem*> found = d.findChild<QListWidget*>()->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

class SwapArtworkDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> m_rs3;

private Q_SLOTS:
    void initTestCase()
    {
        using R = Rs3Fixture;
        m_rs3 = std::make_unique<Rs3Fixture>();
        ElementCatalog::resetForTesting();
        const QList<QPair<QString, QStringList>> items = {
            {itemRel("mxg_12", "Race", "d1"), {"Digit"}},
            {itemRel("mxg_12", "Race", "d2"), {"Digit"}},
            {itemRel("mxg_12", "Race", "r1"), {"Ring"}},
            {itemRel("mxg_12", "Laps", "d9"), {"Digit"}},
            {itemRel("mxg_12", "Solo", "only"), {"Digit"}},
            {itemRel("mxg_12", "Solo", "ring"), {"Ring"}},
            {itemRel("pdm08/dash1", "Main", "a"), {"Digit"}},
            {itemRel("pdm08/dash1", "Main", "b"), {"Digit"}},
            {itemRel("pdm08/dash2", "Main", "c"), {"Digit"}},
        };
        for (const auto& item : items)
            QVERIFY(m_rs3->addNativeElement(R::Stable, item.first, item.second, {200, 100}));
        QVERIFY(m_rs3->addNativeElement(R::Stable, itemRel("mxg_12", "Race", "d3"), {"Digit"}, {200, 100},
                                        {"scala_rpm_ON_8.png", "scala_rpm_ON_9.png"}));
        QCOMPARE(ElementCatalog::rebuild(), 10);
        ElementCatalog::resetForTesting(); // the dialog loads the saved index
    }

    void cleanupTestCase() { m_rs3.reset(); }

    void alternatives_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("pageSet");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("swapEnabled");

        const QString race = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/Race/");
        QTest::newRow("backslashes, no final slash")
            << QString(race + "Items/d1").replace('/', '\\') << "Race"
            << QStringList{"d1 (current)*", "d2", "d3"} << false;
        QTest::newRow("ITEMS marks the set") << race + "ITEMS/d2/" << "Race" << QStringList{"d1", "d2", "d3"} << false;
        QTest::newRow("item differs in case") << race + "Items/D1/" << "Race" << QStringList{"d1", "d2", "d3"} << false;
        QTest::newRow("other kind") << race + "Items/r1/" << "Race" << QStringList{"r1 (current)*"} << false;
        QTest::newRow("lone item") << itemRel("mxg_12", "Solo", "only") << "Solo" << QStringList{"only (current)*"} << false;
        QTest::newRow("own dash only") << itemRel("pdm08/dash1", "Main", "b") << "Main" << QStringList{"a", "b (current)*"}
                                       << false;
        QTest::newRow("not in the catalog") << race + "Items/zz/" << "Race" << QStringList{} << false;
        QTest::newRow("no Items") << "aim/resources/overlay/mxg_12/masks/set/d1/" << "" << QStringList{} << false;
        QTest::newRow("Items first") << "Items/d1/" << "" << QStringList{} << false;
        QTest::newRow("no masks") << "aim/resources/overlay/mxg_12/Race/Items/d1/" << "Race" << QStringList{} << false;
    }

    void alternatives()
    {
        QFETCH(QString, folder);
        QFETCH(QString, pageSet);
        QFETCH(QStringList, items);
        QFETCH(bool, swapEnabled);
        SwapArtworkDialog dialog(folder);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Swap artwork"));
        QCOMPARE(dialog.pageSet(), pageSet);
        QCOMPARE(listed(dialog), items);
        QCOMPARE(swapButton(dialog)->text(), QStringLiteral("Swap"));
        QCOMPARE(swapButton(dialog)->isEnabled(), swapEnabled);
        const QString shownSet = pageSet.isEmpty() ? QStringLiteral("(unknown)") : pageSet;
        if (items.isEmpty())
            QVERIFY(labelText(dialog).startsWith(
                QStringLiteral("No alternatives in this page set.\nThe artwork for this element comes from %1. ").arg(shownSet)));
        else
            QVERIFY(labelText(dialog).contains(QStringLiteral("Alternatives come from %1, this element's own page set").arg(shownSet)));
    }

    void folderDifferingInCaseCanBeChosen()
    {
        const QString race = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/Race/");
        SwapArtworkDialog dialog(race + "Items/D1/");
        dialog.findChild<QListWidget*>()->setCurrentItem(itemNamed(dialog, "d1"));
        QVERIFY(swapButton(dialog)->isEnabled());
        swapButton(dialog)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.chosenFolder(), race + "Items/d1/");
    }

    void toolTip()
    {
        SwapArtworkDialog dialog(itemRel("mxg_12", "Race", "d1"));
        QCOMPARE(itemNamed(dialog, "d3")->toolTip(),
                 QStringLiteral("d3 — 200x100\n2 scale frame(s)\n") + itemRel("mxg_12", "Race", "d3"));
        QCOMPARE(itemNamed(dialog, "d1 (current)")->toolTip(), QStringLiteral("d1 — 200x100\n") + itemRel("mxg_12", "Race", "d1"));
        QVERIFY(!itemNamed(dialog, "d2")->icon().isNull());
    }

    void doubleClick()
    {
        SwapArtworkDialog dialog(itemRel("mxg_12", "Race", "d1"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* list = dialog.findChild<QListWidget*>();
        const auto doubleClickOn = [list](QListWidgetItem* item) {
            const QPoint centre = list->visualItemRect(item).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        };

        doubleClickOn(itemNamed(dialog, "d1 (current)"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.chosenFolder(), QString());

        doubleClickOn(itemNamed(dialog, "d2"));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.chosenFolder(), itemRel("mxg_12", "Race", "d2"));
    }

    void cancelChoosesNothing()
    {
        SwapArtworkDialog dialog(itemRel("mxg_12", "Race", "d1"));
        dialog.findChild<QListWidget*>()->setCurrentItem(itemNamed(dialog, "d2"));
        QVERIFY(swapButton(dialog)->isEnabled());
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.chosenFolder(), QString());
    }

    void pageSetShownLiterally()
    {
        SwapArtworkDialog dialog(QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/<i>A&B/Items/d1/"));
        QCOMPARE(dialog.pageSet(), QStringLiteral("<i>A&B"));
        QVERIFY(labelText(dialog).contains(QStringLiteral("comes from <i>A&B. Either")));
    }
};

KORV_TEST_MAIN(SwapArtworkDialogTest)
#include "tst_swapartworkdialog.moc"
