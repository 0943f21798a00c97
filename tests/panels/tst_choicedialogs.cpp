#include "panels/ColorChipRow.h"
#include "panels/MultiBoxDialog.h"
#include "panels/RefTimeBarDialog.h"
#include "panels/ValueBarDialog.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

void clickOk(QDialog& dialog)
{
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

QPushButton* buttonIn(QWidget* parent, const QString& text)
{
    for (QPushButton* b : parent->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

ColorChipRow* rowLabelled(QWidget* dialog, const QString& label)
{
    for (ColorChipRow* row : dialog->findChildren<ColorChipRow*>())
        for (QLabel* l : row->findChildren<QLabel*>())
            if (l->text() == label)
                return row;
    return nullptr;
}

QString chipStyle(const QString& name)
{
    return QStringLiteral("background:%1; border:1px solid #333;").arg(name);
}

} // namespace

class ChoiceDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultsOnImmediateAcceptance()
    {
        MultiBoxDialog multi(QStringLiteral("mxg_12"));
        clickOk(multi);
        QCOMPARE(multi.rows(), 2);
        QCOMPARE(multi.cols(), 2);
        QCOMPARE(multi.labelPlacement(), QStringLiteral("above"));

        ValueBarDialog bar;
        clickOk(bar);
        QCOMPARE(bar.minValue(), 0.0);
        QCOMPARE(bar.maxValue(), 100.0);
        QCOMPARE(bar.color(), QColor(QStringLiteral("#20ff00")));

        RefTimeBarDialog ref;
        clickOk(ref);
        QCOMPARE(ref.rangeSeconds(), 2.5);
        QCOMPARE(ref.slowerColor(), QColor(QStringLiteral("#ff0000")));
        QCOMPARE(ref.fasterColor(), QColor(QStringLiteral("#07ff00")));
    }

    void arrangementAndPlacementChoices()
    {
        MultiBoxDialog dialog{QString()};
        const QList<QComboBox*> combos = dialog.findChildren<QComboBox*>();
        QCOMPARE(combos.size(), 2);
        combos.at(0)->setCurrentText(QStringLiteral("3x2"));
        combos.at(1)->setCurrentText(QStringLiteral("left"));
        clickOk(dialog);
        QCOMPARE(dialog.rows(), 3);
        QCOMPARE(dialog.cols(), 2);
        QCOMPARE(dialog.labelPlacement(), QStringLiteral("left"));
    }

    void parseArrangement_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");

        // Each starts from 2 x 3; failing parts keep that.
        QTest::newRow("3x2") << "3x2" << 3 << 2;
        QTest::newRow("1x3") << "1x3" << 1 << 3;
        QTest::newRow("no x") << "32" << 2 << 3;
        QTest::newRow("two x") << "3x2x1" << 2 << 3;
        QTest::newRow("upper-case X") << "3X2" << 2 << 3;
        QTest::newRow("empty rows") << "x4" << 2 << 4;
        QTest::newRow("empty cols") << "4x" << 4 << 3;
        QTest::newRow("non-numeric") << "ax4" << 2 << 4;
        QTest::newRow("zero") << "0x0" << 2 << 3;
        QTest::newRow("negative") << "-1x5" << 2 << 5;
        QTest::newRow("empty") << "" << 2 << 3;
    }

    void parseArrangement()
    {
        QFETCH(QString, text);
        QFETCH(int, rows);
        QFETCH(int, cols);
        MultiBoxDialog dialog{QString()};
        dialog.parseArrangement(QStringLiteral("2x3"));
        dialog.parseArrangement(text);
        QCOMPARE(dialog.rows(), rows);
        QCOMPARE(dialog.cols(), cols);
    }

    void valueBarColours()
    {
        ScriptedAsker asker;
        ValueBarDialog dialog;
        ColorChipRow* row = dialog.findChild<ColorChipRow*>();

        buttonIn(&dialog, QStringLiteral("Magenta"))->click();
        QCOMPARE(dialog.color(), QColor(QStringLiteral("#ff00ff")));
        QCOMPARE(row->chip()->styleSheet(), chipStyle(QStringLiteral("#ff00ff")));

        buttonIn(&dialog, QStringLiteral("Custom\u2026"))->click(); // cancelled: empty queue
        QCOMPARE(dialog.color(), QColor(QStringLiteral("#ff00ff")));
        QCOMPARE(row->chip()->styleSheet(), chipStyle(QStringLiteral("#ff00ff")));

        asker.colors << QColor(0x12, 0x34, 0x56);
        buttonIn(&dialog, QStringLiteral("Custom\u2026"))->click();
        QCOMPARE(dialog.color(), QColor(0x12, 0x34, 0x56));
        QCOMPARE(row->chip()->styleSheet(), chipStyle(QStringLiteral("#123456")));
        QCOMPARE(asker.count(QStringLiteral("color")), 2);
        QCOMPARE(asker.asked.last().title, QStringLiteral("Bar color"));
    }

    void refTimeFasterDefaultAfterCustom()
    {
        ScriptedAsker asker;
        asker.colors << QColor(QStringLiteral("#abcdef"));
        RefTimeBarDialog dialog;
        ColorChipRow* faster = rowLabelled(&dialog, QStringLiteral("Faster / ahead:"));
        QVERIFY(faster);

        buttonIn(faster, QStringLiteral("Custom\u2026"))->click();
        QCOMPARE(asker.asked.last().title, QStringLiteral("Faster / ahead color"));
        QCOMPARE(dialog.fasterColor(), QColor(QStringLiteral("#abcdef")));

        buttonIn(faster, QStringLiteral("Custom\u2026"))->click(); // cancelled
        QCOMPARE(dialog.fasterColor(), QColor(QStringLiteral("#abcdef")));
        QCOMPARE(faster->chip()->styleSheet(), chipStyle(QStringLiteral("#abcdef")));

        buttonIn(faster, QStringLiteral("Default"))->click();
        QCOMPARE(dialog.fasterColor(), QColor(QStringLiteral("#07ff00")));
        QCOMPARE(faster->chip()->styleSheet(), chipStyle(QStringLiteral("#07ff00")));
        QCOMPARE(dialog.slowerColor(), QColor(QStringLiteral("#ff0000")));
    }

    void refTimeRangeFloor()
    {
        RefTimeBarDialog dialog;
        auto* spin = dialog.findChild<QDoubleSpinBox*>();
        spin->setValue(0.0);
        QCOMPARE(dialog.rangeSeconds(), 0.01);
        spin->setValue(0.3);
        spin->stepBy(-1);
        spin->stepBy(-1);
        QCOMPARE(dialog.rangeSeconds(), 0.01);
    }
};

KORV_TEST_MAIN(ChoiceDialogsTest)
#include "tst_choicedialogs.moc"
