#include "gallery/ArtChangeQuestion.h"

#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

// A path too long for the question box loses its middle, by whole
// characters: what is left of it still reads as the names it holds.
class ArtChangeQuestionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shortPathKeepsWholeCharacters_data()
    {
        QTest::addColumn<QString>("path");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x8F\x81"); // two UTF-16 units
        const QString accented = QStringLiteral("e\u0301");
        // The head is cut after 32 units and the tail keeps 63: each row
        // puts a pair across one cut or the other.
        QTest::newRow("pair across the head's cut") << QString(31, 'a') + emoji + QString(100, 'b');
        QTest::newRow("pair across the tail's cut") << QString(100, 'a') + emoji + QString(62, 'b');
        QTest::newRow("accent across the head's cut") << QString(31, 'a') + accented + QString(100, 'b');
        QTest::newRow("pairs only") << QString(60, QChar()).replace(QChar(), emoji);
        QTest::newRow("short enough") << QStringLiteral("C:/AIM_SPORT/") + emoji;
    }
    void shortPathKeepsWholeCharacters()
    {
        QFETCH(QString, path);
        const QString shown = ArtChangeQuestion::shortPathList({path});
        QVERIFY(shown.size() <= 96);
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const QChar c = shown.at(i);
            if (c.isHighSurrogate())
                QVERIFY2(i + 1 < shown.size() && shown.at(i + 1).isLowSurrogate(), qPrintable(shown));
            else if (c.isLowSurrogate())
                QVERIFY2(i > 0 && shown.at(i - 1).isHighSurrogate(), qPrintable(shown));
            else if (c == QChar(0x0301))
                QVERIFY2(i > 0 && shown.at(i - 1) == QLatin1Char('e'), qPrintable(shown));
        }
        if (path.size() <= 96)
            QCOMPARE(shown, path);
        else
            QVERIFY(shown.contains(QChar(0x2026)));
    }
};

KORV_GUI_TEST_MAIN(ArtChangeQuestionTest)
#include "tst_artchangequestion.moc"
