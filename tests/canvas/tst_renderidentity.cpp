#include "canvas/DashCanvas.h"
#include "canvas/SampleDataSource.h"
#include "model/DashConfig.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QtTest>

#include <memory>

// Every picture of the demo, in the editor look and the live look, from the
// canvas and from the headless renderer, must stay the same pixel for pixel
// while the drawing code is made faster. The expected digests were taken
// from the renders before that work; run with KORV_PRINT_RENDER_DIGESTS=1 to
// print the current ones (after a deliberate change of the demo or of a
// drawing rule, paste them below).
class RenderIdentityTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Rs3Fixture> m_rs3;
    DashConfig m_config;
    SampleDataSource m_samples;
    static constexpr double kTime = 12.3;

    static QByteArray digest(const QImage& source)
    {
        const QImage image = source.convertToFormat(QImage::Format_RGB32);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(QByteArray::number(image.width()) + 'x' + QByteArray::number(image.height()));
        for (int y = 0; y < image.height(); ++y)
            hash.addData(QByteArrayView(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4));
        return hash.result().toHex().left(16);
    }

    // "Later" draws a second time on the same canvas, so what one frame
    // keeps for the next must follow the new values.
    QImage canvasGrab(int page, bool live, bool later)
    {
        DashCanvas canvas;
        canvas.config = &m_config;
        canvas.resize(820, 500);
        canvas.setConfig(&m_config);
        canvas.setPage(m_config.page(page));
        canvas.previewMode = live;
        if (live) {
            canvas.setDataSource(&m_samples);
            canvas.setTime(kTime);
        }
        QImage image = canvas.grab().toImage();
        if (later) {
            canvas.setTime(47.9);
            image = canvas.grab().toImage();
        }
        return image;
    }

    void check(const QByteArray& name, const QImage& image, const char* expected)
    {
        QVERIFY2(!image.isNull(), name.constData());
        const QByteArray actual = digest(image);
        if (qEnvironmentVariableIntValue("KORV_PRINT_RENDER_DIGESTS"))
            qInfo("QTest::newRow(\"%s\") << \"%s\";", name.constData(), actual.constData());
        QVERIFY2(actual == expected, qPrintable(QStringLiteral("%1: %2, expected %3")
                                                    .arg(QString::fromLatin1(name), QString::fromLatin1(actual),
                                                         QString::fromLatin1(expected))));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_rs3 = std::make_unique<Rs3Fixture>();
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        if (path.isEmpty())
            QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        QString error;
        QVERIFY2(m_config.load(path, &error), qPrintable(error));
        QCOMPARE(m_config.pageCount(), 3);
        QHash<QString, QString> units;
        for (const ChannelInfo& c : m_config.channels)
            units.insert(c.longName, c.unit);
        m_samples.setChannelUnits(units);
    }

    void renders_data()
    {
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("canvas-0-editor") << QByteArray("afa41990d209a8c4");
        QTest::newRow("canvas-0-live") << QByteArray("814be2be3de220f3");
        QTest::newRow("canvas-0-live-later") << QByteArray("b43f061c88cecfc5");
        QTest::newRow("headless-0-editor") << QByteArray("db03139e25197937");
        QTest::newRow("headless-0-live") << QByteArray("f54e980bc3ce8fc1");
        QTest::newRow("headless-0-live-x2") << QByteArray("d60c2c7c0671a670");
        QTest::newRow("canvas-1-editor") << QByteArray("efe0bb8f407f8540");
        QTest::newRow("canvas-1-live") << QByteArray("eb3f7e435d2d2355");
        QTest::newRow("canvas-1-live-later") << QByteArray("62c126e47ace789a");
        QTest::newRow("headless-1-editor") << QByteArray("0959e59c0358f038");
        QTest::newRow("headless-1-live") << QByteArray("5d466fe276714b75");
        QTest::newRow("headless-1-live-x2") << QByteArray("28f5591c7c53b951");
        QTest::newRow("canvas-2-editor") << QByteArray("46ccf5cfdd4dd5b4");
        QTest::newRow("canvas-2-live") << QByteArray("4edbc0661abe7079");
        QTest::newRow("canvas-2-live-later") << QByteArray("f76743334fddf125");
        QTest::newRow("headless-2-editor") << QByteArray("791574b6e659c5db");
        QTest::newRow("headless-2-live") << QByteArray("aa78623e3c240637");
        QTest::newRow("headless-2-live-x2") << QByteArray("db259ea930f3ac6e");
    }

    void renders()
    {
        QFETCH(QByteArray, expected);
        const QByteArray name = QTest::currentDataTag();
        const QList<QByteArray> parts = name.split('-');
        const int page = parts.at(1).toInt();
        const bool live = parts.at(2) == "live";
        QImage image;
        if (parts.at(0) == "canvas") {
            image = canvasGrab(page, live, parts.size() > 3);
        } else if (live) {
            image = DashCanvas::renderPageForPreview(&m_config, page, true, parts.size() > 3 ? 2 : 1);
        } else {
            image = DashCanvas::renderPageGeometry(m_config.page(page), 1);
        }
        check(name, image, expected.constData());
    }
};

KORV_TEST_MAIN(RenderIdentityTest)
#include "tst_renderidentity.moc"
