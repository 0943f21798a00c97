#include "panels/ElementCatalog.h"
#include "panels/ElementLibraryDialog.h"
#include "panels/ElementThumbnail.h"
#include "panels/ElementThumbnailCache.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

QString itemRel(const QString& device, const QString& page, const QString& item)
{
    return QStringLiteral("aim/resources/overlay/%1/masks/set/standard/s01/%2/Items/%3/").arg(device, page, item);
}

QComboBox* deviceCombo(ElementLibraryDialog& d)
{
    for (QComboBox* c : d.findChildren<QComboBox*>())
        if (c->itemText(0) != QLatin1String("All types"))
            return c;
    return nullptr;
}

QComboBox* typeCombo(ElementLibraryDialog& d)
{
    for (QComboBox* c : d.findChildren<QComboBox*>())
        if (c->itemText(0) == QLatin1String("All types"))
            return c;
    return nullptr;
}

QPushButton* refreshButton(ElementLibraryDialog& d)
{
    for (QPushButton* b : d.findChildren<QPushButton*>())
        if (b->text() == QLatin1String("Refresh index"))
            return b;
    return nullptr;
}

QLabel* statusLabel(ElementLibraryDialog& d)
{
    for (QLabel* l : d.findChildren<QLabel*>())
        if (l->wordWrap())
            return l;
    return nullptr;
}

QStringList comboTexts(QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// "page/item" of every grid item, sorted: the walk order is the file system's.
QStringList shown(ElementLibraryDialog& d)
{
    QStringList names;
    auto* grid = d.findChild<QListWidget*>();
    for (int i = 0; i < grid->count(); ++i)
        names << grid->item(i)->text().section(QLatin1Char('\n'), 0, 0);
    names.sort();
    return names;
}

QString toolTipOf(ElementLibraryDialog& d, const QString& pageItem)
{
    auto* grid = d.findChild<QListWidget*>();
    for (int i = 0; i < grid->count(); ++i)
        if (grid->item(i)->text().startsWith(pageItem + QLatin1Char('\n')))
            return grid->item(i)->toolTip();
    return QString();
}

void chooseDevice(ElementLibraryDialog& d, const QString& text)
{
    QComboBox* combo = deviceCombo(d);
    combo->setCurrentIndex(combo->findText(text));
}

// Counts progress dialogs shown: each scan shows one.
class ProgressCounter : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show && qobject_cast<QProgressDialog*>(o))
            ++shown;
        return false;
    }
};

const QString kAll = QStringLiteral("All devices");
const QString kSame800 = QStringLiteral("Same screen size — 800x480 (fsw, mxs_12, mxs_12 strada)");
const QString kFsw = QStringLiteral("fsw  (not installed)");

} // namespace

class ElementLibraryDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Rs3Fixture> m_rs3;

