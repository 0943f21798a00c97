#include "support/TemplateFixture.h"

#include "support/TestFiles.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    return QDir().mkpath(QFileInfo(path).absolutePath()) && TestFiles::writeBytes(path, bytes);
}

} // namespace

TemplateFixture& TemplateFixture::pageParam(const QString& name, const QString& value)
{
    pageParams << qMakePair(name, value);
    return *this;
}

TemplateMask& TemplateFixture::mask(const FixtureElement& params, const FixtureElement& item)
{
    const QString folder = QStringLiteral("md%1").arg(masks.size() + 1);
    masks << TemplateMask{params, QStringLiteral("./Items/%1/%1.M2.xml").arg(folder), item};
    return masks.last();
}

QByteArray TemplateFixture::pMainXml() const
{
    FixtureElement page(QStringLiteral("GPageParam"), QStringLiteral("0"));
    page.params = pageParams;
    for (const TemplateMask& m : masks) {
        FixtureElement e = m.params;
        e.cls = QStringLiteral("GMaskParam");
        e.p(QStringLiteral("PATH_NAME_REL_AiM_MASK"), m.itemPath);
        page.add(e);
    }
    return "<?xml version=\"1.0\"?>\n<aimDataBase_Page2>\n" + page.toXml(1) + "</aimDataBase_Page2>\n";
}

bool TemplateFixture::writeTo(const QString& folder) const
{
    if (!writeBytes(folder + QStringLiteral("/pMain.P2.xml"), pMainXml()))
        return false;
    for (const TemplateMask& m : masks) {
        if (m.item.cls.isEmpty())
            continue;
        const QByteArray xml =
            "<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n" + m.item.toXml(1) + "</aimDataBase_Mask2>\n";
        const QString itemFile = QDir::cleanPath(folder + QLatin1Char('/') + m.itemPath);
        if (!writeBytes(itemFile, xml))
            return false;
        if (m.picture && !writeBytes(QFileInfo(itemFile).absolutePath() + QStringLiteral("/mask.png"),
                                     TestFiles::pngBytes(QSize(4, 4), Qt::red)))
            return false;
    }
    if (background) {
        QImage image(16, 8, QImage::Format_RGB32);
        image.fill(QColor(0, 0, 255));
        if (!image.save(folder + QStringLiteral("/bkg.png")))
            return false;
    }
    return true;
}
