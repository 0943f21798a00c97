#include "artwork/BoxStyleRenderer.h"
#include "panels/BoxStyleDialog.h"
#include "panels/WidgetSizePresets.h"
#include "support/PixelProbe.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

namespace {

BoxStyleRecord recordWithStyle(const QString& id)
{
    BoxStyleRecord record;
    record.styleId = id;
    return record;
}

QWidget* colorRow(QDialog& dialog, const QString& label)
{
    for (QLabel* l : dialog.findChildren<QLabel*>())
        if (l->text() == label)
            return l->parentWidget();
    return nullptr;
}

QToolButton* swatch(QDialog& dialog, const QString& row, const QString& name)
{
    for (QToolButton* b : colorRow(dialog, row)->findChildren<QToolButton*>())
        if (b->toolTip() == name)
            return b;
    return nullptr;
}

QPushButton* button(QWidget* parent, const QString& text)
{
    for (QPushButton* b : parent->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// The indicator's centre pixel; invalid while it shows nothing.
QColor indicatorColour(QDialog& dialog, const char* name)
{
    const QPixmap pixmap = dialog.findChild<QLabel*>(QLatin1String(name))->pixmap();
    return pixmap.isNull() ? QColor() : pixmap.toImage().pixelColor(11, 11);
}

void clickOk(QDialog& dialog)
{
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

// The smallest rectangle holding every pixel that is not the backdrop.
QRect drawnArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != QColor(8, 12, 20))
                area |= QRect(x, y, 1, 1);
    return area;
}

} // namespace

class BoxStyleDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void presetTables_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QList<QSize>>("sizes");

