#include "panels/IconPreviewDialog.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kStandard = QStringLiteral("aim/resources/overlay/mxs/masks/set/standard");
const QString kArtwork = kStandard + QStringLiteral("/s01/Speed/Items/a/");

void addIcon(const Rs3Fixture& rs3, Rs3Fixture::Root root, const QString& set, const QString& name)
{
    QVERIFY(rs3.writeFile(root, kStandard + QLatin1Char('/') + set + QStringLiteral("/Icon/") + name, "BM"));
}

QStringList names(const QList<IconGraphic>& graphics)
{
    QStringList out;
    for (const IconGraphic& g : graphics)
        out << g.displayName;
    return out;
}

QPushButton* button(IconPreviewDialog& d, const QString& text)
{
    for (QAbstractButton* b : d.findChild<QDialogButtonBox*>()->buttons())
        if (b->text() == text)
            return qobject_cast<QPushButton*>(b);
    return nullptr;
}

} // namespace

class TestIconPreviewDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void collectsOncePerNameAndSkipsBlanks()
    {
        Rs3Fixture rs3;
        addIcon(rs3, Rs3Fixture::Stable, QStringLiteral("s01"), QStringLiteral("MXS_800x480_Oil_Press_on.bmp"));
        addIcon(rs3, Rs3Fixture::Stable, QStringLiteral("s01"), QStringLiteral("Fuel_ALL_BLACK_on.bmp"));
        addIcon(rs3, Rs3Fixture::Stable, QStringLiteral("s01"), QStringLiteral("No ChMath_on.bmp"));
        addIcon(rs3, Rs3Fixture::Stable, QStringLiteral("s01"), QStringLiteral("Lamp_off.bmp"));
        addIcon(rs3, Rs3Fixture::Stable, QStringLiteral("s02"), QStringLiteral("mxs_800x480_oil_press_ON.BMP"));
        addIcon(rs3, Rs3Fixture::Beta, QStringLiteral("s01"), QStringLiteral("Water_on.bmp"));
        addIcon(rs3, Rs3Fixture::Beta, QStringLiteral("S03"), QStringLiteral("MXS_800x480_Oil_Press_on.bmp"));
        const QList<IconGraphic> got = IconPreviewDialog::collectGraphics(kArtwork);
        QCOMPARE(names(got), (QStringList { QStringLiteral("Oil Press"), QStringLiteral("Water") }));
        QCOMPARE(got.first().storedPath, kStandard + QStringLiteral("/s01/Icon/MXS_800x480_Oil_Press_on.bmp"));
        QCOMPARE(got.first().filePath, rs3.absolutePath(Rs3Fixture::Stable, got.first().storedPath));
    }

    void capsTheList()
    {
        Rs3Fixture rs3;
        for (int i = 0; i < 401; ++i)
            addIcon(rs3, Rs3Fixture::Stable, QStringLiteral("s01"),
                QStringLiteral("i%1_on.bmp").arg(i, 3, 10, QLatin1Char('0')));
        QCOMPARE(IconPreviewDialog::collectGraphics(kArtwork).size(), 400);
    }

    void fallbackWalkReachesFirstSet_data()
    {
        QTest::addColumn<QString>("artwork");
        QTest::newRow("no standard set") << QStringLiteral("aim/resources/overlay/mxs/Items/x/");
        QTest::newRow("empty") << QString();
    }
    void fallbackWalkReachesFirstSet()
    {
        QFETCH(QString, artwork);
        Rs3Fixture rs3;
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, QStringLiteral("aim/resources/overlay/pdm/x/s02/Icon/A_on.bmp"), "BM"));
        QVERIFY(rs3.writeFile(Rs3Fixture::Beta, QStringLiteral("aim/resources/overlay/pdm/x/s01/icon/B_on.bmp"), "BM"));
        QCOMPARE(names(IconPreviewDialog::collectGraphics(artwork)), QStringList { QStringLiteral("B") });
    }

    void currentPreviewSelectedIgnoringCase()
    {
        Rs3Fixture rs3;
        addIcon(rs3, Rs3Fixture::Stable, QStringLiteral("s01"), QStringLiteral("A_on.bmp"));
        addIcon(rs3, Rs3Fixture::Stable, QStringLiteral("s01"), QStringLiteral("B_on.bmp"));
        IconPreviewDialog d(kArtwork, (kStandard + QStringLiteral("/s01/Icon/B_on.bmp")).toUpper());
        auto* list = d.findChild<QListWidget*>();
        QVERIFY(list->currentItem());
        QCOMPARE(list->currentItem()->text(), QStringLiteral("B"));
        button(d, QStringLiteral("Use as preview"))->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.chosenPath(), kStandard + QStringLiteral("/s01/Icon/B_on.bmp"));
        QVERIFY(!d.removed());
    }

    void buttonsWithoutChoice()
    {
        Rs3Fixture rs3;
        IconPreviewDialog d(kArtwork, QString());
        auto* list = d.findChild<QListWidget*>();
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->flags(), Qt::NoItemFlags);
        button(d, QStringLiteral("Use as preview"))->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(d.chosenPath().isEmpty());
        IconPreviewDialog r(kArtwork, QString());
        button(r, QStringLiteral("Remove preview"))->click();
        QCOMPARE(r.result(), int(QDialog::Accepted));
        QVERIFY(r.removed());
    }
};

KORV_TEST_MAIN(TestIconPreviewDialog)
#include "tst_iconpreviewdialog.moc"
