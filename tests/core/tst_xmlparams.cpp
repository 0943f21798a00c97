#include "model/XmlParams.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QtTest>

#include <sstream>

namespace {
QByteArray serialize(const pugi::xml_document& doc)
{
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    return QByteArray::fromStdString(out.str());
}
}

class XmlParamsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void setters_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray two = "<e><p n=\"T\">5</p><p n=\"T\">6</p></e>";
        QTest::newRow("setParam empty -> self-closing") << QByteArray("<e><p n=\"T\">5</p></e>") << "set" << QByteArray() << QByteArray("<e><p n=\"T\"/></e>");
        QTest::newRow("setParamStd empty -> tag pair") << QByteArray("<e><p n=\"T\">5</p></e>") << "std" << QByteArray() << QByteArray("<e><p n=\"T\"></p></e>");
        QTest::newRow("setParam first of two") << two << "set" << QByteArray("9") << QByteArray("<e><p n=\"T\">9</p><p n=\"T\">6</p></e>");
        QTest::newRow("setParam appends") << QByteArray("<e><e c=\"x\"/></e>") << "set" << QByteArray("a&b") << QByteArray("<e><e c=\"x\"/><p n=\"T\">a&amp;b</p></e>");
        QTest::newRow("setParam prefix is not a match") << QByteArray("<e><p n=\"TT\">1</p></e>") << "set" << QByteArray("2") << QByteArray("<e><p n=\"TT\">1</p><p n=\"T\">2</p></e>");
        QTest::newRow("removeParams removes all") << two << "remove" << QByteArray() << QByteArray("<e/>");
        QTest::newRow("setParamInt keeps suffix") << QByteArray("<e><p n=\"T\">120,35</p></e>") << "int" << QByteArray("98") << QByteArray("<e><p n=\"T\">98,35</p></e>");
        QTest::newRow("setParamInt negative") << QByteArray("<e><p n=\"T\">12,34</p></e>") << "int" << QByteArray("-5") << QByteArray("<e><p n=\"T\">-5,34</p></e>");
        QTest::newRow("setParamInt empty head") << QByteArray("<e><p n=\"T\">,7</p></e>") << "int" << QByteArray("3") << QByteArray("<e><p n=\"T\">3,7</p></e>");
        QTest::newRow("setParamInt plain") << QByteArray("<e><p n=\"T\">120</p></e>") << "int" << QByteArray("98") << QByteArray("<e><p n=\"T\">98</p></e>");
        QTest::newRow("setParamInt never appends") << QByteArray("<e><p n=\"U\">1</p></e>") << "int" << QByteArray("98") << QByteArray("<e><p n=\"U\">1</p></e>");
        QTest::newRow("label text") << QByteArray("<e><p n=\"TEXT\">old</p></e>") << "label" << QByteArray("Öl") << QByteArray("<e><p n=\"TEXT\">Öl</p><p n=\"CONTROLLO_NO_AUTOAGGIORNABILE\">1</p></e>");
        QTest::newRow("label empty") << QByteArray("<e/>") << "label" << QByteArray() << QByteArray("<e><p n=\"TEXT\"/><p n=\"CONTROLLO_NO_AUTOAGGIORNABILE\">1</p></e>");
    }

    void setters()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, op);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, expected);
        pugi::xml_document doc;
        QVERIFY(doc.load_string(xml.constData()));
        pugi::xml_node e = doc.first_child();
        if (op == "set")
            setParam(e, "T", value);
        else if (op == "std")
            setParamStd(e, "T", value);
        else if (op == "remove")
            removeParams(e, "T");
        else if (op == "int")
            setParamInt(e, "T", value.toInt());
        else if (op == "label")
            setLabelTextParams(e, QString::fromUtf8(value));
        QCOMPARE(serialize(doc), expected);
    }

    void reads()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_string("<e><p n=\"A\"> -12,4</p><p n=\"A\">7</p><p n=\"B\"/><p n=\"C\"><![CDATA[x<y]]></p><p n=\"D\">+x</p></e>"));
        const pugi::xml_node e = doc.first_child();
        QCOMPARE(paramValue(e, "A"), QByteArray(" -12,4"));
        QCOMPARE(paramInt(e, "A"), -12);
        QCOMPARE(paramValue(e, "B"), QByteArray());
        QCOMPARE(paramValue(e, "missing"), QByteArray());
        QCOMPARE(paramValue(e, "C"), QByteArray("x<y"));
        QCOMPARE(paramInt(e, "D"), 0);
        QCOMPARE(paramValue(pugi::xml_node(), "A"), QByteArray());
        QCOMPARE(leadingInt("99999999999"), 2147483647);
        QCOMPARE(leadingInt("-99999999999"), -2147483647 - 1);
    }

    void declaredSize_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::newRow("both") << QByteArray("<e><p n=\"WIDTH\">150,2</p><p n=\"HEIGHT\"> 40</p></e>") << true << 150 << 40;
        QTest::newRow("zero width") << QByteArray("<e><p n=\"WIDTH\">0</p><p n=\"HEIGHT\">40</p></e>") << false << 0 << 40;
        QTest::newRow("later wins") << QByteArray("<e><p n=\"WIDTH\">5</p><p n=\"WIDTH\">6</p><p n=\"HEIGHT\">1</p></e>") << true << 6 << 1;
        QTest::newRow("none") << QByteArray("<e/>") << false << 0 << 0;
    }

    void declaredSize()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, ok);
        QFETCH(int, w);
        QFETCH(int, h);
        pugi::xml_document doc;
        QVERIFY(doc.load_string(xml.constData()));
        int width = -1, height = -1;
        QCOMPARE(elementDeclaredSize(doc.first_child(), width, height), ok);
        QCOMPARE(width, w);
        QCOMPARE(height, h);
    }

    void formats_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("whole") << 42.0 << QByteArray("42");
        QTest::newRow("negative whole") << -3.0 << QByteArray("-3");
        QTest::newRow("zero") << 0.0 << QByteArray("0");
        QTest::newRow("half") << 0.5 << QByteArray("0.5");
        QTest::newRow("tiny") << 0.0000001 << QByteArray("1e-07");
        QTest::newRow("1e9") << 1e9 << QByteArray("1e+09");
        QTest::newRow("1e9-1") << 999999999.0 << QByteArray("999999999");
        QTest::newRow("2e9") << 2e9 << QByteArray("2e+09");
    }

    void formats()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QCOMPARE(formatDouble6g(value), text);
    }

    void colourAndText()
    {
        QCOMPARE(formatArgbColour(QColor(1, 171, 255), Qt::black), QStringLiteral("0xFF01abff"));
        QCOMPARE(formatArgbColour(QColor(), QColor(16, 32, 48)), QStringLiteral("0xFF102030"));
        QCOMPARE(xmlEscape(QStringLiteral("a&b<c>\"d'")), QStringLiteral("a&amp;b&lt;c&gt;\"d'"));
        QString p = QStringLiteral("aim/resources/overlay/mxg_12/x");
        QCOMPARE(overlayRelativeFolder(p), QStringLiteral("mxg_12/x/"));
        QString q = QStringLiteral("Aim/resources/overlay/y/");
        QCOMPARE(overlayRelativeFolder(q), QStringLiteral("Aim/resources/overlay/y/"));
    }
};

KORV_GUI_TEST_MAIN(XmlParamsTest)
#include "tst_xmlparams.moc"