        const QStringList five{"Small", "Medium", "Large", "Wide", "Tall"};
        const QList<QSize> pdm{{240, 90}, {270, 90}, {300, 90}, {540, 90}, {200, 270}};
        const QList<QSize> mxg{{64, 46}, {180, 76}, {252, 82}, {280, 130}, {136, 130}};
        QTest::newRow("PDM08") << "PDM08" << "pdm" << five << pdm;
        QTest::newRow("pdm") << "pdm" << "pdm" << five << pdm;
        QTest::newRow("Solo2DL") << "Solo2DL" << "solo2dl" << QStringList{"Small", "Medium", "Wide", "Tall"}
                                 << QList<QSize>{{60, 40}, {100, 56}, {160, 56}, {80, 90}};
        QTest::newRow("solo2dl_x") << "solo2dl_x" << "mxg_mxs" << five << mxg;
        QTest::newRow("fsw") << "fsw" << "mxg_mxs" << five << mxg;
        QTest::newRow("mxg_12") << "mxg_12" << "mxg_mxs" << five << mxg;
        QTest::newRow("empty") << "" << "mxg_mxs" << five << mxg;
    }

    void presetTables()
    {
        QFETCH(QString, folder);
        QFETCH(QString, key);
        QFETCH(QStringList, labels);
        QFETCH(QList<QSize>, sizes);
        QCOMPARE(WidgetSizePresets::familyKey(folder), key);
        QStringList gotLabels;
        QList<QSize> gotSizes;
        for (const WidgetSizePreset& preset : WidgetSizePresets::presetsFor(folder)) {
            gotLabels << preset.label;
            gotSizes << preset.size;
        }
        QCOMPARE(gotLabels, labels);
        QCOMPARE(gotSizes, sizes);
    }

    void thumbnailBoxSize_data()
    {
        QTest::addColumn<QSize>("mask");
        QTest::addColumn<QSize>("box");
        QTest::newRow("no size") << QSize(0, 0) << QSize(116, 66);
        QTest::newRow("negative") << QSize(-5, 40) << QSize(116, 66);
        QTest::newRow("square, below 116/66") << QSize(100, 100) << QSize(66, 66);
        QTest::newRow("exactly 116/66") << QSize(232, 132) << QSize(116, 66);
        QTest::newRow("wide, above 116/66") << QSize(300, 100) << QSize(116, 38);
        QTest::newRow("very wide: height floor") << QSize(1000, 10) << QSize(116, 16);
        QTest::newRow("very tall: width floor") << QSize(10, 1000) << QSize(24, 66);
    }

    void thumbnailBoxSize()
    {
        QFETCH(QSize, mask);
        QFETCH(QSize, box);
        QCOMPARE(BoxStyleDialog::thumbnailBoxSize(mask), box);
    }

    void sizeCombo_data()
    {
        QTest::addColumn<QSize>("mask");
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("index");
        QTest::addColumn<QSize>("chosen");
        QTest::newRow("sized, keep") << QSize(200, 80) << "Keep current size (200 x 80)" << 0 << QSize();
        QTest::newRow("unsized, keep") << QSize(0, 0) << "Keep current size" << 0 << QSize();
        QTest::newRow("half sized, keep") << QSize(200, 0) << "Keep current size" << 0 << QSize();
        QTest::newRow("Large") << QSize(200, 80) << "Keep current size (200 x 80)" << 3 << QSize(252, 82);
    }

    void sizeCombo()
    {
        QFETCH(QSize, mask);
        QFETCH(QString, first);
        QFETCH(int, index);
        QFETCH(QSize, chosen);
        BoxStyleDialog dialog(mask, recordWithStyle(QStringLiteral("panel_dark")), QStringLiteral("mxg_12"), 0);
        auto* combo = dialog.findChild<QComboBox*>();
        QCOMPARE(combo->count(), 6);
        QCOMPARE(combo->itemText(0), first);
        QCOMPARE(combo->itemText(3), QStringLiteral("Large  (252 x 82)"));
        QCOMPARE(combo->currentIndex(), 0);
        combo->setCurrentIndex(index);
        clickOk(dialog);
        QCOMPARE(dialog.chosenSize(), chosen);
        QCOMPARE(dialog.chosenSize().isValid(), index != 0);
        QCOMPARE(dialog.styleId(), QStringLiteral("panel_dark"));
    }

    void currentStyleAndBorder_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("borderEnabled");
        QTest::newRow("missing id") << "no_such_style" << "clean" << false;
        QTest::newRow("empty id") << "" << "clean" << false;
        QTest::newRow("outline") << "panel_outline" << "panel_outline" << true;
        QTest::newRow("fill only") << "panel_dark" << "panel_dark" << false;
        QTest::newRow("accent border") << "color_border" << "color_border" << true;
    }

    void currentStyleAndBorder()
    {
        QFETCH(QString, current);
        QFETCH(QString, shown);
        QFETCH(bool, borderEnabled);
        BoxStyleDialog dialog(QSize(180, 76), recordWithStyle(current), QString(), 0);
        auto* list = dialog.findChild<QListWidget*>();
        auto* border = dialog.findChild<QSpinBox*>();
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), shown);
        QCOMPARE(border->isEnabled(), borderEnabled);
        QCOMPARE(border->text(), QStringLiteral("Auto"));

        // The spin box follows the style the user picks.
        for (int row = 0; row < list->count(); ++row) {
            list->setCurrentRow(row);
            const QString id = list->currentItem()->data(Qt::UserRole).toString();
            QCOMPARE(border->isEnabled(), id == QLatin1String("panel_outline") || id == QLatin1String("double_frame")
                                              || id == QLatin1String("warn_red") || id == QLatin1String("color_border"));
        }
    }

    void swatchesSetColours()
    {
        BoxStyleDialog dialog(QSize(180, 76), recordWithStyle(QStringLiteral("color_border")), QString(), 0);
        QVERIFY(!dialog.accentColor().isValid());
        QVERIFY(!indicatorColour(dialog, "accentIndicator").isValid());

        swatch(dialog, QStringLiteral("Color:"), QStringLiteral("Green"))->click();
        swatch(dialog, QStringLiteral("Text:"), QStringLiteral("Cyan"))->click();
        swatch(dialog, QStringLiteral("Pill:"), QStringLiteral("Grey"))->click();
        clickOk(dialog);
        QCOMPARE(dialog.accentColor(), QColor(0x00, 0xe0, 0x00));
        QCOMPARE(dialog.textColor(), QColor(0x00, 0xd7, 0xeb));
        QCOMPARE(dialog.pillColor(), QColor(0x8c, 0x94, 0xa0));
        QCOMPARE(indicatorColour(dialog, "accentIndicator"), QColor(0x00, 0xe0, 0x00));
        QCOMPARE(indicatorColour(dialog, "textIndicator"), QColor(0x00, 0xd7, 0xeb));
        QCOMPARE(indicatorColour(dialog, "pillIndicator"), QColor(0x8c, 0x94, 0xa0));
    }

    void customColours()
    {
        ScriptedAsker asker;
        BoxStyleDialog dialog(QSize(180, 76), recordWithStyle(QString()), QString(), 0xff102030);
        QCOMPARE(dialog.accentColor(), QColor(0x10, 0x20, 0x30));
        QCOMPARE(indicatorColour(dialog, "accentIndicator"), QColor(0x10, 0x20, 0x30));

        // Cancelled: the empty queue answers with an invalid colour.
        for (const QString& row : {QStringLiteral("Color:"), QStringLiteral("Text:"), QStringLiteral("Pill:")})
            button(colorRow(dialog, row), QStringLiteral("Custom..."))->click();
        QCOMPARE(dialog.accentColor(), QColor(0x10, 0x20, 0x30));
        QVERIFY(!dialog.textColor().isValid());
        QVERIFY(!dialog.pillColor().isValid());
        QCOMPARE(indicatorColour(dialog, "accentIndicator"), QColor(0x10, 0x20, 0x30));
        QVERIFY(!indicatorColour(dialog, "textIndicator").isValid());
        QVERIFY(!indicatorColour(dialog, "pillIndicator").isValid());

        asker.colors << QColor(1, 2, 3) << QColor(4, 5, 6) << QColor(7, 8, 9);
        for (const QString& row : {QStringLiteral("Color:"), QStringLiteral("Text:"), QStringLiteral("Pill:")})
            button(colorRow(dialog, row), QStringLiteral("Custom..."))->click();
        QCOMPARE(dialog.accentColor(), QColor(1, 2, 3));
        QCOMPARE(dialog.textColor(), QColor(4, 5, 6));
        QCOMPARE(dialog.pillColor(), QColor(7, 8, 9));
        QCOMPARE(indicatorColour(dialog, "pillIndicator"), QColor(7, 8, 9));

        QStringList titles;
        for (const ScriptedAsker::Asked& a : asker.asked)
            titles << a.title;
        QCOMPARE(titles, (QStringList{"Box accent colour", "Text colour", "Caption colour", "Box accent colour",
                                      "Text colour", "Caption colour"}));
    }

    void captionAndChannelName()
    {
        BoxStyleDialog dialog(QSize(180, 76), recordWithStyle(QStringLiteral("panel_outline")), QString(), 0);
        QPushButton* useName = button(&dialog, QStringLiteral("Use channel name"));
        QVERIFY(!useName->isEnabled());
        dialog.setCaption(QStringLiteral("OIL"), 3, QString());
        QVERIFY(!useName->isEnabled());
        useName->click();
        QCOMPARE(dialog.caption(), QStringLiteral("OIL"));

        dialog.setCaption(QStringLiteral("  OIL  "), 5, QStringLiteral("Water Temp"));
        QVERIFY(useName->isEnabled());
        QCOMPARE(dialog.caption(), QStringLiteral("OIL"));
        useName->click();
        clickOk(dialog);
        QCOMPARE(dialog.caption(), QStringLiteral("Water Temp"));
        QCOMPARE(dialog.borderWidth(), 5);
    }

    void dividers_data()
    {
        QTest::addColumn<int>("preset"); // -1: never preset, else available * 2 + checked
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("result");
        QTest::newRow("not preset") << -1 << false << false;
        QTest::newRow("available, checked") << 3 << true << true;
        QTest::newRow("available, unchecked") << 2 << true << false;
        QTest::newRow("unavailable") << 0 << false << false;
    }

    void dividers()
    {
        QFETCH(int, preset);
        QFETCH(bool, visible);
        QFETCH(bool, result);
        BoxStyleDialog dialog(QSize(180, 76), recordWithStyle(QStringLiteral("panel_dark")), QString(), 0);
        if (preset >= 0)
            dialog.setShowDividers(preset & 2, preset & 1);
        QCOMPARE(dialog.findChild<QCheckBox*>()->isVisibleTo(&dialog), visible);
        clickOk(dialog);
        QCOMPARE(dialog.showDividers(), result);
    }

    void previewOfAnUnsizedMask()
    {
        BoxStyleDialog dialog(QSize(0, 0), recordWithStyle(QStringLiteral("cut_corner")), QString(), 0);
        dialog.setTextColor(QColor(255, 0, 255));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* preview = dialog.findChild<QLabel*>(QStringLiteral("preview"));
        const QImage image = preview->pixmap().toImage();
        QCOMPARE(image.size(), preview->size());

        // The box is 180 x 76 scaled to the label, centred.
        const double scale = std::min({std::max(preview->height() - 24, 80) / 76.0,
                                       std::max(preview->width() - 24, 120) / 180.0, 2.0});
        const QSize shown(int(180 * scale), int(76 * scale));
        const QRect box((image.width() - shown.width()) / 2, (image.height() - shown.height()) / 2, shown.width(),
                        shown.height());
        // Where the renderer leaves its own edge pixels transparent, so does the preview.
        const QImage art = BoxStyleRenderer::render(shown, QStringLiteral("cut_corner"), QColor(90, 170, 255), 0,
                                                    QString(), QColor());
        QRect opaque;
        for (int y = 0; y < art.height(); ++y)
            for (int x = 0; x < art.width(); ++x)
                if (qAlpha(art.pixel(x, y)) != 0)
                    opaque |= QRect(x, y, 1, 1);
        QVERIFY(opaque.width() >= shown.width() - 1 && opaque.height() >= shown.height() - 1);
        QCOMPARE(drawnArea(image), opaque.translated(box.topLeft()));
        QVERIFY(PixelProbe::near(image.pixelColor(box.right() - 2, box.top() + 2), QColor(20, 25, 31)));

        // "888" in the chosen text colour at the box's centre.
        const QRect middle(box.center().x() - box.width() / 4, box.center().y() - box.height() / 4,
                           box.width() / 2, box.height() / 2);
        QVERIFY(PixelProbe::countNear(image, middle, QColor(255, 0, 255), 40) > 30);
        QCOMPARE(PixelProbe::countNear(image, box, Qt::white, 40), 0);
    }
};

KORV_TEST_MAIN(BoxStyleDialogTest)
#include "tst_boxstyledialog.moc"
