#include "canvas/CsvDataSource.h"
#include "support/CsvExportFixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const QString kNoHeader = QStringLiteral(
    "Could not find channel-name row. Expected a row starting with 'Time' followed by channel names "
    "(e.g. GPS Speed, RPM). In RaceStudio 3 use File > Export > CSV on a completed session.");
const QString kNoChannels = QStringLiteral(
    "Channel-name row found but it contained no usable channels (all columns were empty or math-only).");
const QString kNoData = QStringLiteral("Channel-name row found but no numeric data rows followed it.");

// Counts how often the source falls back to matching a name, so the tests can
// see the resolution cache at work.
class CountingCsvSource : public CsvDataSource {
public:
    mutable int matchCalls = 0;
    QString matchedColumn(const QString& channel) const override
    {
        ++matchCalls;
        return CsvDataSource::matchedColumn(channel);
    }
};

// "Name@time=value" or "Name:unit=text" checks against a loaded source.
void runChecks(const CsvDataSource& source, const QStringList& checks)
{
    for (const QString& check : checks) {
        const qsizetype eq = check.lastIndexOf('=');
        QVERIFY2(eq > 0, qPrintable(check));
        const QString lhs = check.left(eq);
        const QString expected = check.mid(eq + 1);
        if (lhs.endsWith(":unit")) {
            QCOMPARE(source.unitOf(lhs.chopped(5)), expected);
            continue;
        }
        const qsizetype at = lhs.lastIndexOf('@');
        QVERIFY2(at > 0, qPrintable(check));
        const double got = source.value(lhs.left(at), lhs.mid(at + 1).toDouble());
        QVERIFY2(qAbs(got - expected.toDouble()) < 1e-9,
                 qPrintable(QStringLiteral("%1 gave %2").arg(check).arg(got, 0, 'g', 17)));
    }
}

} // namespace

class CsvDataSourceTest : public QObject {
    Q_OBJECT

private:
    QString m_dir;
    int m_fileCount = 0;

    QString writeCsv(const QByteArray& text)
    {
        const QString path = m_dir + QStringLiteral("/export%1.csv").arg(++m_fileCount);
        if (!CsvExportFixture::writeText(path, text))
            qFatal("cannot write fixture %s", qPrintable(path));
        return path;
    }

