#include "artwork/BarTemplateLibrary.h"
#include "panels/BarTemplateBrowser.h"
#include "support/PixelProbe.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kPickText = QStringLiteral("Pick a template to see details.");

QPushButton* okButton(BarTemplateBrowser& dialog)
{
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

QString detailsText(BarTemplateBrowser& dialog)
{
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->minimumHeight() == 54)
            return label->text();
    return QString();
}

QImage tile(const QString& id)
{
    const BarTemplate* tpl = BarTemplateLibrary::findById(id);
    return tpl ? BarTemplateBrowser::makeTemplateIcon(*tpl, QSize(220, 96)).toImage() : QImage();
}

QColor at(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

} // namespace

class BarTemplateBrowserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void selectTemplate_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("row");
        QTest::newRow("known") << "trim" << 6;
        QTest::newRow("unknown") << "no_such_bar" << 0;
        QTest::newRow("case differs") << "TRIM" << 0;
        QTest::newRow("empty") << "" << 0;
    }

    void selectTemplate()
    {
        QFETCH(QString, id);
        QFETCH(int, row);
        BarTemplateBrowser dialog;
        auto* list = dialog.findChild<QListWidget*>();
        QCOMPARE(list->count(), BarTemplateLibrary::catalogue().size());
        QCOMPARE(list->item(6)->data(Qt::UserRole).toString(), QStringLiteral("trim"));
        dialog.selectTemplate(id);
        QCOMPARE(list->currentRow(), row);
        QVERIFY(okButton(dialog)->isEnabled());
        QCOMPARE(okButton(dialog)->text(), QStringLiteral("Use this template"));
        QVERIFY(detailsText(dialog).startsWith(QStringLiteral("<b>") + list->item(row)->text()));
        QCOMPARE(dialog.chosenId(), QString());
    }

    void doubleClickAcceptsThatTile()
    {
        BarTemplateBrowser dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* list = dialog.findChild<QListWidget*>();
        QListWidgetItem* item = list->item(4);
        list->scrollToItem(item);
        QTRY_VERIFY(list->viewport()->rect().contains(list->visualItemRect(item)));
        const QPoint centre = list->visualItemRect(item).center();
        // A real double-click: the first click, then the second press that
        // arrives as a double-click.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(list->currentItem(), item);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.chosenId(), item->data(Qt::UserRole).toString());
        QVERIFY(!dialog.isVisible());
    }

    void noCurrentTile()
    {
        BarTemplateBrowser dialog;
        auto* list = dialog.findChild<QListWidget*>();
        QVERIFY(detailsText(dialog) != kPickText);
        list->setCurrentItem(nullptr);
        QVERIFY(!okButton(dialog)->isEnabled());
        QCOMPARE(detailsText(dialog), kPickText);
        dialog.onAccept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.chosenId(), QString());

        list->setCurrentRow(1);
        QVERIFY(okButton(dialog)->isEnabled());
        okButton(dialog)->click();
        QCOMPARE(dialog.chosenId(), list->item(1)->data(Qt::UserRole).toString());
    }

    void rpmTileFillsFromTheLeft()
    {
        // Track: x 12, 196 long, rows 40..55; the fill is trunc(0.78 x 196) = 152 long.
        const QImage image = tile(QStringLiteral("rpm_full"));
        const QColor red(QStringLiteral("#e64545"));
        QVERIFY(PixelProbe::near(at(image, 11, 48), QColor(QStringLiteral("#1f1f1f"))));
        QVERIFY(PixelProbe::near(at(image, 12, 48), red));
        QVERIFY(PixelProbe::near(at(image, 163, 48), red));
        QVERIFY(PixelProbe::near(at(image, 164, 48), QColor(QStringLiteral("#303030"))));
        QCOMPARE(PixelProbe::countNear(image, QRect(0, 48, 220, 1), red), 152);
    }

    void trimTileFillsFromTheCentreMark()
    {
        // The centre is 196 / 2 + 12 = 110; the fill is trunc(0.3 x 196) = 58 long.
        const QImage image = tile(QStringLiteral("trim"));
        const QColor green(QStringLiteral("#74c574"));
        const QColor mark(QStringLiteral("#cccccc"));
        QVERIFY(PixelProbe::near(at(image, 109, 48), QColor(QStringLiteral("#303030"))));
        QVERIFY(PixelProbe::near(at(image, 110, 48), mark));
        QVERIFY(PixelProbe::near(at(image, 111, 48), green));
        QVERIFY(PixelProbe::near(at(image, 167, 48), green));
        QVERIFY(PixelProbe::near(at(image, 168, 48), QColor(QStringLiteral("#303030"))));
        // The mark reaches 2 pixels beyond the track, one pixel wide.
        QVERIFY(PixelProbe::near(at(image, 110, 38), mark));
        QVERIFY(PixelProbe::near(at(image, 110, 58), mark));
        QVERIFY(PixelProbe::near(at(image, 109, 38), QColor(QStringLiteral("#1f1f1f"))));
        QVERIFY(PixelProbe::near(at(image, 111, 38), QColor(QStringLiteral("#1f1f1f"))));
    }
};

KORV_TEST_MAIN(BarTemplateBrowserTest)
#include "tst_bartemplatebrowser.moc"
