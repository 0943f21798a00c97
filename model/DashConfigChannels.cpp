// The channel list, the channel value ranges and the triggered icons of the
// open configuration, read from its .aimcfg and "triconsmng.to.xml".
#include "model/DashConfig.h"

#include "model/XmlFile.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

pugi::xml_parse_result loadXmlFile(pugi::xml_document& doc, const QString& path)
{
    return loadXmlDocument(doc, path);
}

bool isClass(pugi::xml_node node, const char* cls)
{
    return std::strcmp(node.attribute("c").value(), cls) == 0;
}

// The top <e> of a .aimcfg ("CfgFileFormat" root); null when missing.
pugi::xml_node aimcfgTop(const pugi::xml_document& doc)
{
    const pugi::xml_node root = doc.child("CfgFileFormat");
    return root ? root.child("e") : pugi::xml_node();
}

QString utf8Text(pugi::xml_node p)
{
    return QString::fromUtf8(p.text().get());
}

// Copies the value of the first <p n=name> into out; false (out untouched)
// when there is none.
bool readParamInto(pugi::xml_node node, const char* name, QByteArray& out)
{
    const pugi::xml_node p = node.find_child_by_attribute("p", "n", name);
    if (!p)
        return false;
    out = QByteArray(p.text().get());
    return true;
}

QString logPrefix()
{
    return QStringLiteral("[v") + QCoreApplication::applicationVersion() + QLatin1Char(']');
}

QString shortest(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool acceptableRange(double lo, double hi)
{
    return std::fabs(lo) < 999999.0 && std::fabs(hi) < 999999.0 && hi > lo;
}

int baseTenOrMinusOne(const QString& text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : -1;
}

// Next node in depth-first pre-order below start; null after the last one.
// Walking this way keeps hostile nesting from exhausting the stack.
pugi::xml_node nextInPreOrder(pugi::xml_node node, pugi::xml_node start, const char* childName)
{
    pugi::xml_node child = childName ? node.child(childName) : node.first_child();
    if (child)
        return child;
    while (node && node != start) {
        pugi::xml_node sibling = childName ? node.next_sibling(childName) : node.next_sibling();
        if (sibling)
            return sibling;
        node = node.parent();
    }
    return {};
}

// The lap-time channel walk: the first Axis below start (pre-order over <e>
// elements) whose FID_OK is LAPTIME_GPS and whose FidPrefDaRisorsa starts
// with a positive number.
int lapTimeFidBelow(pugi::xml_node start)
{
    for (pugi::xml_node e = start.child("e"); e; e = nextInPreOrder(e, start, "e")) {
        if (!isClass(e, "Axis"))
            continue;
        QString fidOk;
        QString pref;
        for (pugi::xml_node p : e.children("p")) {
            const char* n = p.attribute("n").value();
            if (std::strcmp(n, "FID_OK") == 0)
                fidOk = utf8Text(p).trimmed();
            else if (std::strcmp(n, "FidPrefDaRisorsa") == 0)
                pref = utf8Text(p).trimmed();
        }
        if (fidOk != QLatin1String("LAPTIME_GPS") || pref.isEmpty())
            continue;
        bool ok = false;
        const int fid = pref.section(QLatin1Char(','), 0, 0).toInt(&ok, 10);
        if (ok && fid > 0)
            return fid;
    }
    return -1;
}

} // namespace