    QString writeSession(const QStringList& channels, const QList<QList<double>>& rows)
    {
        CsvExportFixture fixture;
        fixture.channels = channels;
        for (qsizetype i = 0; i < channels.size(); ++i)
            fixture.units.append(QStringLiteral("u%1").arg(i));
        fixture.rows = rows;
        const QString path = m_dir + QStringLiteral("/session%1.csv").arg(++m_fileCount);
        if (!fixture.write(path))
            qFatal("cannot write fixture %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    void initTestCase() { m_dir = TestEnvironment::makeTempDir("csv"); }

    void load_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("firstTime");
        QTest::addColumn<QStringList>("checks");

        CsvExportFixture rs3;
        rs3.channels = {"GPS Speed", "RPM", "Water Temp"};
        rs3.units = {"km/h", "rpm", "°C"};
        rs3.rows = {{0, 10, 3000, 80}, {0.05, 11, 3100, 80.5}, {0.1, 12, 3200, 81}};
        QTest::newRow("rs3 export with metadata") << rs3.toBytes() << QString()
            << QStringList{"GPS Speed", "RPM", "Water Temp"} << 0.1 << 0.0
            << QStringList{"RPM@0.05=3100", "RPM@0.075=3150", "Water Temp:unit=°C", "gps speed@0.1=12"};

        CsvExportFixture plain = rs3;
        plain.quoted = false;
        plain.lineEnd = "\n";
        QTest::newRow("unquoted, LF") << plain.toBytes() << QString()
            << QStringList{"GPS Speed", "RPM", "Water Temp"} << 0.1 << 0.0 << QStringList{"RPM@0.1=3200"};

        CsvExportFixture hostile = rs3;
        hostile.byteOrderMark = true;
        hostile.metadata.clear();
        QTest::newRow("byte-order mark before the names, CRLF") << hostile.toBytes() << QString()
            << QStringList{"GPS Speed", "RPM", "Water Temp"} << 0.1 << 0.0 << QStringList{"RPM:unit=rpm", "RPM@0=3000"};

        QTest::newRow("lower-case time") << QByteArray("time,RPM\nrpm\n0,1\n2,3\n") << QString()
            << QStringList{"RPM"} << 2.0 << 0.0 << QStringList{"RPM@1=2"};
        QTest::newRow("second field not a name") << QByteArray("Time,1,2\n0,1,2\n") << kNoHeader
            << QStringList() << 0.0 << 0.0 << QStringList();
        QTest::newRow("empty file") << QByteArray() << kNoHeader << QStringList() << 0.0 << 0.0 << QStringList();
        QTest::newRow("quoted comma stays in the name")
            << QByteArray("\"Time\",\"Speed, GPS\",\"RPM\"\n\"s\",\"km/h\",\"rpm\"\n\"0\",\"1,5\",\"7\"\n") << QString()
            << QStringList{"RPM", "Speed, GPS"} << 0.0 << 0.0 << QStringList{"Speed, GPS@0=0", "RPM@0=7", "Speed, GPS:unit=km/h"};
        QTest::newRow("math and blank columns skipped")
            << QByteArray("Time,Math_Delta,RPM,,Lap Gain (math)\ns,s,rpm,,s\n0,1,2,3,4\n") << QString()
            << QStringList{"RPM"} << 0.0 << 0.0 << QStringList{"RPM@0=2", "Math_Delta@0=0"};
        QTest::newRow("only math columns") << QByteArray("Time,Math_Delta, ,Lap Gain (MATH)\ns\n0,1,2,3\n")
            << kNoChannels << QStringList() << 0.0 << 0.0 << QStringList();
        QTest::newRow("short units row") << QByteArray("Time,A,B,C\ns,ua\n0,1,2,3\n") << QString()
            << QStringList{"A", "B", "C"} << 0.0 << 0.0 << QStringList{"A:unit=ua", "B:unit=", "C:unit="};
        QTest::newRow("bad rows and cells")
            << QByteArray("Time,A,B\ns,x,y\nLap 1,5,6\n1,n/a,4\n2,7\n3,8,9\n") << QString()
            << QStringList{"A", "B"} << 2.0 << 1.0 << QStringList{"A@1=0", "B@1=4", "B@2=0", "A@2=7", "A@0=0"};
        QTest::newRow("second header ends the data")
            << QByteArray("Time,A\ns,x\n0,1\n1,2\nTime,A\ns,x\n5,9\n") << QString()
            << QStringList{"A"} << 1.0 << 0.0 << QStringList{"A@5=2"};
        QTest::newRow("names and units, no data") << QByteArray("Time,A\ns,x\n\n") << kNoData
            << QStringList() << 0.0 << 0.0 << QStringList();
        QTest::newRow("no units row: first row read as units")
            << QByteArray("Time,A\n0,1\n1,2\n") << QString()
            << QStringList{"A"} << 1.0 << 1.0 << QStringList{"A:unit=1", "A@0=2"};
        QTest::newRow("blank and whitespace lines skipped")
            << QByteArray("\n  \nTime,A\n\t\ns,x\n \xC2\xA0 \n0,1\n\n1,3\n") << QString()
            << QStringList{"A"} << 1.0 << 0.0 << QStringList{"A:unit=x", "A@0.5=2"};
        QTest::newRow("single row at 5") << QByteArray("Time,A\ns,x\n5.0,1\n") << QString()
            << QStringList{"A"} << 5.0 << 5.0 << QStringList{"A@0=1"};
        QTest::newRow("0 to 120.5") << QByteArray("Time,A\ns,x\n0,1\n60,2\n120.5,3\n") << QString()
            << QStringList{"A"} << 120.5 << 0.0 << QStringList{"A@90.25=2.5"};
        QTest::newRow("export starting at 100 s") << QByteArray("Time,A\ns,x\n100,1\n130,4\n") << QString()
            << QStringList{"A"} << 30.0 << 100.0 << QStringList{"A@110=2"};
        QTest::newRow("single row at a negative time") << QByteArray("Time,A\ns,x\n-3,1\n") << QString()
            << QStringList{"A"} << 0.0 << -3.0 << QStringList{"A@-3=1"};
        QTest::newRow("nan and inf times dropped")
            << QByteArray("Time,A\ns,x\nnan,9\n0,1\ninf,9\n-INF,9\n2,3\n") << QString()
            << QStringList{"A"} << 2.0 << 0.0 << QStringList{"A@1=2"};
        QTest::newRow("only non-finite times") << QByteArray("Time,A\ns,x\nnan,1\ninf,2\n") << kNoData
            << QStringList() << 0.0 << 0.0 << QStringList();
        QTest::newRow("nan and inf values read as 0")
            << QByteArray("Time,A,B\ns,x,y\n0,nan,inf\n1,-inf,1e999\n2, 4 , +5 \n") << QString()
            << QStringList{"A", "B"} << 2.0 << 0.0 << QStringList{"A@0=0", "B@0=0", "A@1=0", "B@1=0", "A@2=4", "B@2=5"};
        QTest::newRow("truncated last line") << QByteArray("Time,A,B\r\ns,x,y\r\n0,1,2\r\n1,3") << QString()
            << QStringList{"A", "B"} << 1.0 << 0.0 << QStringList{"A@1=3", "B@1=0", "B@0.5=1"};
        QTest::newRow("last line cut in a number") << QByteArray("Time,A\ns,x\n0,1\n1,2\n2.") << QString()
            << QStringList{"A"} << 2.0 << 0.0 << QStringList{"A@2=0", "A@1=2"};
        QTest::newRow("same name twice: the later column wins")
            << QByteArray("Time,rpm,RPM\ns,a,b\n0,1,2\n") << QString()
            << QStringList{"RPM"} << 0.0 << 0.0 << QStringList{"rpm@0=2", "rpm:unit=b"};
        QTest::newRow("not UTF-8: read as Latin-1") << QByteArray("Time,Oil\ns,\xB0" "C\n0,1\n") << QString()
            << QStringList{"Oil"} << 0.0 << 0.0 << QStringList{QString("Oil:unit=\u00B0C")};
        QTest::newRow("UTF-8 stays UTF-8") << QByteArray("Time,Oil\ns,\xC2\xB0" "C\n0,1\n") << QString()
            << QStringList{"Oil"} << 0.0 << 0.0 << QStringList{QString("Oil:unit=\u00B0C")};
        QTest::newRow("names row twice") << QByteArray("Time,A\nTime,A\n\ns,x\n0,1\n") << QString()
            << QStringList{"A"} << 0.0 << 0.0 << QStringList{"A:unit=x", "A@0=1"};
        QTest::newRow("time restarting: laps run on")
            << QByteArray("Time,A\ns,x\n0,1\n2,3\n0,5\n2,7\n1,9\n") << QString()
            << QStringList{"A"} << 5.0 << 0.0 << QStringList{"A@1=2", "A@3=6", "A@4.5=8"};
    }

    void load()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QFETCH(QStringList, names);
        QFETCH(double, duration);
        QFETCH(double, firstTime);
        QFETCH(QStringList, checks);

        CsvDataSource source;
        const bool ok = source.load(writeCsv(text));
        QCOMPARE(source.errorText(), error);
        QCOMPARE(ok, error.isEmpty());
        QCOMPARE(source.isValid(), ok);
        QCOMPARE(source.channelNames(), names);
        QCOMPARE(source.duration(), duration);
        QCOMPARE(source.firstTime(), firstTime);
        runChecks(source, checks);
    }

