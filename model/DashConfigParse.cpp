#include "model/DashConfig.h"
#include "model/ChannelKind.h"
#include "model/DeviceTables.h"
#include "model/InstallRoots.h"

#include "model/MaskParsing.h"
#include "model/SafeRead.h"
#include "model/WidgetGeometry.h"
#include "model/XmlParams.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool isParam(pugi::xml_node p, const char* name)
{
    return std::strcmp(p.attribute("n").value(), name) == 0;
}

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

// One <e c="Axis"> of a mask: the channel it feeds to the widgets that name
// it in AXIS_REF.
struct AxisEntry {
    QString id;
    QString longName;
    QString shortName;
    QString unit;
    int decimals = -1;
    QString fidOk;
    QString channel;
};

AxisEntry readAxis(pugi::xml_node axis)
{
    AxisEntry entry;
    entry.id = utf8(axis.attribute("i").value());
    bool seenLnm = false, seenShn = false, seenUdm = false, seenDec = false, seenFid = false;
    for (pugi::xml_node p = axis.child("p"); p; p = p.next_sibling("p")) {
        // A binding holds dozens of parameters; five names matter here.
        const char first = p.attribute("n").value()[0];
        if (first != 'l' && first != 's' && first != 'U' && first != 'N' && first != 'F')
            continue;
        const char* text = p.text().get();
        if (!seenLnm && isParam(p, "lnm")) {
            entry.longName = utf8(text);
            seenLnm = true;
        } else if (!seenShn && isParam(p, "shn")) {
            entry.shortName = utf8(text);
            seenShn = true;
        } else if (!seenUdm && isParam(p, "UDM")) {
            entry.unit = utf8(text);
            seenUdm = true;
        } else if (!seenDec && isParam(p, "NDEC_SCELTO")) {
            entry.decimals = leadingInt(QByteArray(text));
            seenDec = true;
        } else if (!seenFid && isParam(p, "FID_OK")) {
            entry.fidOk = utf8(text).trimmed();
            seenFid = true;
        }
    }
    entry.channel = (!entry.fidOk.isEmpty() && !isFixedResourceName(entry.fidOk)) ? entry.fidOk
                                                                                      : entry.longName;
    return entry;
}

int countChildrenOfClass(pugi::xml_node node, const char* cls)
{
    int n = 0;
    for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, cls))
            ++n;
    }
    return n;
}

bool readNumber(const char* text, double& out)
{
    bool ok = false;
    const double v = QByteArray(text).trimmed().toDouble(&ok);
    if (ok)
        out = v;
    return ok;
}

