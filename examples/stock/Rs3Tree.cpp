#include "Rs3Tree.h"

#include "artwork/ArtworkFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString trimmedFolder(const QString& relFolder)
{
    QString rel = relFolder;
    while (rel.endsWith(QLatin1Char('/')))
        rel.chop(1);
    return rel;
}

// The same bytes in every process: a picture otherwise records the
// resolution of the screen of the process that made it.
QImage withFixedResolution(const QImage& picture)
{
    QImage fixed = picture;
    fixed.setDotsPerMeterX(3780);
    fixed.setDotsPerMeterY(3780);
    return fixed;
}

} // namespace

Rs3Tree::Rs3Tree(const QString& root)
    : m_root(root)
{
}

QString Rs3Tree::overlayRoot() const
{
    return m_root + QStringLiteral("/aim/resources/overlay");
}

QString Rs3Tree::absolutePath(const QString& relPath) const
{
    return m_root + QLatin1Char('/') + relPath;
}

bool Rs3Tree::writeFile(const QString& relPath, const QByteArray& content) const
{
    const QString path = absolutePath(relPath);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

bool Rs3Tree::writePicture(const QString& relPath, const QImage& picture, const char* format) const
{
    const QString path = absolutePath(relPath);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && withFixedResolution(picture).save(path, format);
}

bool Rs3Tree::writeItemM2(const QString& rel, const QSize& size, const QByteArray& innerXml) const
{
    const QString name = QFileInfo(rel).fileName();
    const QByteArray m2 = QStringLiteral("<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n"
                                         "  <e c=\"GMaskParam\" i=\"%1\">\n"
                                         "    <p n=\"VERSION\">1.1</p>\n"
                                         "    <p n=\"WIDTH\">%2</p>\n"
                                         "    <p n=\"HEIGHT\">%3</p>\n"
                                         "    <p n=\"PATH_IMAGE_SFONDO_FW\">mask.tgz</p>\n"
                                         "    <p n=\"PATH_IMAGE\">mask.png</p>\n")
                              .arg(name)
                              .arg(size.width())
                              .arg(size.height())
                              .toUtf8()
        + innerXml + "  </e>\n</aimDataBase_Mask2>\n";
    return writeFile(rel + QLatin1Char('/') + name + QStringLiteral(".M2.xml"), m2);
}

bool Rs3Tree::addArtItem(const QString& relFolder, const QSize& size, const QColor& colour) const
{
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(colour);
    return addStockItem(relFolder, picture, QByteArray());
}

bool Rs3Tree::addStockItem(const QString& relFolder, const QImage& picture, const QByteArray& innerXml) const
{
    const QString rel = trimmedFolder(relFolder);
    return writePicture(rel + QStringLiteral("/mask.png"), picture) && writeItemM2(rel, picture.size(), innerXml);
}

bool Rs3Tree::addNativeElement(const QString& relFolder, const QStringList& classes, const QSize& size,
                               const QStringList& extraArt, const QColor& colour) const
{
    QByteArray inner;
    for (const QString& c : classes)
        inner += "    <e c=\"" + c.toUtf8() + "\" i=\"01\">\n    </e>\n";
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(colour);
    if (!addStockItem(relFolder, picture, inner))
        return false;
    const QString rel = trimmedFolder(relFolder);
    for (const QString& art : extraArt) {
        if (!writeFile(rel + QLatin1Char('/') + art, QByteArray()))
            return false;
    }
    return true;
}

bool Rs3Tree::addMaskItem(const QString& relFolder, const QByteArray& maskXml) const
{
    const QString rel = trimmedFolder(relFolder);
    const QString name = QFileInfo(rel).fileName();
    return writeFile(rel + QLatin1Char('/') + name + QStringLiteral(".M2.xml"),
                     "<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n" + maskXml + "</aimDataBase_Mask2>\n");
}

QString Rs3Tree::addTemplate(const QString& family, const QString& set, const QString& name, const QSize& size,
                             const QColor& background, const QByteArray& masksXml) const
{
    const QString rel = QStringLiteral("aim/resources/overlay/%1/masks/set/standard/%2/%3").arg(family, set, name);
    const QByteArray pMain = QStringLiteral("<?xml version=\"1.0\"?>\n<aimDataBase_Page2>\n"
                                            "  <e c=\"GPageParam\" i=\"GPageParam.1\">\n"
                                            "    <p n=\"PAGE_NAME\">%1</p>\n"
                                            "    <p n=\"PATH_IMAGE\">bkg.png</p>\n"
                                            "    <p n=\"HEIGHT\">%2</p>\n"
                                            "    <p n=\"WIDTH\">%3</p>\n")
                                 .arg(name)
                                 .arg(size.height())
                                 .arg(size.width())
                                 .toUtf8()
        + masksXml + "  </e>\n</aimDataBase_Page2>\n";
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(background);
    if (!writeFile(rel + QStringLiteral("/pMain.P2.xml"), pMain)
        || !writeFile(rel + QStringLiteral("/bkg.png"), pngBytes(withFixedResolution(picture))))
        return {};
    return absolutePath(rel);
}

bool Rs3Tree::addFolderMeta(const QString& relFolder, const QString& label, int sort) const
{
    return writeFile(relFolder + QStringLiteral("/AiM_folder.xml"), resourceFolderXml(label, sort));
}

bool Rs3Tree::addDeltaBarItem(const QString& relFolder, bool coloured, int bars, const QColor& colour) const
{
    const QString rel = trimmedFolder(relFolder);
    QImage picture(540, 90, QImage::Format_ARGB32);
    picture.fill(colour);
    if (!writePicture(rel + QStringLiteral("/mask.png"), picture))
        return false;
    const auto bar = [coloured](const char* id, int x) {
        return QStringLiteral("    <e c=\"BargraphTrapezio\" i=\"%1\">\n"
                              "      <p n=\"XPOS\">%2</p>\n      <p n=\"YPOS\">60</p>\n"
                              "      <p n=\"WIDTH\">250</p>\n      <p n=\"HEIGHT\">20</p>\n"
                              "      <p n=\"AXIS_REF\">00</p>\n%3"
                              "      <e c=\"ScaleFSV\" i=\"00\">\n        <p n=\"NOME_SCALA\">2.00</p>\n"
                              "        <e c=\"StepScale\" i=\"0\"><p n=\"VAL_SCALA\">0</p></e>\n"
                              "        <e c=\"StepScale\" i=\"1\"><p n=\"VAL_SCALA\">2.00</p></e>\n"
                              "      </e>\n    </e>\n")
            .arg(QLatin1String(id))
            .arg(x)
            .arg(coloured ? QStringLiteral("      <p n=\"COL\">0xFF000000</p>\n") : QString());
    };
    QString children;
    if (bars >= 1)
        children += bar("00_008barg", 280);
    if (bars >= 2)
        children += bar("00_009barg", 10);
    if (bars >= 3)
        children += bar("00_008barg", 10);
    const QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n"
                                       "  <e c=\"GMaskParam\" i=\"md3\">\n"
                                       "    <p n=\"WIDTH\">540</p>\n    <p n=\"HEIGHT\">90</p>\n"
                                       "    <p n=\"ORDINE\">1</p>\n"
                                       "    <e c=\"Axis\" i=\"00\"><p n=\"lnm\">+- Ref Time</p></e>\n%1"
                                       "    <e c=\"Label\" i=\"00_006ch_scale0\"><p n=\"XPOS\">2</p><p n=\"YPOS\">14</p>"
                                       "<p n=\"TEXT\">-2.00</p></e>\n"
                                       "    <e c=\"Label\" i=\"00_007ch_scale1\"><p n=\"XPOS\">500</p><p n=\"YPOS\">14</p>"
                                       "<p n=\"TEXT\">2.00</p></e>\n"
                                       "  </e>\n</aimDataBase_Mask2>\n")
                            .arg(children);
    return writeFile(rel + QStringLiteral("/md3.M2.xml"), xml.toUtf8());
}