    void olderGenerationExport()
    {
        // Four laps of 10 s, "Time" restarting at 0 on each; the metadata
        // gives the session's length and the lap ends.
        CsvExportFixture older;
        older.olderGeneration = true;
        older.metadata = {{"Format", "AIM CSV File"}, {"Venue", "Test Track"}, {"Duration", "40.000"},
                          {"Beacon Markers", "10.000", "20.000", "30.000", "40.000"}};
        older.channels = {"GPS Speed", "T\u00B0 Water"};
        older.units = {"km/h", "\u00B0C"};
        for (int lap = 1; lap <= 4; ++lap) {
            for (int step = 0; step <= 20; ++step)
                older.rows.append({step * 0.5, lap * 100 + step * 0.5, 80.0 + lap});
        }
        const QByteArray bytes = older.toBytes();
        QVERIFY(bytes.contains("\"T\xB0 Water\"\r\n\"Time\""));
        QVERIFY(bytes.contains("\r\n\"\",\"1\",\"2\"\r\n"));
        QVERIFY(bytes.contains("\r\n10,410,84,\r\n"));

        CsvDataSource source;
        QVERIFY2(source.load(writeCsv(bytes)), qPrintable(source.errorText()));
        QCOMPARE(source.duration(), older.metadata.at(2).at(1).toDouble());
        QCOMPARE(source.firstTime(), 0.0);
        QCOMPARE(source.channelNames(), (QStringList{"GPS Speed", "T\u00B0 Water"}));
        runChecks(source, {"GPS Speed:unit=km/h", QString("T\u00B0 Water:unit=\u00B0C"),
                           "GPS Speed@5.25=105.25", "GPS Speed@25.25=305.25", "GPS Speed@40=410",
                           QString("T\u00B0 Water@5=81"), QString("T\u00B0 Water@25=83")});
    }

