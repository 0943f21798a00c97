#include "support/Rs3Fixture.h"

#include "support/TestEnvironment.h"

#include "artwork/ArtworkFiles.h"
#include "model/InstallRoots.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSettings>

namespace {
const char* const kStableKey = "paths/raceStudio3Root";
const char* const kBetaKey = "paths/raceStudio3BetaRoot";
}

Rs3Fixture::Rs3Fixture()
    : m_base(TestEnvironment::makeTempDir(QStringLiteral("rs3")))
{
    QDir().mkpath(overlayRoot(Stable));
    QDir().mkpath(overlayRoot(Beta));
    QDir().mkpath(overlayRoot(Local));
    setLocalOverlayRootOverride(overlayRoot(Local));
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    settings.setValue(QLatin1String(kStableKey), root(Stable));
    settings.setValue(QLatin1String(kBetaKey), root(Beta));
    settings.sync();
}

Rs3Fixture::~Rs3Fixture()
{
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    settings.remove(QLatin1String(kStableKey));
    settings.remove(QLatin1String(kBetaKey));
    settings.sync();
    setLocalOverlayRootOverride(QString());
    QDir(m_base).removeRecursively();
}

QString Rs3Fixture::root(Root which) const
{
    switch (which) {
    case Stable:
        return m_base + QStringLiteral("/RaceStudio3");
    case Beta:
        return m_base + QStringLiteral("/RaceStudio3_beta");
    case Local:
        break;
    }
    return m_base + QStringLiteral("/program");
}

QString Rs3Fixture::overlayRoot(Root which) const
{
    return root(which) + QStringLiteral("/aim/resources/overlay");
}

QString Rs3Fixture::addDeviceFolder(Root which, const QString& family) const
{
    const QString path = overlayRoot(which) + QLatin1Char('/') + family;
    QDir().mkpath(path);
    return path;
}

QString Rs3Fixture::absolutePath(Root which, const QString& relPath) const
{
    return root(which) + QLatin1Char('/') + relPath;
}