private Q_SLOTS:
    void init()
    {
        using R = Rs3Fixture;
        m_rs3 = std::make_unique<Rs3Fixture>();
        ElementCatalog::resetForTesting();
        QFile::remove(ElementCatalog::catalogPath());
        // Scale frames: two name the same 300 kmh scale.
        QVERIFY(m_rs3->addNativeElement(R::Stable, itemRel("mxs_12", "Race", "rpm"), {"Ring", "Digit"}, {200, 200},
                                        {"scala_kmh_ON_300.png", "scala_rpm_ON_8.png", "scala_vel_kmh_ON_300.png"}));
        QVERIFY(m_rs3->addNativeElement(R::Stable, itemRel("mxs_12", "Race", "trap"), {"BargraphTrapezio"}, {300, 40}));
        QVERIFY(m_rs3->addNativeElement(R::Stable, itemRel("mxs_12 strada", "Race", "lap"), {"Digit"}, {120, 60}));
        QVERIFY(m_rs3->addNativeElement(R::Stable, itemRel("mxt", "Road", "speed"), {"Digit"}, {160, 80}));
        // Only in the beta install, which lies beside the stable one.
        QVERIFY(m_rs3->addNativeElement(R::Beta, itemRel("fsw", "Wheel", "gear"), {"AiM_Icona"}, {64, 64}));
    }

    void cleanup()
    {
        m_rs3.reset();
        ElementCatalog::resetForTesting();
    }

    void deviceEntries_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("head"); // the entries above the device list

        QTest::newRow("config and same size") << "mxs_12" << QSize(800, 480) << "AIM Element Library — mxs_12"
                                              << QStringList{"This config (mxs_12)", kSame800, kAll};
        QTest::newRow("size from the table") << "mxs_12" << QSize() << "AIM Element Library — mxs_12"
                                             << QStringList{"This config (mxs_12)", kSame800, kAll};
        QTest::newRow("page size wins") << "mxt" << QSize(800, 480) << "AIM Element Library — mxt"
                                        << QStringList{"This config (mxt)", kSame800, kAll};
        QTest::newRow("one device of that size") << "mxt" << QSize() << "AIM Element Library — mxt"
                                                 << QStringList{"This config (mxt)", kAll};
        QTest::newRow("unknown size") << "mxp4" << QSize(0, 0) << "AIM Element Library — mxp4"
                                      << QStringList{"This config (mxp4)", kAll};
        QTest::newRow("dash folder") << "pdm/dash1" << QSize() << "AIM Element Library — pdm/dash1"
                                     << QStringList{"This config (pdm/dash1)", kAll};
        QTest::newRow("no device") << "" << QSize(800, 480) << "AIM Element Library" << QStringList{kAll};
    }

    void deviceEntries()
    {
        QFETCH(QString, device);
        QFETCH(QSize, size);
        QFETCH(QString, title);
        QFETCH(QStringList, head);
        QCOMPARE(ElementCatalog::rebuild(), 5);
        ElementCatalog::resetForTesting(); // the dialog loads the saved index

        ElementLibraryDialog dialog(device, size);
        QCOMPARE(dialog.windowTitle(), title);
        QCOMPARE(comboTexts(deviceCombo(dialog)),
                 head + QStringList({QString(), kFsw, "mxs_12", "mxs_12 strada", "mxt"}));
        QCOMPARE(deviceCombo(dialog)->currentText(), kAll);
        QCOMPARE(shown(dialog).size(), 5);
        QVERIFY(statusLabel(dialog)->text().startsWith(QStringLiteral("Showing 5 of 5 elements  ·  indexed ")));
    }

    void filters_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("one device, not its strada") << "mxs_12" << "All types" << "" << QStringList{"Race/rpm", "Race/trap"};
        QTest::newRow("this config") << "This config (mxs_12)" << "All types" << "" << QStringList{"Race/rpm", "Race/trap"};
        QTest::newRow("same screen") << kSame800 << "All types" << ""
                                     << QStringList{"Race/lap", "Race/rpm", "Race/trap", "Wheel/gear"};
        QTest::newRow("type") << kAll << "Digit boxes" << "" << QStringList{"Race/lap", "Road/speed"};
        QTest::newRow("page, any case") << kAll << "All types" << "  rACE " << QStringList{"Race/lap", "Race/rpm", "Race/trap"};
        QTest::newRow("item, any case") << kAll << "All types" << "SPEE" << QStringList{"Road/speed"};
        QTest::newRow("not the device") << kAll << "All types" << "mxt" << QStringList{};
        QTest::newRow("not the kind") << kAll << "All types" << "digit" << QStringList{};
        QTest::newRow("not the relPath") << kAll << "All types" << "Items" << QStringList{};
        QTest::newRow("all three") << "mxs_12" << "Bars" << "tra" << QStringList{"Race/trap"};
    }

    void filters()
    {
        QFETCH(QString, device);
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        ElementCatalog::rebuild();
        ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
        chooseDevice(dialog, device);
        typeCombo(dialog)->setCurrentIndex(typeCombo(dialog)->findText(type));
        dialog.findChild<QLineEdit*>()->setText(text);
        QCOMPARE(shown(dialog), expected);
        QCOMPARE(statusLabel(dialog)->text().section(QStringLiteral("  ·  "), 0, 0),
                 QStringLiteral("Showing %1 of 5 elements").arg(expected.size()));
    }

    void toolTips()
    {
        ElementCatalog::rebuild();
        const QString rpm = QStringLiteral("mxs_12\n%1\nRing gauge\nScales: 300 kmh, 8000 rpm").arg(itemRel("mxs_12", "Race", "rpm"));
        {
            ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
            QCOMPARE(toolTipOf(dialog, "Race/rpm"), rpm);
            QCOMPARE(toolTipOf(dialog, "Wheel/gear"),
                     QStringLiteral("fsw\n%1\nIcon\n\nFrom fsw: same screen size, so its artwork must be copied into a "
                                    "homebrew set for mxs_12 before use.\n\nNot installed: download the fsw device in "
                                    "RaceStudio3 before using this element.")
                         .arg(itemRel("fsw", "Wheel", "gear")));
            auto* grid = dialog.findChild<QListWidget*>();
            QVERIFY(!grid->item(0)->icon().isNull());
        }
        ElementLibraryDialog dialog(QStringLiteral("mxt"), QSize());
        QCOMPARE(toolTipOf(dialog, "Race/rpm"),
                 rpm + "\n\nFrom mxs_12: a different screen size to mxt — its artwork would need rescaling as well as copying.");
        QCOMPARE(toolTipOf(dialog, "Road/speed"), QStringLiteral("mxt\n%1\nDigit box").arg(itemRel("mxt", "Road", "speed")));
    }

    // A PDM's displays ship items of the same names at their own sizes: the
    // library lists both apart, "This config" on the 800-wide display offers
    // that display's items only, and its screen size is that display's.
    void displaysApart()
    {
        const QString rel = QStringLiteral("aim/resources/overlay/pdm/%1/masks/set/standard/s02/p01/Items/md1/");
        QVERIFY(m_rs3->addNativeElement(Rs3Fixture::Stable, rel.arg("dash1"), {"Digit"}, {400, 200}));
        QVERIFY(m_rs3->addNativeElement(Rs3Fixture::Stable, rel.arg("dash2"), {"Digit"}, {250, 120}));
        QCOMPARE(ElementCatalog::rebuild(), 7);
        ElementLibraryDialog dialog(QStringLiteral("pdm/dash2"), QSize());
        const QString same = QStringLiteral("Same screen size — 800x480 (fsw, mxs_12, mxs_12 strada, pdm/dash2)");
        QCOMPARE(comboTexts(deviceCombo(dialog)), (QStringList{"This config (pdm/dash2)", same, kAll, QString(), kFsw,
                                                               "mxs_12", "mxs_12 strada", "mxt", "pdm/dash1",
                                                               "pdm/dash2"}));
        chooseDevice(dialog, QStringLiteral("This config (pdm/dash2)"));
        auto* grid = dialog.findChild<QListWidget*>();
        QCOMPARE(grid->count(), 1);
        QCOMPARE(grid->item(0)->text(), QStringLiteral("p01/md1\nDigit box  250x120"));
        QCOMPARE(grid->item(0)->toolTip(), QStringLiteral("pdm/dash2\n%1\nDigit box").arg(rel.arg("dash2")));
        chooseDevice(dialog, QStringLiteral("pdm/dash1"));
        QCOMPARE(grid->count(), 1);
        QVERIFY(grid->item(0)->toolTip().endsWith(
            "From pdm/dash1: a different screen size to pdm/dash2 — its artwork would need rescaling as well as "
            "copying."));
    }

    void refreshKeepsTheChosenDevice()
    {
        ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
        QCOMPARE(shown(dialog), QStringList());
        QCOMPARE(statusLabel(dialog)->text(), QStringLiteral("No index yet. Press \"Refresh index\" to scan your "
                                                             "RaceStudio3 install for native gauges and bars."));
        QCOMPARE(comboTexts(deviceCombo(dialog)), (QStringList{"This config (mxs_12)", kAll, QString()}));

        refreshButton(dialog)->click();
        QCOMPARE(statusLabel(dialog)->text(), QStringLiteral("Indexed 5 elements from your RaceStudio3 install."));
        QCOMPARE(deviceCombo(dialog)->currentText(), kAll);
        chooseDevice(dialog, QStringLiteral("mxt"));
        QCOMPARE(shown(dialog), QStringList{"Road/speed"});

        QVERIFY(m_rs3->addNativeElement(Rs3Fixture::Stable, itemRel("mxt", "Road", "rpm"), {"Analog"}, {100, 100}));
        refreshButton(dialog)->click();
        QCOMPARE(deviceCombo(dialog)->currentText(), QStringLiteral("mxt"));
        QCOMPARE(shown(dialog), (QStringList{"Road/rpm", "Road/speed"}));

        // A chosen device that is gone falls back to the first entry.
        chooseDevice(dialog, kFsw);
        QVERIFY(QDir(m_rs3->root(Rs3Fixture::Beta)).removeRecursively());
        refreshButton(dialog)->click();
        QCOMPARE(deviceCombo(dialog)->currentText(), QStringLiteral("This config (mxs_12)"));
    }

    // A scan that finds nothing says where it looked: in an empty install
    // its overlay folders; without one, the folders set and where they are
    // set.
    void nothingIndexedSaysWhereItLooked_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("empty install") << true;
        QTest::newRow("no install") << false;
    }
    void nothingIndexedSaysWhereItLooked()
    {
        QFETCH(bool, installed);
        m_rs3.reset();
        Rs3Fixture empty;
        QString stable = empty.root(Rs3Fixture::Stable);
        QString beta = empty.root(Rs3Fixture::Beta);
        if (installed) {
            stable += QStringLiteral("/aim/resources/overlay");
            beta += QStringLiteral("/aim/resources/overlay");
        } else {
            QVERIFY(QDir(stable).removeRecursively());
            QVERIFY(QDir(beta).removeRecursively());
        }
        ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
        refreshButton(dialog)->click();
        const QString text = statusLabel(dialog)->text();
        QVERIFY2(text.startsWith(QStringLiteral("Indexed 0 elements from your RaceStudio3 install. ")), qPrintable(text));
        QVERIFY2(text.contains(QDir::toNativeSeparators(stable) + QStringLiteral(" or ") + QDir::toNativeSeparators(beta)),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Tools > Preferences")), qPrintable(text));
    }

    // An index found but not saved (a folder in the way of its file) says
    // so instead of "Indexed": the next start will not have it.
    void unsavedIndexSaysSo()
    {
        QVERIFY(QDir().mkpath(ElementCatalog::catalogPath() + "/in-the-way"));
        ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
        refreshButton(dialog)->click();
        QDir(ElementCatalog::catalogPath()).removeRecursively();
        const QString text = statusLabel(dialog)->text();
        QVERIFY2(text.startsWith("Indexed 5 elements for now; the index could not be saved for the next start: cannot "
                                 "write " + ElementCatalog::catalogPath() + ": "),
                 qPrintable(text));
        QCOMPARE(deviceCombo(dialog)->currentText(), kAll);
    }

    void busyDuringTheScan()
    {
        ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
        dialog.show();
        ProgressCounter counter;
        qApp->installEventFilter(&counter);
        bool buttonEnabled = true;
        bool stillOpen = false;
        QTimer::singleShot(0, &dialog, [&] {
            buttonEnabled = refreshButton(dialog)->isEnabled();
            refreshButton(dialog)->click();
            dialog.refreshIndex();
            dialog.reject();
            stillOpen = dialog.isVisible() && dialog.isBusy();
        });
        refreshButton(dialog)->click();
        qApp->removeEventFilter(&counter);

        QVERIFY(!buttonEnabled);
        QCOMPARE(counter.shown, 1);
        QVERIFY(stillOpen);
        // The close held back during the scan happens when it returns.
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isBusy());
        QVERIFY(refreshButton(dialog)->isEnabled());
        QCOMPARE(statusLabel(dialog)->text(), QStringLiteral("Indexed 5 elements from your RaceStudio3 install."));
    }
    // The grid looks the same whether its thumbnails were drawn, kept in
    // memory or read back from the files beside the catalog (the digest was
    // taken when every open drew them afresh, the elements in the name order
    // of their files).
    void gridKeepsItsPixels()
    {
        ElementCatalog::rebuild();
        for (int open = 0; open < 3; ++open) {
            if (open == 2)
                ElementThumbnailCache::clearMemory();
            ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
            dialog.resize(900, 640);
            dialog.show();
            chooseDevice(dialog, kAll);
            auto* grid = dialog.findChild<QListWidget*>();
            const QImage image = grid->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QByteArray digest
                = QCryptographicHash::hash(QByteArrayView(image.constBits(), image.sizeInBytes()), QCryptographicHash::Sha1)
                      .toHex()
                      .left(16);
            if (qEnvironmentVariableIntValue("KORV_PRINT_RENDER_DIGESTS"))
                qInfo("grid digest %s", digest.constData());
            QCOMPARE(digest, QByteArray("e0dcc8af81ba36cf"));
        }
    }

    // A scroll bar appearing keeps the layout a full one makes; a wider
    // window lays the items out again.
    void gridLayoutFollowsItsRoom()
    {
        ElementCatalog::rebuild();
        ElementLibraryDialog dialog(QStringLiteral("mxs_12"), QSize(800, 480));
        dialog.resize(420, 360);
        dialog.show();
        chooseDevice(dialog, kAll);
        QApplication::processEvents();
        auto* grid = dialog.findChild<QListWidget*>();
        QVERIFY(grid->verticalScrollBar()->isVisible());
        const auto rects = [grid] {
            QList<QRect> all;
            for (int i = 0; i < grid->count(); ++i)
                all << grid->visualItemRect(grid->item(i));
            return all;
        };
        const QList<QRect> shown = rects();
        const QImage image = grid->viewport()->grab().toImage();
        grid->doItemsLayout();
        QCOMPARE(rects(), shown);
        QCOMPARE(grid->viewport()->grab().toImage(), image);

        dialog.resize(1000, 640);
        QApplication::processEvents();
        QTRY_VERIFY(!grid->verticalScrollBar()->isVisible());
        QCOMPARE(grid->visualItemRect(grid->item(grid->count() - 1)).top(), shown.first().top());
    }

    // A changed source draws the thumbnail again, in memory and on disk.
    void thumbnailFollowsItsSource()
    {
        ElementCatalog::rebuild();
        const auto iconOf = [](ElementLibraryDialog& dialog) {
            auto* grid = dialog.findChild<QListWidget*>();
            for (int i = 0; i < grid->count(); ++i) {
                if (grid->item(i)->text().startsWith(QStringLiteral("Road/speed\n")))
                    return grid->item(i)->icon().pixmap(116, 116).toImage().convertToFormat(QImage::Format_RGB32);
            }
            return QImage();
        };
        const auto drawn = [] {
            for (const ElementCatalogEntry& entry : ElementCatalog::entries()) {
                if (entry.item == QLatin1String("speed"))
                    return renderElementThumbnail(entry, 116).toImage().convertToFormat(QImage::Format_RGB32);
            }
            return QImage();
        };
        {
            ElementLibraryDialog dialog(QStringLiteral("mxt"), QSize());
            QCOMPARE(iconOf(dialog), drawn());
        }
        QImage green(200, 50, QImage::Format_ARGB32);
        green.fill(QColor(0, 200, 0));
        QVERIFY(green.save(m_rs3->absolutePath(Rs3Fixture::Stable, itemRel("mxt", "Road", "speed") + "mask.png")));
        const QImage changed = drawn();
        {
            ElementLibraryDialog dialog(QStringLiteral("mxt"), QSize());
            QCOMPARE(iconOf(dialog), changed);
        }
        ElementThumbnailCache::clearMemory();
        ElementLibraryDialog dialog(QStringLiteral("mxt"), QSize());
        QCOMPARE(iconOf(dialog), changed);
        QVERIFY(!QDir(ElementThumbnailCache::folder()).isEmpty());
    }
};

KORV_TEST_MAIN(ElementLibraryDialogTest)
#include "tst_elementlibrarydialog.moc"
