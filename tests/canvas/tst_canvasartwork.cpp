#include "canvas/DashCanvas.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QtTest>

namespace {

MaskElement maskFrom(pugi::xml_document& doc, const QByteArray& xml)
{
    MaskElement mask;
    if (doc.load_string(xml.constData()))
        mask.node = doc.first_child();
    return mask;
}

} // namespace

class CanvasArtworkTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scaleFrame_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("frame");
        const auto gauge = [](const char* choice, const char* inner) {
            return QByteArray("<e c='GMaskParam'><e c='Digit'><p n='NOME_SCALA'>999</p></e><e c='Analog'>")
                + (choice ? QByteArray("<p n='SCELTA_UTENTE'>") + choice + "</p>" : QByteArray()) + inner + "</e></e>";
        };
        QTest::newRow("rpm 8000, choice with a blank") << gauge("RPM ", "<p n='NOME_SCALA'>8000</p>") << "scala_rpm_ON_08.png";
        QTest::newRow("rpm 12000") << gauge("rpm", "<p n='NOME_SCALA'>12000</p>") << "scala_rpm_ON_12.png";
        QTest::newRow("rpm 500") << gauge("rpm", "<p n='NOME_SCALA'>500</p>") << "scala_rpm_ON_00.png";
        QTest::newRow("km/h 300") << gauge("km/h", "<p n='NOME_SCALA'>300</p>") << "scala_vel_kmh_ON_300.png";
        QTest::newRow("mph 180") << gauge("MPH", "<p n='NOME_SCALA'> 180 </p>") << "scala_vel_mph_ON_180.png";
        QTest::newRow("other choice") << gauge("temp", "<p n='NOME_SCALA'>300</p>") << "";
        QTest::newRow("no choice") << gauge(nullptr, "<p n='NOME_SCALA'>300</p>") << "";
        QTest::newRow("no scale") << gauge("rpm", "") << "";
        // Own parameters first, then children depth-first in document order.
        QTest::newRow("nested: first positive wins")
            << gauge("rpm", "<p n='NOME_SCALA'>0</p><p n='NOME_SCALA'>x</p>"
                            "<e c='ScaleFSV'><e c='StepScale'><p n='NOME_SCALA'>7000</p></e><p n='NOME_SCALA'>-4</p></e>"
                            "<e c='Other'><p n='NOME_SCALA'>9000</p></e><p n='NOME_SCALA'>0</p>")
            << "scala_rpm_ON_07.png";
        QTest::newRow("ring gauge") << QByteArray("<e><e c='Ring'><p n='SCELTA_UTENTE'>km/h</p><p n='NOME_SCALA'>240</p></e></e>")
                                    << "scala_vel_kmh_ON_240.png";
        QTest::newRow("no gauge element") << QByteArray("<e><e c='Digit'><p n='SCELTA_UTENTE'>rpm</p><p n='NOME_SCALA'>8000</p></e></e>") << "";
    }

    void scaleFrame()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, frame);
        pugi::xml_document doc;
        const MaskElement mask = maskFrom(doc, xml);
        QVERIFY(mask.node);
        QCOMPARE(DashCanvas::gaugeScaleFrame(mask), frame);
    }

    void deepNestingDoesNotRecurse()
    {
        QByteArray xml = "<e><e c='Analog'><p n='SCELTA_UTENTE'>rpm</p>";
        const int depth = 20000;
        for (int i = 0; i < depth; ++i)
            xml += "<e>";
        xml += "<p n='NOME_SCALA'>6000</p>";
        for (int i = 0; i < depth; ++i)
            xml += "</e>";
        xml += "</e></e>";
        pugi::xml_document doc;
        const MaskElement mask = maskFrom(doc, xml);
        QVERIFY(mask.node);
        QCOMPARE(DashCanvas::gaugeScaleFrame(mask), QString("scala_rpm_ON_06.png"));
    }

    void artFolder_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("folder");
        QTest::newRow("backslashes") << QByteArray("<e><p n='PATH_REL_AiM_MASK'>aim\\resources\\overlay\\x</p></e>") << "aim/resources/overlay/x/";
        QTest::newRow("trailing slash kept") << QByteArray("<e><p n='PATH_REL_AiM_MASK'>a/b/</p></e>") << "a/b/";
        QTest::newRow("empty") << QByteArray("<e><p n='PATH_REL_AiM_MASK'/></e>") << "";
        QTest::newRow("missing") << QByteArray("<e/>") << "";
    }

    void artFolder()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, folder);
        pugi::xml_document doc;
        QCOMPARE(DashCanvas::maskArtFolder(maskFrom(doc, xml)), folder);
    }

    void providerImagesAreCached()
    {
        PageModel page;
        page.masks.resize(4);
        DashCanvas canvas;
        canvas.setPage(&page);
        QList<int> asked;
        canvas.setMaskImageProvider([&asked](int index) {
            asked << index;
            if (index == 3)
                return QImage();
            QImage image(4, 4, QImage::Format_ARGB32);
            image.fill(Qt::red);
            return image;
        });
        QVERIFY(canvas.maskPixmap(page.masks[3], 3).isNull());
        QVERIFY(canvas.maskPixmap(page.masks[3], 3).isNull());
        QCOMPARE(canvas.maskPixmap(page.masks[1], 1).size(), QSize(4, 4));
        QCOMPARE(canvas.maskPixmap(page.masks[1], 1).size(), QSize(4, 4));
        QVERIFY(canvas.maskPixmap(page.masks[0], -1).isNull()); // no index, no provider
        QCOMPARE(asked, (QList<int>{ 3, 1 }));

        canvas.invalidateMaskImageCache();
        canvas.maskPixmap(page.masks[3], 3);
        canvas.invalidateRenderCaches();
        canvas.maskPixmap(page.masks[3], 3);
        canvas.setPage(&page);
        canvas.maskPixmap(page.masks[3], 3);
        QCOMPARE(asked, (QList<int>{ 3, 1, 3, 3, 3 }));
    }
};

KORV_TEST_MAIN(CanvasArtworkTest)
#include "tst_canvasartwork.moc"
