#include "canvas/SampleDataSource.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QtTest>

#include <cmath>

class SampleDataSourceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aliasTable()
    {
        const auto& table = SampleDataSource::aliasTable();
        QCOMPARE(table.size(), 96);
        QCOMPARE(&table, &SampleDataSource::aliasTable());
        for (int n = 1; n <= 8; ++n) {
            QCOMPARE(table.value(QStringLiteral("ch0%1").arg(n)), 16 + n);
            QCOMPARE(table.value(QStringLiteral("channel0%1").arg(n)), 16 + n);
        }
        QVERIFY(!table.contains("ch09"));
    }

    void normaliseKey_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("symbols dropped") << QString("Oil Temp (°C)") << QString("oiltempc");
        QTest::newRow("dash and digits") << QString("OBD-II RPM") << QString("obdiirpm");
        QTest::newRow("other scripts kept") << QString("Öl Temp 2") << QString("öltemp2");
        QTest::newRow("no letters") << QString("-- (%) --") << QString();
    }

    void normaliseKey()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QCOMPARE(SampleDataSource::normaliseKey(name), key);
    }

    void kindOf_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("unit"); // registered for the name; empty = none
        QTest::addColumn<int>("kind");
        QTest::newRow("RPM") << "RPM" << "" << 1;
        QTest::newRow("Engine_RPM") << "Engine_RPM" << "" << 1;
        QTest::newRow("OBD-II RPM") << "OBD-II RPM" << "" << 1;
        QTest::newRow("alias wins over unit") << "Oil Temp (°F)" << "°F" << 8;
        QTest::newRow("Lambda by name") << "Lambda" << "" << 13;
        QTest::newRow("lambda by unit") << "Sensor 3" << "lambda" << 36;
        QTest::newRow("°C") << "Sensor" << "°C" << 29;
        QTest::newRow("degF") << "Sensor" << "degF" << 30;
        QTest::newRow("mbar") << "Sensor" << "mbar" << 0;
        QTest::newRow("kPa") << "Sensor" << "kPa" << 0;
        QTest::newRow("Bar") << "Sensor" << " Bar " << 31;
        QTest::newRow("MPH") << "Sensor" << "MPH" << 28;
        QTest::newRow("rpm unit") << "Fan" << "rpm" << 27;
        QTest::newRow("mV") << "Sensor" << "mV" << 34;
        QTest::newRow("count is exact, not a c") << "Sensor" << "count" << 37;
        QTest::newRow("sec") << "Sensor" << "sec" << 38;
        QTest::newRow("percent") << "Throttle Pos" << "%" << 33;
        QTest::newRow("unknown, no unit") << "Sensor" << "" << 0;
        QTest::newRow("stbd rpm") << "Stbd Eng RPM" << "" << 25;
        QTest::newRow("port rpm") << "port_rpm" << "" << 26;
        QTest::newRow("channel 03") << "Channel 03" << "" << 19;
    }

    void kindOf()
    {
        QFETCH(QString, name);
        QFETCH(QString, unit);
        QFETCH(int, kind);
        SampleDataSource source;
        if (!unit.isEmpty())
            source.setChannelUnits({{name, unit}});
        QCOMPARE(source.kindOf(name), kind);
    }

    // Values at the times the waveforms are documented with.
    void spotValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("expected");
        QTest::newRow("gear at 0") << "Gear" << 0.0 << 3.0;
        QTest::newRow("fuel at 0") << "Fuel" << 0.0 << 100.0;
        QTest::newRow("fuel at 300") << "Fuel Level" << 300.0 << 75.0;
        QTest::newRow("fuel at 599") << "Fuel" << 599.0 << 100.0 - 599.0 / 12.0;
        QTest::newRow("fuel at 600") << "Fuel" << 600.0 << 100.0;
        QTest::newRow("fuel at -300") << "Fuel" << -300.0 << 75.0;
        QTest::newRow("rpm mid wave") << "RPM" << 0.0 << 4350.0;
        QTest::newRow("rpm top") << "RPM" << 5.0 / 6.0 << 7200.0;
        QTest::newRow("rpm bottom") << "RPM" << 2.5 << 1500.0;
        QTest::newRow("gear at the top") << "Gear" << 5.0 / 6.0 << 6.0;
        QTest::newRow("gear at the bottom") << "Gear" << 2.5 << 1.0;
        QTest::newRow("speed lags 0.4 s") << "GPS Speed" << 0.4 << 122.5;
        QTest::newRow("port rpm 50 below") << "Port RPM" << 0.0 << 4300.0;
        QTest::newRow("lap time") << "Lap Time" << 7.5 << 74.03;
        QTest::newRow("best lap") << "Best Lap" << 7.5 << 73.12;
        QTest::newRow("delta") << "Pred Delta" << 7.5 << -0.91;
        QTest::newRow("lap number") << "Lap" << 7.5 << 12.0;
        QTest::newRow("session time") << "Session Time" << 7.5 << 7.5;
        QTest::newRow("lambda mid") << "AFR" << 0.0 << 13.5;
        QTest::newRow("unknown") << "Sensor 9" << 7.5 << 0.0;
    }

    void spotValues()
    {
        QFETCH(QString, name);
        QFETCH(double, time);
        QFETCH(double, expected);
        SampleDataSource source;
        QVERIFY(qAbs(source.value(name, time) - expected) < 1e-9);
    }

    // Every waveform stays inside its documented range.
    void ranges_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        const struct { int kind; double low; double high; } ranges[] = {
            {1, 1500, 7200}, {2, 40, 205}, {3, 1, 6}, {8, 90, 125}, {9, 80, 95}, {10, 25, 50},
            {11, 4.35, 6.15}, {12, 13.5, 14.2}, {13, 12.5, 14.5}, {14, 50, 100}, {15, 0, 2.5},
            {17, -2, 2.5}, {24, -2, 2.5}, {26, 1450, 7150}, {27, 0, 8000}, {28, 0, 200},
            {29, 20, 120}, {30, 70, 250}, {31, 0, 5}, {32, 0, 80}, {33, 0, 100},
            {34, -100, 5100}, {35, 12, 14}, {36, 12.5, 14.5},
        };
        for (const auto& r : ranges)
            QTest::addRow("kind %d", r.kind) << r.kind << r.low << r.high;
    }

    void ranges()
    {
        QFETCH(int, kind);
        QFETCH(double, low);
        QFETCH(double, high);
        for (double t = -700; t <= 700; t += 0.01) {
            const double v = SampleDataSource::signalValue(kind, t);
            if (!(v >= low - 1e-9 && v <= high + 1e-9))
                QFAIL(qPrintable(QStringLiteral("t=%1 v=%2").arg(t).arg(v)));
        }
    }

    void gearIsWhole()
    {
        for (double t = 0; t < 10; t += 0.01) {
            const double gear = SampleDataSource::signalValue(3, t);
            if (gear != std::floor(gear))
                QFAIL(qPrintable(QString::number(t)));
        }
    }

    void lookups()
    {
        SampleDataSource source;
        QVERIFY(source.isValid());
        QCOMPARE(source.matchedColumn("gps speed"), QStringLiteral("gps speed"));
        QVERIFY(source.matchedColumn("").isEmpty());
        QVERIFY(source.unitOf("GPS_Speed").isEmpty());

        source.setChannelUnits({{"GPS Speed", "km/h"}, {"Brake Press", "bar"}});
        QCOMPARE(source.unitOf("GPS_Speed"), QStringLiteral("km/h"));
        QCOMPARE(source.unitOf("brake-press"), QStringLiteral("bar"));
        QVERIFY(source.unitOf("").isEmpty());
        QCOMPARE(source.value("Brake Press", 0.0), 2.5);

        // A new set replaces the old one whole.
        source.setChannelUnits({{"Oil", "psi"}});
        QVERIFY(source.unitOf("GPS Speed").isEmpty());
        QCOMPARE(source.value("Brake Press", 0.0), 0.0);
        QCOMPARE(source.value("Oil", 0.0), 40.0);
    }

    void namesWithoutLettersShareOneKey()
    {
        SampleDataSource source;
        source.setChannelUnits({{"---", "bar"}});
        QCOMPARE(source.unitOf("###"), QStringLiteral("bar"));
        QCOMPARE(source.kindOf("(%)"), 31);
        QVERIFY(source.unitOf("").isEmpty());
    }

    void sameArgumentsSameValue()
    {
        SampleDataSource a;
        SampleDataSource b;
        for (double t : {-12.5, 0.0, 7.5, 1234.567})
            QCOMPARE(a.value("Water Temp", t), b.value("Water Temp", t));
    }
};

KORV_TEST_MAIN(SampleDataSourceTest)
#include "tst_sampledatasource.moc"