// The range of a bar's step scale, which wins over its min/max parameters
// when the steps span a real range.
void readStepScale(pugi::xml_node scale, WidgetModel& widget)
{
    bool anyValue = false;
    double minimum = 0.0;
    double maximum = 0.0;
    std::vector<std::pair<double, double>> steps; // (position, value)
    for (pugi::xml_node step = scale.child("e"); step; step = step.next_sibling("e")) {
        if (!hasClass(step, "StepScale"))
            continue;
        bool hasValue = false, hasPos = false;
        double value = 0.0, pos = 0.0;
        for (pugi::xml_node p = step.child("p"); p; p = p.next_sibling("p")) {
            if (!hasValue && isParam(p, "VAL_SCALA"))
                hasValue = readNumber(p.text().get(), value);
            else if (!hasPos && isParam(p, "POS_VAL_SCALA"))
                hasPos = readNumber(p.text().get(), pos);
        }
        if (!hasValue)
            continue;
        if (!anyValue) {
            minimum = maximum = value;
            anyValue = true;
        } else {
            minimum = std::min(minimum, value);
            maximum = std::max(maximum, value);
        }
        if (hasPos)
            steps.emplace_back(pos, value);
    }
    if (steps.size() >= 2) {
        std::stable_sort(steps.begin(), steps.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        minimum = steps.front().second;
        maximum = steps.back().second;
    }
    if (anyValue && std::fabs(maximum - minimum) > 1e-9) {
        widget.scaleMin = minimum;
        widget.scaleMax = maximum;
    }
}

// XPOS/YPOS may carry a firmware suffix ("12,40"): the number before the
// comma counts, and a value that is not a whole number reads as 0.
int positionValue(const QByteArray& text)
{
    const int comma = text.indexOf(',');
    const QByteArray head = comma > 0 ? text.left(comma) : text;
    bool ok = false;
    const int v = head.toInt(&ok, 10);
    return ok ? v : 0;
}

WidgetModel readWidget(pugi::xml_node node, int kind, const std::vector<AxisEntry>& axes)
{
    WidgetModel w;
    w.kind = kind;
    w.id = utf8(node.attribute("i").value());
    w.node = node;

    // The first parameter of a name is the one the editor writes, so it is
    // the one it believes. Names are matched in place: every save reads
    // every widget again. The names stand in the order of WidgetParam.
    static constexpr const char* kNames[] = {"XPOS",     "YPOS",        "WIDTH",          "HEIGHT",
                                             "POS_ALIGN", "AXIS_REF",   "CHARSET_DIM",    "CHAR_SET_ID_2",
                                             "COLORE",    "COL",        "NUM_CHARS",      "HIDDEN",
                                             "ScaleFSV",  "MAX_VALUE",  "MAX_SCALE_VALUE", "ScaleMSV",
                                             "MIN_VALUE", "MIN_SCALE_VALUE", "TEXT"};
    enum WidgetParam {
        XPos, YPos, Width, Height, PosAlign, AxisRef, CharsetDim, CharsetId, Colour, BarColour, NumChars, Hidden,
        ScaleFsv, MaxValue, MaxScaleValue, ScaleMsv, MinValue, MinScaleValue, Text, ParamCount
    };
    static_assert(ParamCount == sizeof kNames / sizeof kNames[0], "one name per parameter");
    quint32 seen = 0;
    for (pugi::xml_node p = node.child("p"); p; p = p.next_sibling("p")) {
        const char* n = p.attribute("n").value();
        int which = 0;
        while (which < ParamCount && std::strcmp(n, kNames[which]) != 0)
            ++which;
        if (which == ParamCount || (seen & (1u << which)))
            continue;
        seen |= 1u << which;
        const QByteArray text(p.text().get());
        switch (which) {
        case XPos: w.x = positionValue(text); break;
        case YPos: w.y = positionValue(text); break;
        case Width: w.w = leadingInt(text); break;
        case Height: w.h = leadingInt(text); break;
        case PosAlign: w.posAlign = QString::fromUtf8(text); break;
        case AxisRef: w.axisRef = QString::fromUtf8(text); break;
        case CharsetDim: w.charsetPx = leadingInt(text); break;
        case CharsetId: w.charset = QString::fromUtf8(text); break;
        case Colour: w.colour = parseArgbColour(QString::fromUtf8(text)); break;
        case BarColour: w.barColour = parseArgbColour(QString::fromUtf8(text)); break;
        case NumChars: w.numChars = leadingInt(text); break;
        case Hidden: w.hidden = leadingInt(text); break;
        case ScaleFsv: case MaxValue: case MaxScaleValue: w.scaleMax = text.toDouble(); break;
        case ScaleMsv: case MinValue: case MinScaleValue: w.scaleMin = text.toDouble(); break;
        default: // Text
            if (!QString::fromUtf8(text).trimmed().isEmpty())
                w.text = QString::fromUtf8(text);
            break;
        }
    }

    if (kind == WidgetBargraph) {
        w.isTrapezio = hasClass(node, "BargraphTrapezio");
        const pugi::xml_node scale = findScaleFsvNode(node);
        if (scale && countChildrenOfClass(scale.parent(), "ScaleFSV") == 1)
            readStepScale(scale, w);
    }
    if (w.charsetPx < 1)
        w.charsetPx = charsetPixelHeight(w.charset);

    for (const AxisEntry& axis : axes) {
        if (axis.id == w.axisRef) {
            w.channel = axis.channel;
            w.channelShort = axis.shortName;
            w.unit = axis.unit;
            w.decimals = axis.decimals;
            break;
        }
    }
    return w;
}


} // namespace

WidgetModel readWidgetElement(pugi::xml_node e)
{
    return readWidget(e, widgetKindOf(e), {});
}