bool DashConfig::parseChannelsList(const QString& path)
{
    channels.clear();
    aimcfgDoc.reset();
    if (!loadXmlFile(aimcfgDoc, path))
        return false;
    const pugi::xml_node top = aimcfgTop(aimcfgDoc);
    if (!top)
        return false;

    const QString name = findParamText(top, "Name");
    loadedConfigName = name;
    renamePending = false;
    if (!name.isEmpty())
        newConfigName = name;
    else
        newConfigName = QFileInfo(zconf2Path.isEmpty() ? path : zconf2Path).completeBaseName();

    for (pugi::xml_node e : top.children("e")) {
        if (isClass(e, "Device")) {
            for (pugi::xml_node p : e.children("p")) {
                const char* n = p.attribute("n").value();
                if (std::strcmp(n, "Type") == 0)
                    deviceName = utf8Text(p);
                else if (std::strcmp(n, "TypeCode") == 0)
                    typeCode = leadingInt(QByteArray(p.text().get()));
            }
        } else if (isClass(e, "ChannelsList")) {
            for (pugi::xml_node canale : e.children("e")) {
                if (!isClass(canale, "Canale"))
                    continue;
                ChannelInfo info;
                for (pugi::xml_node p : canale.children("p")) {
                    const char* n = p.attribute("n").value();
                    const QByteArray raw(p.text().get());
                    if (std::strcmp(n, "FID") == 0)
                        info.fid = leadingInt(raw);
                    else if (std::strcmp(n, "IDFis") == 0)
                        info.idFis = leadingInt(raw);
                    else if (std::strcmp(n, "LongName") == 0)
                        info.longName = QString::fromUtf8(raw);
                    else if (std::strcmp(n, "ShortName") == 0)
                        info.shortName = QString::fromUtf8(raw);
                    else if (std::strcmp(n, "LabelLongName") == 0)
                        info.labelLongName = QString::fromUtf8(raw);
                    else if (std::strcmp(n, "UIV") == 0)
                        info.unit = QString::fromUtf8(raw);
                    else if (std::strcmp(n, "SwTipoCanale") == 0)
                        info.swTipoCanale = leadingInt(raw);
                    else if (std::strcmp(n, "ChTipoFeatCont") == 0)
                        info.chTipoFeatCont = leadingInt(raw);
                }
                if (info.fid > 0 && !info.longName.isEmpty())
                    channels.push_back(info);
            }
        }
    }

    if (!devices.empty()) {
        if (devices.front()->dimX > 0)
            displayWidth = devices.front()->dimX;
        if (devices.front()->dimY > 0)
            displayHeight = devices.front()->dimY;
    }
    return true;
}

void DashConfig::parseChannelRanges(const QString& path)
{
    fidRanges.clear();
    const QString prefix = logPrefix();
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = loadXmlFile(doc, path);
    if (!parsed) {
        qInfo().noquote() << prefix + QStringLiteral(" parseChannelRanges: failed to load %1 (%2)")
                                          .arg(path, QString::fromUtf8(parsed.description()));
        return;
    }
    const pugi::xml_node top = aimcfgTop(doc);
    if (!top)
        return;

    int scanned = 0;
    int sensorRanges = 0;
    int channelRanges = 0;
    int discrete = 0;
    int unbounded = 0;
    QList<int> order; // FIDs in the order their range was taken, for the log
    for (pugi::xml_node list : top.children("e")) {
        if (!isClass(list, "ChannelsList"))
            continue;
        for (pugi::xml_node canale : list.children("e")) {
            if (!isClass(canale, "Canale"))
                continue;
            ++scanned;
            const pugi::xml_node fidParam = canale.find_child_by_attribute("p", "n", "FID");
            if (!fidParam)
                continue;
            const int fid = leadingInt(QByteArray(fidParam.text().get()));
            if (fid < 1)
                continue;
            QByteArray chMin;
            QByteArray chMax;
            readParamInto(canale, "ChMin", chMin);
            readParamInto(canale, "ChMax", chMax);
            const pugi::xml_node sens = canale.find_child_by_attribute("e", "c", "SENS");
            const pugi::xml_node conv = sens ? sens.find_child_by_attribute("e", "c", "ConvFunc") : pugi::xml_node();

            const pugi::xml_node stepped = sens ? sens.find_child_by_attribute("p", "n", "scalinato") : pugi::xml_node();
            if ((conv && std::strcmp(conv.attribute("i").value(), "code") == 0)
                || (stepped && std::strcmp(stepped.text().get(), "1") == 0)) {
                ++discrete;
                continue;
            }

            bool accepted = false;
            double lo = 0.0;
            double hi = 0.0;
            const pugi::xml_node loParam = sens ? sens.find_child_by_attribute("p", "n", "Lo") : pugi::xml_node();
            const pugi::xml_node hiParam = sens ? sens.find_child_by_attribute("p", "n", "Hi") : pugi::xml_node();
            if (loParam && hiParam) {
                lo = std::atof(loParam.text().get());
                hi = std::atof(hiParam.text().get());
                if (acceptableRange(lo, hi)) {
                    accepted = true;
                    ++sensorRanges;
                }
            }
            if (!accepted && !chMin.isEmpty() && !chMax.isEmpty()) {
                lo = std::atof(chMin.constData());
                hi = std::atof(chMax.constData());
                if (acceptableRange(lo, hi)) {
                    accepted = true;
                    ++channelRanges;
                }
            }
            if (!accepted) {
                ++unbounded;
                continue;
            }
            if (!fidRanges.contains(fid)) {
                fidRanges.insert(fid, FidRange{lo, hi});
                order.append(fid);
            }
        }
    }

    qInfo().noquote() << prefix
            + QStringLiteral(" parseChannelRanges: scanned %1 Canale entries, extracted ranges for %2 FID(s) "
                             "(SENS: %3, Canale ChMin/ChMax: %4, skipped %5 discrete + %6 unbounded)")
                  .arg(scanned)
                  .arg(fidRanges.size())
                  .arg(sensorRanges)
                  .arg(channelRanges)
                  .arg(discrete)
                  .arg(unbounded);
    if (fidRanges.isEmpty()) {
        qInfo().noquote() << prefix
                + QStringLiteral("   (no FIDs had real bounds -- Bar widgets keep their template default scale on rebind)");
        return;
    }
    const int shown = std::min<int>(10, order.size());
    for (int i = 0; i < shown; ++i) {
        const FidRange r = fidRanges.value(order[i]);
        qInfo().noquote() << prefix
                + QStringLiteral("   FID %1 -> [%2, %3]").arg(order[i]).arg(shortest(r.minimum), shortest(r.maximum));
    }
    if (fidRanges.size() > 10)
        qInfo().noquote() << prefix + QStringLiteral("   ... and %1 more").arg(fidRanges.size() - 10);
}

