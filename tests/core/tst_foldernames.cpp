#include "model/FolderNames.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QtTest>

// The scan helpers must list what QDir lists, in QDir's order, whatever the
// names look like.
class FolderNamesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameAsQDir_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("folders");
        QTest::newRow("mixed case") << QStringList{"b.M2.xml", "A.m2.xml", "a.M2.XML", "mask.png", "MASK.PNG"}
                                    << QStringList{"Items", "items", "b", "B"};
        QTest::newRow("odd names") << QStringList{"_x.M2.xml", "é.M2.xml", "1.M2.xml", "z.M2.xml.bak", ".M2.xml",
                                                  ".hidden.M2.xml", "M2.xml"}
                                   << QStringList{"é", "_a", "10", "9", ".hidden"};
        QTest::newRow("empty") << QStringList{} << QStringList{};
    }

    void sameAsQDir()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, folders);
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("names"));
        for (const QString& name : files) {
            QFile f(dir + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        for (const QString& name : folders)
            QDir(dir).mkdir(name); // a case twin is refused on a case-blind disk
        for (QDir::Filters filters : {QDir::Filters(QDir::Files), QDir::Files | QDir::Hidden,
                                      QDir::Dirs | QDir::NoDotAndDotDot}) {
            QCOMPARE(sortedEntryNames(dir, filters), QDir(dir).entryList(filters, QDir::Name));
            for (QDir::SortFlags sort : {QDir::SortFlags(QDir::Name), QDir::SortFlags(QDir::NoSort)}) {
                QCOMPARE(entriesEndingWith(dir, QLatin1StringView(".M2.xml"), filters, sort),
                         QDir(dir).entryList({QStringLiteral("*.M2.xml")}, filters, sort));
            }
        }
        const QStringList all = QDir(dir).entryList(QDir::Files | QDir::Hidden);
        QStringList same;
        for (const QString& name : all) {
            if (sameFileName(name, QLatin1StringView("mask.png")))
                same.append(name);
        }
        QCOMPARE(same, QDir(dir).entryList({QStringLiteral("mask.png")}, QDir::Files | QDir::Hidden));
    }
};

KORV_GUI_TEST_MAIN(FolderNamesTest)
#include "tst_foldernames.moc"