int widgetKindOf(pugi::xml_node e)
{
    const char* c = e.attribute("c").value();
    if (std::strcmp(c, "Digit") == 0)
        return WidgetDigit;
    if (std::strcmp(c, "Label") == 0)
        return WidgetLabel;
    if (std::strcmp(c, "Bargraph") == 0 || std::strcmp(c, "BargraphTrapezio") == 0)
        return WidgetBargraph;
    return -1;
}

void DashConfig::parsePage(pugi::xml_node pageNode, int deviceIndex)
{
    PageModel page;
    page.index = pageCount();
    page.deviceFileIndex = deviceIndex;

    bool hasWidth = false, hasHeight = false;
    bool seenName = false, seenImage = false, seenPagePath = false;
    QString imagePath;
    QString pagePath;
    for (pugi::xml_node p = pageNode.child("p"); p; p = p.next_sibling("p")) {
        const QByteArray text(p.text().get());
        if (!seenName && isParam(p, "PAGE_NAME")) {
            page.name = QString::fromUtf8(text);
            seenName = true;
        } else if (!hasWidth && isParam(p, "WIDTH")) {
            page.width = leadingInt(text);
            hasWidth = true;
        } else if (!hasHeight && isParam(p, "HEIGHT")) {
            page.height = leadingInt(text);
            hasHeight = true;
        } else if (!seenImage && isParam(p, "PATH_IMAGE")) {
            imagePath = QString::fromUtf8(text);
            seenImage = true;
        } else if (!seenPagePath && isParam(p, "PATH_REL_AiM_PAGE")) {
            pagePath = QString::fromUtf8(text);
            seenPagePath = true;
        }
    }

    if (deviceIndex >= 0 && deviceIndex < static_cast<int>(devices.size())) {
        const DeviceFile* device = devices[static_cast<size_t>(deviceIndex)];
        if (!hasWidth && device->dimX > 0)
            page.width = device->dimX;
        if (!hasHeight && device->dimY > 0)
            page.height = device->dimY;
        page.deviceFolder = device->overlayFolder;
    }
    page.relPagePath = pagePath;

    if (page.deviceFolder.isEmpty())
        page.deviceFolder = pdmDashFolderFromPath(pagePath);

    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && !imagePath.isEmpty())
        loadPageBackground(page, imagePath);

    for (pugi::xml_node e = pageNode.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "GMaskParam"))
            page.masks.push_back(parseMask(e));
    }
    pages.push_back(std::move(page));
}

// Resolves PATH_IMAGE against the RS3 roots (stable, then beta) and loads
// the picture; a path found in no root leaves the page without background
// and logs "[DashConfig] page background not in any RS3 root:".
void DashConfig::loadPageBackground(PageModel& page, const QString& imagePath)
{
    const QString resolved = resolveRs3Path(imagePath);
    if (resolved.isEmpty()) {
        qDebug() << "[DashConfig] page background not in any RS3 root:" << imagePath;
        return;
    }
    loadPagePicture(page, resolved);
}

void DashConfig::loadPagePicture(PageModel& page, const QString& file)
{
    page.backgroundPath = file;
    // A plain file of the install only: a pipe there would hold the open.
    QPixmap picture = QPixmap::fromImage(SafeRead::readImage(file));
    if (picture.isNull()) {
        const QImage fallback = readImageFile(file);
        if (!fallback.isNull())
            picture = QPixmap::fromImage(fallback);
    }
    page.background = picture;
}