    void hostileShapesStayBounded_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QStringList>("checks");

        // 200000 columns and 400000 rows of one cell each: a cell per column
        // and row would take 640 GB.
        QByteArray wide = "Time";
        for (int c = 0; c < 200000; ++c)
            wide += ",C" + QByteArray::number(c);
        wide += "\ns\n";
        for (int r = 0; r < 400000; ++r)
            wide += QByteArray::number(r) + '\n';
        wide += "400000";
        for (int c = 0; c < 200000; ++c)
            wide += ",7";
        wide += '\n';
        QTest::newRow("wide names row, rows of one cell") << wide << 200000
            << QStringList{"C5@10=0", "C199999@400000=7", "C3@399999.5=3.5"};

        // A metadata line and a data row of 48 MiB each, no line end inside.
        const qsizetype longLine = 48 * 1024 * 1024;
        const QByteArray longText = QByteArray(longLine, 'x') + "\nTime,A\ns,x\n0,1" + QByteArray(longLine, ',')
                                    + "\n1,3\n";
        QTest::newRow("very long lines") << longText << 1 << QStringList{"A@0=1", "A@0.5=2"};
    }

    void hostileShapesStayBounded()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, channels);
        QFETCH(QStringList, checks);
        const QString path = writeCsv(text);
        text.clear();
        text.squeeze();
        CsvDataSource source;
        QVERIFY2(source.load(path), qPrintable(source.errorText()));
        QCOMPARE(source.channelNames().size(), channels);
        runChecks(source, checks);
        const qint64 peak = TestEnvironment::peakResidentBytes();
        QVERIFY2(peak < qint64(1) << 30, qPrintable(QString::number(peak)));
        QFile::remove(path);
    }

    void cannotOpen_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << m_dir + "/no such export.csv";
        QTest::newRow("a folder") << m_dir;
    }

    void cannotOpen()
    {
        QFETCH(QString, path);
        CsvDataSource source;
        QVERIFY(!source.load(path));
        QCOMPARE(source.errorText(), QStringLiteral("Could not open file for reading: %1").arg(path));
        QVERIFY(!source.isValid());
    }

    void failedLoadDropsPreviousData()
    {
        CsvDataSource source;
        QVERIFY(source.load(writeSession({"RPM"}, {{0, 1000}, {1, 2000}})));
        QCOMPARE(source.value("RPM", 1), 2000.0);
        QVERIFY(!source.load(writeCsv("Time,A\ns,x\n")));
        QCOMPARE(source.errorText(), kNoData);
        QVERIFY(!source.isValid());
        QCOMPARE(source.value("RPM", 1), 0.0);
        QCOMPARE(source.duration(), 0.0);
        QVERIFY(source.channelNames().isEmpty());
        QVERIFY(source.unitOf("RPM").isEmpty());

        QVERIFY(source.load(writeSession({"Speed"}, {{0, 5}})));
        QVERIFY(source.errorText().isEmpty());
        QCOMPARE(source.channelNames(), QStringList{"Speed"});
    }

    void interpolation_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("expected");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("before the first sample") << -1.0 << 10.0;
        QTest::newRow("at the first sample") << 0.0 << 10.0;
        QTest::newRow("between") << 0.5 << 15.0;
        QTest::newRow("at an interior sample") << 1.0 << 20.0;
        QTest::newRow("shared time: the last row") << 2.0 << 40.0;
        QTest::newRow("after a shared time") << 3.0 << 45.0;
        QTest::newRow("times closer than 1e-12") << 4.00000000000005 << 50.0;
        QTest::newRow("at the last sample") << 6.0 << 70.0;
        QTest::newRow("after the last sample") << 100.0 << 70.0;
        QTest::newRow("infinity") << inf << 70.0;
        QTest::newRow("minus infinity") << -inf << 10.0;
        QTest::newRow("NaN") << nan << 10.0;
    }

    void interpolation()
    {
        QFETCH(double, time);
        QFETCH(double, expected);
        CsvDataSource source;
        QVERIFY(source.load(writeCsv("Time,V\ns,x\n0,10\n1,20\n2,30\n2,40\n4,50\n4.0000000000001,60\n6,70\n")));
        QCOMPARE(source.value("V", time), expected);
    }

    // Rising times are looked up from a guess at their place: irregular
    // steps, repeated times and long gaps give what the plain rule gives
    // (interpolate after the last sample not after t).
    void irregularRisingTimes()
    {
        const std::vector<double> times{0, 0.001, 0.002, 0.002, 50, 50, 50.5, 99, 100};
        QByteArray text("Time,V\ns,x\n");
        for (size_t i = 0; i < times.size(); ++i)
            text += QByteArray::number(times[i]) + ',' + QByteArray::number(double(i * i)) + '\n';
        CsvDataSource source;
        QVERIFY(source.load(writeCsv(text)));
        for (double t = -0.5; t <= 100.5; t += 0.0625) {
            size_t after = 0;
            while (after < times.size() && !(times[after] > t))
                ++after;
            double expected = 0;
            if (after == 0)
                expected = 0;
            else if (after == times.size())
                expected = double((times.size() - 1) * (times.size() - 1));
            else {
                const double t0 = times[after - 1];
                const double v0 = double((after - 1) * (after - 1));
                const double v1 = double(after * after);
                expected = v0 + (v1 - v0) * (t - t0) / (times[after] - t0);
            }
            QVERIFY2(qFuzzyCompare(1.0 + source.value("V", t), 1.0 + expected), qPrintable(QString::number(t)));
        }
    }

    void unsortedTimesStayInRange()
    {
        // Times are kept in file order; a lookup must never leave the column.
        CsvDataSource source;
        QVERIFY(source.load(writeCsv("Time,V\ns,x\n0,1\n5,2\n1,3\n9,4\n3,5\n10,6\n")));
        for (double t = -1; t <= 11; t += 0.25) {
            const double v = source.value("V", t);
            QVERIFY2(v >= 1.0 && v <= 6.0, qPrintable(QString::number(t)));
        }
    }

    void matchedColumn_data()
    {
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exact, any case") << QStringList{"RPM", "Engine RPM"} << "rpm" << "RPM";
        QTest::newRow("normalised") << QStringList{"GPS Speed", "Speed"} << "gps_speed" << "GPS Speed";
        QTest::newRow("side qualifier picks the side") << QStringList{"Port RPM", "Stbd RPM"} << "stbd_engine_rpm" << "Stbd RPM";
        QTest::newRow("other side only") << QStringList{"Port RPM"} << "stbd_engine_rpm" << "";
        QTest::newRow("star is not stbd") << QStringList{"Stbd RPM"} << "star_rpm" << "";
        QTest::newRow("unsided query prefers unsided column") << QStringList{"Engine RPM", "Port RPM"} << "RPM" << "Engine RPM";
        QTest::newRow("contained token scores 5") << QStringList{"Temperature"} << "temp" << "Temperature";
        QTest::newRow("tie keeps the first in name order") << QStringList{"Water Temp", "Oil Temp"} << "temp" << "Oil Temp";
        QTest::newRow("below 5") << QStringList{"Oil Pressure"} << "rpm" << "";
        QTest::newRow("empty request") << QStringList{"RPM"} << "" << "";
        QTest::newRow("only separators") << QStringList{"RPM"} << "__ _" << "";
    }

    void matchedColumn()
    {
        QFETCH(QStringList, columns);
        QFETCH(QString, request);
        QFETCH(QString, expected);
        QList<double> row{0};
        for (qsizetype i = 0; i < columns.size(); ++i)
            row.append(double(i + 1));
        CsvDataSource source;
        QVERIFY(source.load(writeSession(columns, {row})));
        QCOMPARE(source.matchedColumn(request), expected);
        if (!expected.isEmpty())
            QCOMPARE(source.value(request, 0), double(columns.indexOf(expected) + 1));
        else
            QCOMPARE(source.value(request, 0), 0.0);
    }

    void resolutionIsCachedMissesToo()
    {
        CountingCsvSource source;
        const QString path = writeSession({"Engine RPM", "Oil Temp"}, {{0, 1000, 80}, {1, 2000, 90}});
        QVERIFY(source.load(path));

        QCOMPARE(source.value("rpm", 0.5), 1500.0);
        QCOMPARE(source.value("rpm", 1), 2000.0);
        QCOMPARE(source.matchCalls, 1);

        QCOMPARE(source.value("Boost", 0.5), 0.0);
        QCOMPARE(source.value("Boost", 0.7), 0.0);
        QCOMPARE(source.matchCalls, 2);

        // Case matters to the cache: another spelling is a new request.
        QCOMPARE(source.value("RPM", 0), 1000.0);
        QCOMPARE(source.matchCalls, 3);

        // unitOf does not use the cache.
        QCOMPARE(source.unitOf("rpm"), QStringLiteral("u0"));
        QCOMPARE(source.matchCalls, 4);

        // A new load forgets every resolution.
        QVERIFY(source.load(path));
        QCOMPARE(source.value("Boost", 0.5), 0.0);
        QCOMPARE(source.matchCalls, 5);
    }

    void unitOf()
    {
        CsvDataSource source;
        QVERIFY(source.unitOf("RPM").isEmpty());
        QVERIFY(source.load(writeSession({"RPM", "GPS Speed"}, {{0, 1, 2}})));
        QCOMPARE(source.unitOf("rpm"), QStringLiteral("u0"));
        QCOMPARE(source.unitOf("gps_speed"), QStringLiteral("u1"));
        QVERIFY(source.unitOf("Boost").isEmpty());
        QVERIFY(source.unitOf("").isEmpty());
        source.clear();
        QVERIFY(source.unitOf("RPM").isEmpty());
    }
};

KORV_TEST_MAIN(CsvDataSourceTest)
#include "tst_csvdatasource.moc"