void DashConfig::parseTriggeredIconsManager(const QString& dir)
{
    triggeredIconImages.clear();
    triggeredIcons.clear();
    if (dir.isEmpty())
        return;

    // Sorted, so that the file chosen does not depend on the file system's
    // listing order; the Icons Manager's own copy wins.
    QStringList found;
    QDirIterator it(dir, {QStringLiteral("triconsmng.to.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).fileName() == QLatin1String("triconsmng.to.xml"))
            found.append(path);
    }
    if (found.isEmpty())
        return;
    std::sort(found.begin(), found.end());
    QString chosen = found.front();
    for (const QString& path : found) {
        if (path.contains(QLatin1String("Triggered Icons Manager"), Qt::CaseInsensitive)) {
            chosen = path;
            break;
        }
    }

    pugi::xml_document doc;
    if (!loadXmlFile(doc, chosen))
        return;

    for (pugi::xml_node node = doc.first_child(); node; node = nextInPreOrder(node, doc, nullptr)) {
        if (node.type() != pugi::node_element || !isClass(node, "FullIconCmdAlarm"))
            continue;
        const QString description = findParamText(node, "MCDescr").trimmed();
        if (description.isEmpty())
            continue;
        TriggeredIcon icon;
        icon.description = description;
        icon.fid = baseTenOrMinusOne(findParamText(node, "MCFid"));
        icon.idf = baseTenOrMinusOne(findParamText(node, "MCIdf"));
        triggeredIcons.insert(description, icon);

        int bestValue = 0;
        QString bestPath;
        for (pugi::xml_node list : node.children("e")) {
            if (!isClass(list, "ElencoIconCmd"))
                continue;
            for (pugi::xml_node cmd : list.children("e")) {
                if (!isClass(cmd, "IconCmd"))
                    continue;
                bool ok = false;
                int value = findParamText(cmd, "IconCmdValue").toInt(&ok, 10);
                if (!ok)
                    value = 0;
                const QString image = findParamText(cmd, "IconCmdStepAlarmPathImageIco").trimmed();
                if (value >= 1 && !image.isEmpty() && value >= bestValue) {
                    bestValue = value;
                    bestPath = image;
                }
            }
        }
        if (!bestPath.isEmpty())
            triggeredIconImages.insert(description, bestPath);
    }
}

int DashConfig::laptimeGpsResourceFid() const
{
    for (const ChannelInfo& channel : channels) {
        QString name = channel.longName;
        name.replace(QLatin1Char('_'), QLatin1Char(' '));
        if (name.compare(QLatin1String("lap time"), Qt::CaseInsensitive) == 0 && channel.fid > 0)
            return channel.fid;
    }
    for (const DeviceFile* device : devices) {
        const pugi::xml_node root = device->doc.child("overlay_cli");
        if (!root)
            continue;
        const int fid = lapTimeFidBelow(root);
        if (fid > 0)
            return fid;
    }
    return -1;
}