MaskElement DashConfig::parseMask(pugi::xml_node maskNode)
{
    MaskElement mask;
    mask.id = utf8(maskNode.attribute("i").value());
    mask.node = maskNode;

    bool seenX = false, seenY = false, seenW = false, seenH = false;
    for (pugi::xml_node p = maskNode.child("p"); p; p = p.next_sibling("p")) {
        const auto number = [&p] { return leadingInt(QByteArray(p.text().get())); };
        if (!seenX && isParam(p, "XPOS")) {
            mask.x = number();
            seenX = true;
        } else if (!seenY && isParam(p, "YPOS")) {
            mask.y = number();
            seenY = true;
        } else if (!seenW && isParam(p, "WIDTH")) {
            mask.w = number();
            seenW = true;
        } else if (!seenH && isParam(p, "HEIGHT")) {
            mask.h = number();
            seenH = true;
        }
    }

    std::vector<AxisEntry> axes;
    bool analog = false, ring = false, digit = false, bar = false, icon = false, label = false;
    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        const char* c = e.attribute("c").value();
        const auto is = [c](const char* cls) { return std::strcmp(c, cls) == 0; };
        if (is("Axis"))
            axes.push_back(readAxis(e));
        else if (is("Analog"))
            analog = true;
        else if (is("Ring"))
            ring = true;
        else if (is("Digit"))
            digit = true;
        else if (is("Bargraph") || is("BargraphTrapezio"))
            bar = true;
        else if (is("AiM_Icona"))
            icon = true;
        else if (is("Label"))
            label = true;
    }

    if (!axes.empty()) {
        const auto named = std::find_if(axes.begin(), axes.end(),
                                        [](const AxisEntry& a) { return !a.longName.isEmpty(); });
        const AxisEntry& source = named != axes.end() ? *named : axes.front();
        mask.channel = source.channel;
        mask.channelShort = source.shortName;
    }

    mask.kind = analog ? MaskAnalog
        : ring         ? MaskRing
        : digit        ? MaskDigit
        : bar          ? MaskBargraph
        : icon         ? MaskIcon
        : label        ? MaskLabel
                       : MaskOther;

    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        const int kind = widgetKindOf(e);
        if (kind < 0)
            continue;
        WidgetModel w = readWidget(e, kind, axes);
        if (kind == WidgetDigit && mask.digitPx < 1 && mask.digitCharset.isEmpty()) {
            mask.digitCharset = w.charset;
            mask.digitPx = w.charsetPx;
            mask.digitColour = w.colour;
        } else if (kind == WidgetLabel && !mask.labelStyleSet) {
            mask.labelCharset = w.charset;
            mask.labelPx = w.charsetPx;
            mask.labelColour = w.colour;
            mask.labelStyleSet = true;
        }
        mask.widgets.push_back(std::move(w));
    }
    return mask;
}

QString DashConfig::maskChannelText(int pageIndex, int maskIndex)
{
    const PageModel* p = page(pageIndex);
    if (!p || maskIndex < 0 || maskIndex >= static_cast<int>(p->masks.size()))
        return {};
    const MaskElement& mask = p->masks[static_cast<size_t>(maskIndex)];
    if (!mask.channel.isEmpty())
        return mask.channel;
    for (const WidgetModel& w : mask.widgets) {
        if (!w.channel.isEmpty())
            return w.channel;
    }
    return {};
}

QColor parseArgbColour(const QString& text)
{
    if (text.size() < 3 || !text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        return {};
    static const QString hexDigits = QStringLiteral("0123456789abcdef");
    quint64 value = 0;
    for (const QChar c : QStringView(text).mid(2)) {
        const int d = hexDigits.indexOf(c.toLower());
        if (d < 0)
            return {};
        value = (value << 4) | quint64(d);
        if (value > 0xFFFFFFFFull)
            return {};
    }
    const quint32 argb = static_cast<quint32>(value);
    return QColor((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
}

int charsetPixelHeight(const QString& charset)
{
    if (charset.isEmpty())
        return 0;
    QString name = charset;
    const int comma = name.indexOf(QLatin1Char(','));
    if (comma > 0)
        name.truncate(comma);
    static const QRegularExpression heightSuffix(QStringLiteral("H(\\d+)$"));
    static const QRegularExpression cellSuffix(QStringLiteral("(\\d+)x(\\d+)$"));
    QRegularExpressionMatch m = heightSuffix.match(name);
    if (m.hasMatch())
        return m.captured(1).toInt();
    m = cellSuffix.match(name);
    if (m.hasMatch())
        return m.captured(2).toInt();
    const int underscore = name.lastIndexOf(QLatin1Char('_'));
    if (underscore >= 0) {
        bool ok = false;
        const int v = name.mid(underscore + 1).toInt(&ok, 10);
        return ok ? v : 0;
    }
    return 0;
}

void DashConfig::reparseMaskKeepingGeometry(MaskElement& mask)
{
    MaskElement fresh = parseMask(mask.node);
    fresh.id = mask.id;
    fresh.x = mask.x;
    fresh.y = mask.y;
    fresh.w = mask.w;
    fresh.h = mask.h;
    mask = std::move(fresh);
}