bool Rs3Fixture::writeFile(Root which, const QString& relPath, const QByteArray& content) const
{
    const QString path = absolutePath(which, relPath);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

bool Rs3Fixture::addArtItem(Root which, const QString& relFolder, const QSize& size, const QColor& colour) const
{
    QString rel = relFolder;
    while (rel.endsWith(QLatin1Char('/')))
        rel.chop(1);
    const QString folder = absolutePath(which, rel);
    if (!QDir().mkpath(folder))
        return false;
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(colour);
    if (!picture.save(folder + QStringLiteral("/mask.png"), "PNG"))
        return false;
    const QString name = QFileInfo(folder).fileName();
    const QByteArray m2 = QStringLiteral("<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n"
                                         "  <e c=\"GMaskParam\" i=\"%1\">\n"
                                         "    <p n=\"VERSION\">1.1</p>\n"
                                         "    <p n=\"WIDTH\">%2</p>\n"
                                         "    <p n=\"HEIGHT\">%3</p>\n"
                                         "    <p n=\"PATH_IMAGE_SFONDO_FW\">mask.tgz</p>\n"
                                         "    <p n=\"PATH_IMAGE\">mask.png</p>\n"
                                         "  </e>\n</aimDataBase_Mask2>\n")
                              .arg(name)
                              .arg(size.width())
                              .arg(size.height())
                              .toUtf8();
    return writeFile(which, rel + QLatin1Char('/') + name + QStringLiteral(".M2.xml"), m2);
}

bool Rs3Fixture::addNativeElement(Root which, const QString& relFolder, const QStringList& classes,
                                  const QSize& size, const QStringList& extraArt, const QColor& colour) const
{
    if (!addArtItem(which, relFolder, size, colour))
        return false;
    QString rel = relFolder;
    while (rel.endsWith(QLatin1Char('/')))
        rel.chop(1);
    const QString name = QFileInfo(rel).fileName();
    const QString m2Path = absolutePath(which, rel + QLatin1Char('/') + name + QStringLiteral(".M2.xml"));
    QFile file(m2Path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray m2 = file.readAll();
    file.close();
    QByteArray inner;
    for (const QString& c : classes)
        inner += "    <e c=\"" + c.toUtf8() + "\" i=\"01\">\n    </e>\n";
    m2.replace("  </e>\n</aimDataBase_Mask2>", inner + "  </e>\n</aimDataBase_Mask2>");
    if (!writeFile(which, rel + QLatin1Char('/') + name + QStringLiteral(".M2.xml"), m2))
        return false;
    for (const QString& art : extraArt) {
        if (!writeFile(which, rel + QLatin1Char('/') + art, QByteArray()))
            return false;
    }
    return true;
}

bool Rs3Fixture::addMaskItem(Root which, const QString& relFolder, const QByteArray& maskXml) const
{
    QString rel = relFolder;
    while (rel.endsWith(QLatin1Char('/')))
        rel.chop(1);
    const QString name = QFileInfo(rel).fileName();
    return writeFile(which, rel + QLatin1Char('/') + name + QStringLiteral(".M2.xml"),
                     "<?xml version=\"1.0\"?>\n<aimDataBase_Mask2>\n" + maskXml + "</aimDataBase_Mask2>\n");
}

QString Rs3Fixture::addTemplate(Root which, const QString& family, const QString& set, const QString& name,
                                const QSize& size) const
{
    const QString rel = QStringLiteral("aim/resources/overlay/%1/masks/set/standard/%2/%3").arg(family, set, name);
    const QByteArray pMain = QStringLiteral("<?xml version=\"1.0\"?>\n<aimDataBase_Page2>\n"
                                            "  <e c=\"GPageParam\" i=\"GPageParam.1\">\n"
                                            "    <p n=\"PAGE_NAME\">%1</p>\n"
                                            "    <p n=\"PATH_IMAGE\">bkg.png</p>\n"
                                            "    <p n=\"HEIGHT\">%2</p>\n"
                                            "    <p n=\"WIDTH\">%3</p>\n"
                                            "  </e>\n</aimDataBase_Page2>\n")
                                 .arg(name)
                                 .arg(size.height())
                                 .arg(size.width())
                                 .toUtf8();
    QImage background(size, QImage::Format_RGB32);
    background.fill(Qt::darkGray);
    if (!writeFile(which, rel + QStringLiteral("/pMain.P2.xml"), pMain)
        || !writeFile(which, rel + QStringLiteral("/bkg.png"), pngBytes(background)))
        return {};
    return absolutePath(which, rel);
}

bool Rs3Fixture::addFolderMeta(Root which, const QString& relFolder, const QString& label, int sort) const
{
    return writeFile(which, relFolder + QStringLiteral("/AiM_folder.xml"), resourceFolderXml(label, sort));
}

QString Rs3Fixture::addUserConfig(Root which, const QString& folder, const QString& configName,
                                  const QList<QByteArray>& deviceTexts) const
{
    const QString rel = QStringLiteral("user/cfgs/") + folder;
    QDir().mkpath(absolutePath(which, rel));
    if (!configName.isEmpty()
        && !writeFile(which, rel + QLatin1Char('/') + configName + QStringLiteral(".aimcfg"), "<aimcfg/>"))
        return {};
    for (int i = 0; i < deviceTexts.size(); ++i) {
        const QString device = rel + QStringLiteral("/dash%1/dev/overlay.ov3.xml").arg(i + 1);
        if (!writeFile(which, device, deviceTexts[i]))
            return {};
    }
    return absolutePath(which, rel);
}

QMap<QString, QByteArray> Rs3Fixture::snapshot() const
{
    return treeSnapshot(m_base);
}

QMap<QString, QByteArray> Rs3Fixture::treeSnapshot(const QString& folder)
{
    QMap<QString, QByteArray> tree;
    const QDir base(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir()) {
            tree.insert(base.relativeFilePath(path), QByteArrayLiteral("<dir>"));
            continue;
        }
        QFile f(path);
        tree.insert(base.relativeFilePath(path), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>"));
    }
    return tree;
}

bool Rs3Fixture::addDeltaBarItem(Root which, const QString& relFolder, bool coloured, int bars,
                                 const QColor& colour) const
{
    QString rel = relFolder;
    while (rel.endsWith(QLatin1Char('/')))
        rel.chop(1);
    QImage picture(540, 90, QImage::Format_ARGB32);
    picture.fill(colour);
    if (!QDir().mkpath(absolutePath(which, rel)) || !picture.save(absolutePath(which, rel) + QStringLiteral("/mask.png"), "PNG"))
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
    return writeFile(which, rel + QStringLiteral("/md3.M2.xml"), xml.toUtf8());
}
